// Downloads against a real HTTP server on loopback.
#include "HttpDownload.h"
#include "LoopbackServer.h"
#include "Progress.h"

#include "../../container/test/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

namespace {

class Download : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_pServer = new LoopbackServer; }
    static void TearDownTestSuite() {
        delete s_pServer;
        s_pServer = nullptr;
    }
    void SetUp() override {
        if (s_pServer->Port() == 0)
            GTEST_SKIP() << "no loopback HTTP server (STUB_TEST_HTTP_PORT_FILE under Wine)";
        SetDownloadAbort(false);
        Fetch("/clear");
    }
    void TearDown() override { SetDownloadAbort(false); }

    static std::string Url(const std::string& path) { return s_pServer->Url(path); }

    // A body in content mode; the error text when it fails.
    static std::string Fetch(const std::string& path, std::string* error = nullptr) {
        std::string content, text;
        HTTP_DownloadFile_Incremental(0, Url(path), "", text, nullptr, content);
        if (error)
            *error = text;
        return content;
    }

    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_Folder.Path()))
            names.insert(entry.path().filename().string());
        return names;
    }

    static LoopbackServer* s_pServer;
    ScratchFolder m_Folder;
};

LoopbackServer* Download::s_pServer = nullptr;

// The server's Last-Modified, 2015-10-21 07:28:00, as a packed DOS date and time.
constexpr std::uint32_t kServerStamp =
    (35u << 25) | (10u << 21) | (21u << 16) | (7u << 11) | (28u << 5);

struct Report {
    int kind;
    std::int64_t maximum, position;
    std::string text;
};

TEST_F(Download, WholeFileThroughAStampedTemporaryFile) {
    const std::string target = m_Folder / "pkg.exe";
    WriteFile(target, "previous version");
    const std::uint64_t size = 300000;
    std::vector<Report> reports;
    std::set<std::string> duringTransfer;
    TProgBar bar([&](int kind, std::uintptr_t, std::int64_t maximum, std::int64_t position,
                     std::int64_t, const std::string& text) {
        reports.push_back({kind, maximum, position, text});
        if (kind == 1 && duringTransfer.empty())
            duringTransfer = Files();
    });
    std::string error, content;
    EXPECT_TRUE(HTTP_DownloadFile_Incremental(0, Url("/bytes/300000/pkg.exe"), target, error, &bar,
                                              content));
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadFile(target), ServerBody(size));
    EXPECT_EQ(Files(), std::set<std::string>{"pkg.exe"});
    EXPECT_EQ(duringTransfer,
              (std::set<std::string>{"pkg.exe", "pkg.exe." + std::to_string(size + kServerStamp)}));

    // A tenth of the size per chunk: ten steps and one.
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0].kind, 0);
    EXPECT_EQ(reports[0].maximum, 11);
    EXPECT_EQ(reports[0].position, 1);
    EXPECT_EQ(reports.back().text.substr(0, 14), "293.0/293.0 KB");

    // The probe, then the transfer.
    std::string log = Fetch("/log");
    EXPECT_EQ(log, "HTTP_Connect_2 /bytes/300000/pkg.exe\nHTTP_Connect_3 /bytes/300000/pkg.exe\n");
}

TEST_F(Download, ContentModeSmallFilesAndRedirects) {
    std::vector<std::string> texts;
    TProgBar bar([&](int kind, std::uintptr_t, std::int64_t, std::int64_t, std::int64_t,
                     const std::string& text) {
        if (kind == 1)
            texts.push_back(text);
    });
    std::string error, content;
    // Without a scheme the address is taken as http.
    std::string bare = Url("/bytes/5").substr(7);
    EXPECT_TRUE(HTTP_DownloadFile_Incremental(0, bare, "", error, &bar, content));
    EXPECT_EQ(error, "");
    EXPECT_EQ(content, ServerBody(5));
    // Five bytes come one byte a chunk.
    ASSERT_EQ(texts.size(), 5u);
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(texts[i].substr(0, 12), std::to_string(i + 1) + "/5 BytesArr");

    EXPECT_EQ(Fetch("/redirect/1000", &error), ServerBody(1000));
    EXPECT_EQ(error, "");
}

