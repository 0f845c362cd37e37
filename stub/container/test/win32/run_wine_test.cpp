// Whole package runs on Windows (under Wine in CI): real files, the main
// program started as a process, a download from the loopback server. The
// main program is this test program itself under the name Setup.exe: it
// records how it was started and ends with exit code 7. Boxes a run raises
// are closed by the test (BoxCloser).
#include "../../../update/test/LoopbackServer.h"
#include "../TestFiles.h"
#include "PackageWriter.h"
#include "PlatformRun.h"
#include "util/services.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <vector>
#include <windows.h>

using namespace container;
namespace fs = std::filesystem;

namespace {

const char kRecordVariable[] = "STUB_TEST_RECORD";

std::string ModulePath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n < MAX_PATH ? n : 0);
}

// Started as a package's main program: record the command line, the
// program's stamp and the files beside it, and end before any test runs.
struct Recorder {
    Recorder() {
        char target[MAX_PATH];
        DWORD n = GetEnvironmentVariableA(kRecordVariable, target, MAX_PATH);
        std::string self = ModulePath();
        if (n == 0 || n >= MAX_PATH || self.size() < 10 ||
            _stricmp(self.c_str() + self.size() - 10, "\\Setup.exe") != 0)
            return;
        std::string folder = self.substr(0, self.size() - 10);
        std::string text = std::string(GetCommandLineA()) + "\n--\n";
        WIN32_FILE_ATTRIBUTE_DATA data;
        FILETIME local;
        WORD date = 0, time = 0;
        if (GetFileAttributesExA(self.c_str(), GetFileExInfoStandard, &data) &&
            FileTimeToLocalFileTime(&data.ftLastWriteTime, &local))
            FileTimeToDosDateTime(&local, &date, &time);
        text += std::to_string((std::uint32_t(date) << 16) | time) + "\n";
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do
                if (found.cFileName[0] != '.')
                    names.push_back(found.cFileName);
            while (FindNextFileA(find, &found));
            FindClose(find);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            text += name + "\n";
        WriteFile(target, text);
        ExitProcess(7);
    }
} g_Recorder;

// Closes every message box of the process while it lives, as a user who
// dismisses them would; counts them.
class BoxCloser {
public:
    BoxCloser() { m_hThread = CreateThread(nullptr, 0, &BoxCloser::Loop, this, 0, nullptr); }
    ~BoxCloser() {
        m_bStop = true;
        if (m_hThread) {
            WaitForSingleObject(m_hThread, INFINITE);
            CloseHandle(m_hThread);
        }
    }
    int Closed() const { return m_nClosed; }

private:
    static DWORD WINAPI Loop(void* self) {
        BoxCloser& closer = *static_cast<BoxCloser*>(self);
        while (!closer.m_bStop) {
            HWND box = FindWindowA("HMsgBox", nullptr);
            if (box) {
                PostMessageA(box, WM_CLOSE, 0, 0);
                // That box must be gone before another one counts.
                for (int i = 0; i < 200 && IsWindow(box); ++i)
                    Sleep(10);
                ++closer.m_nClosed;
            }
            Sleep(20);
        }
        return 0;
    }

    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nClosed{0};
    HANDLE m_hThread = nullptr;
};

class TestRunServices : public PlatformRunServices {
public:
    using PlatformRunServices::PlatformRunServices;
    std::string ThreadTag() override { return "_4242"; }
};

class WineRun : public ::testing::Test {
protected:
    WineRun() {
        WriteFile(m_Dir / "image.exe", std::string(4000, 'I'));
        WriteFile(m_Dir / "data.txt", "data");
        m_Facts.sFolder = m_Dir / "extract";
        m_Facts.sArguments = "/lang=en";
        m_Facts.pSaveErrors = &m_nSaveErrors;
        SetEnvironmentVariableA(kRecordVariable, (m_Dir / "record.txt").c_str());
    }
    ~WineRun() override {
        SetEnvironmentVariableA(kRecordVariable, nullptr);
        // A spanned run switches the AutoPlay answer on for the process.
        SetAutoPlayCancel(false);
    }

