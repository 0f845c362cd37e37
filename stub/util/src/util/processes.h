// Starting programs and finding, messaging and ending running ones; the
// system's version.
#ifndef STUB_UTIL_PROCESSES_H
#define STUB_UTIL_PROCESSES_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/types.h"

// The program item of a command line Stub builds: trimmed, without
// surrounding quotes, and in double quotes when it holds a blank.
std::string QuoteProgram(const std::string& program);

// Starts a command line without waiting (the started program is not ours to
// wait for). False when it could not be started.
bool StartProgram(const std::string& commandLine, int show);
// The same, keeping a handle for WaitProgram and ProgramExitCode; the caller
// closes it with plat::close_process.
bool StartProgram(const std::string& commandLine, int show, plat::ProcessHandle& process);
// Waits, pumping messages every sliceMs, until the program ended (true) or
// maxMs passed (0: no limit).
bool WaitProgram(const plat::ProcessHandle& process, std::uint32_t maxMs,
                 std::uint32_t sliceMs = 100);
// The exit code of an ended program; def while it runs.
int ProgramExitCode(const plat::ProcessHandle& process, int def);

// Receives each piece of a child's output; setting stop ends the child.
using PipeCallback = void (*)(void* userData, const std::string& text, bool& stop);

// Runs program with params, its standard streams on pipes, until it ends;
// collects its output and error texts. exitCode is 21 when it could not be
// started. True when the exit code is 0.
bool RunWithPipes(const std::string& program, const std::string& params, int showWindow,
                  PipeCallback callback, void* userData, std::uint32_t settleMs,
                  std::string& errText, std::string& outText, int& exitCode);
// Writes to the standard input of the child RunWithPipes runs.
bool WriteToChildInput(const std::string& text);

// Whether a running program is the one path names. A path with a folder
// matches that program file only; a bare file name matches any program of
// that name unless fullPathOnly. Surrounding blanks and quotes are ignored.
bool ProgramMatches(const std::string& programPath, const std::string& path, bool fullPathOnly);

bool IsProcessRunning(const std::string& path);
// Polls every 100 ms, pumping messages, until the program no longer runs or
// maxMs (1000 when 0) passed; true when it ended.
bool WaitProcessEnd(const std::string& path, std::uint32_t maxMs);

// Score of windows[index] as the main window of its process: 4 for every
// window of the list whose top owner it is (itself included), 2 for a
// title, 1 when visible.
int WindowScore(const std::vector<plat::TopWindow>& windows, std::size_t index);
// The best-scoring window (the first of equals); 0 when none scores.
plat::WindowHandle PickMainWindow(const std::vector<plat::TopWindow>& windows);

plat::WindowHandle FindMainWindow(const std::string& path, bool fullPathOnly);
bool PostToProcess(const std::string& path, bool fullPathOnly, std::uint32_t message,
                   plat::WParam wParam, plat::LParam lParam);
// Posts MSG_CLOSE (15, 255); with waitMs > 0 waits for the end (true when
// it ended, or when posting succeeded without a wait).
bool CloseProcess(const std::string& path, bool fullPathOnly, std::uint32_t waitMs);
// Posts MSG_QUIT (15, 255).
bool QuitProcess(const std::string& path, bool fullPathOnly);
bool TerminateProcessByPath(const std::string& path, bool fullPathOnly);

struct OsInfoResult {
    std::string version; // major "." minor
    std::string name;
    std::uint32_t code = 0;
    std::string servicePack;
    std::uint32_t build = 0;
};
OsInfoResult OsInfo();
// The identification table applied to a reported version.
OsInfoResult OsInfoFor(const plat::OsVersion& version);
bool IsNT();
bool IsXP();
bool IsWin8OrLater();
bool IsWow64System();
// The system is a 64-bit Windows (the registry's 64-bit view applies).
bool Is64BitWindows();

#endif
