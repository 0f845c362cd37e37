#include "PackageRun.h"

#include "FileOutput.h"
#include "TGFileInfo.h"
#include "platform/fileio.h"
#include "platform/system.h"
#include "util/text.h"

#include <cstdio>

namespace container {

namespace {

std::string Pid() {
    return std::to_string(plat::process_id());
}

std::string FolderOf(const std::string& sPath) {
    std::size_t cut = sPath.find_last_of(plat::kPathSeparators);
    return cut == std::string::npos ? "." : sPath.substr(0, cut);
}

const char* const kBadCrc = "Bad CRC!<P>This indicates that your setup file might be corrupted...";

// Starts the main program, waits for it and for its dialog window.
void Launch(const std::string& sFolder, const std::string& sEntry, bool bForeground,
            const RunFacts& facts, RunServices& sv, RunOutcome& outcome) {
    MainCommand command;
    command.sFolder = sFolder;
    command.sEntry = sEntry;
    command.sArguments = facts.sArguments;
    command.sThreadTag = sv.ThreadTag();
    command.sProgramPath = facts.sProgramPath;
    command.bAgent = TGFileInfo(facts.sProgramPath).IsAgent();
    std::string line = MainCommandLine(command);
    sv.NoteShortcuts();
    sv.Print(Pid() + " ==== WinExec(Engine.exe) >>" + line + "<<");
    std::string atom = SharedAtomName(command.sThreadTag);
    sv.AddAtom(atom);
    outcome.bStarted = sv.StartProgram(line, bForeground);
    sv.HideWindow();
    sv.Wait(1000);
    if (outcome.bStarted) {
        int code = 0;
        do
            sv.Wait(500);
        while (!sv.ProgramEnded(code));
        outcome.nExitCode = code;
    } else {
        sv.Print(Pid() + " main program not started");
        outcome.nExitCode = PKG_EXIT_START_FAILED;
    }
    // The main program may leave a dialog of its own behind it.
    while (sv.WindowExists(DialogClassName(command.sThreadTag)))
        sv.Wait(100);
    sv.Wait(1000);
    outcome.bAtomGone = !sv.FindAtom(atom);
    sv.DeleteAtom(atom);
    if (outcome.bAtomGone)
        sv.RemoveShortcuts();
}

} // namespace

std::string SharedAtomName(const std::string& sThreadTag) {
    return "AutoUpdateAtomTokenByHarbix" + sThreadTag;
}

std::string DialogClassName(const std::string& sThreadTag) {
    return ".SDialog_Class_Name." + sThreadTag;
}

RunOutcome RunPackage(const std::string& sFolder, const std::string& sPackage,
                      const std::string& sAgentName, bool bForeground, const RunFacts& facts,
                      RunServices& sv) {
    RunOutcome outcome;
    TGFileInfo package(sPackage);
    if (package.ActivityBar())
        sv.ShowActivityBar();
    sv.SetStatusText(sv.Text("s1", "Extracting Files..."));

    std::string folder = sFolder;
    std::string alternative;
    double needed = package.RequiredSpace(folder);
    if (needed >= sv.FreeSpace(folder) || !PathExists(folder)) {
        alternative = sv.AlternativeFolder(needed);
        if (!alternative.empty())
            folder = alternative;
    }
    sv.Print(std::string("========= ForegroundOp=") + BoolText(bForeground) + " ==========");

    bool goOn = true;
    if (bForeground) {
        std::string question =
            SpaceQuestionText(folder, needed, sv.FreeSpace(folder), package.AlwaysShowSpaceNotice(),
                              [&](const std::string& key) { return sv.Text(key, ""); });
        goOn = question.empty() || sv.ConfirmYesNo(question);
    }
    if (!goOn) {
        outcome.nExitCode = PKG_EXIT_SPACE_DECLINED;
    } else {
        ExtractRequest request;
        request.sPackage = sPackage;
        request.sFolder = folder;
        request.sAgentName = sAgentName;
        request.bForcePrompt = sv.ForcePrompt();
        request.sPromptText =
            sv.Text("s8", "Please insert <B>DISK #<DISK_NUM></B> and press OK to continue");
        request.pSaveErrors = facts.pSaveErrors;
        if (bForeground)
            sv.ShowWindow();
        sv.Wait(1000);
        ExtractResult result = ExtractPackage(request, sv);
        sv.Wait(1000);
        if (result.status == ExtractStatus::OK) {
            Launch(folder, result.sEntry, bForeground, facts, sv, outcome);
        } else {
            outcome.nExitCode = ExitCodeOf(result.status);
            sv.Print(Pid() + " nothing started: " + result.sError);
            switch (result.status) {
            case ExtractStatus::PACKAGE_MISSING:
            case ExtractStatus::BAD_CHECKSUM:
                sv.ErrorBox(sv.Text("s7", kBadCrc));
                break;
            case ExtractStatus::DAMAGED_BLOCK:
            case ExtractStatus::UNSAFE_NAME:
                sv.ErrorBox(sv.Text("s7", kBadCrc) + "<P><P>" + result.sError);
                break;
            default: // shown already, or nothing to say
                break;
            }
        }
    }
    if (!alternative.empty())
        sv.RemoveFolder(alternative);
    return outcome;
}

RunOutcome DownloadAndRunPackage(const TGFileInfo& self, const std::string& sFolder,
                                 const std::string& sSource, const std::string& sName,
                                 const RunFacts& facts, RunServices& sv) {
    RunOutcome outcome;
    bool quiet = facts.bHide || self.Quiet();
    std::string setup = WithBackslash(sSource, true) + sName;
    std::string url = sSource + "/" + sName;
    std::string error;
    bool downloaded = false;
    if (!IsPlainFileName(sName)) {
        error = "\"" + sName + "\" is not a plain file name";
        outcome.nExitCode = PKG_EXIT_UNSAFE_NAME;
    } else if (!PathExists(setup)) {
        sv.SetStatusText(sv.Text("s10", "Downloading File..."));
        if (self.AskDownload() && !quiet &&
            !sv.ConfirmYesNo(DownloadQuestionText(sv.Text("s11", ""), self.DownloadSize()))) {
            error = "!";
            outcome.nExitCode = PKG_EXIT_DOWNLOAD_DECLINED;
        }
        std::string detail;
        if (error.empty() && !sv.InternetConnected(detail)) {
            error = sv.Text("s12", "No valid Internet Connection.<p>Can not Download File!");
            if (!detail.empty())
                error += "<P><P>" + detail;
            outcome.nExitCode = PKG_EXIT_NO_CONNECTION;
        }
        setup = WithBackslash(sv.TempFolder(), true) + sName;
        if (error.empty()) {
            downloaded = sv.Download(url, setup, error);
            if (!downloaded) {
                if (error.empty())
                    error = "Download failed: " + url;
                outcome.nExitCode = PKG_EXIT_DOWNLOAD_FAILED;
            }
        }
        sv.Wait(300);
        sv.Progress(0, 10, 0, 1);
        sv.Wait(700);
    }
    if (error.empty() && !TGFileInfo(setup).SameDownloadToken(self)) {
        std::string page = sv.ErrorPageText(setup, url);
        error = page.empty() ? "Bad Secret Token!" : page;
        outcome.nExitCode = page.empty() ? PKG_EXIT_BAD_TOKEN : PKG_EXIT_DOWNLOAD_FAILED;
    }
    if (error.empty())
        outcome = RunPackage(sFolder, setup, "", !quiet, facts, sv);
    if (downloaded)
        plat::delete_file(setup);
    if (!error.empty() && error != "!")
        sv.ErrorBox(error);
    return outcome;
}

RunOutcome StartSetup(const TGFileInfo& self, const RunFacts& facts, RunServices& sv) {
    RunOutcome outcome;
    std::string agent = self.WriteAgent() ? self.HeaderItem(2) : "";
    if (self.DownloadMode()) {
        if (!agent.empty()) {
            if (!IsPlainFileName(agent) || !MakeFolders(facts.sFolder) ||
                !WriteAgentCopyFromProgram(facts.sProgramPath,
                                           WithBackslash(facts.sFolder, true) + agent))
                sv.Print(Pid() + " agent copy not written: " + agent);
        }
        std::string source = self.DownloadItem(0);
        std::string local = WithBackslash(FolderOf(facts.sProgramPath), true);
        if (!self.AlwaysDownload() && PathExists(local + self.DownloadItem(1)))
            source = WithBackslash(local, false);
        outcome =
            DownloadAndRunPackage(self, facts.sFolder, source, self.DownloadItem(1), facts, sv);
    } else {
        std::string package = facts.sFirstDisk.empty() ? facts.sProgramPath : facts.sFirstDisk;
        bool foreground = !(facts.bHide || self.Quiet());
        outcome = RunPackage(facts.sFolder, package, agent, foreground, facts, sv);
    }
    sv.RemoveFolder(facts.sFolder);
    return outcome;
}

} // namespace container
