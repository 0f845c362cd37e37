#!/usr/bin/env bash
# Runs the Windows test programs under Wine (the mingw preset's emulator).
#   wine-run.sh PROGRAM [ARGS...]  run PROGRAM; its exit code passes through
#   wine-run.sh --setup            fresh Wine prefix and X display for a test run
#   wine-run.sh --cleanup          end Wine and the display
# The state lives beside the build: <build dir>/wine/{prefix,display,xvfb.pid}.
# A run without --setup creates the prefix on first use but starts no display.
set -uo pipefail

find_build_dir() {
  local dir=$PWD
  while [ "$dir" != / ]; do
    [ -f "$dir/CMakeCache.txt" ] && { echo "$dir"; return; }
    dir=$(dirname "$dir")
  done
  echo "${TMPDIR:-/tmp}/server-maintenance"
}

STATE=${WINE_RUN_STATE:-$(find_build_dir)/wine}
TIMEOUT=${WINE_RUN_TIMEOUT:-600}
export WINEPREFIX=$STATE/prefix
export WINEDEBUG=-all
mkdir -p "$STATE"

# One process at a time prepares or tears down the prefix. Programs started
# here must not inherit the lock (wineserver and Xvfb outlive this script),
# so every one of them is given 9>&-.
exec 9>"$STATE/lock"
flock -w 300 9 || { echo "wine-run: lock timed out" >&2; exit 125; }

init_prefix() {
  [ -f "$WINEPREFIX/.ready" ] && return 0
  rm -rf "$WINEPREFIX"
  timeout 180 wine wineboot --init >/dev/null 2>&1 9>&- || { echo "wine-run: wineboot failed" >&2; return 1; }
  # Windows get captions and focus without a window manager.
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 9>&-
  timeout 60 wineserver -w 9>&-
  touch "$WINEPREFIX/.ready"
}

stop_display() {
  if [ -f "$STATE/xvfb.pid" ]; then
    local pid
    pid=$(cat "$STATE/xvfb.pid")
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -f "$STATE/xvfb.pid" "$STATE/display"
  fi
}

start_display() {
  : >"$STATE/display"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$STATE/display" >/dev/null 2>&1 9>&- &
  echo $! >"$STATE/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$STATE/display" ] && return 0
    sleep 0.1
  done
  echo "wine-run: Xvfb did not start" >&2
  return 1
}

case "${1:-}" in
  --setup)
    stop_display
    [ -d "$WINEPREFIX" ] && timeout 60 wineserver -k 2>/dev/null 9>&-
    rm -rf "$WINEPREFIX"
    start_display || exit 1
    DISPLAY=:$(tr -d '[:space:]' <"$STATE/display") init_prefix || exit 1
    exit 0
    ;;
  --cleanup)
    [ -d "$WINEPREFIX" ] && { timeout 60 wineserver -w 9>&- || timeout 30 wineserver -k 9>&-; }
    stop_display
    exit 0
    ;;
  "")
    echo "usage: wine-run.sh PROGRAM [ARGS...] | --setup | --cleanup" >&2
    exit 2
    ;;
esac

init_prefix || exit 1
if [ -s "$STATE/display" ] && kill -0 "$(cat "$STATE/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
  export DISPLAY=:$(tr -d '[:space:]' <"$STATE/display")
fi
exec 9>&-
exec timeout "$TIMEOUT" wine "$@"
