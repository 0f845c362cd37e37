#include "platform/process.h"

#include "platform/files.h"
#include "platform/system.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>

namespace plat {

namespace {

HANDLE to_handle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

bool start(const std::string& commandLine, ShowMode show, DWORD flags, STARTUPINFOA& si,
           BOOL inherit, PROCESS_INFORMATION& pi) {
    if (commandLine.empty() || commandLine.size() >= kMaxCommandLine) {
        SetLastError(commandLine.empty() ? ERROR_FILE_NOT_FOUND : ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    si.cb = sizeof si;
    si.dwFlags |= STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(show);
    std::string line = commandLine; // CreateProcessA may write to it
    return CreateProcessA(nullptr, &line[0], nullptr, nullptr, inherit, flags, nullptr, nullptr,
                          &si, &pi) != FALSE;
}

// The owner chain ends at a window without owner.
HWND top_owner(HWND window) {
    HWND top = window;
    for (int guard = 0; guard < 64; ++guard) {
        HWND owner = GetWindow(top, GW_OWNER);
        if (!owner)
            break;
        top = owner;
    }
    return top;
}

struct WindowSearch {
    DWORD pid;
    std::vector<TopWindow>* list;
};

BOOL CALLBACK collect_window(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    // The input-method windows the system gives every GUI thread are titled
    // and, under Wine, without owner: they would outscore a hidden main
    // window.
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (pid == search->pid && lstrcmpiA(cls, "IME") != 0 && lstrcmpiA(cls, "MSCTFIME UI") != 0) {
        TopWindow w;
        w.window = reinterpret_cast<WindowHandle>(window);
        w.topOwner = reinterpret_cast<WindowHandle>(top_owner(window));
        w.titled = GetWindowTextLengthA(window) > 0;
        w.visible = IsWindowVisible(window) != FALSE;
        search->list->push_back(w);
    }
    return search->list->size() < 2001;
}

} // namespace

bool start_process(const std::string& commandLine, ShowMode show, ProcessHandle* out) {
    STARTUPINFOA si = {};
    PROCESS_INFORMATION pi = {};
    if (!start(commandLine, show, 0, si, FALSE, pi))
        return false;
    CloseHandle(pi.hThread);
    if (out) {
        out->handle = reinterpret_cast<std::intptr_t>(pi.hProcess);
        out->id = pi.dwProcessId;
    } else {
        CloseHandle(pi.hProcess);
    }
    return true;
}

bool start_process_piped(const std::string& commandLine, ShowMode show, ProcessHandle& out,
                         ChildPipes& pipes) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE in[2] = {}, outp[2] = {}, err[2] = {};
    const auto close_all = [&] {
        for (HANDLE h : {in[0], in[1], outp[0], outp[1], err[0], err[1]})
            if (h)
                CloseHandle(h);
    };
    if (!CreatePipe(&in[0], &in[1], &sa, 0) || !CreatePipe(&outp[0], &outp[1], &sa, 0) ||
        !CreatePipe(&err[0], &err[1], &sa, 0)) {
        close_all();
        return false;
    }
    // Our ends stay ours: a child holding the write end of its own input
    // would never see that input end.
    SetHandleInformation(in[1], HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outp[0], HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err[0], HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_FORCEONFEEDBACK;
    si.hStdInput = in[0];
    si.hStdOutput = outp[1];
    si.hStdError = err[1];
    PROCESS_INFORMATION pi = {};
    if (!start(commandLine, show, IDLE_PRIORITY_CLASS, si, TRUE, pi)) {
        const DWORD e = GetLastError();
        close_all();
        SetLastError(e);
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(in[0]);
    CloseHandle(outp[1]);
    CloseHandle(err[1]);
    out.handle = reinterpret_cast<std::intptr_t>(pi.hProcess);
    out.id = pi.dwProcessId;
    pipes.input = reinterpret_cast<std::intptr_t>(in[1]);
    pipes.output = reinterpret_cast<std::intptr_t>(outp[0]);
    pipes.error = reinterpret_cast<std::intptr_t>(err[0]);
    return true;
}

bool wait_process(const ProcessHandle& process, std::uint32_t ms) {
    if (!process.handle)
        return true;
    return WaitForSingleObject(to_handle(process.handle), ms) == WAIT_OBJECT_0;
}

bool process_exit_code(const ProcessHandle& process, int& code) {
    // The handle's state, not the code: a program may end with 259 itself.
    if (!process.handle || WaitForSingleObject(to_handle(process.handle), 0) != WAIT_OBJECT_0)
        return false;
    DWORD c = 0;
    if (!GetExitCodeProcess(to_handle(process.handle), &c))
        return false;
    code = static_cast<int>(c);
    return true;
}

bool terminate_process(const ProcessHandle& process, unsigned code) {
    return process.handle && TerminateProcess(to_handle(process.handle), code) != FALSE;
}

void close_process(ProcessHandle& process) {
    if (process.handle)
        CloseHandle(to_handle(process.handle));
    process = ProcessHandle();
}

long read_pipe(std::intptr_t pipe, std::size_t max, std::string& out, bool& more) {
    more = false;
    if (pipe == -1 || pipe == 0)
        return -1;
    DWORD avail = 0;
    if (!PeekNamedPipe(to_handle(pipe), nullptr, 0, nullptr, &avail, nullptr))
        return -1; // the writer is gone and everything was read
    if (avail == 0)
        return 0;
    std::string buf(max == 0 || max > avail ? avail : max, '\0');
    DWORD n = 0;
    if (!ReadFile(to_handle(pipe), &buf[0], static_cast<DWORD>(buf.size()), &n, nullptr))
        return -1;
    out.append(buf.data(), n);
    more = avail > n;
    return static_cast<long>(n);
}

bool write_pipe(std::intptr_t pipe, const std::string& data) {
    if (pipe == -1 || pipe == 0)
        return false;
    DWORD n = 0;
    return WriteFile(to_handle(pipe), data.data(), static_cast<DWORD>(data.size()), &n, nullptr) &&
           n == data.size();
}

void close_pipe(std::intptr_t& pipe) {
    if (pipe != -1 && pipe != 0)
        CloseHandle(to_handle(pipe));
    pipe = -1;
}

std::string console_to_text(const std::string& text) {
    std::string out = text;
    if (!out.empty())
        OemToCharBuffA(text.data(), &out[0], static_cast<DWORD>(out.size()));
    return out;
}

std::vector<ProcessEntry> list_processes() {
    std::vector<ProcessEntry> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return list;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry)) {
        ProcessEntry e;
        e.id = entry.th32ProcessID;
        e.path = entry.szExeFile;
        // The full path where the system tells it; the snapshot has the name.
        if (HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.id)) {
            char path[MAX_PATH * 4];
            DWORD size = sizeof path;
            if (QueryFullProcessImageNameA(p, 0, path, &size))
                e.path.assign(path, size);
            CloseHandle(p);
        }
        list.push_back(e);
    }
    CloseHandle(snapshot);
    return list;
}

bool terminate_process_id(std::uint32_t id, unsigned code) {
    HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, id);
    if (!p)
        return false;
    const bool ok = TerminateProcess(p, code) != FALSE;
    CloseHandle(p);
    return ok;
}

