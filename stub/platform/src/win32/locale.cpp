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

} // namespace plat
