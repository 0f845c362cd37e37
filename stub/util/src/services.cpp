#include "util/services.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/clock.h"
#include "platform/locale.h"
#include "platform/messages.h"
#include "platform/settings.h"
#include "platform/system.h"
#include "util/debug.h"
#include "util/numbers.h"
#include "util/paths.h"
#include "util/sub.h"
#include "util/text.h"

namespace {

const char kMonths[] = "||JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC|";

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

const long long kEpochOffset = DaysFromCivil(1899, 12, 30);

struct Parts {
    int year, month, day, hour, minute, second;
};

Parts Decode(double date) {
    if (date == -1)
        date = NowDate();
    const long long ms = std::llround(date * 86400000.0);
    long long days = ms / 86400000;
    long long rest = ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    Parts p{};
    CivilFromDays(days + kEpochOffset, p.year, p.month, p.day);
    const long long secs = rest / 1000;
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    return p;
}

std::string Time(const Parts& p, const std::string& timeSep) {
    return ZeroPad(p.hour, 2) + timeSep + ZeroPad(p.minute, 2) + timeSep + ZeroPad(p.second, 2);
}

std::uint32_t g_autoPlayMessage = 0;

} // namespace

void YieldX(std::uint32_t ms) {
    try {
        plat::pump_messages();
    } catch (const std::exception& e) {
        TraceException("YieldX", "", e.what());
    } catch (...) {
        TraceException("YieldX", "", "unknown exception");
    }
    plat::sleep_ms(ms);
}

std::uint32_t YieldSlice(std::uint32_t slice, std::uint32_t totalMs) {
    if (slice != 0)
        return slice;
    std::uint32_t s = totalMs / 10;
    return s < 1 ? 1 : (s > 25 ? 25 : s);
}

void YieldWait(std::uint32_t slice, std::uint32_t totalMs) {
    const std::uint32_t s = YieldSlice(slice, totalMs);
    const std::uint64_t start = MilliClock();
    do {
        YieldX(s);
    } while (MilliClock() - start < totalMs);
}

std::uint64_t MilliClock() {
    return plat::monotonic_ms();
}

double EncodeDate(int year, int month, int day, int hour, int minute, int second) {
    const long long days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        kEpochOffset;
    return static_cast<double>(days) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

double NowDate() {
    const plat::LocalTime t = plat::local_now();
    return EncodeDate(t.year, t.month, t.day, t.hour, t.minute, t.second) +
           t.millisecond / 86400000.0;
}

std::string DayStamp(double date) {
    const Parts p = Decode(date);
    return ZeroPad(p.day, 2) + "-" + SUB::Field(kMonths, p.month) + "-" + ZeroPad(p.year, 4);
}

std::string DayTimeStamp(const std::string& separator, double date) {
    const Parts p = Decode(date);
    return DayStamp(EncodeDate(p.year, p.month, p.day)) + separator +
           Time(p, plat::time_separator());
}

std::string RunLogStampSep(double date, const std::string& dateSep, const std::string& timeSep) {
    const Parts p = Decode(date);
    return ZeroPad(p.day, 2) + dateSep + ZeroPad(p.month, 2) + dateSep + ZeroPad(p.year % 100, 2) +
           " " + Time(p, timeSep);
}

std::string RunLogStamp(double date) {
    return RunLogStampSep(date, plat::date_separator(), plat::time_separator());
}

std::string NormalizeVersion(const std::string& version, int digits, int count) {
    const std::string v = KeepChars(ReplaceAll(version, ",", "."), "0123456789.");
    // No version at all stays empty rather than becoming "0".
    if (v.find_first_not_of('.') == std::string::npos)
        return std::string();
    const std::vector<std::string> fields = SUB::Fields("." + v + ".");
    std::string out;
    for (int i = 0; i < count && static_cast<std::size_t>(i) < fields.size(); ++i)
        out += "." + ZeroPad(ParseInt64(fields[static_cast<std::size_t>(i)], 0), digits);
    std::size_t b = out.find_first_not_of('.');
    if (b == std::string::npos)
        return std::string();
    std::size_t e = out.find_last_not_of('.');
    return out.substr(b, e - b + 1);
}

std::string GetExeVersion(const std::string& file, int digits, int count) {
    try {
        const std::string path = file.empty() ? ProgramPath() : file;
        unsigned parts[4] = {0, 0, 0, 0};
        if (!plat::file_version(path, parts))
            return std::string();
        std::string v = std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
                        std::to_string(parts[2]) + "." + std::to_string(parts[3]);
        return (digits > 1 || count < 4) ? NormalizeVersion(v, digits, count) : v;
    } catch (const std::exception& e) {
        TraceException("Utils.GetExeVersion()", file, e.what());
        return std::string();
    }
}

std::string GetProductVersion(const std::string& file, int digits, int count) {
    try {
        const std::string path = file.empty() ? ProgramPath() : file;
        std::string v;
        plat::version_string(path, "ProductVersion", v);
        v = ReplaceAll(v, ",", ".");
        DebugLine("[QueryValue]  [" + path + "]  [ProductVersion]  [" + v + "]");
        return (digits > 1 || count < 4) ? NormalizeVersion(v, digits, count) : v;
    } catch (const std::exception& e) {
        TraceException("Utils.GetProductVersion()", file, e.what());
        return std::string();
    }
}

std::string ReadIniString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& def) {
    if (section.empty() || key.empty() || file.empty())
        return def;
    try {
        return plat::profile_read(file, section, key, def, 102401);
    } catch (...) {
        DebugLine("EXCEPTION --- Utils.ReadIniString()  " + SystemErrorText());
        return def;
    }
}

