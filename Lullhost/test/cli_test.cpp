// Runs the real Lullhost binary over command lines and checks exit code,
// streams and texts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <regex>
#include <string>
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
    "\t-pwd password\t\t\t SSH user password\n"
    "\nOptional Parameters:\n"
    "\t[-h, help]\t\t\t display this help message\n"
    "\t[-D debug|info|verbose|quiet]\t\t print debug information, default quiet\n"
    "\t[-timeoutminutes]\t\t VM suspend/reboot timeout(min), default 5 min\n"
    "\n";

const char kBanner[] = "\nBrennet tool. ver.1.1.0.0\n\n";
const char kInterim[] = "main: run modes are not available in this build\n";

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
        std::string out; // stamps removed
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
        {with({"--host", "10.0.0.1"}), "Argument missed\n"},
        {{"-host", "h", "-usr", "u", "-pwd", "p"}, "Argument missed\n"},
        {{"-host", "", "-usr", "u", "-pwd", "p", "-mode", "account_check"}, "Argument missed\n"},
        {{"-host", "h", "-usr", "u", "-pwd", "p", "-mode", "reboot_vms", "-D", "quiet", "-pwd"},
         "Invalid trace mode argument 'quiet' - ignoring\nInvalid or missed pwd value\n"},
    };
    for (const Row& row : rows) {
        Outcome run = run_lullhost(row.args);
        EXPECT_EQ(run.code, 1) << testing::PrintToString(row.args);
        EXPECT_EQ(without_stamps(run.out), row.out) << testing::PrintToString(row.args);
        EXPECT_EQ(run.err, "");
    }
}

// A complete command line reaches the banner; the trace mode decides what follows.
TEST(LullhostCli, CompleteCommandLines) {
    const std::vector<std::string> base = {"-usr",   "root",  "-pwd",
                                           "secret", "-mode", "check_maintenance_mode"};
    struct Row {
        std::vector<std::string> extra;
        std::string out;
    };
    const std::string exitLine = "\nProgram exited with code 2\n";
    const Row rows[] = {
        {{"-host", "10.0.0.1"}, kBanner + std::string(kInterim)},
        {{"/host", "10.0.0.1", "unknown"}, kBanner + std::string(kInterim)},
        {{"host", "10.0.0.1", "-D", "info"}, kBanner + std::string(kInterim)},
        {{"-host", "10.0.0.1", "-D", "verbose"}, kBanner + std::string(kInterim) + exitLine},
        {{"-host", "10.0.0.1", "-D", "debug"}, kBanner + std::string(kInterim) + exitLine},
        {{"-host", "10.0.0.1", "-D", "quiet"},
         "Invalid trace mode argument 'quiet' - ignoring\n" + std::string(kBanner) + kInterim},
        {{"-D", "-host", "10.0.0.1"}, kBanner + std::string(kInterim)},
        {{"-host", "10.0.0.1", "-D"}, kBanner + std::string(kInterim)},
        {{"-host", "10.0.0.1", "-D", "", "-D", "verbose"},
         kBanner + std::string(kInterim) + exitLine},
        {{"-host", "first", "-host", "10.0.0.1", "-D", "debug", "-D", "nonsense"},
         "Invalid trace mode argument 'nonsense' - ignoring\n" + std::string(kBanner) + kInterim +
             exitLine},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = base;
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        Outcome run = run_lullhost(args);
        EXPECT_EQ(run.code, 2) << testing::PrintToString(args);
        EXPECT_EQ(without_stamps(run.out), row.out) << testing::PrintToString(args);
        EXPECT_EQ(run.err, "");
    }
}

TEST(LullhostCli, ErrorsGoToStandardErrorWhenItIsATerminal) {
    Outcome run = run_lullhost({"-mode", "Suspend_vms"}, true);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(without_stamps(run.err), "parse_args: Invalid mode\n");

    run = run_lullhost(
        {"-host", "h", "-usr", "u", "-pwd", "p", "-mode", "account_check", "-D", "verbose"}, true);
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(without_stamps(run.out), kBanner + std::string("\nProgram exited with code 2\n"));
    EXPECT_EQ(without_stamps(run.err), kInterim);
}

} // namespace
