// The inform dialog: the free text that comes with an update, in a resizable
// window with an optional button that opens a link.
#ifndef STUB_DIALOGS_INFORM_H
#define STUB_DIALOGS_INFORM_H

#include <string>

#include "platform/types.h"

// True for the links Stub opens: http:// and https:// (any case). A link
// comes from the update server, so nothing else is handed to the shell.
bool InformLinkAllowed(const std::string& link);

// The face of the inform text: fontName unless it is empty or "Tahoma".
std::string InformTextFace(const std::string& fontName);

// Shows text (and a button that opens link, when link is allowed) until
// the dialog is closed; width and height are its outer size. With an empty
// text only the link is opened. True when something was shown or opened.
bool ShowInform(plat::WindowHandle owner, const std::string& caption, const std::string& buttonText,
                const std::string& text, const std::string& link, int width, int height,
                bool rightToLeft, const std::string& fontName, int fontSize, int charset);

#endif
