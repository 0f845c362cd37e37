// Win32 standard-handle swap and child process.
#include <windows.h>

#include "ssh_io.h"

#include "zeb-tools-trace.h"

#include <cstdio>
#include <cstring>

namespace {

HANDLE to_handle(pid_t pid) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(pid));
}

void restore_std(fd_handle& saved, DWORD std_id) {
    if (saved != FD_NONE)
        SetStdHandle(std_id, saved);
    // SetStdHandle keeps the handle itself, so the saved copy is installed, not closed.
    saved = FD_NONE;
}

} // namespace

int create_pipes(fd_handle& stdin_def, fd_handle& stdout_def, fd_handle& stderr_def,
                 fd_handle& stdout_r, fd_handle& stdout_w, fd_handle& stdout_e, fd_handle& stdin_r,
                 fd_handle& stdin_w) {
    stdin_def = stdout_def = stderr_def = FD_NONE;
    stdout_r = stdout_w = stdout_e = stdin_r = stdin_w = FD_NONE;
    fd_handle out[2] = {FD_NONE, FD_NONE};
    fd_handle in[2] = {FD_NONE, FD_NONE};

    stdout_def = dup_fdhandle(GetStdHandle(STD_OUTPUT_HANDLE));
    stdin_def = dup_fdhandle(GetStdHandle(STD_INPUT_HANDLE));
    stderr_def = dup_fdhandle(GetStdHandle(STD_ERROR_HANDLE));
    bool ok = stdout_def != FD_NONE && stdin_def != FD_NONE && stderr_def != FD_NONE &&
              create_pipe(out) == 0 && create_pipe(in) == 0;
    if (ok) {
        stdout_w = dup2_std_fdhandle(out[1], STD_OUTPUT_HANDLE);
        stdout_r = dup_fdhandle(out[0]);
        ok = stdout_w != FD_NONE && stdout_r != FD_NONE;
    }
    if (ok) {
        stdin_r = dup2_std_fdhandle(in[0], STD_INPUT_HANDLE);
        stdin_w = dup_fdhandle(in[1]);
        ok = stdin_r != FD_NONE && stdin_w != FD_NONE;
    }
    if (ok) {
        stdout_e = dup2_std_fdhandle(stdout_w, STD_ERROR_HANDLE);
        ok = stdout_e != FD_NONE;
    }
    close_fdhandle(out[0]);
    close_fdhandle(out[1]);
    close_fdhandle(in[0]);
    close_fdhandle(in[1]);
    if (ok)
        return 1;

    restore_std(stdout_def, STD_OUTPUT_HANDLE);
    restore_std(stdin_def, STD_INPUT_HANDLE);
    restore_std(stderr_def, STD_ERROR_HANDLE);
    close_fdhandle(stdout_r);
    close_fdhandle(stdout_w);
    close_fdhandle(stdout_e);
    close_fdhandle(stdin_r);
    close_fdhandle(stdin_w);
    return 0;
}

pid_t run_ssh_process(fd_handle& fd_in, fd_handle& fd_out, fd_handle& fd_err, fd_handle& stdin_def,
                      fd_handle& stdout_def, fd_handle& stderr_def, const char* filepath,
                      const char* args) {
    if (filepath == nullptr || args == nullptr)
        return 0;
    STARTUPINFOA si;
    GetStartupInfoA(&si);
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = fd_in;
    si.hStdOutput = fd_out;
    si.hStdError = fd_err;
    // CreateProcessA may write into its command line.
    char cmdline[SSH_BUF_SIZE];
    snprintf(cmdline, sizeof(cmdline), "%s", args);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(filepath, cmdline, nullptr, nullptr, TRUE,
                        CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi))
        return 0;
    CloseHandle(pi.hThread);
    close_fdhandle(fd_out);
    close_fdhandle(fd_in);
    close_fdhandle(fd_err);
    restore_std(stdout_def, STD_OUTPUT_HANDLE);
    restore_std(stdin_def, STD_INPUT_HANDLE);
    restore_std(stderr_def, STD_ERROR_HANDLE);
    return static_cast<pid_t>(reinterpret_cast<intptr_t>(pi.hProcess));
}

int wait_process(pid_t pid) {
    zeb_trace(TRACE_DEBUG, "wait_process\n");
    HANDLE process = to_handle(pid);
    if (process == nullptr)
        return 1;
    return WaitForSingleObject(process, 1000) == WAIT_TIMEOUT ? 0 : 1;
}

int terminate_process(pid_t pid) {
    HANDLE process = to_handle(pid);
    return process != nullptr && TerminateProcess(process, 0) ? 0 : -1;
}

void release_process(pid_t pid) {
    HANDLE process = to_handle(pid);
    if (process != nullptr)
        CloseHandle(process);
}

namespace {

volatile LONG g_interrupted = 0;

BOOL WINAPI on_console_event(DWORD event) {
    InterlockedExchange(&g_interrupted, 1);
    // Ctrl+C and Ctrl+Break are handled: the run stops at its next step. After a console close,
    // log-off or shut-down Windows ends the process as soon as this returns, so the handler
    // holds on and leaves the run its grace period to save and end the client.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(10000);
    return TRUE;
}

} // namespace

void install_interrupt_handlers() {
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

int interrupt_requested() {
    return InterlockedCompareExchange(&g_interrupted, 0, 0) != 0;
}

// Windows hands a process without standard handles null ones; nothing takes their place.
void ensure_std_handles() {}
