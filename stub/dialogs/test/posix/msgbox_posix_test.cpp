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
#include "posix/loop.h"

namespace {

// Standard input from /dev/null and standard output into a file for the
// life of the fixture, so that no box waits for a person.
class TerminalBox : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("STUB_ANSWERS"); // a caller's own script must not answer these boxes
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

// A box on a terminal: standard input (and, where asked, output) is a
// pseudo-terminal whose other end the test types into.
class TerminalSession : public TerminalBox {
protected:
    void SetUp() override {
        TerminalBox::SetUp();
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_master, 0);
        ASSERT_EQ(grantpt(m_master), 0);
        ASSERT_EQ(unlockpt(m_master), 0);
        const int slave = open(ptsname(m_master), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave, 0);
        dup2(slave, STDIN_FILENO);
        m_slave = slave;
    }
    void TearDown() override {
        TerminalBox::TearDown();
        close(m_slave);
        close(m_master);
    }
    void Type(const std::string& keys) {
        ASSERT_EQ(write(m_master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    int m_master = -1;
    int m_slave = -1;
};

TEST_F(TerminalSession, LettersEnterEscapeAndTimeout) {
    const char* list = kDefaultButtonTexts;
    Type("n\n");
    EXPECT_EQ(ShowMsgBox(1, "t", "c", list, 0, 0x3, 0), BOX_NO);
    Type("\n");
    EXPECT_EQ(ShowMsgBox(1, "t", "c", list, 0, 0x203, 0), BOX_CANCEL);
    Type("\033\n");
    EXPECT_EQ(ShowMsgBox(1, "t", "c", list, 0, 0x3, 0), BOX_CLOSED);
    // Nobody types: the timeout chooses the leftmost button.
    EXPECT_EQ(ShowMsgBox(1, "t", "c", list, 0, 0x5, 100), BOX_RETRY);
}

TEST_F(TerminalSession, OtherSourcesAreServedWhileTheBoxWaits) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    bool served = false;
    // The answer arrives only through another source of the loop.
    plat::posix::add_source(fds[0], [&] {
        char c;
        EXPECT_EQ(read(fds[0], &c, 1), 1);
        served = true;
        Type("y\n");
    });
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    EXPECT_TRUE(ConfirmYesNo(1, "t", "", "", 0, 5000));
    EXPECT_TRUE(served);
    plat::posix::remove_source(fds[0]);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(TerminalSession, BoldUsesTheTerminalAttribute) {
    std::fflush(stdout);
    dup2(m_slave, STDOUT_FILENO);
    Type("o\n");
    ErrorBox(1, "Disk <b>full</b>");
    char buf[4096];
    const ssize_t n = read(m_master, buf, sizeof buf);
    ASSERT_GT(n, 0);
    EXPECT_NE(std::string(buf, static_cast<std::size_t>(n)).find("Disk \033[1mfull\033[0m"),
              std::string::npos);
}

} // namespace
