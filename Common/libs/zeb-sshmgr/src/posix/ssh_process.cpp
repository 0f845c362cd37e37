// POSIX standard-handle swap and child process.
#include "ssh_io.h"

#include "zeb-tools-trace.h"

#include <csignal>
#include <string>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Room for 49 arguments and the terminating null.
const size_t kMaxArgs = 49;

// Cuts at every space; the leading space of the client's argument text yields the empty
// program-name slot, two spaces in a row an empty argument, a trailing space nothing.
bool split_args(const char* args, std::vector<std::string>& pieces) {
    std::string piece;
    for (const char* p = args; *p != '\0'; ++p) {
        if (*p == ' ') {
            pieces.push_back(piece);
            piece.clear();
        } else {
            piece += *p;
        }
    }
    if (!piece.empty())
        pieces.push_back(piece);
    return pieces.size() <= kMaxArgs;
}

void restore_std(fd_handle& saved, int std_fd) {
    if (saved != FD_NONE)
        dup2(saved, std_fd);
    close_fdhandle(saved);
}

} // namespace

int create_pipes(fd_handle& stdin_def, fd_handle& stdout_def, fd_handle& stderr_def,
                 fd_handle& stdout_r, fd_handle& stdout_w, fd_handle& stdout_e, fd_handle& stdin_r,
                 fd_handle& stdin_w) {
    stdin_def = stdout_def = stderr_def = FD_NONE;
    stdout_r = stdout_w = stdout_e = stdin_r = stdin_w = FD_NONE;
    fd_handle out[2] = {FD_NONE, FD_NONE};
    fd_handle in[2] = {FD_NONE, FD_NONE};

    stdout_def = dup_fdhandle(STD_OUTPUT_HANDLE);
    stdin_def = dup_fdhandle(STD_INPUT_HANDLE);
    stderr_def = dup_fdhandle(STD_ERROR_HANDLE);
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

    // stdout_w, stdin_r and stdout_e are the standard descriptors themselves: putting the saved
    // ones back in their place releases them.
    close_fdhandle(stdout_r);
    close_fdhandle(stdin_w);
    stdout_w = stdin_r = stdout_e = FD_NONE;
    restore_std(stdout_def, STD_OUTPUT_HANDLE);
    restore_std(stdin_def, STD_INPUT_HANDLE);
    restore_std(stderr_def, STD_ERROR_HANDLE);
    return 0;
}

pid_t run_ssh_process(fd_handle& fd_in, fd_handle& fd_out, fd_handle& fd_err, fd_handle& stdin_def,
                      fd_handle& stdout_def, fd_handle& stderr_def, const char* filepath,
                      const char* args) {
    if (filepath == nullptr || args == nullptr)
        return 0;
    // The table is built before the fork so that the child only has to exec.
    std::vector<std::string> pieces;
    if (!split_args(args, pieces))
        return 0;
    std::vector<char*> argv;
    for (std::string& piece : pieces)
        argv.push_back(&piece[0]);
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0)
        return 0;
    if (pid == 0) {
#ifdef __linux__
        // A tool killed outright takes the client with it instead of leaving it logged in.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(0);
#else
        (void)parent;
#endif
        // A session of its own: without a controlling terminal the client cannot bypass the
        // pipes and ask for the password on the terminal the tool was started from.
        setsid();
        // Unmasked file modes are for the client only; the tool keeps its own mask.
        umask(0);
        close(stdin_def);
        close(stdout_def);
        close(stderr_def);
        execv(filepath, argv.data());
        // Not exit(): that would flush the tool's inherited stdio buffers into the pipe.
        _exit(0);
    }

    sleep(1);
    close_fdhandle(fd_out);
    close_fdhandle(fd_in);
    close_fdhandle(fd_err);
    restore_std(stdout_def, STD_OUTPUT_HANDLE);
    restore_std(stdin_def, STD_INPUT_HANDLE);
    restore_std(stderr_def, STD_ERROR_HANDLE);
    return pid;
}

int wait_process(pid_t pid) {
    zeb_trace(TRACE_DEBUG, "wait_process\n");
    int status = 0;
    // A pid of 0 or less would wait for any child of the tool.
    pid_t result = pid > 0 ? waitpid(pid, &status, WNOHANG) : -1;
    if (result == 0) {
        zeb_trace(TRACE_DEBUG, "wait_process: process exists\n");
        sleep(1);
        return 0;
    }
    zeb_trace(TRACE_DEBUG, "wait_process: process doesn't exist\n");
    if (result == pid) {
        if (WIFEXITED(status))
            zeb_trace(TRACE_DEBUG, "exited, status=%d\n", WEXITSTATUS(status));
        else if (WIFSIGNALED(status))
            zeb_trace(TRACE_DEBUG, "killed by signal %d\n", WTERMSIG(status));
        else if (WIFSTOPPED(status))
            zeb_trace(TRACE_DEBUG, "stopped by signal %d\n", WSTOPSIG(status));
        else if (WIFCONTINUED(status))
            zeb_trace(TRACE_DEBUG, "continued\n");
    }
    return 1;
}

int terminate_process(pid_t pid) {
    return pid > 0 ? kill(pid, SIGTERM) : -1;
}

void release_process(pid_t /*pid*/) {}
