#!/usr/bin/env bash
# Times suspend_vms against the simulator with 20 running VMs and prints the
# wall time, the number of request/answer exchanges with the host and the
# seconds per exchange. Needs root; builds the default configuration and uses
# the loopback sshd (started here, stopped again afterwards).
# Usage: scripts/bench-suspend.sh [VM_COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
count=${1:-20}

[ "$(id -u)" -eq 0 ] || { echo "bench-suspend.sh: run as root" >&2; exit 1; }
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target Lullhost >/dev/null

user=esxsimbench
password=esx-Sim-bench1
state=/var/lib/esxi-sim/$user
work=$(mktemp -d /tmp/lullhost-bench-XXXXXX)
cleanup() {
  bash "$root/scripts/test-sshd.sh" stop >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

bash scripts/test-sshd.sh start >/dev/null
tools/esxi-sim/add-account.sh "$user" "$password"
vms=()
for ((i = 1; i <= count; i++)); do vms+=("$i:on:vm$i"); done
tools/esxi-sim/esxi-sim --state "$state" init --prompt current "${vms[@]}"

ln -s /usr/bin/plink "$work/plink"
mkdir "$work/home"
start=$(date +%s.%N)
code=0
(cd "$work" && HOME="$work/home" "$root/build/default/Lullhost/Lullhost" -host 127.0.0.2 \
  -usr "$user" -pwd "$password" -mode suspend_vms -D debug >"$work/trace.txt" 2>&1) || code=$?
end=$(date +%s.%N)

# One exchange is one answer collected from the host, the login's included.
exchanges=$(grep -c "get response from ssh session" "$work/trace.txt" || true)
commands=$(wc -l <"$state/commands.log")
awk -v s="$start" -v e="$end" -v x="$exchanges" -v c="$commands" -v n="$count" -v rc="$code" 'BEGIN {
  wall = e - s
  printf "suspend_vms, %d running VMs: exit code %d\n", n, rc
  printf "wall time          %8.1f s\n", wall
  printf "commands sent      %8d\n", c
  printf "exchanges          %8d\n", x
  printf "seconds / exchange %8.2f (whole run, start-up and shutdown included)\n", wall / x
}'
