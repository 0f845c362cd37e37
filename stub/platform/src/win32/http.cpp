// WinInet, bound at run time: six functions are looked up in one module
// handle at their first use; a missing library or function fails the call as
// if it had returned 0. InternetSetOptionA and InternetGetLastResponseInfoA
// are linked normally.
#include "platform/http.h"
#include "platform/system.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>

namespace plat {

struct HttpSession {
    HINTERNET handle = nullptr;
};

struct HttpRequest {
    HINTERNET handle = nullptr;
    DWORD nError = 0; // of the last failed call
};

namespace {

using GetConnectedStateFn = BOOL(WINAPI*)(LPDWORD, DWORD);
using CloseHandleFn = BOOL(WINAPI*)(HINTERNET);
using OpenFn = HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
using OpenUrlFn = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR);
using QueryInfoFn = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD);
using ReadFileFn = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);

enum Function { GET_CONNECTED_STATE, CLOSE_HANDLE, OPEN, OPEN_URL, QUERY_INFO, READ_FILE, COUNT };

const char* const kNames[COUNT] = {
    "InternetGetConnectedState", "InternetCloseHandle", "InternetOpenA",
    "InternetOpenUrlA",          "HttpQueryInfoA",      "InternetReadFile"};

HMODULE g_hModule = nullptr;
FARPROC g_Functions[COUNT] = {};

template <typename Fn> Fn Bind(Function f) {
    if (!g_Functions[f]) {
        if (!g_hModule)
            g_hModule = LoadLibraryA("WinINet.dll");
        if (!g_hModule)
            return nullptr;
        g_Functions[f] = GetProcAddress(g_hModule, kNames[f]);
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(g_Functions[f]));
}

void CloseInternetHandle(HINTERNET h) {
    if (!h)
        return;
    if (auto close = Bind<CloseHandleFn>(CLOSE_HANDLE))
        close(h);
}

bool Query(HttpRequest* request, DWORD info, void* buffer, DWORD& size) {
    auto query = Bind<QueryInfoFn>(QUERY_INFO);
    if (!request || !query)
        return false;
    if (query(request->handle, info, buffer, &size, nullptr))
        return true;
    request->nError = GetLastError();
    return false;
}

} // namespace

bool internet_connected(std::string& errorText) {
    errorText.clear();
    auto connected = Bind<GetConnectedStateFn>(GET_CONNECTED_STATE);
    DWORD flags = 0;
    if (connected && connected(&flags, 0))
        return true;
    errorText = last_error_text();
    return false;
}

HttpSession* http_open_session(const std::string& agent) {
    auto open = Bind<OpenFn>(OPEN);
    if (!open)
        return nullptr;
    HINTERNET h = open(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, "", nullptr, 0);
    if (!h)
        return nullptr;
    auto* session = new HttpSession;
    session->handle = h;
    return session;
}

void http_set_timeouts(HttpSession* session, std::uint32_t ms) {
    if (!session)
        return;
    DWORD value = ms;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT})
        InternetSetOptionA(session->handle, option, &value, sizeof value);
}

void http_close_session(HttpSession* session) {
    if (!session)
        return;
    CloseInternetHandle(session->handle);
    delete session;
}

HttpRequest* http_open_url(HttpSession* session, const std::string& url, bool reload) {
    auto openUrl = Bind<OpenUrlFn>(OPEN_URL);
    if (!session || !openUrl)
        return nullptr;
    // Other schemes (ftp, file) are not what a download address may name.
    if (_strnicmp(url.c_str(), "http://", 7) != 0 && _strnicmp(url.c_str(), "https://", 8) != 0)
        return nullptr;
    // A package fetched anew is not also copied into the system's cache.
    HINTERNET h = openUrl(session->handle, url.c_str(), nullptr, 0,
                          reload ? INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE : 0, 0);
    if (!h)
        return nullptr;
    auto* request = new HttpRequest;
    request->handle = h;
    return request;
}

void http_close_request(HttpRequest* request) {
    if (!request)
        return;
    CloseInternetHandle(request->handle);
    delete request;
}

int http_status(HttpRequest* request) {
    DWORD code = 0;
    DWORD size = sizeof code;
    if (!Query(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, size))
        return 0;
    return static_cast<int>(code);
}

bool http_content_length(HttpRequest* request, std::uint64_t& length) {
    // As text: the numeric form of the query is 32 bits wide.
    char text[32] = {};
    DWORD size = sizeof text - 1;
    if (!Query(request, HTTP_QUERY_CONTENT_LENGTH, text, size))
        return false;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || text[0] == '-')
        return false;
    length = value;
    return true;
}

bool http_last_modified(HttpRequest* request, HttpDate& date) {
    SYSTEMTIME st{};
    DWORD size = sizeof st;
    if (!Query(request, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &st, size) ||
        st.wYear == 0)
        return false;
    date.year = st.wYear;
    date.month = st.wMonth;
    date.day = st.wDay;
    date.hour = st.wHour;
    date.minute = st.wMinute;
    date.second = st.wSecond;
    return true;
}

bool http_read(HttpRequest* request, void* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    auto read = Bind<ReadFileFn>(READ_FILE);
    if (!request || !read)
        return false;
    DWORD n = 0;
    if (!read(request->handle, buffer, size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size),
              &n)) {
        request->nError = GetLastError();
        return false;
    }
    got = n;
    return true;
}

std::string http_error_detail(HttpRequest* request) {
    if (request)
        SetLastError(request->nError);
    std::string detail = last_error_text();
    if (!detail.empty())
        return detail;
    DWORD code = 0;
    char text[1024] = {};
    DWORD size = sizeof text;
    if (InternetGetLastResponseInfoA(&code, text, &size) && size > 0)
        return std::string(text, size < sizeof text ? size : sizeof text - 1);
    return std::string();
}

void http_release_library() {
    for (FARPROC& f : g_Functions)
        f = nullptr;
    if (g_hModule)
        FreeLibrary(g_hModule);
    g_hModule = nullptr;
}

} // namespace plat
