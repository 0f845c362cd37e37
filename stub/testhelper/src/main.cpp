// stub-testhelper: drives Stub's windows for tests and screenshots.
//
//   stub-testhelper list  CLASS [TIMEOUT_MS]    texts, buttons and geometry
//   stub-testhelper press CLASS INDEX           click button INDEX (0 = leftmost)
//   stub-testhelper key   CLASS KEY             escape, return, tab, left, right, up,
//                                               down or a letter
//   stub-testhelper alt   CLASS LETTER          Alt + LETTER
//   stub-testhelper close CLASS                 close the window
//   stub-testhelper shot  CLASS FILE.bmp        capture the window
//   stub-testhelper show-box FLAGS TEXT          show a box (FLAGS as ShowMsgBox takes
//                                               them, decimal or 0x hex), print its result
//   stub-testhelper demo-box FILE.bmp           show a sample box, capture it, close it
//   stub-testhelper demo-inform FILE.bmp        the same with the inform dialog
//
// Every command waits up to TIMEOUT_MS (default 5000) for a visible window of
// CLASS and exits with 0 on success, 1 when there is none, 2 on bad usage.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dialogs/Inform.h"
#include "dialogs/MsgBox.h"
#include "testhelper/windows.h"

using namespace testhelper;

namespace {

int usage() {
    std::fprintf(stderr, "usage: stub-testhelper list|press|key|alt|close|shot CLASS [ARG]\n"
                         "       stub-testhelper show-box FLAGS TEXT\n"
                         "       stub-testhelper demo-box|demo-inform FILE.bmp\n");
    return 2;
}

void print(const WindowInfo& w) {
    std::printf("title: %s\nwindow: %d %d %d %d\nclient: %d %d\ntext area: %d %d %d %d\n",
                w.title.c_str(), w.window.x, w.window.y, w.window.width, w.window.height,
                w.client.width, w.client.height, w.textArea.x, w.textArea.y, w.textArea.width,
                w.textArea.height);
    std::printf("close greyed: %d\ntopmost: %d\ntext: %s\n", w.closeGreyed, w.topmost,
                w.text.c_str());
    for (const ButtonInfo& b : w.buttons)
        std::printf("button: %s value %lld at %d %d %d %d%s%s\n", b.caption.c_str(), b.value,
                    b.rect.x, b.rect.y, b.rect.width, b.rect.height, b.isDefault ? " default" : "",
                    b.focused ? " focused" : "");
}

unsigned key_code(const std::string& name) {
    static const struct {
        const char* name;
        unsigned vk;
    } keys[] = {{"escape", VK_ESCAPE}, {"return", VK_RETURN}, {"tab", VK_TAB},  {"left", VK_LEFT},
                {"right", VK_RIGHT},   {"up", VK_UP},         {"down", VK_DOWN}};
    for (const auto& k : keys)
        if (lstrcmpiA(name.c_str(), k.name) == 0)
            return k.vk;
    if (name.size() == 1 && std::isalpha(static_cast<unsigned char>(name[0])))
        return static_cast<unsigned>(std::toupper(static_cast<unsigned char>(name[0])));
    return 0;
}

struct Capture {
    const char* windowClass;
    std::string path;
    bool saved = false;
};

DWORD WINAPI capture_and_close(void* p) {
    auto* c = static_cast<Capture*>(p);
    if (Handle h = wait_window(c->windowClass, 10000)) {
        Sleep(300); // let the window paint before it is captured
        c->saved = save_bitmap(h, c->path);
        close_window(h);
    }
    return 0;
}

int demo(bool inform, const std::string& path) {
    Capture c{inform ? "HRichEditBox" : "HMsgBox", path};
    HANDLE thread = CreateThread(nullptr, 0, capture_and_close, &c, 0, nullptr);
    if (inform)
        ShowInform(0, "Harbix News", "Read more",
                   "Version 4.2 is available.\r\n\r\nThis update brings faster "
                   "downloads and fixes the progress display on small screens.\r\n",
                   "https://example.com/news", 460, 300, false, "Tahoma", 8, 0);
    else
        ConfirmYesNo(0, "Harbix will extract files to your Temp Drive (C:)<P>"
                        "<P>Estimated space required on your Temp drive is: <T>  <B>52.4 MB</B><P>"
                        "Free space available on your Temp drive is: <T>  1,024.0 MB<P>"
                        "<P>Continue with Setup?");
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return c.saved ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    const std::string cmd = argv[1];
    if (cmd == "demo-box" || cmd == "demo-inform")
        return demo(cmd == "demo-inform", argv[2]);
    if (cmd == "show-box" && argc > 3) {
        const auto flags = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0));
        std::printf("result %d\n",
                    ShowMsgBox(1, argv[3], "Caption", kDefaultButtonTexts, 0, flags, 0));
        return 0;
    }
    const int timeout = (cmd == "list" && argc > 3) ? std::atoi(argv[3]) : 5000;
    const Handle h = wait_window(argv[2], timeout);
    if (!h) {
        std::fprintf(stderr, "no window of class %s\n", argv[2]);
        return 1;
    }
    if (cmd == "list") {
        print(read_window(h));
    } else if (cmd == "press" && argc > 3) {
        return press_button(h, std::atoi(argv[3])) ? 0 : 1;
    } else if (cmd == "key" && argc > 3 && key_code(argv[3])) {
        send_key(h, key_code(argv[3]));
    } else if (cmd == "alt" && argc > 3) {
        send_alt_char(h, argv[3][0]);
    } else if (cmd == "close") {
        close_window(h);
    } else if (cmd == "shot" && argc > 3) {
        return save_bitmap(h, argv[3]) ? 0 : 1;
    } else {
        return usage();
    }
    return 0;
}
