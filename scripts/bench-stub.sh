#!/usr/bin/env bash
# Stub's throughput figures (printed, not judged by a test).
#   Extraction: a 1 GiB package (768 MiB of compressible text in one block,
#   256 MiB of random data in four files) unpacked by the installer's
#   extraction against `gzip -dc` of the same bytes on the same disk; target
#   at most 1.2x, peak resident memory at most 32 MiB.
#   Build: stubpack writing that package against `gzip -6` of the same bytes.
#   Download: a 256 MiB package from a loopback HTTP server with the
#   installer's download routine against `curl -o` of the same URL into the
#   same folder; best of three runs each; target at most 1.2x.
# Usage: scripts/bench-stub.sh [extract|download]...   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(extract download)
mib=256

cmake --preset default >/dev/null
cmake --build --preset default -j2 --target stub-download stub-extract stubpack >/dev/null
download=$PWD/build/default/stub/update/stub-download
extract=$PWD/build/default/stub/container/stub-extract
stubpack=$PWD/build/default/tools/stubpack/stubpack

work=$(mktemp -d /tmp/stub-bench-XXXXXX)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); awk -v s="$s" -v e="$e" 'BEGIN { print e - s }'; }

# 768 MiB of numbered lines (seq ends by SIGPIPE once head has enough).
text_bytes() { (seq 1 200000000 || true) | head -c $((768 * 1048576)); }

bench_extract() {
  local src=$work/src
  mkdir "$src"
  text_bytes >"$src/text.log"
  for i in 1 2 3 4; do head -c $((64 * 1048576)) /dev/urandom >"$src/random$i.bin"; done
  printf 'MZ%0254dPE%01024d' 0 0 >"$src/image.exe"
  printf '#!/bin/sh\nexit 0\n' >"$src/setup.sh"
  local files=()
  for f in text.log random1.bin random2.bin random3.bin random4.bin; do files+=(--file "$src/$f"); done

  # One block holds the whole text file; the random files take a block each.
  local build gz
  build=$(seconds "$stubpack" build --stub "$src/image.exe" -o "$work/Package.exe" \
    --main "$src/setup.sh" "${files[@]}" --block-size 1024m)
  gz=$(seconds sh -c "cat '$src/setup.sh' '$src'/text.log '$src'/random*.bin | gzip -6 >'$work/same.gz'")
  local pkg_mib
  pkg_mib=$(( $(stat -c %s "$work/Package.exe") / 1048576 ))
  rm -rf "$src"
  sync

  local best_gz= best_stub= rss=0
  for _ in 1 2 3; do
    rm -rf "$work/out" "$work/gunzipped"
    sync
    local t
    t=$(seconds sh -c "gzip -dc '$work/same.gz' >'$work/gunzipped'")
    best_gz=$(printf '%s\n' $best_gz $t | sort -n | head -1)
    local out
    out=$(/usr/bin/time -f 'maxrss %M' "$extract" "$work/Package.exe" "$work/out" 2>&1)
    t=$(echo "$out" | sed -n 's/^UnCompressTime: \([0-9]*\) MS$/\1/p')
    t=$(awk -v ms="$t" 'BEGIN { print ms / 1000 }')
    best_stub=$(printf '%s\n' $best_stub $t | sort -n | head -1)
    local r
    r=$(echo "$out" | sed -n 's/^maxrss \([0-9]*\)$/\1/p')
    [ "$r" -gt "$rss" ] && rss=$r
  done
  cmp -s "$work/out/text.log" <(text_bytes) ||
    { echo "bench-stub.sh: extracted text differs" >&2; exit 1; }
  rm -rf "$work/out" "$work/gunzipped" "$work/same.gz"
  awk -v g="$best_gz" -v s="$best_stub" -v rss="$rss" -v p="$pkg_mib" 'BEGIN {
    printf "extract 1024 MiB (package %d MiB)   gzip -dc %.3f s   stub %.3f s   ratio %.2fx (target <= 1.2x)   peak RSS %.1f MiB (target <= 32)\n",
      p, g, s, s / g, rss / 1024
  }'
  awk -v g="$gz" -v s="$build" 'BEGIN {
    printf "build   1024 MiB   gzip -6 %.3f s   stubpack %.3f s   ratio %.2fx\n", g, s, s / g
  }'
  rm -f "$work/Package.exe"
}

bench_download() {
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
}

for part in "${parts[@]}"; do
  case $part in
    extract) bench_extract ;;
    download) bench_download ;;
    *) echo "unknown part: $part" >&2; exit 2 ;;
  esac
done
