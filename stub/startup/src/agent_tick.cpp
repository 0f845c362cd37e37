#include "startup/agent_tick.h"

#include <array>
#include <cstdint>

#include "AutoUpdate.h"
#include "HttpDownload.h"
#include "Progress.h"
#include "TGFileInfo.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "startup/agent.h"
#include "startup/folders.h"
#include "startup/mainwindow.h"
#include "startup/packagerun.h"
#include "startup/placeholders.h"
#include "startup/runlog.h"
#include "startup/settings.h"
#include "util/paths.h"

namespace {

// The agent commands write AgentState whenever a message arrives, also while
// a tick waits in a box or a download; the tick works on its own copy.
struct Requests {
    std::int64_t shutdownRequest;
    bool updateRequest;
    std::int64_t countdown;
    int exitMode;
    bool command32;
};

Requests Take(const AgentState& s) {
    return {s.nShutdownRequest, s.bUpdateRequest, s.nCountdown, s.nExitMode, s.bCommand32};
}

// What the tick left, except where a command changed the state meanwhile:
// the newer command wins.
template <typename T> void Merge(T& state, const T& before, const T& tick) {
    if (state == before)
        state = tick;
}

#ifdef _WIN32
const char* const kTrailing = "\\";
#else
const char* const kTrailing = "/";
#endif

} // namespace

namespace {

au::AgentControl& Control() {
    static au::AgentControl control;
    return control;
}

} // namespace

void BindUpdateAgent(const container::TGFileInfo& info) {
    au::AgentControl& control = Control();
    au::AgentHost host;
    host.report = [](int code, int value) {
        ReportToListener(Agent(), StubListenerPort(), static_cast<plat::WParam>(code), value);
    };
    host.log = [](const std::string& line) { Log(line); };
    host.trace = [](const std::string& line) { PrintLine(line); };
    host.showWindow = [](bool show) {
        plat::show_window(MainWindow().hWnd, show ? plat::SHOW_SHOW : plat::SHOW_HIDE);
    };
    host.status = [](const std::string& text) {
        SetStatusText(text, MsgBoxFontName(), static_cast<int>(MsgBoxCharSet()),
                      static_cast<int>(MsgBoxFontSize()));
    };
    host.postQuit = [] { plat::post_quit_message(0); };
    host.endAgent = [] { plat::destroy_window(MainWindow().hWnd); };
    host.overrides = [] {
        std::array<std::uint8_t, 8> o{};
        for (int i = 0; i < 8; ++i)
            o[static_cast<std::size_t>(i)] = Override(i + 1);
        return o;
    };
    host.expand = [](const std::string& path, const std::string& target, const std::string& shared,
                     const std::string& auxiliary) {
        SetProductFolders(target, shared, auxiliary);
        return ExpandPlaceholders(path, kTrailing, false, true);
    };
    host.phase = [](int phase) { Agent().nLastResult = phase; };
    // The start-up window's bar shows the transfer; in a foreground cycle
    // the window owns the download's boxes.
    host.download = [](const std::string& url, const std::string& target, std::string& error,
                       std::string& content) {
        static TProgBar reporter(ProgressCallback);
        reporter.Reset();
        const plat::WindowHandle owner = Control().exitMode == 1 ? MainWindow().hWnd : 0;
        return HTTP_DownloadFile_Incremental(owner, url, target, error, &reporter, content);
    };
    host.install = [&info](const au::InstallRequest& req) {
        return RunUpdatePackage(info, req.package, req.agentName, req.foreground, req.arguments);
    };
    static au::UpdateAgent agent(au::AgentConfigOf(info, ProgramFolder(false)), control, host);

    MainWindowCallbacks().onTimer = [] {
        au::AgentControl& control = Control();
        if (control.busy)
            return;
        AgentState& state = Agent();
        const Requests before = Take(state);
        control.shutdownRequest = before.shutdownRequest;
        control.updateRequest = before.updateRequest;
        control.countdown = before.countdown;
        control.exitMode = before.exitMode;
        control.command32 = before.command32;
        agent.Tick();
        Merge(state.nShutdownRequest, before.shutdownRequest, control.shutdownRequest);
        Merge(state.bUpdateRequest, before.updateRequest, control.updateRequest);
        Merge(state.nCountdown, before.countdown, control.countdown);
        Merge(state.nExitMode, before.exitMode, control.exitMode);
        Merge(state.bCommand32, before.command32, control.command32);
        state.nLastResult = control.phase;
    };
}
