#include "testhelper/windows.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace testhelper {

namespace {

HWND H(Handle h) {
    return reinterpret_cast<HWND>(h);
}

// WM_GETTEXT rather than GetWindowText, which for a control of another
// process gives its creation title instead of its text.
std::string window_text(HWND hwnd) {
    const auto n = static_cast<std::size_t>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
    std::string s(n + 1, '\0');
    s.resize(static_cast<std::size_t>(
        SendMessageA(hwnd, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(&s[0]))));
    return s;
}

std::string class_name(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

Rect client_rect_of(HWND child, HWND parent) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

HWND focus_of(HWND hwnd) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) && info.hwndFocus)
        return info.hwndFocus;
    return hwnd;
}

BOOL CALLBACK collect(HWND child, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(child);
    return TRUE;
}

} // namespace

Handle wait_window(const char* windowClass, int timeoutMs) {
    // The window is made by another thread; there is nothing to wait on but
    // its appearance, so look in short, bounded steps.
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        HWND h = FindWindowA(windowClass, nullptr);
        // A window is visible while its thread still builds it; a sent
        // message is answered only once that thread waits in its loop, so
        // the window is complete when the answer comes.
        DWORD_PTR answer = 0;
        if (h && IsWindowVisible(h) &&
            SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_NORMAL,
                                static_cast<UINT>(timeoutMs - waited + 1), &answer))
            return reinterpret_cast<Handle>(h);
        Sleep(10);
    }
    return 0;
}

bool wait_gone(Handle hwnd, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        if (!IsWindow(H(hwnd)))
            return true;
        Sleep(10);
    }
    return false;
}

WindowInfo read_window(Handle handle) {
    HWND hwnd = H(handle);
    WindowInfo info;
    info.hwnd = handle;
    info.title = window_text(hwnd);
    RECT r = {};
    GetWindowRect(hwnd, &r);
    info.window = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    GetClientRect(hwnd, &r);
    info.client = {0, 0, r.right, r.bottom};
    info.topmost = (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    if (HMENU menu = GetSystemMenu(hwnd, FALSE))
        info.closeGreyed = (GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
    std::vector<HWND> children;
    EnumChildWindows(hwnd, collect, reinterpret_cast<LPARAM>(&children));
    HWND focus = focus_of(hwnd);
    for (HWND child : children) {
        const std::string cls = class_name(child);
        if (lstrcmpiA(cls.c_str(), "Button") == 0) {
            ButtonInfo b;
            b.caption = window_text(child);
            b.value = GetWindowLongPtrA(child, GWLP_USERDATA);
            b.rect = client_rect_of(child, hwnd);
            b.isDefault = (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            b.focused = child == focus;
            info.buttons.push_back(b);
        } else if (GetParent(child) == hwnd) {
            info.text = window_text(child);
            info.textArea = client_rect_of(child, hwnd);
            info.textStyle = static_cast<unsigned long>(GetWindowLongA(child, GWL_STYLE));
            info.textExStyle = static_cast<unsigned long>(GetWindowLongA(child, GWL_EXSTYLE));
        }
    }
    std::sort(info.buttons.begin(), info.buttons.end(),
              [](const ButtonInfo& a, const ButtonInfo& b) { return a.rect.x < b.rect.x; });
    return info;
}

bool press_button(Handle handle, int index) {
    HWND hwnd = H(handle);
    std::vector<HWND> children;
    EnumChildWindows(hwnd, collect, reinterpret_cast<LPARAM>(&children));
    std::vector<std::pair<int, HWND>> buttons;
    for (HWND child : children)
        if (lstrcmpiA(class_name(child).c_str(), "Button") == 0)
            buttons.push_back({client_rect_of(child, hwnd).x, child});
    std::sort(buttons.begin(), buttons.end());
    if (index < 0 || index >= static_cast<int>(buttons.size()))
        return false;
    HWND b = buttons[static_cast<std::size_t>(index)].second;
    return PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(b), BN_CLICKED),
                        reinterpret_cast<LPARAM>(b)) != 0;
}

void send_key(Handle hwnd, unsigned vk) {
    PostMessageA(focus_of(H(hwnd)), WM_KEYDOWN, vk, 1);
}

void send_alt_char(Handle hwnd, char ch) {
    // Bit 29: the Alt key is down.
    PostMessageA(focus_of(H(hwnd)), WM_SYSCHAR, static_cast<unsigned char>(ch), 1 | (1 << 29));
}

void close_window(Handle hwnd) {
    PostMessageA(H(hwnd), WM_CLOSE, 0, 0);
}

bool save_bitmap(Handle handle, const std::string& path) {
    RECT r = {};
    if (!GetWindowRect(H(handle), &r))
        return false;
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h; // bottom-up, as BMP files store it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bmp && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
        const DWORD size = stride * static_cast<DWORD>(h);
        BITMAPFILEHEADER fh = {};
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
        fh.bfSize = fh.bfOffBits + size;
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
            ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 &&
                 std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
                 std::fwrite(bits, size, 1, f) == 1;
            ok = std::fclose(f) == 0 && ok;
        }
        SelectObject(mem, old);
        DeleteObject(bmp);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

} // namespace testhelper
