#!/usr/bin/env bash
# Builds the native configuration and shows what Lullhost offers.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then
  bash scripts/setup.sh
fi
cmake --preset default >/dev/null
cmake --build --preset default -j2
build/default/Lullhost/Lullhost -h
