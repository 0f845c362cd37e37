// The package run: on the start-up window's first tick, unpack the package
// the program carries (or fetch the real one first), ask what must be asked,
// start the main program, wait for it and pass its exit code on.
#ifndef STUB_CONTAINER_PACKAGERUN_H
#define STUB_CONTAINER_PACKAGERUN_H

#include "ExtractPackage.h"

#include <cstdint>
#include <string>

namespace container {

class TGFileInfo;

// What the run needs from the program around it beyond the extraction's
// services; the program binds it to its window, boxes, processes and
// downloads, tests to fakes.
class RunServices : public ExtractServices {
public:
    // The selected language's text of a key.
    virtual std::string Text(const std::string& sKey, const std::string& sDefault) = 0;
    // The marked-up boxes: Yes/No with caption "Confirm", and "Error".
    virtual bool ConfirmYesNo(const std::string& sText) = 0;
    virtual void ErrorBox(const std::string& sText) = 0;
    virtual void SetStatusText(const std::string& sText) = 0;
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    virtual void ShowActivityBar() = 0;
    virtual double FreeSpace(const std::string& sFolder) = 0;
    // The alternative extraction folder on a drive with room for nNeeded
    // bytes, created; empty when there is none.
    virtual std::string AlternativeFolder(double nNeeded) = 0;
    virtual void RemoveFolder(const std::string& sFolder) = 0;
    // The registry's "ForcePrompt" = "1".
    virtual bool ForcePrompt() = 0;

    // The main program.
    virtual std::string ThreadTag() = 0;
    virtual void AddAtom(const std::string& sName) = 0;
    virtual bool FindAtom(const std::string& sName) = 0;
    virtual void DeleteAtom(const std::string& sName) = 0;
    // Reads the shortcut settings before the start, removes the shortcuts
    // the settings ask to remove after it.
    virtual void NoteShortcuts() = 0;
    virtual void RemoveShortcuts() = 0;
    virtual bool StartProgram(const std::string& sCommand, bool bShow) = 0;
    // False while the started program runs; then its exit code.
    virtual bool ProgramEnded(int& nExitCode) = 0;
    virtual bool WindowExists(const std::string& sClass) = 0;

    // Downloads.
    virtual std::string TempFolder() = 0;
    virtual bool InternetConnected(std::string& sDetail) = 0;
    // Fetches url into sTarget; on failure sError is the text to show
    // (an HTML error page's explanation included).
    virtual bool Download(const std::string& sUrl, const std::string& sTarget,
                          std::string& sError) = 0;
    // The explanation when sFile is an HTML error page, else empty.
    virtual std::string ErrorPageText(const std::string& sFile, const std::string& sUrl) = 0;
};

struct RunFacts {
    std::string sProgramPath;        // the running program
    std::string sArguments;          // its arguments (CommandArgs)
    bool bHide = false;              // "/hide" was given
    std::string sFirstDisk;          // the value of "/SpanDiskFName1=", or empty
    std::string sFolder;             // the extraction folder
    unsigned* pSaveErrors = nullptr; // the process-wide save-error count
};

struct RunOutcome {
    int nExitCode = 0;      // the main program's, or one of PackageExitCode
    bool bStarted = false;  // the main program was started
    bool bAtomGone = false; // the main program removed the shared atom
};

// The first timer tick of a package run. Removes the extraction folder at
// the end.
RunOutcome StartSetup(const TGFileInfo& self, const RunFacts& facts, RunServices& services);

// Unpacks a package and runs its main program (also used for packages the
// auto-update agent fetched).
RunOutcome RunPackage(const std::string& sFolder, const std::string& sPackage,
                      const std::string& sAgentName, bool bForeground, const RunFacts& facts,
                      RunServices& services);

// Fetches the real package from sSource (a base URL or a folder), checks
// its download token against self's and runs it.
RunOutcome DownloadAndRunPackage(const TGFileInfo& self, const std::string& sFolder,
                                 const std::string& sSource, const std::string& sName,
                                 const RunFacts& facts, RunServices& services);

// "AutoUpdateAtomTokenByHarbix" and ".SDialog_Class_Name." with the tag.
std::string SharedAtomName(const std::string& sThreadTag);
std::string DialogClassName(const std::string& sThreadTag);

} // namespace container

#endif
