#include "platform/locale.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <unistd.h>

namespace plat {

namespace {

// The first separator character of a date or time format such as "%d.%m.%Y".
std::string format_separator(const char* format, const char* fallback) {
    if (!format)
        return fallback;
    for (const char* p = format; *p; ++p) {
        if (*p == '%') {
            if (p[1])
                ++p;
            continue;
        }
        if (*p != ' ')
            return std::string(1, *p);
    }
    return fallback;
}

// Runs query in the user's locale for category without touching the
// process-wide locale.
template <typename F> std::string with_user_locale(int mask, F query, const char* fallback) {
    locale_t loc = newlocale(mask, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return fallback;
    std::string r = query(loc);
    freelocale(loc);
    return r.empty() ? std::string(fallback) : r;
}

} // namespace

std::uint32_t thread_locale_id() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) {
            std::uint32_t id = locale_id_from_name(v);
            return id ? id : 0x0409;
        }
    }
    return 0x0409;
}

std::string date_separator() {
    return with_user_locale(
        LC_TIME_MASK, [](locale_t l) { return format_separator(nl_langinfo_l(D_FMT, l), "/"); },
        "/");
}

std::string time_separator() {
    return with_user_locale(
        LC_TIME_MASK, [](locale_t l) { return format_separator(nl_langinfo_l(T_FMT, l), ":"); },
        ":");
}

std::string decimal_separator() {
    return with_user_locale(
        LC_NUMERIC_MASK,
        [](locale_t l) {
            const char* s = nl_langinfo_l(RADIXCHAR, l);
            return std::string(s ? s : "");
        },
        ".");
}

bool is_lead_byte(unsigned char) {
    return false;
}

std::string user_name() {
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_name)
        return found->pw_name;
    const char* u = std::getenv("USER");
    return u ? u : "";
}

std::string computer_name() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0)
        return std::string();
    return buf;
}

std::string user_domain() {
    char buf[256] = {};
    if (getdomainname(buf, sizeof buf - 1) != 0)
        return std::string();
    const std::string d = buf;
    return d == "(none)" ? std::string() : d;
}

} // namespace plat
