#include "XmlObjBuilder.h"

#include "XmlObject.h"
#include "zeb-tools-trace.h"

namespace Env {

void XmlObjBuilder::RegisterCreator(const String& name, Creator creator) {
    try {
        String key(name);
        key.ToLower();
        m_creators[key] = creator;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlObjBuilder", "RegisterCreator"),
                 "XmlObjBuilder::RegisterCreator error catched\n");
    }
}

XmlObject* XmlObjBuilder::Create(const String& name) const {
    try {
        String key(name);
        key.ToLower();
        auto found = m_creators.find(key);
        if (found == m_creators.end() || !found->second) {
            ZebTrace(TRACE_DEBUG, ZEB_TRACE_TAG("Env::XmlObjBuilder", "Create"),
                     "unknown xml object name, can't create object\n");
            return nullptr;
        }
        XmlObject* object = found->second();
        if (!object)
            ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlObjBuilder", "Create"),
                     "failed to create xml object\n");
        return object;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlObjBuilder", "Create"),
                 "XmlObjBuilder::Create error catched\n");
    }
    return nullptr;
}

} // namespace Env
