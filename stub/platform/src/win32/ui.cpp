#include "platform/ui.h"

#include <windows.h>

#include <richedit.h>

#include <string>

#include "platform/system.h"

namespace plat {

namespace {

// --- shared -----------------------------------------------------------------

const char kBoxClass[] = "HMsgBox";
const char kInformClass[] = "HRichEditBox";
const int kEditId = 100;
const int kFirstButtonId = 1000;

// Only the system folder's copy: a library of that name beside the setup
// file (in a download folder, say) must never be loaded instead.
HMODULE load_rich_edit() {
    char folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    return LoadLibraryA((std::string(folder) + "\\RICHED32.DLL").c_str());
}

int log_pixels_y() {
    static const int value = [] {
        HDC dc = GetDC(nullptr);
        const int v = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc)
            ReleaseDC(nullptr, dc);
        return v;
    }();
    return value;
}

HFONT create_font(int height, int charset, const std::string& face) {
    return CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                       static_cast<BYTE>(charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, face.c_str());
}

HFONT create_point_font(const BoxFont& font) {
    return create_font(-MulDiv(font.points, log_pixels_y(), 72), font.charset, font.face);
}

void fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    RECT r = {left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

bool register_class(const char* name, WNDPROC proc) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// A rich-text area, or a plain edit control when the rich-text library is
// missing, so that the user still reads the text (without bold runs).
HWND create_text_area(HWND parent, DWORD style, DWORD exStyle) {
    HWND edit = CreateWindowExA(exStyle, "RICHEDIT", "", style, 0, 0, 10, 10, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
                                GetModuleHandleA(nullptr), nullptr);
    if (!edit)
        edit = CreateWindowExA(exStyle, "EDIT", "", style, 0, 0, 10, 10, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
                               GetModuleHandleA(nullptr), nullptr);
    return edit;
}

void move(HWND hwnd, const Rect& r) {
    MoveWindow(hwnd, r.x, r.y, r.width, r.height, TRUE);
}

Size client_size(HWND hwnd) {
    RECT r = {};
    GetClientRect(hwnd, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// The state of a window lives with the caller that runs its loop; the
// window finds it through its user data, set from the creation parameter.
template <typename State> State* state_of(HWND hwnd, UINT msg, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* state = static_cast<State*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        state->hwnd = hwnd;
    }
    return reinterpret_cast<State*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// Serves the thread's messages until done is set (by the window's destroy
// handling); filter sees each message first and may consume it. A quit
// request belongs to the program's own loop: it is handed on, and the window
// is closed as if by its close box (so the box returns 0).
template <typename Filter> void run_loop(HWND hwnd, const bool& done, Filter filter) {
    while (!done) {
        MSG m;
        const BOOL got = GetMessageA(&m, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(m.wParam));
            // The state goes with the caller: the window must not outlive it.
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            if (IsWindow(hwnd))
                DestroyWindow(hwnd);
            return;
        }
        if (!filter(m)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
}

// --- the box ----------------------------------------------------------------

// The state of one open box. It lives on the stack of message_box and is
// found through the window, so a box opened by a handler that runs inside
// another box's loop gets its own.
struct Box {
    const BoxRequest* request = nullptr;
    HWND hwnd = nullptr;
    HWND edit = nullptr;
    HWND buttons[3] = {};
    int count = 0;
    int result = 0;
    bool closing = false;
    bool done = false;
    HWND remembered = nullptr;
    int requestedWidth = 0;
    int requestedHeight = 0;
    HFONT font = nullptr;
    LPCSTR systemIcon = nullptr;
};

int g_openBoxes = 0; // the class is unregistered when the last box closes

void close_with(Box& box, int result) {
    // The first choice fixes the result; a timer or a second key that comes
    // before the close is handled changes nothing.
    if (box.closing)
        return;
    box.closing = true;
    box.result = result;
    PostMessageA(box.hwnd, WM_CLOSE, 0, 0);
}

void paint_box(Box& box) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(box.hwnd, &ps);
    const Size c = client_size(box.hwnd);
    fill(dc, 0, 0, c.width, c.height, GetSysColor(COLOR_WINDOW));
    fill(dc, 0, c.height - 37, c.width, c.height - 36, GetSysColor(COLOR_3DDKSHADOW));
    fill(dc, 0, c.height - 36, c.width, c.height - 35, RGB(0xFF, 0xFF, 0xFF));
    fill(dc, 0, c.height - 35, c.width, c.height, GetSysColor(COLOR_BTNFACE));
    fill(dc, 0, 0, 54, c.height - 37, RGB(0x00, 0x4E, 0x98));
    HICON icon = box.systemIcon ? LoadIcon(nullptr, box.systemIcon)
                                : LoadIconA(GetModuleHandleA(nullptr), "MainIcon");
    if (!icon)
        icon = LoadIcon(nullptr, IDI_APPLICATION);
    DrawIcon(dc, 11, 20, icon);
    EndPaint(box.hwnd, &ps);
}

LRESULT CALLBACK box_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Box* box = state_of<Box>(hwnd, msg, lp);
    if (!box)
        return DefWindowProcA(hwnd, msg, wp, lp);
    if (box->request->autoPlayMessage != 0 && msg == box->request->autoPlayMessage)
        return 1;
    switch (msg) {
    case WM_CREATE:
        if (box->request->timeoutMs > 0)
            SetTimer(hwnd, 1, static_cast<UINT>(box->request->timeoutMs), nullptr);
        return 0;
    case WM_COMMAND:
        for (int i = 0; i < box->count; ++i) {
            if (box->buttons[i] && reinterpret_cast<HWND>(lp) == box->buttons[i] &&
                HIWORD(wp) == BN_CLICKED) {
                close_with(*box, box->request->buttons[i].result);
                return 0;
            }
        }
        break;
    case WM_TIMER:
        if (wp == 1) {
            close_with(*box, box->count > 0 ? box->request->buttons[0].result : 0);
            return 0;
        }
        break;
    case WM_CLOSE:
        if (box->remembered) {
            EnableWindow(box->remembered, TRUE);
            SetActiveWindow(box->remembered);
            SetFocus(box->remembered);
        }
        if (box->request->timeoutMs > 0)
            KillTimer(hwnd, 1);
        break;
    case WM_DESTROY:
        box->done = true;
        return 0;
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
        if (hdr->hwndFrom == box->edit && hdr->code == EN_REQUESTRESIZE) {
            const auto* req = reinterpret_cast<const REQRESIZE*>(lp);
            box->requestedWidth = req->rc.right - req->rc.left;
            box->requestedHeight = req->rc.bottom - req->rc.top;
        }
        return 0;
    }
    case WM_PAINT:
        paint_box(*box);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int focused_button(const Box& box) {
    HWND focus = GetFocus();
    for (int i = 0; i < box.count; ++i)
        if (box.buttons[i] == focus)
            return i;
    return -1;
}

void make_current(Box& box, int index) {
    if (box.count == 0)
        return;
    SetActiveWindow(box.hwnd);
    SetFocus(box.buttons[index]);
    for (int i = 0; i < box.count; ++i)
        SendMessageA(box.buttons[i], BM_SETSTYLE, i == index ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                     TRUE);
}

// Keyboard of the box; true when the message was consumed.
bool key_filter(Box& box, const MSG& m) {
    if (m.hwnd != box.hwnd && !IsChild(box.hwnd, m.hwnd))
        return false;
    const std::vector<BoxButton>& buttons = box.request->buttons;
    if (m.message == WM_SYSCHAR) {
        const int i = box_alt_choice(buttons, static_cast<char>(m.wParam));
        if (i < 0)
            return false;
        close_with(box, buttons[i].result);
        return true;
    }
    if (m.message != WM_KEYDOWN)
        return false;
    const int current = focused_button(box);
    switch (m.wParam) {
    case VK_LEFT:
    case VK_UP:
        if (box.count > 0)
            make_current(box, ((current < 0 ? 0 : current) + box.count - 1) % box.count);
        return true;
    case VK_TAB:
    case VK_RIGHT:
    case VK_DOWN:
        if (box.count > 0)
            make_current(box, (current + 1) % box.count);
        return true;
    case VK_RETURN:
        if (current < 0)
            return false;
        close_with(box, buttons[current].result);
        return true;
    case VK_ESCAPE:
        close_with(box, 0);
        return true;
    default: {
        // Only the letter keys: the codes of the numeric pad (0x60..0x69)
        // and of F1..F12 (0x70..0x7B) read as lower-case letters, and
        // pressing F3 must not answer "Retry".
        if (m.wParam < 'A' || m.wParam > 'Z')
            return false;
        const int i = box_key_choice(buttons, static_cast<char>(m.wParam));
        if (i < 0)
            return false;
        close_with(box, buttons[i].result);
        return true;
    }
    }
}

LPCSTR system_icon(std::uint32_t flags) {
    switch (flags & BOX_ICON_MASK) {
    case BOX_ICON_HAND:
        return IDI_HAND;
    case BOX_ICON_QUESTION:
        return IDI_QUESTION;
    case BOX_ICON_EXCLAMATION:
        return IDI_EXCLAMATION;
    case BOX_ICON_ASTERISK:
        return IDI_ASTERISK;
    default:
        return nullptr;
    }
}

bool same_face(const std::string& face, const char* name) {
    std::string t = face;
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    while (!t.empty() && t.front() == ' ')
        t.erase(0, 1);
    return lstrcmpiA(t.c_str(), name) == 0;
}

// Sizes the text area to fit the text (at most 600 pixels a line).
void size_text_area(Box& box) {
    const MarkedText& text = box.request->text;
    HDC dc = GetDC(box.edit);
    HGDIOBJ old = SelectObject(dc, box.font);
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    int lineHeight = tm.tmHeight + tm.tmExternalLeading;
    if (same_face(box.request->font.face, "MS PGothic"))
        ++lineHeight;
    std::vector<int> extents;
    for (const TextLine& line : text.lines) {
        std::string s;
        for (const TextSpan& span : line)
            s += span.text;
        if (text.text.empty())
            s = " ";
        const DWORD e = GetTabbedTextExtentA(dc, s.c_str(), static_cast<int>(s.size()), 0, nullptr);
        extents.push_back(LOWORD(e));
    }
    SelectObject(dc, old);
    ReleaseDC(box.edit, dc);
    const Size size = box_text_size(extents, lineHeight);
    const int width = size.width - 10;
    MoveWindow(box.edit, 0, 0, size.width, size.height, FALSE);
    if (text.bold.empty())
        return;
    // Bold words are wider than measured: widen until the control no longer
    // asks for more height than the measured one.
    int widest = width;
    for (int i = 0; i <= 20; ++i) {
        MoveWindow(box.edit, 0, 0, width + 10 * i, size.height, FALSE);
        box.requestedHeight = 0;
        SendMessageA(box.edit, EM_REQUESTRESIZE, 0, 0);
        if (box.requestedHeight <= size.height)
            return;
        if (box.requestedWidth > widest)
            widest = box.requestedWidth;
    }
    MoveWindow(box.edit, 0, 0, widest + 10, size.height, FALSE);
}

void fill_text_area(Box& box) {
    const MarkedText& text = box.request->text;
    SetWindowTextA(box.edit, text.text.c_str());
    for (const BoldRun& run : text.bold) {
        CHARRANGE range = {run.start, run.end};
        SendMessageA(box.edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        CHARFORMATA cf = {};
        cf.cbSize = sizeof cf;
        cf.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
        cf.dwEffects = CFE_BOLD;
        SendMessageA(box.edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    }
    CHARRANGE none = {0, 0};
    SendMessageA(box.edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));
}

HMODULE g_richEditOnce = nullptr; // stays loaded until Stub ends

} // namespace

WindowHandle active_window() {
    return reinterpret_cast<WindowHandle>(GetActiveWindow());
}

int message_box(const BoxRequest& request) {
    if (!g_richEditOnce)
        g_richEditOnce = load_rich_edit();
    Box box;
    box.request = &request;
    box.count = static_cast<int>(request.buttons.size() > 3 ? 3 : request.buttons.size());
    box.remembered = GetActiveWindow();
    if (box.remembered)
        EnableWindow(box.remembered, FALSE);
    HMODULE richEdit = load_rich_edit();
    box.font = create_point_font(request.font);
    register_class(kBoxClass, box_proc);
    ++g_openBoxes;

    HWND owner = reinterpret_cast<HWND>(request.owner);
    CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kBoxClass, request.caption.c_str(),
                    WS_VISIBLE | WS_CAPTION | WS_SYSMENU, -100, -100, 10, 10, owner, nullptr,
                    GetModuleHandleA(nullptr), &box);
    if (box.hwnd) {
        if (request.flags & BOX_NO_CLOSE)
            EnableMenuItem(GetSystemMenu(box.hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        DWORD style = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | ES_WANTRETURN;
        if (request.flags & BOX_RIGHT)
            style |= ES_RIGHT;
        box.edit = create_text_area(box.hwnd, style,
                                    (request.flags & BOX_RTL_READING) ? WS_EX_RTLREADING : 0);
        SendMessageA(box.edit, EM_SETEVENTMASK, 0, ENM_REQUESTRESIZE);
        SendMessageA(box.edit, WM_SETFONT, reinterpret_cast<WPARAM>(box.font), FALSE);
        SendMessageA(box.edit, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
        fill_text_area(box);
        size_text_area(box);

        RECT er = {};
        GetWindowRect(box.edit, &er);
        const Size text = {er.right - er.left, er.bottom - er.top};
        const Size outer =
            box_outer_size(text, GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME),
                           GetSystemMetrics(SM_CYCAPTION));
        RECT work = {};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        int x = work.left + (work.right - work.left - outer.width) / 2;
        int y = work.top + (work.bottom - work.top - outer.height) / 2;
        if (request.developerOffset) {
            x += 150;
            y += 150;
        }
        SetWindowPos(box.hwnd, nullptr, x, y, outer.width, outer.height,
                     SWP_NOZORDER | SWP_SHOWWINDOW);
        const Size client = client_size(box.hwnd);
        move(box.edit, box_text_rect(client, text));
        box.systemIcon = system_icon(request.flags);

        for (int i = box.count - 1; i >= 0; --i) {
            const Rect r = box_button_rect(client, i, box.count);
            box.buttons[i] = CreateWindowExA(
                0, "BUTTON", request.buttons[i].caption.c_str(),
                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, r.x, r.y, r.width, r.height,
                box.hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + i)),
                GetModuleHandleA(nullptr), nullptr);
            SetWindowLongPtrA(box.buttons[i], GWLP_USERDATA, request.buttons[i].result);
            SendMessageA(box.buttons[i], WM_SETFONT, reinterpret_cast<WPARAM>(box.font), FALSE);
        }
        make_current(box, box.count > 0 ? request.defaultButton % box.count : 0);

        run_loop(box.hwnd, box.done, [&box](const MSG& m) { return key_filter(box, m); });
    } else if (box.remembered) {
        EnableWindow(box.remembered, TRUE);
    }
    if (--g_openBoxes == 0)
        UnregisterClassA(kBoxClass, GetModuleHandleA(nullptr));
    DeleteObject(box.font);
    if (richEdit)
        FreeLibrary(richEdit);
    return box.closing ? box.result : 0;
}

// --- the inform dialog ------------------------------------------------------

namespace {

struct Inform {
    const InformRequest* request = nullptr;
    HWND hwnd = nullptr;
    HWND edit = nullptr;
    HWND button = nullptr;
    bool done = false;
};

void place_inform(Inform& d) {
    const Size c = client_size(d.hwnd);
    const bool link = !d.request->link.empty();
    if (d.edit)
        move(d.edit, inform_text_rect(c, link));
    if (d.button)
        move(d.button, inform_button_rect(c));
}

LRESULT CALLBACK inform_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Inform* d = state_of<Inform>(hwnd, msg, lp);
    if (!d)
        return DefWindowProcA(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_SIZE:
        place_inform(*d);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        const Size c = client_size(hwnd);
        fill(dc, 0, 0, c.width, c.height, GetSysColor(COLOR_WINDOW));
        if (!d->request->link.empty()) {
            fill(dc, 0, c.height - 43, c.width, c.height - 42, GetSysColor(COLOR_3DDKSHADOW));
            fill(dc, 0, c.height - 42, c.width, c.height, GetSysColor(COLOR_BTNFACE));
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_COMMAND:
        if (d->button && reinterpret_cast<HWND>(lp) == d->button && HIWORD(wp) == BN_CLICKED) {
            shell_open(d->request->link, "", SHOW_NORMAL);
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_DESTROY:
        d->done = true;
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

} // namespace

void show_inform(const InformRequest& request) {
    Inform d;
    d.request = &request;
    HMODULE richEdit = load_rich_edit();
    HFONT buttonFont = create_point_font(request.buttonFont);
    HFONT textFont = create_font(15, request.buttonFont.charset, request.textFace);
    register_class(kInformClass, inform_proc);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - request.width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - request.height) / 2;
    // Created hidden so that the first WM_SIZE finds the children in place.
    CreateWindowExA(WS_EX_DLGMODALFRAME, kInformClass, request.caption.c_str(),
                    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, x, y, request.width, request.height,
                    reinterpret_cast<HWND>(request.owner), nullptr, GetModuleHandleA(nullptr), &d);
    if (d.hwnd) {
        DWORD style =
            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_WANTRETURN;
        if (request.rightToLeft)
            style |= ES_RIGHT;
        d.edit = create_text_area(d.hwnd, style, request.rightToLeft ? WS_EX_RTLREADING : 0);
        SendMessageA(d.edit, EM_SETEVENTMASK, 0, ENM_REQUESTRESIZE);
        SendMessageA(d.edit, WM_SETFONT, reinterpret_cast<WPARAM>(textFont), FALSE);
        SendMessageA(d.edit, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
        SetWindowTextA(d.edit, request.text.c_str());
        if (!request.link.empty()) {
            d.button =
                CreateWindowExA(0, "Button", request.buttonText.c_str(),
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 160,
                                25, d.hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
            SendMessageA(d.button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont), FALSE);
        }
        place_inform(d);
        ShowWindow(d.hwnd, SW_SHOW);
        SetActiveWindow(d.hwnd);
        if (d.button)
            SetFocus(d.button);
        run_loop(d.hwnd, d.done, [](const MSG&) { return false; });
    }
    UnregisterClassA(kInformClass, GetModuleHandleA(nullptr));
    DeleteObject(buttonFont);
    DeleteObject(textFont);
    if (richEdit)
        FreeLibrary(richEdit);
}

} // namespace plat
