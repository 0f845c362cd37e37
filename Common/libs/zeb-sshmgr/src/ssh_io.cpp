// The parts of the platform layer that are the same on every platform.
#include "ssh_io.h"
#include "ssh_platform.h"

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

void close_client(proc_handle child) {
    if (child == PROC_NONE)
        return;
    int running = 0;
    for (int poll = 0; poll < 5; ++poll) {
        if (wait_process(child))
            break;
        if (++running == 3) {
            zeb_trace(TRACE_WARNING, "client terminated forcibly\n");
            terminate_process(child);
        }
    }
    release_process(child);
}

void restore_std_fdhandles(fd_handle& stdin_def, fd_handle& stdout_def, fd_handle& stderr_def) {
    restore_std_fdhandle(stdout_def, STD_OUTPUT_HANDLE);
    restore_std_fdhandle(stdin_def, STD_INPUT_HANDLE);
    restore_std_fdhandle(stderr_def, STD_ERROR_HANDLE);
}

int create_pipes(fd_handle& stdin_def, fd_handle& stdout_def, fd_handle& stderr_def,
                 fd_handle& stdout_r, fd_handle& stdout_w, fd_handle& stdout_e, fd_handle& stdin_r,
                 fd_handle& stdin_w) {
    stdin_def = stdout_def = stderr_def = FD_NONE;
    stdout_r = stdout_w = stdout_e = stdin_r = stdin_w = FD_NONE;
    fd_handle out[2] = {FD_NONE, FD_NONE};
    fd_handle in[2] = {FD_NONE, FD_NONE};

    stdout_def = save_std_fdhandle(STD_OUTPUT_HANDLE);
    stdin_def = save_std_fdhandle(STD_INPUT_HANDLE);
    stderr_def = save_std_fdhandle(STD_ERROR_HANDLE);
    bool ok = stdout_def != FD_NONE && stdin_def != FD_NONE && stderr_def != FD_NONE &&
              create_pipe(out) == 0 && create_pipe(in) == 0;
    if (ok) {
        stdout_w = dup2_std_fdhandle(out[1], STD_OUTPUT_HANDLE);
        stdout_r = dup_fdhandle(out[0]);
        ok = stdout_w != FD_NONE && stdout_r != FD_NONE && make_private_fdhandle(stdout_r) == 0;
    }
    if (ok) {
        stdin_r = dup2_std_fdhandle(in[0], STD_INPUT_HANDLE);
        stdin_w = dup_fdhandle(in[1]);
        ok = stdin_r != FD_NONE && stdin_w != FD_NONE && make_private_fdhandle(stdin_w) == 0;
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

    // stdout_w, stdin_r and stdout_e are the standard handles now: closing them and putting the
    // saved ones back in their place leaves the tool as it was.
    close_fdhandle(stdout_r);
    close_fdhandle(stdin_w);
    close_fdhandle(stdout_w);
    close_fdhandle(stdin_r);
    close_fdhandle(stdout_e);
    restore_std_fdhandles(stdin_def, stdout_def, stderr_def);
    return 0;
}

proc_handle run_ssh_process(fd_handle& fd_in, fd_handle& fd_out, fd_handle& fd_err,
                            fd_handle& stdin_def, fd_handle& stdout_def, fd_handle& stderr_def,
                            const char* filepath, const char* args) {
    if (filepath == nullptr || args == nullptr)
        return PROC_NONE;
    const fd_handle saved[3] = {stdin_def, stdout_def, stderr_def};
    proc_handle child = start_child(fd_in, fd_out, fd_err, saved, filepath, args);
    if (child == PROC_NONE)
        return PROC_NONE;
    close_fdhandle(fd_out);
    close_fdhandle(fd_in);
    close_fdhandle(fd_err);
    restore_std_fdhandles(stdin_def, stdout_def, stderr_def);
    return child;
}