TEST_F(Download, FailuresLeaveTheTargetAlone) {
    struct Case {
        std::string url;
        std::string error;    // start of the error text
        bool errorPage;       // the body left in content is an HTML error page
        bool refused = false; // a non-2xx answer: its body stays in content
    } cases[] = {
        {Url("/missing/pkg.exe"), Url("/missing/pkg.exe") + " --- File Not Found !", true, true},
        {Url("/status/500"), Url("/status/500") + " --- Server answered 500", false, true},
        {Url("/bytes/0"), Url("/bytes/0") + " --- File Not Found !", false},
        {Url("/nolength/3000"), "3000 --- Error downloading file (the server sent no file size)",
         false},
        {Url("/short/70000"), "70000 --- Error downloading file", false},
        {"http://127.0.0.1:1/pkg.exe", "Unable to open Internet Connection: http://127.0.0.1:1/",
         false},
        {"ftp://127.0.0.1/pkg.exe", "Unable to open Internet Connection: ftp://", false},
    };
    const std::string target = m_Folder / "pkg.exe";
    for (const Case& c : cases) {
        WriteFile(target, "keep");
        std::string error, content;
        EXPECT_FALSE(HTTP_DownloadFile_Incremental(0, c.url, target, error, nullptr, content))
            << c.url;
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.url;
        EXPECT_EQ(ReadFile(target), "keep") << c.url;
        EXPECT_EQ(HtmlErrorPage(m_Folder / "absent", content), c.errorPage) << c.url;

        // In content mode nothing partial is handed out.
        content = "stale";
        EXPECT_FALSE(HTTP_DownloadFile_Incremental(0, c.url, "", error, nullptr, content));
        if (c.refused) {
            EXPECT_NE(content, "stale") << c.url;
        } else {
            EXPECT_EQ(content, "") << c.url;
        }
    }
}

TEST_F(Download, OnlyEarlierPartialTransfersAreDeleted) {
    const std::string target = m_Folder / "pkg.exe";
    for (const char* name :
         {"pkg.exe.123", "pkg.exe.4294967295", "pkg.exe.bak", "pkg.exe.12a", "pkg.exeX.1"})
        WriteFile(m_Folder / name, "x");
    std::string error, content;
    EXPECT_TRUE(
        HTTP_DownloadFile_Incremental(0, Url("/bytes/4000"), target, error, nullptr, content));
    EXPECT_EQ(Files(),
              (std::set<std::string>{"pkg.exe", "pkg.exe.bak", "pkg.exe.12a", "pkg.exeX.1"}));
}

TEST_F(Download, TemporaryNameThatCannotBeCreatedFailsTheDownload) {
    const std::string target = m_Folder / "pkg.exe";
    WriteFile(target, "keep");
    // A folder under the temporary name is no leftover file: it stays, and
    // the transfer never writes through it.
    std::filesystem::create_directory(m_Folder /
                                      ("pkg.exe." + std::to_string(4000 + kServerStamp)));
    std::string error, content;
    EXPECT_FALSE(
        HTTP_DownloadFile_Incremental(0, Url("/bytes/4000"), target, error, nullptr, content));
    EXPECT_EQ(error.rfind("Unable to create " + target + ".", 0), 0u) << error;
    EXPECT_EQ(ReadFile(target), "keep");
}

