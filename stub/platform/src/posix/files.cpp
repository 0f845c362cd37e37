#include "platform/files.h"

#include <climits>
#include <cstdlib>
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

} // namespace plat
