#include "startup/mainwindow.h"

#include "platform/messages.h"
#include "startup/agent.h"
#include "startup/agent_settings.h"
#include "startup/runlog.h"
#include "startup/switches.h"
#include "util/debug.h"
#include "util/services.h"

namespace {

const char kStatusFont[] = "Tahoma";
const char kIconName[] = "MainIcon";
const std::uint32_t kClassStyle = 0x0008; // CS_DBLCLKS
const int kStatusFontHeight = -11;

struct CreateInfo {
    bool bRtl = false;
};
CreateInfo g_create;
bool g_bDestroying = false;

} // namespace

bool IsRightToLeft(int nCharset) {
    return nCharset == 177 || nCharset == 178;
}

plat::Rect CentredFrame(const plat::Rect& workArea) {
    return plat::Rect{workArea.x + (workArea.width - kWindowWidth) / 2,
                      workArea.y + (workArea.height - kWindowHeight) / 2, kWindowWidth,
                      kWindowHeight};
}

plat::ChildParams StartupChildSpec(StartupChild child, bool bRtl) {
    plat::ChildParams params;
    params.id = child;
    switch (child) {
    case CHILD_STATUS_LINE:
        params.kind = plat::CHILD_STATIC;
        params.style = 0x50000000u;
        params.rect = plat::Rect{bRtl ? 122 : 70, 20, 340, 18};
        break;
    case CHILD_PROGRESS_BAR:
        params.kind = plat::CHILD_PROGRESS;
        params.style = 0x50000000u;
        params.rect = plat::Rect{70, 38, 392, 13};
        break;
    case CHILD_ACTIVITY_BAR:
        params.kind = plat::CHILD_PROGRESS;
        params.style = 0x40000000u; // hidden until extraction shows it
        params.rect = plat::Rect{bRtl ? 70 : 416, 20, 46, 13};
        break;
    }
    return params;
}

int FontHeight(int nPoints, int nDpi) {
    // MulDiv(points, dpi, 72): rounded half away from zero.
    const long long product = static_cast<long long>(nPoints) * nDpi;
    const long long half = product >= 0 ? 36 : -36;
    return -static_cast<int>((product + half) / 72);
}

MainWindowState& MainWindow() {
    static MainWindowState state;
    return state;
}

MainWindowHooks& MainWindowCallbacks() {
    static MainWindowHooks hooks;
    return hooks;
}

void SetStatusText(const std::string& sText, const std::string& sFace, int nCharset, int nPoints) {
    const bool rtl = IsRightToLeft(nCharset);
    plat::set_child_text(MainWindow().hWnd, CHILD_STATUS_LINE, sText,
                         rtl ? 0x50000002u : 0x50000000u, rtl ? 0x2000u : 0u, sFace, nCharset,
                         FontHeight(nPoints, plat::screen_dpi_y()));
}

void ProgressCallback(int nMode, plat::WParam wParam, std::int64_t nMax, std::int64_t nPos,
                      std::int64_t nStep, const std::string&) {
    MainWindowState& mw = MainWindow();
    const plat::WindowHandle h = mw.hWnd;
    if (nMode == 0) {
        const plat::LParam range = static_cast<plat::LParam>((nMax & 0xFFFF) << 16);
        plat::progress_message(h, CHILD_PROGRESS_BAR, plat::PROGRESS_SETRANGE, wParam, range);
        plat::progress_message(h, CHILD_PROGRESS_BAR, plat::PROGRESS_SETPOS,
                               static_cast<plat::WParam>(nPos), 0);
        plat::progress_message(h, CHILD_PROGRESS_BAR, plat::PROGRESS_SETSTEP,
                               static_cast<plat::WParam>(nStep), 0);
        plat::progress_message(h, CHILD_ACTIVITY_BAR, plat::PROGRESS_SETRANGE, wParam, 5 << 16);
        plat::progress_message(h, CHILD_ACTIVITY_BAR, plat::PROGRESS_SETPOS, 0, 0);
        plat::progress_message(h, CHILD_ACTIVITY_BAR, plat::PROGRESS_SETSTEP, 1, 0);
    } else if (nMode == 1) {
        plat::progress_message(h, CHILD_PROGRESS_BAR, plat::PROGRESS_STEPIT, 0, 0);
        if (++mw.nActivity > 5)
            mw.nActivity = 0;
        plat::progress_message(h, CHILD_ACTIVITY_BAR, plat::PROGRESS_SETPOS,
                               static_cast<plat::WParam>(mw.nActivity), 0);
    }
}

void ShowActivityBar() {
    if (MainWindow().hWnd != 0)
        plat::show_child(MainWindow().hWnd, CHILD_ACTIVITY_BAR, true);
}

