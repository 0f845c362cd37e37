// The string type of the ESXi tool: the standard narrow string plus the few
// conversions and comparisons the tool needs.
#ifndef ENV_STRING_H
#define ENV_STRING_H

#include <string>

namespace Env {

class String : public std::string {
public:
    String() = default;
    String(const String&) = default;
    String(String&&) = default;
    // A null pointer gives an empty string rather than undefined behaviour.
    String(const char* text);
    String(const std::string& text) : std::string(text) {}

    String& operator=(const String&) = default;
    String& operator=(String&&) = default;

    // Byte by byte with the C library's toupper/tolower.
    void ToUpper();
    void ToLower();

    bool Contains(const String& str) const;
    bool Equal(const String& str, bool bCaseSensitive) const;

    static String ToString(int i);
    static String ToString(bool b);
};

} // namespace Env

#endif