TEST_F(Download, CancelAndAbortStopAfterTheCurrentChunk) {
    struct Case {
        bool abort;
        const char* error;
    } cases[] = {{false, "Download Cancelled"}, {true, "Download Aborted"}};
    const std::string target = m_Folder / "pkg.exe";
    for (const Case& c : cases) {
        WriteFile(target, "keep");
        SetDownloadAbort(false);
        int chunks = 0;
        TProgBar* self = nullptr;
        TProgBar bar([&](int kind, std::uintptr_t, std::int64_t, std::int64_t, std::int64_t,
                         const std::string&) {
            if (kind != 1)
                return;
            ++chunks;
            if (c.abort)
                SetDownloadAbort(true);
            else
                self->m_bCancel = 1;
        });
        self = &bar;
        std::string error, content;
        EXPECT_FALSE(
            HTTP_DownloadFile_Incremental(0, Url("/bytes/2000000"), target, error, &bar, content));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(chunks, 1);
        EXPECT_EQ(ReadFile(target), "keep");
    }
}

TEST_F(Download, RemoteFileSize) {
    EXPECT_EQ(HTTP_GetFileSize(Url("/bytes/123456")), 123456);
    EXPECT_EQ(HTTP_GetFileSize(Url("/nolength/10")), -1);
    EXPECT_EQ(HTTP_GetFileSize(Url("/missing")), -1);
    EXPECT_EQ(HTTP_GetFileSize("http://127.0.0.1:1/x"), -1);
    EXPECT_EQ(Fetch("/log"), "HTTP_Connect_2 /bytes/123456\nHTTP_Connect_2 /bytes/123456\n"
                             "HTTP_Connect_2 /nolength/10\nHTTP_Connect_2 /nolength/10\n"
                             "HTTP_Connect_2 /missing\nHTTP_Connect_2 /missing\n");
}

TEST(DownloadUrl, HttpGoesOnlyInFrontOfAnAddressWithoutScheme) {
    struct Case {
        const char* url;
        const char* expected;
    } cases[] = {
        {"example.com/a.exe", "http://example.com/a.exe"},
        {"HTTP://example.com/a.exe", "HTTP://example.com/a.exe"},
        {"https://example.com/a.exe", "https://example.com/a.exe"},
        {"example.com/get?from=http://x", "http://example.com/get?from=http://x"},
        {"127.0.0.1:8080/a", "http://127.0.0.1:8080/a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DownloadUrl(c.url), c.expected);
}

TEST(HtmlErrorPage, TitleWith404OrAPageWithHeadAndTitle) {
    struct Case {
        std::string text;
        bool page;
    } cases[] = {
        {"<html><head><title>404 Not Found</title></head>", true},
        {"<TITLE>Error 404</TITLE>", true},
        {"<html>\n<head>\n<title>Welcome</title>", true}, // any page with head and title
        {"<title>Files</title> 404 entries", false},
        {"404 <title>x</title>", false},
        {"<html><title>x</title><head>", false},
        {"MZ\x90", false},
        {"", false},
        {std::string(990, ' ') + "<title>404</title>", false}, // past the first 1000
    };
    for (const Case& c : cases)
        EXPECT_EQ(HtmlErrorPage("", c.text), c.page) << c.text;

    ScratchFolder folder;
    WriteFile(folder / "pkg.exe", "MZ binary");
    const std::string page = "<title>404</title>";
    // An existing file is judged, not the content.
    EXPECT_FALSE(HtmlErrorPage(folder / "pkg.exe", page));
    EXPECT_TRUE(HtmlErrorPage(folder / "absent.exe", page));
    EXPECT_EQ(Http404Text(folder / "absent.exe", page, "http://h/p.exe", "def"),
              "<B>404 File Not Found...</B><P><P>URL:  http://h/p.exe.<P><P>Please make sure the "
              "file is available and access is allowed to this file.");
    EXPECT_EQ(Http404Text(folder / "pkg.exe", page, "http://h/p.exe", "def"), "def");
}

TEST(InternetConnected, GivesAReasonWhenNotConnected) {
    std::string error = "stale";
    bool connected = InternetConnected(error);
#ifndef _WIN32
    EXPECT_TRUE(connected); // a loopback server must stay reachable
#endif
    EXPECT_EQ(error.empty(), connected);
}

} // namespace
