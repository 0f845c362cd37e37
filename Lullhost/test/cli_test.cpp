// Runs the real Lullhost binary over command lines and checks exit code,
// streams and texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

// Reads both descriptors until the child closes them (bounded by a deadline).
void drain(int a, int b, std::string& textA, std::string& textB) {
    pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
    int open = 2;
    for (int round = 0; open > 0 && round < 1000; ++round) {
        if (poll(fds, 2, 10000) <= 0)
            break;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                (k == 0 ? textA : textB).append(buffer, static_cast<size_t>(n));
            } else {
                fds[k].fd = -1;
                --open;
            }
        }
    }
}

// stderrOnTerminal puts a pseudo-terminal on the child's standard error.
Outcome run_lullhost(const std::vector<std::string>& args, bool stderrOnTerminal = false) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(LULLHOST_BINARY));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int out[2], err[2];
    if (pipe(out) != 0)
        return {};
    if (stderrOnTerminal) {
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&err[0], &err[1], nullptr, &raw, nullptr) != 0)
            return {};
    } else if (pipe(err) != 0) {
        return {};
    }

    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(out[1]);
        close(err[0]);
        close(err[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    Outcome run;
    drain(out[0], err[0], run.out, run.err);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    close(err[0]);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Trace lines start with a clock stamp that tests cannot predict.
std::string without_stamps(const std::string& text) {
    static const std::regex stamp("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]: ");
    return std::regex_replace(text, stamp, "");
}

const char kUsage[] =
    "Lullhost. ver.1.1.0.0\n\n"
    "Usage:\n"
    "\tLullhost OPTIONS -mode account_check\n"
    "\tLullhost OPTIONS -mode suspend_vms ListFile=<filename>\n"
    "\tLullhost OPTIONS -mode reboot_vms ListFile=<filename>\n"
    "\tLullhost OPTIONS -mode check_maintenance_mode\n"
    "\nRequired Parameters:\n"
    "\t-mode {account_check|suspend_vms|reboot_vms|check_maintenance_mode}\t Remote action\n"
    "\t\tsuspend_vms         Suspend all active VMs and save a table of all VMs\n"
    "\t\tand mark suspended machines inside this table.\n"
    "\t\taccount_check        Account_check\n"
    "\t\treboot_ vms            Read the mentioned table and start all marked machines.\n"
    "\t\tcheck_maintenance_mode Check if VMWare host is in maintenance mode\n"
    "\t-host ip\t\t\t (ESXi) host Ip address\n"
    "\t-usr username\t\t\t SSH user login\n"
    "\t-pwd password\t\t\t SSH user password (visible to other local users)\n"
    "\t-pwd -\t\t\t\t read the password from the first line of standard input\n"
    "\t-pwdfile path\t\t\t read it from the first line of a file only its owner may read\n"
    "\nOptional Parameters:\n"
    "\t[-h, help]\t\t\t display this help message\n"
    "\t[-D debug|info|verbose|quiet]\t\t print debug information, default quiet\n"
    "\t[-timeoutminutes]\t\t VM suspend/reboot timeout(min), default 5 min\n"
    "\t[-fast]\t\t\t\t take each answer as soon as the host's prompt ends it\n"
    "\t\t\t\t\t (polls every 20 ms instead of waiting a second)\n"
    "\t[-parallel N]\t\t\t suspend or power on up to N VMs at once (1 to 32),\n"
    "\t\t\t\t\t each over a login of its own; default 1\n"
    "\n";

const char kBanner[] = "\nBrennet tool. ver.1.1.0.0\n\n";
// The tests run without plink in the working directory: a complete command line
// ends with 4 right after the banner, silently unless tracing debug lines.
const char kInterim[] = "";
const char kNoClient[] = "trace> Socket initialization ... Done\n"
                         "trace> RunSshClient: preparing to execute ssh client...\n"
                         "trace> GetRunSshCommand: generate run ssh session command\n"
                         "trace> Socket cleanup ... Done\n";

TEST(LullhostCli, UsageAndHelp) {
    struct Row {
        std::vector<std::string> args;
        int code;
    };
    const Row rows[] = {
        {{}, 1},
        {{"-h"}, 0},
        {{"/help"}, 0},
        {{"help"}, 0},
        {{"-host", "10.0.0.1", "h", "-mode", "nonsense"}, 0},
    };
    for (const Row& row : rows) {
        Outcome run = run_lullhost(row.args);
        EXPECT_EQ(run.code, row.code) << testing::PrintToString(row.args);
        EXPECT_EQ(run.out, kUsage) << testing::PrintToString(row.args);
        EXPECT_EQ(run.err, "");
    }
}

TEST(LullhostCli, CommandLineErrors) {
    struct Row {
        std::vector<std::string> args;
        std::string out;      // stamps removed
        std::string err = ""; // an ignored argument is always reported there
    };
    const std::vector<std::string> ok = {"-usr",   "root",  "-pwd",
                                         "secret", "-mode", "account_check"};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = ok;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    const Row rows[] = {
        {{"-host"}, "Invalid or missed host value\n"},
        {{"-usr", "-x"}, "Invalid or missed usr value\n"},
        {{"-host", "h", "-usr", "u", "-pwd", "-secret", "-mode", "suspend_vms"},
         "Invalid or missed pwd value\n"},
        {{"-host", "h", "-pwd", "/secret"}, "Invalid or missed pwd value\n"},
        {{"-mode"}, "Invalid or missed mode\n"},
        {{"-mode", "/x"}, "Invalid or missed mode\n"},
        {{"-mode", "Suspend_vms", "-h"}, "parse_args: Invalid mode\n"},
        {{"-timeoutminutes"}, "Invalid or missed new timeout value\n"},
        {with({"--host", "10.0.0.1"}), "Argument missed\n",
         "Invalid argument '-host', ignore it\nInvalid argument '10.0.0.1', ignore it\n"},
        // No timeout at all would abandon every VM command at once.
        {with({"-host", "h", "-timeoutminutes", "0"}), "Invalid or missed new timeout value\n"},
        {with({"-host", "h", "-timeoutminutes", "soon"}), "Invalid or missed new timeout value\n"},
        // Every parallel VM holds a login of its own on the host.
        {with({"-host", "h", "-parallel"}), "Invalid or missed parallel value (1 to 32)\n"},
        {with({"-host", "h", "-parallel", "0"}), "Invalid or missed parallel value (1 to 32)\n"},
        {with({"-host", "h", "-parallel", "33"}), "Invalid or missed parallel value (1 to 32)\n"},
        {with({"-host", "h", "-parallel", "4x"}), "Invalid or missed parallel value (1 to 32)\n"},
        {with({"-host", "h", "-parallel", "+4"}), "Invalid or missed parallel value (1 to 32)\n"},
        // Host and user go onto the client's command line: nothing there may add options.
        {with({"-host", "esx01 -proxycmd touch${IFS}/tmp/x"}),
         "Invalid host 'esx01 -proxycmd touch${IFS}/tmp/x': not a host name, IPv4 or [IPv6] "
         "address\n"},
        {with({"-host", "10.0.0.256"}), "Invalid host '10.0.0.256': not a host name, IPv4 or "
                                        "[IPv6] address\n"},
        {with({"-host", "::1"}), "Invalid host '::1': not a host name, IPv4 or [IPv6] address\n"},
        {with({"-host", "a..b"}), "Invalid host 'a..b': not a host name, IPv4 or [IPv6] address\n"},
        {{"-host", "h", "-usr", "root -pw x", "-pwd", "p", "-mode", "account_check"},
         "Invalid user name 'root -pw x'\n"},
        {{"-host", "h", "-usr", "root\tx", "-pwd", "p", "-mode", "account_check"},
         "Invalid user name 'root\tx'\n"},
        {{"-host", "h", "-usr", "u", "-pwdfile", "/nonexistent/pw", "-mode", "account_check"},
         "can't read password file '/nonexistent/pw'\n"},
        {{"-host", "h", "-usr", "u", "-pwd", "p"}, "Argument missed\n"},
        {{"-host", "", "-usr", "u", "-pwd", "p", "-mode", "account_check"}, "Argument missed\n"},
        {{"-host", "h", "-usr", "u", "-pwd", "p", "-mode", "reboot_vms", "-D", "quiet", "-pwd"},
         "Invalid trace mode argument 'quiet' - ignoring\nInvalid or missed pwd value\n"},
    };
    for (const Row& row : rows) {
        Outcome run = run_lullhost(row.args);
        EXPECT_EQ(run.code, 1) << testing::PrintToString(row.args);
        EXPECT_EQ(without_stamps(run.out), row.out) << testing::PrintToString(row.args);
        EXPECT_EQ(run.err, row.err) << testing::PrintToString(row.args);
    }
}

// A complete command line reaches the banner; the trace mode decides what follows.
TEST(LullhostCli, CompleteCommandLines) {
    const std::vector<std::string> base = {"-usr",   "root",  "-pwd",
                                           "secret", "-mode", "check_maintenance_mode"};
    struct Row {
        std::vector<std::string> extra;
        std::string out;
        std::string err = "";
    };
    const std::string exitLine = "\nProgram exited with code 4\n";
    const Row rows[] = {
        {{"-host", "10.0.0.1"}, kBanner + std::string(kInterim)},
        {{"/host", "10.0.0.1", "unknown"},
         kBanner + std::string(kInterim),
         "Invalid argument 'unknown', ignore it\n"},
        {{"-host", "[fe80::1:2]"}, kBanner + std::string(kInterim)},
        {{"-host", "10.0.0.1", "-ListFile", "my.xml"},
         kBanner + std::string(kInterim),
         "Invalid argument 'ListFile' (no path after '='), ignore it\n"
         "Invalid argument 'my.xml', ignore it\n"},
        {{"-host", "esx-01.example.com."}, kBanner + std::string(kInterim)},
        {{"-host", "10.0.0.1", "-fast", "-parallel", "32"}, kBanner + std::string(kInterim)},
        {{"host", "10.0.0.1", "-D", "info"}, kBanner + std::string(kInterim)},
        {{"-host", "10.0.0.1", "-D", "verbose"}, kBanner + std::string(kInterim) + exitLine},
        {{"-host", "10.0.0.1", "-D", "debug"}, kBanner + std::string(kNoClient) + exitLine},
        {{"-host", "10.0.0.1", "-D", "quiet"},
         "Invalid trace mode argument 'quiet' - ignoring\n" + std::string(kBanner) + kInterim},
        {{"-D", "-host", "10.0.0.1"}, kBanner + std::string(kInterim)},
        {{"-host", "10.0.0.1", "-D"}, kBanner + std::string(kInterim)},
        {{"-host", "10.0.0.1", "-D", "", "-D", "verbose"},
         kBanner + std::string(kInterim) + exitLine,
         "Invalid argument '', ignore it\n"},
        {{"-host", "first", "-host", "10.0.0.1", "-D", "debug", "-D", "nonsense"},
         "Invalid trace mode argument 'nonsense' - ignoring\n" + std::string(kBanner) + kNoClient +
             exitLine},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = base;
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        Outcome run = run_lullhost(args);
        EXPECT_EQ(run.code, 4) << testing::PrintToString(args);
        EXPECT_EQ(without_stamps(run.out), row.out) << testing::PrintToString(args);
        EXPECT_EQ(run.err, row.err) << testing::PrintToString(args);
    }
}

TEST(LullhostCli, ErrorsGoToStandardErrorWhenItIsATerminal) {
    Outcome run = run_lullhost({"-mode", "Suspend_vms"}, true);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(without_stamps(run.err), "parse_args: Invalid mode\n");

    run = run_lullhost(
        {"-host", "h", "-usr", "u", "-pwd", "p", "-mode", "account_check", "-D", "verbose"}, true);
    EXPECT_EQ(run.code, 4);
    EXPECT_EQ(without_stamps(run.out), kBanner + std::string("\nProgram exited with code 4\n"));
    EXPECT_EQ(without_stamps(run.err), kInterim);
}

// The password can be kept out of the process list: from standard input or from a file that only
// its owner may read. Reaching the missing client (4) means the command line was taken.
TEST(LullhostCli, PasswordFromStandardInputOrFile) {
    char dir[] = "/tmp/lullhost-cli-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string pwfile = std::string(dir) + "/pw";
    std::ofstream(pwfile) << "secret\nsecond line\n";
    const std::string base = std::string(LULLHOST_BINARY) + " -host h -usr u -mode account_check ";
    struct Row {
        std::string args;
        mode_t mode;
        int code;
    };
    const Row rows[] = {
        {"-pwd - <" + pwfile, 0600, 4},  {"-pwd - </dev/null", 0600, 1},
        {"-pwdfile " + pwfile, 0600, 4}, {"-pwdfile " + pwfile, 0640, 1},
        {"-pwdfile " + pwfile, 0604, 1},
    };
    for (const Row& row : rows) {
        chmod(pwfile.c_str(), row.mode);
        const int status = std::system((base + row.args + " >/dev/null 2>&1").c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, row.code) << row.args;
    }
    std::filesystem::remove_all(dir);
}

} // namespace
