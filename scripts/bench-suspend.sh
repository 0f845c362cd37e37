#!/usr/bin/env bash
# Times suspend_vms against the simulator with 20 running VMs, once by default
# and once with -fast, and prints for each the wall time, the number of
# request/answer exchanges with the host and the seconds per exchange. Needs
# root; builds the default configuration and uses the loopback sshd (started
# here, stopped again afterwards; run it under flock /tmp/lullhost-e2e.lock
# where other runs share that sshd).
# Usage: scripts/bench-suspend.sh [VM_COUNT [DELAY [OPTION SET ...]]]
#   DELAY: seconds each simulated suspend takes after its progress line.
#   OPTION SET: the extra options of one run, e.g. "" (default) or "-fast".
#   Without arguments four runs are timed: no delay, default against -fast;
#   a 10 s delay, -fast against -fast -parallel 8.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
count=${1:-20}
delay=${2:-}
shift 2 || shift $# || true
sets=("$@")

[ "$(id -u)" -eq 0 ] || { echo "bench-suspend.sh: run as root" >&2; exit 1; }
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target Lullhost >/dev/null

user=esxsimbench
password=esx-Sim-bench1
state=/var/lib/esxi-sim/$user
work=$(mktemp -d /tmp/lullhost-bench-XXXXXX)
cleanup() {
  bash "$root/scripts/test-sshd.sh" stop >/dev/null || true
  "$root/tools/esxi-sim/remove-account.sh" "$user" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

bash scripts/test-sshd.sh start >/dev/null
tools/esxi-sim/add-account.sh "$user" "$password"
ln -s /usr/bin/plink "$work/plink"
vms=()
for ((i = 1; i <= count; i++)); do vms+=("$i:on:vm$i"); done

bench() {
local options=$1
local delay=$2
tools/esxi-sim/esxi-sim --state "$state" init --prompt current "${vms[@]}"
for ((i = 1; i <= count; i++)); do
  tools/esxi-sim/esxi-sim --state "$state" vm "$i" "suspend_delay=$delay" >/dev/null
done
rm -rf "$work/home" "$work/esxi_vms.xml"
mkdir "$work/home"
start=$(date +%s.%N)
code=0
(cd "$work" && HOME="$work/home" "$root/build/default/Lullhost/Lullhost" -host 127.0.0.2 \
  -usr "$user" -pwd "$password" -mode suspend_vms -D debug $options >"$work/trace.txt" 2>&1) || code=$?
end=$(date +%s.%N)

# One exchange is one settled block of output read from the client (the
# login's host-key question and password prompt included); the exchange time
# runs from the client's start to the last answer, without the start-up pause
# and the shutdown polls that every run has once.
exchanges=$(grep -c "read data from ssh client's stdout" "$work/trace.txt" || true)
commands=$(wc -l <"$state/commands.log")
stamp() { sed -n "s/^\([0-9][0-9]\):\([0-9][0-9]\):\([0-9][0-9]\): .*$1.*/\1 \2 \3/p" "$work/trace.txt" | "$2" -n 1; }
first=$(stamp "ssh client is executed" head)
last=$(stamp "response will be returned" tail)
awk -v s="$start" -v e="$end" -v x="$exchanges" -v c="$commands" -v n="$count" -v rc="$code" -v opts="${options:-(default)}" -v delay="$delay" \
    -v first="$first" -v last="$last" 'BEGIN {
  wall = e - s
  split(first, f, " "); split(last, l, " ")
  span = (l[1] * 3600 + l[2] * 60 + l[3]) - (f[1] * 3600 + f[2] * 60 + f[3])
  if (span < 0) span += 86400
  printf "suspend_vms %s, %d running VMs, %d s suspend delay: exit code %d\n", opts, n, delay, rc
  printf "wall time          %8.1f s (client start and shutdown included)\n", wall
  printf "commands sent      %8d\n", c
  printf "exchanges          %8d\n", x
  printf "seconds / exchange %8.2f (client start to last answer, +-1 s over the run)\n", span / x
  printf "wall / exchange    %8.2f\n", wall / x
}'
}

if [ -n "$delay" ] || [ ${#sets[@]} -gt 0 ]; then
  [ ${#sets[@]} -gt 0 ] || sets=("")
  for options in "${sets[@]}"; do bench "$options" "${delay:-0}"; echo; done
else
  bench "" 0; echo
  bench "-fast" 0; echo
  bench "-fast" 10; echo
  bench "-fast -parallel 8" 10
fi
