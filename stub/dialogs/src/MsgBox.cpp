#include "dialogs/MsgBox.h"

#include "LanguageTable.h"
#include "util/services.h"
#include "util/sub.h"
#include "util/text.h"

const char kDefaultButtonTexts[] = "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|";
const char kDefaultCaptions[] = "|Error|Attention|Confirm|";

namespace {

plat::BoxFont g_font;

struct ButtonDef {
    int caption; // index into the seven-entry caption list
    int result;
};

const std::vector<ButtonDef>& ButtonSet(unsigned set) {
    static const std::vector<ButtonDef> sets[] = {
        {{0, BOX_OK}},
        {{0, BOX_OK}, {1, BOX_CANCEL}},
        {{4, BOX_ABORT}, {5, BOX_RETRY}, {6, BOX_IGNORE}},
        {{2, BOX_YES}, {3, BOX_NO}, {1, BOX_CANCEL}},
        {{2, BOX_YES}, {3, BOX_NO}},
        {{5, BOX_RETRY}, {1, BOX_CANCEL}},
        {},
    };
    return set < 6 ? sets[set] : sets[6];
}

// Removes every occurrence of tag from both the text and its upper-case copy.
void EraseAll(std::string& text, std::string& upper, const std::string& tag) {
    for (std::size_t p; (p = upper.find(tag)) != std::string::npos;) {
        text.erase(p, tag.size());
        upper.erase(p, tag.size());
    }
}

bool IsBold(const std::vector<plat::BoldRun>& runs, std::size_t pos) {
    for (const plat::BoldRun& r : runs)
        if (pos >= r.start && pos < r.end)
            return true;
    return false;
}

// The lines a box shows: the text split at CR LF into spans of one weight.
std::vector<plat::TextLine> SplitLines(const std::string& text,
                                       const std::vector<plat::BoldRun>& runs) {
    std::vector<plat::TextLine> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            ++i;
            // A last piece after a final line break is no line of its own.
            if (i + 1 < text.size())
                lines.emplace_back();
            continue;
        }
        const bool bold = IsBold(runs, i);
        plat::TextLine& line = lines.back();
        if (line.empty() || line.back().bold != bold)
            line.push_back({std::string(), bold});
        line.back().text += text[i];
    }
    return lines;
}

} // namespace

void SetMsgBoxFont(const std::string& faceName, int sizePoints, int charset) {
    g_font.face = faceName;
    if (sizePoints != 0)
        g_font.points = sizePoints;
    g_font.charset = charset;
}

plat::BoxFont MsgBoxFont() {
    return g_font;
}

void SetMsgBoxFontFromLanguage(const std::string& languageBlock) {
    SetMsgBoxFont(language::FontName(languageBlock), language::FontSize(languageBlock),
                  language::Charset(languageBlock));
}

std::string ConvertMarkup(const std::string& text) {
    std::string t = ReplaceAll(text, "\\\\n", "\r\n");
    t = ReplaceAll(t, "\\\\t", "\t");
    t = ReplaceAllCi(t, "<P>", "\r\n");
    return ReplaceAllCi(t, "<T>", "\t");
}

plat::MarkedText LayoutMarkup(const std::string& markup) {
    std::string text = ConvertMarkup(markup);
    if (text.compare(0, 4, "<<b>") == 0 || text.compare(0, 4, "<<B>") == 0)
        text.erase(0, 1);
    std::string upper = UpperCase(text);
    plat::MarkedText out;
    for (std::size_t open; (open = upper.find("<B>")) != std::string::npos;) {
        text.erase(open, 3);
        upper.erase(open, 3);
        const std::size_t close = upper.find("</B>");
        // A closing tag before the opening one stays where it is, so it ends
        // every later opening tag without a run.
        if (close == std::string::npos || close < open)
            continue;
        text.erase(close, 4);
        upper.erase(close, 4);
        // The control addresses characters with 16 bits; a run beyond that
        // is left in normal weight rather than wrapped onto other words.
        if (close > open && close <= 0xFFFF)
            out.bold.push_back(
                {static_cast<std::uint16_t>(open), static_cast<std::uint16_t>(close)});
    }
    EraseAll(text, upper, "</B>");
    out.lines = SplitLines(text, out.bold);
    out.text = std::move(text);
    return out;
}

