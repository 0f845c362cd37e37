#include "util/numbers.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/locale.h"
#include "util/text.h"

namespace {

std::string Fixed(double x, int decimals) {
    std::vector<char> buf(400);
    int n = std::snprintf(buf.data(), buf.size(), "%.*f", decimals, x);
    if (n < 0)
        return std::string();
    if (static_cast<std::size_t>(n) >= buf.size()) {
        buf.resize(static_cast<std::size_t>(n) + 1);
        std::snprintf(buf.data(), buf.size(), "%.*f", decimals, x);
    }
    return std::string(buf.data());
}

} // namespace

std::string FormatBytes(double value, double divisor, int decimals, bool separators) {
    // A zero or negative divisor would print "inf" or nonsense; treat it as 1.
    if (!(divisor > 0))
        divisor = 1;
    std::string text;
    if (decimals < 1) {
        text = Fixed(std::ceil(value / divisor), 0);
    } else {
        int places = (decimals >= 2 && decimals <= 4) ? decimals : 1;
        text = Fixed(value / divisor, places);
    }
    if (separators) {
        std::size_t dot = text.find('.');
        long long p = dot == std::string::npos ? static_cast<long long>(text.size())
                                               : static_cast<long long>(dot);
        for (long long q = p - 2; q > 1; q -= 3) {
            // A sign is not a digit group.
            if (text[static_cast<std::size_t>(q - 2)] == '-')
                break;
            text.insert(static_cast<std::size_t>(q - 1), 1, ',');
        }
    }
    return text;
}

std::string FormatKB(double value, int decimals, bool separators) {
    return FormatBytes(value, 1024.0, decimals, separators);
}

std::string FormatMB(double value, int decimals, bool separators) {
    return FormatBytes(value, 1048576.0, decimals, separators);
}

std::string FloatTextSep(double x, int decimals, bool stripZeros, const std::string& separator) {
    if (decimals < 0)
        decimals = 0;
    if (decimals > 18)
        decimals = 18;
    std::string text = Fixed(x, decimals);
    if (stripZeros && text.find('.') != std::string::npos) {
        std::size_t b = text.find_first_not_of('0');
        text = b == std::string::npos ? std::string() : text.substr(b);
        std::size_t e = text.find_last_not_of('0');
        text = e == std::string::npos ? std::string() : text.substr(0, e + 1);
        if (!text.empty() && text.front() != '.') {
            std::size_t b2 = text.find_first_not_of('.');
            std::size_t e2 = text.find_last_not_of('.');
            text = b2 == std::string::npos ? std::string() : text.substr(b2, e2 - b2 + 1);
        }
        if (text == "." || text.empty())
            text = "0";
    }
    return ReplaceAll(text, ".", separator);
}

std::string FloatText(double x, int decimals, bool stripZeros) {
    return FloatTextSep(x, decimals, stripZeros, plat::decimal_separator());
}

double ParseFloat(const std::string& text, double def) {
    std::string t = Trim(text);
    if (t.find('.') == std::string::npos)
        t = ReplaceAll(t, ",", ".");
    t = ReplaceAll(t, ",", "");
    if (t.empty() || t.find_first_not_of("0123456789.eE+-") != std::string::npos)
        return def;
    const char* first = t.data();
    if (*first == '+')
        ++first;
    double value = 0;
    auto res = std::from_chars(first, t.data() + t.size(), value);
    if (res.ec != std::errc() || res.ptr != t.data() + t.size())
        return def;
    return value;
}

std::int64_t ParseBase(const std::string& text, int base, std::int64_t def) {
    static const std::string kDigits = "0123456789ABCDEF";
    const std::string t = UpperCase(Trim(text));
    if (t.empty() || base < 2 || base > 16)
        return def;
    std::uint64_t value = 0;
    std::uint64_t weight = 1;
    for (std::size_t n = t.size(); n-- > 0;) {
        std::size_t digit = kDigits.find(t[n]);
        if (digit == std::string::npos || digit >= static_cast<std::size_t>(base))
            return def;
        value += digit * weight;
        weight *= static_cast<std::uint64_t>(base);
    }
    return static_cast<std::int64_t>(value);
}

std::int64_t ParseHex(const std::string& text, std::int64_t def) {
    std::string t = Trim(text);
    if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t.erase(0, 2);
    return ParseBase(t, 16, def);
}

std::int64_t ParseInt64(const std::string& text, std::int64_t def) {
    const std::string t = Trim(text);
    if (t.empty())
        return def;
    const char* first = t.data();
    if (*first == '+')
        ++first;
    std::int64_t value = 0;
    auto res = std::from_chars(first, t.data() + t.size(), value);
    if (res.ec != std::errc() || res.ptr != t.data() + t.size())
        return def;
    return value;
}

std::int64_t RandomRange(std::int64_t low, std::int64_t high) {
    if (low > high)
        std::swap(low, high);
    std::random_device device;
    std::seed_seq seed{
        device(), device(),
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::mt19937_64 generator(seed);
    return std::uniform_int_distribution<std::int64_t>(low, high)(generator);
}
