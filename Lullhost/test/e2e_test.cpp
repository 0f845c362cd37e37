// Lullhost end to end: the real program and the real plink against the host
// simulator behind the loopback sshd. Every test owns one simulator account
// (esxsimN), so tests may run side by side. Needs root (accounts, sshd).
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Output {
    int code = -1;
    std::string text;
};

Output Shell(const std::string& command) {
    Output out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        out.text.append(buffer, n);
    const int status = pclose(pipe);
    out.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// One simulated host: the state directory of a simulator account.
class SimHost {
public:
    explicit SimHost(int account)
        : m_user("esxsim" + std::to_string(account)), m_dir("/var/lib/esxi-sim/" + m_user) {}

    const std::string& User() const { return m_user; }

    std::string Ctl(const std::string& args) const {
        Output out = Shell(std::string(ESXI_SIM_CTL) + " --state " + Quote(m_dir) + " " + args);
        EXPECT_EQ(0, out.code) << args << "\n" << out.text;
        return out.text;
    }
    std::string VmState(const std::string& id) const {
        std::string s = Ctl("vmstate " + id);
        return s.substr(0, s.find('\n'));
    }
    std::string Maintenance() const {
        std::string s = Ctl("maintenance");
        return s.substr(0, s.find('\n'));
    }
    // The command lines the host's shell received, one per entry.
    std::vector<std::string> Log() const {
        std::vector<std::string> lines;
        std::istringstream in(Ctl("log"));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

private:
    std::string m_user;
    std::string m_dir;
};

// A working directory with the plink link and a fresh HOME, as Lullhost expects.
// Options every run of the suite adds (the suite runs once more with "-fast").
std::string Options() {
    const char* options = getenv("LULLHOST_E2E_OPTIONS");
    return options ? std::string(options) + " " : std::string();
}

class LullhostRunner {
public:
    LullhostRunner() {
        char dir[] = "/tmp/lullhost-e2e-XXXXXX";
        if (mkdtemp(dir) != nullptr)
            m_dir = dir;
    }
    ~LullhostRunner() {
        if (!m_dir.empty())
            Shell("rm -rf " + Quote(m_dir));
    }

    std::string ListFile() const { return m_dir + "/esxi_vms.xml"; }

    // Runs one mode with a fresh plink host-key cache.
    Output Run(const SimHost& host, const std::string& mode, const std::string& extra = "",
               const std::string& password = ESXI_SIM_PASSWORD) const {
        return Shell(Command(host, mode, extra, password));
    }

    // Starts one mode in the background (output in out.txt); the pid is Lullhost's own.
    pid_t Start(const SimHost& host, const std::string& mode, const std::string& extra = "") const {
        const std::string command =
            Command(host, mode, extra, ESXI_SIM_PASSWORD, "exec ") + " >out.txt 2>&1";
        pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }
    std::string StartedOutput() const { return ReadFile(m_dir + "/out.txt"); }
    const std::string& Dir() const { return m_dir; }

private:
    std::string Command(const SimHost& host, const std::string& mode, const std::string& extra,
                        const std::string& password, const std::string& exec = "") const {
        const std::string home = m_dir + "/home";
        return "rm -rf " + Quote(home) + " && mkdir " + Quote(home) + " && cd " + Quote(m_dir) +
               " && ln -sf /usr/bin/plink plink && HOME=" + Quote(home) + " " + exec +
               Quote(LULLHOST_BINARY) + " -host 127.0.0.2 -usr " + host.User() + " -pwd " +
               Quote(password) + " -mode " + mode + " -D debug " + Options() + extra;
    }

    std::string m_dir;
};

// Exit code of a started run, or -1 when it has not ended within the bound.
int WaitExit(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        usleep(100000);
    }
    return -1;
}

// Waits (bounded) until the simulator's log holds a line; false when it never came.
bool AwaitLogLine(const SimHost& host, const std::string& line, int seconds) {
    for (int i = 0; i < seconds * 5; ++i) {
        for (const std::string& l : host.Log())
            if (l == line)
                return true;
        usleep(200000);
    }
    return false;
}

// Waits (bounded) until no process of the account runs any more: the client has logged out.
bool AwaitLoggedOut(const SimHost& host, int seconds) {
    for (int i = 0; i < seconds * 5; ++i) {
        if (Shell("pgrep -u " + host.User()).code == 1)
            return true;
        usleep(200000);
    }
    return false;
}

class EndToEndTest : public testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root: simulator accounts behind the loopback sshd";
    }
};

