// The UI thread's messages. On Windows these are the thread's window
// messages; on POSIX a poll() loop over the sources the other services
// register (timers, the inter-process socket, the terminal).
#ifndef STUB_PLATFORM_MESSAGES_H
#define STUB_PLATFORM_MESSAGES_H

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace plat {

// Dispatches every message that is pending for the calling thread and
// returns without waiting. Handlers run inside this call (re-entrancy is the
// caller's concern).
void pump_messages();

// A message number >= 0xC000 that is the same for one name in every process
// of the session; 0 for an empty name.
std::uint32_t register_window_message(const std::string& name);

} // namespace plat

#endif