std::vector<plat::BoxButton> BoxButtons(const std::string& buttonTexts, std::uint32_t flags) {
    std::vector<plat::BoxButton> out;
    for (const ButtonDef& b : ButtonSet(flags & 0xF))
        out.push_back({SUB::Field(buttonTexts, b.caption), b.result});
    return out;
}

int DefaultButtonIndex(std::uint32_t flags, int count) {
    return count > 0 ? static_cast<int>(((flags >> 8) & 0xF) % static_cast<unsigned>(count)) : 0;
}

std::string HeadingText(const std::string& caption, const std::string& text) {
    const bool standard =
        !caption.empty() && SUB::Contains(kDefaultCaptions, caption, false, false);
    return "<<b>" + (standard ? UpperCase(caption) : caption) + "</b><P><P>" + text + "<P>";
}

int MarkedMessageBox(plat::WindowHandle owner, const std::string& text, const std::string& caption,
                     const std::string& buttonTexts, std::uint32_t flags, int timeoutMs) {
    plat::BoxRequest r;
    r.owner = owner;
    r.caption = caption;
    r.text = LayoutMarkup(text);
    r.buttons = BoxButtons(buttonTexts, flags);
    r.defaultButton = DefaultButtonIndex(flags, static_cast<int>(r.buttons.size()));
    r.flags = flags;
    r.timeoutMs = timeoutMs > 0 ? timeoutMs : 0;
    r.font = g_font;
    r.autoPlayMessage = AutoPlayCancelMessage();
    r.developerOffset =
        DeveloperFlag() && text.find("Do you want to store the new Entry in") != std::string::npos;
    return plat::message_box(r);
}

int ShowMsgBox(std::uintptr_t ownerMode, const std::string& text, const std::string& caption,
               const std::string& buttonTexts, int charset, std::uint32_t flags, int timeoutMs) {
    plat::WindowHandle owner = 0;
    std::string body = text;
    if (ownerMode <= 2)
        owner = plat::active_window();
    else
        owner = static_cast<plat::WindowHandle>(ownerMode);
    if (ownerMode == 0)
        body = HeadingText(caption, text);
    if (ownerMode == 2)
        flags |= plat::BOX_NO_CLOSE;
    if (charset == 177 || charset == 178)
        flags |= plat::BOX_RIGHT | plat::BOX_RTL_READING;
    const int result = MarkedMessageBox(owner, body, caption, buttonTexts, flags, timeoutMs);
    YieldWait(0, 100);
    return result;
}

namespace {

int WrapperBox(std::uintptr_t ownerMode, const std::string& text, const std::string& caption,
               const std::string& buttonTexts, int charset, int captionIndex, std::uint32_t flags,
               int timeoutMs) {
    const std::string texts = buttonTexts.empty() ? kDefaultButtonTexts : buttonTexts;
    const std::string title =
        caption.empty() ? SUB::Field(kDefaultCaptions, captionIndex) : caption;
    return ShowMsgBox(ownerMode, text, title, texts, charset, flags | kWrapperFlags, timeoutMs);
}

} // namespace

void ErrorBox(std::uintptr_t ownerMode, const std::string& text, const std::string& caption,
              const std::string& buttonTexts, int charset) {
    WrapperBox(ownerMode, text, caption, buttonTexts, charset, 0, 0x10, 0);
}

void AttentionBox(std::uintptr_t ownerMode, const std::string& text, const std::string& caption,
                  const std::string& buttonTexts, int charset, int timeoutMs) {
    WrapperBox(ownerMode, text, caption, buttonTexts, charset, 1, 0x30, timeoutMs);
}

bool ConfirmYesNo(std::uintptr_t ownerMode, const std::string& text, const std::string& caption,
                  const std::string& buttonTexts, int charset, int timeoutMs) {
    return WrapperBox(ownerMode, text, caption, buttonTexts, charset, 2, 0x24, timeoutMs) ==
           BOX_YES;
}

bool ConfirmOkCancel(std::uintptr_t ownerMode, const std::string& text, const std::string& caption,
                     const std::string& buttonTexts, int charset) {
    return WrapperBox(ownerMode, text, caption, buttonTexts, charset, 2, 0x21, 0) == BOX_OK;
}
