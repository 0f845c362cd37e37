// Ids of the running process and thread, as diagnostic and log lines show them.
#ifndef STUB_PLATFORM_IDENTITY_H
#define STUB_PLATFORM_IDENTITY_H

namespace plat {

unsigned long current_process_id();
unsigned long current_thread_id();

} // namespace plat

#endif
