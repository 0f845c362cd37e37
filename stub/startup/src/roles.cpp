#include "startup/roles.h"

#include "util/numbers.h"
#include "util/sub.h"
#include "util/text.h"

StubRole DecideRole(const RoleInput& in) {
    const std::string name = Trim(in.sProgramName);
    const std::string agent = Trim(in.sAgentName);
    if (in.bAgent && !agent.empty()) {
        if (SameText(name, agent))
            return StubRole::PlainAgent;
        if (SameText(name, "X_" + agent))
            return StubRole::AgentCopy;
    }
    if (in.bSelfCopy && in.nSpanCdLvl == 1)
        return StubRole::SpannedFirstDisk;
    return StubRole::PackageRun;
}

const char* RoleName(StubRole role) {
    switch (role) {
    case StubRole::SpannedFirstDisk:
        return "spanned first disk";
    case StubRole::PlainAgent:
        return "plain agent";
    case StubRole::AgentCopy:
        return "agent copy";
    case StubRole::PackageRun:
        break;
    }
    return "package run";
}

std::string FolderOf(const std::string& sPath) {
    const std::size_t slash = sPath.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : sPath.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& sPath) {
    const std::size_t slash = sPath.find_last_of("\\/");
    return slash == std::string::npos ? sPath : sPath.substr(slash + 1);
}

std::string StartupClassName(bool bAgent, const std::string& sProgramPath) {
    return bAgent ? ".AutoUpdate." + BaseName(sProgramPath, false) : sProgramPath;
}

std::string AgentCopyClassName(const std::string& sAgentName) {
    return ".AutoUpdate.X_" + BaseName(sAgentName, false);
}

std::string AgentCopyPath(const std::string& sProgramPath) {
    return FolderOf(sProgramPath) + "X_" + FileNameOf(sProgramPath);
}

std::string RunLogPath(const std::string& sProgramPath) {
    const std::string name = FileNameOf(sProgramPath);
    const std::string prefix = StartsWith("X_", name, false) ? "" : "X_";
    return FolderOf(sProgramPath) + prefix + BaseName(name, false) + ".log";
}

std::string AgentCopyParams(const std::string& sTransient, const std::string& sDelay) {
    std::string params;
    if (!sTransient.empty())
        params += " /TRANSIENTx=" + sTransient;
    if (!sDelay.empty())
        params += " /SleepX=" + sDelay;
    return params;
}

std::string SpanRestartParams(const std::string& sArgs, const std::string& sProgramPath) {
    return Trim(sArgs + " /SpanCdLvl=2 /SpanDiskFName1=\"" + sProgramPath + ".001\" /OriginExe=\"" +
                sProgramPath + "\"");
}

LocalMsgArgs ParseLocalMsg(const std::string& sValue) {
    const std::string list = ":" + sValue + ":";
    LocalMsgArgs out;
    out.wParam = static_cast<plat::WParam>(ParseInt64(SUB::Field(list, 0), 0));
    out.lParam = static_cast<plat::LParam>(ParseInt64(SUB::Field(list, 1), 0));
    return out;
}
