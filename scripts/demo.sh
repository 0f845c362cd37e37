#!/usr/bin/env bash
# The whole Lullhost cycle against a simulated ESXi host, then Stub's sample
# package (scripts/demo-stub.sh). Lullhost: builds the native
# configuration, starts the loopback sshd with a simulator account (three VMs,
# two of them running), runs suspend_vms, shows the VM list file, runs
# reboot_vms, and stops the server again. Needs root (Debian packages, a local
# account, an SSH server on 127.0.0.2:22).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "demo.sh: run as root (it installs packages, adds an account and starts sshd)" >&2
  exit 1
fi
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target Lullhost

user=esxsim
password=esx-Sim-demo1
state=/var/lib/esxi-sim/$user
sim() { "$root/tools/esxi-sim/esxi-sim" --state "$state" "$@"; }

work=$(mktemp -d /tmp/lullhost-demo-XXXXXX)
cleanup() {
  bash "$root/scripts/test-sshd.sh" stop >/dev/null || true
  # The demo account has a known password: it must not outlive the demo.
  "$root/tools/esxi-sim/remove-account.sh" "$user" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

bash scripts/test-sshd.sh start
tools/esxi-sim/add-account.sh "$user" "$password"
sim init --prompt current --hostname esx01 1:on:web01 2:on:db01 3:off:archive
# The database takes a few seconds to suspend: progress line first, prompt later.
sim vm 2 suspend_delay=3

# Lullhost starts plink from its working directory; a fresh HOME gives plink an
# empty host-key cache, which Lullhost answers itself.
ln -s /usr/bin/plink "$work/plink"
mkdir "$work/home"
lullhost() {
  (cd "$work" && HOME="$work/home" "$root/build/default/Lullhost/Lullhost" \
    -host 127.0.0.2 -usr "$user" -pwd "$password" -D verbose ListFile=esxi_vms.xml "$@")
}

echo
echo "== simulated host before"
sim status
echo
echo "== Lullhost -mode suspend_vms"
code=0
lullhost -mode suspend_vms || code=$?
echo "exit code $code"
echo
echo "== simulated host after suspend_vms"
sim status
echo
echo "== list file esxi_vms.xml"
cat "$work/esxi_vms.xml"
echo
echo "== Lullhost -mode reboot_vms"
code=0
lullhost -mode reboot_vms || code=$?
echo "exit code $code"
echo
echo "== simulated host after reboot_vms"
sim status
echo
echo "== list file esxi_vms.xml"
cat "$work/esxi_vms.xml"

# Stub: a sample package built and run on Linux, and under Wine when installed.
echo
bash "$root/scripts/demo-stub.sh"
