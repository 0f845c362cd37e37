#include "platform/identity.h"

#include <windows.h>

namespace plat {

unsigned long current_thread_id() {
    return GetCurrentThreadId();
}

} // namespace plat