std::uint32_t current_process_id() {
    return GetCurrentProcessId();
}

std::vector<TopWindow> process_windows(std::uint32_t id) {
    std::vector<TopWindow> list;
    WindowSearch search{id, &list};
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
    return list;
}

std::string short_path(const std::string& path) {
    char buf[MAX_PATH + 1];
    const DWORD n = GetShortPathNameA(path.c_str(), buf, sizeof buf);
    return n == 0 || n >= sizeof buf ? std::string() : std::string(buf, n);
}

std::string full_path(const std::string& path) {
    char buf[MAX_PATH * 4];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, nullptr);
    return n == 0 || n >= sizeof buf ? path : std::string(buf, n);
}

OsVersion os_version() {
    static const OsVersion cached = [] {
        OsVersion v;
        OSVERSIONINFOEXA info = {};
        info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
            info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
            GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info));
        }
#pragma GCC diagnostic pop
        v.platform = info.dwPlatformId;
        v.major = info.dwMajorVersion;
        v.minor = info.dwMinorVersion;
        v.build = info.dwBuildNumber & 0xFFFF;
        v.servicePack = info.szCSDVersion;
        v.server =
            GetSystemMetrics(SM_SERVERR2) != 0 || info.wProductType == 2 || info.wProductType == 3;
        // From 8.1 on the system reports 6.2 to programs without a manifest
        // saying otherwise; kernel32's product version tells the truth.
        if (v.major >= 6 && v.minor >= 3) {
            std::string product;
            unsigned a = 0, b = 0, c = 0;
            if (version_string(system_folder() + "\\kernel32.dll", "ProductVersion", product) &&
                std::sscanf(product.c_str(), "%u.%u.%u", &a, &b, &c) == 3) {
                v.major = a;
                v.minor = b;
                v.build = c;
            }
        }
        v.os64 = sizeof(void*) == 8 || is_wow64();
        return v;
    }();
    return cached;
}

bool is_wow64() {
    static const bool wow64 = [] {
        using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
        auto isWow64 =
            reinterpret_cast<IsWow64ProcessFn>(lookup_function("kernel32.dll", "IsWow64Process"));
        BOOL flag = FALSE;
        if (!lookup_function("kernel32.dll", "GetNativeSystemInfo") || !isWow64 ||
            !isWow64(GetCurrentProcess(), &flag) || !flag)
            return false;
        return lookup_function("kernel32.dll", "Wow64DisableWow64FsRedirection") &&
               lookup_function("kernel32.dll", "Wow64RevertWow64FsRedirection") &&
               lookup_function("kernel32.dll", "GetSystemWow64DirectoryA") &&
               lookup_function("advapi32.dll", "RegDeleteKeyExA");
    }();
    return wow64;
}

} // namespace plat
