// The POSIX message loop's internals, shared by the services that feed it.
#ifndef STUB_PLATFORM_POSIX_LOOP_H
#define STUB_PLATFORM_POSIX_LOOP_H

#include <cstdint>
#include <functional>
#include <string>

#include "platform/types.h"

namespace plat {
namespace posix {

// handler runs on the UI thread when fd becomes readable (or hangs up).
void add_source(int fd, std::function<void()> handler);
void remove_source(int fd);
// Polls the sources up to timeoutMs and runs the ready handlers; true when
// any handler ran.
bool dispatch_ready(int timeoutMs);

// Window handles are meaningful in every process: the owner's process id
// above a per-process serial. Serial 0 stands for the process's main window
// (its oldest window), which is what another process can address without
// knowing the owner's windows.
constexpr unsigned kSerialBits = 24;
inline WindowHandle make_handle(std::uint32_t pid, std::uint32_t serial) {
    return (static_cast<WindowHandle>(pid) << kSerialBits) | serial;
}
inline std::uint32_t handle_pid(WindowHandle h) {
    return static_cast<std::uint32_t>(h >> kSerialBits);
}
inline std::uint32_t handle_serial(WindowHandle h) {
    return static_cast<std::uint32_t>(h & ((WindowHandle(1) << kSerialBits) - 1));
}

// One posted message as it travels between processes.
struct Datagram {
    std::uint32_t magic;
    std::uint32_t message;
    std::uint64_t target;
    std::uint64_t wParam;
    std::int64_t lParam;
};
constexpr std::uint32_t kDatagramMagic = 0x53544D31; // "STM1"

// Queues a message that arrived from another process (messages.cpp).
void deliver(const Datagram& d);

// The per-user runtime folder (owner-only), created on first use; empty when
// it cannot be made safe.
std::string runtime_folder();

// This process's message endpoint (ipc.cpp): a datagram socket the loop
// reads; opened with the first window, closed with the last.
bool open_endpoint();
void close_endpoint();
// Sends to the endpoint of process pid; false when it is not reachable.
bool send_datagram(std::uint32_t pid, const Datagram& d);
// True when process pid has a live endpoint.
bool endpoint_alive(std::uint32_t pid);

// Makes window the one other processes find for className, unless a live
// window of another process holds the class already; withdraw removes it
// again when it still names window.
void publish_class(const std::string& className, WindowHandle window);
void withdraw_class(const std::string& className, WindowHandle window);
WindowHandle lookup_class(const std::string& className);

// A window of this process of className (newest first); 0 when none.
WindowHandle local_window_of_class(const std::string& className);

} // namespace posix
} // namespace plat

#endif
