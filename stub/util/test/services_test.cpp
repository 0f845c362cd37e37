#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/settings.h"
#include "util/debug.h"
#include "util/paths.h"
#include "util/services.h"

namespace {

TEST(ServicesTest, StampsForFixedDates) {
    EXPECT_EQ(DayStamp(EncodeDate(2027, 2, 1)), "01-FEB-2027");
    EXPECT_EQ(DayStamp(EncodeDate(2026, 12, 9, 23, 59, 59)), "09-DEC-2026");
    EXPECT_EQ(DayStamp(EncodeDate(1899, 12, 30)), "30-DEC-1899");
    EXPECT_DOUBLE_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(RunLogStampSep(EncodeDate(2026, 3, 7, 8, 5, 9), "/", ":"), "07/03/26 08:05:09");
    EXPECT_EQ(RunLogStampSep(EncodeDate(2000, 1, 2, 13, 0, 0), ".", "-"), "02.01.00 13-00-00");
    // The day part of DayTimeStamp always uses "-".
    const std::string s = DayTimeStamp(" @ ", EncodeDate(2024, 2, 29, 7, 30, 0));
    EXPECT_EQ(s.substr(0, 14), "29-FEB-2024 @ ");
    EXPECT_EQ(s.size(), 22u);
    // Now has the stamp's shape.
    EXPECT_EQ(DayStamp().size(), 11u);
}

TEST(ServicesTest, YieldWaitSlices) {
    EXPECT_EQ(YieldSlice(0, 100), 10u);
    EXPECT_EQ(YieldSlice(0, 2), 1u);
    EXPECT_EQ(YieldSlice(0, 1000), 25u);
    EXPECT_EQ(YieldSlice(7, 1000), 7u);
    const std::uint64_t start = MilliClock();
    YieldWait(0, 30);
    EXPECT_GE(MilliClock() - start, 30u);
    // At least one slice even for no time at all.
    const std::uint64_t again = MilliClock();
    YieldWait(5, 0);
    EXPECT_GE(MilliClock() - again, 4u);
}

TEST(ServicesTest, DebugPiecesAreAtMost128Characters) {
    std::vector<std::string> pieces;
    DebugStreamBuf buf([&](const char* p, std::size_t n) { pieces.emplace_back(p, n); });
    std::ostream out(&buf);
    const std::string line(300, 'x');
    out << line << '\n' << std::flush;
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].size(), 128u);
    EXPECT_EQ(pieces[1].size(), 128u);
    EXPECT_EQ(pieces[2], std::string(44, 'x') + "\n");
    pieces.clear();
    out << "short" << std::endl;
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0], "short\n");
}

TEST(ServicesTest, VersionNormalisation) {
    EXPECT_EQ(NormalizeVersion("1.2.3.4", 2, 3), "01.02.03");
    EXPECT_EQ(NormalizeVersion("5,10,0,123", 1, 4), "5.10.0.123");
    EXPECT_EQ(NormalizeVersion("v2.0 beta", 1, 4), "2.0");
    EXPECT_EQ(NormalizeVersion("", 2, 4), "");
    EXPECT_EQ(GetExeVersion(TempFolder(true) + "no-such-file.exe"), "");
}

TEST(ServicesTest, IniWrappers) {
    const std::string file = TempFolder(true) + "stub-services-test.ini";
    std::remove(file.c_str());
    EXPECT_FALSE(WriteIniString(file, "", "k", "v"));
    EXPECT_FALSE(WriteIniString(file, "s", "", "v"));
    EXPECT_FALSE(WriteIniString("", "s", "k", "v"));
    EXPECT_TRUE(WriteIniInt64(file, "Agent", "ProbeSecondsLast", 3911234567LL));
    EXPECT_TRUE(WriteIniString(file, "Agent", "Name", "x"));
    EXPECT_EQ(ReadIniInt64(file, "agent", "probesecondslast", -1), 3911234567LL);
    EXPECT_EQ(ReadIniInt64(file, "Agent", "Name", -1), -1);
    EXPECT_EQ(ReadIniInt64(file, "Agent", "Missing", 17), 17);
    EXPECT_EQ(ReadIniString(file, "Agent", "", "def"), "def");
    EXPECT_EQ(ReadIniString(file, "", "Name", "def"), "def");
    std::remove(file.c_str());
}

