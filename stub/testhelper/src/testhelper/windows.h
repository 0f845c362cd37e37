// Drives a top window of another thread or process through its messages.
#ifndef STUB_TESTHELPER_WINDOWS_H
#define STUB_TESTHELPER_WINDOWS_H

#include <cstdint>
#include <string>
#include <vector>

namespace testhelper {

using Handle = std::uintptr_t;

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ButtonInfo {
    std::string caption;
    long long value = 0; // the value the window stored with the button
    Rect rect;           // in the window's client area
    bool isDefault = false;
    bool focused = false;
};

struct WindowInfo {
    Handle hwnd = 0;
    std::string title;
    std::string text; // of the text area
    Rect window;      // on the screen
    Rect client;      // size only
    Rect textArea;    // in the client area
    unsigned long textStyle = 0;
    unsigned long textExStyle = 0;
    std::vector<ButtonInfo> buttons; // left to right
    bool closeGreyed = false;
    bool topmost = false;
};

// The first top window of the class that appears within timeoutMs; 0 when
// none does.
Handle wait_window(const char* windowClass, int timeoutMs);
// True when hwnd is gone within timeoutMs.
bool wait_gone(Handle hwnd, int timeoutMs);
WindowInfo read_window(Handle hwnd);

// The window's button at index (left to right) reports a click.
bool press_button(Handle hwnd, int index);
// A key press (virtual-key code) at the window's focused control.
void send_key(Handle hwnd, unsigned vk);
// Alt + ch.
void send_alt_char(Handle hwnd, char ch);
void close_window(Handle hwnd);
// The window as it is on the screen, as a 24-bit BMP file.
bool save_bitmap(Handle hwnd, const std::string& path);

} // namespace testhelper

#endif
