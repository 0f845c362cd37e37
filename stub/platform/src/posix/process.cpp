// Processes on POSIX: a Windows-style command text is split with the Windows
// rules and started with the execv family (never through a shell); waits use
// a pidfd where the kernel has one; the process list comes from /proc; a
// process's main window is its message endpoint.
#include "platform/process.h"

#include "platform/clock.h"
#include "posix/loop.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace plat {

namespace {

// Exit statuses of children reaped already, so that a handle can still be
// asked for its code afterwards.
std::map<pid_t, int>& reaped() {
    static std::map<pid_t, int> statuses;
    return statuses;
}

int code_of(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 255;
}

// True once the child has ended (its status is kept).
bool try_reap(pid_t pid) {
    if (reaped().count(pid))
        return true;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == pid) {
        reaped()[pid] = code_of(status);
        return true;
    }
    // Not our child (or gone): nothing will ever be reported.
    return r < 0;
}

int open_pidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Starts the items of commandLine. With pipes, the child's standard streams
// are their ends; detached, an intermediate child that ends at once leaves
// the program to nobody, so that it never becomes our zombie. Everything is
// allocated before fork: the child only calls async-signal-safe functions.
bool start(const std::string& commandLine, int pipeIn[2], int pipeOut[2], int pipeErr[2], bool idle,
           bool detach, ProcessHandle* out) {
    std::vector<std::string> items = split_command_line(commandLine);
    if (items.empty() || items[0].empty() || commandLine.size() >= kMaxCommandLine) {
        errno = items.empty() || items[0].empty() ? ENOENT : E2BIG;
        return false;
    }
    std::vector<char*> argv;
    for (std::string& item : items)
        argv.push_back(&item[0]);
    argv.push_back(nullptr);
    const bool search = items[0].find('/') == std::string::npos;

    // The child reports a failed exec through this pipe; its closing on a
    // successful exec is the all-clear.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = fork();
    if (pid < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (pid == 0) {
        if (detach) {
            const pid_t grandchild = fork();
            if (grandchild != 0)
                _exit(grandchild < 0 ? 1 : 0);
        }
        if (pipeIn) {
            dup2(pipeIn[0], 0);
            dup2(pipeOut[1], 1);
            dup2(pipeErr[1], 2);
        }
        if (idle)
            setpriority(PRIO_PROCESS, 0, 19);
        if (search)
            execvp(argv[0], argv.data());
        else
            execv(argv[0], argv.data());
        const int e = errno;
        const ssize_t w = write(report[1], &e, sizeof e);
        (void)w;
        _exit(127);
    }
    close(report[1]);
    int childErrno = 0;
    ssize_t got;
    do {
        got = read(report[0], &childErrno, sizeof childErrno);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    bool failed = got == static_cast<ssize_t>(sizeof childErrno);
    if (detach) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        // Without a report the intermediate child may still have failed to fork.
        if (!failed && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
            failed = true;
            childErrno = EAGAIN;
        }
    } else if (failed) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
    if (failed) {
        errno = childErrno;
        return false;
    }
    if (out) {
        out->id = static_cast<std::uint32_t>(pid);
        out->handle = open_pidfd(pid);
    }
    return true;
}

std::string read_link(const std::string& path) {
    char buf[PATH_MAX + 1];
    const ssize_t n = readlink(path.c_str(), buf, PATH_MAX);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

} // namespace

bool start_process(const std::string& commandLine, ShowMode, ProcessHandle* out) {
    return start(commandLine, nullptr, nullptr, nullptr, false, out == nullptr, out);
}

bool start_process_piped(const std::string& commandLine, ShowMode, ProcessHandle& out,
                         ChildPipes& pipes) {
    int in[2], outp[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        return false;
    if (pipe2(outp, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return false;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        close(outp[0]);
        close(outp[1]);
        return false;
    }
    const bool ok = start(commandLine, in, outp, err, true, false, &out);
    const int e = errno;
    close(in[0]);
    close(outp[1]);
    close(err[1]);
    if (!ok) {
        close(in[1]);
        close(outp[0]);
        close(err[0]);
        errno = e;
        return false;
    }
    fcntl(outp[0], F_SETFL, O_NONBLOCK);
    fcntl(err[0], F_SETFL, O_NONBLOCK);
    pipes.input = in[1];
    pipes.output = outp[0];
    pipes.error = err[0];
    return true;
}

bool wait_process(const ProcessHandle& process, std::uint32_t ms) {
    const pid_t pid = static_cast<pid_t>(process.id);
    if (pid <= 0)
        return true;
    if (try_reap(pid))
        return true;
    const std::uint64_t start = monotonic_ms();
    for (;;) {
        const std::uint64_t elapsed = monotonic_ms() - start;
        if (elapsed >= ms)
            return try_reap(pid);
        const int left = static_cast<int>(ms - elapsed);
        if (process.handle > 0) {
            pollfd p{static_cast<int>(process.handle), POLLIN, 0};
            poll(&p, 1, left);
        } else {
            sleep_ms(static_cast<std::uint32_t>(left < 10 ? left : 10));
        }
        if (try_reap(pid))
            return true;
    }
}

bool process_exit_code(const ProcessHandle& process, int& code) {
    const pid_t pid = static_cast<pid_t>(process.id);
    if (pid <= 0 || !try_reap(pid))
        return false;
    auto it = reaped().find(pid);
    code = it == reaped().end() ? 0 : it->second;
    return true;
}

bool terminate_process(const ProcessHandle& process, unsigned) {
    if (process.id == 0 || reaped().count(static_cast<pid_t>(process.id)))
        return false;
    return kill(static_cast<pid_t>(process.id), SIGKILL) == 0;
}

void close_process(ProcessHandle& process) {
    if (process.handle > 0)
        close(static_cast<int>(process.handle));
    const pid_t pid = static_cast<pid_t>(process.id);
    if (pid > 0)
        reaped().erase(pid);
    process = ProcessHandle();
}

long read_pipe(std::intptr_t pipe, std::size_t max, std::string& out, bool& more) {
    more = false;
    if (pipe < 0)
        return -1;
    const int fd = static_cast<int>(pipe);
    std::string buf(max == 0 ? 1 : max, '\0');
    ssize_t n;
    do {
        n = read(fd, &buf[0], buf.size());
    } while (n < 0 && errno == EINTR);
    if (n == 0)
        return -1;
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    out.append(buf.data(), static_cast<std::size_t>(n));
    int left = 0;
    more = ioctl(fd, FIONREAD, &left) == 0 && left > 0;
    return static_cast<long>(n);
}

bool write_pipe(std::intptr_t pipe, const std::string& data) {
    if (pipe < 0)
        return false;
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(static_cast<int>(pipe), data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void close_pipe(std::intptr_t& pipe) {
    if (pipe >= 0)
        close(static_cast<int>(pipe));
    pipe = -1;
}

std::string console_to_text(const std::string& text) {
    return text;
}

std::vector<ProcessEntry> list_processes() {
    std::vector<ProcessEntry> list;
    DIR* dir = opendir("/proc");
    if (!dir)
        return list;
    while (dirent* e = readdir(dir)) {
        char* end = nullptr;
        const unsigned long id = std::strtoul(e->d_name, &end, 10);
        if (!end || *end || id == 0)
            continue;
        const std::string base = std::string("/proc/") + e->d_name;
        std::string path = read_link(base + "/exe");
        static const std::string kDeleted = " (deleted)";
        if (path.size() > kDeleted.size() &&
            path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
            path.erase(path.size() - kDeleted.size());
        if (path.empty())
            continue; // another user's process, or a kernel thread
        list.push_back({static_cast<std::uint32_t>(id), path});
    }
    closedir(dir);
    return list;
}

bool terminate_process_id(std::uint32_t id, unsigned) {
    return id != 0 && kill(static_cast<pid_t>(id), SIGKILL) == 0;
}

std::uint32_t current_process_id() {
    return static_cast<std::uint32_t>(getpid());
}

std::vector<TopWindow> process_windows(std::uint32_t id) {
    std::vector<TopWindow> list;
    if (id != 0 && posix::endpoint_alive(id)) {
        const WindowHandle main = posix::make_handle(id, 0);
        list.push_back({main, main, false, false});
    }
    return list;
}

std::string short_path(const std::string&) {
    return std::string();
}

std::string full_path(const std::string& path) {
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[PATH_MAX + 1];
        if (!getcwd(cwd, sizeof cwd))
            return path;
        absolute = std::string(cwd) + "/" + path;
    }
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= absolute.size()) {
        std::size_t slash = absolute.find('/', pos);
        if (slash == std::string::npos)
            slash = absolute.size();
        const std::string part = absolute.substr(pos, slash - pos);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = slash + 1;
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    if (out.empty())
        out = "/";
    if (path.size() > 1 && path.back() == '/' && out != "/")
        out += '/';
    return out;
}

OsVersion os_version() {
    OsVersion v;
    v.platform = kPlatformPosix;
    utsname u{};
    if (uname(&u) == 0) {
        unsigned a = 0, b = 0, c = 0;
        std::sscanf(u.release, "%u.%u.%u", &a, &b, &c);
        v.major = a;
        v.minor = b;
        v.build = c;
        v.os64 = std::strstr(u.machine, "64") != nullptr;
    }
    return v;
}

bool is_wow64() {
    return false;
}

} // namespace plat
