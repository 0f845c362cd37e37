#include "platform/files.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdio>

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

namespace {

// Libraries named by their file name come from the system folder only, never
// from the folder a setup file was started from.
HMODULE system_library(const char* name) {
    return LoadLibraryA((system_folder() + "\\" + name).c_str());
}

bool is_file_time_zero(const FILETIME& t) {
    return t.dwLowDateTime == 0 && t.dwHighDateTime == 0;
}

} // namespace

bool same_volume(const std::string& a, const std::string& b) {
    return !a.empty() && !b.empty() && drive_root(a) == drive_root(b);
}

std::vector<std::string> alternative_temp_bases() {
    std::vector<std::string> bases;
    for (const char* letter : {"C", "D", "E"})
        if (GetDriveTypeA((std::string(letter) + ":\\").c_str()) == DRIVE_FIXED)
            bases.push_back(std::string(letter) + ":\\TEMP");
    return bases;
}

PathKind path_kind(const std::string& path) {
    if (path.empty() || path.find_first_of("*?") != std::string::npos)
        return PathKind::None;
    DWORD attr = GetFileAttributesA(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) {
        // A link whose target is gone is still there: its directory entry
        // tells.
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(path.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return PathKind::None;
        FindClose(find);
        attr = data.dwFileAttributes;
    }
    if (attr & FILE_ATTRIBUTE_REPARSE_POINT)
        return PathKind::Link;
    return (attr & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

bool make_folder(const std::string& path, bool) {
    return !path.empty() && CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool remove_folder(const std::string& path) {
    // For a junction or folder link this removes the link, not its target.
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool remove_file(const std::string& path, bool clearAttributes) {
    if (clearAttributes)
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != FALSE;
}

bool list_folder(const std::string& folder, std::vector<FolderEntry>& out) {
    out.clear();
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        PathKind kind = PathKind::File;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            kind = PathKind::Link;
        else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            kind = PathKind::Folder;
        out.push_back({name, kind});
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return true;
}

bool file_size(const std::string& path, std::uint64_t& size) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool file_local_time(const std::string& path, LocalTime& out) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        is_file_time_zero(data.ftLastWriteTime))
        return false;
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToSystemTime(&local, &st))
        return false;
    out =
        LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    return true;
}

bool set_file_local_time(const std::string& path, const LocalTime& time) {
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(time.year);
    st.wMonth = static_cast<WORD>(time.month);
    st.wDay = static_cast<WORD>(time.day);
    st.wHour = static_cast<WORD>(time.hour);
    st.wMinute = static_cast<WORD>(time.minute);
    st.wSecond = static_cast<WORD>(time.second);
    FILETIME local, utc;
    if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc))
        return false;
    HANDLE file =
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = SetFileTime(file, nullptr, nullptr, &utc) != FALSE;
    CloseHandle(file);
    return ok;
}

bool make_executable(const std::string& path) {
    return path_kind(path) == PathKind::File;
}

std::string special_folder(int csidl) {
    char buf[1025] = {};
    switch (csidl & 0xFF) {
    case CSIDL_PERSONAL:
    case CSIDL_APPDATA:
    case CSIDL_LOCAL_APPDATA:
    case CSIDL_COMMON_APPDATA:
    case CSIDL_COMMON_DOCUMENTS: {
        using Fn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, char*);
        static HMODULE library = system_library("SHFolder.dll");
        auto fn = library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(
                                GetProcAddress(library, "SHGetFolderPathA")))
                          : nullptr;
        if (!fn || fn(nullptr, csidl, nullptr, 0, buf) != S_OK)
            return std::string();
        break;
    }
    default: {
        using Fn = BOOL(WINAPI*)(HWND, char*, int, BOOL);
        static HMODULE library = system_library("shell32.dll");
        auto fn = library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(
                                GetProcAddress(library, "SHGetSpecialFolderPathA")))
                          : nullptr;
        if (!fn || !fn(nullptr, buf, csidl & 0xFF, FALSE))
            return std::string();
        break;
    }
    }
    buf[sizeof buf - 1] = '\0';
    return buf;
}

void preload_system_libraries() {
    static bool done = false;
    if (done)
        return;
    done = true;
    const UINT old = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    for (const char* name : {"shell32.dll", "USP10.dll", "MSLS31.dll", "RICHED32.DLL"})
        system_library(name);
    SetErrorMode(old);
}

std::intptr_t open_volume(char letter, bool write) {
    const std::string device = std::string("\\\\.\\") + letter + ":";
    HANDLE h = CreateFileA(device.c_str(), write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(h);
}

bool eject_volume(std::intptr_t volume) {
    if (volume == -1)
        return false;
    DWORD returned = 0;
    return DeviceIoControl(reinterpret_cast<HANDLE>(volume),
                           0x2D4808 /* IOCTL_STORAGE_EJECT_MEDIA */, nullptr, 0, nullptr, 0,
                           &returned, nullptr) != FALSE;
}

void close_volume(std::intptr_t volume) {
    if (volume != -1)
        CloseHandle(reinterpret_cast<HANDLE>(volume));
}

namespace {

// A path as a batch file must hold it: "%" would start a variable.
std::string batch_quoted(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '%')
            out += '%';
        out += c;
    }
    return out + "\"";
}

} // namespace

bool delete_after_exit(const std::string& program, const std::string& folder) {
    const std::string temp = temp_folder();
    if (program.empty() || temp.empty())
        return false;
    // A name of its own, so that two programs deleting themselves at the same
    // time do not overwrite each other's batch file.
    char name[64];
    std::snprintf(name, sizeof name, "\\_DEL_ME_%lu_%lu.BAT", GetCurrentProcessId(),
                  GetTickCount());
    const std::string batch = temp + name;
    // Tries for about two minutes, then gives up instead of looping for ever.
    std::string text = "@ECHO OFF\r\n"
                       "SET /A N=0\r\n"
                       ":START\r\n"
                       "DEL " +
                       batch_quoted(program) +
                       "\r\n"
                       "IF NOT EXIST " +
                       batch_quoted(program) +
                       " GOTO DONE\r\n"
                       "SET /A N+=1\r\n"
                       "IF %N% GEQ 120 GOTO DONE\r\n"
                       "PING -n 2 127.0.0.1 >NUL\r\n"
                       "GOTO START\r\n"
                       ":DONE\r\n";
    if (!folder.empty())
        text += "RD " + batch_quoted(folder) + "\r\n";
    text += "DEL " + batch_quoted(batch) + "\r\n";
    HANDLE file = CreateFileA(batch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    CloseHandle(file);
    if (!ok) {
        DeleteFileA(batch.c_str());
        return false;
    }
    std::string line = "\"" + system_folder() + "\\cmd.exe\" /c \"" + batch + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        temp.c_str(), &si, &pi)) {
        DeleteFileA(batch.c_str());
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

} // namespace plat
