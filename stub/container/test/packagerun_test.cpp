// The package run with faked window, boxes, processes and downloads: what
// is asked, what is started with which command line, which exit code ends
// the run and what is left behind.
#include "PackageRun.h"
#include "PackageWriter.h"
#include "TGFileInfo.h"
#include "TestFiles.h"
#include "util/text.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

using namespace container;
namespace fs = std::filesystem;

namespace {

class FakeRun : public RunServices {
public:
    // ExtractServices
    void Progress(int, int, int, int) override {}
    void Pump() override {}
    void Wait(std::uint32_t) override {}
    bool ConfirmDisk(const std::string&) override { return false; }
    void ShowError(const std::string& sText) override { errors.push_back(sText); }
    void PrepareNextDisk(const std::string&, bool) override {}
    void Print(const std::string&) override {}
    std::uint64_t Clock() override { return 0; }
    // RunServices
    std::string Text(const std::string& sKey, const std::string& sDefault) override {
        return sDefault.empty() ? "[" + sKey + "]" : sDefault;
    }
    bool ConfirmYesNo(const std::string& sText) override {
        questions.push_back(sText);
        return answerYes;
    }
    void ErrorBox(const std::string& sText) override { errors.push_back(sText); }
    void SetStatusText(const std::string&) override {}
    void ShowWindow() override { shown = true; }
    void HideWindow() override {}
    void ShowActivityBar() override {}
    double FreeSpace(const std::string&) override { return freeSpace; }
    std::string AlternativeFolder(double) override { return ""; }
    void RemoveFolder(const std::string& sFolder) override {
        removed.push_back(sFolder);
        fs::remove_all(sFolder);
    }
    bool ForcePrompt() override { return false; }
    std::string ThreadTag() override { return "_77"; }
    void AddAtom(const std::string& sName) override { atoms.push_back(sName); }
    bool FindAtom(const std::string&) override { return !atomRemoved; }
    void DeleteAtom(const std::string&) override {}
    void NoteShortcuts() override {}
    void RemoveShortcuts() override { shortcutsRemoved = true; }
    bool StartProgram(const std::string& sCommand, bool bShow) override {
        commands.push_back(sCommand);
        startShown = bShow;
        // What the main program sees beside itself while it runs.
        if (!sFolderSeen.empty())
            for (const auto& entry : fs::directory_iterator(fs::path(sFolderSeen)))
                filesSeen.push_back(entry.path().filename().string());
        return startWorks;
    }
    bool ProgramEnded(int& nExitCode) override {
        nExitCode = exitCode;
        return ++polls >= 3;
    }
    bool WindowExists(const std::string&) override { return false; }
    std::string TempFolder() override { return temp; }
    bool InternetConnected(std::string& sDetail) override {
        sDetail = connectDetail;
        return connected;
    }
    bool Download(const std::string& sUrl, const std::string& sTarget,
                  std::string& sError) override {
        urls.push_back(sUrl);
        if (served.empty()) {
            sError = "404 page for " + sUrl;
            return false;
        }
        fs::copy_file(served, sTarget, fs::copy_options::overwrite_existing);
        return true;
    }
    std::string ErrorPageText(const std::string& sFile, const std::string&) override {
        return ReadFile(sFile).rfind("<html>", 0) == 0 ? "an error page" : "";
    }

    bool answerYes = true;
    double freeSpace = 1e12;
    bool atomRemoved = true;
    bool startWorks = true;
    int exitCode = 7;
    int polls = 0;
    bool connected = true;
    std::string connectDetail;
    std::string served; // the file the server answers with; empty: 404
    std::string temp;
    std::string sFolderSeen;
    bool shown = false, startShown = false, shortcutsRemoved = false;
    std::vector<std::string> questions, errors, removed, atoms, commands, urls, filesSeen;
};

class Run : public ::testing::Test {
protected:
    Run() {
        WriteFile(m_Dir / "image.exe", std::string(2000, 'I'));
        WriteFile(m_Dir / "Setup.exe", "program");
        m_Fake.temp = m_Dir / "temp";
        fs::create_directories(m_Fake.temp);
        m_Facts.sFolder = m_Dir / "extract";
        m_Facts.sArguments = "/lang=en /SpanCdLvl=2";
        m_Fake.sFolderSeen = m_Facts.sFolder;
    }

