// The start-up window's own services, over the windows of platform/messages.h:
// the desktop's work area, showing and hiding, the child controls (a status
// line and two progress bars), painting the icon, and a description of the
// window for the programs that check it.
//
// POSIX: the children live in a table beside the window; a visible start-up
// window is one status-and-progress line on the terminal (standard output),
// and nothing is drawn without a terminal.
#ifndef STUB_PLATFORM_WINDOW_H
#define STUB_PLATFORM_WINDOW_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace plat {

constexpr std::uint32_t MSG_PAINT = 0x000F;

// Progress-bar messages (PBM_*).
enum ProgressMessage : std::uint32_t {
    PROGRESS_SETRANGE = 0x0401,
    PROGRESS_SETPOS = 0x0402,
    PROGRESS_SETSTEP = 0x0404,
    PROGRESS_STEPIT = 0x0405,
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The desktop's work area (POSIX: a nominal 1024 x 768 screen).
Rect work_area();
// Vertical pixels per logical inch of the screen (POSIX: 96).
int screen_dpi_y();
// Loads the common controls (progress bars); false when they are missing.
bool init_common_controls();

void show_window(WindowHandle window, ShowMode mode);
bool window_visible(WindowHandle window);

enum ChildKind { CHILD_STATIC, CHILD_PROGRESS };
struct ChildParams {
    int id = 0;
    ChildKind kind = CHILD_STATIC;
    std::uint32_t style = 0;
    Rect rect; // client coordinates
};
bool create_child(WindowHandle parent, const ChildParams& params);
// Shows or hides a child created hidden (or visible).
void show_child(WindowHandle parent, int id, bool show);

// Style, extended style, font (face, charset, character height in pixels)
// and text of a static child.
void set_child_text(WindowHandle parent, int id, const std::string& text, std::uint32_t style,
                    std::uint32_t exStyle, const std::string& face, int charset, int height);

// A progress-bar message (PROGRESS_*) to a child; its result.
MsgResult progress_message(WindowHandle parent, int id, std::uint32_t message, WParam wParam,
                           LParam lParam);

// Frees what the children hold beyond the window's life (fonts, records);
// called when the window is destroyed.
void release_children(WindowHandle parent);

// The start-up window's painting: button face, the program icon at x, y.
void paint_icon_face(WindowHandle window, int x, int y);

struct ChildInfo {
    int id = 0;
    std::string className;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    Rect rect;
    std::string text;
    int rangeMax = 0;
    int pos = 0;
};
struct WindowInfo {
    bool visible = false;
    std::vector<ChildInfo> children; // in creation order
};
// The children of a window of this process as the system sees them.
bool describe_window(WindowHandle window, WindowInfo& info);

} // namespace plat

#endif
