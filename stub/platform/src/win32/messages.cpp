#include "platform/messages.h"

#include <windows.h>

namespace plat {

namespace {

// Every window of the layer has this procedure; the portable one is kept in
// the window's extra bytes, handed over at WM_NCCREATE, so that a window gets
// its own procedure from the first message on.
LRESULT CALLBACK window_trampoline(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowProc proc = nullptr;
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        proc = reinterpret_cast<WindowProc>(create->lpCreateParams);
        SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(proc));
    } else {
        proc = reinterpret_cast<WindowProc>(GetWindowLongPtrA(hwnd, 0));
    }
    if (!proc)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return proc(reinterpret_cast<WindowHandle>(hwnd), message, wParam, lParam);
}

HWND to_hwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

} // namespace

WindowHandle create_window(const WindowParams& params) {
    if (params.className.empty() || !params.proc)
        return 0;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.style = params.classStyle;
    wc.lpfnWndProc = window_trampoline;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    if (!params.icon.empty())
        wc.hIcon = LoadIconA(instance, params.icon.c_str());
    wc.lpszClassName = params.className.c_str();
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return 0;
    HWND hwnd = CreateWindowExA(params.exStyle, params.className.c_str(), params.title.c_str(),
                                params.style & ~static_cast<DWORD>(WS_VISIBLE), params.x, params.y,
                                params.width, params.height, nullptr, nullptr, instance,
                                reinterpret_cast<void*>(params.proc));
    return reinterpret_cast<WindowHandle>(hwnd);
}

bool destroy_window(WindowHandle window) {
    return DestroyWindow(to_hwnd(window)) != FALSE;
}

bool is_window(WindowHandle window) {
    return window != 0 && IsWindow(to_hwnd(window)) != FALSE;
}

MsgResult default_window_proc(WindowHandle window, std::uint32_t message, WParam wParam,
                              LParam lParam) {
    return DefWindowProcA(to_hwnd(window), message, wParam, lParam);
}

int run_message_loop(WindowHandle window) {
    MSG msg;
    while (IsWindow(to_hwnd(window))) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got < 0)
            return 0;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

void post_quit_message(int code) {
    PostQuitMessage(code);
}

void pump_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Left for the message loop, which ends on it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool post_message(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    return PostMessageA(to_hwnd(window), message, wParam, lParam) != FALSE;
}

MsgResult send_message(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    return SendMessageA(to_hwnd(window), message, wParam, lParam);
}

bool set_timer(WindowHandle window, std::uintptr_t id, std::uint32_t ms) {
    return SetTimer(to_hwnd(window), id, ms, nullptr) != 0;
}

bool kill_timer(WindowHandle window, std::uintptr_t id) {
    return KillTimer(to_hwnd(window), id) != FALSE;
}

std::uint32_t register_window_message(const std::string& name) {
    if (name.empty())
        return 0;
    return RegisterWindowMessageA(name.c_str());
}

} // namespace plat
