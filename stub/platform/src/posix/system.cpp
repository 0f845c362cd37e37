#include "platform/system.h"

#include "posix/ini.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace plat {

namespace {

// Version data of a POSIX program: the text
//   StubVersionInfo|FileVersion=a.b.c.d|ProductVersion=...|
// stored anywhere in the file (a program defines it as a used constant).
bool version_list(const std::string& file, std::string& list) {
    std::string content;
    if (!posix::read_file(file, content))
        return false;
    static const std::string kMarker = "StubVersionInfo";
    for (std::size_t at = content.find(kMarker); at != std::string::npos;
         at = content.find(kMarker, at + 1)) {
        std::size_t start = at + kMarker.size();
        if (content.compare(start, 13, "|FileVersion=") != 0)
            continue;
        std::size_t end = content.find('\0', start);
        list = content.substr(start, end == std::string::npos ? end : end - start);
        return true;
    }
    return false;
}

bool list_value(const std::string& list, const std::string& name, std::string& out) {
    const std::string pattern = "|" + name + "=";
    std::size_t at = list.find(pattern);
    if (at == std::string::npos)
        return false;
    std::size_t from = at + pattern.size();
    out = list.substr(from, list.find('|', from) - from);
    return true;
}

// Splits a parameter text at blanks; double quotes group blanks.
std::vector<std::string> split_params(const std::string& params) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : params) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any)
                out.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any)
        out.push_back(cur);
    return out;
}

} // namespace

CriticalSection::CriticalSection() {
    static_assert(sizeof(pthread_mutex_t) <= sizeof(m_storage), "storage too small");
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(reinterpret_cast<pthread_mutex_t*>(m_storage), &attr);
    pthread_mutexattr_destroy(&attr);
}

CriticalSection::~CriticalSection() {
    pthread_mutex_destroy(reinterpret_cast<pthread_mutex_t*>(m_storage));
}

void CriticalSection::enter() {
    pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(m_storage));
}

void CriticalSection::leave() {
    pthread_mutex_unlock(reinterpret_cast<pthread_mutex_t*>(m_storage));
}

std::string last_error_text() {
    int e = errno;
    if (e == 0)
        return std::string();
    return std::strerror(e);
}

void debug_sink(const char* text, std::size_t length) {
    static const bool enabled = [] {
        const char* v = std::getenv("STUB_DEBUG");
        return v && *v && std::strcmp(v, "0") != 0;
    }();
    if (!enabled || length == 0)
        return;
    std::fwrite(text, 1, length, stderr);
    std::fflush(stderr);
}

bool file_version(const std::string& file, unsigned parts[4]) {
    std::string list, text;
    if (!version_list(file, list) || !list_value(list, "FileVersion", text))
        return false;
    unsigned v[4] = {0, 0, 0, 0};
    int n = std::sscanf(text.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]);
    if (n < 1)
        return false;
    for (int i = 0; i < 4; ++i)
        parts[i] = v[i] & 0xFFFFu;
    return true;
}

bool version_string(const std::string& file, const std::string& name, std::string& out) {
    std::string list;
    return version_list(file, list) && list_value(list, name, out);
}

bool shell_open(const std::string& file, const std::string& params, ShowMode) {
    if (file.empty())
        return false;
    // A program file runs itself; anything else goes to the desktop's opener.
    const bool runnable = access(file.c_str(), X_OK) == 0;
    std::vector<std::string> args;
    if (runnable) {
        args.push_back(file);
        for (const std::string& p : split_params(params))
            args.push_back(p);
    } else {
        args = {"xdg-open", file};
    }
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // Started through an intermediate child that ends at once, so that the
    // program is not ours to wait for and leaves no zombie behind.
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        pid_t grandchild = fork();
        if (grandchild == 0) {
            execvp(argv[0], argv.data());
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void* lookup_function(const std::string& library, const std::string& name) {
    void* handle = dlopen(library.empty() ? nullptr : library.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle)
        return nullptr;
    return dlsym(handle, name.c_str());
}

unsigned long process_id() {
    return static_cast<unsigned long>(::getpid());
}

} // namespace plat
