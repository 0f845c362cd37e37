// The boxes and the inform dialog as Windows shows them. A second thread
// plays the user through the test helper: it waits for the window, reads
// it, acts, and closes whatever is still open, so no window waits for a
// person.
#include <gtest/gtest.h>

#include <windows.h>

#include <richedit.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogs/Inform.h"
#include "dialogs/MsgBox.h"
#include "testhelper/windows.h"
#include "util/services.h"

namespace {

using testhelper::Handle;
using testhelper::WindowInfo;

struct User {
    const char* windowClass = "HMsgBox";
    std::function<void(Handle)> act;
    WindowInfo seen;
    bool found = false;
};

DWORD WINAPI PlayUser(void* p) {
    auto* u = static_cast<User*>(p);
    const Handle h = testhelper::wait_window(u->windowClass, 10000);
    if (!h)
        return 0;
    u->found = true;
    u->seen = testhelper::read_window(h);
    if (u->act)
        u->act(h);
    if (!testhelper::wait_gone(h, 10000))
        testhelper::close_window(h);
    return 0;
}

// Runs show() on this thread while the user acts on its window.
template <typename Show> auto WithUser(User& user, Show show) {
    HANDLE thread = CreateThread(nullptr, 0, PlayUser, &user, 0, nullptr);
    auto result = show();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return result;
}

LOGFONTA FontOf(HWND control) {
    LOGFONTA lf = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    return lf;
}

// A rich-text control answers WM_GETFONT with nothing; its default
// character format holds the face (and the height in twips).
CHARFORMATA TextFormatOf(HWND edit) {
    CHARFORMATA cf = {};
    cf.cbSize = sizeof cf;
    SendMessageA(edit, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
    return cf;
}

int LogPixelsY() {
    HDC dc = GetDC(nullptr);
    const int v = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return v;
}

int Box(std::uint32_t flags, std::function<void(Handle)> act, WindowInfo* seen = nullptr,
        const std::string& text = "Text", std::uintptr_t ownerMode = 1, int charset = 0,
        int timeoutMs = 0) {
    User user;
    user.act = std::move(act);
    const int r = WithUser(user, [&] {
        return ShowMsgBox(ownerMode, text, "Caption", kDefaultButtonTexts, charset, flags,
                          timeoutMs);
    });
    EXPECT_TRUE(user.found);
    if (seen)
        *seen = user.seen;
    return r;
}

TEST(Win32Box, EachButtonOfEachSet) {
    const struct {
        std::uint32_t set;
        std::vector<std::string> captions;
        std::vector<int> results;
    } sets[] = {
        {0, {"&OK"}, {1}},
        {1, {"&OK", "&Cancel"}, {1, 2}},
        {2, {"&Abort", "&Retry", "&Ignore"}, {3, 4, 5}},
        {3, {"&Yes", "&No", "&Cancel"}, {6, 7, 2}},
        {4, {"&Yes", "&No"}, {6, 7}},
        {5, {"&Retry", "&Cancel"}, {4, 2}},
    };
    for (const auto& s : sets) {
        for (std::size_t i = 0; i < s.results.size(); ++i) {
            WindowInfo w;
            const int r = Box(
                s.set, [i](Handle h) { testhelper::press_button(h, static_cast<int>(i)); }, &w);
            EXPECT_EQ(r, s.results[i]) << "set " << s.set << " button " << i;
            ASSERT_EQ(w.buttons.size(), s.captions.size());
            for (std::size_t b = 0; b < s.captions.size(); ++b) {
                EXPECT_EQ(w.buttons[b].caption, s.captions[b]);
                EXPECT_EQ(w.buttons[b].value, s.results[b]);
                EXPECT_EQ(w.buttons[b].rect.y, w.client.height - 29);
                EXPECT_EQ(w.buttons[b].rect.x,
                          w.client.width - 80 - 70 * static_cast<int>(s.captions.size() - 1 - b));
            }
            EXPECT_TRUE(w.buttons[0].isDefault);
            EXPECT_TRUE(w.topmost);
        }
    }
}

TEST(Win32Box, KeyboardChoices) {
    const struct {
        const char* name;
        std::uint32_t flags;
        std::vector<unsigned> keys; // 0x100 + c: Alt + c
        int result;
    } cases[] = {
        {"escape", 0x3, {VK_ESCAPE}, 0},
        {"return on the default", 0x103, {VK_RETURN}, 7},
        {"right then return", 0x3, {VK_RIGHT, VK_RETURN}, 7},
        {"left wraps around", 0x3, {VK_LEFT, VK_RETURN}, 2},
        {"tab wraps around", 0x203, {VK_TAB, VK_RETURN}, 6},
        {"letter", 0x3, {'N'}, 7},
        {"alt letter", 0x3, {0x100 + 'c'}, 2},
        {"other keys do nothing", 0x1, {'X', 0x100 + 'z', VK_ESCAPE}, 0},
        {"pad and function keys are no letters",
         0x2,
         {VK_NUMPAD1, VK_F3, VK_NUMPAD9, VK_ESCAPE},
         0},
    };
    for (const auto& c : cases) {
        const int r = Box(c.flags, [&c](Handle h) {
            for (unsigned k : c.keys) {
                if (k > 0x100)
                    testhelper::send_alt_char(h, static_cast<char>(k - 0x100));
                else
                    testhelper::send_key(h, k);
                Sleep(50); // the focus moves before the next key is aimed
            }
        });
        EXPECT_EQ(r, c.result) << c.name;
    }
}

TEST(Win32Box, EscapeClosesAlsoWithoutCloseItem) {
    WindowInfo w;
    EXPECT_EQ(Box(
                  0x4, [](Handle h) { testhelper::send_key(h, VK_ESCAPE); }, &w, "t", 2),
              0);
    EXPECT_TRUE(w.closeGreyed);
    EXPECT_EQ(Box(
                  0x4, [](Handle h) { testhelper::close_window(h); }, &w, "t", 1),
              0);
    EXPECT_FALSE(w.closeGreyed);
}

TEST(Win32Box, TimeoutChoosesTheLeftmostButton) {
    User user; // only watches
    EXPECT_TRUE(WithUser(user, [] { return ConfirmYesNo(1, "Go on?", "", "", 0, 200); }));
    EXPECT_TRUE(user.found);
}

TEST(Win32Box, OwnerIsDisabledWhileOpen) {
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    SetForegroundWindow(owner);
    SetActiveWindow(owner);
    ASSERT_EQ(GetActiveWindow(), owner);
    BOOL enabledWhileOpen = TRUE;
    const int r = Box(0x1, [&](Handle h) {
        enabledWhileOpen = IsWindowEnabled(owner);
        testhelper::press_button(h, 1);
    });
    EXPECT_EQ(r, 2);
    EXPECT_FALSE(enabledWhileOpen);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST(Win32Box, QuitRequestClosesTheBoxAndIsHandedOn) {
    const DWORD mainThread = GetCurrentThreadId();
    User user;
    user.act = [mainThread](Handle) { PostThreadMessageA(mainThread, WM_QUIT, 5, 0); };
    // The box itself: ShowMsgBox's pause afterwards pumps the thread's messages.
    EXPECT_EQ(
        WithUser(user, [] { return MarkedMessageBox(0, "t", "c", kDefaultButtonTexts, 4, 0); }), 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 5u);
}

int g_innerResult = -1;

void CALLBACK OpenInnerBox(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_innerResult = MarkedMessageBox(0, "inner", "inner", kDefaultButtonTexts, 5, 100);
}

TEST(Win32Box, BoxOpenedInsideAnotherBoxsLoop) {
    // A timer handler of the thread opens a second box while the first is
    // open; each keeps its own state and result. The timer leaves the user
    // thread time to find the first box before the second one exists.
    g_innerResult = -1;
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, OpenInnerBox);
    ASSERT_NE(timer, 0u);
    const int outer = Box(0x1, [](Handle h) {
        for (int i = 0; i < 500 && g_innerResult < 0; ++i)
            Sleep(10);
        testhelper::press_button(h, 1);
    });
    EXPECT_EQ(g_innerResult, 4); // the inner box's timeout chose Retry
    EXPECT_EQ(outer, 2);
}

TEST(Win32Box, AnswersTheAutoPlayQuery) {
    SetAutoPlayCancel(true);
    LRESULT answer = 0;
    Box(0, [&answer](Handle h) {
        answer = SendMessageA(reinterpret_cast<HWND>(h), AutoPlayCancelMessage(), 0, 0);
        testhelper::press_button(h, 0);
    });
    SetAutoPlayCancel(false);
    EXPECT_EQ(answer, 1);
}

TEST(Win32Box, HeadingBoldRunsAndLayout) {
    // Per word: 'B' all bold, 'n' all normal, '?' mixed.
    std::string weights;
    User user;
    user.act = [&](Handle h) {
        HWND edit = FindWindowExA(reinterpret_cast<HWND>(h), nullptr, "RICHEDIT", nullptr);
        const std::string text = testhelper::read_window(h).text;
        for (const std::string word : {"ERROR", "one", "bold", "rest"}) {
            const LONG at = static_cast<LONG>(text.find(word));
            CHARRANGE range = {at, at + static_cast<LONG>(word.size())};
            SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
            CHARFORMATA cf = {};
            cf.cbSize = sizeof cf;
            SendMessageA(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
            weights += !(cf.dwMask & CFM_BOLD) ? '?' : (cf.dwEffects & CFE_BOLD) ? 'B' : 'n';
        }
        testhelper::press_button(h, 0);
    };
    WithUser(user, [] {
        ErrorBox(0, "one<P><b>bold</b> rest", "Error");
        return 0;
    });
    const WindowInfo& w = user.seen;
    EXPECT_EQ(w.title, "Error");
    EXPECT_EQ(w.text.rfind("ERROR\r\n\r\none\r\nbold rest", 0), 0u) << w.text;
    EXPECT_EQ(weights, "BnBn");
}

TEST(Win32Box, SizeLimits) {
    WindowInfo w;
    Box(
        0, [](Handle h) { testhelper::press_button(h, 0); }, &w, "");
    EXPECT_EQ(w.window.width, 360);
    Box(
        0, [](Handle h) { testhelper::press_button(h, 0); }, &w, std::string(300, 'W'));
    EXPECT_EQ(w.textArea.width, 610);
}

TEST(Win32Box, TextAndButtonsUseTheBoxFont) {
    SetMsgBoxFont("Courier New", 12, 0);
    CHARFORMATA text = {};
    LOGFONTA button = {};
    Box(0, [&](Handle h) {
        HWND box = reinterpret_cast<HWND>(h);
        text = TextFormatOf(FindWindowExA(box, nullptr, "RICHEDIT", nullptr));
        button = FontOf(FindWindowExA(box, nullptr, "Button", nullptr));
        testhelper::press_button(h, 0);
    });
    SetMsgBoxFont("Tahoma", 8, 1);
    EXPECT_STREQ(text.szFaceName, "Courier New");
    EXPECT_EQ(text.yHeight, 12 * 20);
    EXPECT_STREQ(button.lfFaceName, "Courier New");
    EXPECT_EQ(button.lfHeight, -MulDiv(12, LogPixelsY(), 72));
}

TEST(Win32Box, RightToLeftForHebrewAndArabic) {
    for (int charset : {177, 178, 0}) {
        WindowInfo w;
        Box(
            0, [](Handle h) { testhelper::press_button(h, 0); }, &w, "t", 1, charset);
        const bool rtl = charset != 0;
        EXPECT_EQ((w.textStyle & ES_RIGHT) != 0, rtl) << charset;
        EXPECT_EQ((w.textExStyle & WS_EX_RTLREADING) != 0, rtl) << charset;
    }
}

TEST(Win32Inform, SizeTextAreaAndLinkButton) {
    User user;
    user.windowClass = "HRichEditBox";
    WindowInfo resized;
    CHARFORMATA textFont = {};
    LOGFONTA buttonFont = {};
    user.act = [&](Handle h) {
        HWND dialog = reinterpret_cast<HWND>(h);
        textFont = TextFormatOf(FindWindowExA(dialog, nullptr, "RICHEDIT", nullptr));
        buttonFont = FontOf(FindWindowExA(dialog, nullptr, "Button", nullptr));
        SetWindowPos(reinterpret_cast<HWND>(h), nullptr, 0, 0, 500, 380, SWP_NOMOVE | SWP_NOZORDER);
        resized = testhelper::read_window(h);
        testhelper::close_window(h);
    };
    EXPECT_TRUE(WithUser(user, [] {
        return ShowInform(0, "News", "Read more", "Version 2 is out.", "https://example.com/n", 420,
                          300, false, "Tahoma", 8, 0);
    }));
    const WindowInfo& w = user.seen;
    EXPECT_STREQ(textFont.szFaceName, "Verdana"); // for the box's "Tahoma"
    EXPECT_STREQ(buttonFont.lfFaceName, "Tahoma");
    EXPECT_EQ(w.title, "News");
    EXPECT_EQ(w.text, "Version 2 is out.");
    EXPECT_EQ(w.window.width, 420);
    EXPECT_EQ(w.window.height, 300);
    ASSERT_EQ(w.buttons.size(), 1u);
    EXPECT_EQ(w.buttons[0].caption, "Read more");
    EXPECT_TRUE(w.buttons[0].focused);
    for (const WindowInfo* v : std::vector<const WindowInfo*>{&w, &resized}) {
        ASSERT_EQ(v->buttons.size(), 1u);
        EXPECT_EQ(v->buttons[0].rect.x, (v->client.width - 160) / 2);
        EXPECT_EQ(v->buttons[0].rect.y, v->client.height - 33);
        EXPECT_EQ(v->textArea.height, v->client.height - 43);
    }
    EXPECT_EQ(resized.window.width, 500);
}

TEST(Win32Inform, WithoutAnOpenableLinkNoButton) {
    for (const char* link : {"", "file:///C:/windows/system32/calc.exe"}) {
        User user;
        user.windowClass = "HRichEditBox";
        user.act = [](Handle h) { testhelper::close_window(h); };
        EXPECT_TRUE(WithUser(user, [&] {
            return ShowInform(0, "News", "Open", "Text", link, 300, 200, true, "", 8, 0);
        }));
        const WindowInfo& w = user.seen;
        EXPECT_TRUE(w.buttons.empty()) << link;
        EXPECT_EQ(w.textArea.x, 3);
        EXPECT_EQ(w.textArea.width, w.client.width - 3);
        EXPECT_EQ(w.textArea.height, w.client.height);
        EXPECT_NE(w.textStyle & ES_RIGHT, 0u);
    }
}

} // namespace
