#include "../trace_platform.h"

#include <cstdio>
#include <io.h>

namespace trace_platform {

bool stderr_is_terminal() {
    return _isatty(2) != 0;
}

std::size_t message_limit(const char* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    return length < 0 ? 1024 : static_cast<std::size_t>(length) + 100;
}

} // namespace trace_platform
