// What XmlDoc::Save guarantees about the file it writes.
#include "XmlTree.h"

#include "test_support.h"

#include <csignal>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

using Env::XmlDoc;
using Env::XmlDocPtr;
using Env::XmlNode;

namespace {

class XmlSave : public envtest::ScratchDir {
protected:
    // A document of about `bytes` bytes.
    static XmlDoc* Document(std::size_t bytes) {
        XmlDoc* doc = XmlDoc::Create();
        XmlNode* root = XmlNode::Create("vms");
        doc->SetRootNode(root);
        for (std::size_t n = 0; n * 40 < bytes; ++n)
            root->AddNode("virtualmachineserver", "0123456789");
        return doc;
    }

#ifndef _WIN32
    mode_t Mode(const std::string& name) const {
        struct stat st;
        EXPECT_EQ(stat(Path(name).c_str(), &st), 0) << name;
        return st.st_mode & 07777;
    }
#endif
};

TEST_F(XmlSave, MissingFolderFailsWithTrace) {
    XmlDocPtr doc(Document(100));
    bool saved = true;
    std::string out = envtest::CaptureTrace([&] { saved = doc->Save(Path("no/such/list.xml")); });
    EXPECT_FALSE(saved);
    EXPECT_NE(out.find("can't write xml file\n"), std::string::npos) << out;
    EXPECT_TRUE(Entries().empty());
}

TEST_F(XmlSave, SuccessTracesByteCountInDebugMode) {
    XmlDocPtr doc(Document(100));
    zeb_set_trace(TRACE_MODE_DEBUG);
    bool saved = false;
    std::string out = envtest::CaptureTrace([&] { saved = doc->Save(Path("list.xml")); });
    ASSERT_TRUE(saved);
    std::string size = std::to_string(Read("list.xml").size());
#ifdef _WIN32
    const std::string tag = "Env::XmlDoc::Save";
#else
    const std::string tag = "Save";
#endif
    EXPECT_NE(out.find("trace> " + tag + ": xml saved to file, " + size + " bytes writter\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(Entries(), std::vector<std::string>{"list.xml"});
}

// Permission bits and resource limits are POSIX matters.
#ifndef _WIN32
TEST_F(XmlSave, NeverWorldWritableWhateverTheUmask) {
    XmlDocPtr doc(Document(100));
    mode_t old_mask = umask(0);
    EXPECT_TRUE(doc->Save(Path("new.xml")));
    Write("private.xml", "old");
    chmod(Path("private.xml").c_str(), 0600);
    Write("open.xml", "old");
    chmod(Path("open.xml").c_str(), 0666);
    EXPECT_TRUE(doc->Save(Path("private.xml")));
    EXPECT_TRUE(doc->Save(Path("open.xml")));
    umask(old_mask);

    EXPECT_EQ(Mode("new.xml"), 0644u);
    EXPECT_EQ(Mode("private.xml"), 0600u) << "an existing file keeps its narrower access";
    EXPECT_EQ(Mode("open.xml"), 0644u);
}
#endif

TEST_F(XmlSave, ReplacesWholeFileAndTakesNameLiterally) {
    Write("50%41.xml", std::string(10000, 'x'));
    XmlDocPtr doc(Document(100));
    ASSERT_TRUE(doc->Save(Path("50%41.xml")));
    EXPECT_EQ(Entries(), std::vector<std::string>{"50%41.xml"});
    EXPECT_EQ(Read("50%41.xml").rfind("<?xml version=\"1.0\"?>\n<vms>", 0), 0u);
    EXPECT_LT(Read("50%41.xml").size(), 10000u);
}

#ifndef _WIN32
// The write runs out of room half-way (a file size limit stands in for a full
// disk or a crash): the previous list must survive whole.
TEST_F(XmlSave, FailedWriteLeavesPreviousFileUntouched) {
    const std::string previous = "<?xml version=\"1.0\"?>\n<esxiserver reboot=\"true\"/>\n";
    Write("list.xml", previous);
    const std::string target = Path("list.xml");
    const rlimit limit = {512, 512};
    EXPECT_EXIT(
        {
            std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &limit);
            XmlDocPtr doc(Document(20000));
            std::_Exit(doc->Save(target) ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(Read("list.xml"), previous);
    EXPECT_EQ(Entries(), std::vector<std::string>{"list.xml"}) << "no temporary file is left";
}
#endif

} // namespace
