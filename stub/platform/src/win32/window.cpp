// The start-up window's children and painting with the system's controls.
#include "platform/window.h"

#include <windows.h>

#include <commctrl.h>

#include <map>

namespace plat {

namespace {

HWND to_hwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

HWND child(WindowHandle parent, int id) {
    return GetDlgItem(to_hwnd(parent), id);
}

// The status line's font; the previous one is freed when a new one is set.
std::map<WindowHandle, HFONT>& fonts() {
    static std::map<WindowHandle, HFONT> table;
    return table;
}

} // namespace

Rect work_area() {
    RECT r{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0))
        return Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int screen_dpi_y() {
    HDC dc = GetDC(nullptr);
    if (!dc)
        return 96;
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

bool init_common_controls() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    return InitCommonControlsEx(&icc) != FALSE;
}

void show_window(WindowHandle window, ShowMode mode) {
    ShowWindow(to_hwnd(window), mode);
}

bool window_visible(WindowHandle window) {
    return IsWindowVisible(to_hwnd(window)) != FALSE;
}

bool create_child(WindowHandle parent, const ChildParams& params) {
    const char* cls = params.kind == CHILD_STATIC ? "Static" : PROGRESS_CLASSA;
    HWND h = CreateWindowExA(0, cls, "", params.style, params.rect.x, params.rect.y,
                             params.rect.width, params.rect.height, to_hwnd(parent),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(params.id)),
                             GetModuleHandleA(nullptr), nullptr);
    return h != nullptr;
}

void show_child(WindowHandle parent, int id, bool show) {
    HWND h = child(parent, id);
    if (h)
        ShowWindow(h, show ? SW_SHOW : SW_HIDE);
}

void set_child_text(WindowHandle parent, int id, const std::string& text, std::uint32_t style,
                    std::uint32_t exStyle, const std::string& face, int charset, int height) {
    HWND h = child(parent, id);
    if (!h)
        return;
    SetWindowLongA(h, GWL_EXSTYLE, static_cast<LONG>(exStyle));
    SetWindowLongA(h, GWL_STYLE, static_cast<LONG>(style));
    HFONT font = CreateFontA(height, 0, 0, 0, 0, 0, 0, 0, static_cast<DWORD>(charset), 0, 0, 0, 0,
                             face.c_str());
    if (font) {
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        HFONT& slot = fonts()[parent];
        if (slot)
            DeleteObject(slot);
        slot = font;
    }
    SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

MsgResult progress_message(WindowHandle parent, int id, std::uint32_t message, WParam wParam,
                           LParam lParam) {
    HWND h = child(parent, id);
    return h ? SendMessageA(h, message, wParam, lParam) : 0;
}

void release_children(WindowHandle parent) {
    auto it = fonts().find(parent);
    if (it == fonts().end())
        return;
    DeleteObject(it->second);
    fonts().erase(it);
}

void paint_icon_face(WindowHandle window, int x, int y) {
    HWND hwnd = to_hwnd(window);
    // The window paints through its own device context; the default
    // processing that follows validates the region.
    HDC dc = GetDC(hwnd);
    if (!dc)
        return;
    RECT r{};
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MainIcon");
    if (icon)
        DrawIcon(dc, x, y, icon);
    ReleaseDC(hwnd, dc);
}

bool describe_window(WindowHandle window, WindowInfo& info) {
    HWND hwnd = to_hwnd(window);
    if (!IsWindow(hwnd))
        return false;
    info.visible = IsWindowVisible(hwnd) != FALSE;
    info.children.clear();
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        ChildInfo ci;
        ci.id = GetDlgCtrlID(c);
        char cls[64] = {};
        GetClassNameA(c, cls, sizeof cls);
        ci.className = cls;
        ci.style = static_cast<std::uint32_t>(GetWindowLongA(c, GWL_STYLE));
        ci.exStyle = static_cast<std::uint32_t>(GetWindowLongA(c, GWL_EXSTYLE));
        RECT r{};
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
        ci.rect = Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
        char text[512] = {};
        GetWindowTextA(c, text, sizeof text);
        ci.text = text;
        if (ci.className == PROGRESS_CLASSA) {
            ci.rangeMax = static_cast<int>(SendMessageA(c, PBM_GETRANGE, FALSE, 0));
            ci.pos = static_cast<int>(SendMessageA(c, PBM_GETPOS, 0, 0));
        }
        info.children.push_back(ci);
    }
    return true;
}

} // namespace plat
