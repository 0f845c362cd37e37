// Force-included into GoogleTest for the win32 thread model of mingw-w64,
// which lacks std::mutex and std::condition_variable. GoogleTest needs them
// only for Notification, a helper of its own multi-threaded self-tests; this
// stand-in keeps the rest of the library thread-safe on Win32 primitives.
#pragma once
#define GTEST_HAS_NOTIFICATION_ 1

#include <atomic>

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load())
            Sleep(1);
    }

private:
    std::atomic<bool> notified_{false};
};

} // namespace internal
} // namespace testing