const std::string VM_LISTING_LOG_HEAD[] = {
    "vim-cmd", "vim-cmd hostsvc/hostsummary | grep inMaintenanceMode", "vim-cmd vmsvc/getallvms"};

// account_check and check_maintenance_mode in either prompt style. The current
// prompt names the host, here with a name that holds a maintenance flag word.
void CheckAccountAndMaintenance(const std::string& prompt, int account) {
    const bool classic = prompt == "classic";
    SimHost host(account);
    host.Ctl("init --prompt " + prompt + " --hostname esx-true 1:on:web01" +
             (classic ? " --maintenance" : ""));
    LullhostRunner lullhost;

    // Started with standard input closed, the tool must not take descriptor 0 for a pipe.
    Output out = lullhost.Run(host, "account_check", "<&-");
    EXPECT_EQ(0, out.code) << out.text;
    EXPECT_NE(std::string::npos, out.text.find("Brennet tool")) << out.text;
    out = lullhost.Run(host, "check_maintenance_mode");
    if (classic) {
        EXPECT_EQ(0, out.code) << out.text;
        EXPECT_NE(std::string::npos, out.text.find("VMWare host is in maintenanace mode"));
    } else {
        EXPECT_EQ(13, out.code) << out.text;
        EXPECT_NE(std::string::npos, out.text.find("VMWare host is not in maintenance mode"));
    }
    EXPECT_FALSE(Exists(lullhost.ListFile()));
    // Both modes stop after reading the flag: nothing else reaches the host.
    EXPECT_EQ(4u, host.Log().size());
}

