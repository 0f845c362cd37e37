#!/usr/bin/env bash
# Builds every configuration and runs every test suite:
#   default - native build
#   asan    - native build with AddressSanitizer and UndefinedBehaviorSanitizer
#   linux32 - native build for 32-bit Linux
#   mingw   - Windows build, its tests run under Wine (libxml2 and plink.exe are cross-built
#             first by scripts/build-win-deps.sh, once, into the user's cache)
# Installs the needed Debian packages first when run as root.
# Usage: scripts/test.sh [PRESET...]
set -uo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ]; then
  bash scripts/setup.sh || exit 1
fi

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan linux32 mingw)

failed=()
for preset in "${presets[@]}"; do
  if [ "$preset" = mingw ] && ! bash scripts/build-win-deps.sh; then
    failed+=("$preset (Windows dependencies)")
    continue
  fi
  echo "==== $preset: configure and build"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset" -j2; then
    failed+=("$preset (build)")
    continue
  fi
  echo "==== $preset: tests"
  ctest --preset "$preset" || failed+=("$preset (tests)")
done

# A full run also fuzzes the package container reader, the extraction and
# Lullhost's parsers briefly (needs clang).
if [ $# -eq 0 ] && command -v clang++ >/dev/null 2>&1; then
  echo "==== fuzz: package container reader"
  bash scripts/fuzz-container.sh 10 || failed+=("fuzz (container reader)")
  echo "==== fuzz: package extraction"
  bash scripts/fuzz-container.sh 10 extract || failed+=("fuzz (package extraction)")
  echo "==== fuzz: Lullhost answer parsers and list-file reader"
  bash scripts/fuzz-lullhost.sh 10 || failed+=("fuzz (Lullhost)")
fi

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All configurations built and passed: ${presets[*]}"
