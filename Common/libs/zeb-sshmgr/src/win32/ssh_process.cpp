// Win32 primitives of the standard-handle swap and the child process.
#include <windows.h>

#include "ssh_io.h"
#include "ssh_platform.h"

#include "zeb-tools-trace.h"

#include <cstdio>
#include <vector>

fd_handle save_std_fdhandle(int std_id) {
    // The handle itself, not a copy: the C run-time writes the tool's output to it whatever the
    // standard handle is meanwhile, so it has to stay open and is put back as it was.
    HANDLE original = GetStdHandle(static_cast<DWORD>(std_id));
    return original == INVALID_HANDLE_VALUE ? FD_NONE : original;
}

void restore_std_fdhandle(fd_handle& saved, int std_id) {
    if (saved != FD_NONE)
        SetStdHandle(static_cast<DWORD>(std_id), saved);
    saved = FD_NONE;
}

int make_private_fdhandle(fd_handle fd) {
    return SetHandleInformation(fd, HANDLE_FLAG_INHERIT, 0) ? 0 : -1;
}

proc_handle start_child(fd_handle fd_in, fd_handle fd_out, fd_handle fd_err,
                        const fd_handle /*saved*/[3], const char* filepath, const char* args) {
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
        return PROC_NONE;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

int wait_process(proc_handle child) {
    zeb_trace(TRACE_DEBUG, "wait_process\n");
    if (child == PROC_NONE)
        return 1;
    return WaitForSingleObject(child, 1000) == WAIT_TIMEOUT ? 0 : 1;
}

void set_client_start_pause(bool /*pause*/) {}

int wait_process_for(proc_handle child, int millis) {
    if (child == PROC_NONE)
        return 1;
    return WaitForSingleObject(child, static_cast<DWORD>(millis)) == WAIT_TIMEOUT ? 0 : 1;
}

namespace {

struct ThreadStart {
    void (*job)(void*);
    void* arg;
};

DWORD WINAPI thread_main(LPVOID start) {
    const ThreadStart* s = static_cast<const ThreadStart*>(start);
    s->job(s->arg);
    return 0;
}

} // namespace

void run_threads(void (*job)(void*), void* const* args, int count) {
    std::vector<ThreadStart> starts(static_cast<size_t>(count > 0 ? count : 0));
    std::vector<HANDLE> threads(starts.size(), nullptr);
    for (size_t i = 0; i < starts.size(); ++i) {
        starts[i] = ThreadStart{job, args[i]};
        threads[i] = CreateThread(nullptr, 0, thread_main, &starts[i], 0, nullptr);
    }
    for (size_t i = 0; i < starts.size(); ++i) {
        if (threads[i] == nullptr) {
            job(args[i]);
            continue;
        }
        WaitForSingleObject(threads[i], INFINITE);
        CloseHandle(threads[i]);
    }
}

int terminate_process(proc_handle child) {
    return child != PROC_NONE && TerminateProcess(child, 0) ? 0 : -1;
}

void release_process(proc_handle child) {
    if (child != PROC_NONE)
        CloseHandle(child);
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
