#!/usr/bin/env bash
# Stub's demo: packs the sample application (tools/stub-sample) with a text
# file and an English language into a self-extracting package and runs it:
# natively on Linux, and as a Windows package under Wine when Wine is
# installed. The package unpacks, starts the sample application with its
# switches and passes its exit code (3) on; nothing is left behind.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

cmake --preset default >/dev/null
cmake --build --preset default -j2 --target stub stubpack stub-sample-app >/dev/null
stubpack=$root/build/default/tools/stubpack/stubpack

work=$(mktemp -d /tmp/stub-demo-XXXXXX)
wine_state=$work/wine
cleanup() {
  [ -d "$wine_state" ] && WINE_RUN_STATE=$wine_state bash "$root/scripts/wine-run.sh" --cleanup >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

printf 'The sample product.\n' >"$work/readme.txt"
printf 's0=Sample Setup\ns1=Unpacking the sample...\n' >"$work/en.txt"

run() { # package, arguments...: runs it and prints the exit code it passed on
  local code=0
  "$@" </dev/null || code=$?
  echo "== the package ended with exit code $code"
}

echo "== Linux: build the package"
"$stubpack" build --stub "$root/build/default/stub/startup/stub" -o "$work/SampleSetup" \
  --main "$root/build/default/tools/stub-sample/stub-sample-app" --name Install --params "/exit=3" \
  --file "$work/readme.txt" --language English="$work/en.txt"
"$stubpack" info "$work/SampleSetup"
echo "== Linux: run it (/hide: no questions)"
run "$work/SampleSetup" /hide /from=demo

if command -v wine >/dev/null 2>&1; then
  echo "== Windows: build the package (mingw) and run it under Wine"
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j2 --target stub stub-sample-app >/dev/null
  "$stubpack" build --stub "$root/build/mingw/stub/startup/stub.exe" -o "$work/SampleSetup.exe" \
    --main "$root/build/mingw/tools/stub-sample/stub-sample-app.exe" --name Install.exe \
    --params "/exit=3" --file "$work/readme.txt" --language English="$work/en.txt"
  WINE_RUN_STATE=$wine_state bash scripts/wine-run.sh --setup >/dev/null
  WINE_RUN_STATE=$wine_state run bash scripts/wine-run.sh "$work/SampleSetup.exe" /hide /from=demo \
    "/report=Z:$work/report.txt"
  cat "$work/report.txt"
else
  echo "== Wine is not installed: the Windows package is skipped"
fi
