#!/usr/bin/env bash
# Loopback OpenSSH server for the tests that run the real plink client.
#
#   scripts/test-sshd.sh start              (re)start the server, create the default test account
#   scripts/test-sshd.sh stop               stop the server (by its recorded pid), wait for it, and
#                                           remove every account it made and its state folder
#   scripts/test-sshd.sh user NAME PASSWORD [SHELL [PROFILE_LINE]]
#                                           create or reset another local test account (removed
#                                           again by "stop")
#
# Must run as root. The server listens on 127.0.0.2 port 22 (plink always connects to port 22), with
# a host key generated at every start, password logins for any local account (UsePAM no, no
# keyboard-interactive), no motd and no last-log line, so that a login shows nothing but the shell.
# Nothing in its configuration is specific to an account.
#
# The default account is "zebssh" with password "zeb-Ssh-test1" and login shell /bin/sh (dash) with
# PS1='~ # '. Other suites add their own account with "user" (for instance with a special login
# shell) before or after "start".
#
# CTest: the fixture "loopback_sshd" (tests "loopback_sshd_start" / "loopback_sshd_stop", defined in
# Common/libs/zeb-sshmgr/CMakeLists.txt) runs "start" and "stop"; any test of the build may declare
#   set_tests_properties(my_test PROPERTIES FIXTURES_REQUIRED loopback_sshd)
# Each test that runs plink should give it a fresh HOME: plink keeps its host-key cache in
# $HOME/.putty/sshhostkeys, and the host key changes at every start.
#
# "start" is idempotent: a server left over from an earlier run is stopped first.
set -euo pipefail

ADDRESS=127.0.0.2
STATE_DIR=/run/zeb-test-sshd
PID_FILE=$STATE_DIR/sshd.pid
# The accounts this script made, one name a line, so that "stop" removes exactly those.
ACCOUNTS=$STATE_DIR/accounts
DEFAULT_USER=zebssh
DEFAULT_PASSWORD=zeb-Ssh-test1

die() {
    echo "test-sshd.sh: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || die "must run as root"

running_pid() {
    local pid
    [ -f "$PID_FILE" ] || return 1
    pid=$(cat "$PID_FILE" 2>/dev/null) || return 1
    [[ "$pid" =~ ^[0-9]+$ ]] || return 1
    # Only a pid that still belongs to an sshd counts: a stale file may name a reused pid.
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = sshd ] || return 1
    echo "$pid"
}

port_open() {
    (exec 3<>"/dev/tcp/$ADDRESS/22") 2>/dev/null
}

stop_server() {
    local pid i
    if pid=$(running_pid); then
        kill -TERM "$pid" 2>/dev/null || true
        for ((i = 0; i < 100; i++)); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            kill -KILL "$pid" 2>/dev/null || true
            sleep 0.2
        fi
    fi
    rm -f "$PID_FILE"
    for ((i = 0; i < 50; i++)); do
        port_open || return 0
        sleep 0.1
    done
    die "something still listens on $ADDRESS:22"
}

make_user() {
    local name=$1 password=$2 shell=${3:-/bin/sh} profile=${4:-"PS1='~ # '"}
    mkdir -p "$STATE_DIR"
    # The default account is the server's own even when an earlier run left it behind.
    if ! id "$name" >/dev/null 2>&1 || [ "$name" = "$DEFAULT_USER" ]; then
        grep -qx "$name" "$ACCOUNTS" 2>/dev/null || echo "$name" >>"$ACCOUNTS"
    fi
    if ! id "$name" >/dev/null 2>&1; then
        useradd --create-home --shell "$shell" "$name"
    elif [ "$(getent passwd "$name" | cut -d: -f7)" != "$shell" ]; then
        usermod --shell "$shell" "$name"
    fi
    echo "$name:$password" | chpasswd
    local home
    home=$(getent passwd "$name" | cut -d: -f6)
    mkdir -p "$home"
    printf '%s\n' "$profile" >"$home/.profile"
    chown "$name:" "$home" "$home/.profile"
}

# Removes the accounts this script created (with their homes) and its state folder.
remove_accounts() {
    local name
    if [ -f "$ACCOUNTS" ]; then
        while read -r name; do
            [ -n "$name" ] || continue
            id "$name" >/dev/null 2>&1 || continue
            userdel -f -r "$name" 2>/dev/null || userdel -f "$name" || true
        done <"$ACCOUNTS"
    fi
    rm -rf "$STATE_DIR"
}

start_server() {
    stop_server
    mkdir -p "$STATE_DIR" /run/sshd
    chmod 755 /run/sshd
    rm -f "$STATE_DIR/host_key" "$STATE_DIR/host_key.pub"
    ssh-keygen -q -t ed25519 -N '' -f "$STATE_DIR/host_key"
    cat >"$STATE_DIR/sshd_config" <<EOF
ListenAddress $ADDRESS:22
HostKey $STATE_DIR/host_key
PidFile $PID_FILE
UsePAM no
PasswordAuthentication yes
PermitEmptyPasswords no
KbdInteractiveAuthentication no
PubkeyAuthentication no
PermitRootLogin no
UseDNS no
PrintMotd no
PrintLastLog no
Banner none
MaxStartups 50:30:100
LogLevel INFO
EOF
    make_user "$DEFAULT_USER" "$DEFAULT_PASSWORD"
    /usr/sbin/sshd -f "$STATE_DIR/sshd_config" -E "$STATE_DIR/sshd.log" ||
        die "sshd did not start, see $STATE_DIR/sshd.log"
    local i
    for ((i = 0; i < 50; i++)); do
        if running_pid >/dev/null && port_open; then
            echo "test-sshd.sh: listening on $ADDRESS:22, pid $(running_pid)"
            return 0
        fi
        sleep 0.1
    done
    die "sshd does not answer on $ADDRESS:22, see $STATE_DIR/sshd.log"
}

case "${1:-}" in
start) start_server ;;
stop)
    stop_server
    remove_accounts
    ;;
user)
    [ $# -ge 3 ] || die "usage: $0 user NAME PASSWORD [SHELL [PROFILE_LINE]]"
    make_user "$2" "$3" "${4:-/bin/sh}" "${5:-"PS1='~ # '"}"
    ;;
*) die "usage: $0 start|stop|user NAME PASSWORD [SHELL [PROFILE_LINE]]" ;;
esac
