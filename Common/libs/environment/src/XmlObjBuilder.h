// Process-wide registry that creates XML objects from their element names.
#ifndef ENV_XML_OBJ_BUILDER_H
#define ENV_XML_OBJ_BUILDER_H

#include "EnvString.h"
#include "Singleton.h"

#include <map>

namespace Env {

class XmlObject;

// Filled by the structure constructors of the XML classes during static
// initialisation. GetInstance() is null once the builder has been destroyed
// at exit; every user checks for that.
class XmlObjBuilder : public Singleton<XmlObjBuilder> {
    friend class Singleton<XmlObjBuilder>;

public:
    typedef XmlObject* (*Creator)();

    // Names are matched ignoring case; a later registration replaces an earlier one.
    void RegisterCreator(const String& name, Creator creator);
    // Null, with a trace, for a name nobody registered.
    XmlObject* Create(const String& name) const;

protected:
    XmlObjBuilder() = default;
    ~XmlObjBuilder() override = default;

    std::map<String, Creator> m_creators;
};

} // namespace Env

#endif
