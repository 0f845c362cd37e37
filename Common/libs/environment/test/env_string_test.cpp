#include "EnvString.h"

#include <gtest/gtest.h>

#include <climits>

using Env::String;

TEST(EnvString, ToStringGivesDecimalAndWords) {
    const struct {
        int value;
        const char* text;
    } rows[] = {
        {-5, "-5"}, {0, "0"}, {300, "300"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"}};
    for (const auto& row : rows)
        EXPECT_EQ(String::ToString(row.value), row.text) << row.value;
    EXPECT_EQ(String::ToString(true), "true");
    EXPECT_EQ(String::ToString(false), "false");
}

TEST(EnvString, EqualHonoursCaseFlag) {
    const struct {
        const char* a;
        const char* b;
        bool sensitive;
        bool insensitive;
    } rows[] = {
        {"MaintenanceMode", "maintenancemode", false, true},
        {"abc", "abc", true, true},
        {"abc", "abd", false, false},
        {"ab", "abc", false, false},
        {"", "", true, true},
        {"", "a", false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(String(row.a).Equal(row.b, true), row.sensitive) << row.a << " / " << row.b;
        EXPECT_EQ(String(row.a).Equal(row.b, false), row.insensitive) << row.a << " / " << row.b;
    }
}

TEST(EnvString, CaseConversionTouchesOnlyAsciiLetters) {
    String text("VirtualMachine-1 \xC3\x84");
    text.ToLower();
    EXPECT_EQ(text, "virtualmachine-1 \xC3\x84");
    text.ToUpper();
    EXPECT_EQ(text, "VIRTUALMACHINE-1 \xC3\x84");
}

TEST(EnvString, ContainsAndNullText) {
    EXPECT_TRUE(String("Commands available:").Contains("available"));
    EXPECT_FALSE(String("Commands").Contains("available"));
    EXPECT_TRUE(String("x").Contains(""));
    EXPECT_EQ(String(static_cast<const char*>(nullptr)), "");
}
