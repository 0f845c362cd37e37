// The start-up window in this process: its layout for both reading
// directions, the progress entry, the status line, messages from other
// processes, the listener reports and the two-step close.
#include <gtest/gtest.h>

#include <vector>

#include "platform/ipc.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "runtime_fixture.h"
#include "startup/agent.h"
#include "startup/agent_settings.h"
#include "startup/mainwindow.h"
#include "util/services.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>
#endif

namespace {

TEST(MainWindowLayout, CentredInTheWorkArea) {
    struct Case {
        plat::Rect work;
        int x, y;
    };
    const Case cases[] = {{{0, 0, 1024, 768}, 266, 329},
                          {{10, 20, 1001, 501}, 264, 215},
                          // Narrower than the window: the division rounds toward zero.
                          {{0, 0, 401, 100}, -45, -5}};
    for (const Case& c : cases) {
        const plat::Rect r = CentredFrame(c.work);
        EXPECT_EQ(r.x, c.x);
        EXPECT_EQ(r.y, c.y);
        EXPECT_EQ(r.width, 492);
        EXPECT_EQ(r.height, 110);
    }
}

TEST(MainWindowLayout, FontHeightRoundsLikeMulDiv) {
    EXPECT_EQ(FontHeight(8, 96), -11);
    EXPECT_EQ(FontHeight(9, 96), -12);
    EXPECT_EQ(FontHeight(10, 120), -17);
    EXPECT_EQ(FontHeight(12, 72), -12);
}

struct Seen {
    std::uint32_t msg;
    plat::WParam wp;
    plat::LParam lp;
};
std::vector<Seen> g_listener;
const std::uint32_t kListenerMsg = plat::MSG_USER + 77;

plat::MsgResult ListenerProc(plat::WindowHandle w, std::uint32_t m, plat::WParam wp,
                             plat::LParam lp) {
    if (m == kListenerMsg)
        g_listener.push_back({m, wp, lp});
    return plat::default_window_proc(w, m, wp, lp);
}

// What the tick saw, checked after the window has gone.
struct TickRecord {
    plat::WindowInfo created;
    std::vector<int> activity;
    std::uint32_t activityStyle = 0;
    int progressMax = 0;
    int progressPos = 0;
    plat::ChildInfo status;
    plat::MsgResult agentAnswer = 0;
    bool stillThereAfterFirstClose = false;
    bool abortAfterFirstClose = false;
#ifdef _WIN32
    RECT frame{};
    LONG style = 0;
    DWORD classStyle = 0;
    bool icon = false;
    char title[64] = {};
#endif
};

const plat::ChildInfo* Child(const plat::WindowInfo& info, int id) {
    for (const plat::ChildInfo& c : info.children)
        if (c.id == id)
            return &c;
    return nullptr;
}

class MainWindowRun : public stubtest::RuntimeFolderTest {
protected:
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        g_listener.clear();
        Agent() = AgentState();
        plat::WindowParams params;
        params.className = "stub-startup-test-listener";
        params.title = "listener";
        params.proc = ListenerProc;
        m_listener = plat::create_window(params);
        ASSERT_NE(m_listener, 0u);
    }
    void TearDown() override {
        plat::destroy_window(m_listener);
        MainWindowCallbacks() = MainWindowHooks();
        RuntimeFolderTest::TearDown();
    }
    plat::WindowHandle m_listener = 0;
};

