#include "platform/clock.h"

#include <windows.h>

namespace plat {

std::uint64_t monotonic_ms() {
    // The factor is read once; the counter's frequency is fixed at boot.
    static const double factor = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) && f.QuadPart ? 1000.0 / f.QuadPart : 0.0;
    }();
    LARGE_INTEGER c;
    if (factor == 0.0 || !QueryPerformanceCounter(&c))
        return GetTickCount64();
    return static_cast<std::uint64_t>(static_cast<double>(c.QuadPart) * factor);
}

std::uint32_t tick_count() {
    return GetTickCount();
}

void sleep_ms(std::uint32_t ms) {
    Sleep(ms);
}

LocalTime local_now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    LocalTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.millisecond = st.wMilliseconds;
    return t;
}

} // namespace plat
