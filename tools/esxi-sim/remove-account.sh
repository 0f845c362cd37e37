#!/bin/sh
# Removes a simulator account made by add-account.sh: the local user and its
# state directory. When it was the last account, the copied simulator goes too,
# so that nothing of the simulator stays on the machine.
# Run as root.  Usage: remove-account.sh NAME
set -eu

name=${1:?usage: remove-account.sh NAME}
prefix=/usr/local/lib/esxi-sim
states=/var/lib/esxi-sim

if [ "$(id -u)" -ne 0 ]; then
    echo "remove-account.sh: run as root" >&2
    exit 1
fi
case "$name" in
*/* | . | .. | "") echo "remove-account.sh: bad account name '$name'" >&2; exit 1 ;;
esac

if id "$name" >/dev/null 2>&1; then
    # Only an account whose shell is the simulator's is ours to remove.
    case "$(getent passwd "$name")" in
    *":$prefix/esxi-shell") ;;
    *) echo "remove-account.sh: '$name' is not a simulator account" >&2; exit 1 ;;
    esac
    # -f: a login still running (the shell of a killed run) must not keep the account.
    userdel -f "$name" 2>/dev/null || userdel "$name"
fi
rm -rf "${states:?}/$name"
if [ -d "$states" ] && [ -z "$(ls -A "$states")" ]; then
    rmdir "$states"
    rm -rf "$prefix"
fi