TEST_F(MainWindowRun, LeftToRightWindowServesProgressMessagesAndTheTwoStepClose) {
    TickRecord rec;
    const plat::WindowHandle listener = m_listener;
    MainWindowCallbacks().onTimer = [&rec, listener] {
        const plat::WindowHandle h = MainWindow().hWnd;
        plat::kill_timer(h, kTimerId);
        plat::describe_window(h, rec.created);
#ifdef _WIN32
        HWND hwnd = reinterpret_cast<HWND>(h);
        GetWindowRect(hwnd, &rec.frame);
        rec.style = GetWindowLongA(hwnd, GWL_STYLE);
        rec.classStyle = static_cast<DWORD>(GetClassLongPtrA(hwnd, GCL_STYLE));
        rec.icon = GetClassLongPtrA(hwnd, GCLP_HICON) != 0;
        GetWindowTextA(hwnd, rec.title, sizeof rec.title);
#endif
        // Another process registers as listener and asks a getter.
        plat::send_message(h, wm_LocalMsg, listener, kListenerMsg);
        rec.agentAnswer = plat::send_message(h, wm_AgentMsg, 7, 0);

        ProgressCallback(0, 0, 22, 0, 1, "");
        for (int i = 0; i < 7; ++i) {
            ProgressCallback(1, 0, 0, 0, 0, "");
            plat::WindowInfo now;
            plat::describe_window(h, now);
            rec.activity.push_back(Child(now, CHILD_ACTIVITY_BAR)->pos);
            rec.progressMax = Child(now, CHILD_PROGRESS_BAR)->rangeMax;
            rec.progressPos = Child(now, CHILD_PROGRESS_BAR)->pos;
        }
        SetStatusText("Unpacking", "Tahoma", 0, 8);
        ShowActivityBar();
        plat::WindowInfo now;
        plat::describe_window(h, now);
        rec.status = *Child(now, CHILD_STATUS_LINE);
        rec.activityStyle = Child(now, CHILD_ACTIVITY_BAR)->style;

        plat::send_message(h, plat::MSG_CLOSE, 0, 0);
        rec.stillThereAfterFirstClose = plat::is_window(h);
        rec.abortAfterFirstClose = MainWindow().bAbort;
        plat::send_message(h, plat::MSG_CLOSE, 0, 0);
    };
    Agent().nLastResult = 5;
    ASSERT_TRUE(RunMainWindow("stub-startup-test-ltr", "Setup title", 0, "Tahoma", 8));
    plat::pump_messages();

    const plat::WindowInfo& info = rec.created;
    EXPECT_FALSE(info.visible);
    ASSERT_EQ(info.children.size(), 3u);
    const struct {
        int id;
        const char* cls;
        std::uint32_t style;
        plat::Rect rect;
    } expected[] = {{CHILD_STATUS_LINE, "Static", 0x50000000u, {70, 20, 340, 18}},
                    {CHILD_PROGRESS_BAR, "msctls_progress32", 0x50000000u, {70, 38, 392, 13}},
                    {CHILD_ACTIVITY_BAR, "msctls_progress32", 0x40000000u, {416, 20, 46, 13}}};
    for (std::size_t i = 0; i < 3; ++i) {
        const plat::ChildInfo& c = info.children[i];
        EXPECT_EQ(c.id, expected[i].id);
        EXPECT_EQ(c.className, expected[i].cls);
        EXPECT_EQ(c.style & 0xFFFF0000u, expected[i].style) << c.id;
        EXPECT_EQ(c.rect.x, expected[i].rect.x) << c.id;
        EXPECT_EQ(c.rect.y, expected[i].rect.y) << c.id;
        EXPECT_EQ(c.rect.width, expected[i].rect.width) << c.id;
        EXPECT_EQ(c.rect.height, expected[i].rect.height) << c.id;
    }

    EXPECT_EQ(rec.activity, (std::vector<int>{1, 2, 3, 4, 5, 0, 1}));
    EXPECT_EQ(rec.progressMax, 22);
    EXPECT_EQ(rec.progressPos, 7);
    EXPECT_EQ(rec.status.text, "Unpacking");
    EXPECT_EQ(rec.status.style & 0xFFFF000Fu, 0x50000000u);
    EXPECT_EQ(rec.activityStyle & 0xFFFF0000u, 0x50000000u); // shown on request
    EXPECT_EQ(rec.agentAnswer, 5);

    EXPECT_TRUE(rec.stillThereAfterFirstClose);
    EXPECT_TRUE(rec.abortAfterFirstClose);
    EXPECT_EQ(MainWindow().hWnd, 0u);

    // Registered: (50, window) and (51, 1125); the loop's end: (43, 0).
    ASSERT_EQ(g_listener.size(), 3u);
    EXPECT_EQ(g_listener[0].wp, 50u);
    EXPECT_NE(g_listener[0].lp, 0);
    EXPECT_EQ(g_listener[1].wp, 51u);
    EXPECT_EQ(g_listener[1].lp, 1125);
    EXPECT_EQ(g_listener[2].wp, 43u);
    EXPECT_EQ(g_listener[2].lp, 0);

#ifdef _WIN32
    const plat::Rect want = CentredFrame(plat::work_area());
    EXPECT_EQ(rec.frame.left, want.x);
    EXPECT_EQ(rec.frame.top, want.y);
    EXPECT_EQ(rec.frame.right - rec.frame.left, 492);
    EXPECT_EQ(rec.frame.bottom - rec.frame.top, 110);
    EXPECT_EQ(static_cast<std::uint32_t>(rec.style) & 0x02CF0000u, 0x02C80000u);
    EXPECT_EQ(rec.classStyle, static_cast<DWORD>(CS_DBLCLKS));
    EXPECT_TRUE(rec.icon);
    EXPECT_STREQ(rec.title, "Setup title");
#endif
}

