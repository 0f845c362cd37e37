// Between Stub processes of one user: a datagram socket per process in the
// per-user runtime folder, a symbolic link per window class that names the
// window other processes find, and the global atoms as small files.
#include "platform/ipc.h"

#include "platform/messages.h"
#include "posix/loop.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plat {
namespace posix {

namespace {

int g_endpoint = -1;
std::string g_endpointPath;

std::uint32_t own_pid() {
    return static_cast<std::uint32_t>(getpid());
}

std::string upper(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

// FNV-1a, 64 bits: class names are full paths, longer than a socket or link
// name may reasonably be, so their files are named after a hash.
std::uint64_t hash64(const std::string& s) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

std::string hex(std::uint64_t v, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llx", width, static_cast<unsigned long long>(v));
    return buf;
}

bool make_address(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    return true;
}

std::string endpoint_path(std::uint32_t pid) {
    const std::string folder = runtime_folder();
    return folder.empty() ? std::string() : folder + "/p-" + std::to_string(pid);
}

std::string class_link(const std::string& className) {
    const std::string folder = runtime_folder();
    return folder.empty() ? std::string() : folder + "/c-" + hex(hash64(upper(className)), 16);
}

// The link's text is "<handle in hex> <class name>"; the name guards against
// a hash shared by two classes.
bool read_class_link(const std::string& link, const std::string& className, WindowHandle& out) {
    char buf[8192];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n <= 0)
        return false;
    const std::string text(buf, static_cast<std::size_t>(n));
    const std::size_t blank = text.find(' ');
    if (blank == std::string::npos || upper(text.substr(blank + 1)) != upper(className))
        return false;
    out = static_cast<WindowHandle>(std::strtoull(text.substr(0, blank).c_str(), nullptr, 16));
    return out != 0;
}

// Serialises the read-modify-write of the atom files between processes.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) {
        if (!folder.empty())
            m_fd = open((folder + "/atoms.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0)
            flock(m_fd, LOCK_EX);
    }
    ~FolderLock() {
        if (m_fd >= 0)
            close(m_fd); // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool ok() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// An atom file holds "<count>\n<name>"; a count of 0 marks a freed slot that
// later searches step over.
bool read_atom(const std::string& file, long& count, std::string& name) {
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return false;
    char buf[512];
    const std::size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    const std::string text(buf, n);
    const std::size_t nl = text.find('\n');
    if (nl == std::string::npos)
        return false;
    count = std::strtol(text.substr(0, nl).c_str(), nullptr, 10);
    name = text.substr(nl + 1);
    return true;
}

bool write_atom(const std::string& file, long count, const std::string& name) {
    const std::string temp = file + ".new";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    const std::string text = std::to_string(count) + "\n" + name;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !ok || std::rename(temp.c_str(), file.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::string atom_file(const std::string& folder, unsigned atom) {
    return folder + "/a-" + hex(atom, 4);
}

constexpr unsigned kAtomFirst = 0xC000;
constexpr unsigned kAtomSlots = 0x4000;

// Walks the slots from the name's hash; visit returns true to stop.
template <typename Visit> void probe_atoms(const std::string& name, Visit visit) {
    const unsigned start = static_cast<unsigned>(hash64(upper(name)) % kAtomSlots);
    for (unsigned i = 0; i < kAtomSlots; ++i) {
        const unsigned atom = kAtomFirst + (start + i) % kAtomSlots;
        if (visit(atom))
            return;
    }
}

} // namespace

std::string runtime_folder() {
    std::string folder;
    if (const char* own = std::getenv("STUB_RUNTIME_DIR"); own && *own) {
        folder = own;
    } else if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
        folder = std::string(xdg) + "/stub";
    } else {
        folder = "/tmp/stub-" + std::to_string(geteuid());
    }
    mkdir(folder.c_str(), 0700);
    // Another user's folder, or a link planted in its place, would let that
    // user read or forge the messages.
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid())
        return std::string();
    if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0)
        return std::string();
    return folder;
}

bool open_endpoint() {
    if (g_endpoint >= 0)
        return true;
    const std::string path = endpoint_path(own_pid());
    sockaddr_un addr;
    if (!make_address(path, addr))
        return false;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // A file of this name is left from an ended process that had our id.
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return false;
    }
    g_endpoint = fd;
    g_endpointPath = path;
    add_source(fd, [fd] {
        for (int i = 0; i < 1000; ++i) {
            Datagram d{};
            const ssize_t n = recv(fd, &d, sizeof d, 0);
            if (n < 0)
                return;
            if (n == static_cast<ssize_t>(sizeof d) && d.magic == kDatagramMagic)
                deliver(d);
        }
    });
    return true;
}

void close_endpoint() {
    if (g_endpoint < 0)
        return;
    remove_source(g_endpoint);
    close(g_endpoint);
    unlink(g_endpointPath.c_str());
    g_endpoint = -1;
    g_endpointPath.clear();
}

namespace {

// A datagram socket and the address of process pid's endpoint; -1 when
// either cannot be had.
int socket_for(std::uint32_t pid, sockaddr_un& addr) {
    if (!make_address(endpoint_path(pid), addr))
        return -1;
    return socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

} // namespace

bool send_datagram(std::uint32_t pid, const Datagram& d) {
    sockaddr_un addr;
    const int fd = socket_for(pid, addr);
    if (fd < 0)
        return false;
    const ssize_t n =
        sendto(fd, &d, sizeof d, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    close(fd);
    return n == static_cast<ssize_t>(sizeof d);
}

bool endpoint_alive(std::uint32_t pid) {
    if (pid == own_pid())
        return g_endpoint >= 0;
    sockaddr_un addr;
    const int fd = socket_for(pid, addr);
    if (fd < 0)
        return false;
    // A socket file whose process has ended refuses the connection.
    const bool alive = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return alive;
}

void publish_class(const std::string& className, WindowHandle window) {
    const std::string link = class_link(className);
    if (link.empty())
        return;
    const std::string text = hex(window, 1) + " " + className;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (symlink(text.c_str(), link.c_str()) == 0)
            return;
        if (errno != EEXIST)
            return;
        WindowHandle holder = 0;
        if (read_class_link(link, className, holder) && handle_pid(holder) != own_pid() &&
            endpoint_alive(handle_pid(holder)))
            return; // the class belongs to a live window of another process
        unlink(link.c_str());
    }
}

void withdraw_class(const std::string& className, WindowHandle window) {
    const std::string link = class_link(className);
    WindowHandle holder = 0;
    if (!link.empty() && read_class_link(link, className, holder) && holder == window)
        unlink(link.c_str());
}

WindowHandle lookup_class(const std::string& className) {
    const std::string link = class_link(className);
    WindowHandle holder = 0;
    if (link.empty() || !read_class_link(link, className, holder))
        return 0;
    return endpoint_alive(handle_pid(holder)) ? holder : 0;
}

} // namespace posix

WindowHandle find_window(const std::string& className) {
    if (className.empty())
        return 0;
    if (WindowHandle own = posix::local_window_of_class(className))
        return own;
    return posix::lookup_class(className);
}

std::uint32_t window_process(WindowHandle window) {
    return is_window(window) ? posix::handle_pid(window) : 0;
}

std::uint16_t global_add_atom(const std::string& name) {
    if (name.empty() || name.size() > 255 || name.find('\0') != std::string::npos)
        return 0;
    const std::string folder = posix::runtime_folder();
    posix::FolderLock lock(folder);
    if (!lock.ok())
        return 0;
    const std::string key = posix::upper(name);
    unsigned found = 0, freeSlot = 0;
    posix::probe_atoms(name, [&](unsigned atom) {
        long count = 0;
        std::string existing;
        if (!posix::read_atom(posix::atom_file(folder, atom), count, existing)) {
            if (!freeSlot)
                freeSlot = atom;
            return true; // the name was never stored past an unused slot
        }
        if (count > 0 && posix::upper(existing) == key) {
            found = atom;
            if (posix::write_atom(posix::atom_file(folder, atom), count + 1, existing))
                return true;
            found = 0;
            return true;
        }
        if (count <= 0 && !freeSlot)
            freeSlot = atom;
        return false;
    });
    if (found)
        return static_cast<std::uint16_t>(found);
    if (freeSlot && posix::write_atom(posix::atom_file(folder, freeSlot), 1, name))
        return static_cast<std::uint16_t>(freeSlot);
    return 0;
}

std::uint16_t global_find_atom(const std::string& name) {
    if (name.empty())
        return 0;
    const std::string folder = posix::runtime_folder();
    posix::FolderLock lock(folder);
    if (!lock.ok())
        return 0;
    const std::string key = posix::upper(name);
    unsigned found = 0;
    posix::probe_atoms(name, [&](unsigned atom) {
        long count = 0;
        std::string existing;
        if (!posix::read_atom(posix::atom_file(folder, atom), count, existing))
            return true;
        if (count > 0 && posix::upper(existing) == key) {
            found = atom;
            return true;
        }
        return false;
    });
    return static_cast<std::uint16_t>(found);
}

bool global_delete_atom(std::uint16_t atom) {
    if (atom < posix::kAtomFirst)
        return false;
    const std::string folder = posix::runtime_folder();
    posix::FolderLock lock(folder);
    long count = 0;
    std::string name;
    const std::string file = posix::atom_file(folder, atom);
    if (!lock.ok() || !posix::read_atom(file, count, name) || count <= 0)
        return false;
    // The last reference leaves a freed slot, not a hole, so that searches
    // for names stored behind it still find them.
    return count == 1 ? posix::write_atom(file, 0, "") : posix::write_atom(file, count - 1, name);
}

std::string global_atom_name(std::uint16_t atom) {
    if (atom < posix::kAtomFirst)
        return std::string();
    const std::string folder = posix::runtime_folder();
    long count = 0;
    std::string name;
    if (folder.empty() || !posix::read_atom(posix::atom_file(folder, atom), count, name) ||
        count <= 0)
        return std::string();
    return name;
}

} // namespace plat
