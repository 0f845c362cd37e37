#include "dialogs/Inform.h"

#include "platform/ui.h"
#include "util/services.h"
#include "util/text.h"

bool InformLinkAllowed(const std::string& link) {
    return StartsWith("http://", link) || StartsWith("https://", link);
}

std::string InformTextFace(const std::string& fontName) {
    return fontName.empty() || fontName == "Tahoma" ? "Verdana" : fontName;
}

bool ShowInform(plat::WindowHandle owner, const std::string& caption, const std::string& buttonText,
                const std::string& text, const std::string& link, int width, int height,
                bool rightToLeft, const std::string& fontName, int fontSize, int charset) {
    const std::string url = Trim(link);
    const bool openable = InformLinkAllowed(url);
    if (text.empty())
        return openable && ShellOpen(url, "", plat::SHOW_NORMAL);
    plat::InformRequest r;
    r.owner = owner;
    r.caption = caption;
    r.buttonText = buttonText;
    r.text = text;
    r.link = openable ? url : std::string();
    r.width = width;
    r.height = height;
    r.rightToLeft = rightToLeft;
    r.buttonFont.face = fontName;
    r.buttonFont.points = fontSize;
    r.buttonFont.charset = charset;
    r.textFace = InformTextFace(fontName);
    plat::show_inform(r);
    return true;
}