// The whole cycle: suspend the running VMs, enter maintenance mode, write the
// list; then leave maintenance mode and bring back exactly the marked VMs.
void RunSuspendAndRebootCycle(const std::string& prompt, int account) {
    SimHost host(account);
    host.Ctl("init --prompt " + prompt +
             " 1:on:web01 '2:on:db server' 3:off:archive 4:suspended:old");
    // The first answer shows only the progress line; the prompt comes later.
    host.Ctl("vm 1 suspend_delay=3");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms", "-timeoutminutes 2");
    ASSERT_EQ(0, out.code) << out.text;
    EXPECT_EQ("<?xml version=\"1.0\"?>\n"
              "<esxiserver host=\"127.0.0.2\" maintenancemode=\"true\" reboot=\"true\"><vms>"
              "<virtualmachineserver id=\"1\" name=\"web01\" rebootstatus=\"to reboot\" "
              "status=\"Suspended\" timeout=\"120\"></virtualmachineserver>"
              "<virtualmachineserver id=\"2\" name=\"db\" rebootstatus=\"to reboot\" "
              "status=\"Suspended\" timeout=\"120\"></virtualmachineserver>"
              "<virtualmachineserver id=\"3\" name=\"archive\" status=\"Powered off\" "
              "timeout=\"120\"></virtualmachineserver>"
              "<virtualmachineserver id=\"4\" name=\"old\" status=\"Suspended\" "
              "timeout=\"120\"></virtualmachineserver>"
              "</vms></esxiserver>\n",
              ReadFile(lullhost.ListFile()));
    const std::vector<std::string> suspendLog = {
        VM_LISTING_LOG_HEAD[0],
        VM_LISTING_LOG_HEAD[1],
        VM_LISTING_LOG_HEAD[2],
        "vim-cmd vmsvc/power.getstate 1",
        "vim-cmd vmsvc/power.getstate 2",
        "vim-cmd vmsvc/power.getstate 3",
        "vim-cmd vmsvc/power.getstate 4",
        "vim-cmd vmsvc/power.suspend 1",
        "vim-cmd vmsvc/power.getstate 1",
        "vim-cmd vmsvc/power.suspend 2",
        "vim-cmd vmsvc/power.getstate 2",
        "vim-cmd hostsvc/maintenance_mode_enter",
        "vim-cmd hostsvc/hostsummary | grep inMaintenanceMode"};
    EXPECT_EQ(suspendLog, host.Log());
    EXPECT_EQ("on", host.Maintenance());

    host.Ctl("clear-log");
    out = lullhost.Run(host, "reboot_vms");
    ASSERT_EQ(0, out.code) << out.text;
    EXPECT_EQ("<?xml version=\"1.0\"?>\n"
              "<esxiserver host=\"127.0.0.2\" maintenancemode=\"false\" reboot=\"false\"><vms>"
              "<virtualmachineserver id=\"1\" name=\"web01\" rebootstatus=\"rebooted\" "
              "status=\"Powered on\" timeout=\"120\"></virtualmachineserver>"
              "<virtualmachineserver id=\"2\" name=\"db\" rebootstatus=\"rebooted\" "
              "status=\"Powered on\" timeout=\"120\"></virtualmachineserver>"
              "<virtualmachineserver id=\"3\" name=\"archive\" status=\"Powered off\" "
              "timeout=\"120\"></virtualmachineserver>"
              "<virtualmachineserver id=\"4\" name=\"old\" status=\"Suspended\" "
              "timeout=\"120\"></virtualmachineserver>"
              "</vms></esxiserver>\n",
              ReadFile(lullhost.ListFile()));
    const std::vector<std::string> rebootLog = {
        VM_LISTING_LOG_HEAD[0],
        VM_LISTING_LOG_HEAD[1],
        "vim-cmd hostsvc/maintenance_mode_exit",
        "vim-cmd hostsvc/hostsummary | grep inMaintenanceMode",
        "vim-cmd vmsvc/power.on 1",
        "vim-cmd vmsvc/power.getstate 1",
        "vim-cmd vmsvc/power.on 2",
        "vim-cmd vmsvc/power.getstate 2"};
    EXPECT_EQ(rebootLog, host.Log());
    EXPECT_EQ("off", host.Maintenance());
    EXPECT_EQ("Powered on", host.VmState("1"));
    EXPECT_EQ("Powered on", host.VmState("2"));
    EXPECT_EQ("Powered off", host.VmState("3"));
    EXPECT_EQ("Suspended", host.VmState("4"));

    if (prompt != "classic")
        return;
    // A file written by a successful reboot_vms asks for nothing more.
    host.Ctl("clear-log");
    out = lullhost.Run(host, "reboot_vms");
    EXPECT_EQ(0, out.code) << out.text;
    EXPECT_EQ(2u, host.Log().size()); // the login's two commands only
}

} // namespace

// The long runs first, so that they overlap with the short ones.
TEST_F(EndToEndTest, SuspendAndRebootCycleClassicPrompt) {
    RunSuspendAndRebootCycle("classic", 1);
}
TEST_F(EndToEndTest, SuspendAndRebootCycleCurrentPrompt) {
    RunSuspendAndRebootCycle("current", 2);
}
TEST_F(EndToEndTest, AccountAndMaintenanceChecksClassicPrompt) {
    CheckAccountAndMaintenance("classic", 3);
}
TEST_F(EndToEndTest, AccountAndMaintenanceChecksCurrentPrompt) {
    CheckAccountAndMaintenance("current", 4);
}

// A host already in maintenance mode is left as it is, and so is the next reboot.
TEST_F(EndToEndTest, HostAlreadyInMaintenanceIsLeftAlone) {
    SimHost host(5);
    host.Ctl("init --prompt classic --maintenance 1:on:web01 2:on:db01");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms");
    ASSERT_EQ(0, out.code) << out.text;
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos, file.find("maintenancemode=\"true\" reboot=\"false\""));
    EXPECT_EQ(std::string::npos, file.find("rebootstatus"));
    EXPECT_EQ(5u, host.Log().size()); // login, flag, listing, two states
    EXPECT_EQ("Powered on", host.VmState("1"));

    out = lullhost.Run(host, "reboot_vms");
    EXPECT_EQ(0, out.code) << out.text;
    EXPECT_EQ("on", host.Maintenance());
    EXPECT_EQ(7u, host.Log().size()); // only the login's two commands more
}

