#!/usr/bin/python3
"""ESXi host simulator: the host side of Lullhost's SSH conversation.

One module, three roles (first argument):
  vim-cmd ARGS...   the host's command-line tool, answering from the state file
  shell             the login shell of a simulator account (prompt, command loop)
  ctl ...           set up and inspect a state directory (tests, demo, benchmark)

The state directory comes from --state (ctl), $ESXI_SIM_STATE, or the
account's home directory. It holds state.json (host and VMs, delays and
faults) and commands.log (every line the shell received).
"""

import fcntl
import json
import os
import signal
import subprocess
import sys
import time

STATE_FILE = "state.json"
LOG_FILE = "commands.log"

POWERED_ON = "Powered on"
POWERED_OFF = "Powered off"
SUSPENDED = "Suspended"
STATE_WORDS = {"on": POWERED_ON, "off": POWERED_OFF, "suspended": SUSPENDED}

HOST_DEFAULTS = {
    "hostname": "esxsim",
    "prompt": "classic",  # "classic": "~ # ", "current": "[root@HOST:~] "
    "maintenance": False,
    "refuse_maintenance": False,  # enter command answers with a fault
    "invalid_commands": [],  # vim-cmd commands that answer "Invalid command"
    "hang_interval": 3,  # seconds between progress lines of a hanging command
    "hang_limit": 300,  # a hanging command gives up after this many seconds
}

VM_DEFAULTS = {
    "id": "",
    "name": "",
    "state": POWERED_OFF,
    "guest": "debian11_64Guest",
    "version": "vmx-19",
    # Seconds between the progress line and the end of the command.
    "suspend_delay": 0,
    "poweron_delay": 0,
    "poweroff_delay": 0,
    # "" (none), "hang" (never finishes), "wrong_state" (finishes, state
    # unchanged), "invalid" (answers "Invalid command") or "drop" (the host
    # completes the command but the connection breaks before the answer).
    "suspend_fault": "",
    "poweron_fault": "",
    "poweroff_fault": "",
}


def state_dir():
    d = os.environ.get("ESXI_SIM_STATE")
    if d:
        return d
    return os.path.expanduser("~")


class Locked:
    """Serialises readers and writers of one state directory."""

    def __init__(self, directory):
        self.directory = directory
        self.fd = None

    def __enter__(self):
        self.fd = os.open(self.directory, os.O_RDONLY)
        fcntl.flock(self.fd, fcntl.LOCK_EX)
        return self

    def __exit__(self, *exc):
        fcntl.flock(self.fd, fcntl.LOCK_UN)
        os.close(self.fd)


def load_state(directory):
    path = os.path.join(directory, STATE_FILE)
    try:
        with open(path, encoding="utf-8") as f:
            state = json.load(f)
    except FileNotFoundError:
        state = {}
    for key, value in HOST_DEFAULTS.items():
        state.setdefault(key, value)
    vms = []
    for vm in state.get("vms", []):
        full = dict(VM_DEFAULTS)
        full.update(vm)
        full["id"] = str(full["id"])
        vms.append(full)
    state["vms"] = vms
    return state


def save_state(directory, state):
    # Written by the account's commands and by root's ctl: keep the file owned
    # by the directory's owner so that both can replace it.
    path = os.path.join(directory, STATE_FILE)
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(state, f, indent=2)
        f.write("\n")
    if os.geteuid() == 0:
        st = os.stat(directory)
        os.chown(tmp, st.st_uid, st.st_gid)
    os.chmod(tmp, 0o644)
    os.replace(tmp, path)


def update_vm(directory, vmid, **changes):
    with Locked(directory):
        state = load_state(directory)
        for vm in state["vms"]:
            if vm["id"] == vmid:
                vm.update(changes)
        save_state(directory, state)


def out(text):
    sys.stdout.write(text)
    sys.stdout.flush()


# ---------------------------------------------------------------- vim-cmd

COMMAND_LIST = """Commands available under /:
hbrsvc/       internalsvc/  solo/         vmsvc/
hostsvc/      proxysvc/     vimsvc/       help
"""


def vm_not_found(vmid):
    out('Unable to find a VM corresponding to "%s": vim.fault.NotFound (VM not found)\n' % vmid)
    return 1


def print_allvms(state):
    rows = [("Vmid", "Name", "File", "Guest OS", "Version", "Annotation")]
    for vm in state["vms"]:
        vmx = "[datastore1] %s/%s.vmx" % (vm["name"], vm["name"])
        rows.append((vm["id"], vm["name"], vmx, vm["guest"], vm["version"], ""))
    widths = [max(len(r[i]) for r in rows) for i in range(5)]
    for r in rows:
        cells = [r[i].ljust(widths[i]) for i in range(5)] + [r[5]]
        out("   ".join(cells).rstrip() + "\n")


