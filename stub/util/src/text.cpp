#include "util/text.h"

#include "platform/files.h"
#include "platform/locale.h"

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// A backslash, and on POSIX also the native separator.
bool IsSeparator(char c) {
    return c == '\\' || c == plat::kPathSeparator;
}

// The last byte of path is the second byte of a two-byte character.
bool EndsInTrailByte(const std::string& path) {
    std::size_t i = 0;
    while (i < path.size()) {
        if (plat::is_lead_byte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            if (i + 1 == path.size() - 1)
                return true;
            i += 2;
        } else {
            ++i;
        }
    }
    return false;
}

} // namespace

std::string TrimLeft(const std::string& text) {
    std::size_t b = 0;
    while (b < text.size() && IsBlank(text[b]))
        ++b;
    return text.substr(b);
}

std::string TrimRight(const std::string& text) {
    std::size_t e = text.size();
    while (e > 0 && IsBlank(text[e - 1]))
        --e;
    return text.substr(0, e);
}

std::string Trim(const std::string& text) {
    return TrimLeft(TrimRight(text));
}

std::string UpperCase(const std::string& text) {
    std::string r = text;
    for (char& c : r)
        c = Upper(c);
    return r;
}

std::string LowerCase(const std::string& text) {
    std::string r = text;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

static std::string ReplaceImpl(const std::string& text, const std::string& find,
                               const std::string& replacement, bool ci) {
    if (find.empty())
        return text;
    const std::string hay = ci ? UpperCase(text) : text;
    const std::string needle = ci ? UpperCase(find) : find;
    std::string out;
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = hay.find(needle, pos);
        if (hit == std::string::npos)
            break;
        out.append(text, pos, hit - pos);
        out += replacement;
        pos = hit + needle.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

std::string ReplaceAll(const std::string& text, const std::string& find,
                       const std::string& replacement) {
    return ReplaceImpl(text, find, replacement, false);
}

std::string ReplaceAllCi(const std::string& text, const std::string& find,
                         const std::string& replacement) {
    return ReplaceImpl(text, find, replacement, true);
}

std::string BeforeFirst(const std::string& text, const std::string& separator,
                        const std::string& def, bool trim) {
    std::size_t p = separator.empty() ? std::string::npos : text.find(separator);
    if (p == std::string::npos)
        return def;
    std::string r = text.substr(0, p);
    return trim ? Trim(r) : r;
}

std::string AfterFirst(const std::string& text, const std::string& separator,
                       const std::string& def, bool trim) {
    std::size_t p = separator.empty() ? std::string::npos : text.find(separator);
    if (p == std::string::npos)
        return def;
    std::string r = text.substr(p + separator.size());
    return trim ? Trim(r) : r;
}

bool StartsWith(const std::string& prefix, const std::string& text, bool ci) {
    if (prefix.size() > text.size())
        return false;
    std::string head = text.substr(0, prefix.size());
    return ci ? SameText(head, prefix) : head == prefix;
}

bool EndsWith(const std::string& suffix, const std::string& text, bool ci) {
    if (suffix.size() > text.size())
        return false;
    std::string tail = text.substr(text.size() - suffix.size());
    return ci ? SameText(tail, suffix) : tail == suffix;
}

std::size_t PosCi(const std::string& sub, const std::string& text) {
    if (sub.empty())
        return 0;
    std::size_t p = UpperCase(text).find(UpperCase(sub));
    return p == std::string::npos ? 0 : p + 1;
}

bool SameTextTrimmed(const std::string& a, const std::string& b) {
    return SameText(Trim(a), Trim(b));
}

std::string Unquote(const std::string& text) {
    std::string r = Trim(text);
    if (!r.empty() && r.front() == '"')
        r.erase(0, 1);
    if (!r.empty() && r.back() == '"')
        r.pop_back();
    return r;
}

std::string Quote(const std::string& text) {
    return "\"" + Unquote(text) + "\"";
}

std::string Surround(const std::string& text, char c) {
    std::string r = text;
    if (!r.empty() && r.front() == c)
        r.erase(0, 1);
    if (!r.empty() && r.back() == c)
        r.pop_back();
    return c + r + c;
}

std::string KeepChars(const std::string& text, const std::string& set) {
    std::string r;
    for (char c : text)
        if (set.find(c) != std::string::npos)
            r += c;
    return r;
}

std::string PadLeft(const std::string& text, int width, char c) {
    std::string r = text;
    if (width < -2) {
        std::size_t w = static_cast<std::size_t>(-static_cast<long long>(width));
        if (r.size() > w)
            r = r.substr(0, w - 1) + ".";
        width = static_cast<int>(w);
    }
    if (width > 0 && r.size() < static_cast<std::size_t>(width))
        r.insert(0, static_cast<std::size_t>(width) - r.size(), c);
    return r;
}

std::string ZeroPad(long long number, int width) {
    if (number < 0) {
        unsigned long long magnitude = 0ULL - static_cast<unsigned long long>(number);
        return "-" + PadLeft(std::to_string(magnitude), width, '0');
    }
    return PadLeft(std::to_string(number), width, '0');
}

std::string BaseName(const std::string& path, bool all) {
    std::size_t slash = path.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = all ? name.find('.') : name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string WithBackslash(const std::string& path, bool add) {
    std::string r = path;
    if (r.size() > 2 && IsSeparator(r.back()) && !EndsInTrailByte(r))
        r.pop_back();
    if (add && !r.empty() && !(IsSeparator(r.back()) && !EndsInTrailByte(r)))
        r += plat::kPathSeparator;
    return r;
}

std::string BoolText(bool b) {
    return b ? "TRUE" : "FALSE";
}

std::string Unscramble(const std::string& text) {
    static const std::string kMarker = "Scrambled=01";
    if (text.compare(0, kMarker.size(), kMarker) != 0)
        return text;
    if (text.size() <= kMarker.size())
        return std::string();
    const int k = static_cast<unsigned char>(text[kMarker.size()]);
    std::string r = text.substr(kMarker.size() + 1);
    for (std::size_t n = 0; n < r.size(); ++n) {
        const long long i = static_cast<long long>(n) + 1;
        const long long mask = (i % 2 == 1) ? (i + k) : (i - k);
        r[n] = static_cast<char>(static_cast<unsigned char>(r[n]) ^ (mask & 0xFF));
    }
    return r;
}
