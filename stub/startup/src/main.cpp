// The Stub program: reads its own package, takes its role and runs it.
#include <filesystem>
#include <iostream>
#include <system_error>

#include "TGFileInfo.h"
#include "platform/files.h"
#include "platform/ipc.h"
#include "platform/messages.h"
#include "platform/system.h"
#include "startup/agent_settings.h"
#include "startup/agent_tick.h"
#include "startup/folders.h"
#include "startup/mainwindow.h"
#include "startup/packagerun.h"
#include "startup/program.h"
#include "startup/runlog.h"
#include "startup/settings.h"
#include "startup/switches.h"
#include "util/debug.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/processes.h"
#include "util/services.h"
#include "util/text.h"

namespace {

// The program's services over the platform layer.
class SystemServices : public StartupServices {
public:
    explicit SystemServices(const container::TGFileInfo& info) : m_info(info) {}

    bool CopyProgram(const std::string& sFrom, const std::string& sTo) override {
        return CopyProgramFile(sFrom, sTo);
    }
    bool StartHidden(const std::string& sProgram, const std::string& sParams) override {
        return StartProgram(Trim(QuoteProgram(sProgram) + " " + sParams), plat::SHOW_HIDE);
    }
    bool IsProcessRunning(const std::string& sPath) override { return ::IsProcessRunning(sPath); }
    bool FileExists(const std::string& sPath) override {
        std::error_code ec;
        return std::filesystem::exists(sPath, ec);
    }
    plat::WindowHandle FindWindow(const std::string& sClass) override {
        return plat::find_window(sClass);
    }
    bool Post(plat::WindowHandle w, std::uint32_t msg, plat::WParam wp, plat::LParam lp) override {
        return plat::post_message(w, msg, wp, lp);
    }
    void Wait(std::uint32_t ms) override { YieldWait(0, ms); }
    std::uint64_t Clock() override { return MilliClock(); }
    std::string ExtractionFolder() override { return ::ExtractionFolder(); }
    void DeleteMySelf(bool bRemoveFolder) override { ::DeleteMySelf(bRemoveFolder); }
    void CheckTestMode() override {}
    bool RunWindow(const std::string& sClass) override {
        if (m_info.IsAgent()) {
            BindUpdateAgent(m_info);
        } else {
            InstallPackageRun(m_info);
        }
        return RunMainWindow(sClass, m_info.LanguageString("s0", "Harbix Installation Suite"),
                             m_info.Charset(), m_info.FontName(), m_info.FontSize());
    }
    int PackageExitCode() override { return PackageRunExitCode(); }
    void SetOverrides(const std::string& sList) override { SetOverridesFromText(sList); }

private:
    const container::TGFileInfo& m_info;
};

// The debug channel is a static object that dies before the run time's last
// flush of std::cout, so the stream gets its own buffer back before the end.
class DebugChannelScope {
public:
    DebugChannelScope() : m_pOld(std::cout.rdbuf()) { InstallDebugChannel(); }
    ~DebugChannelScope() {
        std::cout.flush();
        std::cout.rdbuf(m_pOld);
    }
    DebugChannelScope(const DebugChannelScope&) = delete;
    DebugChannelScope& operator=(const DebugChannelScope&) = delete;

private:
    std::streambuf* m_pOld;
};

int StubMain() {
    const DebugChannelScope channel;
    plat::preload_system_libraries();
    const std::string raw = plat::command_line();
    PrintLine(" ==== STUB START ====> " + raw + "<");

    const std::string path = plat::program_path();
    const container::TGFileInfo info(path);
    StartupFacts facts;
    facts.sProgramPath = path;
    facts.sArgs = CommandArgs();
    facts.bContainer = info.MagicOk();
    facts.bAgent = info.IsAgent();
    facts.bSelfCopy = info.SelfCopy();
    facts.sAgentName = info.HeaderItem(2);

    SystemServices services(info);
    StubStartup startup(facts, services);
    TheRunLog().Configure(info.RunLog(), RunLogPath(path),
                          startup.Role() == StubRole::AgentCopy ? " X " : "   ");
    SetSettingsSource(info.HeaderItem(1));
    MainWindowCallbacks().onDestroy = [] { RemoveExtractionFolder(); };
    Log("");
    Log("");
    Log("=== START === " + path);
    Log("CommandLine=" + raw);
    Log("Agent Version=" + GetExeVersion());
    PrintLine(" ==== ThisIs_AutoUpdateProg=" + BoolText(facts.bAgent));

    const int code = startup.Run();

    PrintLine(" ==== STUB END ====> " + raw + "<");
    DebugLine("");
    Log("=== EXIT === " + path);
    Log("");
    return code;
}

} // namespace

#ifndef _WIN32
// ELF files have no version resource: the version is this text, found in the
// file by scanning (the Windows image carries the resource instead).
extern const char kStubVersionInfo[];
const char kStubVersionInfo[] =
    "StubVersionInfo|FileVersion=" STUB_VERSION_TEXT "|ProductVersion=" STUB_VERSION_TEXT "|";
#endif

// The GUI image enters here too: the run time calls main() when it is
// defined.
int main() {
#ifndef _WIN32
    // Used, so that the linker keeps the text.
    volatile char first = kStubVersionInfo[0];
    (void)first;
#endif
    return StubMain();
}
