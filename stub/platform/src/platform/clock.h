// Clocks, waits and the local calendar time.
#ifndef STUB_PLATFORM_CLOCK_H
#define STUB_PLATFORM_CLOCK_H

#include <cstdint>

namespace plat {

// Milliseconds of a monotonic high-resolution clock (arbitrary origin).
std::uint64_t monotonic_ms();

// Milliseconds since system start, wrapping at 2^32 like the system tick.
std::uint32_t tick_count();

// Blocks the calling thread; does not pump messages.
void sleep_ms(std::uint32_t ms);

struct LocalTime {
    int year = 0;   // e.g. 2026
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0; // 0..59
    int second = 0; // 0..59
    int millisecond = 0;
};

// The current wall-clock time in the user's time zone.
LocalTime local_now();

} // namespace plat

#endif
