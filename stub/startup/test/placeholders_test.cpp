// Path templates and their tokens.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/process.h"
#include "startup/folders.h"
#include "startup/placeholders.h"
#include "util/files.h"
#include "util/paths.h"

namespace {

const std::string kSep(1, plat::kPathSeparator);

TEST(PlaceholdersTest, ExpandsTemplates) {
    SetProductFolders("C:\\App", "C:\\Common", "");
    struct Case {
        std::string text;
        std::string trailing;
        bool withFolders;
        std::string expected;
    } cases[] = {
        {"<WinDir>system32", kSep, true, WindowsFolder(false) + kSep + "system32"},
        {"<WinDir>", kSep, true, WindowsFolder(false)},
        {"<windir> x", kSep, true, WindowsFolder(false) + " x"},
        {"|<SrcDir>|<TempDir>|", kSep, true,
         "|" + ProgramFolder(false) + "|" + TempFolder(false) + "|"},
        {"<WinDir>", kSep, false, "<WinDir>"},
        {"<InstallDir>bin", "\\", true, "C:\\App\\bin"},
        {"<Application Folder>a<InstallDir>", "\\", true, "C:\\App\\a"},
        {"<InstallCommonDir>x<AbsoluteDir>", "\\", true, "C:\\Common\\x"},
        {"<RunTimeDir_3>x", "\\", true, "\\x"},
        {"<UnInstallExePath>", "\\", true, ""},
        {"<InstallDrive>", "\\", true, "C:\\"},
        {"<InstallDisk>\\x", "\\", true, "C:\\x"},
        {"<ComputerName>", "", false, ComputerName()},
        {"<LoggedUserName>/<UserName>", "", false, LoggedUserName() + "/" + RegisteredOwner()},
        {"<LastExecutableExitCode>,<ReqFreeDiskSpaceMB>", "", false, "0,0"},
        {"a<ProjectName><SelectedLanguage>b", "", false, "ab"},
        {"<Date=9>", "", false, "<Date=9>"},
        {"no tokens", "", true, "no tokens"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandPlaceholders(c.text, c.trailing, false, c.withFolders), c.expected)
            << c.text;
    const std::string dated = ExpandPlaceholders("x<Date=7>y", "", false, false);
    EXPECT_EQ(dated.size(), 21u) << dated;
    EXPECT_EQ(dated.find('<'), std::string::npos);
    SetProductFolders("", "", "");
}

TEST(PlaceholdersTest, FolderTokenRule) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"<A>", "V"},        {"<A>x", "V/x"},  {"<A> x", "V x"}, {"|<A>|<a>x|", "|V|Vx|"},
        {"<A><B>", "V/<B>"}, {",<A>,", ",V,"}, {"x<A>", "xV"},   {"none", "none"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplaceFolderToken(c.text, "<A>", "V", "/"), c.expected) << c.text;
}

TEST(PlaceholdersTest, CollapsesDoubledBackslashes) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"C:\\\\a\\\\b", "C:\\a\\b"},
        {"\\\\server\\\\share", "\\\\server\\share"},
        {"\\\\\\server", "\\\\server"},
        {"|a|\\\\srv\\\\x|", "|a|\\\\srv\\x|"},
        {"x", "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CollapseBackslashes(c.text), c.expected) << c.text;
}

TEST(PlaceholdersTest, DateTokens) {
    struct Case {
        char c;
        const char* expected;
    } cases[] = {
        {'#', "09.December.2026"},
        {'1', "09-12-26"},
        {'2', "12-09-26"},
        {'3', "26-12-09"},
        {'4', "09-12-2026"},
        {'5', "12-09-2026"},
        {'6', "2026-12-09"},
        {'7', "2026-12-09 08-05-03"},
        {'9', ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DateTokenText(c.c, 2026, 12, 9, 8, 5, 3, ".", "-"), c.expected) << c.c;
    EXPECT_EQ(DateTokenText('0', 2000, 1, 11, 23, 0, 0, "/", ":"), "10");
}

TEST(PlaceholdersTest, RelativePathsBecomeFull) {
    const std::string rel = "a" + kSep + ".." + kSep + "b";
    EXPECT_EQ(ExpandPlaceholders(rel, "", true, false), plat::full_path("b"));
    EXPECT_EQ(ExpandPlaceholders(rel, "", false, false), rel);
    EXPECT_EQ(ExpandPlaceholders("|" + rel + "|plain|", "", true, false),
              "|" + plat::full_path("b") + "|plain|");
}

} // namespace
