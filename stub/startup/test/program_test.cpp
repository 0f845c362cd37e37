// The start of each role with the system replaced by a scripted fake: which
// copies are made and started, what is forwarded, and the exit codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "platform/files.h"
#include "startup/agent.h"
#include "startup/exitcodes.h"
#include "startup/program.h"
#include "startup/runlog.h"

namespace {

const std::string kCopyClass = ".AutoUpdate.X_tool";

struct Posted {
    plat::WindowHandle w;
    std::uint32_t msg;
    plat::WParam wp;
    plat::LParam lp;
};

class FakeServices : public StartupServices {
public:
    // Windows that exist, by class.
    std::set<std::string> windows;
    std::set<std::string> files;
    bool copyOk = true;
    bool startOk = true;
    // After a start, the copy's window appears this many ms later (-1: never).
    int copyWindowAfterMs = 400;
    // The running copy ends when asked to close (else it hangs on).
    bool copyEndsOnClose = true;
    bool windowOk = true;

    std::uint64_t now = 0;
    std::uint64_t startedAt = 0;
    bool started = false;
    std::vector<std::pair<std::string, std::string>> copies;
    std::vector<std::pair<std::string, std::string>> starts;
    std::vector<Posted> posts;
    std::vector<std::string> ranWindows;
    std::vector<bool> deletes;
    std::string overrides;
    bool testModeChecked = false;

    bool CopyProgram(const std::string& from, const std::string& to) override {
        if (!copyOk)
            return false;
        copies.emplace_back(from, to);
        files.insert(to);
        return true;
    }
    bool StartHidden(const std::string& program, const std::string& params) override {
        if (!startOk)
            return false;
        starts.emplace_back(program, params);
        started = true;
        startedAt = now;
        return true;
    }
    bool IsProcessRunning(const std::string&) override { return windows.count(kCopyClass) > 0; }
    bool FileExists(const std::string& path) override { return files.count(path) > 0; }
    plat::WindowHandle FindWindow(const std::string& cls) override {
        if (cls == kCopyClass && started && copyWindowAfterMs >= 0 &&
            now >= startedAt + static_cast<std::uint64_t>(copyWindowAfterMs))
            windows.insert(cls);
        return windows.count(cls) ? 0x500 + windows.count(cls) : 0;
    }
    bool Post(plat::WindowHandle w, std::uint32_t msg, plat::WParam wp, plat::LParam lp) override {
        posts.push_back({w, msg, wp, lp});
        if (msg == plat::MSG_CLOSE && copyEndsOnClose && CountPosts(plat::MSG_CLOSE) == 2) {
            windows.erase(kCopyClass);
            files.erase(copyPath);
        }
        return true;
    }
    void Wait(std::uint32_t ms) override { now += ms; }
    std::uint64_t Clock() override { return now; }
    std::string ExtractionFolder() override { return "/tmp/SETUP_77"; }
    void DeleteMySelf(bool folder) override { deletes.push_back(folder); }
    void CheckTestMode() override { testModeChecked = true; }
    bool RunWindow(const std::string& cls) override {
        ranWindows.push_back(cls);
        return windowOk;
    }
    int PackageExitCode() override { return 17; }
    void SetOverrides(const std::string& list) override { overrides = list; }

    int CountPosts(std::uint32_t msg) const {
        int n = 0;
        for (const Posted& p : posts)
            n += p.msg == msg;
        return n;
    }

