// POSIX primitives of the standard-handle swap and the child process.
#include "ssh_io.h"
#include "ssh_platform.h"

#include "zeb-tools-trace.h"

#include <csignal>
#include <fcntl.h>
#include <pthread.h>
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

} // namespace

fd_handle save_std_fdhandle(int std_id) {
    return dup(std_id);
}

void restore_std_fdhandle(fd_handle& saved, int std_id) {
    if (saved != FD_NONE)
        dup2(saved, std_id);
    close_fdhandle(saved);
}

int make_private_fdhandle(fd_handle fd) {
    int flags = fcntl(fd, F_GETFD);
    return flags >= 0 && fcntl(fd, F_SETFD, flags | FD_CLOEXEC) == 0 ? 0 : -1;
}

namespace {
bool g_start_pause = true;
} // namespace

void set_client_start_pause(bool pause) {
    g_start_pause = pause;
}

proc_handle start_child(fd_handle /*fd_in*/, fd_handle /*fd_out*/, fd_handle /*fd_err*/,
                        const fd_handle saved[3], const char* filepath, const char* args) {
    // The client's ends are the tool's standard descriptors already and pass to the child as such.
    // The table is built before the fork so that the child only has to exec.
    std::vector<std::string> pieces;
    if (!split_args(args, pieces))
        return PROC_NONE;
    std::vector<char*> argv;
    for (std::string& piece : pieces)
        argv.push_back(&piece[0]);
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0)
        return PROC_NONE;
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
        for (int i = 0; i < 3; ++i)
            close(saved[i]);
        execv(filepath, argv.data());
        // Not exit(): that would flush the tool's inherited stdio buffers into the pipe.
        _exit(0);
    }
    if (g_start_pause)
        sleep(1);
    return pid;
}

int wait_process(proc_handle pid) {
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

int wait_process_for(proc_handle pid, int millis) {
    int status = 0;
    if ((pid > 0 ? waitpid(pid, &status, WNOHANG) : -1) != 0)
        return 1;
    usleep(static_cast<useconds_t>(millis) * 1000);
    return 0;
}

namespace {

struct ThreadStart {
    void (*job)(void*);
    void* arg;
};

void* thread_main(void* start) {
    const ThreadStart* s = static_cast<const ThreadStart*>(start);
    s->job(s->arg);
    return nullptr;
}

} // namespace

void run_threads(void (*job)(void*), void* const* args, int count) {
    std::vector<ThreadStart> starts(static_cast<size_t>(count > 0 ? count : 0));
    std::vector<pthread_t> threads(starts.size());
    std::vector<bool> started(starts.size(), false);
    for (size_t i = 0; i < starts.size(); ++i) {
        starts[i] = ThreadStart{job, args[i]};
        started[i] = pthread_create(&threads[i], nullptr, thread_main, &starts[i]) == 0;
    }
    for (size_t i = 0; i < starts.size(); ++i) {
        if (started[i])
            pthread_join(threads[i], nullptr);
        else
            job(args[i]);
    }
}

int terminate_process(proc_handle pid) {
    return pid > 0 ? kill(pid, SIGTERM) : -1;
}

void release_process(proc_handle /*pid*/) {}
