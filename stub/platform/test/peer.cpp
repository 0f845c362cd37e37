// The other process of the tests that need two: it owns a window that
// answers messages, or exits with a given code, or writes to its standard
// streams.
//   stub-peer window CLASS [TITLE]   window of CLASS; MSG_USER+1 (wParam a
//                                    window, lParam n) is answered with
//                                    MSG_USER+2 (n * 2, own window) to it; the
//                                    exit code is the quit code
//   stub-peer exit CODE              exits with CODE
//   stub-peer echo OUT ERR [CODE]    writes OUT to stdout, ERR to stderr
//   stub-peer sleep MS               sleeps MS milliseconds (at most 60 s)
//   stub-peer chatter                writes a line, then sleeps up to 60 s
//   stub-peer prompt                 asks "name?", answers "hello " + the line
//                                    read from standard input
//   stub-peer delete-myself [folder] the program file (and its folder) go
//                                    once it has ended
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/messages.h"
#include "util/files.h"

namespace {

const std::uint32_t kAsk = plat::MSG_USER + 1;
const std::uint32_t kAnswer = plat::MSG_USER + 2;
const std::uintptr_t kLifeTimer = 1;

plat::MsgResult PeerProc(plat::WindowHandle window, std::uint32_t message, plat::WParam wParam,
                         plat::LParam lParam) {
    if (message == kAsk) {
        plat::post_message(static_cast<plat::WindowHandle>(wParam), kAnswer,
                           static_cast<plat::WParam>(lParam * 2),
                           static_cast<plat::LParam>(window));
        return 0;
    }
    if (message == plat::MSG_TIMER && wParam == kLifeTimer) {
        // Nobody asked for an end in time: the test that started us is gone.
        plat::destroy_window(window);
        return 0;
    }
    return plat::default_window_proc(window, message, wParam, lParam);
}

int RunWindow(const std::string& className, const std::string& title) {
    plat::WindowParams params;
    params.className = className;
    params.title = title;
    params.proc = PeerProc;
    params.width = 100;
    params.height = 50;
    const plat::WindowHandle window = plat::create_window(params);
    if (!window)
        return 3;
    plat::set_timer(window, kLifeTimer, 60000);
    const int code = plat::run_message_loop(window);
    if (plat::is_window(window))
        plat::destroy_window(window);
    return code;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "window" && argc > 2)
        return RunWindow(argv[2], argc > 3 ? argv[3] : "");
    if (mode == "exit" && argc > 2)
        return std::atoi(argv[2]);
    if (mode == "echo" && argc > 3) {
        std::fputs(argv[2], stdout);
        std::fputs(argv[3], stderr);
        return argc > 4 ? std::atoi(argv[4]) : 0;
    }
    if (mode == "delete-myself")
        return DeleteMySelf(argc > 2 && std::string(argv[2]) == "folder") ? 0 : 1;
    if (mode == "prompt") {
        std::fputs("name?\n", stdout);
        std::fflush(stdout);
        char line[256] = {};
        if (!std::fgets(line, sizeof line, stdin))
            return 4;
        line[std::strcspn(line, "\r\n")] = '\0';
        std::printf("hello %s\n", line);
        return 0;
    }
    if (mode == "chatter") {
        std::fputs("tick\n", stdout);
        std::fflush(stdout);
        plat::sleep_ms(60000);
        return 0;
    }
    if (mode == "sleep" && argc > 2) {
        long ms = std::atol(argv[2]);
        plat::sleep_ms(static_cast<std::uint32_t>(ms < 0 ? 0 : (ms > 60000 ? 60000 : ms)));
        return 0;
    }
    std::fputs("usage: stub-peer window CLASS [TITLE] | exit CODE | echo OUT ERR [CODE] | "
               "sleep MS | chatter | prompt | delete-myself [folder]\n",
               stderr);
    return 2;
}
