// The debug channel: Stub's diagnostic output (std::cout) goes through a
// 128-character buffer whose pieces reach the platform's debug viewer.
#ifndef STUB_UTIL_DEBUG_H
#define STUB_UTIL_DEBUG_H

#include <cstddef>
#include <functional>
#include <streambuf>
#include <string>

#include "platform/system.h"

class DebugStreamBuf : public std::streambuf {
public:
    static constexpr std::size_t kBufferSize = 128;
    using Sink = std::function<void(const char*, std::size_t)>;

    explicit DebugStreamBuf(Sink sink);

protected:
    int_type overflow(int_type ch) override;
    int sync() override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

private:
    void Deliver();

    Sink m_sink;
    plat::CriticalSection m_lock;
    char m_szBuffer[kBufferSize];
};

// Connects std::cout to the platform's debug sink; once per process.
void InstallDebugChannel();

// Writes text and a line end to std::cout and flushes it, so the line reaches
// the viewer at once.
void DebugLine(const std::string& text);

// " --- place (extra) --- message", the trace of a caught exception.
void TraceException(const std::string& place, const std::string& extra, const std::string& message);

#endif
