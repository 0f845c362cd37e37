// Buttons, keys and geometry of the boxes, shared by every platform.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LanguageTable.h"
#include "dialogs/Inform.h"
#include "dialogs/MsgBox.h"
#include "platform/ui.h"

namespace {

std::string Describe(const std::vector<plat::BoxButton>& buttons) {
    std::string s;
    for (const plat::BoxButton& b : buttons)
        s += b.caption + "=" + std::to_string(b.result) + " ";
    return s;
}

TEST(BoxButtons, SetsCaptionsAndResults) {
    const struct {
        std::uint32_t flags;
        const char* buttons;
    } cases[] = {
        {0x0, "&OK=1 "},
        {0x1, "&OK=1 &Cancel=2 "},
        {0x2, "&Abort=3 &Retry=4 &Ignore=5 "},
        {0x3, "&Yes=6 &No=7 &Cancel=2 "},
        {0x24 | kWrapperFlags, "&Yes=6 &No=7 "},
        {0x5, "&Retry=4 &Cancel=2 "},
        {0x6, ""},
        {0xF, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Describe(BoxButtons(kDefaultButtonTexts, c.flags)), c.buttons) << c.flags;
    // Captions come from the list by position, whatever its delimiter.
    EXPECT_EQ(Describe(BoxButtons("*Gut*Abbruch*Ja*Nein*a*b*c*", 0x4)), "Ja=6 Nein=7 ");
}

TEST(BoxButtons, DefaultButtonWrapsAround) {
    EXPECT_EQ(DefaultButtonIndex(0x003, 3), 0);
    EXPECT_EQ(DefaultButtonIndex(0x203, 3), 2);
    EXPECT_EQ(DefaultButtonIndex(0x304, 2), 1);
    EXPECT_EQ(DefaultButtonIndex(0x500, 1), 0);
    EXPECT_EQ(DefaultButtonIndex(0x206, 0), 0);
}

TEST(BoxKeys, AltLetterAndPlainLetter) {
    const auto yesNoCancel = BoxButtons(kDefaultButtonTexts, 0x3);
    EXPECT_EQ(plat::box_alt_choice(yesNoCancel, 'n'), 1);
    EXPECT_EQ(plat::box_alt_choice(yesNoCancel, 'C'), 2);
    EXPECT_EQ(plat::box_alt_choice(yesNoCancel, 'x'), -1);
    EXPECT_EQ(plat::box_key_choice(yesNoCancel, 'y'), 0);
    EXPECT_EQ(plat::box_key_choice(yesNoCancel, '1'), -1);

    // Without "&": Alt matches the second character, the plain key the first.
    const auto plain = BoxButtons("|OK|Cancel|Yes|No|Abort|Retry|Ignore|", 0x3);
    EXPECT_EQ(plat::box_alt_choice(plain, 'e'), 0);
    EXPECT_EQ(plat::box_key_choice(plain, 'n'), 1);
    EXPECT_EQ(plat::box_key_choice(plain, 'e'), -1);

    // Several buttons with one letter: Alt takes the leftmost, the key the
    // rightmost.
    const auto same = BoxButtons("|&Stop|&Same|&Stay|No|Abort|Retry|Ignore|", 0x3);
    EXPECT_EQ(plat::box_alt_choice(same, 's'), 0);
    EXPECT_EQ(plat::box_key_choice(same, 's'), 2);
}

TEST(BoxGeometry, TextAreaAndBoxSize) {
    // An empty text is the narrowest box.
    const plat::Size empty = plat::box_text_size({4}, 13);
    EXPECT_EQ(empty.width, 24);
    EXPECT_EQ(empty.height, 13);
    EXPECT_EQ(plat::box_outer_size(empty, 4, 4, 19).width, 360);
    // A line wider than 600 pixels wraps into a 610-pixel area, one line per
    // started 600 pixels.
    const plat::Size wide = plat::box_text_size({50, 1300}, 13);
    EXPECT_EQ(wide.width, 610);
    EXPECT_EQ(wide.height, 13 + 3 * 13);
    const plat::Size outer = plat::box_outer_size(wide, 4, 4, 19);
    EXPECT_EQ(outer.width, 610 + 54 + 64 + 8);
    EXPECT_EQ(outer.height, 52 + 36 + 64 + 8 + 19);
    EXPECT_EQ(plat::box_outer_size({150, 20}, 0, 0, 0).height, 20 + 36 + 90);
}

TEST(BoxGeometry, ButtonsTouchAtTheBottomRight) {
    const plat::Size client{400, 200};
    const plat::Rect last = plat::box_button_rect(client, 2, 3);
    EXPECT_EQ(last.x, 320);
    EXPECT_EQ(last.y, 171);
    EXPECT_EQ(plat::box_button_rect(client, 0, 3).x, 180);
    EXPECT_EQ(plat::box_button_rect(client, 0, 1).x, 320);
    const plat::Rect text = plat::box_text_rect(client, {100, 40});
    EXPECT_EQ(text.x, (400 - 54 - 100) / 2 + 54);
    EXPECT_EQ(text.y, (200 - 36 - 40) / 2);
    EXPECT_EQ(text.height, 200 - text.y - 39);
}

TEST(BoxFont, FromTheLanguageAndSizeZeroKeepsTheSize) {
    // Adjacent literals: a hex escape would swallow the letters after it.
    const std::string block = "\x02\x01"
                              "Hebrew\x01"
                              "FontName=Arial\x01"
                              "FontSize=10\x01"
                              "Charset=177\x01\x02";
    language::ResetLanguageSelection();
    SetMsgBoxFontFromLanguage(block);
    language::ResetLanguageSelection();
    EXPECT_EQ(MsgBoxFont().face, "Arial");
    EXPECT_EQ(MsgBoxFont().points, 10);
    EXPECT_EQ(MsgBoxFont().charset, 177);
    SetMsgBoxFont("Tahoma", 0, 1);
    EXPECT_EQ(MsgBoxFont().points, 10);
    SetMsgBoxFont("Tahoma", 8, 1);
}

TEST(Inform, LinksAndFaces) {
    EXPECT_TRUE(InformLinkAllowed("http://example.com/a"));
    EXPECT_TRUE(InformLinkAllowed("HTTPS://example.com"));
    EXPECT_FALSE(InformLinkAllowed("file:///etc/passwd"));
    EXPECT_FALSE(InformLinkAllowed("C:\\Windows\\system32\\calc.exe"));
    EXPECT_FALSE(InformLinkAllowed("httpx://a"));
    EXPECT_FALSE(InformLinkAllowed(""));
    EXPECT_EQ(InformTextFace(""), "Verdana");
    EXPECT_EQ(InformTextFace("Tahoma"), "Verdana");
    EXPECT_EQ(InformTextFace("Arial"), "Arial");
    const plat::Size client{400, 300};
    const plat::Rect withLink = plat::inform_text_rect(client, true);
    EXPECT_EQ(withLink.height, 257);
    EXPECT_EQ(plat::inform_text_rect(client, false).height, 300);
    EXPECT_EQ(plat::inform_text_rect(client, false).x, 3);
    EXPECT_EQ(plat::inform_button_rect(client).x, 120);
    EXPECT_EQ(plat::inform_button_rect(client).y, 267);
}

TEST(Inform, EmptyTextWithoutAnOpenableLinkShowsNothing) {
    EXPECT_FALSE(ShowInform(0, "c", "b", "", "", 300, 200, false, "", 8, 0));
    EXPECT_FALSE(ShowInform(0, "c", "b", "", "  file:///etc/passwd ", 300, 200, false, "", 8, 0));
}

} // namespace
