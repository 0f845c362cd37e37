// Shows the start-up window as a package run does while it unpacks: visible,
// with a status text and the progress bar part way, for the given number of
// seconds (default 5). The documentation's picture is taken of it.
#include <cstdlib>
#include <string>

#include "platform/messages.h"
#include "platform/window.h"
#include "startup/mainwindow.h"

namespace {
int g_ticks = 0;
int g_seconds = 5;
} // namespace

int main(int argc, char** argv) {
    if (argc > 1)
        g_seconds = std::atoi(argv[1]);
    MainWindowCallbacks().onTimer = [] {
        const plat::WindowHandle h = MainWindow().hWnd;
        if (g_ticks++ == 0) {
            plat::show_window(h, plat::SHOW_SHOW);
            SetStatusText("Extracting setup.msi ...", "Tahoma", 0, 8);
            ProgressCallback(0, 0, 100, 0, 1, "");
            for (int i = 0; i < 42; ++i)
                ProgressCallback(1, 0, 0, 0, 0, "");
        }
        if (g_ticks > g_seconds)
            plat::post_quit_message(0);
    };
    return RunMainWindow("stub-window-demo", "Harbix Installation Suite", 0, "Tahoma", 8) ? 0 : 1;
}
