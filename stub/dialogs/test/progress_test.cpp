// The download reporter's callback protocol and the size and rate text.
#include "Progress.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Call {
    int kind;
    std::uintptr_t word;
    std::int64_t maximum, position, step;
    std::string text;
    bool operator==(const Call& o) const {
        return kind == o.kind && word == o.word && maximum == o.maximum && position == o.position &&
               step == o.step && text == o.text;
    }
};

TEST(ProgBar, ReportsReachTheCallbackAsKindZeroOrOne) {
    std::vector<Call> calls;
    TProgBar bar(
        [&](int kind, std::uintptr_t word, std::int64_t maximum, std::int64_t position,
            std::int64_t step, const std::string& text) {
            calls.push_back({kind, word, maximum, position, step, text});
        },
        77);
    bar.Position(3, 5000000000LL);
    bar.FileName("pkg.exe"); // pumps only
    bar.Text("1.0/2.0 MB");
    bar.End(0, 0);
    std::vector<Call> expected = {
        {0, 77, 5000000000LL, 3, 1, ""}, {1, 77, 0, 0, 0, "1.0/2.0 MB"}, {0, 77, 0, 0, 1, ""}};
    EXPECT_EQ(calls, expected);

    bar.m_bCancel = 1;
    bar.Reset();
    EXPECT_EQ(bar.m_bCancel, 0);
}

TEST(BytesRate, SizeTextUnitFollowsTheTotal) {
    struct Case {
        std::uint64_t total, done;
        const char* text;
    } cases[] = {
        {102400, 1023, "1023/102400 BytesArr"},
        {102401, 1023, "1.0/100.0 KB"},
        {10485760, 1048576, "1,024.0/10,240.0 KB"},
        {10485761, 1048576, "1.0/10.0 MB"},
        {5368709120ULL, 2147483648ULL, "2,048.0/5,120.0 MB"}, // beyond 32 bits
        {0, 0, "0/0 BytesArr"},
    };
    for (const Case& c : cases) {
        TBytesRate rate = TBytesRate::ForSize(c.total, [] { return 10000u; });
        EXPECT_EQ(rate.ProgressText(c.total, c.done, c.done), c.text) << c.total;
    }
}

TEST(BytesRate, RateFromTheFifthChunkAtMostTwiceASecond) {
    std::uint32_t now = 0;
    TBytesRate rate(false, false, [&] { return now; });
    struct Step {
        std::uint32_t tick;
        std::uint64_t chunk;
        const char* text;
    } steps[] = {
        {10000, 1024, "1024/90000 BytesArr"},
        {10100, 1024, "2048/90000 BytesArr"},
        {10200, 1024, "3072/90000 BytesArr"},
        {10300, 1024, "4096/90000 BytesArr"},
        // Four newest chunks over 400 ms: less than a second, no division by 0.
        {10400, 1024, "5120/90000 BytesArr   -   10.00 KB/Sec"},
        {10500, 2048, "7168/90000 BytesArr   -   10.00 KB/Sec"}, // within 500 ms: kept
        {10900, 1024, "8192/90000 BytesArr   -   10.00 KB/Sec"}, // exactly 500 ms: kept
        {10901, 1024, "9216/90000 BytesArr   -   8.32 KB/Sec"},  // 5120 bytes in 601 ms
    };
    std::uint64_t done = 0;
    for (const Step& s : steps) {
        now = s.tick;
        done += s.chunk;
        EXPECT_EQ(rate.ProgressText(90000, done, s.chunk), s.text) << s.tick;
    }
}

TEST(BytesRate, TickCountWrapKeepsTheRate) {
    std::uint32_t now = 0xFFFFFF00u;
    TBytesRate rate(false, false, [&] { return now; });
    std::string text;
    for (int i = 0; i < 5; ++i, now += 100) // crosses 2^32 on the way
        text = rate.ProgressText(50000, 2048u * (i + 1), 2048);
    EXPECT_EQ(text, "10240/50000 BytesArr   -   20.00 KB/Sec");
}

} // namespace
