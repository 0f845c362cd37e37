#include "EnvString.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace Env {

namespace {

// strcasecmp is not portable C++; this is its C-locale behaviour.
bool equal_ignoring_case(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb)
            return false;
        if (ca == 0)
            return true;
    }
}

} // namespace

String::String(const char* text) : std::string(text ? text : "") {}

void String::ToUpper() {
    for (char& c : *this)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

void String::ToLower() {
    for (char& c : *this)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool String::Contains(const String& str) const {
    return std::strstr(c_str(), str.c_str()) != nullptr;
}

bool String::Equal(const String& str, bool bCaseSensitive) const {
    if (bCaseSensitive)
        return std::strcmp(c_str(), str.c_str()) == 0;
    return equal_ignoring_case(c_str(), str.c_str());
}

String String::ToString(int i) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%d", i);
    return String(buffer);
}

String String::ToString(bool b) {
    return String(b ? "true" : "false");
}

} // namespace Env
