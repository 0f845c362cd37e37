#include "platform/files.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace plat {

namespace {

// The nearest existing folder of path, so that questions about a folder
// that is yet to be made are answered for the volume it will be made on.
std::string existing_ancestor(std::string path) {
    if (path.empty())
        path = ".";
    for (int guard = 0; guard < 4096; ++guard) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0)
            return path;
        std::size_t slash = path.find_last_of('/');
        if (slash == std::string::npos)
            return ".";
        if (slash == 0)
            return "/";
        path.erase(slash);
    }
    return "/";
}

} // namespace

double free_disk_space(const std::string& path) {
    struct statvfs st {};
    if (statvfs(existing_ancestor(path).c_str(), &st) != 0)
        return 0;
    return static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize);
}

std::uint32_t cluster_size(const std::string& path) {
    struct statvfs st {};
    if (statvfs(existing_ancestor(path).c_str(), &st) != 0)
        return 0;
    unsigned long size = st.f_frsize ? st.f_frsize : st.f_bsize;
    return static_cast<std::uint32_t>(size);
}

DriveType drive_type(const std::string& path) {
    struct statfs st {};
    if (statfs(existing_ancestor(path).c_str(), &st) != 0)
        return DRIVE_TYPE_NO_ROOT;
    switch (static_cast<unsigned long>(st.f_type)) {
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case 0xFF534D42UL: // cifs
    case 0xFE534D42UL: // smb2
        return DRIVE_TYPE_REMOTE;
    case ISOFS_SUPER_MAGIC:
    case 0x15013346UL: // udf
        return DRIVE_TYPE_CDROM;
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
        return DRIVE_TYPE_RAMDISK;
    case MSDOS_SUPER_MAGIC:
        return DRIVE_TYPE_REMOVABLE;
    default:
        return DRIVE_TYPE_FIXED;
    }
}

std::string program_path() {
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::string command_line() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string line;
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find('\0', start);
        if (end == std::string::npos)
            end = raw.size();
        std::string item = raw.substr(start, end - start);
        if (!line.empty())
            line += ' ';
        if (item.empty() || item.find_first_of(" \t") != std::string::npos)
            line += '"' + item + '"';
        else
            line += item;
        start = end + 1;
    }
    return line;
}

std::string temp_folder() {
    const char* t = std::getenv("TMPDIR");
    std::string r = (t && *t) ? t : "/tmp";
    while (r.size() > 1 && r.back() == '/')
        r.pop_back();
    return r;
}

std::string windows_folder() {
    return "/etc";
}

std::string system_folder() {
    return "/usr/lib";
}

bool same_volume(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return stat(existing_ancestor(a).c_str(), &sa) == 0 &&
           stat(existing_ancestor(b).c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

std::vector<std::string> alternative_temp_bases() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    std::vector<std::string> candidates{"/var/tmp"};
    if (cache && *cache)
        candidates.push_back(cache);
    else if (home && *home)
        candidates.push_back(std::string(home) + "/.cache");
    std::vector<std::string> bases;
    for (const std::string& c : candidates) {
        if (drive_type(c) != DRIVE_TYPE_FIXED)
            continue;
        bool seen = false;
        for (const std::string& b : bases)
            seen = seen || same_volume(b, c);
        if (!seen)
            bases.push_back(c);
    }
    return bases;
}

PathKind path_kind(const std::string& path) {
    struct stat st {};
    if (path.empty() || lstat(path.c_str(), &st) != 0)
        return PathKind::None;
    if (S_ISLNK(st.st_mode))
        return PathKind::Link;
    return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::File;
}

bool make_folder(const std::string& path, bool ownerOnly) {
    return !path.empty() && mkdir(path.c_str(), ownerOnly ? 0700 : 0777) == 0;
}

bool remove_folder(const std::string& path) {
    if (path_kind(path) == PathKind::Link)
        return unlink(path.c_str()) == 0;
    return rmdir(path.c_str()) == 0;
}

bool remove_file(const std::string& path, bool) {
    // unlink removes a link itself, never what it points to.
    return path_kind(path) != PathKind::Folder && unlink(path.c_str()) == 0;
}

bool list_folder(const std::string& folder, std::vector<FolderEntry>& out) {
    out.clear();
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return false;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        out.push_back({name, path_kind(folder + "/" + name)});
    }
    closedir(dir);
    return true;
}

bool file_size(const std::string& path, std::uint64_t& size) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool file_local_time(const std::string& path, LocalTime& out) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return false;
    std::tm tm{};
    const std::time_t t = st.st_mtime;
    if (!localtime_r(&t, &tm))
        return false;
    out = LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                    tm.tm_min,         tm.tm_sec,     0};
    return true;
}

bool set_file_local_time(const std::string& path, const LocalTime& time) {
    std::tm tm{};
    tm.tm_year = time.year - 1900;
    tm.tm_mon = time.month - 1;
    tm.tm_mday = time.day;
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return false;
    timespec times[2];
    times[0].tv_sec = t;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool make_executable(const std::string& path) {
    return chmod(path.c_str(), 0755) == 0;
}

namespace {

std::string env_or(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

std::string home() {
    return env_or("HOME", "/");
}

// A folder of $XDG_CONFIG_HOME/user-dirs.dirs (XDG_DOCUMENTS_DIR="$HOME/...").
std::string user_dir(const std::string& key, const std::string& fallback) {
    std::ifstream in(env_or("XDG_CONFIG_HOME", home() + "/.config") + "/user-dirs.dirs");
    std::string line;
    const std::string prefix = "XDG_" + key + "_DIR=";
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string value = line.substr(prefix.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            value = home() + value.substr(5);
        if (!value.empty() && value[0] == '/')
            return value;
    }
    return fallback;
}

} // namespace

std::string special_folder(int csidl) {
    const std::string data = env_or("XDG_DATA_HOME", home() + "/.local/share");
    std::string dataDirs = env_or("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    const std::string commonData = dataDirs.substr(0, dataDirs.find(':'));
    switch (csidl & 0xFF) {
    case 0x05: // documents
        return user_dir("DOCUMENTS", home() + "/Documents");
    case 0x1A: // roaming application data
        return env_or("XDG_CONFIG_HOME", home() + "/.config");
    case 0x1C: // local application data
        return data;
    case 0x23: // common application data
        return commonData;
    case 0x2E: // common documents
        return "/usr/share/doc";
    case 0x10: // desktop
        return user_dir("DESKTOP", home() + "/Desktop");
    case 0x02: // programs menu
    case 0x0B: // start menu
        return data + "/applications";
    case 0x16: // common start menu
    case 0x17: // common programs menu
        return commonData + "/applications";
    case 0x14: // fonts
        return data + "/fonts";
    default:
        return std::string();
    }
}

void preload_system_libraries() {}

std::intptr_t open_volume(char, bool) {
    return -1;
}

bool eject_volume(std::intptr_t) {
    return false;
}

void close_volume(std::intptr_t) {}

namespace {

std::string g_deleteProgram;
std::string g_deleteFolder;

void delete_at_exit() {
    unlink(g_deleteProgram.c_str());
    if (!g_deleteFolder.empty())
        rmdir(g_deleteFolder.c_str()); // only when nothing else is left in it
}

} // namespace

bool delete_after_exit(const std::string& program, const std::string& folder) {
    if (program.empty())
        return false;
    static bool registered = false;
    g_deleteProgram = program;
    g_deleteFolder = folder;
    if (!registered)
        registered = std::atexit(delete_at_exit) == 0;
    return registered;
}

} // namespace plat
