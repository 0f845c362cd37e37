// Typed holders of persisted values, with the text form used in XML files.
#ifndef ENV_XML_OBJ_ATTR_H
#define ENV_XML_OBJ_ATTR_H

#include "EnvString.h"

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
    // Leading decimal digits; 0 when there are none.
    void SetStr(const String& text) { m_val = std::atoi(text.c_str()); }
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
