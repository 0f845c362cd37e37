#include "posix/ini.h"

#include "platform/settings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace plat {
namespace posix {

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && is_space(s[b]))
        ++b;
    while (e > b && is_space(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool same(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

// The section name of a header line, or false when the line is no header.
bool section_name(const std::string& line, std::string& name) {
    std::string t = trim(line);
    if (t.empty() || t.front() != '[')
        return false;
    std::size_t close = t.rfind(']');
    name = trim(close == std::string::npos || close == 0 ? t.substr(1) : t.substr(1, close - 1));
    return true;
}

} // namespace

IniText::IniText(const std::string& content) {
    m_sEol = content.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t nl = content.find('\n', start);
        std::string line = content.substr(start, nl == std::string::npos ? nl : nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        m_vLines.push_back(line);
        if (nl == std::string::npos) {
            m_bFinalEol = false;
            break;
        }
        start = nl + 1;
    }
}

bool IniText::FindSection(const std::string& section, Span& span) const {
    const std::string wanted = trim(section);
    std::string name;
    for (std::size_t i = 0; i < m_vLines.size(); ++i) {
        if (section_name(m_vLines[i], name) && same(name, wanted)) {
            span.header = i;
            span.end = i + 1;
            while (span.end < m_vLines.size() && !section_name(m_vLines[span.end], name))
                ++span.end;
            return true;
        }
    }
    return false;
}

bool IniText::FindKey(const Span& span, const std::string& key, std::size_t& line) const {
    const std::string wanted = trim(key);
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        const std::string& l = m_vLines[i];
        std::size_t eq = l.find('=');
        if (same(trim(eq == std::string::npos ? l : l.substr(0, eq)), wanted) && !trim(l).empty()) {
            line = i;
            return true;
        }
    }
    return false;
}

bool IniText::Get(const std::string& section, const std::string& key, std::string& value) const {
    Span span{};
    std::size_t line = 0;
    if (!FindSection(section, span) || !FindKey(span, key, line))
        return false;
    const std::string& l = m_vLines[line];
    std::size_t eq = l.find('=');
    if (eq == std::string::npos)
        return false;
    value = trim(l.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return true;
}

void IniText::Set(const std::string& section, const std::string& key, const std::string& value) {
    const std::string entry = trim(key) + "=" + value;
    Span span{};
    if (!FindSection(section, span)) {
        m_vLines.push_back("[" + trim(section) + "]");
        m_vLines.push_back(entry);
        m_bFinalEol = true;
        return;
    }
    std::size_t line = 0;
    if (FindKey(span, key, line)) {
        m_vLines[line] = entry;
        return;
    }
    // After the section's last non-blank line, so that the blank line that
    // separates it from the next section stays where it is.
    std::size_t at = span.end;
    while (at > span.header + 1 && trim(m_vLines[at - 1]).empty())
        --at;
    m_vLines.insert(m_vLines.begin() + static_cast<std::ptrdiff_t>(at), entry);
    if (at == m_vLines.size() - 1)
        m_bFinalEol = true;
}

bool IniText::Remove(const std::string& section, const std::string& key) {
    Span span{};
    std::size_t line = 0;
    if (!FindSection(section, span) || !FindKey(span, key, line))
        return false;
    m_vLines.erase(m_vLines.begin() + static_cast<std::ptrdiff_t>(line));
    return true;
}

std::string IniText::Content() const {
    std::string out;
    for (std::size_t i = 0; i < m_vLines.size(); ++i) {
        out += m_vLines[i];
        if (i + 1 < m_vLines.size() || m_bFinalEol)
            out += m_sEol;
    }
    return out;
}

bool read_file(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    content = ss.str();
    return true;
}

bool update_file(const std::string& path, const std::function<bool(std::string&)>& change) {
    if (path.empty())
        return false;
    // Lock the file itself; a writer that renamed a new file over it in the
    // meantime leaves us holding the old one, so check and try again.
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        struct stat held {
        }, named{};
        if (flock(fd, LOCK_EX) != 0 || fstat(fd, &held) != 0 || stat(path.c_str(), &named) != 0 ||
            held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
            close(fd);
            fd = -1;
        }
    }
    if (fd < 0)
        return false;
    std::string content;
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return false; // what cannot be read must not be replaced
        }
        if (n == 0)
            break;
        content.append(buf, static_cast<std::size_t>(n));
    }
    if (!change(content)) {
        close(fd);
        return true;
    }
    const std::string temp = path + ".new-" + std::to_string(getpid());
    const int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = out >= 0;
    std::size_t done = 0;
    while (ok && done < content.size()) {
        const ssize_t n = write(out, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    if (out >= 0) {
        struct stat old {};
        if (fstat(fd, &old) == 0)
            fchmod(out, old.st_mode & 07777);
        ok = fsync(out) == 0 && ok;
        ok = close(out) == 0 && ok;
    }
    ok = ok && rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        unlink(temp.c_str());
    close(fd);
    return ok;
}

} // namespace posix

std::string profile_read(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& def, std::size_t capacity) {
    std::string value = def;
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    std::string content;
    if (!file.empty() && posix::read_file(file, content)) {
        std::string found;
        if (posix::IniText(content).Get(section, key, found))
            value = found;
    }
    if (capacity == 0)
        return std::string();
    if (value.size() > capacity - 1)
        value.resize(capacity - 1);
    return value;
}

bool profile_write(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) {
    if (file.empty())
        return false;
    return posix::update_file(file, [&](std::string& content) {
        posix::IniText ini(content);
        ini.Set(section, key, value);
        content = ini.Content();
        return true;
    });
}

} // namespace plat