def print_hostsummary(state):
    flag = "true" if state["maintenance"] else "false"
    out(
        "(vim.host.Summary) {\n"
        "   host = 'vim.HostSystem:ha-host',\n"
        "   runtime = (vim.host.RuntimeInfo) {\n"
        "      connectionState = \"connected\",\n"
        "      powerState = \"poweredOn\",\n"
        "      inMaintenanceMode = %s,\n"
        "      inQuarantineMode = false,\n"
        "      bootTime = \"2026-12-01T08:00:00Z\",\n"
        "   },\n"
        "   config = (vim.host.Summary.ConfigSummary) {\n"
        "      name = \"%s\",\n"
        "      port = 443,\n"
        "   },\n"
        "}\n" % (flag, state["hostname"])
    )


POWER_COMMANDS = {
    # command: (progress text, key prefix, end state)
    "vmsvc/power.suspend": ("Suspending VM:", "suspend", SUSPENDED),
    "vmsvc/power.on": ("Powering on VM:", "poweron", POWERED_ON),
    "vmsvc/power.off": ("Powering off VM:", "poweroff", POWERED_OFF),
}


def power_command(directory, state, command, vmid):
    progress, key, end_state = POWER_COMMANDS[command]
    vm = next((v for v in state["vms"] if v["id"] == vmid), None)
    if vm is None:
        return vm_not_found(vmid)
    fault = vm[key + "_fault"]
    if fault == "invalid":
        out("Invalid command '%s'\n" % command)
        return 1
    out(progress + "\n")
    if fault == "hang":
        interval = max(float(state["hang_interval"]), 0.1)
        deadline = time.monotonic() + float(state["hang_limit"])
        while time.monotonic() < deadline:
            time.sleep(interval)
            out(progress + "\n")
        return 1
    time.sleep(float(vm[key + "_delay"]))
    if fault != "wrong_state":
        update_vm(directory, vmid, state=end_state)
    if fault == "drop":
        shell_pid = os.environ.get("ESXI_SIM_SHELL")
        if shell_pid:
            os.kill(int(shell_pid), signal.SIGKILL)
        os._exit(1)
    return 0


def maintenance_command(directory, enter):
    with Locked(directory):
        state = load_state(directory)
        if enter and state["refuse_maintenance"]:
            out(
                "(vim.fault.InvalidState) {\n"
                "   msg = \"The operation is not allowed in the current state.\"\n"
                "}\n"
            )
            return 1
        state["maintenance"] = enter
        save_state(directory, state)
    return 0


def vim_cmd(args):
    directory = state_dir()
    with Locked(directory):
        state = load_state(directory)
    if not args:
        out(COMMAND_LIST)
        return 0
    command = args[0]
    if command in state["invalid_commands"]:
        out("Invalid command '%s'\n" % command)
        return 1
    if command == "vmsvc/getallvms":
        print_allvms(state)
        return 0
    if command == "vmsvc/power.getstate" and len(args) > 1:
        vm = next((v for v in state["vms"] if v["id"] == args[1]), None)
        if vm is None:
            return vm_not_found(args[1])
        out("Retrieved runtime info\n%s\n" % vm["state"])
        return 0
    if command in POWER_COMMANDS and len(args) > 1:
        return power_command(directory, state, command, args[1])
    if command == "hostsvc/hostsummary":
        print_hostsummary(state)
        return 0
    if command == "hostsvc/maintenance_mode_enter":
        return maintenance_command(directory, True)
    if command == "hostsvc/maintenance_mode_exit":
        return maintenance_command(directory, False)
    out("Invalid command '%s'\n" % command)
    return 1


# ---------------------------------------------------------------- shell


def prompt_text(state):
    if state["prompt"] == "current":
        return "[root@%s:~] " % state["hostname"]
    return "~ # "


def shell():
    directory = state_dir()
    bindir = os.path.dirname(os.path.abspath(__file__))
    env = dict(os.environ)
    env["ESXI_SIM_STATE"] = directory
    env["ESXI_SIM_SHELL"] = str(os.getpid())
    env["PATH"] = bindir + ":/usr/bin:/bin"
    # Without a terminal nobody echoes the typed line; a real host always runs
    # its shell on one, so behave the same either way.
    echo = not os.isatty(0)
    out("The time and date of this login have been sent to the system logs.\n\n")
    while True:
        with Locked(directory):
            state = load_state(directory)
        out(prompt_text(state))
        line = sys.stdin.readline()
        if not line:
            return 0
        if echo:
            out(line)
        with open(os.path.join(directory, LOG_FILE), "a", encoding="utf-8") as log:
            log.write(line if line.endswith("\n") else line + "\n")
        command = line.strip()
        if command in ("exit", "logout"):
            return 0
        if command:
            subprocess.call(["/bin/sh", "-c", command], env=env)


