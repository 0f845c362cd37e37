#include "zeb-tools-trace.h"

#include "trace_platform.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// Bit n enables level 100 + n. Starts with errors only, so errors show even
// before the command line has chosen a mode.
std::uint32_t trace_flags = 0x01;

bool trace_get_bit(int i) {
    if (i == TRACE_ALWAYS)
        return true;
    return (trace_flags >> (i - TRACE_ERROR)) & 1u;
}

// Formats into a zero-filled heap buffer; falls back to four times the size
// when the C library reports a formatting failure. Null when out of memory.
char* format_message(const char* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    std::size_t limit = trace_platform::message_limit(fmt, copy);
    va_end(copy);

    char* buffer = static_cast<char*>(std::calloc(limit + 1, 1));
    if (!buffer)
        return nullptr;
    va_copy(copy, args);
    int written = std::vsnprintf(buffer, limit, fmt, copy);
    va_end(copy);
    if (written != -1)
        return buffer;

    std::free(buffer);
    limit *= 4;
    buffer = static_cast<char*>(std::calloc(limit + 1, 1));
    if (!buffer)
        return nullptr;
    va_copy(copy, args);
    std::vsnprintf(buffer, limit, fmt, copy);
    va_end(copy);
    return buffer;
}

// "HH:MM:SS": the clock part of the C library's ctime text.
void time_stamp(char (&stamp)[9]) {
    std::time_t now = std::time(nullptr);
    const char* text = std::ctime(&now);
    if (text && std::strlen(text) >= 19)
        std::memcpy(stamp, text + 11, 8);
    else
        std::memcpy(stamp, "00:00:00", 8);
    stamp[8] = '\0';
}

int vtrace(int logbit, const char* szFunc, const char* fmt, va_list args) {
    if (!fmt || logbit < TRACE_ERROR || logbit > TRACE_ALWAYS || !trace_get_bit(logbit))
        return 1;

    char* message = format_message(fmt, args);
    if (!message)
        return 1;

    char stamp[9];
    time_stamp(stamp);

    std::FILE* stream = stdout;
    const char* marker = "";
    if (logbit == TRACE_ERROR && trace_platform::stderr_is_terminal() && (trace_flags & 1u))
        stream = stderr;
    else if (logbit == TRACE_WARNING)
        marker = "Warning> ";
    else if (logbit == TRACE_DEBUG)
        marker = "trace> ";

    if (szFunc)
        std::fprintf(stream, "%s: %s%s: %s", stamp, marker, szFunc, message);
    else
        std::fprintf(stream, "%s: %s%s", stamp, marker, message);
    // Written out at once: a run that is killed keeps every line traced before.
    std::fflush(stream);

    std::free(message);
    return 0;
}

} // namespace

unsigned zeb_set_trace(unsigned trace_mode) {
    static const std::uint32_t masks[] = {0x01, 0x05, 0x0F, 0x1F};
    std::uint32_t previous = trace_flags;
    trace_flags = trace_mode < TRACE_MODE_END ? masks[trace_mode] : 0x01;
    return previous;
}

int zeb_trace(int logbit, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int result = vtrace(logbit, nullptr, fmt, args);
    va_end(args);
    return result;
}

int ZebTrace(int logbit, const char* szFunc, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int result = vtrace(logbit, szFunc ? szFunc : "(null)", fmt, args);
    va_end(args);
    return result;
}
