#include "util/debug.h"

#include <iostream>

#include "platform/system.h"

DebugStreamBuf::DebugStreamBuf(Sink sink) : m_sink(std::move(sink)) {
    setp(m_szBuffer, m_szBuffer + kBufferSize);
}

void DebugStreamBuf::Deliver() {
    const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
    if (n > 0 && m_sink)
        m_sink(pbase(), n);
    setp(m_szBuffer, m_szBuffer + kBufferSize);
}

DebugStreamBuf::int_type DebugStreamBuf::overflow(int_type ch) {
    plat::CriticalSection::Guard guard(m_lock);
    Deliver();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(ch);
        pbump(1);
    }
    return traits_type::not_eof(ch);
}

int DebugStreamBuf::sync() {
    plat::CriticalSection::Guard guard(m_lock);
    Deliver();
    return 0;
}

std::streamsize DebugStreamBuf::xsputn(const char* s, std::streamsize n) {
    plat::CriticalSection::Guard guard(m_lock);
    return std::streambuf::xsputn(s, n);
}

void InstallDebugChannel() {
    // Never destroyed: std::cout is flushed after static objects are gone,
    // so a static buffer would be written to after its destructor ran.
    static DebugStreamBuf* const channel = new DebugStreamBuf(&plat::debug_sink);
    std::cout.rdbuf(channel);
}

void DebugLine(const std::string& text) {
    std::cout << text << '\n' << std::flush;
}

void TraceException(const std::string& place, const std::string& extra,
                    const std::string& message) {
    DebugLine(" --- " + place + " (" + extra + ") --- " + message);
}
