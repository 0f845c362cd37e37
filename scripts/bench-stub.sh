#!/usr/bin/env bash
# Stub's throughput figures (printed, not judged by a test).
#   Download: a 256 MiB package from a loopback HTTP server with the
#   installer's download routine against `curl -o` of the same URL into the
#   same folder; best of three runs each; target at most 1.2x.
# Usage: scripts/bench-stub.sh [MIB]
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-256}

cmake --preset default >/dev/null
cmake --build --preset default -j2 --target stub-download >/dev/null
download=$PWD/build/default/stub/update/stub-download

work=$(mktemp -d /tmp/stub-bench-XXXXXX)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/www"
head -c $((mib * 1048576)) /dev/urandom >"$work/www/package.exe"

# A static file server on an ephemeral loopback port; its first line is the port.
exec 3< <(python3 - "$work/www" <<'PY'
import functools, http.server, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
handler.func.log_message = lambda *args: None
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
server.handle_error = lambda *args: None  # the probe request hangs up early
print(server.server_address[1], flush=True)
server.serve_forever()
PY
)
server=$!
read -r port <&3
url=http://127.0.0.1:$port/package.exe

best() { sort -n | head -1; }
curl_times=()
stub_times=()
for _ in 1 2 3; do
  rm -f "$work/curl.exe" "$work/stub.exe"
  curl_times+=("$(curl -s -o "$work/curl.exe" -w '%{time_total}' "$url")")
  stub_times+=("$("$download" "$url" "$work/stub.exe")")
  cmp -s "$work/www/package.exe" "$work/stub.exe" || { echo "bench-stub.sh: download differs" >&2; exit 1; }
done
curl_best=$(printf '%s\n' "${curl_times[@]}" | best)
stub_best=$(printf '%s\n' "${stub_times[@]}" | best)
awk -v mib="$mib" -v c="$curl_best" -v s="$stub_best" 'BEGIN {
  printf "download %d MiB   curl -o %.3f s (%.0f MiB/s)   stub %.3f s (%.0f MiB/s)   ratio %.2fx (target <= 1.2x)\n",
    mib, c, mib / c, s, mib / s, s / c
}'
