// The UI thread's windows and messages. On Windows these are the real window
// functions; on POSIX a window is an entry in the loop's table, fed by a
// poll() loop over the sources the services register (the posted-message
// queue, timers, the inter-process socket, the terminal). Handlers receive
// Win32 message numbers on both platforms.
#ifndef STUB_PLATFORM_MESSAGES_H
#define STUB_PLATFORM_MESSAGES_H

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace plat {

// Message numbers with their Win32 values.
enum : std::uint32_t {
    MSG_CREATE = 0x0001,
    MSG_DESTROY = 0x0002,
    MSG_CLOSE = 0x0010,
    MSG_QUIT = 0x0012,
    MSG_TIMER = 0x0113,
    MSG_USER = 0x0400,
};

using WindowProc = MsgResult (*)(WindowHandle, std::uint32_t message, WParam, LParam);

// A top-level window with its own procedure; the class is registered on
// first use. style, exStyle, classStyle and icon keep their Win32 meaning
// (window styles, CS_* bits, an icon resource name of the program; the first
// window of a class fixes the class's) and are ignored on POSIX. A procedure
// hands what it does not handle to default_window_proc.
struct WindowParams {
    std::string className;
    std::string title;
    WindowProc proc = nullptr;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t classStyle = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::string icon;
};

// Creates the window hidden; its procedure sees MSG_CREATE before this
// returns. 0 when it cannot be created.
WindowHandle create_window(const WindowParams& params);

// MSG_DESTROY reaches the procedure, then the window and its timers are gone.
bool destroy_window(WindowHandle window);

// True for a window that exists, in this process or another one.
bool is_window(WindowHandle window);

// What a procedure returns for messages it does not handle: MSG_CLOSE
// destroys the window, everything else is answered with 0.
MsgResult default_window_proc(WindowHandle window, std::uint32_t message, WParam wParam,
                              LParam lParam);

// Dispatches messages until window is destroyed or a quit message arrives;
// returns the quit message's wParam, or 0 after the destruction.
int run_message_loop(WindowHandle window);

// Asks the running message loop to end with code.
void post_quit_message(int code);

// Dispatches every message that is pending for the calling thread and
// returns without waiting. Handlers run inside this call (re-entrancy is the
// caller's concern). A quit message stops the pumping and stays pending for
// the message loop.
void pump_messages();

// Queues a message for a window of this or another process; MSG_QUIT ends
// the target's message loop. False when the window cannot be reached.
bool post_message(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam);

// Calls the procedure of a window and returns its result. On POSIX a window
// of another process gets the message posted and the result is 0.
MsgResult send_message(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam);

// MSG_TIMER with wParam id every ms milliseconds until kill_timer; setting
// an id again restarts it with the new period.
bool set_timer(WindowHandle window, std::uintptr_t id, std::uint32_t ms);
bool kill_timer(WindowHandle window, std::uintptr_t id);

// A message number >= 0xC000 that is the same for one name in every process
// of the session; 0 for an empty name.
std::uint32_t register_window_message(const std::string& name);

} // namespace plat

#endif
