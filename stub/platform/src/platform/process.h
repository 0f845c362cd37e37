// Starting, watching and ending processes; the list of running programs and
// their top windows; the system's version.
#ifndef STUB_PLATFORM_PROCESS_H
#define STUB_PLATFORM_PROCESS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace plat {

// A started program: the process handle on Windows, the process id (and a
// descriptor to wait on) on POSIX.
struct ProcessHandle {
    std::intptr_t handle = 0;
    std::uint32_t id = 0;
};

// Our ends of a child's standard streams; -1 when absent.
struct ChildPipes {
    std::intptr_t input = -1;
    std::intptr_t output = -1;
    std::intptr_t error = -1;
};

// The longest command line the system accepts (32767 with its end).
constexpr std::size_t kMaxCommandLine = 32767;

// Splits a command line with the Windows rules: the program item ends at the
// next blank or, when it starts with a double quote, at the next one;
// arguments follow the C run time's rules (2n backslashes before a quote
// give n and the quote groups, 2n+1 give n and a literal quote, "" inside a
// group is a literal quote).
std::vector<std::string> split_command_line(const std::string& commandLine);

// Starts commandLine (Windows: CreateProcessA with the show mode; POSIX: the
// items of split_command_line started with the execv family, never through a
// shell). out, when given, receives a handle to wait on and must be closed.
// False when the program could not be started (last_error_text tells why).
bool start_process(const std::string& commandLine, ShowMode show, ProcessHandle* out);

// Starts commandLine at idle priority with its standard input, output and
// error on pipes, whose other ends are returned.
bool start_process_piped(const std::string& commandLine, ShowMode show, ProcessHandle& out,
                         ChildPipes& pipes);

// Waits up to ms for the end without pumping messages; true when it ended.
bool wait_process(const ProcessHandle& process, std::uint32_t ms);

// The exit code of an ended process (POSIX: 128 + signal after a signal
// death); false while it runs.
bool process_exit_code(const ProcessHandle& process, int& code);

bool terminate_process(const ProcessHandle& process, unsigned code);

void close_process(ProcessHandle& process);

// Reads what a pipe holds now, at most max bytes, without waiting: the count
// read, 0 when nothing is there, -1 when the other end is closed and all was
// read. more tells whether bytes are left after this read.
long read_pipe(std::intptr_t pipe, std::size_t max, std::string& out, bool& more);
bool write_pipe(std::intptr_t pipe, const std::string& data);
void close_pipe(std::intptr_t& pipe);

// Console output in the text code page (OEM to ANSI on Windows; POSIX texts
// are UTF-8 on both sides).
std::string console_to_text(const std::string& text);

struct ProcessEntry {
    std::uint32_t id = 0;
    std::string path; // full program path; the file name when the system tells no more
};

// Every process the system lists (a snapshot on Windows, /proc on POSIX).
std::vector<ProcessEntry> list_processes();

// Ends the process with that id (POSIX: SIGKILL, the exit code is lost).
bool terminate_process_id(std::uint32_t id, unsigned code);

std::uint32_t current_process_id();

// The facts of a top window that make it a process's main window.
struct TopWindow {
    WindowHandle window = 0;
    WindowHandle topOwner = 0; // the end of its owner chain; itself without owner
    bool titled = false;
    bool visible = false;
};

// The top windows of process id, in the system's order (at most 2001). On
// POSIX a process with a message endpoint has one: its main window.
std::vector<TopWindow> process_windows(std::uint32_t id);

// The short (8.3) form of an existing path; empty when it has none (always
// on POSIX).
std::string short_path(const std::string& path);

// The absolute form of a path against the current folder, "." and ".."
// resolved by name (GetFullPathNameA; POSIX the same without following links).
std::string full_path(const std::string& path);

// Platform ids of the version table; kPlatformPosix marks a POSIX system.
enum : std::uint32_t { kPlatformWin32s = 0, kPlatformWin9x = 1, kPlatformNT = 2 };
constexpr std::uint32_t kPlatformPosix = 100;

struct OsVersion {
    std::uint32_t platform = 0;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::string servicePack;
    bool server = false;
    bool os64 = false; // the system is 64-bit (whatever this process is)
};

// As reported by the system; on Windows 8.1 and later the kernel32.dll
// product version corrects what GetVersionEx reports.
OsVersion os_version();

// A 32-bit process on 64-bit Windows with the WOW64 functions present.
bool is_wow64();

} // namespace plat

#endif
