// Declaring a class whose objects are written to and read from XML files.
//
// In the header, one line for the class and one per attribute or child
// (XmlObject.h brings these declarations; XmlObjectList.h brings XmlObject.h):
//
//     #include "XmlObjectList.h"
//
//     namespace SshSrv {
//     class ESXiServer : public SshServer {   // SshServer is itself declared this way
//         ENV_XML_OBJECT(ESXiServer, SshServer)
//         ENV_XML_ATTR(Env::String, Host, "")
//         ENV_XML_ATTR(Env::String, Password, "")   // declared, but not registered below
//         ENV_XML_ATTR(bool, MaintenanceMode, false)
//         ENV_XML_ATTR(int, Timeout, 300)
//         ENV_XML_CHILD(Env::XmlObjectList, VMs)
//     public:
//         ESXiServer();
//         bool FromXml(const Env::XmlNode* node) override;   // optional
//     };
//     }
//
// In exactly one .cpp file, inside the class's namespace, the table of what is
// written (names are matched ignoring case and written in lower case, in
// ascending order; the base classes' entries come first and a later entry of
// the same name wins):
//
//     namespace SshSrv {
//     ENV_XML_STRUCTURE_BEGIN(ESXiServer)
//         ENV_XML_REGISTER_ATTR(Host)
//         ENV_XML_REGISTER_ATTR(MaintenanceMode)
//         ENV_XML_REGISTER_CHILD(VMs)
//     ENV_XML_STRUCTURE_END
//     }
//
// What the lines give the class (all public):
// - ENV_XML_OBJECT: the nested ESXiServerStructure and its static
//   m_gESXiServerStructure, GetXmlStructure(), ClassName() ("ESXiServer"),
//   static Create() (a new default object; needs a default constructor).
//   ENV_XML_STRUCTURE_BEGIN registers Create with the object builder under
//   "ESXiServer", so lists can create such objects when they read a file.
// - ENV_XML_ATTR(Type, Host, default), for Env::String, int or bool: the
//   holder type XmlObjAttrHost, member m_Host starting at the default,
//   GetHost()/SetHost(const Type&) and the text form GetHostStr()/
//   SetHostStr(const Env::String&) (int: decimal; bool: "true"/"false").
// - ENV_XML_CHILD(Type, VMs): the holder XmlObjChildVMs, member m_VMs whose
//   object is named "VMs", GetVMs() (a Type&, const and non-const) and
//   GetVMsObj() (as Env::XmlObject*). A child list is written as an element
//   named after the child ("vms") holding one element per object; the list
//   owns what it holds: GetVMs().push_back(new VirtualMachineServer(...)).
// Name and Value are inherited from Env::XmlObject; the name is registered as
// attribute "Name" for every class, the value is the element's text.
// Each line leaves the class in public access.
#ifndef ENV_XML_OBJECT_DEFS_H
#define ENV_XML_OBJECT_DEFS_H

#define ENV_XML_OBJECT(Class, Base)                                                                \
public:                                                                                            \
    class Class##Structure : public Base::XmlStructure {                                           \
    public:                                                                                        \
        typedef Class Owner;                                                                       \
        Class##Structure();                                                                        \
    };                                                                                             \
    typedef Class##Structure XmlStructure;                                                         \
    static Class##Structure m_g##Class##Structure;                                                 \
    const ::Env::XmlObject::XmlObjectStructure* GetXmlStructure() const override {                 \
        return &m_g##Class##Structure;                                                             \
    }                                                                                              \
    const char* ClassName() const override {                                                       \
        return #Class;                                                                             \
    }                                                                                              \
    static ::Env::XmlObject* Create() {                                                            \
        return new Class();                                                                        \
    }

#define ENV_XML_ATTR(Type, Name, Default)                                                          \
public:                                                                                            \
    struct XmlObjAttr##Name : ::Env::XmlObjStrAttr<Type> {                                         \
        XmlObjAttr##Name() : ::Env::XmlObjStrAttr<Type>(Default) {}                                \
    };                                                                                             \
    Type Get##Name() const {                                                                       \
        return m_##Name.Get();                                                                     \
    }                                                                                              \
    void Set##Name(const Type& value) {                                                            \
        m_##Name.Set(value);                                                                       \
    }                                                                                              \
    ::Env::String Get##Name##Str() const {                                                         \
        return m_##Name.GetStr();                                                                  \
    }                                                                                              \
    void Set##Name##Str(const ::Env::String& text) {                                               \
        m_##Name.SetStr(text);                                                                     \
    }                                                                                              \
    XmlObjAttr##Name m_##Name;

#define ENV_XML_CHILD(Type, Name)                                                                  \
public:                                                                                            \
    struct XmlObjChild##Name {                                                                     \
        XmlObjChild##Name() { m_val.SetName(#Name); }                                              \
        Type m_val;                                                                                \
    };                                                                                             \
    const ::Env::XmlObject* Get##Name##Obj() const {                                               \
        return &m_##Name.m_val;                                                                    \
    }                                                                                              \
    ::Env::XmlObject* Get##Name##Obj() {                                                           \
        return &m_##Name.m_val;                                                                    \
    }                                                                                              \
    Type& Get##Name() {                                                                            \
        return m_##Name.m_val;                                                                     \
    }                                                                                              \
    const Type& Get##Name() const {                                                                \
        return m_##Name.m_val;                                                                     \
    }                                                                                              \
    XmlObjChild##Name m_##Name;

#define ENV_XML_STRUCTURE_BEGIN(Class)                                                             \
    Class::Class##Structure Class::m_g##Class##Structure;                                          \
    Class::Class##Structure::Class##Structure() {                                                  \
        RegisterCreator(#Class, &Class::Create);

#define ENV_XML_REGISTER_ATTR(Name)                                                                \
    AddChild(#Name,                                                                                \
             new ::Env::XmlAttrInvoker<Owner>(&Owner::Get##Name##Str, &Owner::Set##Name##Str));

#define ENV_XML_REGISTER_CHILD(Name)                                                               \
    AddChild(#Name, new ::Env::XmlChildInvokerStatic<Owner>(&Owner::Get##Name##Obj,                \
                                                            &Owner::Get##Name##Obj));

#define ENV_XML_STRUCTURE_END }

#endif
