#include "../trace_platform.h"

#include <unistd.h>

namespace trace_platform {

bool stderr_is_terminal() {
    return isatty(STDERR_FILENO) != 0;
}

std::size_t message_limit(const char*, va_list) {
    return 1024;
}

} // namespace trace_platform
