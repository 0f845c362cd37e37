// The Windows rules for splitting a command line, used where a Windows-style
// command text must become an argument vector (the POSIX process start) and
// by the tests of both platforms.
#include "platform/process.h"

namespace plat {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> split_command_line(const std::string& text) {
    std::vector<std::string> items;
    std::size_t pos = 0;
    const std::size_t n = text.size();
    while (pos < n && is_blank(text[pos]))
        ++pos;
    if (pos >= n)
        return items;
    // The program item knows no escapes.
    std::string program;
    if (text[pos] == '"') {
        const std::size_t end = text.find('"', pos + 1);
        program =
            text.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
        pos = end == std::string::npos ? n : end + 1;
    } else {
        while (pos < n && !is_blank(text[pos]))
            program += text[pos++];
    }
    items.push_back(program);
    // A quote right after the program item starts the next argument.
    for (;;) {
        while (pos < n && is_blank(text[pos]))
            ++pos;
        if (pos >= n)
            break;
        std::string arg;
        bool quoted = false;
        while (pos < n) {
            std::size_t slashes = 0;
            while (pos < n && text[pos] == '\\') {
                ++slashes;
                ++pos;
            }
            if (pos < n && text[pos] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"';
                    ++pos;
                } else if (quoted && pos + 1 < n && text[pos + 1] == '"') {
                    arg += '"';
                    pos += 2;
                } else {
                    quoted = !quoted;
                    ++pos;
                }
                continue;
            }
            arg.append(slashes, '\\');
            if (pos >= n || (is_blank(text[pos]) && !quoted))
                break;
            arg += text[pos++];
        }
        items.push_back(arg);
    }
    return items;
}

} // namespace plat
