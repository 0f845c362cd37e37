// The package run bound to the system: boxes, processes, atoms, downloads
// and the language of the running package. The start-up window and the
// settings are the program's: it overrides the hooks below that concern
// them; by default they do nothing.
#ifndef STUB_CONTAINER_PLATFORMRUN_H
#define STUB_CONTAINER_PLATFORMRUN_H

#include "PackageRun.h"
#include "TGFileInfo.h"
#include "platform/process.h"
#include "platform/types.h"

#include <memory>

class TProgBar;

namespace container {

class PlatformRunServices : public RunServices {
public:
    // self is the running program's container; window the start-up window
    // (0 for none), the owner of the download's progress.
    PlatformRunServices(const TGFileInfo& self, plat::WindowHandle window);
    ~PlatformRunServices() override;

    // The start-up window and the settings (the program's hooks).
    void Progress(int, int, int, int) override {}
    void SetStatusText(const std::string&) override {}
    void ShowWindow() override {}
    void HideWindow() override {}
    void ShowActivityBar() override {}
    std::string AlternativeFolder(double) override { return ""; }
    // "_" and the UI thread's id: the program knows its thread.
    std::string ThreadTag() override = 0;
    void NoteShortcuts() override {}
    void RemoveShortcuts() override {}

    // Bound here.
    void Pump() override;
    void Wait(std::uint32_t ms) override;
    bool ConfirmDisk(const std::string& sText) override;
    void ShowError(const std::string& sText) override;
    void PrepareNextDisk(const std::string& sPath, bool bEject) override;
    void Print(const std::string& sLine) override;
    std::uint64_t Clock() override;
    std::string Text(const std::string& sKey, const std::string& sDefault) override;
    bool ConfirmYesNo(const std::string& sText) override;
    void ErrorBox(const std::string& sText) override;
    double FreeSpace(const std::string& sFolder) override;
    void RemoveFolder(const std::string& sFolder) override;
    bool ForcePrompt() override;
    void AddAtom(const std::string& sName) override;
    bool FindAtom(const std::string& sName) override;
    void DeleteAtom(const std::string& sName) override;
    bool StartProgram(const std::string& sCommand, bool bShow) override;
    bool ProgramEnded(int& nExitCode) override;
    bool WindowExists(const std::string& sClass) override;
    std::string TempFolder() override;
    bool InternetConnected(std::string& sDetail) override;
    bool Download(const std::string& sUrl, const std::string& sTarget,
                  std::string& sError) override;
    std::string ErrorPageText(const std::string& sFile, const std::string& sUrl) override;

protected:
    const TGFileInfo& m_Self;
    plat::WindowHandle m_Window;

private:
    plat::ProcessHandle m_Process;
    bool m_bStarted = false;
    std::uint16_t m_nAtom = 0;
    std::unique_ptr<TProgBar> m_pProgress;
};

} // namespace container

#endif
