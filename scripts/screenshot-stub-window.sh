#!/usr/bin/env bash
# Takes the picture of Stub's start-up window for the README: builds the
# window demo for Windows, shows it under Wine on a private X display and
# saves the window as docs/stub-startup-window.png.
#   scripts/screenshot-stub-window.sh [OUTPUT.png]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/stub-startup-window.png}
build=$root/build/mingw

cmake --preset mingw -S "$root" >/dev/null
cmake --build --preset mingw --target stub-window-demo -j2 >/dev/null

# A Wine prefix and display of its own, removed at the end.
export WINE_RUN_STATE
WINE_RUN_STATE=$(mktemp -d "${TMPDIR:-/tmp}/stub-screenshot-XXXXXX")
demo_pid=
cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null
  "$root/scripts/wine-run.sh" --cleanup || true
  rm -rf "$WINE_RUN_STATE"
}
trap cleanup EXIT

"$root/scripts/wine-run.sh" --setup
export DISPLAY=:$(tr -d '[:space:]' <"$WINE_RUN_STATE/display")

"$root/scripts/wine-run.sh" "$build/stub/startup/stub-window-demo.exe" 20 &
demo_pid=$!

window=
for _ in $(seq 150); do
  window=$(xdotool search --name '^Harbix Installation Suite$' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "screenshot: the window did not appear" >&2; exit 1; }
# The demo fills its bars on the first timer tick, a second after it starts.
sleep 2

mkdir -p "$(dirname "$out")"
xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng >"$out"
echo "screenshot: $out"
