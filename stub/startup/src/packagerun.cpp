#include "startup/packagerun.h"

#include "PlatformRun.h"
#include "platform/fileio.h"
#include "platform/files.h"
#include "platform/identity.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "startup/folders.h"
#include "startup/mainwindow.h"
#include "startup/settings.h"
#include "startup/switches.h"
#include "util/debug.h"

namespace {

// The package run's services: the start-up window, the work folders and the
// settings of this process.
class ProgramRunServices : public container::PlatformRunServices {
public:
    using PlatformRunServices::PlatformRunServices;

    void Progress(int nMode, int nMax, int nPos, int nStep) override {
        ProgressCallback(nMode, 0, nMax, nPos, nStep, "");
    }
    void SetStatusText(const std::string& sText) override {
        ::SetStatusText(sText, m_Self.FontName(), m_Self.Charset(), m_Self.FontSize());
    }
    void ShowWindow() override { plat::show_window(MainWindow().hWnd, plat::SHOW_SHOW); }
    void HideWindow() override { plat::show_window(MainWindow().hWnd, plat::SHOW_HIDE); }
    std::string AlternativeFolder(double) override {
        m_sAlternative = AlternativeTempDrive() ? ::AlternativeFolder() : "";
        return m_sAlternative;
    }
    // Only folders this process made are removed, by their owner.
    void RemoveFolder(const std::string& sFolder) override {
        if (!m_sAlternative.empty() && sFolder == m_sAlternative)
            RemoveAlternativeFolder();
        else if (sFolder == ExtractionFolder())
            RemoveExtractionFolder();
    }
    void NoteShortcuts() override {
        m_sStartUpLink = StartUpLink();
        m_sUpdateLink = CheckforNewUpdateLink();
    }
    void RemoveShortcuts() override {
        if (RemoveStartUpShortcut() && !m_sStartUpLink.empty() &&
            plat::file_size(m_sStartUpLink) >= 0)
            plat::delete_file(m_sStartUpLink);
        if (RemoveCheckForNewUpdateShortcut() && !m_sUpdateLink.empty() &&
            plat::file_size(m_sUpdateLink) >= 0)
            plat::delete_file(m_sUpdateLink);
    }
    std::string ThreadTag() override { return "_" + std::to_string(plat::current_thread_id()); }

private:
    std::string m_sAlternative;
    std::string m_sStartUpLink;
    std::string m_sUpdateLink;
};

int g_nExitCode = 0;

} // namespace

void InstallPackageRun(const container::TGFileInfo& info) {
    MainWindowCallbacks().onTimer = [&info] {
        plat::kill_timer(MainWindow().hWnd, kTimerId);
        // Save errors are shown once per process.
        static unsigned saveErrors = 0;
        container::RunFacts facts;
        facts.sProgramPath = plat::program_path();
        facts.sArguments = CommandArgs();
        facts.bHide = HasSwitch("/hide");
        facts.sFirstDisk = SwitchValue("/SpanDiskFName1=");
        facts.sFolder = ExtractionFolder();
        facts.pSaveErrors = &saveErrors;
        ProgramRunServices services(info, MainWindow().hWnd);
        g_nExitCode = container::StartSetup(info, facts, services).nExitCode;
        DebugLine("ExitCode=" + std::to_string(g_nExitCode));
        plat::post_quit_message(g_nExitCode);
    };
}

bool RunUpdatePackage(const container::TGFileInfo& info, const std::string& sPackage,
                      const std::string& sAgentName, bool bForeground,
                      const std::string& sArguments) {
    static unsigned saveErrors = 0;
    container::RunFacts facts;
    facts.sProgramPath = plat::program_path();
    facts.sArguments = sArguments;
    facts.sFolder = ExtractionFolder();
    facts.pSaveErrors = &saveErrors;
    ProgramRunServices services(info, MainWindow().hWnd);
    const container::RunOutcome outcome =
        container::RunPackage(facts.sFolder, sPackage, sAgentName, bForeground, facts, services);
    RemoveExtractionFolder();
    DebugLine("UpdateExitCode=" + std::to_string(outcome.nExitCode));
    return outcome.bAtomGone;
}

int PackageRunExitCode() {
    return g_nExitCode;
}
