// Types shared by every service of the platform layer.
#ifndef STUB_PLATFORM_TYPES_H
#define STUB_PLATFORM_TYPES_H

#include <cstdint>

namespace plat {

// A window as the message layer knows it: an HWND on Windows, an endpoint id
// of the terminal front end on POSIX. 0 is "no window".
using WindowHandle = std::uintptr_t;

// Message parameters keep the widths Windows gives them so that numbers
// posted between processes mean the same on both platforms.
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using MsgResult = std::intptr_t;

// Show commands passed to started programs and windows (values of SW_*).
enum ShowMode : int {
    SHOW_HIDE = 0,
    SHOW_NORMAL = 1,
    SHOW_MINIMIZED = 2,
    SHOW_MAXIMIZED = 3,
    SHOW_NOACTIVATE = 4,
    SHOW_SHOW = 5,
};

} // namespace plat

#endif