    // A package with a main program, written under name.
    std::string Package(const std::string& name, const std::string& token = "") {
        stubpack::BuildRequest request;
        request.sImage = m_Dir / "image.exe";
        stubpack::PackFile main;
        main.sSource = m_Dir / "Setup.exe";
        main.sName = "Setup.exe";
        main.bMain = true;
        main.sParams = "/S";
        request.files.push_back(main);
        if (!token.empty()) {
            request.bDownload = true;
            request.sDownloadToken = token;
        }
        std::vector<std::string> written;
        std::string error;
        EXPECT_TRUE(stubpack::BuildPackage(request, m_Dir / name, written, error)) << error;
        return m_Dir / name;
    }

    std::string Launcher(const std::string& token, bool ask, bool always) {
        stubpack::BuildRequest request;
        request.sImage = m_Dir / "image.exe";
        request.bDownload = true;
        request.sDownloadUrl = "http://127.0.0.1:9/files";
        request.sDownloadName = "Real.exe";
        request.sDownloadToken = token;
        request.nDownloadSize = 3 * 1048576;
        request.bAskDownload = ask;
        request.bAlwaysDownload = always;
        std::vector<std::string> written;
        std::string error;
        EXPECT_TRUE(stubpack::BuildPackage(request, m_Dir / "Launcher.exe", written, error))
            << error;
        return m_Dir / "Launcher.exe";
    }

    RunOutcome Start(const std::string& program) {
        m_Facts.sProgramPath = program;
        return StartSetup(TGFileInfo(program), m_Facts, m_Fake);
    }

