#include "util/processes.h"

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/ipc.h"
#include "platform/messages.h"
#include "util/services.h"
#include "util/text.h"

namespace {

// The write end of the standard input of the child RunWithPipes runs.
std::intptr_t g_childInput = -1;

const std::size_t kPipeChunk = 30000;

std::string Native(const std::string& path) {
    std::string p = Unquote(path);
    if (plat::kPathSeparator == '\\')
        for (char& c : p)
            if (c == '/')
                c = '\\';
    return p;
}

bool SameName(const std::string& a, const std::string& b) {
    return plat::kNamesIgnoreCase ? SameText(a, b) : a == b;
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads what one pipe holds (one chunk), hands it on; true when more is
// left than this read took.
bool Drain(std::intptr_t pipe, std::string& collected, PipeCallback callback, void* userData,
           bool& stop) {
    std::string piece;
    bool more = false;
    if (plat::read_pipe(pipe, kPipeChunk, piece, more) <= 0)
        return false;
    piece = plat::console_to_text(piece);
    collected += piece;
    if (callback)
        callback(userData, piece, stop);
    return more;
}

// The processes that match path, in the system's order.
std::vector<plat::ProcessEntry> Matching(const std::string& path, bool fullPathOnly) {
    std::vector<plat::ProcessEntry> found;
    for (const plat::ProcessEntry& e : plat::list_processes())
        if (e.id != 0 && ProgramMatches(e.path, path, fullPathOnly))
            found.push_back(e);
    return found;
}

} // namespace

std::string QuoteProgram(const std::string& program) {
    const std::string p = Unquote(program);
    return p.find(' ') != std::string::npos ? "\"" + p + "\"" : p;
}

bool StartProgram(const std::string& commandLine, int show) {
    return plat::start_process(commandLine, static_cast<plat::ShowMode>(show), nullptr);
}

bool StartProgram(const std::string& commandLine, int show, plat::ProcessHandle& process) {
    return plat::start_process(commandLine, static_cast<plat::ShowMode>(show), &process);
}

bool WaitProgram(const plat::ProcessHandle& process, std::uint32_t maxMs, std::uint32_t sliceMs) {
    const std::uint64_t start = plat::monotonic_ms();
    if (sliceMs == 0)
        sliceMs = 1;
    for (;;) {
        if (plat::wait_process(process, sliceMs))
            return true;
        plat::pump_messages();
        if (maxMs != 0 && plat::monotonic_ms() - start >= maxMs)
            return plat::wait_process(process, 0);
    }
}

int ProgramExitCode(const plat::ProcessHandle& process, int def) {
    int code = def;
    return plat::process_exit_code(process, code) ? code : def;
}

bool RunWithPipes(const std::string& program, const std::string& params, int showWindow,
                  PipeCallback callback, void* userData, std::uint32_t settleMs,
                  std::string& errText, std::string& outText, int& exitCode) {
    errText.clear();
    outText.clear();
    std::string line = QuoteProgram(Trim(program));
    if (!params.empty())
        line += " " + params;
    plat::ProcessHandle process;
    plat::ChildPipes pipes;
    const bool tooLong = line.size() >= plat::kMaxCommandLine;
    if (tooLong ||
        !plat::start_process_piped(line, static_cast<plat::ShowMode>(showWindow), process, pipes)) {
        exitCode = 21;
        errText = tooLong ? std::string("Command line is too long")
                          : line.substr(0, 256) + " --- " + SystemErrorText();
        bool stop = false;
        if (callback)
            callback(userData, errText + "\r\n", stop);
        return false;
    }
    g_childInput = pipes.input;
    std::uint32_t slice = callback ? 1 : 100;
    bool stop = false, stopped = false, output = false;
    for (;;) {
        // The process handle tells the end, never the exit code: a program
        // may well end with 259, the code that means "still active".
        const bool ended = plat::wait_process(process, slice);
        const std::size_t before = outText.size() + errText.size();
        bool more = Drain(pipes.output, outText, callback, userData, stop);
        more = Drain(pipes.error, errText, callback, userData, stop) || more;
        if (outText.size() + errText.size() > before)
            output = true;
        if (output && slice > 10)
            slice -= 10;
        if (stop && !stopped) {
            plat::terminate_process(process, 255);
            stopped = true;
        }
        if (ended && !more)
            break;
        plat::pump_messages();
    }
    if (settleMs > 0)
        YieldWait(0, settleMs);
    for (int round = 0; round < 1000; ++round) {
        bool more = Drain(pipes.output, outText, callback, userData, stop);
        more = Drain(pipes.error, errText, callback, userData, stop) || more;
        if (!more)
            break;
    }
    exitCode = ProgramExitCode(process, 255);
    g_childInput = -1;
    plat::close_pipe(pipes.input);
    plat::close_pipe(pipes.output);
    plat::close_pipe(pipes.error);
    plat::close_process(process);
    return exitCode == 0;
}

bool WriteToChildInput(const std::string& text) {
    return plat::write_pipe(g_childInput, text);
}

bool ProgramMatches(const std::string& programPath, const std::string& path, bool fullPathOnly) {
    const std::string wanted = Native(Trim(path));
    const std::string running = Native(programPath);
    if (wanted.empty() || running.empty())
        return false;
    if (wanted.find_first_of("\\/") != std::string::npos) {
        if (SameName(running, wanted))
            return true;
        const std::string a = plat::short_path(running), b = plat::short_path(wanted);
        return !a.empty() && !b.empty() && SameName(a, b);
    }
    if (fullPathOnly)
        return false;
    if (SameName(FileNameOf(running), wanted))
        return true;
    const std::string a = FileNameOf(plat::short_path(running));
    return !a.empty() && SameName(a, wanted);
}

bool IsProcessRunning(const std::string& path) {
    return !Matching(path, false).empty();
}

bool WaitProcessEnd(const std::string& path, std::uint32_t maxMs) {
    if (maxMs == 0)
        maxMs = 1000;
    const std::uint64_t start = MilliClock();
    while (IsProcessRunning(path)) {
        if (MilliClock() - start >= maxMs)
            return false;
        YieldWait(0, 100);
    }
    return true;
}

int WindowScore(const std::vector<plat::TopWindow>& windows, std::size_t index) {
    const plat::TopWindow& w = windows[index];
    int owned = 0;
    for (const plat::TopWindow& other : windows)
        if (other.topOwner == w.window)
            ++owned;
    return owned * 4 + (w.titled ? 2 : 0) + (w.visible ? 1 : 0);
}

plat::WindowHandle PickMainWindow(const std::vector<plat::TopWindow>& windows) {
    plat::WindowHandle best = 0;
    int bestScore = 0;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const int score = WindowScore(windows, i);
        if (score > bestScore) {
            bestScore = score;
            best = windows[i].window;
        }
    }
    return best;
}

