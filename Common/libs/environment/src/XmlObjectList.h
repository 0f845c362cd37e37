// An XML object that owns an ordered list of XML objects of any class.
#ifndef ENV_XML_OBJECT_LIST_H
#define ENV_XML_OBJECT_LIST_H

#include "XmlObject.h"

#include <cstddef>
#include <list>

namespace Env {

// Written as one child element per object, each named by the object's tag;
// read back through the object builder, appending to what the list holds.
// The element of the list itself is named after the list's name.
class XmlObjectList : public XmlObject {
    ENV_XML_OBJECT(XmlObjectList, XmlObject)

public:
    typedef std::list<XmlObject*>::iterator iterator;
    typedef std::list<XmlObject*>::const_iterator const_iterator;

    XmlObjectList() = default;
    // The list owns its objects, so a copy would delete them twice.
    XmlObjectList(const XmlObjectList&) = delete;
    XmlObjectList& operator=(const XmlObjectList&) = delete;
    // Destroys every object it holds.
    ~XmlObjectList() override;

    // GetName() in lower case, or "xmlobjectlist" for an unnamed list.
    String XmlTag() const override;
    bool ToXml(XmlNode* node) const override;
    bool FromXml(const XmlNode* node) override;

    iterator begin() { return m_objects.begin(); }
    iterator end() { return m_objects.end(); }
    const_iterator begin() const { return m_objects.begin(); }
    const_iterator end() const { return m_objects.end(); }

    // The list takes ownership; null is ignored.
    void push_back(XmlObject* object);
    void push_front(XmlObject* object);

    bool empty() const { return m_objects.empty(); }
    std::size_t size() const { return m_objects.size(); }
    // Forgets the objects without destroying them; the caller owns them now.
    void clear() { m_objects.clear(); }

protected:
    std::list<XmlObject*> m_objects;
};

} // namespace Env

#endif
