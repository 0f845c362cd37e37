#!/usr/bin/env bash
# The helper program against a box of another process: a second helper shows
# boxes, this script reads and answers them through the subcommands.
#   cli_test.sh WINE_RUN HELPER_EXE
set -uo pipefail
run=$1
helper=$2
out=$(mktemp -d /tmp/stub-helper-cli-XXXXXX)
cleanup() {
  # Whatever went wrong, no box stays open.
  "$run" "$helper" close HMsgBox >/dev/null 2>&1
  rm -rf "$out"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# show FLAGS TEXT: starts a box in the background; answer ...; check RESULT.
round() {
  local flags=$1 text=$2 expected=$3
  shift 3
  "$run" "$helper" show-box "$flags" "$text" >"$out/box" 2>&1 &
  local pid=$!
  "$run" "$helper" list HMsgBox 20000 >"$out/list" || fail "no box for: $text"
  "$run" "$helper" "$@" || fail "$* failed"
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && { fail "box still open after: $*"; "$run" "$helper" close HMsgBox; }
  wait "$pid"
  grep -qx "result $expected" <(tr -d '\r' <"$out/box") || fail "$*: $(cat "$out/box"), expected $expected"
}

round 3 "Delete <b>all</b>?" 7 alt HMsgBox n
tr -d '\r' <"$out/list" >"$out/list.txt"
grep -qx 'title: Caption' "$out/list.txt" || fail "title: $(cat "$out/list.txt")"
grep -qx 'text: Delete all?' "$out/list.txt" || fail "text: $(cat "$out/list.txt")"
grep -q '^button: &No value 7 ' "$out/list.txt" || fail "buttons: $(cat "$out/list.txt")"
grep -q '^button: &Yes value 6 .* default focused$' "$out/list.txt" || fail "default: $(cat "$out/list.txt")"

round 2 "Abort, retry or ignore?" 5 press HMsgBox 2
round 1 "Escape closes" 0 key HMsgBox escape
round 0 "Closed from outside" 0 close HMsgBox

[ "$failures" -eq 0 ] && echo "all rounds passed"
exit "$failures"
