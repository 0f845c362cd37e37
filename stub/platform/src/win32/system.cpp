#include "platform/system.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace plat {

CriticalSection::CriticalSection() {
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof(m_storage), "storage too small");
    InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(m_storage));
}

CriticalSection::~CriticalSection() {
    DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(m_storage));
}

void CriticalSection::enter() {
    EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(m_storage));
}

void CriticalSection::leave() {
    LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(m_storage));
}

std::string last_error_text() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    if (n == 0 || !text)
        return std::string();
    std::string r(text, n);
    LocalFree(text);
    while (!r.empty() && (r.back() == '\n' || r.back() == '\r' || r.back() == ' '))
        r.pop_back();
    return r;
}

void debug_sink(const char* text, std::size_t length) {
    static const UINT message = RegisterWindowMessageA(".H_DebugMsg.");
    if (length == 0)
        return;
    HWND viewer = FindWindowA(".HDebug.", nullptr);
    if (!viewer)
        return;
    const std::string piece(text, length);
    ATOM atom = GlobalAddAtomA(piece.c_str());
    if (!atom)
        return;
    SendMessageA(viewer, message, 1, static_cast<LPARAM>(atom));
    GlobalDeleteAtom(atom);
}

namespace {

bool version_data(const std::string& file, std::vector<char>& data) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    if (size == 0)
        return false;
    data.assign(size, 0);
    return GetFileVersionInfoA(file.c_str(), 0, size, data.data()) != FALSE;
}

} // namespace

bool file_version(const std::string& file, unsigned parts[4]) {
    std::vector<char> data;
    if (!version_data(file, data))
        return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len) || !info ||
        len < sizeof(VS_FIXEDFILEINFO))
        return false;
    parts[0] = HIWORD(info->dwFileVersionMS);
    parts[1] = LOWORD(info->dwFileVersionMS);
    parts[2] = HIWORD(info->dwFileVersionLS);
    parts[3] = LOWORD(info->dwFileVersionLS);
    return true;
}

bool version_string(const std::string& file, const std::string& name, std::string& out) {
    std::vector<char> data;
    if (!version_data(file, data))
        return false;
    WORD* translation = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &len) ||
        !translation || len < 4)
        return false;
    char path[256];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%.4x%.4x\\%s", translation[0],
                  translation[1], name.c_str());
    char* value = nullptr;
    if (!VerQueryValueA(data.data(), path, reinterpret_cast<void**>(&value), &len) || !value)
        return false;
    out.assign(value, len > 0 && value[len - 1] == '\0' ? len - 1 : len);
    out.resize(out.find('\0') == std::string::npos ? out.size() : out.find('\0'));
    return true;
}

bool shell_open(const std::string& file, const std::string& params, ShowMode show) {
    HINSTANCE rc = ShellExecuteA(GetDesktopWindow(), nullptr, file.c_str(),
                                 params.empty() ? nullptr : params.c_str(), nullptr, show);
    return reinterpret_cast<INT_PTR>(rc) > 32;
}

void* lookup_function(const std::string& library, const std::string& name) {
    // A bare file name is looked up in the system folder only: the folder a
    // setup file was started from may hold anything.
    std::string path = library;
    if (path.find_first_of("\\/:") == std::string::npos) {
        char folder[MAX_PATH + 1] = {};
        const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
        if (n > 0 && n < MAX_PATH)
            path = std::string(folder, n) + "\\" + library;
    }
    HMODULE module = LoadLibraryA(path.c_str());
    if (reinterpret_cast<UINT_PTR>(module) <= 32)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(module, name.c_str()));
}

unsigned long process_id() {
    return GetCurrentProcessId();
}

} // namespace plat
