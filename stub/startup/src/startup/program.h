// The program's start: the role, the single-instance rule, the plain agent's
// copy and forwarding, the spanned first disk's restart, the run log and the
// diagnostic lines.
#ifndef STUB_STARTUP_PROGRAM_H
#define STUB_STARTUP_PROGRAM_H

#include <cstdint>
#include <string>

#include "platform/types.h"
#include "startup/roles.h"

// What the start needs from the system; the program binds it to the
// platform, tests to fakes.
class StartupServices {
public:
    virtual ~StartupServices() = default;
    virtual bool CopyProgram(const std::string& sFrom, const std::string& sTo) = 0;
    // Starts a program without a window; the program path is one item
    // whatever blanks it holds.
    virtual bool StartHidden(const std::string& sProgram, const std::string& sParams) = 0;
    virtual bool IsProcessRunning(const std::string& sPath) = 0;
    virtual bool FileExists(const std::string& sPath) = 0;
    virtual plat::WindowHandle FindWindow(const std::string& sClass) = 0;
    virtual bool Post(plat::WindowHandle w, std::uint32_t msg, plat::WParam wp,
                      plat::LParam lp) = 0;
    // Waits while serving messages.
    virtual void Wait(std::uint32_t ms) = 0;
    virtual std::uint64_t Clock() = 0;
    virtual std::string ExtractionFolder() = 0;
    virtual void DeleteMySelf(bool bRemoveFolder) = 0;
    // The agent's test-mode check, before its window runs.
    virtual void CheckTestMode() = 0;
    // Runs the start-up window of the class until it ends; false when it
    // could not be created.
    virtual bool RunWindow(const std::string& sClass) = 0;
    // The package run's exit code once its window has ended.
    virtual int PackageExitCode() = 0;
    // "/TRANSIENTx=": the eight confirmation overrides.
    virtual void SetOverrides(const std::string& sList) = 0;
};

// The facts of the running program.
struct StartupFacts {
    std::string sProgramPath;
    std::string sArgs;       // the argument text (CommandArgs)
    bool bContainer = false; // a package container with the right magic
    bool bAgent = false;
    bool bSelfCopy = false;
    std::string sAgentName; // header item 2
};

// Bounds of the waits for another process.
constexpr std::uint32_t kPollMs = 200;
constexpr std::uint32_t kCopyWindowWaitMs = 5000;
constexpr std::uint32_t kCopyEndWaitMs = 5000;

class StubStartup {
public:
    StubStartup(const StartupFacts& facts, StartupServices& services);

    StubRole Role() const { return m_role; }
    const std::string& ClassName() const { return m_sClass; }

    // DoRunStubWin; the process's exit code.
    int Run();

private:
    int CreateAndRunAgentCopy(bool bCopyRunning);
    int HandleParams(bool bCopyRunning);
    int SpanRestart();
    bool WaitFor(std::uint32_t ms, bool (StubStartup::*done)());
    bool CopyWindowUp();
    bool CopyGone();
    bool CopyFileGone();
    bool Forward(std::uint32_t msg, plat::WParam wp, plat::LParam lp, const std::string& what);

    StartupFacts m_facts;
    StartupServices& m_sys;
    StubRole m_role;
    std::string m_sClass;
    std::string m_sCopyClass;
    std::string m_sCopyPath;
};

#endif
