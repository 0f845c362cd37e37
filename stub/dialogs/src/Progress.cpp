#include "Progress.h"

#include "platform/clock.h"
#include "platform/messages.h"
#include "util/numbers.h"
#include "util/services.h"

#include <utility>

TProgBar::TProgBar(Callback callback, std::uintptr_t word)
    : m_Callback(std::move(callback)), m_nWord(word) {}

void TProgBar::Wait(std::uint32_t ms) const {
    if (ms == 0)
        plat::pump_messages();
    else
        YieldWait(0, ms);
}

void TProgBar::Position(std::int64_t position, std::int64_t maximum) {
    Wait(m_nWait[POSITION][0]);
    if (m_Callback)
        m_Callback(0, m_nWord, maximum, position, 1, std::string());
    Wait(m_nWait[POSITION][1]);
}

void TProgBar::Text(const std::string& text) {
    Wait(m_nWait[TEXT][0]);
    if (m_Callback)
        m_Callback(1, m_nWord, 0, 0, 0, text);
    Wait(m_nWait[TEXT][1]);
}

void TProgBar::End(std::uint32_t waitBeforeMs, std::uint32_t waitAfterMs) {
    Wait(waitBeforeMs);
    if (m_Callback)
        m_Callback(0, m_nWord, 0, 0, 1, std::string());
    Wait(waitAfterMs);
}

void TProgBar::FileName(const std::string&) {
    plat::pump_messages();
}

void TProgBar::Reset() {
    m_bCancel = 0;
}

TBytesRate::TBytesRate(bool kbMode, bool mbMode, Clock clock)
    : m_bKB(kbMode), m_bMB(mbMode), m_Clock(std::move(clock)) {
    if (!m_Clock)
        m_Clock = plat::tick_count;
}

TBytesRate TBytesRate::ForSize(std::uint64_t total, Clock clock) {
    return TBytesRate(total > 102400, total > 10485760, std::move(clock));
}

std::string TBytesRate::ProgressText(std::uint64_t total, std::uint64_t done,
                                     std::uint64_t chunkBytes) {
    std::string size;
    if (m_bMB)
        size = FormatMB(static_cast<double>(done), 1, true) + "/" +
               FormatMB(static_cast<double>(total), 1, true) + " MB";
    else if (m_bKB)
        size = FormatKB(static_cast<double>(done), 1, true) + "/" +
               FormatKB(static_cast<double>(total), 1, true) + " KB";
    else
        size = std::to_string(done) + "/" + std::to_string(total) + " BytesArr";

    const std::uint32_t now = m_Clock();
    for (int i = 0; i + 1 < kWindow; ++i) {
        m_nTicks[i] = m_nTicks[i + 1];
        m_nBytes[i] = m_nBytes[i + 1];
    }
    m_nTicks[kWindow - 1] = now;
    m_nBytes[kWindow - 1] = chunkBytes;
    ++m_nSamples;
    // Unsigned differences stay right across the wrap of the tick count.
    const std::uint32_t elapsed = now - m_nTicks[0];
    if (m_nSamples >= kWindow && elapsed != 0 && (!m_bUpdated || now - m_nLastUpdate > 500)) {
        m_bUpdated = true;
        m_nLastUpdate = now;
        std::uint64_t windowBytes = 0;
        for (int i = 1; i < kWindow; ++i)
            windowBytes += m_nBytes[i];
        // Seconds as a fraction: whole seconds would divide by zero within
        // the first second.
        const double rate = static_cast<double>(windowBytes) / (elapsed / 1000.0) / 1024.0;
        m_sRate = FormatBytes(rate, 1, 2, false);
    }
    return m_sRate.empty() ? size : size + "   -   " + m_sRate + " KB/Sec";
}
