// The real program with real packages: each role started as a process, and
// the messages between Stub processes through their sockets.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ExtractPackage.h"
#ifndef _WIN32
#include "LoopbackServer.h"
#endif
#include "platform/clock.h"
#include "platform/ipc.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "runtime_fixture.h"
#include "startup/agent.h"
#include "startup/exitcodes.h"
#include "startup/mainwindow.h"

namespace fs = std::filesystem;

namespace {

struct Report {
    plat::WParam code;
    plat::LParam value;
};
std::vector<Report> g_reports;
const std::uint32_t kReportMsg = plat::MSG_USER + 300;

plat::MsgResult ListenerProc(plat::WindowHandle w, std::uint32_t m, plat::WParam wp,
                             plat::LParam lp) {
    if (m == kReportMsg)
        g_reports.push_back({wp, lp});
    return plat::default_window_proc(w, m, wp, lp);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

#ifdef _WIN32
const char kExe[] = ".exe";

// The build gives Unix paths; Wine finds them on drive Z:.
std::string NativePath(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return (!p.empty() && p[0] == '\\') ? "Z:" + p : p;
}

// Diagnostic lines reach the ".HDebug." viewer: this test is one.
std::string g_diagnostics;
plat::MsgResult ViewerProc(plat::WindowHandle w, std::uint32_t m, plat::WParam wp,
                           plat::LParam lp) {
    if (m == plat::register_window_message(".H_DebugMsg.") && wp == 1)
        g_diagnostics += plat::global_atom_name(static_cast<std::uint16_t>(lp));
    return plat::default_window_proc(w, m, wp, lp);
}

class DiagnosticCapture {
public:
    explicit DiagnosticCapture(const std::string&) {
        g_diagnostics.clear();
        plat::WindowParams params;
        params.className = ".HDebug.";
        params.proc = ViewerProc;
        m_viewer = plat::create_window(params);
    }
    ~DiagnosticCapture() {
        plat::destroy_window(m_viewer);
        // Other tests register the viewer class with a procedure of their own.
        UnregisterClassA(".HDebug.", GetModuleHandleA(nullptr));
    }
    const std::string* Target() const { return nullptr; }
    std::string Text() const { return g_diagnostics; }

private:
    plat::WindowHandle m_viewer = 0;
};

// Waits for the process while serving messages: the program sends its
// diagnostic lines to this process's viewer window.
int RunProcess(const std::vector<std::string>& args, const std::string* = nullptr) {
    std::string command;
    for (const std::string& a : args)
        command += "\"" + a + "\" ";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    const std::uint64_t start = plat::monotonic_ms();
    while (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           plat::monotonic_ms() - start < 60000)
        plat::pump_messages();
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}
#else
const char kExe[] = "";

std::string NativePath(const std::string& path) {
    return path;
}

// Diagnostic lines go to standard error while STUB_DEBUG is set.
class DiagnosticCapture {
public:
    explicit DiagnosticCapture(const std::string& file) : m_file(file) {
        setenv("STUB_DEBUG", "1", 1);
    }
    ~DiagnosticCapture() { unsetenv("STUB_DEBUG"); }
    const std::string* Target() const { return &m_file; }
    std::string Text() const { return ReadAll(m_file); }

private:
    std::string m_file;
};

int RunProcess(const std::vector<std::string>& args, const std::string* errors = nullptr) {
    std::string command;
    for (const std::string& a : args)
        command += "'" + a + "' ";
    if (errors)
        command += "2>'" + *errors + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

class StubProgram : public stubtest::RuntimeFolderTest {
protected:
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        static int serial = 0;
        m_dir = NativePath((fs::temp_directory_path() /
                            ("stub-program-test-" + std::to_string(plat::monotonic_ms()) + "-" +
                             std::to_string(++serial)))
                               .string());
        ASSERT_TRUE(fs::create_directory(m_dir));
        std::ofstream(Path("english.txt")) << "s0=Program test\n";
        g_reports.clear();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
        RuntimeFolderTest::TearDown();
    }

    std::string Package(const std::string& name, const std::vector<std::string>& options) {
        const std::string path = Path(name + kExe);
        std::vector<std::string> args = {NativePath(STUBPACK_EXE),
                                         "build",
                                         "--stub",
                                         NativePath(STUB_EXE),
                                         "-o",
                                         path,
                                         "--language",
                                         "English=" + Path("english.txt")};
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(RunProcess(args), 0);
#ifndef _WIN32
        // The builder writes a plain file; a POSIX package is run as a program.
        fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);
#endif
        return path;
    }

    std::string Path(const std::string& name) const {
        return (fs::path(m_dir) / name).string();
    }

    // Pumps this process's messages until done() or the bound.
    template <typename Done> bool Await(Done done, std::uint32_t ms = 8000) {
        const std::uint64_t start = plat::monotonic_ms();
        while (!done()) {
            if (plat::monotonic_ms() - start > ms)
                return false;
            plat::pump_messages();
            plat::sleep_ms(20);
        }
        return true;
    }

    std::string m_dir;
};

TEST_F(StubProgram, PackageRunEndsAfterItsFirstTick) {
    const std::string setup = Package("setup", {});
    std::string lines;
    {
        const DiagnosticCapture capture(Path("err.txt"));
        // A package without files names no main program: nothing is started.
        EXPECT_EQ(RunProcess({setup, "/hide"}, capture.Target()),
                  container::PKG_EXIT_NO_MAIN_PROGRAM);
        lines = capture.Text();
    }
    EXPECT_NE(lines.find(" ==== STUB START ====> "), std::string::npos) << lines;
    EXPECT_NE(lines.find(" ==== ThisIs_AutoUpdateProg=FALSE"), std::string::npos);
    EXPECT_NE(lines.find("- wm_Destroy -"), std::string::npos);
    EXPECT_NE(lines.find(" ==== STUB END ====> "), std::string::npos);
}

TEST_F(StubProgram, ProgramWithoutPackageFails) {
    EXPECT_EQ(RunProcess({NativePath(STUB_EXE)}), STUB_EXIT_NO_CONTAINER);
}

TEST_F(StubProgram, SecondInstanceOfOnePathDoesNothing) {
    const std::string setup = Package("setup", {});
    // This process holds the window class the package run would use.
    plat::WindowParams params;
    params.className = setup;
    params.proc = ListenerProc;
    const plat::WindowHandle holder = plat::create_window(params);
    ASSERT_NE(holder, 0u);
    std::string lines;
    {
        const DiagnosticCapture capture(Path("err.txt"));
        EXPECT_EQ(RunProcess({setup}, capture.Target()), 0);
        lines = capture.Text();
    }
    plat::destroy_window(holder);
    EXPECT_NE(lines.find(" ==== STUB END ====> "), std::string::npos) << lines;
    EXPECT_EQ(lines.find("- wm_Destroy -"), std::string::npos) << "a second window ran";
}

TEST_F(StubProgram, PlainAgentStartsItsCopyAndForwardsSwitches) {
    const std::string tool = Package("tool", {"--agent", "--agent-file", std::string("tool") + kExe,
                                              "--info-file", "tool.ini", "--run-log"});
    const std::string copy = Path(std::string("X_tool") + kExe);
    const std::string copyClass = ".AutoUpdate.X_tool";

    plat::WindowParams params;
    params.className = "stub-program-test-listener";
    params.proc = ListenerProc;
    const plat::WindowHandle listener = plat::create_window(params);
    ASSERT_NE(listener, 0u);

    // The first start makes the copy and hands it the listener.
    const std::string wmMsg =
        "/WM_MSG=" + std::to_string(listener) + ":" + std::to_string(kReportMsg);
    EXPECT_EQ(RunProcess({tool, wmMsg, "/DELAY=5"}), 0);
    EXPECT_TRUE(fs::exists(copy));
    ASSERT_TRUE(Await([&] { return g_reports.size() >= 2; })) << "no listener reports";
    EXPECT_EQ(g_reports[0].code, 50u);
    const plat::WindowHandle agent = plat::find_window(copyClass);
    ASSERT_NE(agent, 0u);
    EXPECT_EQ(static_cast<plat::WindowHandle>(g_reports[0].value), agent);
    EXPECT_EQ(g_reports[1].code, 51u);
    EXPECT_EQ(g_reports[1].value, 1125);
#ifdef _WIN32
    // The agent's window as another process sees it: hidden, centred, its
    // title from the package, the three children in their places.
    HWND hwnd = reinterpret_cast<HWND>(agent);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    RECT frame{};
    GetWindowRect(hwnd, &frame);
    const plat::Rect want = CentredFrame(plat::work_area());
    EXPECT_EQ(frame.left, want.x);
    EXPECT_EQ(frame.top, want.y);
    EXPECT_EQ(frame.right - frame.left, 492);
    EXPECT_EQ(frame.bottom - frame.top, 110);
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    EXPECT_STREQ(title, "Program test");
    plat::WindowInfo info;
    ASSERT_TRUE(plat::describe_window(agent, info));
    ASSERT_EQ(info.children.size(), 3u);
    EXPECT_EQ(info.children[0].className, "Static");
    EXPECT_EQ(info.children[0].rect.x, 70);
    EXPECT_EQ(info.children[1].className, "msctls_progress32");
    EXPECT_EQ(info.children[1].rect.y, 38);
    EXPECT_EQ(info.children[2].rect.x, 416);
    EXPECT_EQ(info.children[2].style & 0x10000000u, 0u);
#endif

    // A setter through message 1125 lands in the settings file.
    ASSERT_TRUE(plat::post_message(agent, wm_AgentMsg, AC_SET_PROBE_INTERVAL, 3600));
    const std::string settings = Path("tool.original");
    EXPECT_TRUE(Await(
        [&] { return ReadAll(settings).find("ProbeSecondsInterval=3600") != std::string::npos; }));

    // A second start reuses the copy; its stop request ends it.
    EXPECT_EQ(RunProcess({tool, "/STOP=0"}), 0);
    EXPECT_TRUE(Await([&] { return plat::find_window(copyClass) == 0; })) << "copy still runs";
    ASSERT_TRUE(Await([&] { return g_reports.size() >= 3; }));
    EXPECT_EQ(g_reports[2].code, 43u);
    plat::destroy_window(listener);

    const std::string log = ReadAll(Path("X_tool.log"));
    EXPECT_NE(log.find("   CreateAndRun_X_Exe() --- Start"), std::string::npos) << log;
    EXPECT_NE(log.find("   WinExec: " + copy + " /SleepX=5"), std::string::npos) << log;
    EXPECT_NE(log.find(" X WinMain"), std::string::npos) << log;
    EXPECT_NE(log.find("   PostProcessMessage(wm_ShutDown) to: " + copy), std::string::npos);
    EXPECT_NE(log.find(" X .. DestroyMainWindow() - Start"), std::string::npos);
}

TEST_F(StubProgram, PlainAgentReplacesItsRunningCopyOnRequest) {
    const std::string tool =
        Package("tool", {"--agent", "--agent-file", std::string("tool") + kExe, "--run-log"});
    const std::string copyClass = ".AutoUpdate.X_tool";
    EXPECT_EQ(RunProcess({tool}), 0);
    plat::WindowHandle first = 0;
    ASSERT_TRUE(Await([&] { return (first = plat::find_window(copyClass)) != 0; }));

    // The running copy is asked to end and replaced by a new one.
    EXPECT_EQ(RunProcess({tool, "/_ZZ=99"}), 0);
    plat::WindowHandle second = 0;
    EXPECT_TRUE(Await([&] {
        second = plat::find_window(copyClass);
        return second != 0 && second != first;
    }));
    EXPECT_FALSE(plat::is_window(first));

    EXPECT_EQ(RunProcess({tool, "/STOP=0"}), 0);
    EXPECT_TRUE(Await([&] { return plat::find_window(copyClass) == 0; }));
    // The copy removes its own file once it has ended.
    EXPECT_TRUE(Await([&] { return !fs::exists(Path(std::string("X_tool") + kExe)); }));
    const std::string log = ReadAll(Path("X_tool.log"));
    EXPECT_NE(log.find("   ThisIs_Plain_AutoUpdate_Exe=TRUE"), std::string::npos) << log;
    // The version comes from the program's version data (a resource on
    // Windows, a marked text in the ELF file).
    EXPECT_NE(log.find("   Agent Version=1.0.0.1\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" X DeleteMySelf"), std::string::npos) << log;
}

TEST_F(StubProgram, MessageToAnAgentCopyThatCannotBeMadeIsReported) {
    const std::string tool =
        Package("tool", {"--agent", "--agent-file", std::string("tool") + kExe, "--run-log"});
    // A folder in the copy's place: the copy cannot be written.
    fs::create_directory(Path(std::string("X_tool") + kExe));
    EXPECT_EQ(RunProcess({tool, "/STOP=1"}), STUB_EXIT_COPY_FAILED);
    EXPECT_NE(ReadAll(Path("X_tool.log")).find("Create X_ File failed"), std::string::npos);
}

#ifndef _WIN32
TEST_F(StubProgram, AgentCopyProbesDownloadsAndChecksAnUpdate) {
    LoopbackServer server;
    ASSERT_GT(server.Port(), 0);
    fs::create_directory(Path("server"));
    const std::string base = server.Url("/file" + Path("server"));
    const std::vector<std::string> common = {"--update-url", base,   "--info-file", "tool.ini",
                                             "--agent-file", "tool", "--token",     "fam-1"};
    std::vector<std::string> agentOptions = {"--agent", "--run-log"};
    agentOptions.insert(agentOptions.end(), common.begin(), common.end());
    const std::string tool = Package("tool", agentOptions);
    const std::string update = Package("server/update", common);

    std::ofstream(Path("server/tool.ini"))
        << "[NewSetup]\nDownloadURL_UPDATE=" << base
        << "\nNameOfUpdateFile=update\nSizeOfUpdateFile=" << fs::file_size(update)
        << "\nVersionNew=5\nStamp=7\nShutDownMethod=Don't Shut Down\n";
    std::ofstream(Path("tool.original"))
        << "[OriginalSetup]\nProbeSecondsInterval=0\nVersionOriginal=4\nStamp=6\n";

    plat::WindowParams params;
    params.className = "stub-program-test-listener";
    params.proc = ListenerProc;
    const plat::WindowHandle listener = plat::create_window(params);
    ASSERT_NE(listener, 0u);
    const std::string wmMsg =
        "/WM_MSG=" + std::to_string(listener) + ":" + std::to_string(kReportMsg);
    // "/DELAY=0" gives the copy "/SleepX=0": it probes on its first tick.
    EXPECT_EQ(RunProcess({tool, wmMsg, "/DELAY=0"}), 0);
    auto reported = [&](plat::WParam code, plat::LParam value) {
        for (const Report& r : g_reports)
            if (r.code == code && r.value == value)
                return true;
        return false;
    };
    EXPECT_TRUE(Await([&] { return reported(42, 2); }, 20000)) << "no install step";
    for (plat::WParam code : {40u, 41u, 42u})
        EXPECT_TRUE(reported(code, 1) && reported(code, 2)) << code;

    EXPECT_EQ(RunProcess({tool, "/STOP=0"}), 0);
    EXPECT_TRUE(Await([&] { return plat::find_window(".AutoUpdate.X_tool") == 0; }));
    plat::destroy_window(listener);

    const std::string log = ReadAll(Path("X_tool.log"));
    EXPECT_NE(log.find("GetOkToPerformAU = 6 - OK"), std::string::npos) << log;
    EXPECT_NE(log.find("Download START: " + base + "/update"), std::string::npos) << log;
    // The probe time is recorded with its readable copy; the downloaded
    // package is gone after the install step.
    const std::string original = ReadAll(Path("tool.original"));
    EXPECT_NE(original.find("__ProbeSecondsLast="), std::string::npos) << original;
    EXPECT_FALSE(fs::exists(Path("update")));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The whole install: the running product is ended, the update package's
// installer runs and removes the shared atom, the new version is recorded,
// and the product and the agent start again.
TEST_F(StubProgram, AgentCopyInstallsAnUpdateAndRestartsTheProductAndItself) {
    LoopbackServer server;
    ASSERT_GT(server.Port(), 0);
    fs::create_directory(Path("server"));
    const std::string base = server.Url("/file" + Path("server"));
    const std::vector<std::string> common = {"--update-url", base,   "--info-file", "tool.ini",
                                             "--agent-file", "tool", "--token",     "fam-1"};
    std::vector<std::string> agentOptions = {"--agent", "--run-log"};
    agentOptions.insert(agentOptions.end(), common.begin(), common.end());
    const std::string tool = Package("tool", agentOptions);
    std::vector<std::string> updateOptions = common;
    for (const std::string& o :
         {std::string("--main"), std::string(RECORDER_EXE), std::string("--name"),
          std::string("install"), std::string("--params"), "/record=" + Path("install.txt")})
        updateOptions.push_back(o);
    const std::string update = Package("server/update", updateOptions);

    // The product: a copy of the recorder, so that it is found by its path.
    const std::string product = Path("product");
    fs::copy_file(RECORDER_EXE, product);
    const pid_t productPid = fork();
    ASSERT_GE(productPid, 0);
    if (productPid == 0) {
        execl(product.c_str(), product.c_str(), "/stay", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_TRUE(Await([&] { return !ReadAll(product + ".txt").empty(); }));

    std::ofstream(Path("server/tool.ini"))
        << "[NewSetup]\nDownloadURL_UPDATE=" << base
        << "\nNameOfUpdateFile=update\nSizeOfUpdateFile=" << fs::file_size(update)
        << "\nVersionNew=5\nStamp=7\nRunningProcess=" << product
        << "\nShutDownMethod=Using Terminate Process\nRestartProcess=1\n";
    std::ofstream(Path("tool.original"))
        << "[OriginalSetup]\nProbeSecondsInterval=0\nVersionOriginal=4\nStamp=6\n";

    const std::string copyClass = ".AutoUpdate.X_tool";
    EXPECT_EQ(RunProcess({tool, "/DELAY=0"}), 0);
    plat::WindowHandle first = 0;
    ASSERT_TRUE(Await([&] { return (first = plat::find_window(copyClass)) != 0; }));
    // The product ended by the agent is reaped here; then it runs again.
    int status = 0;
    EXPECT_EQ(waitpid(productPid, &status, 0), productPid);
    EXPECT_TRUE(Await([&] { return Lines(ReadAll(product + ".txt")).size() >= 2; }, 20000))
        << ReadAll(Path("X_tool.log"));
    plat::WindowHandle second = 0;
    EXPECT_TRUE(Await(
        [&] {
            second = plat::find_window(copyClass);
            return second != 0 && second != first;
        },
        30000))
        << "the agent did not start again";

    EXPECT_EQ(RunProcess({tool, "/STOP=0"}), 0);
    EXPECT_TRUE(Await([&] { return plat::find_window(copyClass) == 0; }));

    EXPECT_EQ(Lines(ReadAll(product + ".txt")), (std::vector<std::string>{"/stay", ""}));
    const std::string install = ReadAll(Path("install.txt"));
    EXPECT_EQ(install.rfind("/OriginalInfoFile=", 0), 0u) << install;
    EXPECT_NE(install.find(Path("tool.ini")), std::string::npos) << install;
    EXPECT_NE(install.find("/TH_ID=_"), std::string::npos) << install;
    const std::string original = ReadAll(Path("tool.original"));
    EXPECT_NE(original.find("VersionOriginal=5"), std::string::npos) << original;
    EXPECT_NE(original.find("Stamp=7"), std::string::npos) << original;
    EXPECT_FALSE(fs::exists(Path("update")));
    const std::string log = ReadAll(Path("X_tool.log"));
    EXPECT_NE(log.find("PerformAutoUpdate() - END    Result=TRUE"), std::string::npos) << log;
    // The plain agent starts again; it makes the new copy after its wait.
    EXPECT_NE(log.find(".. WinExec - \"" + tool + "\" /_ZZ=99 /WAIT=10"), std::string::npos) << log;
}
#endif

} // namespace
