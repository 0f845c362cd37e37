// Levelled, time-stamped console trace shared by every component of the ESXi tool.
#ifndef ZEB_TOOLS_TRACE_H
#define ZEB_TOOLS_TRACE_H

enum {
    TRACE_START = 99,
    TRACE_ERROR = 100,
    TRACE_WARNING = 101,
    TRACE_INFO = 102,
    TRACE_NOTICE = 103,
    TRACE_DEBUG = 104,
    TRACE_ALWAYS = 105,
    TRACE_END = 106
};

enum {
    TRACE_MODE_QUIET = 0,
    TRACE_MODE_INFO = 1,
    TRACE_MODE_VERBOSE = 2,
    TRACE_MODE_DEBUG = 3,
    TRACE_MODE_END = 4
};

// Tag for ZebTrace: the Windows build names the function with its namespace and
// class, the Linux builds with its bare name.
#ifdef _WIN32
#define ZEB_TRACE_TAG(scope, func) scope "::" func
#else
#define ZEB_TRACE_TAG(scope, func) func
#endif

#if defined(__GNUC__)
#define ZEB_TRACE_PRINTF(fmt_index) __attribute__((format(printf, fmt_index, fmt_index + 1)))
#else
#define ZEB_TRACE_PRINTF(fmt_index)
#endif

// Replaces the mask with the one of trace_mode; returns the previous mask.
unsigned zeb_set_trace(unsigned trace_mode);

// Both return 0 when a line was printed and 1 when nothing was printed.
int zeb_trace(int logbit, const char* fmt, ...) ZEB_TRACE_PRINTF(2);
int ZebTrace(int logbit, const char* szFunc, const char* fmt, ...) ZEB_TRACE_PRINTF(3);

#endif
