// Platform layer: handle primitives, the standard-handle swap, the child start, text helpers.
#include "misc.h"
#include "ssh_io.h"
#include "test_support.h"

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

ino_t InodeOf(int fd) {
    struct stat st = {};
    return fstat(fd, &st) == 0 ? st.st_ino : 0;
}

TEST(TextHelpers, RemoveEndingAndSingleCr) {
    const struct {
        const char* in;
        const char* ending_removed;
        const char* single_cr_removed;
    } rows[] = {
        {"text\r\n\r\n", "text", "text\r\n\r\n"},
        {"text", "text", "text"},
        {"\r\n\n\r", "", "\r\n\n"},
        {"a\rb\r\nc\r\r\n", "a\rb\r\nc", "ab\r\nc\r\n"},
        {"", "", ""},
    };
    for (const auto& row : rows) {
        char buf[64];
        strcpy(buf, row.in);
        str_remove_ending(buf);
        EXPECT_STREQ(buf, row.ending_removed) << row.in;
        strcpy(buf, row.in);
        str_remove_single_cr(buf, sizeof(buf));
        EXPECT_STREQ(buf, row.single_cr_removed) << row.in;
    }
    str_remove_ending(nullptr);

    char small[] = "abcdef";
    str_remove_single_cr(small, 4);
    EXPECT_STREQ(small, "abc");
}

TEST(TextHelpers, VerboseInformation) {
    const struct {
        const char* text;
        bool verbose;
    } rows[] = {
        {"Looking up host \"h\" for SSH connection", true},
        {"Server version: SSH-2.0-OpenSSH_9.2", true},
        {"Host key fingerprint is:\nssh-rsa 2048 aa:bb", true},
        {"Using username \"root\".", true},
        {"Using username \"root\".\r\nroot@h's password: ", false},
        {"Server version: x\r\n~ # ", false},
        {"Server version: x\r\n[root@h:~]#", false},
        {"Server version: x\r\n[root@esx1:~] ", false},
        {"Linux\r\n~ # ", false},
        {"", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(isVerboseInformation(row.text), row.verbose) << row.text;
}

TEST(HandlePrimitives, ReadsAtMostWhatIsAvailableAndSurvivesAGoneReader) {
    fd_handle fds[2];
    ASSERT_EQ(create_pipe(fds), 0);
    EXPECT_EQ(write_fdhandle(fds[1], "0123456789abcdefghij"), 20);
    EXPECT_EQ(get_bytes_avail(fds[0]), 20);
    char buf[SSH_BUF_SIZE] = {};
    EXPECT_EQ(read_fdhandle(fds[0], buf, SSH_BUF_SIZE - 1, 10), 10);
    EXPECT_STREQ(buf, "0123456789");
    EXPECT_EQ(get_bytes_avail(fds[0]), 10);
    EXPECT_EQ(read_fdhandle(FD_NONE, buf, 10, 10), -1);
    EXPECT_EQ(write_fdhandle(fds[1], nullptr), -1);

    close_fdhandle(fds[0]);
    EXPECT_EQ(fds[0], FD_NONE);
    // No reader left: the write fails instead of raising SIGPIPE.
    EXPECT_EQ(write_fdhandle(fds[1], "lost"), -1);
    close_fdhandle(fds[1]);
    EXPECT_EQ(create_pipe(nullptr), -1);
}

TEST(ChildProcess, WaitReportsAnEndedChild) {
    pid_t pid = fork();
    if (pid == 0)
        _exit(3);
    // Wait for the end without reaping, so that wait_process finds it ended.
    siginfo_t info = {};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);
    EXPECT_EQ(wait_process(pid), 1);
    EXPECT_EQ(wait_process(0), 1);
}

class RunProcessTest : public ClientDirTest {};

// The child's argument table, the tool's handles before and after.
TEST_F(RunProcessTest, ArgumentsAreCutAtEverySpaceAndTheToolGetsItsHandlesBack) {
    WriteClient("printf '[%s]' \"$@\" > args.txt\n");
    const struct {
        const char* args;
        const char* seen;
    } rows[] = {
        {" -ssh user@host", "[-ssh][user@host]"},
        {" a  b c ", "[a][][b][c]"},
    };
    for (const auto& row : rows) {
        ino_t out_before = InodeOf(1), in_before = InodeOf(0), err_before = InodeOf(2);
        fd_handle stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e, stdin_r, stdin_w;
        ASSERT_EQ(create_pipes(stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e,
                               stdin_r, stdin_w),
                  1);
        std::string path = m_dir + "/plink";
        pid_t pid = run_ssh_process(stdin_r, stdout_w, stdout_e, stdin_def, stdout_def, stderr_def,
                                    path.c_str(), row.args);
        ASSERT_GT(pid, 0);
        EXPECT_EQ(InodeOf(1), out_before);
        EXPECT_EQ(InodeOf(0), in_before);
        EXPECT_EQ(InodeOf(2), err_before);
        EXPECT_EQ(stdin_r, FD_NONE);
        EXPECT_EQ(stdout_def, FD_NONE);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_EQ(ReadFile("args.txt"), row.seen) << row.args;
        close_fdhandle(stdout_r);
        close_fdhandle(stdin_w);
    }
    fd_handle none[6] = {FD_NONE, FD_NONE, FD_NONE, FD_NONE, FD_NONE, FD_NONE};
    EXPECT_EQ(run_ssh_process(none[0], none[1], none[2], none[3], none[4], none[5], nullptr, " x"),
              0);
}

// With descriptors for only the first pipe, the swap is undone and the tool's standard handles
// are the ones it had. Runs in a child process so that the descriptor limit stays there.
TEST(StandardHandleSwap, FailureAtTheSecondPipeRestoresEverything) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(report[1], 3);
        for (int fd = 4; fd < 1024; ++fd)
            close(fd);
        ino_t before[3] = {InodeOf(0), InodeOf(1), InodeOf(2)};
        // Three saved copies (4, 5, 6) and the first pipe (7, 8) fit; the second pipe does not.
        struct rlimit limit = {9, 9};
        setrlimit(RLIMIT_NOFILE, &limit);
        fd_handle stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e, stdin_r, stdin_w;
        int result = create_pipes(stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e,
                                  stdin_r, stdin_w);
        bool restored =
            InodeOf(0) == before[0] && InodeOf(1) == before[1] && InodeOf(2) == before[2];
        bool released = true;
        for (int fd = 4; fd < 9; ++fd)
            released = released && fcntl(fd, F_GETFD) == -1;
        bool none = stdout_def == FD_NONE && stdin_def == FD_NONE && stderr_def == FD_NONE &&
                    stdout_r == FD_NONE && stdin_w == FD_NONE;
        char verdict[4] = {static_cast<char>('0' + result), restored ? 'R' : '-',
                           released ? 'C' : '-', none ? 'N' : '-'};
        (void)!write(3, verdict, sizeof(verdict));
        _exit(0);
    }
    close(report[1]);
    char verdict[5] = {};
    EXPECT_EQ(read(report[0], verdict, 4), 4);
    close(report[0]);
    waitpid(pid, nullptr, 0);
    EXPECT_STREQ(verdict, "0RCN");
}

} // namespace