    ScratchFolder m_Dir;
    FakeRun m_Fake;
    RunFacts m_Facts;
};

TEST_F(Run, StartsTheMainProgramPassesItsExitCodeOnAndRemovesTheFolder) {
    RunOutcome outcome = Start(Package("Product.exe"));
    EXPECT_TRUE(outcome.bStarted);
    EXPECT_EQ(outcome.nExitCode, 7);
    EXPECT_TRUE(outcome.bAtomGone);
    EXPECT_TRUE(m_Fake.shortcutsRemoved);
    ASSERT_EQ(m_Fake.commands.size(), 1u);
    std::string setup = WithBackslash(m_Facts.sFolder, true) + "Setup.exe";
    EXPECT_EQ(m_Fake.commands[0], "\"" + setup + "\" /lang=en /S /TH_ID=_77 /OriginExe=\"" +
                                      m_Facts.sProgramPath + "\"");
    EXPECT_EQ(m_Fake.atoms, std::vector<std::string>{"AutoUpdateAtomTokenByHarbix_77"});
    EXPECT_EQ(m_Fake.filesSeen, std::vector<std::string>{"Setup.exe"});
    EXPECT_TRUE(m_Fake.shown);
    EXPECT_TRUE(m_Fake.startShown);
    EXPECT_TRUE(m_Fake.questions.empty());
    EXPECT_FALSE(fs::exists(m_Facts.sFolder));
}

TEST_F(Run, QuietRunsAskNothingAndStartHidden) {
    m_Facts.bHide = true;
    m_Fake.freeSpace = 0; // would ask in the foreground
    m_Fake.atomRemoved = false;
    RunOutcome outcome = Start(Package("Product.exe"));
    EXPECT_EQ(outcome.nExitCode, 7);
    EXPECT_TRUE(m_Fake.questions.empty());
    EXPECT_FALSE(m_Fake.shown);
    EXPECT_FALSE(m_Fake.startShown);
    EXPECT_FALSE(outcome.bAtomGone);
    EXPECT_FALSE(m_Fake.shortcutsRemoved);
}

TEST_F(Run, RunsThatStartNothingEndWithTheirOwnCode) {
    std::string package = Package("Product.exe");

    m_Fake.freeSpace = 0;
    m_Fake.answerYes = false;
    RunOutcome declined = Start(package);
    EXPECT_EQ(declined.nExitCode, PKG_EXIT_SPACE_DECLINED);
    ASSERT_EQ(m_Fake.questions.size(), 1u);
    EXPECT_EQ(m_Fake.questions[0].substr(0, 4), "[s3]");
    EXPECT_TRUE(m_Fake.errors.empty());

    m_Fake.freeSpace = 1e12;
    m_Fake.startWorks = false;
    RunOutcome notStarted = Start(package);
    EXPECT_FALSE(notStarted.bStarted);
    EXPECT_EQ(notStarted.nExitCode, PKG_EXIT_START_FAILED);

    // A damaged package: the check-sum box, its cause, and no start.
    std::string data = ReadFile(package);
    data.replace(data.size() - 74 + 16, 4, U32(5)); // a sum that cannot match
    WriteFile(m_Dir / "Broken.exe", data);
    m_Fake.commands.clear();
    RunOutcome broken = Start(m_Dir / "Broken.exe");
    EXPECT_EQ(broken.nExitCode, PKG_EXIT_BAD_CHECKSUM);
    ASSERT_FALSE(m_Fake.errors.empty());
    EXPECT_EQ(m_Fake.errors.back().substr(0, 8), "Bad CRC!");
    EXPECT_TRUE(m_Fake.commands.empty());
    EXPECT_FALSE(fs::exists(m_Facts.sFolder));
}

TEST_F(Run, DownloadModeFetchesChecksTheTokenAndRunsTheRealPackage) {
    std::string launcher = Launcher("tok-1", true, true);
    m_Fake.served = Package("Real-served.exe", "tok-1");
    RunOutcome outcome = Start(launcher);
    EXPECT_EQ(outcome.nExitCode, 7) << (m_Fake.errors.empty() ? "" : m_Fake.errors[0]);
    EXPECT_EQ(m_Fake.urls, std::vector<std::string>{"http://127.0.0.1:9/files/Real.exe"});
    ASSERT_EQ(m_Fake.questions.size(), 1u);
    EXPECT_EQ(m_Fake.questions[0], "[s11]"); // the size goes into the language's text
    EXPECT_EQ(m_Fake.commands.size(), 1u);
    EXPECT_FALSE(fs::exists(fs::path(m_Fake.temp) / "Real.exe")); // the download is deleted
    EXPECT_TRUE(m_Fake.errors.empty());
}

TEST_F(Run, DownloadFailuresShowTheirCauseAndStartNothing) {
    struct Case {
        const char* what;
        std::function<void(FakeRun&)> arrange;
        int code;
        const char* box; // start of the error box, or "" for none
    } cases[] = {
        {"declined", [](FakeRun& f) { f.answerYes = false; }, PKG_EXIT_DOWNLOAD_DECLINED, ""},
        {"no connection",
         [](FakeRun& f) {
             f.connected = false;
             f.connectDetail = "offline";
         },
         PKG_EXIT_NO_CONNECTION,
         "No valid Internet Connection.<p>Can not Download File!<P><P>offline"},
        {"404", [](FakeRun& f) { f.served.clear(); }, PKG_EXIT_DOWNLOAD_FAILED,
         "404 page for http://"},
        {"other token", [](FakeRun&) {}, PKG_EXIT_BAD_TOKEN, "Bad Secret Token!"},
        {"error page", [&](FakeRun& f) { f.served = m_Dir / "page.html"; },
         PKG_EXIT_DOWNLOAD_FAILED, "an error page"},
    };
    std::string launcher = Launcher("tok-1", true, true);
    std::string other = Package("Other.exe", "tok-2");
    WriteFile(m_Dir / "page.html", "<html>not found</html>");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_Fake = FakeRun();
        m_Fake.temp = m_Dir / "temp";
        m_Fake.served = other;
        c.arrange(m_Fake);
        RunOutcome outcome = Start(launcher);
        EXPECT_EQ(outcome.nExitCode, c.code);
        EXPECT_FALSE(outcome.bStarted);
        EXPECT_TRUE(m_Fake.commands.empty());
        if (*c.box) {
            ASSERT_EQ(m_Fake.errors.size(), 1u);
            EXPECT_EQ(m_Fake.errors[0].substr(0, std::strlen(c.box)), c.box);
        } else {
            EXPECT_TRUE(m_Fake.errors.empty());
        }
        EXPECT_TRUE(fs::is_empty(m_Fake.temp));
    }
}

TEST_F(Run, APackageBesideTheLauncherIsUsedWithoutDownload) {
    std::string launcher = Launcher("tok-1", true, false);
    fs::copy_file(Package("Real-local.exe", "tok-1"), m_Dir / "Real.exe");
    RunOutcome outcome = Start(launcher);
    EXPECT_EQ(outcome.nExitCode, 7);
    EXPECT_TRUE(m_Fake.urls.empty());
    EXPECT_TRUE(m_Fake.questions.empty());
    EXPECT_TRUE(fs::exists(m_Dir / "Real.exe")); // not ours to delete
}

} // namespace
