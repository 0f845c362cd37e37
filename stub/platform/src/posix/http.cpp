// libcurl's multi interface drives one transfer per request; the body is
// pulled by http_read, which runs the transfer only while nothing is buffered,
// so memory stays at about one socket read.
#include "platform/http.h"

#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace plat {

struct HttpSession {
    std::string sAgent;
    // Until http_set_timeouts: a minute, so that a server that accepts and
    // never answers cannot hold the probe or the size query for good.
    std::uint32_t nTimeoutMs = 60000;
};

struct HttpRequest {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    std::string buffer;     // received body bytes not yet read
    std::size_t nTaken = 0; // of buffer
    bool bHeadersDone = false;
    bool bLocation = false; // the current answer names a redirect target
    bool bFinished = false;
    CURLcode result = CURLE_OK;
    char szError[CURL_ERROR_SIZE] = {};
};

namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool StartsWithCi(const char* text, std::size_t length, const char* prefix) {
    std::size_t n = std::strlen(prefix);
    return length >= n && strncasecmp(text, prefix, n) == 0;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* request = static_cast<HttpRequest*>(user);
    std::size_t length = size * count;
    if (StartsWithCi(data, length, "HTTP/")) {
        // A new answer starts (after a redirect or an interim answer).
        request->bHeadersDone = false;
        request->bLocation = false;
    } else if (StartsWithCi(data, length, "Location:")) {
        request->bLocation = true;
    } else if (length <= 2 && (length == 0 || data[0] == '\r' || data[0] == '\n')) {
        long code = 0;
        curl_easy_getinfo(request->easy, CURLINFO_RESPONSE_CODE, &code);
        bool followed = code >= 300 && code < 400 && request->bLocation;
        if (code >= 200 && !followed)
            request->bHeadersDone = true;
    }
    return length;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* request = static_cast<HttpRequest*>(user);
    request->bHeadersDone = true;
    request->buffer.append(data, size * count);
    return size * count;
}

// Runs the transfer one step: waits up to waitMs for the socket, then lets
// libcurl do what is ready. Notes the end of the transfer.
void Step(HttpRequest* request, int waitMs) {
    int running = 0;
    if (waitMs > 0)
        curl_multi_poll(request->multi, nullptr, 0, waitMs, nullptr);
    curl_multi_perform(request->multi, &running);
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(request->multi, &left)) {
        if (msg->msg == CURLMSG_DONE) {
            request->bFinished = true;
            request->result = msg->data.result;
        }
    }
    if (running == 0)
        request->bFinished = true;
}

} // namespace

bool internet_connected(std::string& errorText) {
    errorText.clear();
    return true;
}

HttpSession* http_open_session(const std::string& agent) {
    GlobalInit();
    auto* session = new HttpSession;
    session->sAgent = agent;
    return session;
}

void http_set_timeouts(HttpSession* session, std::uint32_t ms) {
    if (session)
        session->nTimeoutMs = ms;
}

void http_close_session(HttpSession* session) {
    delete session;
}

HttpRequest* http_open_url(HttpSession* session, const std::string& url, bool reload) {
    if (!session)
        return nullptr;
    auto* request = new HttpRequest;
    request->easy = curl_easy_init();
    request->multi = curl_multi_init();
    if (!request->easy || !request->multi) {
        http_close_request(request);
        return nullptr;
    }
    CURL* easy = request->easy;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, session->sAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_FILETIME, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 65536L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, request->szError);
    // A private certificate authority (an in-house update server, the TLS
    // tests) is trusted in place of the system's list when named here.
    if (const char* ca = std::getenv("STUB_CA_FILE"); ca && *ca)
        curl_easy_setopt(easy, CURLOPT_CAINFO, ca);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, request);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, request);
    if (reload) {
        static const char* const kNoCache[] = {"Cache-Control: no-cache", "Pragma: no-cache"};
        curl_slist* headers = nullptr;
        for (const char* h : kNoCache)
            headers = curl_slist_append(headers, h);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_PRIVATE, headers);
    }
    if (session->nTimeoutMs > 0) {
        // Connect, and give up on a transfer that moves no byte for the
        // timeout (what receive and send timeouts amount to).
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(session->nTimeoutMs));
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME,
                         static_cast<long>((session->nTimeoutMs + 999) / 1000));
    }
    curl_multi_add_handle(request->multi, easy);
    Step(request, 0);
    while (!request->bHeadersDone && !request->bFinished)
        Step(request, 1000);
    if (!request->bHeadersDone && request->result != CURLE_OK) {
        http_close_request(request);
        return nullptr;
    }
    return request;
}

void http_close_request(HttpRequest* request) {
    if (!request)
        return;
    if (request->multi && request->easy)
        curl_multi_remove_handle(request->multi, request->easy);
    if (request->easy) {
        curl_slist* headers = nullptr;
        curl_easy_getinfo(request->easy, CURLINFO_PRIVATE, reinterpret_cast<char**>(&headers));
        curl_easy_cleanup(request->easy);
        curl_slist_free_all(headers);
    }
    if (request->multi)
        curl_multi_cleanup(request->multi);
    delete request;
}

int http_status(HttpRequest* request) {
    long code = 0;
    if (request)
        curl_easy_getinfo(request->easy, CURLINFO_RESPONSE_CODE, &code);
    return static_cast<int>(code);
}

bool http_content_length(HttpRequest* request, std::uint64_t& length) {
    curl_off_t value = -1;
    if (!request ||
        curl_easy_getinfo(request->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &value) != CURLE_OK ||
        value < 0)
        return false;
    length = static_cast<std::uint64_t>(value);
    return true;
}

bool http_last_modified(HttpRequest* request, HttpDate& date) {
    curl_off_t stamp = -1;
    if (!request || curl_easy_getinfo(request->easy, CURLINFO_FILETIME_T, &stamp) != CURLE_OK ||
        stamp < 0)
        return false;
    std::time_t t = static_cast<std::time_t>(stamp);
    std::tm tm{};
    if (!gmtime_r(&t, &tm))
        return false;
    date.year = tm.tm_year + 1900;
    date.month = tm.tm_mon + 1;
    date.day = tm.tm_mday;
    date.hour = tm.tm_hour;
    date.minute = tm.tm_min;
    date.second = tm.tm_sec;
    return true;
}

bool http_read(HttpRequest* request, void* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    if (!request)
        return false;
    while (request->nTaken == request->buffer.size() && !request->bFinished) {
        request->buffer.clear();
        request->nTaken = 0;
        Step(request, 1000);
    }
    std::size_t ready = request->buffer.size() - request->nTaken;
    if (ready == 0)
        return request->result == CURLE_OK;
    got = ready < size ? ready : size;
    std::memcpy(buffer, request->buffer.data() + request->nTaken, got);
    request->nTaken += got;
    return true;
}

std::string http_error_detail(HttpRequest* request) {
    if (!request || request->result == CURLE_OK)
        return std::string();
    if (request->szError[0])
        return request->szError;
    return curl_easy_strerror(request->result);
}

void http_release_library() {}

} // namespace plat
