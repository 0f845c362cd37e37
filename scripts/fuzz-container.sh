#!/usr/bin/env bash
# Builds a libFuzzer target of the package container with clang and runs it
# for a few seconds: "container" reads a package with every query, "extract"
# unpacks it. Usage: scripts/fuzz-container.sh [SECONDS] [container|extract]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
target=${2:-container}
case $target in
  container | extract) ;;
  *) echo "unknown fuzz target: $target" >&2; exit 2 ;;
esac

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: container fuzzing skipped"
  exit 0
fi

dir=build/fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined"
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF -DSTUB_FUZZ=ON -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$dir" -j2 --target "stub-$target-fuzz" stubpack

# The corpus grows across runs; it starts from two small packages so that
# the fuzzer reaches the blocks and the languages early.
mkdir -p "$dir/corpus"
if [ ! -e "$dir/corpus/seed.001" ]; then
  seeds=$(mktemp -d)
  trap 'rm -rf "$seeds"' EXIT
  printf 'MZ%0254dPE' 0 >"$seeds/image.exe"
  printf 's0=Titel\ns1=Entpacken\nFontSize=9\n' >"$seeds/de.txt"
  printf 's0=Title\n' >"$seeds/en.txt"
  printf 'hello hello hello hello\n' >"$seeds/readme.txt"
  cp "$seeds/readme.txt" "$seeds/Setup.exe"
  "$dir/tools/stubpack/stubpack" build --stub "$seeds/image.exe" -o "$dir/corpus/seed" \
    --main "$seeds/Setup.exe" --params /S --file "$seeds/readme.txt" --token t \
    --language German="$seeds/de.txt" --language English="$seeds/en.txt" --piece-size 700 >/dev/null
  "$dir/tools/stubpack/stubpack" build --stub "$seeds/image.exe" -o "$dir/corpus/download" \
    --download-url http://x --download-file Real.exe --download-token d >/dev/null
fi
corpus=$dir/corpus
if [ "$target" != container ]; then
  corpus=$dir/corpus-$target
  [ -d "$corpus" ] || cp -r "$dir/corpus" "$corpus"
fi
"$dir/stub/container/stub-$target-fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 \
  -print_final_stats=1 "$corpus"