plat::WindowHandle FindMainWindow(const std::string& path, bool fullPathOnly) {
    const std::vector<plat::ProcessEntry> found = Matching(path, fullPathOnly);
    // The last one listed wins, as with the system's list of process ids.
    for (auto it = found.rbegin(); it != found.rend(); ++it)
        if (plat::WindowHandle w = PickMainWindow(plat::process_windows(it->id)))
            return w;
    return 0;
}

bool PostToProcess(const std::string& path, bool fullPathOnly, std::uint32_t message,
                   plat::WParam wParam, plat::LParam lParam) {
    const plat::WindowHandle w = FindMainWindow(path, fullPathOnly);
    return w != 0 && plat::post_message(w, message, wParam, lParam);
}

bool CloseProcess(const std::string& path, bool fullPathOnly, std::uint32_t waitMs) {
    if (!PostToProcess(path, fullPathOnly, plat::MSG_CLOSE, 15, 255))
        return false;
    return waitMs == 0 || WaitProcessEnd(path, waitMs);
}

bool QuitProcess(const std::string& path, bool fullPathOnly) {
    return PostToProcess(path, fullPathOnly, plat::MSG_QUIT, 15, 255);
}

bool TerminateProcessByPath(const std::string& path, bool fullPathOnly) {
    const std::vector<plat::ProcessEntry> found = Matching(path, fullPathOnly);
    return !found.empty() && plat::terminate_process_id(found.back().id, 0);
}

OsInfoResult OsInfoFor(const plat::OsVersion& v) {
    OsInfoResult r;
    r.version = std::to_string(v.major) + "." + std::to_string(v.minor);
    r.servicePack = v.servicePack;
    r.build = v.build;
    const std::string& ver = r.version;
    const auto set = [&](const char* name, std::uint32_t code) {
        r.name = name;
        r.code = code;
    };
    if (v.platform == plat::kPlatformPosix) {
        set("Linux", 0);
    } else if (v.platform == plat::kPlatformWin32s) {
        set("32S", 0);
    } else if (v.platform == plat::kPlatformWin9x) {
        if (ver == "4.0")
            set("95", 1);
        else if ((ver == "4.10" && v.build == 3000) || ver == "4.90")
            set("ME", 4);
        else if (ver == "4.10")
            set("98", 2);
        else
            set("9x", 1);
    } else if (v.platform == plat::kPlatformNT) {
        static const struct {
            const char* version;
            const char* name;
            std::uint32_t code;
            const char* name64;
            std::uint32_t code64;
        } kNT[] = {
            {"4.0", "NT", 8, nullptr, 0},
            {"5.0", "2000", 16, nullptr, 0},
            {"5.1", "XP", 32, nullptr, 0},
            {"5.2", "2003", 64, "XP.64", 256},
            {"6.0", "Vista", 128, "Vista.64", 512},
            {"6.1", "7", 1024, "7.64", 2048},
            {"6.2", "8", 32768, "8.64", 65536},
            {"6.3", "8.1", 262144, "8.1.64", 524288},
            {"10.0", "10", 2097152, "10.64", 4194304},
        };
        static const struct {
            const char* version;
            const char* name;
            std::uint32_t code;
        } kServer64[] = {
            {"6.0", "2008.64", 8192},
            {"6.1", "2008R2.64", 16384},
            {"6.2", "2012.64", 131072},
            {"6.3", "2012R2.64", 1048576},
        };
        set("NTx", 8);
        for (const auto& row : kNT) {
            if (ver != row.version)
                continue;
            set(row.name, row.code);
            if (v.os64 && row.name64)
                set(row.name64, row.code64);
        }
        if (v.server && v.os64)
            for (const auto& row : kServer64)
                if (ver == row.version)
                    set(row.name, row.code);
        if (v.server && !v.os64 && ver == "6.0")
            set("2008", 4096);
    }
    return r;
}

OsInfoResult OsInfo() {
    return OsInfoFor(plat::os_version());
}

bool IsNT() {
    return plat::os_version().platform == plat::kPlatformNT;
}

bool IsXP() {
    const plat::OsVersion v = plat::os_version();
    return v.platform == plat::kPlatformNT && v.major == 5 && v.minor == 1;
}

bool IsWin8OrLater() {
    const plat::OsVersion v = plat::os_version();
    return v.platform == plat::kPlatformNT && (v.major > 6 || (v.major == 6 && v.minor >= 2));
}

bool IsWow64System() {
    return plat::is_wow64();
}

bool Is64BitWindows() {
    const plat::OsVersion v = plat::os_version();
    return v.platform == plat::kPlatformNT && v.os64;
}
