#include "startup/agent_settings.h"

#include "util/numbers.h"
#include "util/services.h"
#include "util/sub.h"

namespace {

const char kOriginalSection[] = "OriginalSetup";

const char* KeyOf(AgentSetting setting) {
    switch (setting) {
    case AgentSetting::VersionOriginal:
        return "VersionOriginal";
    case AgentSetting::VersionNew:
        return "VersionNew";
    case AgentSetting::ProbeSecondsInterval:
        return "ProbeSecondsInterval";
    case AgentSetting::ReAskSecondsInterval:
        return "ReAskSecondsInterval";
    case AgentSetting::ProbeSecondsLast:
        return "ProbeSecondsLast";
    case AgentSetting::ReAskSecondsLast:
        return "ReAskSecondsLast";
    }
    return "";
}

bool IsInstant(AgentSetting setting) {
    return setting == AgentSetting::ProbeSecondsLast || setting == AgentSetting::ReAskSecondsLast;
}

} // namespace

void IniAgentSettings::SetFiles(const std::string& sOriginalFile, const std::string& sInfoFile) {
    m_sOriginal = sOriginalFile;
    m_sInfo = sInfoFile;
}

std::int64_t IniAgentSettings::Get(AgentSetting setting) {
    if (setting == AgentSetting::VersionNew)
        return m_sInfo.empty() ? 0 : ReadIniInt64(m_sInfo, "NewSetup", KeyOf(setting), 0);
    return m_sOriginal.empty() ? 0 : ReadIniInt64(m_sOriginal, kOriginalSection, KeyOf(setting), 0);
}

void IniAgentSettings::Set(AgentSetting setting, std::int64_t value) {
    if (m_sOriginal.empty() || setting == AgentSetting::VersionNew)
        return;
    WriteIniInt64(m_sOriginal, kOriginalSection, KeyOf(setting), value);
    // The instants get a copy a person can read beside them.
    if (IsInstant(setting))
        WriteIniString(m_sOriginal, kOriginalSection, std::string("__") + KeyOf(setting),
                       DayTimeStamp(" ", static_cast<double>(value) / 86400.0));
}

void IniAgentSettings::SetOverride(int nOverride, unsigned char value) {
    if (nOverride >= 1 && nOverride <= 8)
        m_overrides[static_cast<std::size_t>(nOverride - 1)] = value;
}

void IniAgentSettings::SetOverrides(const std::string& sList) {
    const std::string list = (!sList.empty() && sList.front() == '|') ? sList : "|" + sList + "|";
    for (int i = 0; i < 8; ++i) {
        const std::int64_t v = ParseInt64(SUB::Field(list, i), -1);
        if (v >= 0 && v <= 255)
            m_overrides[static_cast<std::size_t>(i)] = static_cast<unsigned char>(v);
    }
}

IniAgentSettings& ProcessAgentSettings() {
    static IniAgentSettings settings;
    return settings;
}
