// The agent settings that messages from other processes read and write: the
// ".original" settings file, the update information file and the eight
// confirmation overrides.
#ifndef STUB_STARTUP_AGENT_SETTINGS_H
#define STUB_STARTUP_AGENT_SETTINGS_H

#include <array>
#include <string>

#include "startup/agent.h"

class IniAgentSettings : public AgentSettings {
public:
    // sOriginalFile: the ".original" settings file; sInfoFile: the update
    // information file (VersionNew).
    void SetFiles(const std::string& sOriginalFile, const std::string& sInfoFile);

    std::int64_t Get(AgentSetting setting) override;
    void Set(AgentSetting setting, std::int64_t value) override;
    void SetOverride(int nOverride, unsigned char value) override;

    const std::array<unsigned char, 8>& Overrides() const { return m_overrides; }
    // "/TRANSIENTx=": a |-list of eight numbers; an item that is not a number
    // keeps its override.
    void SetOverrides(const std::string& sList);

private:
    std::string m_sOriginal;
    std::string m_sInfo;
    std::array<unsigned char, 8> m_overrides{{255, 255, 255, 255, 255, 255, 255, 255}};
};

// The process's settings, bound by the program at start.
IniAgentSettings& ProcessAgentSettings();

#endif
