#include "startup/agent.h"

#include <algorithm>

AgentState& Agent() {
    static AgentState state;
    return state;
}

namespace {

bool Getter(plat::WParam code, AgentSetting& setting) {
    switch (code) {
    case AC_GET_VERSION_ORIGINAL:
        setting = AgentSetting::VersionOriginal;
        return true;
    case AC_GET_VERSION_NEW:
        setting = AgentSetting::VersionNew;
        return true;
    case AC_GET_PROBE_INTERVAL:
        setting = AgentSetting::ProbeSecondsInterval;
        return true;
    case AC_GET_REASK_INTERVAL:
        setting = AgentSetting::ReAskSecondsInterval;
        return true;
    case AC_GET_PROBE_LAST:
        setting = AgentSetting::ProbeSecondsLast;
        return true;
    case AC_GET_REASK_LAST:
        setting = AgentSetting::ReAskSecondsLast;
        return true;
    default:
        return false;
    }
}

bool Setter(plat::WParam code, AgentSetting& setting) {
    switch (code) {
    case AC_SET_PROBE_INTERVAL:
        setting = AgentSetting::ProbeSecondsInterval;
        return true;
    case AC_SET_REASK_INTERVAL:
        setting = AgentSetting::ReAskSecondsInterval;
        return true;
    case AC_SET_PROBE_LAST:
        setting = AgentSetting::ProbeSecondsLast;
        return true;
    case AC_SET_REASK_LAST:
        setting = AgentSetting::ReAskSecondsLast;
        return true;
    default:
        return false;
    }
}

} // namespace

plat::MsgResult RunAgentCommand(AgentState& state, AgentSettings& settings, plat::WParam code,
                                plat::LParam value) {
    AgentSetting setting;
    if (Getter(code, setting))
        return static_cast<plat::MsgResult>(settings.Get(setting));
    if (Setter(code, setting)) {
        settings.Set(setting, value);
        return 0;
    }
    if (code >= AC_SET_OVERRIDE_FIRST && code <= AC_SET_OVERRIDE_LAST) {
        settings.SetOverride(static_cast<int>(code - AC_SET_OVERRIDE_FIRST + 1),
                             static_cast<unsigned char>(value & 0xFF));
        return 0;
    }
    switch (code) {
    case AC_GET_LAST_RESULT:
        return static_cast<plat::MsgResult>(state.nLastResult);
    case AC_SHUTDOWN:
        state.nShutdownRequest = value;
        break;
    case AC_PERFORM_UPDATE_CYCLE:
        state.bUpdateRequest = true;
        state.nCountdown = std::max<std::int64_t>(state.nCountdown, 1);
        if (value == 2)
            state.nExitMode = 2;
        break;
    case AC_COMMAND_32:
        state.bCommand32 = true;
        break;
    default:
        break;
    }
    return 0;
}

bool SetListener(AgentState& state, const ListenerPort& port, plat::WindowHandle hOwn,
                 plat::WParam hListener, plat::LParam nMessage) {
    if (hListener == 0 || nMessage < static_cast<plat::LParam>(plat::MSG_USER) ||
        nMessage > 0xFFFF || !port.isWindow || !port.isWindow(hListener))
        return false;
    state.hListener = hListener;
    state.nListenerMsg = static_cast<std::uint32_t>(nMessage);
    ReportToListener(state, port, REPORT_WINDOW, static_cast<plat::LParam>(hOwn));
    ReportToListener(state, port, REPORT_AGENT_MSG, wm_AgentMsg);
    return true;
}

bool ReportToListener(const AgentState& state, const ListenerPort& port, plat::WParam code,
                      plat::LParam value) {
    if (state.hListener == 0 || state.nListenerMsg == 0 || !port.post)
        return false;
    return port.post(state.hListener, state.nListenerMsg, code, value);
}

bool HandleStubMessage(AgentState& state, AgentSettings& settings, const ListenerPort& port,
                       plat::WindowHandle hOwn, std::uint32_t msg, plat::WParam wParam,
                       plat::LParam lParam, plat::MsgResult& result, bool& bDefault) {
    result = 0;
    bDefault = true;
    switch (msg) {
    case wm_ShutDown:
        state.nShutdownRequest = static_cast<std::int64_t>(wParam);
        return true;
    case wm_LocalMsg:
        SetListener(state, port, hOwn, wParam, lParam);
        return true;
    case wm_AgentMsg:
        result = RunAgentCommand(state, settings, wParam, lParam);
        bDefault = false;
        return true;
    default:
        return false;
    }
}
