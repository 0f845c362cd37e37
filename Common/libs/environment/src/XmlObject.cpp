#include "XmlObject.h"

#include "XmlObjBuilder.h"
#include "file_platform.h"
#include "zeb-tools-trace.h"

namespace Env {

namespace {

String lower(const String& text) {
    String key(text);
    key.ToLower();
    return key;
}

template <typename Invoker>
void put(std::map<String, Invoker*>& map, const String& name, Invoker* invoker) {
    Invoker*& slot = map[lower(name)];
    if (slot != invoker)
        delete slot;
    slot = invoker;
}

template <typename Invoker>
Invoker* find(const std::map<String, Invoker*>& map, const String& name) {
    auto found = map.find(lower(name));
    return found == map.end() ? nullptr : found->second;
}

} // namespace

// ---- XmlObjectStructure

XmlObject::XmlObjectStructure::XmlObjectStructure() {
    RegisterCreator("XmlObject", &XmlObject::Create);
    AddChild("Name", new XmlAttrInvoker<XmlObject>(&XmlObject::GetNameStr, &XmlObject::SetNameStr));
}

XmlObject::XmlObjectStructure::~XmlObjectStructure() {
    for (auto& entry : m_attributes)
        delete entry.second;
    for (auto& entry : m_children)
        delete entry.second;
}

void XmlObject::XmlObjectStructure::AddChild(const String& name, XmlAttrInvokerBase* invoker) {
    put(m_attributes, name, invoker);
}

void XmlObject::XmlObjectStructure::AddChild(const String& name, XmlChildInvokerBase* invoker) {
    put(m_children, name, invoker);
}

XmlAttrInvokerBase* XmlObject::XmlObjectStructure::AttributeByName(const String& name) const {
    return find(m_attributes, name);
}

XmlChildInvokerBase* XmlObject::XmlObjectStructure::ChildByName(const String& name) const {
    return find(m_children, name);
}

void XmlObject::XmlObjectStructure::RegisterCreator(const String& name, XmlObject* (*creator)()) {
    if (XmlObjBuilder* builder = XmlObjBuilder::GetInstance())
        builder->RegisterCreator(name, creator);
}

XmlObject::XmlObjectStructure XmlObject::m_gXmlStructure;

// ---- XmlObject

const XmlObject::XmlObjectStructure* XmlObject::GetXmlStructure() const {
    return &m_gXmlStructure;
}

const char* XmlObject::ClassName() const {
    return "XmlObject";
}

XmlObject::~XmlObject() = default;

String XmlObject::XmlTag() const {
    return lower(ClassName());
}

XmlObject* XmlObject::Create() {
    return new XmlObject();
}

bool XmlObject::ToXml(XmlNode* node) const {
    try {
        const XmlObjectStructure* structure = GetXmlStructure();
        if (!structure || !node)
            return false;
        for (const auto& entry : structure->GetAttributes()) {
            if (!entry.second)
                continue;
            String text = entry.second->InvokeGetter(this);
            if (!text.empty() && !node->AddAttr(entry.first, text))
                return false;
        }
        for (const auto& entry : structure->getChildren()) {
            const XmlChildInvokerBase* invoker = entry.second;
            if (!invoker)
                continue;
            const XmlObject* child = invoker->InvokeGetter(this);
            if (!child)
                continue;
            XmlNode* element = node->AddNode(child->XmlTag(), child->GetValue());
            if (!element || !child->ToXml(element))
                return false;
        }
        return true;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlObject", "ToXml"),
                 "XmlObject::ToXml error catched\n");
    }
    return false;
}

bool XmlObject::FromXml(const XmlNode* node) {
    try {
        const XmlObjectStructure* structure = GetXmlStructure();
        if (!structure || !node)
            return false;
        for (XmlNode::ConstAttrIterator attr = node->BeginAttr(); attr != node->EndAttr(); ++attr) {
            if (XmlAttrInvokerBase* invoker = structure->AttributeByName(attr->Name()))
                invoker->InvokeSetter(this, attr->Value());
        }
        for (XmlNode::ConstNodeIterator element = node->BeginChild(); element != node->EndChild();
             ++element) {
            XmlChildInvokerBase* invoker = structure->ChildByName(element->Name());
            if (!invoker) {
                // A child written under its class's tag is known by its name.
                if (const XmlAttr* name = element->GetAttr("Name"))
                    invoker = structure->ChildByName(name->Value());
            }
            if (!invoker)
                continue;
            if (invoker->Type() == XmlChildInvokerBase::CHILD_DYNAMIC) {
                XmlObjBuilder* builder = XmlObjBuilder::GetInstance();
                XmlObject* child = builder ? builder->Create(element->Name()) : nullptr;
                // An element nobody can build is skipped like an unknown one.
                if (!child)
                    continue;
                invoker->InvokeSetter(this, child);
                if (!child->FromXml(element.ptr()))
                    return false;
            } else {
                XmlObject* child = invoker->InvokeGetter(this);
                if (child && !child->FromXml(element.ptr()))
                    return false;
            }
        }
        SetValue(node->Value());
        return true;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlObject", "FromXml"),
                 "XmlObject::FromXml error catched\n");
    }
    return false;
}

bool XmlObject::Save(const String& fileName) const {
    try {
        const char* tag = ZEB_TRACE_TAG("Env::XmlObject", "Save");
        if (fileName.empty()) {
            ZebTrace(TRACE_ERROR, tag, "xml file name is not defined\n");
            return false;
        }
        XmlDocPtr doc(XmlDoc::Create());
        if (doc == nullptr) {
            ZebTrace(TRACE_ERROR, tag, "can't create xml document object\n");
            return false;
        }
        XmlNode* root = XmlNode::Create(XmlTag());
        if (!root) {
            ZebTrace(TRACE_ERROR, tag, "can't create xml node object");
            return false;
        }
        // Attached before anything else so that the document frees it on every path.
        doc->SetRootNode(root);
        root->SetValue(GetValue());
        if (!ToXml(root)) {
            ZebTrace(TRACE_ERROR, tag, "to xml function failed\n");
            return false;
        }
        return doc->Save(fileName);
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlObject", "Save"),
                 "XmlObjectFile::Save error catched\n");
    }
    return false;
}

bool XmlObject::CanSave(const String& fileName) {
    try {
        if (fileName.empty())
            return false;
        std::string temp_name;
        std::FILE* probe = file_platform::create_temp_beside(fileName, temp_name);
        if (probe == nullptr)
            return false;
        std::fclose(probe);
        file_platform::remove_file(temp_name);
        return true;
    } catch (...) {
        return false;
    }
}

bool XmlObject::Load(const String& fileName) {
    try {
        const char* tag = ZEB_TRACE_TAG("Env::XmlObject", "Load");
        if (fileName.empty()) {
            ZebTrace(TRACE_ERROR, tag, "xml file name is not defined\n");
            return false;
        }
        XmlDocPtr doc(XmlDoc::Open(fileName));
        if (doc == nullptr) {
            ZebTrace(TRACE_ERROR, tag, "can't open xml document object\n");
            return false;
        }
        XmlNode* root = doc->GetRootNode();
        if (!root) {
            ZebTrace(TRACE_ERROR, tag, "can't get xml node object");
            return false;
        }
        bool result = FromXml(root);
        if (!result)
            ZebTrace(TRACE_ERROR, tag, "from xml function failed\n");
        return result;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlObject", "Load"),
                 "XmlObjectFile::Load error catched\n");
    }
    return false;
}

} // namespace Env
