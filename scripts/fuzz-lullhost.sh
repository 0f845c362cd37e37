#!/usr/bin/env bash
# Builds Lullhost's libFuzzer targets with clang and runs each for a few seconds: the vim-cmd
# answer parsers with the session's cue recognition, and the VM list-file reader.
# Usage: scripts/fuzz-lullhost.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: Lullhost fuzzing skipped"
  exit 0
fi

dir=build/fuzz-lullhost
flags="-fsanitize=fuzzer-no-link,address,undefined"
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF -DBUILD_STUB=OFF -DLULLHOST_FUZZ=ON \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$dir" -j2 --target lullhost-answer-fuzz lullhost-listfile-fuzz

# The corpora grow across runs; they start from real answers and a real list file.
answers=$dir/corpus/answer
lists=$dir/corpus/listfile
mkdir -p "$answers" "$lists"
if [ ! -e "$answers/listing" ]; then
  printf 'Vmid   Name    File                        Guest OS          Version\r\n1      web01   [datastore1] web01/web01.vmx debian11_64Guest  vmx-19\r\n[root@esx01:~] ' \
    >"$answers/listing"
  printf 'Retrieved runtime info\r\nPowered on\r\n~ # ' >"$answers/state"
  printf 'Suspending VM:\r\n~ # ' >"$answers/suspend"
  printf '      inMaintenanceMode = false,\r\n~ # ' >"$answers/maintenance"
  printf "The host key is not cached for this server:\nfingerprint is:\nStore key in cache? (y/n) " \
    >"$answers/hostkey"
  printf 'root@esx01'"'"'s password: ' >"$answers/password"
  printf '<?xml version="1.0"?>\n<esxiserver host="esx01" maintenancemode="true" reboot="true"><vms><virtualmachineserver id="1" name="web01" rebootstatus="to reboot" status="Suspended" timeout="300"></virtualmachineserver></vms></esxiserver>\n' \
    >"$lists/listfile.xml"
fi
status=0
for target in answer listfile; do
  "$dir/Lullhost/lullhost-$target-fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -print_final_stats=1 -close_fd_mask=1 "$dir/corpus/$target" || status=1
done
exit $status
