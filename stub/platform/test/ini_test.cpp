// Runs natively and under Wine: the hand-written POSIX settings files must
// answer exactly as the system's private-profile calls do.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/files.h"
#include "platform/settings.h"

namespace {

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sFile = plat::temp_folder() + plat::kPathSeparator + "stub-ini-test-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        std::remove(m_sFile.c_str());
    }
    void TearDown() override { std::remove(m_sFile.c_str()); }

    void WriteFile(const std::string& content) {
        std::ofstream out(m_sFile, std::ios::binary);
        out << content;
    }
    std::string ReadFile() {
        std::ifstream in(m_sFile, std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& def = "<def>") {
        return plat::profile_read(m_sFile, section, key, def, 1024);
    }

    std::string m_sFile;
};

const char kSample[] = "; comment\r\n"
                       "[Sec]\r\n"
                       "  Key1 =  value one  \r\n"
                       "key2=\r\n"
                       "Key3=\"quoted\"\r\n"
                       "Key4=' single '\r\n"
                       "Key5=\"open\r\n"
                       "noeq\r\n"
                       "  [ Sec2 ]  \r\n"
                       "A=1\r\n"
                       "[sec]\r\n"
                       "K6=six\r\n"
                       "Key1=dup\r\n"
                       "\r\n"
                       "[Last]\r\n"
                       "Z=z";

TEST_F(IniTest, MissingFileGivesDefaultWithoutTrailingBlanks) {
    EXPECT_EQ(Get("S", "K", "def  "), "def");
    EXPECT_EQ(Get("S", "K", "  lead"), "  lead");
}

TEST_F(IniTest, ReadsIgnoreCaseBlanksAndQuotes) {
    WriteFile(kSample);
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"sec", "key1", "value one"},
        {"SEC", "KEY2", ""},
        {"Sec", "Key3", "quoted"},
        {"Sec", "Key4", " single "},
        {"Sec", "Key5", "\"open"},
        {"Sec", "noeq", "<def>"},
        {"Sec", " key1 ", "value one"},
        {"Sec2", "A", "1"},
        {" Sec2 ", "a", "1"},
        {"sec", "K6", "<def>"},
        {"Sec", "Missing", "<def>"},
        {"Nope", "A", "<def>"},
        {"Last", "Z", "z"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Get(c.section, c.key), c.expected) << c.section << "/" << c.key;
    // The result is cut to the buffer, its terminating zero included.
    EXPECT_EQ(plat::profile_read(m_sFile, "Sec", "Key1", "", 4), "val");
}

TEST_F(IniTest, WritesIntoAnExistingFile) {
    WriteFile(kSample);
    ASSERT_TRUE(plat::profile_write(m_sFile, "Sec", "key2", "new2"));
    ASSERT_TRUE(plat::profile_write(m_sFile, "SEC", "NewKey", "nv"));
    ASSERT_TRUE(plat::profile_write(m_sFile, "Last", "Y", "y"));
    ASSERT_TRUE(plat::profile_write(m_sFile, "NewSec", "N", "n"));
    ASSERT_TRUE(plat::profile_write(m_sFile, "Sec2", "A", ""));

    EXPECT_EQ(Get("Sec", "key2"), "new2");
    EXPECT_EQ(Get("Sec", "NewKey"), "nv");
    EXPECT_EQ(Get("Last", "Z"), "z");
    EXPECT_EQ(Get("Last", "Y"), "y");
    EXPECT_EQ(Get("NewSec", "N"), "n");
    EXPECT_EQ(Get("Sec2", "A"), "");
    EXPECT_EQ(Get("Sec", "Key1"), "value one");
    EXPECT_EQ(Get("Sec", "Key3"), "quoted");
    EXPECT_EQ(Get("sec", "K6"), "<def>");

    const std::string text = ReadFile();
    EXPECT_NE(text.find("; comment"), std::string::npos);
    // A new key joins its own section, a new section goes to the end.
    const std::size_t newKey = text.find("NewKey=nv");
    const std::size_t sec2 = text.find("Sec2");
    const std::size_t newSec = text.find("[NewSec]");
    ASSERT_NE(newKey, std::string::npos);
    EXPECT_LT(newKey, sec2);
    EXPECT_GT(newSec, text.find("Z=z"));
    EXPECT_EQ(text.find("key2=\r\n"), std::string::npos);
}

TEST_F(IniTest, WriteCreatesTheFile) {
    ASSERT_TRUE(plat::profile_write(m_sFile, "S", "K", "v"));
    ASSERT_TRUE(plat::profile_write(m_sFile, "S", "Empty", ""));
    ASSERT_TRUE(plat::profile_write(m_sFile, "T", "K", "t"));
    EXPECT_EQ(Get("S", "K"), "v");
    EXPECT_EQ(Get("s", "empty"), "");
    EXPECT_EQ(Get("T", "K"), "t");
    const std::string text = ReadFile();
    EXPECT_EQ(text.find("[S]"), 0u);
    EXPECT_LT(text.find("Empty="), text.find("[T]"));
}

} // namespace
