#include "platform/files.h"

#include <windows.h>

namespace plat {

namespace {

std::string drive_root(const std::string& path) {
    if (path.empty())
        return std::string();
    char letter = path[0];
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    return std::string(1, letter) + ":\\";
}

} // namespace

double free_disk_space(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    ULARGE_INTEGER avail{}, total{}, free{};
    if (p.size() >= 3) {
        // The first folder below the root: deeper ones may not exist yet.
        std::size_t slash = p.find('\\', 3);
        const std::string root = slash == std::string::npos ? p : p.substr(0, slash);
        if (GetDiskFreeSpaceExA(root.c_str(), &avail, &total, &free))
            return static_cast<double>(avail.QuadPart);
    }
    if (GetDiskFreeSpaceExA(drive_root(p).c_str(), &avail, &total, &free))
        return static_cast<double>(avail.QuadPart);
    return 0;
}

std::uint32_t cluster_size(const std::string& path) {
    DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
    const std::string root = path.substr(0, 3);
    if (!GetDiskFreeSpaceA(root.c_str(), &sectors, &bytes, &freeClusters, &clusters))
        return 0;
    return sectors * bytes;
}

DriveType drive_type(const std::string& path) {
    return static_cast<DriveType>(GetDriveTypeA(drive_root(path).c_str()));
}

std::string program_path() {
    char buf[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    return std::string(buf, n);
}

std::string command_line() {
    const char* line = GetCommandLineA();
    return line ? line : "";
}

namespace {

std::string folder(UINT (*query)(char*, UINT)) {
    char buf[261] = {};
    UINT n = query(buf, sizeof buf);
    if (n == 0 || n >= sizeof buf)
        return std::string();
    std::string r(buf, n);
    if (r.size() > 3 && r.back() == '\\')
        r.pop_back();
    return r;
}

UINT temp_path(char* buf, UINT size) {
    return GetTempPathA(size, buf);
}
UINT windows_path(char* buf, UINT size) {
    return GetWindowsDirectoryA(buf, size);
}
UINT system_path(char* buf, UINT size) {
    return GetSystemDirectoryA(buf, size);
}

} // namespace

std::string temp_folder() {
    return folder(temp_path);
}
std::string windows_folder() {
    return folder(windows_path);
}
std::string system_folder() {
    return folder(system_path);
}

} // namespace plat
