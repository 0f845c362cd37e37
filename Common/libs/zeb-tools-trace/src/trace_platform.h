// What differs between the Windows and the Linux builds of the trace library.
#ifndef ZEB_TRACE_PLATFORM_H
#define ZEB_TRACE_PLATFORM_H

#include <cstdarg>
#include <cstddef>

namespace trace_platform {

bool stderr_is_terminal();

// Size limit (terminating zero included) for formatting one message. The
// Linux builds cut long messages; the Windows build keeps them whole.
std::size_t message_limit(const char* fmt, va_list args);

} // namespace trace_platform

#endif
