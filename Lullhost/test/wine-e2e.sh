#!/usr/bin/env bash
# Lullhost for Windows end to end: Lullhost.exe and plink.exe side by side under Wine, against the
# host simulator behind the loopback sshd (scripts/test-sshd.sh). Checks the account, a wrong
# password, and the suspend/reboot cycle, whose list files must be byte for byte those of the
# Linux build.
#
# Usage: wine-e2e.sh LULLHOST_EXE WINE_STATE_DIR
# Needs root (a simulator account, the server); exit code 77 means skipped. Brings up the server
# and one simulator account and removes both, with everything else it made, when it ends.
set -uo pipefail

exe=${1:?usage: wine-e2e.sh LULLHOST_EXE WINE_STATE_DIR}
export WINE_RUN_STATE=${2:?usage: wine-e2e.sh LULLHOST_EXE WINE_STATE_DIR}
repo=$(cd "$(dirname "$0")/../.." && pwd)
user=esxwin1
# Known only for the life of this script; the account goes with it.
password=esx-Win-$$-$RANDOM
state=/var/lib/esxi-sim/$user
wine_run=$repo/scripts/wine-run.sh

if [ "$(id -u)" -ne 0 ]; then
    echo "wine-e2e.sh: skipped, needs root (simulator account, loopback sshd)"
    exit 77
fi
[ -f "$(dirname "$exe")/plink.exe" ] || { echo "wine-e2e.sh: no plink.exe beside $exe" >&2; exit 1; }

work=$(mktemp -d /tmp/lullhost-wine-e2e.XXXXXX)
cleanup() {
    bash "$repo/scripts/test-sshd.sh" stop >/dev/null 2>&1
    # test-sshd.sh start makes its default account as well.
    for account in "$user" zebssh; do
        id "$account" >/dev/null 2>&1 && userdel -r "$account" >/dev/null 2>&1
    done
    rm -rf "$state" "$work"
    # The simulator copy is shared by all simulator accounts: it goes with the last one.
    rmdir /var/lib/esxi-sim 2>/dev/null && rm -rf /usr/local/lib/esxi-sim
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

sim() { "$repo/tools/esxi-sim/esxi-sim" --state "$state" "$@"; }
first_line() { "$@" | head -n1; }

# Runs Lullhost.exe in the work folder (where the list file goes); the output lands in $work/out.
lullhost() {
    local pwd=$1
    shift
    (cd "$work" && "$wine_run" "$exe" -host 127.0.0.2 -usr "$user" -pwd "$pwd" -D debug "$@") \
        >"$work/out" 2>&1
    local code=$?
    [ -z "${WINE_E2E_VERBOSE:-}" ] || cat "$work/out"
    return $code
}

expect_code() {
    local want=$1 got=$2 what=$3
    if [ "$got" -ne "$want" ]; then
        fail "$what: exit code $got, expected $want"
        tail -n 40 "$work/out"
    fi
}

expect_eq() {
    [ "$2" = "$3" ] || fail "$1: '$2', expected '$3'"
}

bash "$repo/scripts/test-sshd.sh" start >/dev/null || exit 1
bash "$repo/tools/esxi-sim/add-account.sh" "$user" "$password" >/dev/null || exit 1
# The server's key is new at every start; plink keeps accepted keys in the prefix's registry.
"$wine_run" reg delete 'HKCU\Software\SimonTatham\PuTTY\SshHostKeys' /f >/dev/null 2>&1

echo "== account check (host-key question, then the password prompt)"
sim init --prompt classic 1:on:web01 >/dev/null
lullhost "$password" -mode account_check
expect_code 0 $? "account_check"

echo "== wrong password"
lullhost "not-$password" -mode account_check
expect_code 6 $? "account_check with a wrong password"

# The whole cycle; the arguments are added to both runs.
cycle() {
    sim init --prompt classic 1:on:web01 '2:on:db server' 3:off:archive 4:suspended:old >/dev/null
    # The first answer shows only the progress line; the prompt comes later.
    sim vm 1 suspend_delay=3 >/dev/null
    lullhost "$password" -mode suspend_vms -timeoutminutes 2 "$@"
    expect_code 0 $? "suspend_vms $*"
    expected='<?xml version="1.0"?>
<esxiserver host="127.0.0.2" maintenancemode="true" reboot="true"><vms><virtualmachineserver id="1" name="web01" rebootstatus="to reboot" status="Suspended" timeout="120"></virtualmachineserver><virtualmachineserver id="2" name="db" rebootstatus="to reboot" status="Suspended" timeout="120"></virtualmachineserver><virtualmachineserver id="3" name="archive" status="Powered off" timeout="120"></virtualmachineserver><virtualmachineserver id="4" name="old" status="Suspended" timeout="120"></virtualmachineserver></vms></esxiserver>'
    cmp -s <(printf '%s\n' "$expected") "$work/esxi_vms.xml" ||
        fail "list file after suspend_vms: $(cat "$work/esxi_vms.xml" 2>/dev/null)"
    expect_eq "maintenance after suspend_vms" "$(first_line sim maintenance)" on
    expect_eq "VM 1 after suspend_vms" "$(first_line sim vmstate 1)" Suspended

    lullhost "$password" -mode reboot_vms "$@"
    expect_code 0 $? "reboot_vms $*"
    expected='<?xml version="1.0"?>
<esxiserver host="127.0.0.2" maintenancemode="false" reboot="false"><vms><virtualmachineserver id="1" name="web01" rebootstatus="rebooted" status="Powered on" timeout="120"></virtualmachineserver><virtualmachineserver id="2" name="db" rebootstatus="rebooted" status="Powered on" timeout="120"></virtualmachineserver><virtualmachineserver id="3" name="archive" status="Powered off" timeout="120"></virtualmachineserver><virtualmachineserver id="4" name="old" status="Suspended" timeout="120"></virtualmachineserver></vms></esxiserver>'
    cmp -s <(printf '%s\n' "$expected") "$work/esxi_vms.xml" ||
        fail "list file after reboot_vms: $(cat "$work/esxi_vms.xml" 2>/dev/null)"
    expect_eq "maintenance after reboot_vms" "$(first_line sim maintenance)" off
    for vm in 1:Powered\ on 2:Powered\ on 3:Powered\ off 4:Suspended; do
        expect_eq "VM ${vm%%:*} after reboot_vms" "$(first_line sim vmstate "${vm%%:*}")" "${vm#*:}"
    done
}

echo "== suspend_vms and reboot_vms"
cycle
echo "== suspend_vms and reboot_vms, -fast -parallel 2"
cycle -fast -parallel 2

if [ "$failures" -ne 0 ]; then
    echo "wine-e2e.sh: $failures failed"
    exit 1
fi
echo "wine-e2e.sh: all passed"
