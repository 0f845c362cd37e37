// The markup of the boxes, laid out the same on every platform.
#include <gtest/gtest.h>

#include <string>

#include "dialogs/MsgBox.h"

namespace {

// Lines joined with "|", bold spans in "*".
std::string Render(const plat::MarkedText& m) {
    std::string s;
    for (std::size_t i = 0; i < m.lines.size(); ++i) {
        if (i)
            s += "|";
        for (const plat::TextSpan& span : m.lines[i])
            s += span.bold ? "*" + span.text + "*" : span.text;
    }
    return s;
}

struct Case {
    const char* markup;
    const char* lines;
};

TEST(Markup, LinesAndStyles) {
    const Case cases[] = {
        {"Hello", "Hello"},
        {"", ""},
        {"a<P>b<p>c", "a|b|c"},
        {"a\\\\nb", "a|b"},
        {"a\\\\Nb", "a\\\\Nb"}, // only the lower-case n breaks
        {"a<T>b<t>c\\\\td", "a\tb\tc\td"},
        {"one<P>", "one"}, // a final break adds no line
        {"one<P><P>", "one|"},
        {"&OK & more", "&OK & more"}, // "&" is no markup in the text
        {"<b>x</b> y <B>z</B>", "*x* y *z*"},
        {"<B>a<P>b</B> c", "*a*|*b* c"}, // a bold run across a line break
        {"<B>never closed", "never closed"},
        {"</B>a <B>b</B> c", "a b c"}, // a stray closing tag ends every later run
        {"a <B>b</B> c </b>", "a *b* c "},
        {"<<b>Head</b><P><P>text<P>", "*Head*||text"},
        {"x<<b>y", "x<y"}, // away from the start "<b>" opens a run
        {"<B></B>plain", "plain"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Render(LayoutMarkup(c.markup)), c.lines) << c.markup;
}

TEST(Markup, BoldRunsCountLineBreaksAsTwoCharacters) {
    const plat::MarkedText m = LayoutMarkup("x<P>y <B>bold</B> z<B>w</B>");
    EXPECT_EQ(m.text, "x\r\ny bold zw");
    ASSERT_EQ(m.bold.size(), 2u);
    EXPECT_EQ(m.text.substr(m.bold[0].start, m.bold[0].end - m.bold[0].start), "bold");
    EXPECT_EQ(m.text.substr(m.bold[1].start, m.bold[1].end - m.bold[1].start), "w");
}

TEST(Markup, HeadingOfOwnerModeZero) {
    EXPECT_EQ(HeadingText("Error", "t"), "<<b>ERROR</b><P><P>t<P>");
    EXPECT_EQ(HeadingText("Confirm", "t"), "<<b>CONFIRM</b><P><P>t<P>");
    // A translated caption, or one only partly like a standard one, stays.
    EXPECT_EQ(HeadingText("Fehler", "t"), "<<b>Fehler</b><P><P>t<P>");
    EXPECT_EQ(HeadingText("error", "t"), "<<b>error</b><P><P>t<P>");
    EXPECT_EQ(HeadingText("Err", "t"), "<<b>Err</b><P><P>t<P>");
    EXPECT_EQ(Render(LayoutMarkup(HeadingText("Error", "Disk full"))), "*ERROR*||Disk full");
}

} // namespace
