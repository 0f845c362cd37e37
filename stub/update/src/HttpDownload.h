// Downloads over HTTP: a file fetched chunk by chunk into a temporary file
// beside its target and renamed only when complete, the remote size query,
// the connection test and the recognition of HTML error pages.
#ifndef STUB_UPDATE_HTTPDOWNLOAD_H
#define STUB_UPDATE_HTTPDOWNLOAD_H

#include "platform/types.h"

#include <cstdint>
#include <string>

class TProgBar;

// The process-wide abort flag: set when the main window closes, cleared by
// the callers before a download starts.
void SetDownloadAbort(bool on);
bool DownloadAbortRequested();

// Fetches url into target (or, with an empty target, into content). True
// when the whole announced body arrived and the target holds it; otherwise
// errorText says why, the target is unchanged and content is empty, except
// that a non-2xx answer leaves the start of its body in content (for
// Http404Text). window is the main window or 0; reporter may be null.
bool HTTP_DownloadFile_Incremental(plat::WindowHandle window, const std::string& url,
                                   const std::string& target, std::string& errorText,
                                   TProgBar* reporter, std::string& content);

// Content-Length of url; -1 when it cannot be opened, the answer is not 2xx
// or the server sends no length.
std::int64_t HTTP_GetFileSize(const std::string& url);

bool InternetConnected(std::string& errorText);

// True when the first 1000 characters of file (when it exists, else of
// content) look like an HTML error page.
bool HtmlErrorPage(const std::string& file, const std::string& content);
// The marked-up 404 explanation when HtmlErrorPage is true, else def.
std::string Http404Text(const std::string& file, const std::string& content, const std::string& url,
                        const std::string& def);

// url with "http://" in front when it names no scheme.
std::string DownloadUrl(const std::string& url);

#endif
