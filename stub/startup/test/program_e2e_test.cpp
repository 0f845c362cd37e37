// The real program with real packages: each role started as a process, and
// the messages between Stub processes through their sockets.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../../platform/test/runtime_fixture.h"
#include "platform/clock.h"
#include "platform/ipc.h"
#include "platform/messages.h"
#include "startup/agent.h"
#include "startup/exitcodes.h"

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

int RunProcess(const std::vector<std::string>& args, const std::string* errors = nullptr) {
    std::string command;
    for (const std::string& a : args)
        command += "'" + a + "' ";
    if (errors)
        command += "2>'" + *errors + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class StubProgram : public stubtest::RuntimeFolderTest {
protected:
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        char tmpl[] = "/tmp/stub-program-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        std::ofstream(m_dir + "/english.txt") << "s0=Program test\n";
        g_reports.clear();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
        RuntimeFolderTest::TearDown();
    }

    std::string Package(const std::string& name, const std::vector<std::string>& options) {
        std::vector<std::string> args = {STUBPACK_EXE, "build",
                                         "--stub",     STUB_EXE,
                                         "-o",         m_dir + "/" + name,
                                         "--language", "English=" + m_dir + "/english.txt"};
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(RunProcess(args), 0);
        // The builder writes a plain file; a POSIX package is run as a program.
        fs::permissions(m_dir + "/" + name, fs::perms::owner_exec, fs::perm_options::add);
        return m_dir + "/" + name;
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
    const std::string err = m_dir + "/err.txt";
    setenv("STUB_DEBUG", "1", 1);
    EXPECT_EQ(RunProcess({setup, "/hide"}, &err), 0);
    unsetenv("STUB_DEBUG");
    const std::string lines = ReadAll(err);
    EXPECT_NE(lines.find(" ==== STUB START ====> "), std::string::npos) << lines;
    EXPECT_NE(lines.find(" ==== ThisIs_AutoUpdateProg=FALSE"), std::string::npos);
    EXPECT_NE(lines.find("- wm_Destroy -"), std::string::npos);
    EXPECT_NE(lines.find(" ==== STUB END ====> "), std::string::npos);
}

TEST_F(StubProgram, ProgramWithoutPackageFails) {
    EXPECT_EQ(RunProcess({STUB_EXE}), STUB_EXIT_NO_CONTAINER);
}

TEST_F(StubProgram, SecondInstanceOfOnePathDoesNothing) {
    const std::string setup = Package("setup", {});
    // This process holds the window class the package run would use.
    plat::WindowSpec spec;
    spec.className = setup;
    spec.proc = ListenerProc;
    const plat::WindowHandle holder = plat::create_window(spec);
    ASSERT_NE(holder, 0u);
    const std::string err = m_dir + "/err.txt";
    setenv("STUB_DEBUG", "1", 1);
    EXPECT_EQ(RunProcess({setup}, &err), 0);
    unsetenv("STUB_DEBUG");
    plat::destroy_window(holder);
    const std::string lines = ReadAll(err);
    EXPECT_NE(lines.find(" ==== STUB END ====> "), std::string::npos) << lines;
    EXPECT_EQ(lines.find("- wm_Destroy -"), std::string::npos) << "a second window ran";
}

TEST_F(StubProgram, PlainAgentStartsItsCopyAndForwardsSwitches) {
    const std::string tool = Package(
        "tool", {"--agent", "--agent-file", "tool", "--info-file", "tool.ini", "--run-log"});
    const std::string copy = m_dir + "/X_tool";
    const std::string copyClass = ".AutoUpdate.X_tool";

    plat::WindowSpec spec;
    spec.className = "stub-program-test-listener";
    spec.proc = ListenerProc;
    const plat::WindowHandle listener = plat::create_window(spec);
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

    // A setter through message 1125 lands in the settings file.
    ASSERT_TRUE(plat::post_message(agent, wm_AgentMsg, AC_SET_PROBE_INTERVAL, 3600));
    const std::string settings = m_dir + "/tool.original";
    EXPECT_TRUE(Await(
        [&] { return ReadAll(settings).find("ProbeSecondsInterval=3600") != std::string::npos; }));

    // A second start reuses the copy; its stop request ends it.
    EXPECT_EQ(RunProcess({tool, "/STOP=0"}), 0);
    EXPECT_TRUE(Await([&] { return plat::find_window(copyClass) == 0; })) << "copy still runs";
    ASSERT_TRUE(Await([&] { return g_reports.size() >= 3; }));
    EXPECT_EQ(g_reports[2].code, 43u);
    plat::destroy_window(listener);

    const std::string log = ReadAll(m_dir + "/X_tool.log");
    EXPECT_NE(log.find("   CreateAndRun_X_Exe() --- Start"), std::string::npos) << log;
    EXPECT_NE(log.find("   WinExec: " + copy + " /SleepX=5"), std::string::npos) << log;
    EXPECT_NE(log.find(" X WinMain"), std::string::npos) << log;
    EXPECT_NE(log.find("   PostProcessMessage(wm_ShutDown) to: " + copy), std::string::npos);
    EXPECT_NE(log.find(" X .. DestroyMainWindow() - Start"), std::string::npos);
}

TEST_F(StubProgram, MessageToAnAgentCopyThatCannotBeMadeIsReported) {
    const std::string tool = Package("tool", {"--agent", "--agent-file", "tool", "--run-log"});
    // A folder in the copy's place: the copy cannot be written.
    fs::create_directory(m_dir + "/X_tool");
    EXPECT_EQ(RunProcess({tool, "/STOP=1"}), STUB_EXIT_COPY_FAILED);
    EXPECT_NE(ReadAll(m_dir + "/X_tool.log").find("Create X_ File failed"), std::string::npos);
}

} // namespace
