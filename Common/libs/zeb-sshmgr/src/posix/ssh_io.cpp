// POSIX handle primitives and helpers.
#include "ssh_io.h"
#include "misc.h"

#include "zeb-tools-trace.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

fd_handle dup_fdhandle(fd_handle oldfd) {
    // The tool's own pipe ends must not stay open in the client: if the tool is killed, the
    // client has to see the end of its input and leave by itself.
    return fcntl(oldfd, F_DUPFD_CLOEXEC, 0);
}

fd_handle dup2_std_fdhandle(fd_handle oldfd, int newfd) {
    return dup2(oldfd, newfd) == newfd ? newfd : FD_NONE;
}

void close_fdhandle(fd_handle& fd) {
    if (fd != FD_NONE)
        close(fd);
    fd = FD_NONE;
}

int create_pipe(fd_handle fds[2]) {
    if (fds == nullptr)
        return -1;
    return pipe(fds);
}

int get_bytes_avail(fd_handle fd_r) {
    int avail = 0;
    if (ioctl(fd_r, FIONREAD, &avail) != 0)
        return 0;
    return avail;
}

int read_fdhandle(fd_handle fd_r, char* recv, int recv_size, int b_avail) {
    if (fd_r == FD_NONE || recv == nullptr)
        return -1;
    int size = recv_size < b_avail ? recv_size : b_avail;
    if (size <= 0)
        return 0;
    return static_cast<int>(read(fd_r, recv, static_cast<size_t>(size)));
}

int write_fdhandle(fd_handle fd_w, const char* send) {
    if (fd_w == FD_NONE || send == nullptr)
        return -1;
    // A client that has already ended must turn into a failed write, not kill the tool with
    // SIGPIPE. An ignored signal is discarded when raised, so nothing stays pending afterwards.
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previous);
    ssize_t written = write(fd_w, send, strlen(send));
    sigaction(SIGPIPE, &previous, nullptr);
    return static_cast<int>(written);
}

namespace {

volatile sig_atomic_t g_interrupted = 0;

void on_interrupt(int) {
    g_interrupted = 1;
}

} // namespace

void install_interrupt_handlers() {
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in progress ends early so that the run notices the flag at once.
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);
}

int interrupt_requested() {
    return g_interrupted != 0;
}

void ensure_std_handles() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        int null_fd = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        // open() takes the lowest free descriptor, which is this one.
        if (null_fd != -1 && null_fd != fd) {
            dup2(null_fd, fd);
            close(null_fd);
        }
    }
}

int winsock_init() {
    zeb_trace(TRACE_DEBUG, "Socket initialization ... %s\n", "Done");
    return 0;
}

int winsock_cleanup() {
    zeb_trace(TRACE_DEBUG, "Socket cleanup ... %s\n", "Done");
    return 0;
}

int get_client_path(char* path, int size) {
    char cwd[SSH_BUF_SIZE];
    if (path == nullptr || size <= 0 || getcwd(cwd, sizeof(cwd)) == nullptr)
        return -1;
    int n = snprintf(path, static_cast<size_t>(size), "%s%s%s", cwd, "/", "plink");
    return n >= 0 && n < size ? 0 : -1;
}

int file_exists(const char* path) {
    return path != nullptr && access(path, F_OK) == 0;
}

const char* host_key_cache_location(char* buf, int size) {
    const char* home = getenv("HOME");
    snprintf(buf, static_cast<size_t>(size), "%s/.putty/sshhostkeys", home ? home : "~");
    return buf;
}

void sleep_seconds(int seconds) {
    if (seconds > 0)
        sleep(static_cast<unsigned>(seconds));
}

int _dup2(int oldfd, int newfd) {
    return dup2(oldfd, newfd) == -1 ? -1 : 0;
}

int _pipe(int* pfds, unsigned int /*psize*/, int /*textmode*/) {
    return pfds == nullptr ? -1 : pipe(pfds);
}
