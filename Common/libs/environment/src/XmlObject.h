// Base of every object of the tool that is stored in an XML file.
//
// A class lists once, in a static table (its "structure"), which of its values
// are XML attributes and which members are child objects; the generic ToXml
// and FromXml walk that table. See XmlObjectDefs.h for how a class declares it.
#ifndef ENV_XML_OBJECT_H
#define ENV_XML_OBJECT_H

#include "EnvString.h"
#include "XmlObjAttr.h"
#include "XmlObjectDefs.h"
#include "XmlTree.h"

#include <map>

namespace Env {

class XmlObject;

class XmlAttrInvokerBase {
public:
    virtual ~XmlAttrInvokerBase() = default;
    virtual void InvokeSetter(XmlObject* object, const String& value) = 0;
    virtual String InvokeGetter(const XmlObject* object) const = 0;
};

// Reaches an attribute of a T through its text accessors. The structure of T
// is only ever asked about objects of T, so the downcasts are exact.
template <typename T> class XmlAttrInvoker : public XmlAttrInvokerBase {
public:
    typedef String (T::*Getter)() const;
    typedef void (T::*Setter)(const String&);

    XmlAttrInvoker(Getter getter, Setter setter) : m_getter(getter), m_setter(setter) {}

    void InvokeSetter(XmlObject* object, const String& value) override {
        if (m_setter && object)
            (static_cast<T*>(object)->*m_setter)(value);
    }
    String InvokeGetter(const XmlObject* object) const override {
        if (!m_getter || !object)
            return String();
        return (static_cast<const T*>(object)->*m_getter)();
    }

    Getter m_getter;
    Setter m_setter;
};

class XmlChildInvokerBase {
public:
    enum ChildType { CHILD_STATIC = 0, CHILD_DYNAMIC = 1 };

    virtual ~XmlChildInvokerBase() = default;
    virtual ChildType Type() const = 0;
    virtual void InvokeSetter(XmlObject* owner, XmlObject* child) = 0;
    virtual XmlObject* InvokeGetter(XmlObject* owner) = 0;
    virtual const XmlObject* InvokeGetter(const XmlObject* owner) const = 0;
};

// A child that is a member of its owner: it is only ever reached, never set.
template <typename T> class XmlChildInvokerStatic : public XmlChildInvokerBase {
public:
    typedef XmlObject* (T::*Getter)();
    typedef const XmlObject* (T::*ConstGetter)() const;

    XmlChildInvokerStatic(ConstGetter constgetter, Getter getter)
        : m_getter(getter), m_constgetter(constgetter) {}

    ChildType Type() const override { return CHILD_STATIC; }
    void InvokeSetter(XmlObject*, XmlObject*) override {}
    XmlObject* InvokeGetter(XmlObject* owner) override {
        if (!m_getter || !owner)
            return nullptr;
        return (static_cast<T*>(owner)->*m_getter)();
    }
    const XmlObject* InvokeGetter(const XmlObject* owner) const override {
        if (!m_constgetter || !owner)
            return nullptr;
        return (static_cast<const T*>(owner)->*m_constgetter)();
    }

    Getter m_getter;
    ConstGetter m_constgetter;
};

class XmlObject {
public:
    // The table of one class. Keys are lower case; the maps' byte order is the
    // order in which attributes and children are written. It owns its invokers.
    class XmlObjectStructure {
    public:
        typedef std::map<String, XmlAttrInvokerBase*> AttrInvokers;
        typedef std::map<String, XmlChildInvokerBase*> ChildInvokers;

        XmlObjectStructure();
        XmlObjectStructure(const XmlObjectStructure&) = delete;
        XmlObjectStructure& operator=(const XmlObjectStructure&) = delete;
        virtual ~XmlObjectStructure();

        // Both replace an entry of the same name, ignoring case.
        void AddChild(const String& name, XmlAttrInvokerBase* invoker);
        void AddChild(const String& name, XmlChildInvokerBase* invoker);

        const AttrInvokers& GetAttributes() const { return m_attributes; }
        const ChildInvokers& getChildren() const { return m_children; }

        // Null when there is no entry of that name, ignoring case.
        XmlAttrInvokerBase* AttributeByName(const String& name) const;
        XmlChildInvokerBase* ChildByName(const String& name) const;

    protected:
        // Registers with the object builder, unless it is already gone.
        static void RegisterCreator(const String& name, XmlObject* (*creator)());

        AttrInvokers m_attributes;
        ChildInvokers m_children;
    };
    typedef XmlObjectStructure XmlStructure;

    XmlObject() = default;
    XmlObject(const XmlObject&) = default;
    XmlObject& operator=(const XmlObject&) = default;

    virtual const XmlObjectStructure* GetXmlStructure() const;
    virtual const char* ClassName() const;
    virtual ~XmlObject();
    // Element name: ClassName() in lower case.
    virtual String XmlTag() const;
    virtual bool ToXml(XmlNode* node) const;
    virtual bool FromXml(const XmlNode* node);

    // Writes this object as the root element of the file, replacing the file.
    bool Save(const String& fileName) const;
    // Whether Save could replace the file now: a new file can be made beside it. Lets a caller
    // find out before doing work whose only record is that file.
    static bool CanSave(const String& fileName);
    // Fills this object from the root element of the file, whatever its name.
    bool Load(const String& fileName);

    static XmlObject* Create();

    ENV_XML_ATTR(String, Name, "")
    // The value is the text of the object's element, not an attribute.
    ENV_XML_ATTR(String, Value, "")

    static XmlObjectStructure m_gXmlStructure;
};

} // namespace Env

#endif
