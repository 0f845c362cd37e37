// A thin object layer over libxml2's tree: documents, elements and attributes.
//
// XmlDoc, XmlNode and XmlAttr are libxml2's own objects seen through a derived
// class: a wrapper pointer is the libxml2 pointer, with the same address. That
// is why the wrappers add no data and no virtual functions (a vtable pointer
// would shift the libxml2 fields), and why they can be neither constructed nor
// deleted here: libxml2 allocates them and XmlDoc::Free releases a whole tree.
#ifndef ENV_XML_TREE_H
#define ENV_XML_TREE_H

#include "EnvString.h"
#include "Iterator.h"

#include <libxml/tree.h>

namespace Env {

extern const char* const XML_VER;

class XmlNode;

class XmlAttr : public _xmlAttr {
public:
    XmlAttr() = delete;
    XmlAttr(const XmlAttr&) = delete;
    XmlAttr& operator=(const XmlAttr&) = delete;

    String Name() const;
    // The whole value text; "" when the value has no text.
    String Value() const;

    XmlAttr* Next();
    const XmlAttr* Next() const;
    XmlAttr* Prev();
    const XmlAttr* Prev() const;

protected:
    ~XmlAttr() = default;
};

class XmlNode : public _xmlNode {
public:
    typedef Iterator<XmlNode> NodeIterator;
    typedef Iterator<const XmlNode> ConstNodeIterator;
    typedef Iterator<XmlAttr> AttrIterator;
    typedef Iterator<const XmlAttr> ConstAttrIterator;

    XmlNode() = delete;
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    // A free-standing element; it belongs to no document until attached.
    static XmlNode* Create(const String& name);

    // Creates or replaces the attribute.
    XmlAttr* AddAttr(const String& name, const String& value);
    // Appends a child element holding `value` as text; markup in it is escaped.
    XmlNode* AddNode(const String& name, const String& value);

    String Name() const;
    // Text of the first direct text child; "" when there is none.
    String Value() const;
    // Replaces the content with `value` taken literally.
    void SetValue(const String& value);

    // Exact, case-sensitive match.
    XmlAttr* GetAttr(const String& name);
    // First attribute whose name matches ignoring case.
    const XmlAttr* GetAttr(const String& name) const;

    // Neighbouring element siblings; text, comments and the like are skipped.
    XmlNode* Next();
    const XmlNode* Next() const;
    XmlNode* Prev();
    const XmlNode* Prev() const;

    NodeIterator BeginChild();
    ConstNodeIterator BeginChild() const;
    NodeIterator EndChild() { return NodeIterator(); }
    ConstNodeIterator EndChild() const { return ConstNodeIterator(); }

    AttrIterator BeginAttr();
    ConstAttrIterator BeginAttr() const;
    AttrIterator EndAttr() { return AttrIterator(); }
    ConstAttrIterator EndAttr() const { return ConstAttrIterator(); }

protected:
    ~XmlNode() = default;
};

class XmlDoc : public _xmlDoc {
public:
    XmlDoc(const XmlDoc&) = delete;
    XmlDoc& operator=(const XmlDoc&) = delete;

    static XmlDoc* Create();
    // Null for a missing or malformed file; libxml2 reports why on stderr.
    static XmlDoc* Open(const String& name);

    // Replaces `name` only once the whole document has been written: a failed
    // save leaves an existing file as it was. The file is never created
    // writable by group or others, whatever the process's umask.
    bool Save(const String& name);
    // Releases the document and its whole tree.
    void Free();

    // Returns the previous root element or null.
    XmlNode* SetRootNode(XmlNode* node);
    XmlNode* GetRootNode();

protected:
    XmlDoc() = default;
    ~XmlDoc() = default;
};

// Frees the document it holds when it goes out of scope.
class XmlDocPtr {
public:
    explicit XmlDocPtr(XmlDoc* doc = nullptr) : m_pDoc(doc) {}
    XmlDocPtr(const XmlDocPtr&) = delete;
    XmlDocPtr& operator=(const XmlDocPtr&) = delete;
    ~XmlDocPtr() {
        if (m_pDoc)
            m_pDoc->Free();
    }

    XmlDoc* operator->() const { return m_pDoc; }
    bool operator==(const XmlDoc* doc) const { return m_pDoc == doc; }
    bool operator!=(const XmlDoc* doc) const { return m_pDoc != doc; }

    XmlDoc* m_pDoc;
};

} // namespace Env

#endif
