#include "XmlObjectList.h"

#include "XmlObjBuilder.h"
#include "zeb-tools-trace.h"

namespace Env {

ENV_XML_STRUCTURE_BEGIN(XmlObjectList)
ENV_XML_STRUCTURE_END

XmlObjectList::~XmlObjectList() {
    for (XmlObject* object : m_objects)
        delete object;
    m_objects.clear();
}

String XmlObjectList::XmlTag() const {
    try {
        String tag = GetName();
        if (tag.empty())
            tag = ClassName();
        tag.ToLower();
        return tag;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlObjectList", "XmlTag"),
                 "XmlObjectList::XmlTag error catched\n");
    }
    return String();
}

bool XmlObjectList::ToXml(XmlNode* node) const {
    try {
        if (!node)
            return false;
        for (const XmlObject* object : m_objects) {
            XmlNode* element = node->AddNode(object->XmlTag(), object->GetValue());
            if (!element || !object->ToXml(element))
                return false;
        }
        return true;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlObjectList", "ToXml"),
                 "XmlObjectList::ToXml error catched\n");
    }
    return false;
}

bool XmlObjectList::FromXml(const XmlNode* node) {
    try {
        if (!node)
            return false;
        for (XmlNode::ConstNodeIterator element = node->BeginChild(); element != node->EndChild();
             ++element) {
            XmlObjBuilder* builder = XmlObjBuilder::GetInstance();
            if (!builder)
                break;
            XmlObject* object = builder->Create(element->Name());
            // An element no class is registered for is skipped, as unknown
            // elements are everywhere else.
            if (!object)
                continue;
            if (!object->FromXml(element.ptr())) {
                delete object;
                return false;
            }
            m_objects.push_back(object);
        }
        return true;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlObjectList", "FromXml"),
                 "XmlObjectList::FromXml error catched\n");
    }
    return false;
}

void XmlObjectList::push_back(XmlObject* object) {
    if (object)
        m_objects.push_back(object);
}

void XmlObjectList::push_front(XmlObject* object) {
    if (object)
        m_objects.push_front(object);
}

} // namespace Env
