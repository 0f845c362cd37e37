// Error lines go to standard error only when it is a terminal: checked with a
// real pseudo-terminal on file descriptor 2 in a child process.
#include "zeb-tools-trace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string read_available(int fd) {
    std::string text;
    char buffer[512];
    for (int round = 0; round < 50; ++round) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0)
            break;
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

struct Streams {
    std::string out;
    std::string terminal;
};

// Runs body in a child whose stdout is a pipe and whose stderr is a pty.
template <typename Fn> Streams run_with_terminal_stderr(Fn body) {
    int master = -1, slave = -1;
    termios raw{};
    cfmakeraw(&raw);
    EXPECT_EQ(openpty(&master, &slave, nullptr, &raw, nullptr), 0);
    int out[2];
    EXPECT_EQ(pipe(out), 0);

    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(slave, STDERR_FILENO);
        close(out[0]);
        close(out[1]);
        close(master);
        close(slave);
        body();
        std::fflush(nullptr);
        _exit(0);
    }
    close(out[1]);
    close(slave);
    int status = 0;
    waitpid(pid, &status, 0);
    Streams streams{read_available(out[0]), read_available(master)};
    close(out[0]);
    close(master);
    return streams;
}

TEST(TraceTerminal, ErrorsGoToTerminalOthersToStandardOutput) {
    Streams s = run_with_terminal_stderr([] {
        zeb_set_trace(TRACE_MODE_DEBUG);
        zeb_trace(TRACE_ERROR, "bad thing\n");
        ZebTrace(TRACE_ERROR, "parse_args", "Invalid mode\n");
        zeb_trace(TRACE_DEBUG, "step\n");
        zeb_trace(TRACE_ALWAYS, "banner\n");
    });
    EXPECT_NE(s.terminal.find(": bad thing\n"), std::string::npos) << s.terminal;
    EXPECT_NE(s.terminal.find(": parse_args: Invalid mode\n"), std::string::npos) << s.terminal;
    EXPECT_EQ(s.terminal.find("step"), std::string::npos);
    EXPECT_EQ(s.out.find("bad thing"), std::string::npos);
    EXPECT_NE(s.out.find(": trace> step\n"), std::string::npos) << s.out;
    EXPECT_NE(s.out.find(": banner\n"), std::string::npos) << s.out;
}

TEST(TraceTerminal, ErrorsGoToStandardOutputWhenStderrIsAFile) {
    char path[] = "/tmp/trace-stderr-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    Streams s = run_with_terminal_stderr([fd] {
        dup2(fd, STDERR_FILENO);
        zeb_trace(TRACE_ERROR, "to stdout\n");
    });
    EXPECT_NE(s.out.find(": to stdout\n"), std::string::npos) << s.out;
    EXPECT_EQ(lseek(fd, 0, SEEK_END), 0);
    close(fd);
    unlink(path);
}

} // namespace
