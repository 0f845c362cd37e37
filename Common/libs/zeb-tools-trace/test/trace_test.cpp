#include "zeb-tools-trace.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

struct Captured {
    int result;
    std::string out;
    std::string err;
};

// Standard error goes to a file while captured, so it is never a terminal here.
template <typename Fn> Captured capture(Fn fn) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int result = fn();
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    return {result, out, err};
}

class TraceTest : public testing::Test {
protected:
    void SetUp() override { zeb_set_trace(TRACE_MODE_QUIET); }
    void TearDown() override { zeb_set_trace(TRACE_MODE_QUIET); }
};

const std::regex kStamp("^[0-2][0-9]:[0-5][0-9]:[0-6][0-9]: ");

TEST_F(TraceTest, LevelsPrintedPerMode) {
    struct Row {
        unsigned mode;
        bool printed[6]; // levels 100..105
    };
    const Row rows[] = {
        {TRACE_MODE_QUIET, {true, false, false, false, false, true}},
        {TRACE_MODE_INFO, {true, false, true, false, false, true}},
        {TRACE_MODE_VERBOSE, {true, true, true, true, false, true}},
        {TRACE_MODE_DEBUG, {true, true, true, true, true, true}},
        {TRACE_MODE_END, {true, false, false, false, false, true}},
        {7, {true, false, false, false, false, true}},
    };
    for (const Row& row : rows) {
        zeb_set_trace(row.mode);
        for (int level = TRACE_ERROR; level <= TRACE_ALWAYS; ++level) {
            Captured c = capture([&] { return zeb_trace(level, "x\n"); });
            bool expected = row.printed[level - TRACE_ERROR];
            EXPECT_EQ(c.result, expected ? 0 : 1) << "mode " << row.mode << " level " << level;
            EXPECT_EQ(!c.out.empty(), expected) << "mode " << row.mode << " level " << level;
            EXPECT_TRUE(c.err.empty());
        }
    }
}

TEST_F(TraceTest, SetTraceReturnsPreviousMask) {
    EXPECT_EQ(zeb_set_trace(TRACE_MODE_DEBUG), 0x01u);
    EXPECT_EQ(zeb_set_trace(TRACE_MODE_VERBOSE), 0x1Fu);
    EXPECT_EQ(zeb_set_trace(TRACE_MODE_INFO), 0x0Fu);
    EXPECT_EQ(zeb_set_trace(7), 0x05u);
    EXPECT_EQ(zeb_set_trace(TRACE_MODE_QUIET), 0x01u);
}

TEST_F(TraceTest, OutOfRangeLevelsAndNullFormatPrintNothing) {
    zeb_set_trace(TRACE_MODE_DEBUG);
    for (int level : {int(TRACE_START), int(TRACE_END), 0, -1, 1000}) {
        Captured c = capture([&] { return zeb_trace(level, "x\n"); });
        EXPECT_EQ(c.result, 1);
        EXPECT_EQ(c.out, "");
        c = capture([&] { return ZebTrace(level, "Fn", "x\n"); });
        EXPECT_EQ(c.result, 1);
        EXPECT_EQ(c.out, "");
    }
    Captured c = capture([] { return zeb_trace(TRACE_ALWAYS, nullptr); });
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(c.out, "");
}

TEST_F(TraceTest, LineFormatsPerLevel) {
    zeb_set_trace(TRACE_MODE_DEBUG);
    struct Row {
        int level;
        const char* tag;
        const char* expected; // after the time stamp
    };
    const Row rows[] = {
        {TRACE_ERROR, nullptr, "boom 7\n"},
        {TRACE_ERROR, "GetData", "GetData: boom 7\n"},
        {TRACE_WARNING, nullptr, "Warning> boom 7\n"},
        {TRACE_WARNING, "GetData", "Warning> GetData: boom 7\n"},
        {TRACE_INFO, "GetData", "GetData: boom 7\n"},
        {TRACE_NOTICE, nullptr, "boom 7\n"},
        {TRACE_DEBUG, nullptr, "trace> boom 7\n"},
        {TRACE_DEBUG, "GetData", "trace> GetData: boom 7\n"},
        {TRACE_ALWAYS, "main", "main: boom 7\n"},
    };
    for (const Row& row : rows) {
        Captured c = capture([&] {
            return row.tag ? ZebTrace(row.level, row.tag, "boom %d\n", 7)
                           : zeb_trace(row.level, "boom %d\n", 7);
        });
        EXPECT_EQ(c.result, 0);
        ASSERT_TRUE(std::regex_search(c.out, kStamp)) << c.out;
        EXPECT_EQ(c.out.substr(10), row.expected);
        EXPECT_EQ(c.err, "");
    }
}

TEST_F(TraceTest, AddsNoLineEndAndKeepsLeadingOne) {
    Captured c = capture([] { return zeb_trace(TRACE_ALWAYS, "no end"); });
    EXPECT_EQ(c.out.substr(10), "no end");
    c = capture([] { return ZebTrace(TRACE_ALWAYS, "main", "\nBanner\n\n"); });
    EXPECT_EQ(c.out.substr(10), "main: \nBanner\n\n");
}

#ifdef _WIN32
TEST_F(TraceTest, LongMessagesArePrintedWhole) {
    std::string longText(5000, 'a');
    longText.back() = 'b';
    Captured c = capture([&] { return ZebTrace(TRACE_ALWAYS, "F", "%s", longText.c_str()); });
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.out.substr(10), "F: " + longText);
}
#else
TEST_F(TraceTest, LongMessagesAreCutAt1023Characters) {
    std::string longText(2000, 'a');
    longText[1022] = 'b';
    longText[1023] = 'c';
    Captured c = capture([&] { return zeb_trace(TRACE_ALWAYS, "%s", longText.c_str()); });
    EXPECT_EQ(c.result, 0);
    std::string message = c.out.substr(10);
    EXPECT_EQ(message.size(), 1023u);
    EXPECT_EQ(message.back(), 'b');

    std::string exact(1023, 'z');
    c = capture([&] { return ZebTrace(TRACE_ALWAYS, "F", "%s", exact.c_str()); });
    EXPECT_EQ(c.out.substr(10), "F: " + exact);
}
#endif

} // namespace
