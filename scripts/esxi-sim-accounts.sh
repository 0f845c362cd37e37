#!/usr/bin/env bash
# CTest fixture of the Lullhost end-to-end tests: the simulator accounts behind
# the loopback sshd (scripts/test-sshd.sh). Each test owns one account, so that
# tests running side by side never share a simulated host.
#
#   scripts/esxi-sim-accounts.sh setup COUNT PASSWORD   create esxsim1..esxsimCOUNT
#   scripts/esxi-sim-accounts.sh cleanup COUNT          remove them, their state and the simulator
#
# Must run as root. Cleanup leaves no account with a known password behind, so
# every run starts as on a new machine.
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
cleanup)
    count=${2:?count}
    status=0
    for ((i = 1; i <= count; i++)); do
        tools/esxi-sim/remove-account.sh "esxsim$i" || status=1
    done
    exit $status
    ;;
*)
    echo "usage: $0 setup COUNT PASSWORD | cleanup COUNT" >&2
    exit 1
    ;;
esac