TEST_F(MainWindowRun, RightToLeftCharsetMirrorsTheStatusLineAndActivityBar) {
    plat::WindowInfo info;
    plat::ChildInfo status;
    plat::MsgResult autoPlay[2] = {-1, -1};
    MainWindowCallbacks().onTimer = [&info, &status, &autoPlay] {
        const plat::WindowHandle h = MainWindow().hWnd;
        plat::kill_timer(h, kTimerId);
        plat::describe_window(h, info);
        // The shell's AutoPlay question is answered "cancel" only while a
        // disk change is expected.
        const std::uint32_t query = plat::register_window_message("QueryCancelAutoPlay");
        autoPlay[0] = plat::send_message(h, query, 0, 0);
        SetAutoPlayCancel(true);
        autoPlay[1] = plat::send_message(h, query, 0, 0);
        SetAutoPlayCancel(false);
        SetStatusText("x", "Arial", 177, 8);
        plat::WindowInfo now;
        plat::describe_window(h, now);
        status = *Child(now, CHILD_STATUS_LINE);
        plat::post_quit_message(0);
    };
    ASSERT_TRUE(RunMainWindow("stub-startup-test-rtl", "t", 177, "Arial", 8));
    ASSERT_EQ(info.children.size(), 3u);
    EXPECT_EQ(Child(info, CHILD_STATUS_LINE)->rect.x, 122);
    EXPECT_EQ(Child(info, CHILD_PROGRESS_BAR)->rect.x, 70);
    EXPECT_EQ(Child(info, CHILD_ACTIVITY_BAR)->rect.x, 70);
    EXPECT_EQ(status.style & 0xFFFF000Fu, 0x50000002u);
    EXPECT_EQ(status.exStyle & 0x2000u, 0x2000u);
    EXPECT_EQ(autoPlay[0], 0);
    EXPECT_EQ(autoPlay[1], 1);
}

TEST_F(MainWindowRun, PostedShutdownRequestIsKeptAndTheEndCleansUp) {
    bool cleaned = false;
    MainWindowCallbacks().onDestroy = [&cleaned] { cleaned = true; };
    MainWindowCallbacks().onTimer = [] {
        // The first tick posts to the window found by its class, as another
        // process does; a later tick ends the run once the request is in.
        if (Agent().nShutdownRequest == -1) {
            plat::post_message(plat::find_window("stub-startup-test-shutdown"), wm_ShutDown, 6, 0);
            return;
        }
        plat::kill_timer(MainWindow().hWnd, kTimerId);
        plat::post_quit_message(0);
    };
    ASSERT_TRUE(RunMainWindow("stub-startup-test-shutdown", "t", 0, "Tahoma", 8));
    EXPECT_EQ(Agent().nShutdownRequest, 6);
    EXPECT_TRUE(cleaned);
}

#ifndef _WIN32
// Standard output on a pseudo-terminal while the test runs; the text the
// window drew is read from the terminal's other end.
class TerminalOutput {
public:
    TerminalOutput() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        const int slave = open(ptsname(m_master), O_RDWR | O_NOCTTY);
        if (slave < 0)
            return;
        fflush(stdout);
        m_saved = dup(STDOUT_FILENO);
        dup2(slave, STDOUT_FILENO);
        close(slave);
    }
    ~TerminalOutput() {
        Restore();
        if (m_master >= 0)
            close(m_master);
    }
    bool Ok() const { return m_saved >= 0; }
    void Restore() {
        if (m_saved >= 0) {
            dup2(m_saved, STDOUT_FILENO);
            close(m_saved);
            m_saved = -1;
        }
    }
    std::string Read() {
        std::string text;
        char buf[512];
        pollfd p{m_master, POLLIN, 0};
        while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
            const ssize_t n = read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            text.append(buf, static_cast<std::size_t>(n));
        }
        return text;
    }

private:
    int m_master = -1;
    int m_saved = -1;
};

TEST_F(MainWindowRun, ShownWindowIsOneLineOnTheTerminal) {
    TerminalOutput term;
    ASSERT_TRUE(term.Ok());
    std::string hidden;
    MainWindowCallbacks().onTimer = [&hidden, &term] {
        const plat::WindowHandle h = MainWindow().hWnd;
        plat::kill_timer(h, kTimerId);
        SetStatusText("Unpacking", "Tahoma", 0, 8);
        hidden = term.Read(); // nothing while the window is hidden
        plat::show_window(h, plat::SHOW_SHOW);
        ProgressCallback(0, 0, 4, 0, 1, "");
        ProgressCallback(1, 0, 0, 0, 0, "");
        ProgressCallback(1, 0, 0, 0, 0, "");
        plat::post_quit_message(0);
    };
    ASSERT_TRUE(RunMainWindow("stub-startup-test-terminal", "t", 0, "Tahoma", 8));
    const std::string drawn = term.Read();
    term.Restore();
    EXPECT_EQ(hidden, "");
    EXPECT_NE(drawn.find("\rUnpacking [###############---------------] 50%"), std::string::npos)
        << drawn;
    // The line is cleared when the window goes.
    EXPECT_EQ(drawn.substr(drawn.size() - 4), "\x1b[K\r");
}
#endif

} // namespace
