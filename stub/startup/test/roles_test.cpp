// Role recognition and the names and command lines that follow from it.
#include <gtest/gtest.h>

#include "startup/roles.h"
#include "startup/runlog.h"

namespace {

TEST(Roles, RecognisedFromContainerNameAndLevel) {
    struct Case {
        bool agent;
        bool selfCopy;
        std::int64_t level;
        const char* name;
        StubRole expected;
    };
    const Case cases[] = {
        {false, false, 1, "setup.exe", StubRole::PackageRun},
        {false, true, 1, "setup.exe", StubRole::SpannedFirstDisk},
        {false, true, 2, "Y_setup.exe", StubRole::PackageRun},
        {false, true, 3, "setup.exe", StubRole::PackageRun},
        {true, false, 1, " TOOL.EXE ", StubRole::PlainAgent},
        {true, false, 1, "x_tool.exe", StubRole::AgentCopy},
        {true, false, 1, "other.exe", StubRole::PackageRun},
        // A file that merely carries the agent's name is no agent without the byte.
        {false, false, 1, "tool.exe", StubRole::PackageRun},
        {true, true, 1, "tool.exe", StubRole::PlainAgent},
    };
    for (const Case& c : cases) {
        RoleInput in;
        in.bAgent = c.agent;
        in.bSelfCopy = c.selfCopy;
        in.nSpanCdLvl = c.level;
        in.sProgramName = c.name;
        in.sAgentName = "tool.exe";
        EXPECT_EQ(DecideRole(in), c.expected) << c.name << " agent=" << c.agent;
    }
}

TEST(Roles, AgentWithoutAgentNameIsAPackageRun) {
    RoleInput in;
    in.bAgent = true;
    in.sProgramName = "X_";
    EXPECT_EQ(DecideRole(in), StubRole::PackageRun);
}

TEST(Roles, ClassNamesAndCopyPaths) {
    EXPECT_EQ(StartupClassName(false, "C:\\Pkg\\setup.exe"), "C:\\Pkg\\setup.exe");
    EXPECT_EQ(StartupClassName(true, "C:\\Pkg\\tool.v2.exe"), ".AutoUpdate.tool.v2");
    EXPECT_EQ(AgentCopyClassName("tool.exe"), ".AutoUpdate.X_tool");
    EXPECT_EQ(AgentCopyPath("C:\\My Apps\\tool.exe"), "C:\\My Apps\\X_tool.exe");
    EXPECT_EQ(AgentCopyPath("/opt/app/tool"), "/opt/app/X_tool");
}

TEST(Roles, PlainAgentAndCopyShareOneRunLog) {
    EXPECT_EQ(RunLogPath("C:\\A\\tool.exe"), "C:\\A\\X_tool.log");
    EXPECT_EQ(RunLogPath("C:\\A\\X_tool.exe"), "C:\\A\\X_tool.log");
    // Only the exact prefix counts as the copy's.
    EXPECT_EQ(RunLogPath("C:\\A\\x_tool.exe"), "C:\\A\\X_x_tool.log");
}

TEST(Roles, AgentCopyParameters) {
    EXPECT_EQ(AgentCopyParams("", ""), "");
    EXPECT_EQ(AgentCopyParams("1|0|1|255|255|255|255|255", "30"),
              " /TRANSIENTx=1|0|1|255|255|255|255|255 /SleepX=30");
    EXPECT_EQ(AgentCopyParams("", "0"), " /SleepX=0");
}

TEST(Roles, SpanRestartParamsQuoteThePaths) {
    EXPECT_EQ(SpanRestartParams("/hide", "D:\\My Disk\\setup.exe"),
              "/hide /SpanCdLvl=2 /SpanDiskFName1=\"D:\\My Disk\\setup.exe.001\" "
              "/OriginExe=\"D:\\My Disk\\setup.exe\"");
    EXPECT_EQ(SpanRestartParams("", "E:\\s.exe"),
              "/SpanCdLvl=2 /SpanDiskFName1=\"E:\\s.exe.001\" /OriginExe=\"E:\\s.exe\"");
}

TEST(Roles, LocalMessageArguments) {
    struct Case {
        const char* value;
        plat::WParam w;
        plat::LParam l;
    };
    const Case cases[] = {
        {"100:2", 100, 2}, {"7", 7, 0}, {"x:5", 0, 5}, {":", 0, 0}, {"123456:-1", 123456, -1}};
    for (const Case& c : cases) {
        const LocalMsgArgs a = ParseLocalMsg(c.value);
        EXPECT_EQ(a.wParam, c.w) << c.value;
        EXPECT_EQ(a.lParam, c.l) << c.value;
    }
}

TEST(RunLog, LineFormat) {
    EXPECT_EQ(RunLogLine("11/12/26 09:05:01", 42, "   ", "HandleParamOK() --- Start"),
              "11/12/26 09:05:01    42   HandleParamOK() --- Start\r\n");
    EXPECT_EQ(RunLogLine("s", 1234567, " X ", ""), "s 1234567 X \r\n");
}

} // namespace
