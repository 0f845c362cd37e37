// Typed holders of persisted values, with the text form used in XML files.
#ifndef ENV_XML_OBJ_ATTR_H
#define ENV_XML_OBJ_ATTR_H

#include "EnvString.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace Env {

template <typename T> class XmlObjAttr {
public:
    XmlObjAttr() : m_val() {}
    explicit XmlObjAttr(const T& value) : m_val(value) {}

    T Get() const { return m_val; }
    void Set(const T& value) { m_val = value; }

protected:
    T m_val;
};

// Only String, int and bool have a text form.
template <typename T> class XmlObjStrAttr;

template <> class XmlObjStrAttr<String> : public XmlObjAttr<String> {
public:
    using XmlObjAttr<String>::XmlObjAttr;
    String GetStr() const { return m_val; }
    void SetStr(const String& text) { m_val = text; }
};

template <> class XmlObjStrAttr<int> : public XmlObjAttr<int> {
public:
    using XmlObjAttr<int>::XmlObjAttr;
    String GetStr() const { return String::ToString(m_val); }
    // Leading decimal digits; 0 when there are none. A number that does not fit an int is
    // damaged and leaves the value as it was (the default for a freshly built object).
    void SetStr(const String& text) {
        errno = 0;
        long long value = std::strtoll(text.c_str(), nullptr, 10);
        if (errno == ERANGE || value < INT_MIN || value > INT_MAX)
            return;
        m_val = static_cast<int>(value);
    }
};

template <> class XmlObjStrAttr<bool> : public XmlObjAttr<bool> {
public:
    using XmlObjAttr<bool>::XmlObjAttr;
    String GetStr() const { return String::ToString(m_val); }
    // Only "true", in any letter case, is true.
    void SetStr(const String& text) { m_val = text.Equal("true", false); }
};

} // namespace Env

#endif
