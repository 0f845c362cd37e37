// The boxes on a terminal: a box prints its caption, its text and its
// buttons to standard output and is answered with a button's letter on
// standard input. Unattended runs script the answers in the file named by
// STUB_ANSWERS (one answer a line); without a terminal and without a
// scripted answer a box answers what its timeout would choose, or 0.
#include "platform/ui.h"

#include "platform/clock.h"
#include "posix/loop.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace plat {

namespace {

// Standard output, bypassing std::cout (which is Stub's debug channel).
void out(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

std::string button_label(const std::string& caption) {
    const std::size_t amp = caption.find('&');
    if (amp != std::string::npos && amp + 1 < caption.size())
        return caption.substr(0, amp) + "[" + caption[amp + 1] + "]" + caption.substr(amp + 2);
    if (!caption.empty())
        return "[" + caption.substr(0, 1) + "]" + caption.substr(1);
    return caption;
}

void print_box(const BoxRequest& r, bool ansi) {
    std::string s = "== " + r.caption + " ==\n";
    for (const TextLine& line : r.text.lines) {
        for (const TextSpan& span : line)
            s += (span.bold && ansi) ? "\033[1m" + span.text + "\033[0m" : span.text;
        s += "\n";
    }
    for (std::size_t i = 0; i < r.buttons.size(); ++i) {
        s += i == 0 ? "" : "  ";
        s += button_label(r.buttons[i].caption);
    }
    out(s + "\n");
}

// The next line of the answers file; false when there is none (left).
bool scripted_answer(std::string& line) {
    static std::string openPath;
    static FILE* file = nullptr;
    const char* path = std::getenv("STUB_ANSWERS");
    if (!path || !*path)
        return false;
    if (openPath != path) {
        if (file)
            std::fclose(file);
        file = std::fopen(path, "r");
        openPath = path;
    }
    if (!file)
        return false;
    line.clear();
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (c == EOF && line.empty())
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

// A letter chooses its button, an empty line the default button; anything
// else closes the box without a choice.
int answer_of(const BoxRequest& r, const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (i == line.size())
        return r.buttons.empty() ? 0 : r.buttons[r.defaultButton].result;
    const int chosen = box_key_choice(r.buttons, line[i]);
    return chosen < 0 ? 0 : r.buttons[chosen].result;
}

int timeout_answer(const BoxRequest& r) {
    return (r.timeoutMs > 0 && !r.buttons.empty()) ? r.buttons[0].result : 0;
}

// Waits for a line on the terminal while serving the loop's other sources.
int terminal_answer(const BoxRequest& r) {
    out(r.buttons.empty() ? "(Enter to close) " : "Letter, Enter for the default, Esc to close: ");
    const std::uint64_t deadline = r.timeoutMs > 0 ? monotonic_ms() + r.timeoutMs : 0;
    std::string pending;
    bool done = false;
    bool eof = false;
    posix::add_source(STDIN_FILENO, [&] {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            if (n == 0 || errno != EINTR)
                eof = done = true;
            return;
        }
        pending.append(buf, static_cast<std::size_t>(n));
        if (pending.find('\n') != std::string::npos)
            done = true;
    });
    int result = 0;
    bool timedOut = false;
    while (!done) {
        int wait = -1;
        if (deadline) {
            const std::uint64_t now = monotonic_ms();
            if (now >= deadline) {
                timedOut = true;
                break;
            }
            wait = static_cast<int>(deadline - now);
        }
        posix::dispatch_ready(wait);
    }
    posix::remove_source(STDIN_FILENO);
    if (timedOut) {
        out("\n");
        result = timeout_answer(r);
    } else if (!eof) {
        const std::string line = pending.substr(0, pending.find('\n'));
        result = line.find('\033') != std::string::npos ? 0 : answer_of(r, line);
    }
    return result;
}

} // namespace

WindowHandle active_window() {
    return 0;
}

int message_box(const BoxRequest& r) {
    print_box(r, isatty(STDOUT_FILENO) == 1);
    std::string line;
    int result;
    if (scripted_answer(line))
        result = answer_of(r, line);
    else if (isatty(STDIN_FILENO) == 1)
        result = terminal_answer(r);
    else
        result = timeout_answer(r);
    std::string chosen = "(closed)";
    for (const BoxButton& b : r.buttons)
        if (b.result == result)
            chosen = button_label(b.caption);
    out("-> " + chosen + "\n");
    return result;
}

void show_inform(const InformRequest& r) {
    std::string s = "== " + r.caption + " ==\n" + r.text;
    if (!s.empty() && s.back() != '\n')
        s += "\n";
    if (!r.link.empty())
        s += r.buttonText + ": " + r.link + "\n";
    out(s);
}

} // namespace plat
