#!/bin/sh
# Creates (or refreshes) a simulator account: a local user whose login shell is
# the simulated host shell, with a password and a state directory as its home.
# Run as root.  Usage: add-account.sh NAME PASSWORD
# The simulator is copied to /usr/local/lib/esxi-sim so that the account can run
# it wherever the checkout lives (a clone under /root is not readable for it).
set -eu

name=${1:?usage: add-account.sh NAME PASSWORD}
password=${2:?usage: add-account.sh NAME PASSWORD}
here=$(cd "$(dirname "$0")" && pwd)
prefix=/usr/local/lib/esxi-sim
home=/var/lib/esxi-sim/$name

if [ "$(id -u)" -ne 0 ]; then
    echo "add-account.sh: run as root" >&2
    exit 1
fi

mkdir -p "$prefix"
for f in esxisim.py vim-cmd esxi-sim; do
    install -m 0755 "$here/$f" "$prefix/$f.new"
    mv -f "$prefix/$f.new" "$prefix/$f"
done
printf '#!/bin/sh\nexec /usr/bin/python3 %s/esxisim.py shell\n' "$prefix" >"$prefix/esxi-shell.new"
chmod 0755 "$prefix/esxi-shell.new"
mv -f "$prefix/esxi-shell.new" "$prefix/esxi-shell"

mkdir -p /var/lib/esxi-sim
if id "$name" >/dev/null 2>&1; then
    entry=$(getent passwd "$name")
    case "$entry" in
    *":$home:$prefix/esxi-shell") ;;
    *) usermod -d "$home" -s "$prefix/esxi-shell" "$name" ;;
    esac
else
    useradd -M -d "$home" -s "$prefix/esxi-shell" "$name"
fi
echo "$name:$password" | chpasswd

mkdir -p "$home"
chown "$name:" "$home"
chmod 0755 "$home"
[ -f "$home/state.json" ] || ESXI_SIM_STATE=$home /usr/bin/python3 "$prefix/esxisim.py" ctl init
chown "$name:" "$home/state.json"
