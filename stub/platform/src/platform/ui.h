// The user interface Stub shows. Portable code decides what a box says and
// which buttons it has; the backends only draw it and wait for the answer.
#ifndef STUB_PLATFORM_UI_H
#define STUB_PLATFORM_UI_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace plat {

// ---------------------------------------------------------------------------
// Marked-up message box and inform dialog
// ---------------------------------------------------------------------------

// Flags of a box (the Win32 message-box values where one exists).
enum BoxFlags : std::uint32_t {
    BOX_ICON_MASK = 0x000000F0,
    BOX_ICON_HAND = 0x10,
    BOX_ICON_QUESTION = 0x20,
    BOX_ICON_EXCLAMATION = 0x30,
    BOX_ICON_ASTERISK = 0x40,
    BOX_RIGHT = 0x00080000,
    BOX_RTL_READING = 0x00100000,
    BOX_NO_CLOSE = 0x10000000,
};

// A piece of one line of laid-out text, bold or not.
struct TextSpan {
    std::string text;
    bool bold = false;
};
using TextLine = std::vector<TextSpan>;

// A bold range [start, end) in character offsets of MarkedText::text.
struct BoldRun {
    std::uint16_t start = 0;
    std::uint16_t end = 0;
};

// A text after its markup was interpreted: the plain text (line breaks as
// CR LF, tabs as TAB) with its bold ranges, and the same as lines of spans.
struct MarkedText {
    std::string text;
    std::vector<BoldRun> bold;
    std::vector<TextLine> lines;
};

struct BoxFont {
    std::string face = "Tahoma";
    int points = 8;
    int charset = 1;
};

struct BoxButton {
    std::string caption; // "&" marks the access letter
    int result = 0;
};

struct BoxRequest {
    WindowHandle owner = 0; // 0: the window active when the box opens
    std::string caption;
    MarkedText text;
    std::vector<BoxButton> buttons; // left to right, at most three
    int defaultButton = 0;          // index into buttons
    std::uint32_t flags = 0;
    int timeoutMs = 0; // > 0: the leftmost button is chosen when it runs out
    BoxFont font;
    std::uint32_t autoPlayMessage = 0; // answered with 1 while open; 0: none
    bool developerOffset = false;      // shift the box by +150, +150
};

// Shows the box modally and returns the chosen button's result, or 0 when it
// was closed without one. Other messages of the thread are served meanwhile.
int message_box(const BoxRequest& request);

// The window that is active for this thread (0: none).
WindowHandle active_window();

struct InformRequest {
    WindowHandle owner = 0;
    std::string caption;
    std::string buttonText;
    std::string text;
    std::string link; // empty: no button; otherwise opened by the button
    int width = 0;    // outer size in pixels
    int height = 0;
    bool rightToLeft = false;
    BoxFont buttonFont;
    std::string textFace; // face of the text area (cell height 15 pixels)
};

// Shows the inform dialog until it is closed. The owner stays enabled.
void show_inform(const InformRequest& request);

// Geometry shared by the backends that draw (pixels).
struct Size {
    int width = 0;
    int height = 0;
};
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Width and height of the text area for lines of the given extents: each
// line is as wide as its extent + 10 (at most 600) and takes one line height
// per started 600 pixels.
Size box_text_size(const std::vector<int>& lineExtents, int lineHeight);
// Outer box size for a text area of w x h and the frame metrics.
Size box_outer_size(Size text, int frameX, int frameY, int captionY);
// The text area inside a client area of cw x ch.
Rect box_text_rect(Size client, Size text);
// Button i of count (0 = leftmost) inside a client area of cw x ch.
Rect box_button_rect(Size client, int index, int count);
// The button chosen by Alt + ch: the leftmost whose caption's second
// character (the letter behind a leading "&") is ch or its upper-case form.
// -1 when none.
int box_alt_choice(const std::vector<BoxButton>& buttons, char ch);
// The button chosen by the plain key key (a letter, any case): the rightmost
// whose letter behind its first "&" (or whose first character, when it has
// no "&") is that letter, ignoring case. -1 when none or not a letter.
int box_key_choice(const std::vector<BoxButton>& buttons, char key);

// The inform dialog's text area and link button.
Rect inform_text_rect(Size client, bool hasLink);
Rect inform_button_rect(Size client);

// ---------------------------------------------------------------------------

} // namespace plat

#endif
