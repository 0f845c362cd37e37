#include "platform/locale.h"

#include <windows.h>

namespace plat {

namespace {

std::string locale_info(LCTYPE type, const char* fallback) {
    char buf[16] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf) <= 1)
        return fallback;
    return buf;
}

std::string trimmed(const char* s, DWORD n) {
    std::string r(s, n);
    while (!r.empty() && (r.back() == '\0' || r.back() == ' '))
        r.pop_back();
    while (!r.empty() && r.front() == ' ')
        r.erase(0, 1);
    return r;
}

} // namespace

std::uint32_t thread_locale_id() {
    return GetThreadLocale();
}

std::string date_separator() {
    return locale_info(LOCALE_SDATE, "/");
}
std::string time_separator() {
    return locale_info(LOCALE_STIME, ":");
}
std::string decimal_separator() {
    return locale_info(LOCALE_SDECIMAL, ".");
}

bool is_lead_byte(unsigned char c) {
    return IsDBCSLeadByte(c) != FALSE;
}

std::string user_name() {
    char buf[256] = {};
    DWORD n = sizeof buf;
    if (!GetUserNameA(buf, &n))
        return std::string();
    return trimmed(buf, n);
}

std::string computer_name() {
    char buf[256] = {};
    DWORD n = sizeof buf;
    if (!GetComputerNameA(buf, &n))
        return std::string();
    return trimmed(buf, n);
}

std::string user_domain() {
    const std::string user = user_name();
    if (user.empty())
        return std::string();
    // Asked once for the sizes, then with buffers of those sizes.
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use;
    LookupAccountNameA(nullptr, user.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
    if (sidSize == 0 || domainSize == 0)
        return std::string();
    std::string sid(sidSize, '\0'), domain(domainSize, '\0');
    if (!LookupAccountNameA(nullptr, user.c_str(), &sid[0], &sidSize, &domain[0], &domainSize,
                            &use))
        return std::string();
    return trimmed(domain.c_str(),
                   static_cast<DWORD>(domain.find('\0') == std::string::npos ? domain.size()
                                                                             : domain.find('\0')));
}

} // namespace plat
