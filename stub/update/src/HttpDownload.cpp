#include "HttpDownload.h"

#include "Progress.h"
#include "platform/fileio.h"
#include "platform/http.h"
#include "platform/messages.h"
#include "platform/system.h"
#include "util/debug.h"
#include "util/text.h"

#include <atomic>
#include <cctype>
#include <fstream>
#include <vector>

namespace {

std::atomic<bool> g_bAbort{false};

constexpr std::uint32_t kTimeoutMs = 180000;
// Chunks of up to 64 KiB keep a loopback transfer near disk speed; the
// messages are served after every chunk instead of a fixed pause.
constexpr std::uint64_t kMaxChunk = 65536;
// How much of a refused answer's body is kept for the error-page test.
constexpr std::size_t kErrorBodyBytes = 4096;

const char kAgentProbe[] = "HTTP_Connect_2";
const char kAgentDownload[] = "HTTP_Connect_3";

struct Session {
    plat::HttpSession* handle;
    explicit Session(const char* agent) : handle(plat::http_open_session(agent)) {}
    ~Session() { plat::http_close_session(handle); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

struct Request {
    plat::HttpRequest* handle;
    Request(Session& session, const std::string& url, bool reload)
        : handle(session.handle ? plat::http_open_url(session.handle, url, reload) : nullptr) {}
    ~Request() { plat::http_close_request(handle); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
};

// The server learns of the client once before the transfer; its answer is
// not used.
void Probe(const std::string& url) {
    Session session(kAgentProbe);
    Request request(session, url, false);
}

// Packed DOS date and time of calendar fields; 0 outside 1980..2107.
std::uint32_t DosStamp(const plat::HttpDate& d) {
    if (d.year < 1980 || d.year > 2107 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31)
        return 0;
    return (static_cast<std::uint32_t>(d.year - 1980) << 25) |
           (static_cast<std::uint32_t>(d.month) << 21) | (static_cast<std::uint32_t>(d.day) << 16) |
           (static_cast<std::uint32_t>(d.hour) << 11) |
           (static_cast<std::uint32_t>(d.minute) << 5) | static_cast<std::uint32_t>(d.second / 2);
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of(plat::kPathSeparators);
}

// Deletes earlier partial transfers to target: files named target + "." +
// digits only, never other files that share the name's start.
void DeleteLeftovers(const std::string& target) {
    std::size_t sep = LastSeparator(target);
    std::string folder = sep == std::string::npos ? std::string() : target.substr(0, sep);
    std::string prefix = (sep == std::string::npos ? target : target.substr(sep + 1)) + ".";
    for (const std::string& name : plat::folder_entries(folder)) {
        if (name.size() <= prefix.size() || !StartsWith(prefix, name, plat::kFileNamesIgnoreCase))
            continue;
        bool digits = true;
        for (std::size_t i = prefix.size(); i < name.size() && digits; ++i)
            digits = std::isdigit(static_cast<unsigned char>(name[i])) != 0;
        if (digits)
            plat::delete_file(sep == std::string::npos ? name : folder + target[sep] + name);
    }
}

std::string WithDetail(const std::string& text, const std::string& detail) {
    return detail.empty() ? text : text + " (" + detail + ")";
}

void Trace(const std::string& place, const std::string& text) {
    DebugLine(std::to_string(plat::process_id()) + " " + place + text);
}

} // namespace

void SetDownloadAbort(bool on) {
    g_bAbort = on;
}

bool DownloadAbortRequested() {
    return g_bAbort;
}

std::string DownloadUrl(const std::string& url) {
    // A scheme is letters, digits, "+", "-" or "." after a letter, then "://".
    std::size_t i = 0;
    if (!url.empty() && std::isalpha(static_cast<unsigned char>(url[0]))) {
        while (i < url.size() && (std::isalnum(static_cast<unsigned char>(url[i])) ||
                                  url[i] == '+' || url[i] == '-' || url[i] == '.'))
            ++i;
        if (url.compare(i, 3, "://") == 0)
            return url;
    }
    return "http://" + url;
}

bool HTTP_DownloadFile_Incremental(plat::WindowHandle /*window*/, const std::string& url,
                                   const std::string& target, std::string& errorText,
                                   TProgBar* reporter, std::string& content) {
    std::string fileName = ReplaceAll(url, "/", "\\");
    fileName = fileName.substr(fileName.find_last_of('\\') + 1);
    errorText.clear();
    content.clear();
    const std::string address = DownloadUrl(url);
    bool complete = false;

    Probe(address);
    Session session(kAgentDownload);
    if (!session.handle) {
        errorText = "Unable to initialize \"WinINet.dll\"";
    } else {
        plat::http_set_timeouts(session.handle, kTimeoutMs);
        Request request(session, address, true);
        std::uint64_t size = 0;
        const int status = request.handle ? plat::http_status(request.handle) : 0;
        if (!request.handle) {
            errorText = "Unable to open Internet Connection: " + address;
        } else if (status < 200 || status > 299) {
            // Only a 2xx answer is a file; the start of the body stays for
            // the error-page test.
            std::vector<char> buffer(kErrorBodyBytes);
            std::size_t got = 0;
            while (content.size() < kErrorBodyBytes &&
                   plat::http_read(request.handle, buffer.data(), kErrorBodyBytes - content.size(),
                                   got) &&
                   got > 0)
                content.append(buffer.data(), got);
            errorText = status == 404 || status == 410
                            ? address + " --- File Not Found !"
                            : address + " --- Server answered " + std::to_string(status);
        } else if (!plat::http_content_length(request.handle, size)) {
            // Without a length a cut connection cannot be told from the end.
            errorText = fileName + " --- Error downloading file (the server sent no file size)";
        } else if (size == 0) {
            errorText = address + " --- File Not Found !";
        } else {
            plat::HttpDate modified;
            const std::uint32_t stamp =
                plat::http_last_modified(request.handle, modified) ? DosStamp(modified) : 0;
            std::string temporary;
            plat::FileHandle file = plat::kNoFile;
            if (!target.empty()) {
                temporary = target + "." + std::to_string(static_cast<std::uint32_t>(size + stamp));
                DeleteLeftovers(target);
                // Created here and kept open, so nobody can slip a file or a
                // link in under the name during the transfer.
                file = plat::create_new_file(temporary);
                if (file == plat::kNoFile)
                    errorText =
                        WithDetail("Unable to create " + temporary, plat::last_error_text());
            }
            if (errorText.empty()) {
                const std::uint64_t chunk =
                    size / 10 < 1 ? 1 : (size / 10 > kMaxChunk ? kMaxChunk : size / 10);
                std::uint64_t received = 0;
                if (reporter)
                    reporter->Position(
                        static_cast<std::int64_t>((received + chunk / 2) / chunk + 1),
                        static_cast<std::int64_t>((size + chunk - 1) / chunk + 1));
                TBytesRate rate = TBytesRate::ForSize(size);
                if (reporter)
                    reporter->FileName(fileName);
                std::vector<char> buffer(static_cast<std::size_t>(chunk));
                std::size_t got = 0;
                do {
                    if (!plat::http_read(request.handle, buffer.data(), buffer.size(), got)) {
                        errorText = WithDetail(fileName + " --- Error downloading file",
                                               plat::http_error_detail(request.handle));
                        break;
                    }
                    received += got;
                    if (got > 0) {
                        if (file != plat::kNoFile) {
                            if (!plat::write_file(file, buffer.data(), got)) {
                                errorText = WithDetail("Unable to write " + temporary,
                                                       plat::last_error_text());
                                break;
                            }
                        } else if (target.empty()) {
                            content.append(buffer.data(), got);
                        }
                    }
                    std::string text = rate.ProgressText(size, received, got);
                    if (got > 0 && reporter)
                        reporter->Text(text);
                    else
                        plat::pump_messages();
                } while (got > 0 && !g_bAbort && !(reporter && reporter->m_bCancel));

                if (file != plat::kNoFile && !plat::close_file(file) && errorText.empty())
                    errorText = WithDetail("Unable to write " + temporary, plat::last_error_text());
                if (g_bAbort)
                    errorText = "Download Aborted";
                else if (errorText.empty() && reporter && reporter->m_bCancel)
                    errorText = "Download Cancelled";
                else if (errorText.empty() && received != size)
                    errorText = fileName + " --- Error downloading file (" +
                                std::to_string(received) + " of " + std::to_string(size) +
                                " bytes arrived)";
                if (errorText.empty() && !target.empty()) {
                    if (plat::file_size(temporary) != static_cast<std::int64_t>(size))
                        errorText = fileName + " --- Error downloading file (" + temporary +
                                    " does not hold the whole file)";
                    else if (!plat::replace_file(temporary, target))
                        errorText = WithDetail("Unable to rename " + temporary + " to " + target,
                                               plat::last_error_text());
                }
                complete = errorText.empty();
                if (!complete && target.empty())
                    content.clear();
            }
        }
    }
    if (!errorText.empty())
        Trace("HTTP_DownloadFile_Incremental: ", errorText);
    return complete;
}

std::int64_t HTTP_GetFileSize(const std::string& url) {
    const std::string address = DownloadUrl(url);
    Probe(address);
    std::int64_t size = -1;
    {
        Session session(kAgentProbe);
        Request request(session, address, false);
        std::uint64_t length = 0;
        const int status = request.handle ? plat::http_status(request.handle) : 0;
        if (status >= 200 && status <= 299 && plat::http_content_length(request.handle, length) &&
            length <= static_cast<std::uint64_t>(INT64_MAX))
            size = static_cast<std::int64_t>(length);
    }
    DebugLine("HTTP_GetFileSize=" + std::to_string(size) + "  " + url);
    return size;
}

bool InternetConnected(std::string& errorText) {
    return plat::internet_connected(errorText);
}

bool HtmlErrorPage(const std::string& file, const std::string& content) {
    std::string text;
    std::ifstream in(file, std::ios::binary);
    if (!file.empty() && in) {
        text.resize(1000);
        in.read(&text[0], 1000);
        text.resize(static_cast<std::size_t>(in.gcount()));
    } else {
        text = content.substr(0, 1000);
    }
    auto at = [&](const char* tag) { return PosCi(tag, text); }; // 0 when absent
    auto ordered = [](std::initializer_list<std::size_t> positions) {
        std::size_t last = 0;
        for (std::size_t p : positions) {
            if (p == 0 || p <= last)
                return false;
            last = p;
        }
        return true;
    };
    const std::size_t titleEnd = at("</TITLE>");
    return ordered({at("<TITLE"), at("404"), titleEnd}) ||
           ordered({at("<HTML>"), at("<HEAD>"), at("<TITLE>"), titleEnd});
}

std::string Http404Text(const std::string& file, const std::string& content, const std::string& url,
                        const std::string& def) {
    if (!HtmlErrorPage(file, content))
        return def;
    return "<B>404 File Not Found...</B><P><P>URL:  " + url + "." +
           "<P><P>Please make sure the file is available and access is allowed to this file.";
}
