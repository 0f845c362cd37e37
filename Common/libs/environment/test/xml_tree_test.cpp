#include "XmlTree.h"

#include "test_support.h"

#include <memory>

using Env::String;
using Env::XmlAttr;
using Env::XmlDoc;
using Env::XmlDocPtr;
using Env::XmlNode;

namespace {

class XmlTree : public envtest::ScratchDir {
protected:
    // Parses `text` through a file, as the tool reads its list file.
    XmlDoc* Parse(const std::string& text) {
        Write("in.xml", text);
        m_doc = std::make_unique<XmlDocPtr>(XmlDoc::Open(Path("in.xml")));
        return m_doc->m_pDoc;
    }
    const XmlNode* Root(const std::string& text) {
        XmlDoc* doc = Parse(text);
        return doc ? doc->GetRootNode() : nullptr;
    }

    std::unique_ptr<XmlDocPtr> m_doc;
};

std::vector<String> ChildNames(const XmlNode* node) {
    std::vector<String> names;
    for (auto it = node->BeginChild(); it != node->EndChild(); ++it)
        names.push_back(it->Name());
    return names;
}

TEST_F(XmlTree, ValueIsFirstTextChild) {
    const struct {
        const char* xml;
        const char* value;
    } rows[] = {
        {"<a>text<b/></a>", "text"},   {"<a><b/>after</a>", "after"},
        {"<a><b/><c/></a>", ""},       {"<a/>", ""},
        {"<a>\n  <b/>\n</a>", "\n  "}, {"<a>x &amp; &lt;y&gt;</a>", "x & <y>"},
    };
    for (const auto& row : rows) {
        const XmlNode* root = Root(row.xml);
        ASSERT_NE(root, nullptr) << row.xml;
        EXPECT_EQ(root->Value(), row.value) << row.xml;
    }
}

TEST_F(XmlTree, ChildWalkVisitsElementsOnlyInOrder) {
    const XmlNode* root = Root("<a>x<!-- c --><b/>y<c/><?pi data?><![CDATA[z]]><d/>tail</a>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(ChildNames(root), (std::vector<String>{"b", "c", "d"}));

    XmlNode::ConstNodeIterator it = root->BeginChild();
    ++it;
    ++it;
    EXPECT_EQ(it->Name(), "d");
    EXPECT_EQ((it--)->Name(), "d");
    EXPECT_EQ(it->Name(), "c");
    EXPECT_EQ((--it)->Name(), "b");
    EXPECT_TRUE(--it == root->EndChild());
    EXPECT_TRUE(++it == root->EndChild()) << "stepping from the end stays there";

    EXPECT_TRUE(Root("<a>only text<!-- c --></a>")->BeginChild() == XmlNode::ConstNodeIterator());
}

TEST_F(XmlTree, AttributesInDocumentOrderAndCaseRules) {
    XmlDoc* doc = Parse("<a zeta=\"1\" Name=\"vm &amp; co\" alpha=\"\"/>");
    ASSERT_NE(doc, nullptr);
    XmlNode* root = doc->GetRootNode();
    const XmlNode* croot = root;

    std::vector<std::pair<String, String>> seen;
    for (auto it = croot->BeginAttr(); it != croot->EndAttr(); ++it)
        seen.emplace_back(it->Name(), it->Value());
    EXPECT_EQ(seen, (std::vector<std::pair<String, String>>{
                        {"zeta", "1"}, {"Name", "vm & co"}, {"alpha", ""}}));

    ASSERT_NE(croot->GetAttr("NAME"), nullptr);
    EXPECT_EQ(croot->GetAttr("NAME")->Value(), "vm & co");
    EXPECT_EQ(croot->GetAttr("missing"), nullptr);
    EXPECT_EQ(root->GetAttr("NAME"), nullptr) << "the non-const lookup is exact";
    ASSERT_NE(root->GetAttr("Name"), nullptr);
    EXPECT_EQ(root->GetAttr("Name")->Prev()->Name(), "zeta");
    EXPECT_EQ(root->GetAttr("Name")->Next()->Name(), "alpha");
}

TEST_F(XmlTree, DtdDefaultIsNotTakenForAnAttribute) {
    // libxml2 answers such a lookup with the DTD's declaration structure.
    XmlDoc* doc = Parse("<!DOCTYPE a [<!ATTLIST a x CDATA \"dflt\">]><a/>");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetRootNode()->GetAttr("x"), nullptr);
}

TEST_F(XmlTree, MarkupInTextAndAttributesRoundTrips) {
    const String text = "a < b & \"c\" > 'd' &amp;";
    XmlDocPtr doc(XmlDoc::Create());
    ASSERT_FALSE(doc == nullptr);
    XmlNode* root = XmlNode::Create("root");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(doc->SetRootNode(root), nullptr);
    EXPECT_EQ(doc->GetRootNode(), root);
    ASSERT_NE(root->AddAttr("attr", text), nullptr);
    EXPECT_NE(root->AddAttr("attr", "replaced"), nullptr);
    ASSERT_NE(root->AddAttr("other", text), nullptr);
    XmlNode* child = root->AddNode("child", text);
    ASSERT_NE(child, nullptr);
    XmlNode* literal = root->AddNode("literal", "");
    literal->SetValue(text);
    ASSERT_TRUE(doc->Save(Path("out.xml")));

    EXPECT_EQ(
        Read("out.xml"),
        "<?xml version=\"1.0\"?>\n<root attr=\"replaced\" other=\"a &lt; b &amp; &quot;c&quot; "
        "&gt; 'd' &amp;amp;\"><child>a &lt; b &amp; \"c\" &gt; 'd' &amp;amp;</child><literal>"
        "a &lt; b &amp; \"c\" &gt; 'd' &amp;amp;</literal></root>\n");

    XmlDocPtr back(XmlDoc::Open(Path("out.xml")));
    ASSERT_FALSE(back == nullptr);
    const XmlNode* broot = back->GetRootNode();
    EXPECT_EQ(broot->GetAttr("other")->Value(), text);
    EXPECT_EQ(broot->BeginChild()->Value(), text);
    EXPECT_EQ(broot->BeginChild()->Next()->Value(), text);
}

TEST_F(XmlTree, OpenFailsOnMissingOrMalformedFile) {
    std::string err = envtest::CaptureTrace([&] {
        EXPECT_EQ(XmlDoc::Open(Path("missing.xml")), nullptr);
        Write("bad.xml", "<a><b></a>");
        EXPECT_EQ(XmlDoc::Open(Path("bad.xml")), nullptr);
        Write("empty.xml", "");
        EXPECT_EQ(XmlDoc::Open(Path("empty.xml")), nullptr);
    });
    EXPECT_NE(err.find("missing.xml"), std::string::npos) << "libxml2 reports the reason";
}

} // namespace
