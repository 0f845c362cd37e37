// What Stub processes share: finding the top window of a class, the process
// behind a window, and the global atom table. Messages themselves travel with
// post_message (platform/messages.h).
#ifndef STUB_PLATFORM_IPC_H
#define STUB_PLATFORM_IPC_H

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace plat {

// The top window of a class in any process of the session (class names
// compare ignoring case); 0 when there is none.
WindowHandle find_window(const std::string& className);

// Id of the process that owns window; 0 when it does not exist.
std::uint32_t window_process(WindowHandle window);

// The global atom table: texts with a reference count, shared by every
// process of the session; names compare ignoring case. Atoms are
// 0xC000..0xFFFF, 0 on failure.
std::uint16_t global_add_atom(const std::string& name);
std::uint16_t global_find_atom(const std::string& name);
// Drops one reference; the atom is gone with the last one. True when the
// atom existed.
bool global_delete_atom(std::uint16_t atom);
// The text of an atom; empty when it does not exist.
std::string global_atom_name(std::uint16_t atom);

} // namespace plat

#endif
