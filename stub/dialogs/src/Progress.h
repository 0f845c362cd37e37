// Progress reporting of downloads: the reporter through which a transfer
// tells the main window where it stands, and the size and rate text shown
// while bytes arrive.
#ifndef STUB_DIALOGS_PROGRESS_H
#define STUB_DIALOGS_PROGRESS_H

#include <cstdint>
#include <functional>
#include <string>

class TProgBar {
public:
    // kind 0 sets up a bar (maximum, position, step), kind 1 advances it by
    // one step and carries a text; word is passed on unchanged.
    using Callback =
        std::function<void(int kind, std::uintptr_t word, std::int64_t maximum,
                           std::int64_t position, std::int64_t step, const std::string& text)>;

    explicit TProgBar(Callback callback, std::uintptr_t word = 0);

    void Position(std::int64_t position, std::int64_t maximum);
    void Text(const std::string& text);
    void End(std::uint32_t waitBeforeMs, std::uint32_t waitAfterMs);
    void FileName(const std::string& name);
    // Clears the cancel flag for the next transfer.
    void Reset();

    // When set, a running download stops after its current chunk.
    std::uint8_t m_bCancel = 0;

private:
    enum Report { POSITION, TEXT, END };
    void Wait(std::uint32_t ms) const;

    Callback m_Callback;
    std::uintptr_t m_nWord;
    // Waits before and after the callback of each report. At 0 a report only
    // serves pending messages, without even a zero sleep: giving up the
    // processor twice a chunk costs a fast transfer most of its speed.
    std::uint32_t m_nWait[3][2] = {};
};

class TBytesRate {
public:
    using Clock = std::function<std::uint32_t()>; // milliseconds, wrapping at 2^32

    // The unit suits the total: KB above 100 KiB, MB above 10 MiB.
    TBytesRate(bool kbMode, bool mbMode, Clock clock = Clock());
    static TBytesRate ForSize(std::uint64_t total, Clock clock = Clock());

    // Text to show after chunkBytes arrived and done of total bytes are in:
    // the sizes, and from the fifth chunk on the rate over the last chunks,
    // recomputed at most twice a second.
    std::string ProgressText(std::uint64_t total, std::uint64_t done, std::uint64_t chunkBytes);

private:
    static constexpr int kWindow = 5;

    bool m_bKB;
    bool m_bMB;
    Clock m_Clock;
    std::uint32_t m_nTicks[kWindow] = {};
    std::uint64_t m_nBytes[kWindow] = {};
    std::uint64_t m_nSamples = 0;
    std::string m_sRate;
    bool m_bUpdated = false; // a rate was computed, at m_nLastUpdate
    std::uint32_t m_nLastUpdate = 0;
};

#endif
