#include "platform/identity.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace plat {

// The kernel's thread id: small like a Windows thread id and equal to the
// process id on the main thread.
unsigned long current_thread_id() {
    return static_cast<unsigned long>(syscall(SYS_gettid));
}

} // namespace plat
