// The marked-up message box: every question, warning and error of Stub.
//
// Markup: "\\n" and "<P>" break the line, "\\t" and "<T>" are tabs, the text
// between "<B>" and "</B>" is bold (tags in any case except the backslash
// forms), and a leading "<<b>" loses its first character. Nothing else is
// markup.
#ifndef STUB_DIALOGS_MSGBOX_H
#define STUB_DIALOGS_MSGBOX_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui.h"

// Captions of the buttons OK, Cancel, Yes, No, Abort, Retry, Ignore.
extern const char kDefaultButtonTexts[];
// Default captions of ErrorBox, AttentionBox and the confirmations.
extern const char kDefaultCaptions[];

// Values a box returns.
enum BoxResult : int {
    BOX_CLOSED = 0,
    BOX_OK = 1,
    BOX_CANCEL = 2,
    BOX_ABORT = 3,
    BOX_RETRY = 4,
    BOX_IGNORE = 5,
    BOX_YES = 6,
    BOX_NO = 7,
};

// Flags the wrappers add (task-modal, set-foreground, topmost); a box is
// topmost in any case.
const std::uint32_t kWrapperFlags = 0x52000;

void SetMsgBoxFont(const std::string& faceName, int sizePoints, int charset);
plat::BoxFont MsgBoxFont();
// The font of the language chosen for this process ("FontName", "FontSize",
// "Charset" of the language block).
void SetMsgBoxFontFromLanguage(const std::string& languageBlock);

// Line breaks and tabs of the markup (bold tags stay).
std::string ConvertMarkup(const std::string& text);
// The whole markup: plain text, bold ranges and the lines a box shows. A
// final line break adds no empty line; an empty text is one empty line.
plat::MarkedText LayoutMarkup(const std::string& text);

// The buttons of the set (flags & 0xF), captions from the seven-entry list.
std::vector<plat::BoxButton> BoxButtons(const std::string& buttonTexts, std::uint32_t flags);
// Index of the default button ((flags >> 8) & 0xF modulo count); 0 without buttons.
int DefaultButtonIndex(std::uint32_t flags, int count);
// The text of an owner-mode-0 box: the caption as bold heading (upper-cased
// when it is one of the default captions), an empty line, the text.
std::string HeadingText(const std::string& caption, const std::string& text);

int MarkedMessageBox(plat::WindowHandle owner, const std::string& text, const std::string& caption,
                     const std::string& buttonTexts, std::uint32_t flags, int timeoutMs);
// ownerMode: 0 the active window, with the caption as heading; 1 the active
// window; 2 the active window and no Close; above 2 the owner window itself.
// Charsets 177 and 178 lay the text out right to left.
int ShowMsgBox(std::uintptr_t ownerMode, const std::string& text, const std::string& caption,
               const std::string& buttonTexts, int charset, std::uint32_t flags, int timeoutMs);

void ErrorBox(std::uintptr_t ownerMode, const std::string& text, const std::string& caption = "",
              const std::string& buttonTexts = "", int charset = 0);
void AttentionBox(std::uintptr_t ownerMode, const std::string& text,
                  const std::string& caption = "", const std::string& buttonTexts = "",
                  int charset = 0, int timeoutMs = 0);
// True for Yes; a timeout chooses Yes, closing the box No.
bool ConfirmYesNo(std::uintptr_t ownerMode, const std::string& text,
                  const std::string& caption = "", const std::string& buttonTexts = "",
                  int charset = 0, int timeoutMs = 0);
bool ConfirmOkCancel(std::uintptr_t ownerMode, const std::string& text,
                     const std::string& caption = "", const std::string& buttonTexts = "",
                     int charset = 0);

#endif