// The second answer of a suspend still shows only progress: 15, the VMs suspended so far and the
// one whose suspend was sent stay marked, the rest is untouched and reboot stays false. The next
// reboot_vms resumes the marked VMs and leaves maintenance mode alone.
TEST_F(EndToEndTest, SuspendStillInProgressEndsWith15) {
    SimHost host(6);
    host.Ctl("init --prompt current 1:on:web01 2:on:stuck 3:on:db01");
    host.Ctl("vm 2 suspend_fault=hang");
    host.Ctl("host hang_interval=5 hang_limit=30");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms");
    ASSERT_EQ(15, out.code) << out.text;
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos, file.find("maintenancemode=\"false\" reboot=\"false\"")) << file;
    EXPECT_NE(std::string::npos,
              file.find("id=\"1\" name=\"web01\" rebootstatus=\"to reboot\" status=\"Suspended\""))
        << file;
    EXPECT_NE(std::string::npos, file.find("id=\"2\" name=\"stuck\" rebootstatus=\"to reboot\" "
                                           "status=\"Powered on\""))
        << file;
    EXPECT_NE(std::string::npos, file.find("id=\"3\" name=\"db01\" status=\"Powered on\"")) << file;
    for (const std::string& line : host.Log()) {
        EXPECT_NE("vim-cmd vmsvc/power.suspend 3", line);
        EXPECT_NE("vim-cmd hostsvc/maintenance_mode_enter", line);
    }
    EXPECT_EQ("Powered on", host.VmState("3"));

    host.Ctl("clear-log");
    out = lullhost.Run(host, "reboot_vms");
    EXPECT_EQ(0, out.code) << out.text;
    const std::vector<std::string> rebootLog = {
        VM_LISTING_LOG_HEAD[0],     VM_LISTING_LOG_HEAD[1],
        "vim-cmd vmsvc/power.on 1", "vim-cmd vmsvc/power.getstate 1",
        "vim-cmd vmsvc/power.on 2", "vim-cmd vmsvc/power.getstate 2"};
    EXPECT_EQ(rebootLog, host.Log());
    EXPECT_EQ("Powered on", host.VmState("1"));
}

// The suspend command finishes but the VM is still running afterwards.
TEST_F(EndToEndTest, WrongEndStateEndsWith11) {
    SimHost host(7);
    host.Ctl("init --prompt classic 1:on:web01 2:on:db01");
    host.Ctl("vm 1 suspend_fault=wrong_state");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms");
    ASSERT_EQ(11, out.code) << out.text;
    EXPECT_NE(std::string::npos, out.text.find("failed to suspend virtual machine 1 web01"));
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos, file.find("reboot=\"false\""));
    EXPECT_EQ(std::string::npos, file.find("rebootstatus"));
    EXPECT_EQ("Powered on", host.VmState("2"));
    EXPECT_EQ("off", host.Maintenance());
}

// The host refuses maintenance mode: 13, the suspended VM stays marked.
TEST_F(EndToEndTest, MaintenanceRefusedEndsWith13) {
    SimHost host(8);
    host.Ctl("init --prompt current 1:on:web01");
    host.Ctl("host refuse_maintenance=true");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms");
    ASSERT_EQ(13, out.code) << out.text;
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos, file.find("maintenancemode=\"false\" reboot=\"false\""));
    EXPECT_NE(std::string::npos, file.find("rebootstatus=\"to reboot\" status=\"Suspended\""));

    // The marked VM comes back; the host never entered maintenance mode, so it is not told to
    // leave it.
    host.Ctl("clear-log");
    out = lullhost.Run(host, "reboot_vms");
    EXPECT_EQ(0, out.code) << out.text;
    EXPECT_EQ("Powered on", host.VmState("1"));
    for (const std::string& line : host.Log())
        EXPECT_NE("vim-cmd hostsvc/maintenance_mode_exit", line);
}

