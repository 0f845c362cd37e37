#include "XmlObjBuilder.h"
#include "fleet.h"
#include "test_support.h"

#include <cstdlib>
#include <memory>

using Env::String;
using Env::XmlObjBuilder;
using Env::XmlObject;
using Env::XmlObjectList;
using Fleet::Guest;
using Fleet::Picky;

namespace {

class XmlList : public envtest::ScratchDir {
protected:
    // Reads the root element of `text` into `list`.
    bool ReadInto(XmlObjectList& list, const std::string& text) {
        Write("list.xml", text);
        Env::XmlDocPtr doc(Env::XmlDoc::Open(Path("list.xml")));
        EXPECT_FALSE(doc == nullptr);
        return list.FromXml(doc->GetRootNode());
    }

    static std::vector<String> Names(const XmlObjectList& list) {
        std::vector<String> names;
        for (const XmlObject* object : list)
            names.push_back(object->GetName());
        return names;
    }
};

TEST(XmlObjBuilder, CreatesByClassNameInAnyCase) {
    XmlObjBuilder* builder = XmlObjBuilder::GetInstance();
    ASSERT_NE(builder, nullptr);
    EXPECT_EQ(XmlObjBuilder::GetInstance(), builder);
    for (const char* name : {"Guest", "guest", "GUEST", "gUeSt"}) {
        std::unique_ptr<XmlObject> object(builder->Create(name));
        EXPECT_NE(dynamic_cast<Guest*>(object.get()), nullptr) << name;
    }
    std::unique_ptr<XmlObject> list(builder->Create("xmlobjectlist"));
    EXPECT_NE(dynamic_cast<XmlObjectList*>(list.get()), nullptr);
    std::unique_ptr<XmlObject> plain(builder->Create("XmlObject"));
    ASSERT_NE(plain, nullptr);
    EXPECT_STREQ(plain->ClassName(), "XmlObject");
}

TEST(XmlObjBuilder, UnknownNameTracedOnlyInDebugMode) {
    XmlObjBuilder* builder = XmlObjBuilder::GetInstance();
    zeb_set_trace(TRACE_MODE_QUIET);
    XmlObject* made = reinterpret_cast<XmlObject*>(1);
    EXPECT_EQ(envtest::CaptureTrace([&] { made = builder->Create("nosuchclass"); }), "");
    EXPECT_EQ(made, nullptr);
    zeb_set_trace(TRACE_MODE_DEBUG);
    std::string out = envtest::CaptureTrace([&] { made = builder->Create("nosuchclass"); });
    zeb_set_trace(TRACE_MODE_QUIET);
    EXPECT_EQ(made, nullptr);
    EXPECT_NE(out.find("Create: unknown xml object name, can't create object\n"), std::string::npos)
        << out;
}

TEST_F(XmlList, TagIsNameOrClass) {
    XmlObjectList list;
    EXPECT_EQ(list.XmlTag(), "xmlobjectlist");
    list.SetName("VMs");
    EXPECT_EQ(list.XmlTag(), "vms");
}

TEST_F(XmlList, ReadingAppendsInDocumentOrder) {
    const std::string text = "<vms>\n <guest name=\"a\"/> text <!-- c -->\n"
                             " <GUEST name=\"b\"/>\n <unknownclass name=\"skipped\"/>\n"
                             " <Guest name=\"c\"/>\n</vms>";
    XmlObjectList list;
    list.SetName("keep");
    ASSERT_TRUE(ReadInto(list, text));
    EXPECT_EQ(Names(list), (std::vector<String>{"a", "b", "c"}));
    ASSERT_TRUE(ReadInto(list, text));
    EXPECT_EQ(Names(list), (std::vector<String>{"a", "b", "c", "a", "b", "c"}));
    EXPECT_EQ(list.GetName(), "keep") << "the list's own element is not read into it";
    EXPECT_EQ(list.GetValue(), "");
}

TEST_F(XmlList, FailedChildStopsReadingAndIsNotKept) {
    XmlObjectList list;
    ASSERT_EQ(Picky::s_live, 0);
    EXPECT_FALSE(
        ReadInto(list, "<l><picky name=\"one\"/><picky name=\"bad\"/><picky name=\"three\"/></l>"));
    EXPECT_EQ(Names(list), std::vector<String>{"one"});
    EXPECT_EQ(Picky::s_live, 1) << "the object that failed to read was destroyed";
}

TEST_F(XmlList, ClearForgetsDestructionDestroys) {
    ASSERT_EQ(Picky::s_live, 0);
    Picky* kept[2] = {new Picky, new Picky};
    {
        XmlObjectList list;
        list.push_back(kept[0]);
        list.push_front(kept[1]);
        list.push_back(nullptr);
        EXPECT_EQ(list.size(), 2u);
        EXPECT_EQ(*list.begin(), kept[1]);
        list.clear();
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(Picky::s_live, 2);
        list.push_back(new Picky);
        list.push_back(new Picky);
        EXPECT_EQ(Picky::s_live, 4);
    }
    EXPECT_EQ(Picky::s_live, 2);
    delete kept[0];
    delete kept[1];
}

TEST_F(XmlList, WritesObjectsInListOrder) {
    XmlObjectList list;
    list.push_back(new Guest("2", "second"));
    list.push_front(new Guest("1", "first"));
    XmlObjectList empty;
    ASSERT_TRUE(list.Save(Path("l.xml")));
    EXPECT_EQ(Read("l.xml"), "<?xml version=\"1.0\"?>\n<xmlobjectlist>"
                             "<guest id=\"1\" name=\"first\" timeout=\"300\"></guest>"
                             "<guest id=\"2\" name=\"second\" timeout=\"300\"></guest>"
                             "</xmlobjectlist>\n");
    empty.SetName("VMs");
    ASSERT_TRUE(empty.Save(Path("e.xml")));
    EXPECT_EQ(Read("e.xml"), "<?xml version=\"1.0\"?>\n<vms/>\n");
}

// Constructed during a test, so destroyed at exit before anything built at
// start-up; the handler it registers while being built runs after it is gone.
struct LateProbe : Env::Singleton<LateProbe> {
    LateProbe() { std::atexit(&AfterDestruction); }
    static void AfterDestruction() { std::_Exit(GetInstance() == nullptr ? 0 : 1); }
};

TEST(Singleton, NullOnceDestroyedAtExit) {
    EXPECT_EXIT(
        {
            LateProbe* probe = LateProbe::GetInstance();
            std::exit(probe != nullptr && LateProbe::GetInstance() == probe ? 0 : 2);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
