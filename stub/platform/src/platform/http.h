// HTTP transfers, pulled chunk by chunk: the system's Internet library on
// Windows (bound at run time), libcurl on POSIX.
#ifndef STUB_PLATFORM_HTTP_H
#define STUB_PLATFORM_HTTP_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

struct HttpSession;
struct HttpRequest;

// Calendar fields of an HTTP date (UTC, as the server sent them).
struct HttpDate {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// True when the system reports a way to the Internet; otherwise false with
// the system's text for the failure. POSIX has no such notion and always
// reports connected (a loopback server must stay reachable); the transfer
// itself reports what fails.
bool internet_connected(std::string& errorText);

// A session with the given user agent (preconfigured proxy settings);
// nullptr when the library cannot be used.
HttpSession* http_open_session(const std::string& agent);
// Connect, receive and send timeouts of every request of the session.
void http_set_timeouts(HttpSession* session, std::uint32_t ms);
void http_close_session(HttpSession* session);

// Opens url and returns once the answer's headers are in (redirects are
// followed); nullptr when the server cannot be reached. reload bypasses any
// cache and stores nothing in it. Only http and https URLs are opened.
HttpRequest* http_open_url(HttpSession* session, const std::string& url, bool reload);
void http_close_request(HttpRequest* request);

// Status code of the final answer; 0 when unknown.
int http_status(HttpRequest* request);
// Content-Length of the answer; false when the server sent none.
bool http_content_length(HttpRequest* request, std::uint64_t& length);
// Last-Modified of the answer; false when missing or unreadable.
bool http_last_modified(HttpRequest* request, HttpDate& date);
// Reads up to size bytes of the body; got is 0 at the end of the body.
// False on a failed read (a connection lost early included).
bool http_read(HttpRequest* request, void* buffer, std::size_t size, std::size_t& got);
// Why the last call on the request failed: the system's error text or,
// when there is none, the server's last response text. Empty when unknown.
std::string http_error_detail(HttpRequest* request);

// Releases the Internet library bound at run time (Windows); the next
// call binds it again.
void http_release_library();

} // namespace plat

#endif