// A power-on fails: the run ends with 11, reboot is cleared, the failing VM and
// the ones after it keep their marks and are not touched.
TEST_F(EndToEndTest, FailedPowerOnLeavesTheRestMarked) {
    SimHost host(9);
    host.Ctl("init --prompt classic --maintenance 1:suspended:web01 2:suspended:db01 "
             "3:suspended:mail");
    host.Ctl("vm 2 poweron_fault=invalid");
    LullhostRunner lullhost;
    std::ofstream(lullhost.ListFile())
        << "<?xml version=\"1.0\"?>\n"
           "<esxiserver host=\"127.0.0.2\" maintenancemode=\"true\" reboot=\"true\"><vms>"
           "<virtualmachineserver id=\"1\" name=\"web01\" rebootstatus=\"to reboot\" "
           "status=\"Suspended\" timeout=\"60\"></virtualmachineserver>"
           "<virtualmachineserver id=\"2\" name=\"db01\" rebootstatus=\"to reboot\" "
           "status=\"Suspended\" timeout=\"60\"></virtualmachineserver>"
           "<virtualmachineserver id=\"3\" name=\"mail\" rebootstatus=\"to reboot\" "
           "status=\"Suspended\" timeout=\"60\"></virtualmachineserver>"
           "</vms></esxiserver>\n";

    Output out = lullhost.Run(host, "reboot_vms");
    ASSERT_EQ(11, out.code) << out.text;
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos, file.find("maintenancemode=\"false\" reboot=\"false\""));
    EXPECT_NE(std::string::npos, file.find("id=\"1\" name=\"web01\" rebootstatus=\"rebooted\""));
    EXPECT_NE(std::string::npos, file.find("id=\"2\" name=\"db01\" rebootstatus=\"to reboot\""));
    EXPECT_NE(std::string::npos, file.find("id=\"3\" name=\"mail\" rebootstatus=\"to reboot\""));
    EXPECT_EQ("Powered on", host.VmState("1"));
    EXPECT_EQ("Suspended", host.VmState("3"));
}

// reboot_vms without a list file starts the client, then ends with 2 and writes nothing.
TEST_F(EndToEndTest, RebootWithoutListFileEndsWith2) {
    SimHost host(10);
    host.Ctl("init --prompt classic 1:on:web01");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "reboot_vms");
    EXPECT_EQ(2, out.code) << out.text;
    EXPECT_NE(std::string::npos, out.text.find("can't read esxi server structure from xml"));
    EXPECT_FALSE(Exists(lullhost.ListFile()));
    EXPECT_TRUE(host.Log().empty());
}

// A refused password ends the login with 6; suspend_vms still writes its file.
TEST_F(EndToEndTest, WrongPasswordEndsWith6) {
    SimHost host(11);
    host.Ctl("init --prompt current 1:on:web01");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms", "", "not-the-password");
    EXPECT_EQ(6, out.code) << out.text;
    EXPECT_EQ("<?xml version=\"1.0\"?>\n<esxiserver host=\"127.0.0.2\" maintenancemode=\"false\" "
              "reboot=\"false\"><vms></vms></esxiserver>\n",
              ReadFile(lullhost.ListFile()));
    EXPECT_EQ("Powered on", host.VmState("1"));
}

// A listing longer than any one read of the client's output is taken whole: the VMs at its end
// are on record too. The state query is refused so that the run ends right after the listing.
TEST_F(EndToEndTest, LongListingIsReadWhole) {
    SimHost host(12);
    std::string vms;
    for (int i = 1; i <= 200; ++i)
        vms += " " + std::to_string(i) + ":off:vm-" + std::to_string(i) +
               "-with-a-long-name-as-datastores-have-them-0123456789";
    host.Ctl("init --prompt current" + vms);
    host.Ctl("host 'invalid_commands=[\"vmsvc/power.getstate\"]'");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms");
    EXPECT_EQ(11, out.code) << out.text;
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos, file.find("id=\"1\" name=\"vm-1-with")) << file;
    EXPECT_NE(std::string::npos, file.find("id=\"200\" name=\"vm-200-with")) << file;
}

// VM names like the client's prompts are command output: the run neither takes them for a
// password prompt nor waits for the end of a session.
TEST_F(EndToEndTest, VmNamesLikeSessionCuesAreJustNames) {
    SimHost host(13);
    host.Ctl("init --prompt classic 1:on:vault-password: 2:on:logout-gw");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms");
    ASSERT_EQ(0, out.code) << out.text;
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos,
              file.find("name=\"vault-password:\" rebootstatus=\"to reboot\" status=\"Suspended\""))
        << file;
    EXPECT_NE(std::string::npos,
              file.find("name=\"logout-gw\" rebootstatus=\"to reboot\" status=\"Suspended\""))
        << file;
    EXPECT_EQ("on", host.Maintenance());
}

