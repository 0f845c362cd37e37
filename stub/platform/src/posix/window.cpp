// The start-up window on a terminal: the window's children are records here,
// and a visible window is redrawn as one line (status text and a bar) on
// standard output when that is a terminal.
#include "platform/window.h"

#include <unistd.h>

#include <algorithm>
#include <map>

namespace plat {

namespace {

struct Face {
    bool visible = false;
    std::vector<ChildInfo> children;
};

std::map<WindowHandle, Face>& faces() {
    static std::map<WindowHandle, Face> table;
    return table;
}

ChildInfo* find_child(WindowHandle parent, int id) {
    auto it = faces().find(parent);
    if (it == faces().end())
        return nullptr;
    for (ChildInfo& c : it->second.children)
        if (c.id == id)
            return &c;
    return nullptr;
}

constexpr std::uint32_t kVisible = 0x10000000u; // WS_VISIBLE
constexpr int kBarWidth = 30;

void draw(const Face& f) {
    if (!isatty(STDOUT_FILENO))
        return;
    std::string line = "\r";
    if (f.visible) {
        for (const ChildInfo& c : f.children) {
            if (!(c.style & kVisible))
                continue;
            if (c.className == "Static") {
                line += c.text.substr(0, 40);
            } else if (c.rangeMax > 0) {
                const int done = std::min(kBarWidth, c.pos * kBarWidth / c.rangeMax);
                line += " [" + std::string(static_cast<std::size_t>(done), '#') +
                        std::string(static_cast<std::size_t>(kBarWidth - done), '-') + "] " +
                        std::to_string(c.pos * 100 / c.rangeMax) + "%";
            }
        }
    }
    line += "\x1b[K"; // the rest of the old line goes
    if (!f.visible)
        line += "\r";
    const ssize_t n = write(STDOUT_FILENO, line.data(), line.size());
    (void)n;
}

void redraw(WindowHandle window) {
    auto it = faces().find(window);
    if (it != faces().end() && it->second.visible)
        draw(it->second);
}

} // namespace

Rect work_area() {
    return Rect{0, 0, 1024, 768};
}

int screen_dpi_y() {
    return 96;
}

bool init_common_controls() {
    return true;
}

void show_window(WindowHandle window, ShowMode mode) {
    Face& f = faces()[window];
    const bool visible = mode != SHOW_HIDE;
    if (visible == f.visible)
        return;
    f.visible = visible;
    draw(f);
    if (!visible && f.children.empty())
        faces().erase(window);
}

bool window_visible(WindowHandle window) {
    auto it = faces().find(window);
    return it != faces().end() && it->second.visible;
}

bool create_child(WindowHandle parent, const ChildParams& params) {
    if (parent == 0)
        return false;
    ChildInfo c;
    c.id = params.id;
    c.className = params.kind == CHILD_STATIC ? "Static" : "msctls_progress32";
    c.style = params.style;
    c.rect = params.rect;
    c.rangeMax = params.kind == CHILD_STATIC ? 0 : 100;
    faces()[parent].children.push_back(c);
    return true;
}

void show_child(WindowHandle parent, int id, bool show) {
    ChildInfo* c = find_child(parent, id);
    if (!c)
        return;
    c->style = show ? (c->style | kVisible) : (c->style & ~kVisible);
    redraw(parent);
}

void set_child_text(WindowHandle parent, int id, const std::string& text, std::uint32_t style,
                    std::uint32_t exStyle, const std::string&, int, int) {
    ChildInfo* c = find_child(parent, id);
    if (!c)
        return;
    c->text = text;
    c->style = style;
    c->exStyle = exStyle;
    redraw(parent);
}

namespace {
// Step sizes are not part of ChildInfo; the bars keep them here.
std::map<std::pair<WindowHandle, int>, int>& steps() {
    static std::map<std::pair<WindowHandle, int>, int> table;
    return table;
}
} // namespace

// The system progress bar's arithmetic: a 16-bit range, positions clamped to
// it, and a step past the end that starts over from the beginning.
MsgResult progress_message(WindowHandle parent, int id, std::uint32_t message, WParam wParam,
                           LParam lParam) {
    ChildInfo* c = find_child(parent, id);
    if (!c)
        return 0;
    const int old = c->pos;
    auto stepIt = steps().emplace(std::make_pair(parent, id), 10).first;
    switch (message) {
    case PROGRESS_SETRANGE:
        c->rangeMax = static_cast<int>((static_cast<std::uint32_t>(lParam) >> 16) & 0xFFFF);
        c->pos = std::min(c->pos, c->rangeMax);
        return 0;
    case PROGRESS_SETPOS:
        c->pos = std::min(std::max(static_cast<int>(wParam), 0), c->rangeMax);
        break;
    case PROGRESS_SETSTEP:
        stepIt->second = static_cast<int>(wParam);
        return 0;
    case PROGRESS_STEPIT:
        c->pos += stepIt->second;
        if (c->pos > c->rangeMax)
            c->pos -= c->rangeMax;
        break;
    default:
        return 0;
    }
    redraw(parent);
    return old;
}

void release_children(WindowHandle parent) {
    auto it = faces().find(parent);
    if (it == faces().end())
        return;
    if (it->second.visible) {
        it->second.visible = false;
        draw(it->second);
    }
    for (auto s = steps().begin(); s != steps().end();)
        s = s->first.first == parent ? steps().erase(s) : std::next(s);
    faces().erase(it);
}

void paint_icon_face(WindowHandle window, int, int) {
    redraw(window);
}

bool describe_window(WindowHandle window, WindowInfo& info) {
    auto it = faces().find(window);
    if (it == faces().end())
        return false;
    info.visible = it->second.visible;
    info.children = it->second.children;
    return true;
}

} // namespace plat
