// Whole package runs against the system: real files, a recording main
// program started as a process, real downloads from loopback HTTP servers.
// Only the start-up window is left out (no window, thread tag given).
#include "../../update/test/LoopbackServer.h"
#include "PackageWriter.h"
#include "PlatformRun.h"
#include "TestFiles.h"
#include "platform/settings.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace container;
namespace fs = std::filesystem;

namespace {

class TestRunServices : public PlatformRunServices {
public:
    using PlatformRunServices::PlatformRunServices;
    std::string ThreadTag() override { return "_4242"; }
};

class RunE2E : public ::testing::Test {
protected:
    RunE2E() {
        WriteFile(m_Dir / "image.exe", std::string(4000, 'I'));
        // The recording main program: its arguments, its folder's files, its exit code.
        WriteFile(m_Dir / "record.sh",
                  "#!/bin/sh\n"
                  "{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; echo --;\n"
                  "  date -r \"$0\" +%Y%m%d%H%M%S; ls \"$(dirname \"$0\")\"; } > \"" +
                      m_Dir / "record.txt" +
                      "\"\n"
                      "exit 7\n");
        WriteFile(m_Dir / "data.txt", "data");
        m_Facts.sFolder = m_Dir / "extract";
        m_Facts.sArguments = "/lang=en";
        m_Facts.pSaveErrors = &m_nSaveErrors;
        Answers("");
    }

    // The answers of the boxes to come, one a line (a fresh file: the boxes
    // read on where they stopped in the previous one).
    void Answers(const std::string& lines) {
        std::string path = m_Dir / ("answers-" + std::to_string(++m_nAnswers) + ".txt");
        WriteFile(path, lines);
        setenv("STUB_ANSWERS", path.c_str(), 1);
    }
    ~RunE2E() override {
        unsetenv("STUB_ANSWERS");
        unsetenv("STUB_REGISTRY");
    }

    stubpack::BuildRequest Request() {
        stubpack::BuildRequest request;
        request.sImage = m_Dir / "image.exe";
        stubpack::PackFile main;
        main.sSource = m_Dir / "record.sh";
        main.sName = "Setup.sh";
        main.bMain = true;
        main.sParams = "/S";
        main.nStamp = stubpack::DosStamp(2020, 2, 29, 23, 59, 58);
        stubpack::PackFile data;
        data.sSource = m_Dir / "data.txt";
        data.sName = "data.txt";
        request.files = {main, data};
        return request;
    }

    std::vector<std::string> Build(const stubpack::BuildRequest& request, const std::string& out) {
        std::vector<std::string> written;
        std::string error;
        EXPECT_TRUE(stubpack::BuildPackage(request, out, written, error)) << error;
        return written;
    }

    RunOutcome Start(const std::string& program) {
        m_Facts.sProgramPath = program;
        TGFileInfo self(program);
        TestRunServices services(self, 0);
        return StartSetup(self, m_Facts, services);
    }

    std::string Record() const { return ReadFile(m_Dir / "record.txt"); }