// The list file is the only record of what to resume: a failed login keeps it as it was, and a
// second suspend_vms while the host is still in maintenance keeps its marks, so reboot_vms still
// brings every VM back.
TEST_F(EndToEndTest, EarlierRecordSurvivesFailedAndRepeatedSuspends) {
    SimHost host(14);
    host.Ctl("init --prompt current 1:on:web01 2:on:db01 3:off:archive");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms");
    ASSERT_EQ(0, out.code) << out.text;
    const std::string record = ReadFile(lullhost.ListFile());
    ASSERT_NE(std::string::npos, record.find("reboot=\"true\"")) << record;

    out = lullhost.Run(host, "suspend_vms", "", "not-the-password");
    EXPECT_EQ(6, out.code) << out.text;
    EXPECT_EQ(record, ReadFile(lullhost.ListFile()));

    out = lullhost.Run(host, "suspend_vms");
    EXPECT_EQ(0, out.code) << out.text;
    EXPECT_EQ(record, ReadFile(lullhost.ListFile()));

    out = lullhost.Run(host, "reboot_vms");
    EXPECT_EQ(0, out.code) << out.text;
    EXPECT_EQ("off", host.Maintenance());
    EXPECT_EQ("Powered on", host.VmState("1"));
    EXPECT_EQ("Powered on", host.VmState("2"));
    EXPECT_EQ("Powered off", host.VmState("3"));
}

// The connection breaks after a suspend command was sent and the host completed it: the VM is on
// record all the same, and reboot_vms resumes it.
TEST_F(EndToEndTest, VmIsMarkedOnceItsSuspendWasSent) {
    SimHost host(15);
    host.Ctl("init --prompt classic 1:on:web01 2:on:db01");
    host.Ctl("vm 1 suspend_fault=drop");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms");
    EXPECT_NE(0, out.code) << out.text;
    EXPECT_EQ("Suspended", host.VmState("1"));
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos, file.find("id=\"1\" name=\"web01\" rebootstatus=\"to reboot\""))
        << file;
    EXPECT_NE(std::string::npos, file.find("id=\"2\" name=\"db01\" status=\"Powered on\"")) << file;

    host.Ctl("vm 1 suspend_fault=''");
    out = lullhost.Run(host, "reboot_vms");
    EXPECT_EQ(0, out.code) << out.text;
    EXPECT_EQ("Powered on", host.VmState("1"));
}

// A list file that cannot be written, or an XML file that is no list file, ends the run before
// anything reaches the host, and the file stays as it is.
TEST_F(EndToEndTest, ListFileProblemsChangeNothing) {
    SimHost host(16);
    host.Ctl("init --prompt classic 1:on:web01");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms", "ListFile=/nonexistent-folder/vms.xml");
    EXPECT_EQ(2, out.code) << out.text;
    EXPECT_TRUE(host.Log().empty());
    EXPECT_EQ("Powered on", host.VmState("1"));

    const std::string other = "<?xml version=\"1.0\"?>\n<settings><vms/></settings>\n";
    std::ofstream(lullhost.ListFile()) << other;
    for (const char* mode : {"reboot_vms", "suspend_vms"}) {
        out = lullhost.Run(host, mode);
        EXPECT_EQ(2, out.code) << mode << "\n" << out.text;
        EXPECT_EQ(other, ReadFile(lullhost.ListFile())) << mode;
    }
    EXPECT_TRUE(host.Log().empty());
    EXPECT_EQ("Powered on", host.VmState("1"));
}

// A VM id from the list file is put into a command line that the host's shell runs: an id that
// is not a number is never sent; the other marked VMs are still resumed.
TEST_F(EndToEndTest, DamagedVmIdIsNeverSent) {
    SimHost host(17);
    host.Ctl("init --prompt classic 1:suspended:web01 2:suspended:db01");
    LullhostRunner lullhost;
    std::ofstream(lullhost.ListFile())
        << "<?xml version=\"1.0\"?>\n"
           "<esxiserver host=\"127.0.0.2\" maintenancemode=\"false\" reboot=\"false\"><vms>"
           "<virtualmachineserver id=\"1;id&gt;injected\" name=\"web01\" "
           "rebootstatus=\"to reboot\"></virtualmachineserver>"
           "<virtualmachineserver id=\"2\" name=\"db01\" "
           "rebootstatus=\"to reboot\"></virtualmachineserver>"
           "</vms></esxiserver>\n";

    Output out = lullhost.Run(host, "reboot_vms");
    EXPECT_EQ(2, out.code) << out.text;
    for (const std::string& line : host.Log())
        EXPECT_EQ(std::string::npos, line.find("injected")) << line;
    EXPECT_EQ("Suspended", host.VmState("1"));
    EXPECT_EQ("Powered on", host.VmState("2"));
}

