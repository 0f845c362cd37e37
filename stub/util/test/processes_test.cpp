// Starting programs, their pipes and exit codes, finding and messaging a
// running program by its path, and the version table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "peer_copy.h"
#include "platform/ipc.h"
#include "platform/messages.h"
#include "platform/process.h"
#include "util/processes.h"

namespace {

TEST(ProcessesTest, CommandLinesSplitWithTheWindowsRules) {
    struct Case {
        const char* line;
        std::vector<std::string> items;
    } cases[] = {
        {"prog a b", {"prog", "a", "b"}},
        {"  \"C:\\Program Files\\x.exe\"  /a=1  ", {"C:\\Program Files\\x.exe", "/a=1"}},
        {"p \"a b\" c", {"p", "a b", "c"}},
        {"p /OriginExe=\"C:\\a b\\s.exe\" /x", {"p", "/OriginExe=C:\\a b\\s.exe", "/x"}},
        {"p a\\\\\"b c\" d", {"p", "a\\b c", "d"}},
        {"p a\\\"b", {"p", "a\"b"}},
        {"p a\\b\\\\c", {"p", "a\\b\\\\c"}},
        {"p \"a\"\"b\"", {"p", "a\"b"}},
        {"p \"\"", {"p", ""}},
        {"c:\\dir\\prog\\ a", {"c:\\dir\\prog\\", "a"}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::split_command_line(c.line), c.items) << c.line;
}

TEST(ProcessesTest, ProgramsMatchByFullPathOrByBareName) {
    const std::string s(1, plat::kPathSeparator);
    const std::string running = s + "opt" + s + "a b" + s + "tool.exe";
    struct Case {
        std::string looked;
        bool fullPathOnly;
        bool match;
    } cases[] = {
        {running, true, true},
        {" \"" + running + "\" ", true, true},
        {"tool.exe", false, true},
        {"tool.exe", true, false},
        {s + "other" + s + "tool.exe", false, false},
        {"tool", false, false},
        {"", false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProgramMatches(running, c.looked, c.fullPathOnly), c.match) << c.looked;
    EXPECT_EQ(ProgramMatches(running, "TOOL.EXE", false), plat::kNamesIgnoreCase);
    EXPECT_EQ(QuoteProgram(" \"a b\\c.exe\" "), "\"a b\\c.exe\"");
    EXPECT_EQ(QuoteProgram("c.exe"), "c.exe");
}

TEST(ProcessesTest, MainWindowIsTheBestScoringOne) {
    // A hidden untitled window, then a visible titled one that owns a
    // dialog: the owner wins; among equals the first.
    const std::vector<plat::TopWindow> windows = {
        {10, 10, false, false},
        {20, 20, true, true},
        {30, 20, true, true},
    };
    EXPECT_EQ(WindowScore(windows, 0), 4);
    EXPECT_EQ(WindowScore(windows, 1), 11);
    EXPECT_EQ(WindowScore(windows, 2), 3);
    EXPECT_EQ(PickMainWindow(windows), 20u);
    EXPECT_EQ(PickMainWindow({{5, 5, false, false}, {6, 6, false, false}}), 5u);
    EXPECT_EQ(PickMainWindow({}), 0u);
}

TEST(ProcessesTest, VersionTable) {
    struct Case {
        std::uint32_t platform, major, minor, build;
        bool server, os64;
        const char* name;
        std::uint32_t code;
    } cases[] = {
        {0, 3, 1, 0, false, false, "32S", 0},
        {1, 4, 0, 950, false, false, "95", 1},
        {1, 4, 10, 2222, false, false, "98", 2},
        {1, 4, 10, 3000, false, false, "ME", 4},
        {1, 4, 90, 3000, false, false, "ME", 4},
        {2, 5, 1, 2600, false, false, "XP", 32},
        {2, 5, 2, 3790, false, true, "XP.64", 256},
        {2, 6, 0, 6002, true, false, "2008", 4096},
        {2, 6, 1, 7601, true, true, "2008R2.64", 16384},
        {2, 6, 1, 7601, false, false, "7", 1024},
        {2, 10, 0, 19045, false, true, "10.64", 4194304},
        {2, 11, 0, 1, false, false, "NTx", 8},
    };
    for (const Case& c : cases) {
        plat::OsVersion v;
        v.platform = c.platform;
        v.major = c.major;
        v.minor = c.minor;
        v.build = c.build;
        v.server = c.server;
        v.os64 = c.os64;
        const OsInfoResult r = OsInfoFor(v);
        EXPECT_EQ(r.name, c.name) << c.major << "." << c.minor;
        EXPECT_EQ(r.code, c.code) << c.name;
    }
    const OsInfoResult own = OsInfo();
    EXPECT_FALSE(own.name.empty());
    EXPECT_NE(own.version.find('.'), std::string::npos);
}

class RunningPeerTest : public stubtest::PeerCopyTest {};

struct Collected {
    std::string text;
    bool stopOnOutput = false;
};

void Collect(void* userData, const std::string& text, bool& stop) {
    auto* c = static_cast<Collected*>(userData);
    c->text += text;
    if (c->stopOnOutput && !text.empty())
        stop = true;
}

TEST_F(RunningPeerTest, RunWithPipesCollectsOutputAndExitCodes) {
    struct Case {
        std::string params;
        const char* out;
        const char* err;
        int code;
    } cases[] = {
        {"echo \"out text\" err", "out text", "err", 0},
        {"echo \"\" \"e r\" 7", "", "e r", 7},
        {"exit 0", "", "", 0},
#ifdef _WIN32
        // The code that means "still active" must not keep Stub waiting.
        {"exit 259", "", "", 259},
#endif
    };
    for (const Case& c : cases) {
        std::string out, err;
        int code = -1;
        Collected collected;
        EXPECT_EQ(RunWithPipes(m_peer, c.params, 0, Collect, &collected, 1, err, out, code),
                  c.code == 0)
            << c.params;
        EXPECT_EQ(out, c.out) << c.params;
        EXPECT_EQ(err, c.err) << c.params;
        EXPECT_EQ(code, c.code) << c.params;
        // Both streams reach the callback, in whatever order they came.
        EXPECT_EQ(collected.text.size(), out.size() + err.size()) << c.params;
        EXPECT_NE(collected.text.find(c.out), std::string::npos) << c.params;
        EXPECT_NE(collected.text.find(c.err), std::string::npos) << c.params;
    }
}

TEST_F(RunningPeerTest, RunWithPipesStopsTheChildOnRequest) {
    std::string out, err;
    int code = -1;
    Collected collected;
    collected.stopOnOutput = true;
    EXPECT_FALSE(RunWithPipes(m_peer, "chatter", 0, Collect, &collected, 0, err, out, code));
    EXPECT_EQ(out.substr(0, 4), "tick");
#ifdef _WIN32
    EXPECT_EQ(code, 255);
#else
    EXPECT_EQ(code, 128 + 9); // ended by SIGKILL
#endif
}

void Answer(void* userData, const std::string& text, bool&) {
    static_cast<Collected*>(userData)->text += text;
    if (text.find("name?") != std::string::npos)
        WriteToChildInput("Bob\n");
}

TEST_F(RunningPeerTest, RunWithPipesFeedsTheChildsInput) {
    std::string out, err;
    int code = -1;
    Collected collected;
    EXPECT_TRUE(RunWithPipes(m_peer, "prompt", 0, Answer, &collected, 0, err, out, code)) << err;
    EXPECT_NE(out.find("hello Bob"), std::string::npos) << out;
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(WriteToChildInput("late")); // only while the child runs
}

TEST_F(RunningPeerTest, RunWithPipesReportsStartFailures) {
    std::string out, err;
    int code = -1;
    Collected collected;
    EXPECT_FALSE(
        RunWithPipes(m_peer, std::string(40000, 'x'), 0, Collect, &collected, 0, err, out, code));
    EXPECT_EQ(code, 21);
    EXPECT_EQ(err, "Command line is too long");
    EXPECT_EQ(collected.text, "Command line is too long\r\n");

    const std::string missing = m_copyFolder + plat::kPathSeparator + "missing program";
    EXPECT_FALSE(RunWithPipes(missing, "a", 0, nullptr, nullptr, 0, err, out, code));
    EXPECT_EQ(code, 21);
    EXPECT_EQ(err.rfind("\"" + missing + "\" a --- ", 0), 0u) << err;
    EXPECT_GT(err.size(), missing.size() + 10);
}

const std::uint32_t kAsk = plat::MSG_USER + 1;
const std::uint32_t kAnswer = plat::MSG_USER + 2;
plat::WParam g_answer = 0;

plat::MsgResult AnswerProc(plat::WindowHandle w, std::uint32_t m, plat::WParam wp,
                           plat::LParam lp) {
    if (m == kAnswer) {
        g_answer = wp;
        plat::post_quit_message(1);
    }
    if (m == plat::MSG_TIMER)
        plat::post_quit_message(-1);
    return plat::default_window_proc(w, m, wp, lp);
}

TEST_F(RunningPeerTest, FindsPostsToAndClosesARunningProgram) {
    plat::ProcessHandle process;
    ASSERT_TRUE(StartProgram(QuoteProgram(m_peer) + " window StubTest.Running", 0, process));
    plat::WindowHandle main = 0;
    for (int i = 0; i < 500 && !main; ++i) {
        main = FindMainWindow(m_peer, true);
        if (!main)
            WaitProgram(process, 20);
    }
    ASSERT_NE(main, 0u);
    EXPECT_EQ(plat::window_process(main), process.id);
    EXPECT_TRUE(IsProcessRunning(m_peer));
    EXPECT_TRUE(IsProcessRunning("  \"" + m_peer + "\" "));
    EXPECT_FALSE(IsProcessRunning(m_peer + ".other"));
    EXPECT_EQ(FindMainWindow(m_copyFolder + plat::kPathSeparator + "other", false), 0u);

    plat::WindowParams params;
    params.className = "StubTest.Asker";
    params.proc = AnswerProc;
    const plat::WindowHandle own = plat::create_window(params);
    ASSERT_NE(own, 0u);
    ASSERT_TRUE(plat::set_timer(own, 1, 20000));
    ASSERT_TRUE(PostToProcess(m_peer, true, kAsk, static_cast<plat::WParam>(own), 21));
    EXPECT_EQ(plat::run_message_loop(own), 1);
    EXPECT_EQ(g_answer, 42u);
    plat::destroy_window(own);

    EXPECT_TRUE(CloseProcess(m_peer, true, 20000));
    EXPECT_FALSE(IsProcessRunning(m_peer));
    ASSERT_TRUE(WaitProgram(process, 20000));
    EXPECT_EQ(ProgramExitCode(process, -1), 0);
    plat::close_process(process);
    EXPECT_FALSE(PostToProcess(m_peer, true, kAsk, 0, 0));
}

TEST_F(RunningPeerTest, QuitAndTerminateByPath) {
    plat::ProcessHandle process;
    ASSERT_TRUE(StartProgram(QuoteProgram(m_peer) + " sleep 60000", 0, process));
    EXPECT_TRUE(IsProcessRunning(m_peer));
    EXPECT_FALSE(WaitProcessEnd(m_peer, 50));
    EXPECT_TRUE(TerminateProcessByPath(m_peer, true));
    ASSERT_TRUE(WaitProgram(process, 20000));
    EXPECT_TRUE(WaitProcessEnd(m_peer, 5000));
    plat::close_process(process);
    EXPECT_FALSE(TerminateProcessByPath(m_peer, true));

    ASSERT_TRUE(StartProgram(QuoteProgram(m_peer) + " window StubTest.Quit", 0, process));
    bool posted = false;
    for (int i = 0; i < 500 && !posted; ++i) {
        posted = QuitProcess(m_peer, true);
        if (!posted)
            WaitProgram(process, 20);
    }
    ASSERT_TRUE(posted);
    ASSERT_TRUE(WaitProgram(process, 20000));
    EXPECT_EQ(ProgramExitCode(process, -1), 15); // the quit code
    plat::close_process(process);
}

} // namespace
