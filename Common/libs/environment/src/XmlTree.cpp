#include "XmlTree.h"

#include "file_platform.h"
#include "zeb-tools-trace.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/xmlsave.h>

#include <cstdio>

namespace Env {

const char* const XML_VER = "1.0";

namespace {

const xmlChar* xml(const String& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

String text_of(const xmlChar* text) {
    return String(reinterpret_cast<const char*>(text));
}

// Takes ownership of a string libxml2 allocated.
String take(xmlChar* text) {
    String result = text_of(text);
    if (text)
        xmlFree(text);
    return result;
}

XmlNode* wrap(xmlNode* node) {
    return static_cast<XmlNode*>(node);
}
const XmlNode* wrap(const xmlNode* node) {
    return static_cast<const XmlNode*>(node);
}
XmlAttr* wrap(xmlAttr* attr) {
    return static_cast<XmlAttr*>(attr);
}
const XmlAttr* wrap(const xmlAttr* attr) {
    return static_cast<const XmlAttr*>(attr);
}

const xmlNode* element_from(const xmlNode* node, bool forward) {
    while (node && node->type != XML_ELEMENT_NODE)
        node = forward ? node->next : node->prev;
    return node;
}
xmlNode* element_from(xmlNode* node, bool forward) {
    return const_cast<xmlNode*>(element_from(static_cast<const xmlNode*>(node), forward));
}

} // namespace

// ---- XmlAttr

String XmlAttr::Name() const {
    return text_of(name);
}

String XmlAttr::Value() const {
    if (!children)
        return String();
    return take(xmlNodeListGetString(doc, children, 1));
}

XmlAttr* XmlAttr::Next() {
    return wrap(next);
}
const XmlAttr* XmlAttr::Next() const {
    return wrap(static_cast<const xmlAttr*>(next));
}
XmlAttr* XmlAttr::Prev() {
    return wrap(prev);
}
const XmlAttr* XmlAttr::Prev() const {
    return wrap(static_cast<const xmlAttr*>(prev));
}

// ---- XmlNode

XmlNode* XmlNode::Create(const String& name) {
    try {
        return wrap(xmlNewNode(nullptr, xml(name)));
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlNode", "Create"),
                 "XmlNode::Create error catched\n");
    }
    return nullptr;
}

XmlAttr* XmlNode::AddAttr(const String& name, const String& value) {
    try {
        return wrap(xmlSetProp(this, xml(name), xml(value)));
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlNode", "AddAttr"),
                 "XmlNode::AddAttr error catched\n");
    }
    return nullptr;
}

XmlNode* XmlNode::AddNode(const String& name, const String& value) {
    try {
        return wrap(xmlNewTextChild(this, nullptr, xml(name), xml(value)));
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlNode", "AddNode"),
                 "XmlNode::AddNode error catched\n");
    }
    return nullptr;
}

String XmlNode::Name() const {
    return text_of(name);
}

String XmlNode::Value() const {
    for (const xmlNode* child = children; child; child = child->next) {
        if (child->type == XML_TEXT_NODE)
            return take(xmlNodeGetContent(child));
    }
    return String();
}

void XmlNode::SetValue(const String& value) {
    // xmlNodeSetContent reads entity references in its argument, and drops the
    // whole text at a bare '&'; escaping first makes it store the text as is.
    xmlChar* escaped = xmlEncodeSpecialChars(doc, xml(value));
    if (!escaped)
        return;
    xmlNodeSetContent(this, escaped);
    xmlFree(escaped);
}

XmlAttr* XmlNode::GetAttr(const String& name) {
    xmlAttr* attr = xmlHasProp(this, xml(name));
    // xmlHasProp may answer with a DTD attribute declaration, which is a
    // different structure; only real attributes are XmlAttrs.
    if (attr && attr->type != XML_ATTRIBUTE_NODE)
        return nullptr;
    return wrap(attr);
}

const XmlAttr* XmlNode::GetAttr(const String& name) const {
    for (const XmlAttr* attr = wrap(static_cast<const xmlAttr*>(properties)); attr;
         attr = attr->Next()) {
        if (attr->Name().Equal(name, false))
            return attr;
    }
    return nullptr;
}

XmlNode* XmlNode::Next() {
    return wrap(element_from(next, true));
}
const XmlNode* XmlNode::Next() const {
    return wrap(element_from(static_cast<const xmlNode*>(next), true));
}
XmlNode* XmlNode::Prev() {
    return wrap(element_from(prev, false));
}
const XmlNode* XmlNode::Prev() const {
    return wrap(element_from(static_cast<const xmlNode*>(prev), false));
}

XmlNode::NodeIterator XmlNode::BeginChild() {
    return NodeIterator(wrap(element_from(children, true)));
}
XmlNode::ConstNodeIterator XmlNode::BeginChild() const {
    return ConstNodeIterator(wrap(element_from(static_cast<const xmlNode*>(children), true)));
}

XmlNode::AttrIterator XmlNode::BeginAttr() {
    return AttrIterator(wrap(properties));
}
XmlNode::ConstAttrIterator XmlNode::BeginAttr() const {
    return ConstAttrIterator(wrap(static_cast<const xmlAttr*>(properties)));
}

// ---- XmlDoc

XmlDoc* XmlDoc::Create() {
    try {
        return static_cast<XmlDoc*>(xmlNewDoc(reinterpret_cast<const xmlChar*>(XML_VER)));
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlDoc", "Create"),
                 "XmlDoc::Create error catched\n");
    }
    return nullptr;
}

XmlDoc* XmlDoc::Open(const String& name) {
    try {
        return static_cast<XmlDoc*>(xmlReadFile(name.c_str(), nullptr, 0));
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlDoc", "Open"), "XmlDoc::Open error catched\n");
    }
    return nullptr;
}

bool XmlDoc::Save(const String& name) {
    try {
        // The document goes to a file of our own beside the target and replaces
        // it only when complete: the list file may be the only record of which
        // machines were suspended, so a failed save must not cost the old one.
        // xmlDocDump writes the same bytes as xmlSaveFile and returns the same
        // count, but to a file opened here rather than one libxml2 names after
        // unescaping "%xx" sequences in the path.
        int written = -1;
        std::string temp_name;
        std::FILE* file = file_platform::create_temp_beside(name, temp_name);
        if (file) {
            written = xmlDocDump(file, this);
            bool closed = file_platform::close_synced(file);
            if (written == -1 || !closed || !file_platform::replace_file(temp_name, name)) {
                file_platform::remove_file(temp_name);
                written = -1;
            }
        }
        if (written == -1) {
            ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlDoc", "Save"), "can't write xml file\n");
            return false;
        }
        ZebTrace(TRACE_DEBUG, ZEB_TRACE_TAG("Env::XmlDoc", "Save"),
                 "xml saved to file, %d bytes writter\n", written);
        return true;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlDoc", "Save"), "XmlDoc::Save error catched\n");
    }
    return false;
}

void XmlDoc::Free() {
    try {
        xmlFreeDoc(this);
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlDoc", "Free"),
                 "XmlDoc::~XmlDoc error catched\n");
    }
}

XmlNode* XmlDoc::SetRootNode(XmlNode* node) {
    try {
        return wrap(xmlDocSetRootElement(this, node));
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlDoc", "SetRootNode"),
                 "XmlDoc::SetRootNode error catched\n");
    }
    return nullptr;
}

XmlNode* XmlDoc::GetRootNode() {
    try {
        return wrap(xmlDocGetRootElement(this));
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("Env::XmlDoc", "GetRootNode"),
                 "XmlDoc::GetRootNode error catched\n");
    }
    return nullptr;
}

} // namespace Env