// A termination signal stops the run at its next step: the list file holds what is known (the VM
// whose suspend was sent is marked), the client logs out, and the exit code says so.
TEST_F(EndToEndTest, InterruptedRunSavesWhatIsKnownAndLogsOut) {
    SimHost host(18);
    host.Ctl("init --prompt classic 1:on:web01 2:on:db01");
    host.Ctl("vm 1 suspend_delay=4");
    LullhostRunner lullhost;

    pid_t pid = lullhost.Start(host, "suspend_vms");
    ASSERT_GT(pid, 0);
    const bool sent = AwaitLogLine(host, "vim-cmd vmsvc/power.suspend 1", 60);
    kill(pid, SIGTERM);
    const int code = WaitExit(pid, 60);
    ASSERT_TRUE(sent);
    EXPECT_EQ(16, code) << lullhost.StartedOutput();
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos, file.find("id=\"1\" name=\"web01\" rebootstatus=\"to reboot\""))
        << file;
    EXPECT_NE(std::string::npos, file.find("reboot=\"false\"")) << file;
    for (const std::string& line : host.Log())
        EXPECT_NE("vim-cmd vmsvc/power.suspend 2", line);
    EXPECT_TRUE(AwaitLoggedOut(host, 30));
}

// A run killed outright cannot end the client itself: the client must see the end of its input
// (or its parent's death) and log out by itself.
TEST_F(EndToEndTest, KilledRunLeavesNoClientLoggedIn) {
    SimHost host(19);
    host.Ctl("init --prompt classic 1:on:web01");
    host.Ctl("vm 1 suspend_delay=4");
    LullhostRunner lullhost;

    pid_t pid = lullhost.Start(host, "suspend_vms");
    ASSERT_GT(pid, 0);
    const bool sent = AwaitLogLine(host, "vim-cmd vmsvc/power.suspend 1", 60);
    kill(pid, SIGKILL);
    WaitExit(pid, 30);
    ASSERT_TRUE(sent);
    EXPECT_TRUE(AwaitLoggedOut(host, 30));
}

namespace {

// The position of a command line in a log; the log's size when it is not there.
size_t Position(const std::vector<std::string>& log, const std::string& line) {
    size_t i = 0;
    while (i < log.size() && log[i] != line)
        ++i;
    return i;
}

// The cycle with several VMs at once: every running VM is suspended exactly once, the host
// enters maintenance mode only after the last of them has reached its end state, and reboot_vms
// leaves maintenance mode before it powers the marked VMs on, again several at once.
void RunParallelCycle(const std::string& prompt, int account) {
    SimHost host(account);
    host.Ctl("init --prompt " + prompt +
             " 1:on:web01 2:on:db01 3:on:app01 4:on:app02 5:on:mail 6:off:archive");
    // Answers with a progress line first, and one VM that takes longer than the others.
    host.Ctl("vm 1 suspend_delay=3");
    host.Ctl("vm 4 suspend_delay=1 poweron_delay=2");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms", "-parallel 3");
    ASSERT_EQ(0, out.code) << out.text;
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos, file.find("maintenancemode=\"true\" reboot=\"true\"")) << file;
    for (const char* vm : {"1\" name=\"web01", "2\" name=\"db01", "3\" name=\"app01",
                           "4\" name=\"app02", "5\" name=\"mail"})
        EXPECT_NE(std::string::npos, file.find(std::string("id=\"") + vm +
                                               "\" rebootstatus=\"to reboot\" "
                                               "status=\"Suspended\""))
            << vm << "\n"
            << file;
    EXPECT_NE(std::string::npos, file.find("id=\"6\" name=\"archive\" status=\"Powered off\""));
    std::vector<std::string> log = host.Log();
    const size_t enter = Position(log, "vim-cmd hostsvc/maintenance_mode_enter");
    ASSERT_LT(enter, log.size());
    for (int id = 1; id <= 5; ++id) {
        const std::string suspend = "vim-cmd vmsvc/power.suspend " + std::to_string(id);
        EXPECT_EQ(1, std::count(log.begin(), log.end(), suspend)) << suspend;
        EXPECT_LT(Position(log, suspend), enter) << suspend;
        EXPECT_EQ("Suspended", host.VmState(std::to_string(id)));
    }
    EXPECT_EQ(0, std::count(log.begin(), log.end(), "vim-cmd vmsvc/power.suspend 6"));
    EXPECT_EQ("on", host.Maintenance());