    stubpack::BuildRequest Request() {
        stubpack::BuildRequest request;
        request.sImage = m_Dir / "image.exe";
        stubpack::PackFile main;
        main.sSource = ModulePath();
        main.sName = "Setup.exe";
        main.bMain = true;
        main.sParams = "/S";
        main.nStamp = stubpack::DosStamp(2020, 2, 28, 23, 59, 58);
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
    std::string Setup() const { return m_Facts.sFolder + "\\Setup.exe"; }

    ScratchFolder m_Dir;
    RunFacts m_Facts;
    unsigned m_nSaveErrors = 0;
};

TEST_F(WineRun, UnpacksStartsTheMainProgramAndCleansUp) {
    Build(Request(), m_Dir / "Product.exe");
    RunOutcome outcome = Start(m_Dir / "Product.exe");
    EXPECT_TRUE(outcome.bStarted);
    EXPECT_EQ(outcome.nExitCode, 7);
    EXPECT_EQ(Record(), "\"" + Setup() + "\" /lang=en /S /TH_ID=_4242 /OriginExe=\"" +
                            m_Facts.sProgramPath + "\"\n--\n" +
                            std::to_string(stubpack::DosStamp(2020, 2, 28, 23, 59, 58)) +
                            "\nSetup.exe\ndata.txt\n");
    EXPECT_FALSE(fs::exists(m_Facts.sFolder));
}

TEST_F(WineRun, QuietSpannedRunLosesTheSpanSwitches) {
    stubpack::BuildRequest request = Request();
    request.bQuiet = true;
    request.nPieceSize = 400000; // the main program alone fills several pieces
    request.nBlockSize = 65536;
    std::vector<std::string> pieces = Build(request, m_Dir / "Product.exe");
    ASSERT_GE(pieces.size(), 2u);
    m_Facts.sFirstDisk = pieces[0];
    m_Facts.sArguments = "/SpanCdLvl=2 /lang=en /SpanDiskFName1=" + pieces[0] + " /x";
    RunOutcome outcome = Start(m_Dir / "copy.exe");
    EXPECT_EQ(outcome.nExitCode, 7);
    std::string record = Record();
    EXPECT_EQ(record.find("Span"), std::string::npos) << record;
    EXPECT_EQ(record.rfind("\"" + Setup() + "\" /lang=en /x /S /TH_ID=_4242 /OriginExe=", 0), 0u)
        << record;
}

TEST_F(WineRun, PackagesThatNameNoProgramStartNothingAndLeaveNothing) {
    stubpack::BuildRequest request = Request();
    request.files.front().bMain = false;
    Build(request, m_Dir / "NoMain.exe");
    RunOutcome outcome = Start(m_Dir / "NoMain.exe");
    EXPECT_EQ(outcome.nExitCode, PKG_EXIT_NO_MAIN_PROGRAM);
    EXPECT_FALSE(outcome.bStarted);
    EXPECT_FALSE(fs::exists(m_Dir / "record.txt"));
    EXPECT_FALSE(fs::exists(m_Facts.sFolder));
}

TEST_F(WineRun, RefusedPackagesShowTheirBoxStartNothingAndLeaveNothing) {
    // A stream name that climbs out of the folder.
    std::string stream = "|..\\escape.exe|0|" + std::string(1, '\0') + "x";
    std::string trailer(74, '\0');
    trailer[0] = 1;
    trailer[1] = 2;
    trailer.replace(4, 4, U32(300));
    trailer.replace(8, 4, U32(1));
    trailer.replace(12, 4, U32(0x4A3B2C1D));
    trailer.replace(16, 4, U32(1234));
    trailer.replace(70, 4, U32(74));
    WriteFile(m_Dir / "Evil.exe",
              std::string(300, 'I') + U32(0) + U32(0) +
                  U32(static_cast<std::uint32_t>(-static_cast<std::int32_t>(stream.size()))) +
                  stream + trailer);
    // A small package whose stored check sum is wrong.
    stubpack::BuildRequest small;
    small.sImage = m_Dir / "image.exe";
    small.files = {Request().files.back()};
    Build(small, m_Dir / "Small.exe");
    std::string data = ReadFile(m_Dir / "Small.exe");
    data.replace(data.size() - 74 + 16, 4, U32(5));
    WriteFile(m_Dir / "Small.exe", data);

    const std::pair<const char*, int> cases[] = {{"Evil.exe", PKG_EXIT_UNSAFE_NAME},
                                                 {"Small.exe", PKG_EXIT_BAD_CHECKSUM}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        BoxCloser closer;
        RunOutcome outcome = Start(m_Dir / c.first);
        EXPECT_EQ(outcome.nExitCode, c.second);
        EXPECT_FALSE(outcome.bStarted);
        EXPECT_EQ(closer.Closed(), 1);
        EXPECT_FALSE(fs::exists(m_Dir / "record.txt"));
        EXPECT_FALSE(fs::exists(m_Dir / "escape.exe"));
        EXPECT_FALSE(fs::exists(m_Facts.sFolder));
    }
}

TEST_F(WineRun, DownloadModeFetchesTheRealPackageFromTheServer) {
    LoopbackServer server;
    ASSERT_GT(server.Port(), 0);
    // The server reads the Unix side of drive Z:.
    char unique[32];
    std::snprintf(unique, sizeof unique, "%lu", GetCurrentProcessId());
    std::string www = std::string("Z:\\tmp\\stub-wine-run-") + unique;
    fs::create_directories(www);
    stubpack::BuildRequest real = Request();
    real.bDownload = true;
    real.sDownloadToken = "secret-7";
    Build(real, www + "\\Real.exe");

    stubpack::BuildRequest launcher;
    launcher.sImage = m_Dir / "image.exe";
    launcher.bDownload = true;
    launcher.sDownloadUrl = server.Url("/file/tmp/stub-wine-run-" + std::string(unique));
    launcher.sDownloadName = "Real.exe";
    launcher.sDownloadToken = "secret-7";
    launcher.bAlwaysDownload = true;
    Build(launcher, m_Dir / "Launcher.exe");
    RunOutcome outcome = Start(m_Dir / "Launcher.exe");
    std::error_code ec;
    fs::remove_all(www, ec);
    EXPECT_EQ(outcome.nExitCode, 7);
    EXPECT_NE(Record().find(" /S /TH_ID=_4242 /OriginExe="), std::string::npos) << Record();
    EXPECT_FALSE(fs::exists(m_Facts.sFolder));
}

} // namespace