# ---------------------------------------------------------------- ctl

CTL_USAGE = """usage: esxi-sim [--state DIR] COMMAND ...
  init [--prompt classic|current] [--hostname NAME] [--maintenance]
       [VMID:STATE:NAME ...]    fresh state; STATE is on, off or suspended
  host KEY=VALUE ...            change host settings (prompt, maintenance, ...)
  vm VMID KEY=VALUE ...         change VM settings (state, suspend_delay, ...)
  status                        print the host's flag and the VM states
  vmstate VMID                  print one VM's power state
  maintenance                   print "on" or "off"
  show                          print the state as JSON
  log                           print the commands the shell received
  clear-log                     forget the received commands
"""


def parse_value(text):
    try:
        return json.loads(text)
    except ValueError:
        return text


def ctl(args):
    directory = state_dir()
    if len(args) >= 2 and args[0] == "--state":
        directory = args[1]
        args = args[2:]
    if not args:
        sys.stderr.write(CTL_USAGE)
        return 2
    command, rest = args[0], args[1:]
    os.makedirs(directory, exist_ok=True)
    with Locked(directory):
        if command == "init":
            state = {}
            vms = []
            i = 0
            while i < len(rest):
                a = rest[i]
                if a == "--prompt" and i + 1 < len(rest):
                    state["prompt"] = rest[i + 1]
                    i += 2
                    continue
                if a == "--hostname" and i + 1 < len(rest):
                    state["hostname"] = rest[i + 1]
                    i += 2
                    continue
                if a == "--maintenance":
                    state["maintenance"] = True
                    i += 1
                    continue
                parts = a.split(":", 2)
                if len(parts) != 3 or parts[1] not in STATE_WORDS:
                    sys.stderr.write("bad VM '%s'\n" % a)
                    return 2
                vms.append({"id": parts[0], "name": parts[2], "state": STATE_WORDS[parts[1]]})
                i += 1
            state["vms"] = vms
            save_state(directory, load_state_from(state))
            log = os.path.join(directory, LOG_FILE)
            if os.path.exists(log):
                os.remove(log)
            return 0
        state = load_state(directory)
        if command == "host":
            for kv in rest:
                key, _, value = kv.partition("=")
                state[key] = parse_value(value)
            save_state(directory, state)
            return 0
        if command == "vm" and rest:
            vm = next((v for v in state["vms"] if v["id"] == rest[0]), None)
            if vm is None:
                sys.stderr.write("no VM '%s'\n" % rest[0])
                return 2
            for kv in rest[1:]:
                key, _, value = kv.partition("=")
                if key == "state":
                    value = STATE_WORDS.get(value, value)
                    vm[key] = value
                elif key in ("name", "id"):
                    vm[key] = value
                else:
                    vm[key] = parse_value(value)
            save_state(directory, state)
            return 0
        if command == "status":
            out("host %s, maintenance mode: %s\n" % (state["hostname"], "on" if state["maintenance"] else "off"))
            for vm in state["vms"]:
                out("  VM %-4s %-16s %s\n" % (vm["id"], vm["name"], vm["state"]))
            return 0
        if command == "vmstate" and rest:
            vm = next((v for v in state["vms"] if v["id"] == rest[0]), None)
            out((vm["state"] if vm else "none") + "\n")
            return 0 if vm else 2
        if command == "maintenance":
            out(("on" if state["maintenance"] else "off") + "\n")
            return 0
        if command == "show":
            out(json.dumps(state, indent=2) + "\n")
            return 0
        if command == "log":
            try:
                with open(os.path.join(directory, LOG_FILE), encoding="utf-8") as f:
                    out(f.read())
            except FileNotFoundError:
                pass
            return 0
        if command == "clear-log":
            log = os.path.join(directory, LOG_FILE)
            if os.path.exists(log):
                os.remove(log)
            return 0
    sys.stderr.write(CTL_USAGE)
    return 2


def load_state_from(partial):
    state = dict(HOST_DEFAULTS)
    state.update(partial)
    vms = []
    for vm in partial.get("vms", []):
        full = dict(VM_DEFAULTS)
        full.update(vm)
        vms.append(full)
    state["vms"] = vms
    return state


def main(argv):
    if len(argv) < 2:
        sys.stderr.write("usage: esxisim.py vim-cmd|shell|ctl ...\n")
        return 2
    role, args = argv[1], argv[2:]
    if role == "vim-cmd":
        return vim_cmd(args)
    if role == "shell":
        return shell()
    if role == "ctl":
        return ctl(args)
    sys.stderr.write("unknown role '%s'\n" % role)
    return 2


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except (BrokenPipeError, KeyboardInterrupt):
        sys.exit(1)