    host.Ctl("clear-log");
    out = lullhost.Run(host, "reboot_vms", "-parallel 3");
    ASSERT_EQ(0, out.code) << out.text;
    log = host.Log();
    const size_t leave = Position(log, "vim-cmd hostsvc/maintenance_mode_exit");
    ASSERT_LT(leave, log.size());
    for (int id = 1; id <= 5; ++id) {
        const std::string on = "vim-cmd vmsvc/power.on " + std::to_string(id);
        EXPECT_EQ(1, std::count(log.begin(), log.end(), on)) << on;
        EXPECT_GT(Position(log, on), leave) << on;
        EXPECT_EQ("Powered on", host.VmState(std::to_string(id)));
    }
    EXPECT_EQ("Powered off", host.VmState("6"));
    EXPECT_EQ("off", host.Maintenance());
    EXPECT_EQ(std::string::npos, ReadFile(lullhost.ListFile()).find("to reboot"));
}

} // namespace

TEST_F(EndToEndTest, ParallelCycleClassicPrompt) {
    RunParallelCycle("classic", 20);
}
TEST_F(EndToEndTest, ParallelCycleCurrentPrompt) {
    RunParallelCycle("current", 21);
}

// A VM stuck suspending among parallel ones runs into its own limit (15) while the others are
// suspended and marked; maintenance mode is not entered, and reboot_vms brings back every marked
// VM, the stuck one included. The stuck VM comes last, so that every other one was handed out
// before it fails.
TEST_F(EndToEndTest, ParallelStuckVmEndsWith15OthersFinish) {
    SimHost host(22);
    host.Ctl("init --prompt current 1:on:web01 2:on:db01 3:on:app01 4:on:stuck");
    host.Ctl("vm 4 suspend_fault=hang");
    host.Ctl("vm 1 suspend_delay=3");
    host.Ctl("host hang_interval=5 hang_limit=30");
    LullhostRunner lullhost;

    Output out = lullhost.Run(host, "suspend_vms", "-parallel 2");
    ASSERT_EQ(15, out.code) << out.text;
    const std::string file = ReadFile(lullhost.ListFile());
    EXPECT_NE(std::string::npos, file.find("maintenancemode=\"false\" reboot=\"false\"")) << file;
    EXPECT_NE(std::string::npos, file.find("id=\"4\" name=\"stuck\" rebootstatus=\"to reboot\" "
                                           "status=\"Powered on\""))
        << file;
    for (const char* vm : {"1\" name=\"web01", "2\" name=\"db01", "3\" name=\"app01"})
        EXPECT_NE(std::string::npos, file.find(std::string("id=\"") + vm +
                                               "\" rebootstatus=\"to reboot\" "
                                               "status=\"Suspended\""))
            << vm << "\n"
            << file;
    for (const std::string& line : host.Log())
        EXPECT_NE("vim-cmd hostsvc/maintenance_mode_enter", line);
    EXPECT_EQ("off", host.Maintenance());

    host.Ctl("clear-log");
    out = lullhost.Run(host, "reboot_vms", "-parallel 2");
    EXPECT_EQ(0, out.code) << out.text;
    for (const char* id : {"1", "2", "3", "4"})
        EXPECT_EQ("Powered on", host.VmState(id)) << id;
    for (const std::string& line : host.Log())
        EXPECT_NE("vim-cmd hostsvc/maintenance_mode_exit", line);
}