    ScratchFolder m_Dir;
    RunFacts m_Facts;
    unsigned m_nSaveErrors = 0;
    int m_nAnswers = 0;
};

TEST_F(RunE2E, UnpacksStartsTheMainProgramAndCleansUp) {
    Build(Request(), m_Dir / "Product.exe");
    m_Facts.sArguments = "/lang=en /OriginExe=/first/copy.exe";
    RunOutcome outcome = Start(m_Dir / "Product.exe");
    EXPECT_TRUE(outcome.bStarted);
    EXPECT_EQ(outcome.nExitCode, 7);
    // "/OriginExe=" is passed on once, as given.
    // The main program carries its stamp and sees the other files beside it.
    EXPECT_EQ(Record(), "/lang=en\n/OriginExe=/first/copy.exe\n/S\n/TH_ID=_4242\n--\n"
                        "20200229235958\nSetup.sh\ndata.txt\n");
    EXPECT_FALSE(fs::exists(m_Facts.sFolder));
}

TEST_F(RunE2E, SpannedPackageFromItsFirstDiskLosesTheSpanSwitches) {
    stubpack::BuildRequest request = Request();
    WriteFile(m_Dir / "big.bin", RandomBytes(50000, 5));
    stubpack::PackFile big;
    big.sSource = m_Dir / "big.bin";
    big.sName = "big.bin";
    request.files.push_back(big);
    request.nPieceSize = 30000;
    request.nBlockSize = 8192;
    std::vector<std::string> pieces = Build(request, m_Dir / "Product.exe");
    ASSERT_GE(pieces.size(), 2u);
    m_Facts.sFirstDisk = pieces[0];
    m_Facts.sArguments = "/SpanCdLvl=2 /lang=en /SpanDiskFName1=" + pieces[0];
    RunOutcome outcome = Start(m_Dir / "copy-of-first-disk.exe");
    EXPECT_EQ(outcome.nExitCode, 7);
    std::string record = Record();
    EXPECT_EQ(record.find("Span"), std::string::npos) << record;
    EXPECT_NE(record.find("/lang=en\n/S\n/TH_ID=_4242\n/OriginExe="), std::string::npos) << record;
    EXPECT_NE(record.find("big.bin"), std::string::npos);
}

TEST_F(RunE2E, ForcePromptAsksForTheSecondDiskEvenWhenItIsThere) {
    setenv("STUB_REGISTRY", (m_Dir / "registry.ini").c_str(), 1);
    plat::RegValue one;
    one.type = plat::REG_TYPE_SZ;
    one.data = "1";
    ASSERT_TRUE(plat::registry_write(plat::REG_ROOT_CURRENT_USER,
                                     "Software\\Vendrel\\Harbix\\SpanDisk", "ForcePrompt", one));
    stubpack::BuildRequest request = Request();
    WriteFile(m_Dir / "big.bin", RandomBytes(40000, 6));
    stubpack::PackFile big;
    big.sSource = m_Dir / "big.bin";
    big.sName = "big.bin";
    request.files.push_back(big);
    request.nPieceSize = 30000;
    request.nBlockSize = 8192;
    std::vector<std::string> pieces = Build(request, m_Dir / "Product.exe");
    ASSERT_EQ(pieces.size(), 2u);

    Answers("O\n"); // OK: the disk is there
    EXPECT_EQ(Start(pieces[0]).nExitCode, 7);
    fs::remove(m_Dir / "record.txt");
    Answers("C\n");
    EXPECT_EQ(Start(pieces[0]).nExitCode, PKG_EXIT_DISK_CANCELLED);
    EXPECT_FALSE(fs::exists(m_Dir / "record.txt"));
    EXPECT_FALSE(fs::exists(m_Facts.sFolder));
}

TEST_F(RunE2E, RefusedPackagesStartNothingAndLeaveNothing) {
    // A stream name that climbs out of the folder.
    std::string image(300, 'I');
    std::string stream = "|../escape.sh|0|" + std::string(1, '\0') + "x";
    std::string blocks =
        U32(static_cast<std::uint32_t>(-static_cast<std::int32_t>(stream.size()))) + stream;
    std::string trailer(74, '\0');
    trailer[0] = 1;
    trailer[1] = 2;
    trailer.replace(4, 4, U32(300));
    trailer.replace(8, 4, U32(1));
    trailer.replace(12, 4, U32(0x4A3B2C1D));
    trailer.replace(16, 4, U32(1234));
    trailer.replace(70, 4, U32(74));
    WriteFile(m_Dir / "Evil.exe", image + U32(0) + U32(0) + blocks + trailer);
    RunOutcome evil = Start(m_Dir / "Evil.exe");
    EXPECT_EQ(evil.nExitCode, PKG_EXIT_UNSAFE_NAME);
    EXPECT_FALSE(fs::exists(m_Dir / "escape.sh"));

    // The space question answered No.
    Answers("N\n");
    stubpack::BuildRequest request = Request();
    request.nOptions = 0x01; // always show the notice about the temporary drive
    Build(request, m_Dir / "Noticed.exe");
    EXPECT_EQ(Start(m_Dir / "Noticed.exe").nExitCode, PKG_EXIT_SPACE_DECLINED);

    EXPECT_FALSE(fs::exists(m_Dir / "record.txt"));
    EXPECT_FALSE(fs::exists(m_Facts.sFolder));
}

TEST_F(RunE2E, DownloadModeFetchesTheRealPackage) {
    fs::create_directories(m_Dir / "www");
    stubpack::BuildRequest real = Request();
    real.bDownload = true;
    real.sDownloadToken = "secret-7";
    Build(real, m_Dir / "www/Real.exe");
    real.sDownloadToken = "other";
    Build(real, m_Dir / "www/Other.exe");
    LoopbackServer server;
    ASSERT_GT(server.Port(), 0);
    std::string files = server.Url("/file" + (m_Dir / "www"));

    auto launcher = [&](const std::string& url, const std::string& name, bool ask) {
        stubpack::BuildRequest request;
        request.sImage = m_Dir / "image.exe";
        request.bDownload = true;
        request.sDownloadUrl = url;
        request.sDownloadName = name;
        request.sDownloadToken = "secret-7";
        request.nDownloadSize = 1048576;
        request.bAlwaysDownload = true;
        request.bAskDownload = ask;
        Build(request, m_Dir / "Launcher.exe");
        return m_Dir / "Launcher.exe";
    };
    Answers("Y\n");
    RunOutcome fetched = Start(launcher(files, "Real.exe", true));
    EXPECT_EQ(fetched.nExitCode, 7);
    EXPECT_NE(Record().find("/S\n/TH_ID=_4242"), std::string::npos);
    fs::remove(m_Dir / "record.txt");

    struct Case {
        const char* what;
        std::string url, name;
        const char* answers;
        int code;
    } cases[] = {
        {"declined", files, "Real.exe", "N\n", PKG_EXIT_DOWNLOAD_DECLINED},
        {"other token", files, "Other.exe", "Y\n", PKG_EXIT_BAD_TOKEN},
        {"404 page", files, "Missing.exe", "Y\n", PKG_EXIT_DOWNLOAD_FAILED},
        {"short transfer", server.Url("/short"), "5000", "Y\n", PKG_EXIT_DOWNLOAD_FAILED},
        {"error status", server.Url("/status"), "500", "Y\n", PKG_EXIT_DOWNLOAD_FAILED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Answers(c.answers);
        RunOutcome outcome = Start(launcher(c.url, c.name, true));
        EXPECT_EQ(outcome.nExitCode, c.code);
        EXPECT_FALSE(outcome.bStarted);
        EXPECT_FALSE(fs::exists(m_Dir / "record.txt"));
        EXPECT_FALSE(fs::exists(m_Facts.sFolder));
    }
}

} // namespace
