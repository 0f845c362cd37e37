// The Win32 side of the debug channel and of the waits, against a real
// viewer window of class ".HDebug." owned by the test thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/system.h"
#include "util/debug.h"
#include "util/services.h"

namespace {

std::vector<std::string> g_pieces;
std::vector<WPARAM> g_wparams;
int g_posted = 0;
const UINT kPosted = WM_USER + 77;

LRESULT CALLBACK ViewerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    static const UINT debugMsg = RegisterWindowMessageA(".H_DebugMsg.");
    if (msg == debugMsg) {
        char text[256] = {};
        UINT n = GlobalGetAtomNameA(static_cast<ATOM>(lp), text, sizeof text);
        g_pieces.emplace_back(text, n);
        g_wparams.push_back(wp);
        return 0;
    }
    if (msg == kPosted) {
        ++g_posted;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ViewerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = ".HDebug.";
        RegisterClassA(&wc);
        m_hwnd = CreateWindowA(".HDebug.", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        g_pieces.clear();
        g_wparams.clear();
        g_posted = 0;
    }
    void TearDown() override {
        if (m_hwnd)
            DestroyWindow(m_hwnd);
    }
    HWND m_hwnd = nullptr;
};

TEST_F(ViewerTest, LineArrivesInPiecesOfAtMost128) {
    DebugStreamBuf buf(&plat::debug_sink);
    std::ostream out(&buf);
    const std::string line = std::string(200, 'a') + std::string(100, 'b');
    out << line << '\n' << std::flush;
    ASSERT_EQ(g_pieces.size(), 3u);
    EXPECT_EQ(g_pieces[0] + g_pieces[1] + g_pieces[2], line + "\n");
    EXPECT_EQ(g_pieces[0].size(), 128u);
    for (WPARAM wp : g_wparams)
        EXPECT_EQ(wp, 1u);
    // The atoms are deleted once the viewer has them.
    EXPECT_EQ(GlobalFindAtomA(g_pieces[2].c_str()), 0);
}

TEST_F(ViewerTest, YieldWaitDispatchesPostedMessages) {
    PostMessageA(m_hwnd, kPosted, 0, 0);
    PostMessageA(m_hwnd, kPosted, 0, 0);
    YieldWait(0, 20);
    EXPECT_EQ(g_posted, 2);
}

} // namespace