    std::string copyPath = "/apps/X_tool";
};

StartupFacts AgentFacts(const std::string& args, const std::string& program = "/apps/tool") {
    StartupFacts f;
    f.sProgramPath = program;
    f.sArgs = args;
    f.bContainer = true;
    f.bAgent = true;
    f.sAgentName = "tool";
    return f;
}

TEST(PackageRun, RunsItsWindowAndPassesTheExitCodeOn) {
    FakeServices sys;
    StartupFacts f;
    f.sProgramPath = "/pkg/setup";
    f.bContainer = true;
    StubStartup s(f, sys);
    EXPECT_EQ(s.Run(), 17);
    ASSERT_EQ(sys.ranWindows.size(), 1u);
    EXPECT_EQ(sys.ranWindows[0], "/pkg/setup");
    EXPECT_TRUE(sys.deletes.empty());
}

TEST(PackageRun, FailuresEndWithTheirOwnCodes) {
    FakeServices sys;
    StartupFacts f;
    f.sProgramPath = "/pkg/setup";
    f.bContainer = false;
    EXPECT_EQ(StubStartup(f, sys).Run(), STUB_EXIT_NO_CONTAINER);
    EXPECT_TRUE(sys.ranWindows.empty());

    f.bContainer = true;
    sys.windowOk = false;
    EXPECT_EQ(StubStartup(f, sys).Run(), STUB_EXIT_NO_WINDOW);
}

TEST(PackageRun, SecondInstanceOfOneClassDoesNothing) {
    FakeServices sys;
    sys.windows.insert("/pkg/setup");
    StartupFacts f;
    f.sProgramPath = "/pkg/setup";
    f.bContainer = true;
    EXPECT_EQ(StubStartup(f, sys).Run(), STUB_EXIT_OK);
    EXPECT_TRUE(sys.ranWindows.empty());
}

TEST(PackageRun, RestartedCopyOfASpannedPackageDeletesItself) {
    FakeServices sys;
    StartupFacts f;
    f.sProgramPath = "/tmp/SETUP_77/Y_setup";
    f.sArgs = "/SpanCdLvl=2 /OriginExe=\"/media/cd/setup\"";
    f.bContainer = true;
    f.bSelfCopy = true;
    EXPECT_EQ(StubStartup(f, sys).Run(), 17);
    ASSERT_EQ(sys.deletes.size(), 1u);
    EXPECT_TRUE(sys.deletes[0]);
}

TEST(SpannedFirstDisk, CopiesItselfAndRestartsTheCopy) {
    FakeServices sys;
    StartupFacts f;
    f.sProgramPath = "/media/my cd/setup";
    f.sArgs = "/hide";
    f.bContainer = true;
    f.bSelfCopy = true;
    StubStartup s(f, sys);
    EXPECT_EQ(s.Role(), StubRole::SpannedFirstDisk);
    EXPECT_EQ(s.Run(), STUB_EXIT_OK);
    ASSERT_EQ(sys.copies.size(), 1u);
    const std::string target = std::string("/tmp/SETUP_77") + plat::kPathSeparator + "Y_setup";
    EXPECT_EQ(sys.copies[0].second, target);
    ASSERT_EQ(sys.starts.size(), 1u);
    EXPECT_EQ(sys.starts[0].first, target);
    EXPECT_EQ(sys.starts[0].second, "/hide /SpanCdLvl=2 /SpanDiskFName1=\"/media/my cd/setup.001\" "
                                    "/OriginExe=\"/media/my cd/setup\"");
    EXPECT_TRUE(sys.ranWindows.empty());

    FakeServices failing;
    failing.startOk = false;
    EXPECT_EQ(StubStartup(f, failing).Run(), STUB_EXIT_START_FAILED);
    failing.copyOk = false;
    EXPECT_EQ(StubStartup(f, failing).Run(), STUB_EXIT_COPY_FAILED);
}

TEST(PlainAgent, MakesAndStartsItsCopyWithTheHandedOverSwitches) {
    FakeServices sys;
    StubStartup s(AgentFacts("/WAIT=2 /TRANSIENT=1|1|0 /DELAY=30"), sys);
    EXPECT_EQ(s.Role(), StubRole::PlainAgent);
    EXPECT_EQ(s.Run(), STUB_EXIT_OK);
    EXPECT_GE(sys.now, 2000u);
    ASSERT_EQ(sys.copies.size(), 1u);
    EXPECT_EQ(sys.copies[0].first, "/apps/tool");
    EXPECT_EQ(sys.copies[0].second, "/apps/X_tool");
    ASSERT_EQ(sys.starts.size(), 1u);
    EXPECT_EQ(sys.starts[0].second, "/TRANSIENTx=1|1|0 /SleepX=30");
    EXPECT_TRUE(sys.posts.empty());
    EXPECT_TRUE(sys.ranWindows.empty()); // the plain agent never opens a window
}

TEST(PlainAgent, ReusesARunningCopyAndForwardsEachSwitch) {
    FakeServices sys;
    sys.windows.insert(kCopyClass);
    sys.files.insert("/apps/X_tool");
    EXPECT_EQ(StubStartup(AgentFacts("/STOP=3 /wm_msg=100:2 /TEST=0"), sys).Run(), STUB_EXIT_OK);
    EXPECT_TRUE(sys.copies.empty());
    EXPECT_TRUE(sys.starts.empty());
    ASSERT_EQ(sys.posts.size(), 3u);
    EXPECT_EQ(sys.posts[0].msg, wm_ShutDown);
    EXPECT_EQ(sys.posts[0].wp, 3u);
    EXPECT_EQ(sys.posts[1].msg, wm_LocalMsg);
    EXPECT_EQ(sys.posts[1].wp, 100u);
    EXPECT_EQ(sys.posts[1].lp, 2);
    EXPECT_EQ(sys.posts[2].msg, wm_AgentMsg);
    EXPECT_EQ(sys.posts[2].wp, 31u);
    EXPECT_EQ(sys.posts[2].lp, 0);
}

TEST(PlainAgent, NewCopyGetsTheUpdateCycleOnlyOnceItsWindowIsUp) {
    FakeServices sys;
    sys.copyWindowAfterMs = 1200;
    EXPECT_EQ(StubStartup(AgentFacts("/TEST=1"), sys).Run(), STUB_EXIT_OK);
    ASSERT_EQ(sys.starts.size(), 1u);
    ASSERT_EQ(sys.posts.size(), 2u);
    EXPECT_GE(sys.now, 1200u);
    EXPECT_EQ(sys.posts[0].msg, wm_AgentMsg);
    EXPECT_EQ(sys.posts[0].wp, 31u);
    EXPECT_EQ(sys.posts[0].lp, 1);
    EXPECT_EQ(sys.posts[1].msg, wm_ShutDown);
    EXPECT_EQ(sys.posts[1].wp, 2u);
}

TEST(PlainAgent, UndeliverableMessagesAreReportedAfterABoundedWait) {
    FakeServices sys;
    sys.copyWindowAfterMs = -1;
    EXPECT_EQ(StubStartup(AgentFacts("/STOP=0"), sys).Run(), STUB_EXIT_NOT_DELIVERED);
    EXPECT_TRUE(sys.posts.empty());
    EXPECT_GE(sys.now, kCopyWindowWaitMs);
    EXPECT_LT(sys.now, kCopyWindowWaitMs + 1000);

    FakeServices none; // no copy at all, and none can be made
    none.copyOk = false;
    EXPECT_EQ(StubStartup(AgentFacts("/TEST=0"), none).Run(), STUB_EXIT_COPY_FAILED);
}

TEST(PlainAgent, ReplacingARunningCopyWaitsForItsEnd) {
    FakeServices sys;
    sys.windows.insert(kCopyClass);
    sys.files.insert("/apps/X_tool");
    EXPECT_EQ(StubStartup(AgentFacts("/_ZZ=99"), sys).Run(), STUB_EXIT_OK);
    EXPECT_EQ(sys.CountPosts(plat::MSG_CLOSE), 2);
    ASSERT_EQ(sys.copies.size(), 1u);
    ASSERT_EQ(sys.starts.size(), 1u);

    FakeServices stuck;
    stuck.windows.insert(kCopyClass);
    stuck.files.insert("/apps/X_tool");
    stuck.copyEndsOnClose = false;
    EXPECT_EQ(StubStartup(AgentFacts("/_ZZ=99"), stuck).Run(), STUB_EXIT_COPY_BUSY);
    EXPECT_TRUE(stuck.copies.empty());
    EXPECT_LT(stuck.now, kCopyEndWaitMs + 1000);
}

TEST(AgentCopy, RunsTheAgentWindowTakesItsOverridesAndRemovesItself) {
    FakeServices sys;
    StubStartup s(AgentFacts("/TRANSIENTx=1|0|1|1|1|1|0|0 /SleepX=5", "/apps/X_tool"), sys);
    EXPECT_EQ(s.Role(), StubRole::AgentCopy);
    EXPECT_EQ(s.ClassName(), ".AutoUpdate.X_tool");
    EXPECT_EQ(s.Run(), STUB_EXIT_OK);
    EXPECT_TRUE(sys.testModeChecked);
    ASSERT_EQ(sys.ranWindows.size(), 1u);
    EXPECT_EQ(sys.overrides, "1|0|1|1|1|1|0|0");
    ASSERT_EQ(sys.deletes.size(), 1u);
    EXPECT_FALSE(sys.deletes[0]);
}

TEST(RunLog, PlainAgentWritesItsSteps) {
    const std::string log = plat::temp_folder() + "/X_runlog-test.log";
    std::remove(log.c_str());
    TheRunLog().Configure(true, log, "   ");
    FakeServices sys;
    sys.windows.insert(kCopyClass);
    sys.files.insert("/apps/X_tool");
    StubStartup(AgentFacts("/STOP=1"), sys).Run();
    TheRunLog().Configure(false, "", "   ");

    std::ifstream in(log, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    std::remove(log.c_str());
    const char* expected[] = {
        "   DoRunStubWin() --- Start\r\n",
        "   X_ExeIsRunning=TRUE\r\n",
        "   ThisIs_Plain_AutoUpdate_Exe=TRUE\r\n",
        "   ThisIs_X_AutoUpdate_Exe=FALSE\r\n",
        "   HandleParamOK() --- Start\r\n",
        "   PostProcessMessage(wm_ShutDown) to: /apps/X_tool\r\n",
        "   HandleParamOK() --- End\r\n",
        "   DoRunStubWin() --- End\r\n",
    };
    std::size_t at = 0;
    for (const char* line : expected) {
        const std::size_t found = text.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << "\n" << text;
        at = found;
    }
    // The running copy is reused, not made again.
    EXPECT_NE(text.find("CreateAndRun_X_Exe() --- Start"), std::string::npos);
    EXPECT_EQ(text.find("Create X_ File"), std::string::npos);
}

} // namespace
