// The two settings files beside the program and the overrides of the
// confirmation flags.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime_fixture.h"
#include "startup/settings.h"
#include "util/paths.h"
#include "util/services.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsSource("C:\\Packages\\stub-settings-" + std::to_string(stubtest::OwnPid()) +
                          ".exe");
        ResetOverrides();
        std::remove(OriginalSettingsFile().c_str());
        std::remove(UpdateInfoFile().c_str());
    }
    void TearDown() override {
        std::remove(OriginalSettingsFile().c_str());
        std::remove(UpdateInfoFile().c_str());
        ResetOverrides();
        SetSettingsSource("");
    }
    static void Info(const std::string& section, const std::string& key, const std::string& v) {
        ASSERT_TRUE(WriteIniString(UpdateInfoFile(), section, key, v));
    }
};

TEST_F(SettingsTest, FilesBesideTheProgram) {
    const std::string base = "stub-settings-" + std::to_string(stubtest::OwnPid());
    EXPECT_EQ(OriginalSettingsFile(), ProgramFolder(true) + base + ".original");
    EXPECT_EQ(UpdateInfoFile(), ProgramFolder(true) + base + ".exe");
}

TEST_F(SettingsTest, DefaultsWhenNothingIsWritten) {
    EXPECT_EQ(ProbeSecondsInterval(), 0);
    EXPECT_EQ(VersionOriginal(), 0);
    EXPECT_EQ(MsgBoxBtnText(), "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|");
    EXPECT_EQ(MsgBoxError(), "Error");
    EXPECT_EQ(MsgBoxConfirm(), "Confirm");
    EXPECT_EQ(MsgBoxAttention(), "Attention");
    EXPECT_EQ(MsgBoxFontName(), "Tahoma");
    EXPECT_EQ(MsgBoxFontSize(), 8);
    EXPECT_EQ(AutoUpdateText("s1", "def"), "def");
    EXPECT_EQ(AutoInformW(), 360);
    EXPECT_EQ(AutoInformH(), 360);
    EXPECT_FALSE(RequestConfirmationBeforeDownload());
    EXPECT_FALSE(AutoInform());
    EXPECT_EQ(TargetDir(), "");
    // Reading never creates a file.
    EXPECT_EQ(ReadIniString(OriginalSettingsFile(), "OriginalSetup", "x", "none"), "none");
    EXPECT_EQ(std::fopen(OriginalSettingsFile().c_str(), "rb"), nullptr);
}

TEST_F(SettingsTest, InstantsGetAReadableCopy) {
    const std::int64_t instant =
        static_cast<std::int64_t>(EncodeDate(2026, 12, 9, 8, 5, 3) * 86400);
    EXPECT_EQ(ReadableInstant(instant), DayTimeStamp(" ", EncodeDate(2026, 12, 9, 8, 5, 3)));
    EXPECT_EQ(ReadableInstant(instant).substr(0, 12), "09-DEC-2026 ");
    SetProbeSecondsLast(instant);
    SetReAskSecondsLast(instant + 60);
    SetProbeSecondsInterval(3600);
    SetVersionOriginal(7);
    SetOriginalProgramName("Tool");
    EXPECT_EQ(ProbeSecondsLast(), instant);
    EXPECT_EQ(ReAskSecondsLast(), instant + 60);
    EXPECT_EQ(ProbeSecondsInterval(), 3600);
    EXPECT_EQ(VersionOriginal(), 7);
    EXPECT_EQ(OriginalProgramName(), "Tool");
    EXPECT_EQ(ReadIniString(OriginalSettingsFile(), "OriginalSetup", "__ProbeSecondsLast", ""),
              ReadableInstant(instant));
    EXPECT_EQ(ReadIniString(OriginalSettingsFile(), "OriginalSetup", "__ReAskSecondsLast", ""),
              ReadableInstant(instant + 60));
}

TEST_F(SettingsTest, FlagsFollowTheirOverrides) {
    Info("NewSetup", "RequestConfirmationBeforeDownload", "1");
    Info("NewSetup", "RequestConfirmationBeforeInstall", "1");
    Info("NewSetup", "BackgroundUpdate", "yes");
    Info("NewSetup", "RemoveStartUpShortcut", "1");
    Info("NewSetup", "RemoveCheckForNewUpdateShortcut", "true");
    Info("General", "AutoInform", "1");
    Info("NewSetup", "VersionNew", "12");
    EXPECT_TRUE(RequestConfirmationBeforeDownload());
    EXPECT_TRUE(RequestConfirmationBeforeInstall());
    EXPECT_FALSE(BackgroundUpdate()); // only "1" is true
    EXPECT_TRUE(RemoveStartUpShortcut());
    EXPECT_FALSE(RemoveCheckForNewUpdateShortcut());
    EXPECT_TRUE(AutoInform());
    EXPECT_EQ(VersionNew(), 12);
    EXPECT_FALSE(OverrideOne());
    EXPECT_EQ(OverridesText(), "|255|255|255|255|255|255|255|255|");

    // The switch text: an item that is no number keeps its override.
    SetOverridesFromText("1|0|x|1||7|256|1");
    EXPECT_EQ(OverridesText(), "|1|0|255|1|255|7|255|1|");
    EXPECT_TRUE(OverrideOne());
    EXPECT_FALSE(RequestConfirmationBeforeDownload()); // override 2 = 0
    EXPECT_TRUE(RequestConfirmationBeforeInstall());   // override 3 = 255: the key
    EXPECT_TRUE(BackgroundUpdate());                   // override 4 = 1
    EXPECT_FALSE(RestartProcess());                    // override 6 = 7
    EXPECT_TRUE(RequestConfirmationBeforeInstallForce());
    SetOverridesFromText("|0|2|2|2|2|2|2|2|");
    EXPECT_EQ(OverridesText(), "|0|2|2|2|2|2|2|2|");
    SetOverride(3, 255);
    EXPECT_TRUE(RequestConfirmationBeforeInstall());
    SetOverride(9, 1); // no such override
    EXPECT_EQ(Override(9), 255);
}

} // namespace
