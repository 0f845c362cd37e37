#include <gtest/gtest.h>

#include "util/sub.h"

namespace {

const std::string kMonths = "||JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC|";

TEST(SubTest, FieldsOfTheMonthList) {
    EXPECT_EQ(SUB::FieldCount(kMonths), 13);
    EXPECT_EQ(SUB::Field(kMonths, 1, "x"), "JAN");
    EXPECT_EQ(SUB::Field(kMonths, 0, "x"), "x");
    EXPECT_EQ(SUB::Field(kMonths, -1, "x"), "DEC");
    EXPECT_EQ(SUB::Field(kMonths, 13, "x"), "x");
    EXPECT_EQ(SUB::Field(kMonths, -2, "x"), "x");
}

TEST(SubTest, TextsWithoutFields) {
    for (const std::string& t : {std::string(), std::string("|"), std::string(1, '\0'),
                                 std::string("|a|b"), std::string("*a|b|")}) {
        EXPECT_EQ(SUB::FieldCount(t), 0) << t;
        EXPECT_EQ(SUB::Field(t, 0, "d"), "d") << t;
        EXPECT_EQ(SUB::Field(t, -1, "d"), "d") << t;
    }
}

TEST(SubTest, FieldIntIndexOfContains) {
    EXPECT_EQ(SUB::FieldInt("|12| -7 |x|", 0, 5), 12);
    EXPECT_EQ(SUB::FieldInt("|12| -7 |x|", 1, 5), -7);
    EXPECT_EQ(SUB::FieldInt("|12| -7 |x|", 2, 5), 5);
    EXPECT_EQ(SUB::IndexOf(" |Error|Attention|Confirm| ", "attention"), 1);
    EXPECT_EQ(SUB::IndexOf("|Error|Attention|", " error "), 0);
    EXPECT_EQ(SUB::IndexOf("|Error|Attention|", "Att", -1, false), -1);
    EXPECT_EQ(SUB::IndexOf("|Error|Attention|", "Att", -1, true), 1);
    EXPECT_EQ(SUB::IndexOf("|Error|", "Nope", 9), 9);
    EXPECT_TRUE(SUB::Contains("|a.exe|B.EXE|", "b.exe"));
    EXPECT_FALSE(SUB::Contains("|a.exe|B.EXE|", "b.exe", true, false));
    EXPECT_FALSE(SUB::Contains("|a.exe|B.EXE|", ".exe"));
}

TEST(SubTest, ValueLookup) {
    std::string out;
    // A blank before "=" is collapsed; the blank after "=" is kept.
    EXPECT_TRUE(SUB::Value("|Name  = Value|Other=1|", "name", out));
    EXPECT_EQ(out, " Value");
    EXPECT_TRUE(SUB::Value("|A=1|B=|", "B", out, true, "empty", "def"));
    EXPECT_EQ(out, "empty");
    EXPECT_FALSE(SUB::Value("|A=1|", "C", out, true, "empty", "def"));
    EXPECT_EQ(out, "def");
    EXPECT_TRUE(SUB::Value("|A=1|", "A=", out));
    EXPECT_EQ(out, "1");
    EXPECT_TRUE(SUB::Value("|A=1|==x|", "=", out));
    EXPECT_EQ(out, "x");
    // Without collapsing only the first blank run before an "=" goes.
    EXPECT_TRUE(SUB::Value("|A =1|B =2|", "A", out, false));
    EXPECT_EQ(out, "1");
    EXPECT_FALSE(SUB::Value("|A =1|B =2|", "B", out, false, "", "none"));
    EXPECT_EQ(out, "none");
    EXPECT_FALSE(SUB::Value("|A=1", "A", out, true, "", "bad"));
    EXPECT_EQ(out, "bad");
}

TEST(SubTest, SetFieldGrowsAndChangesDelimiter) {
    EXPECT_EQ(SUB::SetField("", 2, "x"), "|||x|");
    EXPECT_EQ(SUB::SetField("|a|b|", 0, "z"), "|z|b|");
    EXPECT_EQ(SUB::SetField("|a|b|", 3, "d"), "|a|b||d|");
    EXPECT_EQ(SUB::SetField("|a|b|", 1, "x|y"), "*a*x|y*");
    EXPECT_EQ(SUB::SetField("#a#b#", 1, "c"), "#a#c#");
}

TEST(SubTest, ChooseDelimiterDownToFF) {
    EXPECT_EQ(SUB::ChooseDelimiter("|a|b|"), "|a|b|");
    EXPECT_EQ(SUB::ChooseDelimiter("#a|x#b#"), "*a|x*b*");
    EXPECT_EQ(SUB::ChooseDelimiter("%|*~^!@#$&%b%"), "\xFF|*~^!@#$&\xFF"
                                                     "b\xFF");
    EXPECT_EQ(SUB::ChooseDelimiter("|"), "");
    EXPECT_EQ(SUB::ChangeDelimiter("|a|b|", ';'), ";a;b;");
}

TEST(SubTest, ListBuilding) {
    EXPECT_EQ(SUB::FromArray({"a", "b", "A"}, false), "|a|b|A|");
    EXPECT_EQ(SUB::FromArray({"a", "b", "A"}, true), "|a|b|");
    EXPECT_EQ(SUB::FromArray({"x|y", "z"}), "*x|y*z*");
    EXPECT_EQ(SUB::Append("#a#", {"b", "A"}, true), "#a#b#");
    EXPECT_EQ(SUB::Reverse("|a|b|c|"), "|c|b|a|");
    EXPECT_EQ(SUB::Distinct("| a |A|b||a|"), "|a|b|");
    EXPECT_EQ(SUB::RemoveField("|a|b|c|", 1), "|a|c|");
    EXPECT_EQ(SUB::RemoveField("|a|b|c|", 3), "|a|b|c|");
    EXPECT_EQ(SUB::TrimEmpty("|||a||b|||", true, false), "|||a||b|");
    EXPECT_EQ(SUB::TrimEmpty("|||a||b|||", true, true), "|a||b|");
    EXPECT_EQ(SUB::TrimEmpty("||||", true, true), "");
    EXPECT_EQ(SUB::Left("|a=1|b=2|c|"), "|a|b|c|");
    EXPECT_EQ(SUB::Right("|a=1|b=2=3|c|"), "|1|2=3||");
    EXPECT_EQ(SUB::Zip("|a|b|c|", "|1|2|"), "|a=1|b=2|c=|");
}

} // namespace
