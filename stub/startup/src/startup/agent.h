// The state one Stub process keeps for its update agent, the window messages
// by which other Stub processes drive it (1123..1125), the agent commands of
// message 1125 and the reports to a registered listener window.
#ifndef STUB_STARTUP_AGENT_H
#define STUB_STARTUP_AGENT_H

#include <cstdint>
#include <functional>
#include <string>

#include "platform/messages.h"
#include "platform/types.h"

constexpr std::uint32_t wm_ShutDown = 1123;
constexpr std::uint32_t wm_LocalMsg = 1124;
constexpr std::uint32_t wm_AgentMsg = 1125;

// Codes of the reports to the listener.
enum ListenerReport : plat::WParam {
    REPORT_LOOP_ENDED = 43, // the start-up window's loop has ended (value 0)
    REPORT_WINDOW = 50,     // value: the agent's window handle
    REPORT_AGENT_MSG = 51,  // value: the message number of agent commands
};

// Agent command codes (wParam of wm_AgentMsg).
enum AgentCommand : plat::WParam {
    AC_GET_VERSION_ORIGINAL = 4,
    AC_GET_VERSION_NEW = 5,
    AC_GET_LAST_RESULT = 7,
    AC_GET_PROBE_INTERVAL = 8,
    AC_GET_REASK_INTERVAL = 9,
    AC_GET_PROBE_LAST = 10,
    AC_GET_REASK_LAST = 11,
    AC_SET_PROBE_INTERVAL = 12,
    AC_SET_REASK_INTERVAL = 13,
    AC_SET_PROBE_LAST = 14,
    AC_SET_REASK_LAST = 15,
    AC_SET_OVERRIDE_FIRST = 20, // 20..25 set overrides 1..6
    AC_SET_OVERRIDE_LAST = 25,
    AC_SHUTDOWN = 30,
    AC_PERFORM_UPDATE_CYCLE = 31,
    AC_COMMAND_32 = 32,
};

// The settings the agent commands read and write.
enum class AgentSetting {
    VersionOriginal,
    VersionNew,
    ProbeSecondsInterval,
    ReAskSecondsInterval,
    ProbeSecondsLast,
    ReAskSecondsLast,
};

class AgentSettings {
public:
    virtual ~AgentSettings() = default;
    virtual std::int64_t Get(AgentSetting setting) = 0;
    virtual void Set(AgentSetting setting, std::int64_t value) = 0;
    // nOverride 1..8; value 255 means "read the key".
    virtual void SetOverride(int nOverride, unsigned char value) = 0;
};

// How reports leave the process; the start-up window binds them to the
// platform's window services, tests to recorders.
struct ListenerPort {
    std::function<bool(plat::WindowHandle)> isWindow;
    std::function<bool(plat::WindowHandle, std::uint32_t, plat::WParam, plat::LParam)> post;
};

struct AgentState {
    std::int64_t nShutdownRequest = -1;
    bool bUpdateRequest = false;
    std::int64_t nCountdown = -3;
    int nExitMode = 0;
    bool bCommand32 = false;
    std::int64_t nLastResult = 0;
    plat::WindowHandle hListener = 0;
    std::uint32_t nListenerMsg = 0;
};

// The process's agent state; changed only on the UI thread.
AgentState& Agent();

// Runs one agent command; its result is the message result.
plat::MsgResult RunAgentCommand(AgentState& state, AgentSettings& settings, plat::WParam code,
                                plat::LParam value);

// Registers the listener of wm_LocalMsg and reports (50, own window) and
// (51, 1125) to it. Only an existing window with a message number of at
// least WM_USER is accepted, so that a stray or hostile message cannot make
// the agent post system messages to arbitrary windows; false otherwise (the
// previous listener stays).
bool SetListener(AgentState& state, const ListenerPort& port, plat::WindowHandle hOwn,
                 plat::WParam hListener, plat::LParam nMessage);

// PostMessage(listener, listener message, code, value) when one is set.
bool ReportToListener(const AgentState& state, const ListenerPort& port, plat::WParam code,
                      plat::LParam value);

// Handles messages 1123..1125 for the start-up window; false for any other
// message. bDefault tells whether default processing follows.
bool HandleStubMessage(AgentState& state, AgentSettings& settings, const ListenerPort& port,
                       plat::WindowHandle hOwn, std::uint32_t msg, plat::WParam wParam,
                       plat::LParam lParam, plat::MsgResult& result, bool& bDefault);

#endif