bool CloseMainWindow() {
    Log(".. CloseMainWindow() - Start");
    MainWindowState& mw = MainWindow();
    const bool wasSet = mw.bAbort;
    mw.bAbort = true;
    Log(".. CloseMainWindow() - End");
    return wasSet;
}

void DestroyMainWindow() {
    Log(".. DestroyMainWindow() - Start");
    MainWindowState& mw = MainWindow();
    mw.bAbort = true;
    if (MainWindowCallbacks().onDestroy)
        MainWindowCallbacks().onDestroy();
    // A window on its way out ends the loop by itself; a quit message posted
    // then would outlive the loop and end the next wait for messages at once.
    if (!g_bDestroying)
        plat::post_quit_message(0);
    mw.bDone = true;
    Log(".. DestroyMainWindow() - End");
}

const ListenerPort& StubListenerPort() {
    static const ListenerPort port{
        [](plat::WindowHandle w) { return plat::is_window(w); },
        [](plat::WindowHandle w, std::uint32_t m, plat::WParam wp, plat::LParam lp) {
            return plat::post_message(w, m, wp, lp);
        }};
    return port;
}

plat::MsgResult MainWindowProc(plat::WindowHandle hWnd, std::uint32_t msg, plat::WParam wParam,
                               plat::LParam lParam) {
    plat::MsgResult result = 0;
    bool bDefault = true;
    if (HandleStubMessage(Agent(), ProcessAgentSettings(), StubListenerPort(), hWnd, msg, wParam,
                          lParam, result, bDefault)) {
        return bDefault ? plat::default_window_proc(hWnd, msg, wParam, lParam) : result;
    }
    const std::uint32_t autoPlay = AutoPlayCancelMessage();
    if (autoPlay != 0 && msg == autoPlay)
        return 1;
    switch (msg) {
    case plat::MSG_CREATE:
        MainWindow().hWnd = hWnd;
        for (StartupChild c : {CHILD_STATUS_LINE, CHILD_PROGRESS_BAR, CHILD_ACTIVITY_BAR})
            plat::create_child(hWnd, StartupChildSpec(c, g_create.bRtl));
        plat::set_timer(hWnd, kTimerId, kTimerMs);
        plat::set_child_text(hWnd, CHILD_STATUS_LINE, "", 0x50000000u, 0, kStatusFont, 0,
                             kStatusFontHeight);
        break;
    case plat::MSG_PAINT:
        plat::paint_icon_face(hWnd, kIconX, kIconY);
        break;
    case plat::MSG_TIMER:
        if (wParam == kTimerId && MainWindowCallbacks().onTimer)
            MainWindowCallbacks().onTimer();
        break;
    case plat::MSG_CLOSE:
        if (!CloseMainWindow())
            return 0;
        break;
    case plat::MSG_DESTROY:
        DebugLine("- wm_Destroy -");
        g_bDestroying = true;
        DestroyMainWindow();
        g_bDestroying = false;
        plat::release_children(hWnd);
        if (MainWindow().hWnd == hWnd)
            MainWindow().hWnd = 0;
        break;
    case plat::MSG_QUIT:
        DebugLine("- wm_Quit -");
        DestroyMainWindow();
        break;
    default:
        break;
    }
    return plat::default_window_proc(hWnd, msg, wParam, lParam);
}

bool RunMainWindow(const std::string& sClass, const std::string& sTitle, int nCharset,
                   const std::string&, int) {
    const std::int64_t sleep = SwitchInt("/SleepX=", -1);
    if (sleep >= 0)
        Agent().nCountdown = -sleep;

    MainWindowState& mw = MainWindow();
    mw.bDone = false;
    mw.bAbort = false;
    g_create.bRtl = IsRightToLeft(nCharset);

    plat::init_common_controls();
    const plat::Rect frame = CentredFrame(plat::work_area());
    plat::WindowParams params;
    params.className = sClass;
    params.title = sTitle;
    params.proc = MainWindowProc;
    params.style = kWindowStyle;
    params.classStyle = kClassStyle;
    params.x = frame.x;
    params.y = frame.y;
    params.width = frame.width;
    params.height = frame.height;
    params.icon = kIconName;
    const plat::WindowHandle h = plat::create_window(params);
    if (h != 0) {
        mw.hWnd = h;
        plat::show_window(h, plat::SHOW_HIDE);
        if (!mw.bDone)
            plat::run_message_loop(h);
    }
    if (plat::is_window(h)) {
        plat::kill_timer(h, kTimerId);
        // Gone before the listener hears of the end, so that nothing can
        // post to a window that no longer serves messages.
        plat::destroy_window(h);
    }
    mw.bAbort = true;
    ReportToListener(Agent(), StubListenerPort(), REPORT_LOOP_ENDED, 0);
    return h != 0;
}
