// Registration of message sources with the POSIX message loop.
#ifndef STUB_PLATFORM_POSIX_LOOP_H
#define STUB_PLATFORM_POSIX_LOOP_H

#include <functional>

namespace plat {
namespace posix {

// handler runs on the UI thread when fd becomes readable (or hangs up).
void add_source(int fd, std::function<void()> handler);
void remove_source(int fd);
// Polls the sources up to timeoutMs and runs the ready handlers; true when
// any handler ran.
bool dispatch_ready(int timeoutMs);

} // namespace posix
} // namespace plat

#endif
