#!/usr/bin/env bash
# CTest fixture of the Lullhost end-to-end tests: the simulator accounts behind
# the loopback sshd (scripts/test-sshd.sh). Each test owns one account, so that
# tests running side by side never share a simulated host.
#
#   scripts/esxi-sim-accounts.sh setup COUNT PASSWORD   create esxsim1..esxsimCOUNT
#
# Must run as root. The accounts stay after the run; setup refreshes them.
set -euo pipefail
cd "$(dirname "$0")/.."

[ "$(id -u)" -eq 0 ] || { echo "esxi-sim-accounts.sh: must run as root" >&2; exit 1; }

case "${1:-}" in
setup)
    count=${2:?count}
    password=${3:?password}
    for ((i = 1; i <= count; i++)); do
        tools/esxi-sim/add-account.sh "esxsim$i" "$password"
    done
    echo "esxi-sim-accounts.sh: $count simulator accounts ready"
    ;;
*)
    echo "usage: $0 setup COUNT PASSWORD" >&2
    exit 1
    ;;
esac
