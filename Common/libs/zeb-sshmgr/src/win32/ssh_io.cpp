// Win32 handle primitives and helpers.
// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include "misc.h"
#include "ssh_io.h"

#include "zeb-tools-trace.h"

#include <cstdio>
#include <cstring>

fd_handle dup_fdhandle(fd_handle oldfd) {
    HANDLE dup = nullptr;
    HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, oldfd, self, &dup, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return FD_NONE;
    return dup;
}

fd_handle dup2_std_fdhandle(fd_handle oldfd, int newfd) {
    HANDLE dup = dup_fdhandle(oldfd);
    if (dup == FD_NONE)
        return FD_NONE;
    if (!SetStdHandle(static_cast<DWORD>(newfd), dup)) {
        CloseHandle(dup);
        return FD_NONE;
    }
    return dup;
}

void close_fdhandle(fd_handle& fd) {
    if (fd != FD_NONE)
        CloseHandle(fd);
    fd = FD_NONE;
}

int create_pipe(fd_handle fds[2]) {
    if (fds == nullptr)
        return -1;
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof(sa);
    sa.bInheritHandle = TRUE;
    HANDLE r = nullptr, w = nullptr;
    if (!CreatePipe(&r, &w, &sa, SSH_BUF_SIZE))
        return -1;
    fds[0] = r;
    fds[1] = w;
    return 0;
}

int get_bytes_avail(fd_handle fd_r) {
    DWORD avail = 0;
    if (!PeekNamedPipe(fd_r, nullptr, 0, nullptr, &avail, nullptr))
        return 0;
    return static_cast<int>(avail);
}

int read_fdhandle(fd_handle fd_r, char* recv, int recv_size, int b_avail) {
    if (fd_r == FD_NONE || recv == nullptr)
        return -1;
    int size = recv_size < b_avail ? recv_size : b_avail;
    if (size <= 0)
        return 0;
    DWORD got = 0;
    if (!ReadFile(fd_r, recv, static_cast<DWORD>(size), &got, nullptr))
        return -1;
    return static_cast<int>(got);
}

int write_fdhandle(fd_handle fd_w, const char* send) {
    if (fd_w == FD_NONE || send == nullptr)
        return -1;
    DWORD written = 0;
    if (!WriteFile(fd_w, send, static_cast<DWORD>(strlen(send)), &written, nullptr))
        return -1;
    return static_cast<int>(written);
}

int winsock_init() {
    WSADATA data;
    int result = WSAStartup(MAKEWORD(2, 2), &data);
    zeb_trace(TRACE_DEBUG, "Socket initialization ... %s\n", result == 0 ? "Done" : "Failed");
    return result;
}

int winsock_cleanup() {
    int result = WSACleanup();
    zeb_trace(TRACE_DEBUG, "Socket cleanup ... %s\n", result == 0 ? "Done" : "Failed");
    return result;
}

int get_client_path(char* path, int size) {
    char module[MAX_PATH] = {};
    DWORD len = GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (path == nullptr || size <= 0 || len == 0 || len >= MAX_PATH)
        return -1;
    char* slash = strrchr(module, '\\');
    if (slash != nullptr)
        *slash = '\0';
    int n = snprintf(path, static_cast<size_t>(size), "%s%s%s", module, "\\", "plink.exe");
    return n >= 0 && n < size ? 0 : -1;
}

int file_exists(const char* path) {
    return path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

const char* host_key_cache_location(char* buf, int size) {
    snprintf(buf, static_cast<size_t>(size), "%s",
             "HKEY_CURRENT_USER\\Software\\SimonTatham\\PuTTY\\SshHostKeys");
    return buf;
}

void sleep_seconds(int seconds) {
    if (seconds > 0)
        Sleep(static_cast<DWORD>(seconds) * 1000);
}
