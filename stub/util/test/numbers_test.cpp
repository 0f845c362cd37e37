#include <gtest/gtest.h>

#include "util/numbers.h"

namespace {

TEST(NumbersTest, FormatBytes) {
    struct Case {
        double value, divisor;
        int decimals;
        bool separators;
        const char* expected;
    } cases[] = {
        {1023, 1024, 1, true, "1.0"},
        {1025, 1024, 0, false, "2"},
        {0, 1024, 0, false, "0"},
        {1234567.8 * 1024, 1024, 1, true, "1,234,567.8"},
        {123.4 * 1024, 1024, 1, true, "123.4"},
        {1234.0, 1, 7, true, "1,234.0"},
        {1234567, 1, 0, true, "1,234,567"},
        {123456, 1, 0, true, "123,456"},
        {-123456, 1, 0, true, "-123,456"},
        {1.23456, 1, 3, false, "1.235"},
        {5, 0, 0, false, "5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatBytes(c.value, c.divisor, c.decimals, c.separators), c.expected)
            << c.value << "/" << c.divisor;
    EXPECT_EQ(FormatKB(2048, 0, false), "2");
    EXPECT_EQ(FormatMB(1572864, 1, false), "1.5");
}

TEST(NumbersTest, FloatText) {
    EXPECT_EQ(FloatTextSep(0.5, 2, true, "."), ".5");
    EXPECT_EQ(FloatTextSep(10.0, 2, true, "."), "10");
    EXPECT_EQ(FloatTextSep(0.0, 2, true, "."), "0");
    EXPECT_EQ(FloatTextSep(2.5, 2, false, ","), "2,50");
    EXPECT_EQ(FloatTextSep(2.5, 3, true, ","), "2,5");
    EXPECT_EQ(FloatTextSep(100, 0, true, "."), "100");
}

TEST(NumbersTest, Parsers) {
    EXPECT_DOUBLE_EQ(ParseFloat("1,5", -1), 1.5);
    EXPECT_DOUBLE_EQ(ParseFloat("1,234.5", -1), 1234.5);
    EXPECT_DOUBLE_EQ(ParseFloat(" 2.25 ", -1), 2.25);
    EXPECT_DOUBLE_EQ(ParseFloat("abc", -1), -1);
    EXPECT_DOUBLE_EQ(ParseFloat("", -1), -1);
    EXPECT_DOUBLE_EQ(ParseFloat("inf", -1), -1);
    EXPECT_EQ(ParseHex("0x1F", -1), 31);
    EXPECT_EQ(ParseHex("0X1f", -1), 31);
    EXPECT_EQ(ParseHex("1G", -1), -1);
    EXPECT_EQ(ParseHex("", -1), -1);
    EXPECT_EQ(ParseBase("777", 8, -1), 511);
    EXPECT_EQ(ParseBase("8", 8, -1), -1);
    EXPECT_EQ(ParseInt64(" -42 ", 0), -42);
    EXPECT_EQ(ParseInt64("9223372036854775808", 7), 7);
    EXPECT_EQ(ParseInt64("12x", 7), 7);
}

TEST(NumbersTest, RandomRangeStaysInBounds) {
    for (int i = 0; i < 50; ++i) {
        std::int64_t r = RandomRange(3, 5);
        EXPECT_GE(r, 3);
        EXPECT_LE(r, 5);
    }
    EXPECT_EQ(RandomRange(9, 9), 9);
}

} // namespace
