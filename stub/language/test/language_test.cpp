#include "LanguageTable.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace language;

namespace {

// A block of languages, each given as its name and its key=value texts.
std::string Block(const std::vector<std::vector<std::string>>& languages) {
    std::string block = "\x02";
    for (const auto& language : languages) {
        block += "\x01";
        for (const std::string& item : language)
            block += item + "\x01";
        block += "\x02";
    }
    return block;
}

std::string NameOf(const std::string& item) {
    std::size_t end = item.find('\x01', 1);
    return item.empty() ? "" : item.substr(1, end - 1);
}

TEST(LanguageName, FirstRowContainingTheIdWins) {
    struct Case {
        unsigned id;
        const char* name;
    } cases[] = {
        {7, "GERMAN"},
        {9, "ENGLISH"},
        {1, "ARABIC"},
        {10, "SPANISH"},
        {26, "CROATIAN"},            // SERBIAN has 26 too, later
        {52, "CHINESE(SIMPLIFIED)"}, // only inside 2052
        {2052, "CHINESE(SIMPLIFIED)"},
        {3098, "SERBIAN(CYRILIC)"},
        {99, ""},
        {0, ""}, // "00" stands in no row
    };
    for (const Case& c : cases)
        EXPECT_EQ(LanguageName(c.id), c.name) << c.id;
}

TEST(LanguageName, NamesOfTheTable) {
    EXPECT_TRUE(IsLanguageName("English"));
    EXPECT_TRUE(IsLanguageName(" chinese(simplified) "));
    EXPECT_TRUE(IsLanguageName("SERBIAN")); // in the table, though id 26 finds CROATIAN
    EXPECT_FALSE(IsLanguageName("Klingon"));
    EXPECT_FALSE(IsLanguageName(""));
}

TEST(LanguageName, PrimaryIdOfALocale) {
    EXPECT_EQ(PrimaryLanguageId(0x0407), 7u);
    EXPECT_EQ(PrimaryLanguageId(0x0C0A), 10u);
    EXPECT_EQ(PrimaryLanguageId(0x0000), 9u);
    EXPECT_EQ(PrimaryLanguageId(0x10000), 9u); // low 16 bits zero
    EXPECT_EQ(PrimaryLanguageId(0x0804), 4u);
}

TEST(SelectLanguage, FallsBackToTheOnlyLanguageThenEnglish) {
    struct Case {
        std::vector<std::vector<std::string>> languages;
        const char* wanted;
        const char* chosen; // "" for none
    } cases[] = {
        {{{"English", "s1=x"}}, "GERMAN", "English"},
        {{{"German", "s1=x"}, {"English", "s1=y"}}, "FRENCH", "English"},
        {{{"German", "s1=x"}, {"Spanish", "s1=y"}}, "FRENCH", ""},
        {{{"English", "s1=x"}, {" german ", "s1=y"}}, "GERMAN", " german "},
        {{{"Spanish", "s1=x"}}, "", "Spanish"},
        {{}, "GERMAN", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NameOf(SelectLanguage(Block(c.languages), c.wanted)), c.chosen)
            << c.wanted << " in " << c.languages.size() << " languages";
    EXPECT_EQ(SelectLanguage("", "ENGLISH"), "");
}

TEST(LookupKey, MatchesTheWholeKeyIgnoringCase) {
    std::string item = "\x01"
                       "English\x01s1=one\x01s10=ten\x01s0=\x01Title  =  spaced\x01";
    EXPECT_EQ(LookupKey(item, "s1", "d"), "one");
    EXPECT_EQ(LookupKey(item, "s10", "d"), "ten");
    EXPECT_EQ(LookupKey(item, "S1", "d"), "one");
    EXPECT_EQ(LookupKey(item, "s1=", "d"), "one");
    EXPECT_EQ(LookupKey(item, "s0", "d"), "");            // present but empty
    EXPECT_EQ(LookupKey(item, "s2", "d"), "d");           // missing
    EXPECT_EQ(LookupKey(item, "title", "d"), "  spaced"); // blanks before "=" go
    EXPECT_EQ(LookupKey("", "s1", "d"), "d");
}

TEST(LanguageString, ChoiceIsMadeOnceForTheProcess) {
    ResetLanguageSelection();
    std::string first = Block({{"Klingon", "s1=Entpacken", "Charset=abc", "FontSize=12"}});
    std::string second = Block({{"English", "s1=Extracting"}});
    EXPECT_EQ(LanguageString(first, "s1", "d"), "Entpacken");
    EXPECT_EQ(LanguageString(second, "s1", "d"), "Entpacken");
    EXPECT_EQ(Charset(second), 0);
    EXPECT_EQ(FontSize(second), 12);
    EXPECT_EQ(FontName(second), "Tahoma");
    EXPECT_EQ(LanguageString(second, "s7"), BuiltInText("s7"));
    ResetLanguageSelection();
}

TEST(LanguageString, NoSelectionGivesBuiltInTexts) {
    ResetLanguageSelection();
    std::string block = Block({{"Klingon", "s0=a", "FontSize=x"}, {"Vulcan", "s0=b"}});
    EXPECT_EQ(LanguageString(block, "s0"), "Harbix Installation Suite");
    EXPECT_EQ(LanguageString(block, "BtnText"), "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|");
    EXPECT_EQ(FontSize(block), 8);
    EXPECT_EQ(Charset(block), 0);
    EXPECT_EQ(BuiltInText("s9"), "");
    ResetLanguageSelection();
}

} // namespace

namespace {

// Run by extra test entries with the user's locale set in their environment
// (STUB_EXPECT_LANGUAGE names the language it must give); skipped otherwise.
TEST(UserLocale, ChoosesTheLanguageOfTheUser) {
    const char* expected = std::getenv("STUB_EXPECT_LANGUAGE");
    if (!expected)
        GTEST_SKIP() << "no locale set up for this run";
    EXPECT_EQ(UserLanguageName(), expected);
    ResetLanguageSelection();
    std::string block = Block({{"English", "s1=Extracting"}, {expected, "s1=chosen"}});
    EXPECT_EQ(LanguageString(block, "s1", "d"),
              std::string(expected) == "ENGLISH" ? "Extracting" : "chosen");
    ResetLanguageSelection();
}

} // namespace
