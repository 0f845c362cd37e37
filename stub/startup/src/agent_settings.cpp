#include "startup/agent_settings.h"

#include "startup/settings.h"

namespace {

class FileAgentSettings : public AgentSettings {
public:
    std::int64_t Get(AgentSetting setting) override {
        switch (setting) {
        case AgentSetting::VersionOriginal:
            return VersionOriginal();
        case AgentSetting::VersionNew:
            return VersionNew();
        case AgentSetting::ProbeSecondsInterval:
            return ProbeSecondsInterval();
        case AgentSetting::ReAskSecondsInterval:
            return ReAskSecondsInterval();
        case AgentSetting::ProbeSecondsLast:
            return ProbeSecondsLast();
        case AgentSetting::ReAskSecondsLast:
            return ReAskSecondsLast();
        }
        return 0;
    }

    void Set(AgentSetting setting, std::int64_t value) override {
        switch (setting) {
        case AgentSetting::ProbeSecondsInterval:
            SetProbeSecondsInterval(value);
            break;
        case AgentSetting::ReAskSecondsInterval:
            SetReAskSecondsInterval(value);
            break;
        case AgentSetting::ProbeSecondsLast:
            SetProbeSecondsLast(value);
            break;
        case AgentSetting::ReAskSecondsLast:
            SetReAskSecondsLast(value);
            break;
        case AgentSetting::VersionOriginal:
        case AgentSetting::VersionNew:
            break; // no command writes them
        }
    }

    void SetOverride(int nOverride, unsigned char value) override {
        ::SetOverride(nOverride, value);
    }
};

} // namespace

AgentSettings& ProcessAgentSettings() {
    static FileAgentSettings settings;
    return settings;
}
