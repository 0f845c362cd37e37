// The parts of the platform layer that are the same on every platform.
#include "ssh_io.h"

#include "zeb-tools-trace.h"

#include <cstring>

void trace_sent(const char* sent, int b_written) {
    if (sent == nullptr)
        return;
    zeb_trace(TRACE_DEBUG,
              "\n======= sent data begin == %4d bytes to write ==\n%s\n======= sent data ended == "
              "%4d bytes was sent ==\n\n",
              static_cast<int>(strlen(sent)), sent, b_written);
}

void trace_recv(char* recv) {
    zeb_trace(TRACE_DEBUG,
              "\n============== received data begin ==============\n%s\n============== received "
              "data ended ==============\n\n",
              recv != nullptr ? recv : "");
}

void close_client(pid_t pid) {
    if (pid == 0)
        return;
    int running = 0;
    for (int poll = 0; poll < 5; ++poll) {
        if (wait_process(pid))
            break;
        if (++running == 3) {
            zeb_trace(TRACE_WARNING, "client terminated forcibly\n");
            terminate_process(pid);
        }
    }
    release_process(pid);
}

namespace {

void restore_std(fd_handle& saved, int std_id) {
    if (saved != FD_NONE)
        dup2_std_fdhandle(saved, std_id);
    close_fdhandle(saved);
}

} // namespace

void restore_std_fdhandles(fd_handle& stdin_def, fd_handle& stdout_def, fd_handle& stderr_def) {
    restore_std(stdout_def, STD_OUTPUT_HANDLE);
    restore_std(stdin_def, STD_INPUT_HANDLE);
    restore_std(stderr_def, STD_ERROR_HANDLE);
}
