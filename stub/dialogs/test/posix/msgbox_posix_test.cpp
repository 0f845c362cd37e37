// The terminal form of the boxes: scripted answers, the answer without a
// terminal, and what a box prints.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "dialogs/Inform.h"
#include "dialogs/MsgBox.h"

namespace {

// Standard input from /dev/null and standard output into a file for the
// life of the fixture, so that no box waits for a person.
class TerminalBox : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/stub-box-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_dir = dir;
        std::fflush(stdout);
        m_savedIn = dup(STDIN_FILENO);
        m_savedOut = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        close(null);
        const int out = open((m_dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        close(out);
    }
    void TearDown() override {
        dup2(m_savedIn, STDIN_FILENO);
        dup2(m_savedOut, STDOUT_FILENO);
        close(m_savedIn);
        close(m_savedOut);
        unsetenv("STUB_ANSWERS");
        std::remove((m_dir + "/answers").c_str());
        std::remove((m_dir + "/out").c_str());
        rmdir(m_dir.c_str());
    }
    void Answers(const std::string& lines) {
        const std::string path = m_dir + "/answers";
        std::ofstream(path) << lines;
        setenv("STUB_ANSWERS", path.c_str(), 1);
    }
    std::string Printed() {
        std::ifstream f(m_dir + "/out");
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    std::string m_dir;
    int m_savedIn = -1;
    int m_savedOut = -1;
};

TEST_F(TerminalBox, ScriptedAnswersThenTheTimeoutsChoice) {
    Answers("n\n\ny\nx\nr\n");
    const char* list = kDefaultButtonTexts;
    EXPECT_EQ(ShowMsgBox(1, "t", "c", list, 0, 0x3, 0), BOX_NO);
    EXPECT_EQ(ShowMsgBox(1, "t", "c", list, 0, 0x103, 0), BOX_NO); // empty line: default
    EXPECT_TRUE(ConfirmYesNo(1, "t"));
    EXPECT_EQ(ShowMsgBox(1, "t", "c", list, 0, 0x1, 0), BOX_CLOSED); // no such letter
    EXPECT_EQ(ShowMsgBox(1, "t", "c", list, 0, 0x2, 0), BOX_RETRY);
    // The script has run out and there is no terminal: a timeout chooses the
    // leftmost button, no timeout closes the box.
    EXPECT_TRUE(ConfirmYesNo(1, "t", "", "", 0, 50));
    EXPECT_FALSE(ConfirmYesNo(1, "t"));
    EXPECT_FALSE(ConfirmOkCancel(1, "t"));
}

TEST_F(TerminalBox, PrintsCaptionTextAndButtons) {
    Answers("c\n");
    EXPECT_FALSE(ConfirmOkCancel(0, "Space is <b>short</b>.<P>Go on?", "", "|OK|&Cancel|||||"));
    // Not a terminal: bold stays plain text.
    EXPECT_EQ(Printed(), "== Confirm ==\nCONFIRM\n\nSpace is short.\nGo on?\n[O]K  [C]ancel\n"
                         "-> [C]ancel\n");
}

TEST_F(TerminalBox, InformPrintsTextAndOnlyAnOpenableLink) {
    EXPECT_TRUE(ShowInform(0, "News", "Open", "Line 1\r\nLine 2", " https://example.com/n ", 400,
                           300, false, "", 8, 0));
    EXPECT_TRUE(
        ShowInform(0, "News", "Open", "Text", "javascript:alert(1)", 400, 300, false, "", 8, 0));
    EXPECT_EQ(Printed(), "== News ==\nLine 1\r\nLine 2\nOpen: https://example.com/n\n"
                         "== News ==\nText\n");
}

} // namespace