std::int64_t ReadIniInt64(const std::string& file, const std::string& section,
                          const std::string& key, std::int64_t def) {
    return ParseInt64(ReadIniString(file, section, key, std::to_string(def)), def);
}

bool WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
    if (file.empty() || section.empty() || key.empty())
        return false;
    return plat::profile_write(file, section, key, value);
}

bool WriteIniInt64(const std::string& file, const std::string& section, const std::string& key,
                   std::int64_t value) {
    return WriteIniString(file, section, key, std::to_string(value));
}

std::string ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                              const std::string& def, bool view64) {
    static const struct {
        const char* longName;
        const char* shortName;
        plat::RegRoot root;
    } kRoots[] = {
        {"HKEY_CLASSES_ROOT", "HKCR", plat::REG_ROOT_CLASSES_ROOT},
        {"HKEY_CURRENT_USER", "HKCU", plat::REG_ROOT_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", "HKLM", plat::REG_ROOT_LOCAL_MACHINE},
        {"HKEY_USERS", "HKU", plat::REG_ROOT_USERS},
        {"HKEY_CURRENT_CONFIG", "HKCC", plat::REG_ROOT_CURRENT_CONFIG},
        {"HKEY_DYN_DATA", "HKDD", plat::REG_ROOT_DYN_DATA},
    };
    const std::string path = Trim(keyPath);
    plat::RegRoot root = plat::REG_ROOT_CURRENT_USER;
    std::string subkey = path;
    if (StartsWith("HK", path, true)) {
        const std::string rootName = BeforeFirst(path, "\\", path);
        subkey = AfterFirst(path, "\\", "");
        for (const auto& r : kRoots)
            if (SameText(rootName, r.longName) || SameText(rootName, r.shortName))
                root = r.root;
    }
    plat::RegValue value;
    if (!plat::registry_read(root, subkey, valueName, view64, 10241, value))
        return def;
    const std::string& data = value.data;
    if (value.type == plat::REG_TYPE_DWORD && data.size() == 4) {
        std::uint32_t u = 0;
        for (int i = 3; i >= 0; --i)
            u = (u << 8) | static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
        return std::to_string(static_cast<std::int32_t>(u));
    }
    if (value.type == plat::REG_TYPE_MULTI_SZ && data.size() > 2) {
        std::string t = data;
        while (!t.empty() && t.back() == '\0')
            t.pop_back();
        return ReplaceAll(t, std::string(1, '\0'), "<0>");
    }
    return data.substr(0, data.find('\0'));
}

std::string SystemErrorText() {
    const std::string text = plat::last_error_text();
    return text.empty() ? std::string("Error Reading FormatMessage") : text;
}

bool DeveloperFlag() {
    static const bool flag = [] {
        const char* v = std::getenv("DVX");
        return v && std::strcmp(v, "731") == 0;
    }();
    return flag;
}

void SetAutoPlayCancel(bool on) {
    g_autoPlayMessage = on ? plat::register_window_message("QueryCancelAutoPlay") : 0;
}

std::uint32_t AutoPlayCancelMessage() {
    return g_autoPlayMessage;
}

bool ShellOpen(const std::string& file, const std::string& params, int show) {
    return plat::shell_open(file, params, static_cast<plat::ShowMode>(show));
}

void* LookupFunction(const std::string& library, const std::string& name) {
    return plat::lookup_function(library, name);
}
