// The id of the running thread, as run-log lines show it (the process id is
// in platform/process.h).
#ifndef STUB_PLATFORM_IDENTITY_H
#define STUB_PLATFORM_IDENTITY_H

namespace plat {

unsigned long current_thread_id();

} // namespace plat

#endif
