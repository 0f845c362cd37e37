#include <gtest/gtest.h>

#include "platform/files.h"
#include "util/text.h"

namespace {

TEST(TextTest, ReplaceAllDoesNotRescan) {
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAll("abcabc", "", "x"), "abcabc");
    EXPECT_EQ(ReplaceAllCi("Path\\FILE.exe and file.EXE", "file.exe", "x"), "Path\\x and x");
}

TEST(TextTest, SearchAndSplit) {
    EXPECT_EQ(BeforeFirst("key = value", "=", "d", true), "key");
    EXPECT_EQ(AfterFirst("key = value = 2", "=", "d", false), " value = 2");
    EXPECT_EQ(AfterFirst("no separator", "=", "d"), "d");
    EXPECT_TRUE(StartsWith("/SPAN", "/spancdlvl=2"));
    EXPECT_FALSE(StartsWith("/SPAN", "/spancdlvl=2", false));
    EXPECT_TRUE(EndsWith(".EXE", "setup.exe"));
    EXPECT_EQ(PosCi("B", "abc"), 2u);
    EXPECT_EQ(PosCi("x", "abc"), 0u);
    EXPECT_TRUE(SameTextTrimmed(" Setup.EXE ", "setup.exe"));
}

TEST(TextTest, QuotingAndPadding) {
    EXPECT_EQ(Quote("  \"C:\\a b\"  "), "\"C:\\a b\"");
    EXPECT_EQ(Quote("plain"), "\"plain\"");
    EXPECT_EQ(Unquote(" \"x\" "), "x");
    EXPECT_EQ(Surround("|a|", '|'), "|a|");
    EXPECT_EQ(Surround("a", '|'), "|a|");
    EXPECT_EQ(KeepChars("v1.2-beta3", "0123456789."), "1.23");
    EXPECT_EQ(PadLeft("7", 3, '0'), "007");
    EXPECT_EQ(PadLeft("abcdef", 3, ' '), "abcdef");
    EXPECT_EQ(PadLeft("abcdef", -4, ' '), "abc.");
    EXPECT_EQ(PadLeft("ab", -4, ' '), "  ab");
    EXPECT_EQ(ZeroPad(5, 3), "005");
    EXPECT_EQ(ZeroPad(1234, 2), "1234");
    EXPECT_EQ(BoolText(true), "TRUE");
}

TEST(TextTest, PathPieces) {
    EXPECT_EQ(BaseName("C:\\dir.x\\setup.tar.gz"), "setup.tar");
    EXPECT_EQ(BaseName("C:\\dir.x\\setup.tar.gz", true), "setup");
    EXPECT_EQ(BaseName("/opt/tool"), "tool");
    const std::string sep(1, plat::kPathSeparator);
    EXPECT_EQ(WithBackslash("C:\\Temp\\", false), "C:\\Temp");
    EXPECT_EQ(WithBackslash("C:\\Temp", true), "C:\\Temp" + sep);
    EXPECT_EQ(WithBackslash("C:\\", false), "C:");
    EXPECT_EQ(WithBackslash("C:", false), "C:");
    EXPECT_EQ(WithBackslash("\\", false), "\\");
    EXPECT_EQ(WithBackslash(sep, true), sep);
    EXPECT_EQ(WithBackslash(sep + "tmp" + sep, true), sep + "tmp" + sep);
    EXPECT_EQ(WithBackslash(sep + "tmp" + sep + sep, false), sep + "tmp" + sep);
    EXPECT_EQ(WithBackslash("", true), "");
}

// The same transformation encodes and decodes.
std::string Scramble(const std::string& plain, unsigned char key) {
    std::string body = Unscramble("Scrambled=01" + std::string(1, static_cast<char>(key)) + plain);
    return "Scrambled=01" + std::string(1, static_cast<char>(key)) + body;
}

TEST(TextTest, Unscramble) {
    EXPECT_EQ(Unscramble("plain text"), "plain text");
    EXPECT_EQ(Unscramble("Scrambled=01"), "");
    // Key 0: odd positions xor i, even positions xor i.
    EXPECT_EQ(Unscramble(std::string("Scrambled=01") + '\0' + "\x61\x62"), "\x60\x60");
    // Even positions use (i - k) mod 256, which wraps below zero.
    std::string wrapped = "Scrambled=01";
    wrapped += '\x05';
    wrapped += std::string(2, '\0');
    EXPECT_EQ(Unscramble(wrapped), "\x06\xFD");
    for (unsigned char key : {0, 7, 200, 255}) {
        const std::string plain = "<B>Update</B> is ready: 1.2.3";
        EXPECT_EQ(Unscramble(Scramble(plain, key)), plain) << int(key);
    }
}

} // namespace
