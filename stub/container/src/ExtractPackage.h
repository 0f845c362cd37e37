// Unpacking a package into the extraction folder, and the texts and command
// line of the package run around it: the space question, the main program's
// command line, the auto-update agent copies and the run's exit codes.
#ifndef STUB_CONTAINER_EXTRACTPACKAGE_H
#define STUB_CONTAINER_EXTRACTPACKAGE_H

#include <cstdint>
#include <functional>
#include <string>

namespace container {

// Exit codes of a package run that started nothing. A run that started the
// main program ends with that program's exit code instead. The README lists
// them.
enum PackageExitCode : int {
    PKG_EXIT_PACKAGE_MISSING = 220,   // the package (or a piece) cannot be read
    PKG_EXIT_BAD_CHECKSUM = 221,      // a piece failed its check sum
    PKG_EXIT_BAD_MAGIC = 222,         // a piece carries no container
    PKG_EXIT_DAMAGED_BLOCK = 223,     // a compressed block is damaged or short
    PKG_EXIT_UNSAFE_NAME = 224,       // a file, main-program or agent name is not a plain name
    PKG_EXIT_SAVE_ERROR = 225,        // a file could not be written
    PKG_EXIT_DISK_CANCELLED = 226,    // the prompt for the next disk was cancelled
    PKG_EXIT_SPACE_DECLINED = 227,    // the space question was answered No
    PKG_EXIT_DOWNLOAD_DECLINED = 228, // the download question was answered No
    PKG_EXIT_NO_CONNECTION = 229,     // no Internet connection for the download
    PKG_EXIT_DOWNLOAD_FAILED = 230,   // the download failed or the server sent an error page
    PKG_EXIT_BAD_TOKEN = 231,         // the downloaded package carries another download token
    PKG_EXIT_NO_MAIN_PROGRAM = 232,   // the package names no main program
    PKG_EXIT_START_FAILED = 233,      // the main program could not be started
};

enum class ExtractStatus {
    OK,
    PACKAGE_MISSING,
    BAD_CHECKSUM,
    BAD_MAGIC,
    DAMAGED_BLOCK,
    UNSAFE_NAME,
    SAVE_ERROR,
    DISK_CANCELLED,
    NO_MAIN_PROGRAM,
};

// The exit code of a run whose extraction ended with this status (0 for OK).
int ExitCodeOf(ExtractStatus status);

// What the extraction needs from the program around it; the program binds
// it to its window and boxes, tests to fakes.
class ExtractServices {
public:
    virtual ~ExtractServices() = default;
    // The progress entry: mode 0 sets the range (nMax) and position, mode 1
    // advances by one step.
    virtual void Progress(int nMode, int nMax, int nPos, int nStep) = 0;
    // Serves pending messages; called after every chunk read.
    virtual void Pump() = 0;
    virtual void Wait(std::uint32_t ms) = 0;
    // The prompt for the next disk (OK and Cancel); true for OK.
    virtual bool ConfirmDisk(const std::string& sText) = 0;
    virtual void ShowError(const std::string& sText) = 0;
    // Before a further piece is needed: the AutoPlay suppression, and the
    // ejection of the medium holding sPath when it is a CD-ROM.
    virtual void PrepareNextDisk(const std::string& sPath, bool bEject) = 0;
    virtual void Print(const std::string& sLine) = 0;
    virtual std::uint64_t Clock() = 0;
};

struct ExtractRequest {
    std::string sPackage;            // the package file, or its first piece "NAME.001"
    std::string sFolder;             // the extraction folder, without trailing separator
    std::string sAgentName;          // the agent copy to write beside the files; empty: none
    bool bForcePrompt = false;       // prompt for every further disk even when it is there
    std::string sPromptText;         // the disk prompt, "<DISK_NUM>" standing for the piece
    unsigned* pSaveErrors = nullptr; // the process-wide save-error count, or none
};

struct ExtractResult {
    ExtractStatus status = ExtractStatus::PACKAGE_MISSING;
    std::string sEntry;        // the main-program entry; empty when nothing is to start
    bool bChecksumOk = false;  // the check-sum verdict
    bool bContinue = true;     // false after a cancelled disk prompt
    std::string sError;        // what stopped the run, for the log
    std::uint64_t nMillis = 0; // the extraction time
};

// Unpacks every piece of the package into the folder. A name that is not a
// plain file name stops the run before anything of its piece is written; a
// damaged block stops it at that block; after a save error the others are
// still written. In each of these cases, and after a failed check sum or a
// cancelled prompt, the entry is empty: nothing is to be started.
ExtractResult ExtractPackage(const ExtractRequest& request, ExtractServices& services);

// True for a name that can stand directly in a folder on every platform: not
// empty, ".", "..", no separator, drive, stream or wildcard character, no
// control character, no trailing dot or blank, no device name.
bool IsPlainFileName(const std::string& sName);

// The file name of a main-program entry ("Setup.exe*/S" gives "Setup.exe").
std::string MainProgramName(const std::string& sEntry);

// MB text of a byte count: 1 decimal above 10, 2 from 1 on, else 3.
std::string MbText(double nBytes);

// Text of the space question, empty when none is due. lookup returns the
// language's text of a key.
std::string SpaceQuestionText(const std::string& sFolder, double nNeeded, double nFree,
                              bool bAlwaysNotice,
                              const std::function<std::string(const std::string&)>& lookup);

// The download question: "s11" with "<SIZE>" replaced by the size in MB.
std::string DownloadQuestionText(const std::string& sText, std::int64_t nSize);

struct MainCommand {
    std::string sFolder;      // the extraction folder
    std::string sEntry;       // the main-program entry
    std::string sArguments;   // the running program's arguments
    std::string sThreadTag;   // "_" and the UI thread's id
    std::string sProgramPath; // the running program
    bool bAgent = false;      // the running program is an agent copy
};

// The main program's command line: its quoted path, the arguments and the
// entry's parameter text, "/TH_ID=", "/OriginExe=" unless given, and
// "/AutoUpdateProg" for an agent; the span switches removed.
std::string MainCommandLine(const MainCommand& command);

// Removes every occurrence of a switch with its value (up to the closing
// quote of a quoted value, else up to the next blank followed by "/").
std::string RemoveSwitch(const std::string& sText, const std::string& sSwitch);

// Writes the agent copy of a package being unpacked: its program image and
// text records (nImageAndTexts bytes) with the trailer marked as an agent
// copy. Replaces any file at sTarget and gives it the package's time.
bool WriteAgentCopyFromPackage(const std::string& sPackage, std::uint64_t nImageAndTexts,
                               const std::string& sTarget);
// Writes the agent copy of the running launcher: its whole file (cut at
// the container end when a short signature follows) with byte 69 set.
bool WriteAgentCopyFromProgram(const std::string& sProgram, const std::string& sTarget);

} // namespace container

#endif
