#include "PlatformRun.h"

#include "FileOutput.h"
#include "HttpDownload.h"
#include "LanguageTable.h"
#include "Progress.h"
#include "dialogs/MsgBox.h"
#include "platform/clock.h"
#include "platform/ipc.h"
#include "platform/messages.h"
#include "platform/system.h"
#include "util/debug.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/processes.h"
#include "util/services.h"

namespace container {

PlatformRunServices::PlatformRunServices(const TGFileInfo& self, plat::WindowHandle window)
    : m_Self(self), m_Window(window) {}

PlatformRunServices::~PlatformRunServices() {
    if (m_bStarted)
        plat::close_process(m_Process);
}

void PlatformRunServices::Pump() {
    plat::pump_messages();
}

void PlatformRunServices::Wait(std::uint32_t ms) {
    YieldWait(0, ms);
}

bool PlatformRunServices::ConfirmDisk(const std::string& sText) {
    return ConfirmOkCancel(0, sText, Text("Attention", ""), Text("BtnText", ""), m_Self.Charset());
}

void PlatformRunServices::ShowError(const std::string& sText) {
    ::ErrorBox(0, sText);
}

void PlatformRunServices::PrepareNextDisk(const std::string& sPath, bool bEject) {
    SetAutoPlayCancel(true);
    if (bEject)
        EjectCD(sPath); // only a CD drive's medium
}

void PlatformRunServices::Print(const std::string& sLine) {
    DebugLine(sLine);
}

std::uint64_t PlatformRunServices::Clock() {
    return MilliClock();
}

std::string PlatformRunServices::Text(const std::string& sKey, const std::string& sDefault) {
    return sDefault.empty() ? language::LanguageString(m_Self.LanguageBlock(), sKey)
                            : m_Self.LanguageString(sKey, sDefault);
}

bool PlatformRunServices::ConfirmYesNo(const std::string& sText) {
    return ::ConfirmYesNo(0, sText, Text("Confirm", ""), Text("BtnText", ""), m_Self.Charset());
}

void PlatformRunServices::ErrorBox(const std::string& sText) {
    ::ErrorBox(0, sText, Text("Error", ""), Text("BtnText", ""), m_Self.Charset());
}

double PlatformRunServices::FreeSpace(const std::string& sFolder) {
    return FreeDiskSpace(sFolder);
}

void PlatformRunServices::RemoveFolder(const std::string& sFolder) {
    RemoveTree(sFolder, true);
}

bool PlatformRunServices::ForcePrompt() {
    return ReadRegistryValue("HKEY_CURRENT_USER\\Software\\Vendrel\\Harbix\\SpanDisk",
                             "ForcePrompt", "0") == "1";
}

void PlatformRunServices::AddAtom(const std::string& sName) {
    m_nAtom = plat::global_add_atom(sName);
}

bool PlatformRunServices::FindAtom(const std::string& sName) {
    return plat::global_find_atom(sName) != 0;
}

void PlatformRunServices::DeleteAtom(const std::string& sName) {
    std::uint16_t atom = plat::global_find_atom(sName);
    if (atom != 0)
        plat::global_delete_atom(atom);
    m_nAtom = 0;
}

bool PlatformRunServices::StartProgram(const std::string& sCommand, bool bShow) {
    if (m_bStarted)
        plat::close_process(m_Process);
    m_bStarted = ::StartProgram(sCommand, bShow ? plat::SHOW_SHOW : plat::SHOW_HIDE, m_Process);
    if (!m_bStarted)
        Print(std::to_string(plat::process_id()) + " cannot start: " + SystemErrorText());
    return m_bStarted;
}

bool PlatformRunServices::ProgramEnded(int& nExitCode) {
    // The end is read from the process, not from its exit code: a program
    // may well end with 259, the code that means "still active".
    return m_bStarted && plat::process_exit_code(m_Process, nExitCode);
}

bool PlatformRunServices::WindowExists(const std::string& sClass) {
    return plat::find_window(sClass) != 0;
}

std::string PlatformRunServices::TempFolder() {
    return ::TempFolder(false);
}

bool PlatformRunServices::InternetConnected(std::string& sDetail) {
    return ::InternetConnected(sDetail);
}

bool PlatformRunServices::Download(const std::string& sUrl, const std::string& sTarget,
                                   std::string& sError) {
    SetDownloadAbort(false);
    if (!m_pProgress)
        m_pProgress.reset(
            new TProgBar([this](int kind, std::uintptr_t, std::int64_t maximum,
                                std::int64_t position, std::int64_t step, const std::string&) {
                Progress(kind, static_cast<int>(maximum), static_cast<int>(position),
                         static_cast<int>(step));
            }));
    std::string content;
    if (HTTP_DownloadFile_Incremental(m_Window, sUrl, sTarget, sError, m_pProgress.get(), content))
        return true;
    sError = Http404Text("", content, sUrl, sError);
    return false;
}

std::string PlatformRunServices::ErrorPageText(const std::string& sFile, const std::string& sUrl) {
    return Http404Text(sFile, "", sUrl, "");
}

} // namespace container