#ifdef _WIN32
TEST(ServicesTest, VersionResourceOfASystemLibrary) {
    const std::string dll = SystemFolder(true) + "kernel32.dll";
    const std::string v = GetExeVersion(dll);
    EXPECT_EQ(std::count(v.begin(), v.end(), '.'), 3) << v;
    EXPECT_EQ(GetExeVersion(dll, 3, 2).size(), 7u);
    EXPECT_FALSE(GetProductVersion(dll).empty());
}
#else
TEST(ServicesTest, VersionDataOfAProgramFile) {
    const std::string file = TempFolder(true) + "stub-version-test.bin";
    {
        std::ofstream out(file, std::ios::binary);
        out << std::string("\x7F"
                           "ELF",
                           4)
            << std::string(100, '\0') << "StubVersionInfo|FileVersion=1.2.3.4|ProductVersion=5,6,7|"
            << std::string(1, '\0');
    }
    EXPECT_EQ(GetExeVersion(file), "1.2.3.4");
    EXPECT_EQ(GetExeVersion(file, 2, 3), "01.02.03");
    EXPECT_EQ(GetProductVersion(file), "5.6.7");
    std::remove(file.c_str());
}
#endif

class RegistryTest : public ::testing::Test {
protected:
    const std::string kKey = "Software\\StubTests\\Registry";
    void TearDown() override {
        for (const char* n : {"Text", "Number", "Multi", "Empty", "Binary"})
            plat::registry_delete_value(plat::REG_ROOT_CURRENT_USER, kKey, n);
    }
    void Put(const std::string& name, std::uint32_t type, const std::string& data) {
        ASSERT_TRUE(plat::registry_write(plat::REG_ROOT_CURRENT_USER, kKey, name, {type, data}));
    }
};

TEST_F(RegistryTest, ValueTypes) {
    Put("Text", plat::REG_TYPE_SZ, std::string("hello\0", 6));
    Put("Number", plat::REG_TYPE_DWORD, std::string("\xFE\xFF\xFF\xFF", 4));
    Put("Multi", plat::REG_TYPE_MULTI_SZ, std::string("a\0bc\0\0", 6));
    Put("Empty", plat::REG_TYPE_MULTI_SZ, std::string("\0\0", 2));
    Put("Binary", plat::REG_TYPE_BINARY, std::string("ab\0cd", 5));
    EXPECT_EQ(ReadRegistryValue("HKEY_CURRENT_USER\\" + kKey, "Text", "d"), "hello");
    EXPECT_EQ(ReadRegistryValue(" hkcu\\" + kKey + " ", "number", "d"), "-2");
    EXPECT_EQ(ReadRegistryValue(kKey, "Multi", "d"), "a<0>bc");
    EXPECT_EQ(ReadRegistryValue(kKey, "Empty", "d"), "");
    EXPECT_EQ(ReadRegistryValue(kKey, "Binary", "d"), "ab");
    EXPECT_EQ(ReadRegistryValue(kKey, "Missing", "d"), "d");
    EXPECT_EQ(ReadRegistryValue("HKLM\\" + kKey, "Text", "d"), "d");
    EXPECT_EQ(ReadRegistryValue("HKXX\\" + kKey, "Text", "d"), "hello");
    EXPECT_EQ(ReadRegistryValue("Software\\StubTests\\Nowhere", "Text", "d"), "d");
}

TEST(ServicesTest, SmallSystemServices) {
    EXPECT_FALSE(SystemErrorText().empty());
    SetAutoPlayCancel(true);
    EXPECT_GE(AutoPlayCancelMessage(), 0xC000u);
    SetAutoPlayCancel(false);
    EXPECT_EQ(AutoPlayCancelMessage(), 0u);
    EXPECT_EQ(LookupFunction("no-such-library-xyz", "f"), nullptr);
    EXPECT_FALSE(ShellOpen("", "", 0));
}

} // namespace
