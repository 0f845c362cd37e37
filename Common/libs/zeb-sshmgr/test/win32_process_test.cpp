// The Windows standard-handle swap and child start, with a child that echoes its input.
#include <windows.h>

#include "ssh_io.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string ChildPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.rfind('\\')) + "\\zeb-sshmgr-echo-child.exe";
}

// Reads what the child has written until `want` bytes arrived or about five seconds passed.
std::string ReadSome(fd_handle fd, std::size_t want) {
    std::string text;
    for (int poll = 0; poll < 100 && text.size() < want; ++poll) {
        int avail = get_bytes_avail(fd);
        if (avail == 0) {
            Sleep(50);
            continue;
        }
        char buf[256];
        int got = read_fdhandle(fd, buf, sizeof(buf), avail);
        if (got <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(got));
    }
    return text;
}

// One client run as the session does it: the tool's own standard handles are back afterwards,
// the client answers through the pipes, and it ends by itself once the tool's end of its input
// is closed, which it could not if it had inherited that end.
void RunOnce() {
    HANDLE before[3] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                        GetStdHandle(STD_ERROR_HANDLE)};
    fd_handle stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e, stdin_r, stdin_w;
    ASSERT_EQ(create_pipes(stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e, stdin_r,
                           stdin_w),
              1);
    const std::string path = ChildPath();
    proc_handle child = run_ssh_process(stdin_r, stdout_w, stdout_e, stdin_def, stdout_def,
                                        stderr_def, path.c_str(), " -ssh user@host");
    ASSERT_NE(child, PROC_NONE) << path;
    EXPECT_EQ(GetStdHandle(STD_INPUT_HANDLE), before[0]);
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), before[1]);
    EXPECT_EQ(GetStdHandle(STD_ERROR_HANDLE), before[2]);
    for (fd_handle h : {stdin_r, stdout_w, stdout_e, stdin_def, stdout_def, stderr_def})
        EXPECT_EQ(h, FD_NONE);

    EXPECT_EQ(write_fdhandle(stdin_w, "hello\r\n"), 7);
    EXPECT_EQ(ReadSome(stdout_r, 7), "hello\r\n");

    close_fdhandle(stdin_w);
    int ended = 0;
    for (int poll = 0; poll < 5 && !ended; ++poll)
        ended = wait_process(child);
    EXPECT_EQ(ended, 1) << "the client still runs after the end of its input";
    close_client(child);
    close_fdhandle(stdout_r);
}

TEST(Win32Process, ToolKeepsItsStandardHandlesAndTheClientSeesTheEndOfItsInput) {
    RunOnce();
    // Handles the swap left open would show up as a growing count over runs.
    DWORD first = 0, later = 0;
    GetProcessHandleCount(GetCurrentProcess(), &first);
    RunOnce();
    RunOnce();
    GetProcessHandleCount(GetCurrentProcess(), &later);
    EXPECT_EQ(later, first);
}

TEST(Win32Process, MissingProgramStartsNothingAndRestoresTheHandles) {
    HANDLE out_before = GetStdHandle(STD_OUTPUT_HANDLE);
    fd_handle stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e, stdin_r, stdin_w;
    ASSERT_EQ(create_pipes(stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e, stdin_r,
                           stdin_w),
              1);
    EXPECT_EQ(run_ssh_process(stdin_r, stdout_w, stdout_e, stdin_def, stdout_def, stderr_def,
                              "C:\\no\\such\\plink.exe", " -ssh user@host"),
              PROC_NONE);
    // As the session's CloseSession does after a failed start.
    for (fd_handle* h : {&stdout_r, &stdout_w, &stdout_e, &stdin_r, &stdin_w})
        close_fdhandle(*h);
    restore_std_fdhandles(stdin_def, stdout_def, stderr_def);
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), out_before);
}

} // namespace
