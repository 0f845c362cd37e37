#!/usr/bin/env bash
# Builds the package container reader's libFuzzer target with clang and runs
# it for a few seconds. Usage: scripts/fuzz-container.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: container fuzzing skipped"
  exit 0
fi

dir=build/fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined"
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF -DSTUB_FUZZ=ON -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$dir" -j2 --target stub-container-fuzz

# The corpus grows across runs; libFuzzer starts from an empty one the first time.
mkdir -p "$dir/corpus"
"$dir/stub/container/stub-container-fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 \
  -print_final_stats=1 "$dir/corpus"
