#include "platform/messages.h"

#include <windows.h>

namespace plat {

void pump_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::uint32_t register_window_message(const std::string& name) {
    if (name.empty())
        return 0;
    return RegisterWindowMessageA(name.c_str());
}

} // namespace plat
