// The start-up window: a small fixed box with the program icon, a status
// line, a progress bar and an activity bar. It is the package run's and the
// agent copy's only window, their timer owner and the receiving end of the
// messages between Stub processes.
#ifndef STUB_STARTUP_MAINWINDOW_H
#define STUB_STARTUP_MAINWINDOW_H

#include <cstdint>
#include <functional>
#include <string>

#include "platform/types.h"
#include "platform/window.h"
#include "startup/agent.h"

constexpr int kWindowWidth = 492;
constexpr int kWindowHeight = 110;
constexpr std::uint32_t kWindowStyle = 0x02C80000u; // clip children, caption, system menu
constexpr std::uintptr_t kTimerId = 1;
constexpr std::uint32_t kTimerMs = 1000;
constexpr int kIconX = 18;
constexpr int kIconY = 20;

enum StartupChild { CHILD_STATUS_LINE = 1, CHILD_PROGRESS_BAR = 2, CHILD_ACTIVITY_BAR = 3 };

// Hebrew and Arabic character sets lay the window out right to left.
bool IsRightToLeft(int nCharset);

// The outer rectangle, centred in the work area (divisions toward zero).
plat::Rect CentredFrame(const plat::Rect& workArea);

// The three children in creation order.
plat::ChildParams StartupChildSpec(StartupChild child, bool bRtl);

// Height of a font of nPoints points on a screen of nDpi pixels per inch,
// negative as the system expects for a character height (MulDiv rounding).
int FontHeight(int nPoints, int nDpi);

// Process-wide handles and flags of the window.
struct MainWindowState {
    plat::WindowHandle hWnd = 0;
    bool bDone = false;
    bool bAbort = false;
    int nActivity = 0;
};
MainWindowState& MainWindow();

void SetStatusText(const std::string& sText, const std::string& sFace, int nCharset, int nPoints);

// Shows the activity bar, which the window creates hidden.
void ShowActivityBar();

// The single progress entry of extraction and downloads. mode 0 sets the
// bars up, mode 1 advances them; the text is not used.
void ProgressCallback(int nMode, plat::WParam wParam, std::int64_t nMax, std::int64_t nPos,
                      std::int64_t nStep, const std::string& sText);

// What the window does on its timer and when it ends; filled by the program
// for its role (package run: the setup work; agent copy: one agent step).
struct MainWindowHooks {
    std::function<void()> onTimer;
    std::function<void()> onDestroy; // removes the extraction folder
};
MainWindowHooks& MainWindowCallbacks();

// First close request: sets the abort flag and returns false (the window
// stays); later requests return true.
bool CloseMainWindow();
// Sets abort and done, removes what the run left, posts the quit message.
void DestroyMainWindow();

// Reports to the listener leave through the platform's windows.
const ListenerPort& StubListenerPort();

// The window procedure.
plat::MsgResult MainWindowProc(plat::WindowHandle hWnd, std::uint32_t msg, plat::WParam wParam,
                               plat::LParam lParam);

// Creates the hidden window of the class and title and runs its loop until it
// ends; reports the end (43) to the listener. False when the window could not
// be created.
bool RunMainWindow(const std::string& sClass, const std::string& sTitle, int nCharset,
                   const std::string& sFontFace, int nFontSize);

#endif
