#include <gtest/gtest.h>

#include "startup/switches.h"

namespace {

TEST(SwitchesTest, CommandArgsRemovesTheProgram) {
    struct Case {
        const char* line;
        const char* path;
        const char* expected;
    } cases[] = {
        {"\"C:\\Program Files\\Setup.exe\" /hide /WAIT=5", "C:\\Program Files\\Setup.exe",
         "/hide /WAIT=5"},
        {"C:\\Temp\\SETUP.EXE /hide", "C:\\Temp\\setup.exe", "/hide"},
        {"setup /x", "C:\\Temp\\setup", "/x"},
        {"\"C:\\Temp\\setup.exe\"", "C:\\Temp\\setup.exe", ""},
        {"C:\\Temp\\setup.exe \"", "C:\\Temp\\setup.exe", ""},
        {"other.exe /a", "C:\\Temp\\setup.exe", "other.exe /a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommandArgs(c.line, c.path), c.expected) << c.line;
}

TEST(SwitchesTest, SwitchValues) {
    const std::string args =
        "/wait=5 /OriginExe=\"C:\\My Files\\setup.exe\" /SleepX = 3 /Empty= /hide -Mode=fast";
    EXPECT_EQ(SwitchValueIn(args, "/OriginExe="), "C:\\My Files\\setup.exe");
    EXPECT_EQ(SwitchIntIn(args, "/WAIT=", 0), 5);
    EXPECT_EQ(SwitchIntIn(args, "WAIT", 0), 5);
    EXPECT_EQ(SwitchIntIn(args, "/SleepX=", -1), 3);
    EXPECT_EQ(SwitchValueIn(args, "/Empty=", "def"), "");
    EXPECT_EQ(SwitchValueIn(args, "/Missing=", "def"), "def");
    EXPECT_EQ(SwitchIntIn(args, "/OriginExe=", -1), -1);
    EXPECT_EQ(SwitchValueIn(args, "-Mode="), "fast");
    EXPECT_EQ(SwitchValueIn("/WM_MSG=100:2", "/WM_MSG="), "100:2");
    EXPECT_TRUE(HasSwitchIn(args, "/HIDE"));
    EXPECT_FALSE(HasSwitchIn(args, "/hid"));
    EXPECT_FALSE(HasSwitchIn("/hidden", "/hide"));
}

TEST(SwitchesTest, OwnCommandLine) {
    // The test program is started without switches of these names.
    EXPECT_EQ(SwitchValue("/SpanCdLvl=", "none"), "none");
    EXPECT_EQ(SwitchInt("/WAIT=", 7), 7);
    EXPECT_FALSE(HasSwitch("/hide"));
}

} // namespace
