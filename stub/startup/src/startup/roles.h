// The four roles one Stub image plays, how a process recognises its own, and
// the names and command lines that follow from the role: window classes, the
// agent copy's and the run log's file names, the restart command lines.
#ifndef STUB_STARTUP_ROLES_H
#define STUB_STARTUP_ROLES_H

#include <cstdint>
#include <string>

#include "platform/types.h"

enum class StubRole {
    PackageRun,       // unpacks or downloads the package and starts its setup program
    SpannedFirstDisk, // copies itself to the extraction folder as "Y_..." and restarts there
    PlainAgent,       // makes or reuses the agent copy and forwards its switches to it
    AgentCopy,        // "X_...": runs the update agent in the start-up window's loop
};

// What decides the role: the container's agent byte and spanning option, the
// "/SpanCdLvl=" switch (1 when absent), the program's file name and the
// container's header item 2 (the agent's file name).
struct RoleInput {
    bool bAgent = false;
    bool bSelfCopy = false;
    std::int64_t nSpanCdLvl = 1;
    std::string sProgramName;
    std::string sAgentName;
};

StubRole DecideRole(const RoleInput& in);
const char* RoleName(StubRole role);

// Class of the start-up window, which is also the key of the single-instance
// rule: ".AutoUpdate." + the file name without its last extension for an
// agent, the program's full path otherwise.
std::string StartupClassName(bool bAgent, const std::string& sProgramPath);
// Class of the agent copy's window, from header item 2.
std::string AgentCopyClassName(const std::string& sAgentName);

// Folder of path with its trailing separator ("" when it has none).
std::string FolderOf(const std::string& sPath);
// File name of path.
std::string FileNameOf(const std::string& sPath);

// Program folder + "X_" + file name: the agent copy made by the plain agent.
std::string AgentCopyPath(const std::string& sProgramPath);
// Program folder + "X_" + file name with ".log" as extension; no second "X_"
// when the name already starts with it (exact case), so the plain agent and
// its copy write one file.
std::string RunLogPath(const std::string& sProgramPath);

// The arguments the agent copy is started with, from the plain agent's
// "/TRANSIENT=" and "/DELAY=" values (empty: not given).
std::string AgentCopyParams(const std::string& sTransient, const std::string& sDelay);

// The arguments of the "Y_" copy of a spanned first disk: the own
// arguments, the level, the first piece and the origin program, the paths in
// double quotes.
std::string SpanRestartParams(const std::string& sArgs, const std::string& sProgramPath);

// wParam and lParam of "/WM_MSG=a:b"; items that are not numbers give 0.
struct LocalMsgArgs {
    plat::WParam wParam = 0;
    plat::LParam lParam = 0;
};
LocalMsgArgs ParseLocalMsg(const std::string& sValue);

#endif
