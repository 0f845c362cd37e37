// The private-profile file format, written by hand for POSIX: sections and
// keys match ignoring case and surrounding blanks, only the first section of
// a name counts, lines are kept as they are when a value is set.
#ifndef STUB_PLATFORM_POSIX_INI_H
#define STUB_PLATFORM_POSIX_INI_H

#include <functional>
#include <string>
#include <vector>

namespace plat {
namespace posix {

class IniText {
public:
    explicit IniText(const std::string& content);

    // The value of key in section (trimmed, surrounding quotes removed);
    // false when the section, the key or its "=" is missing.
    bool Get(const std::string& section, const std::string& key, std::string& value) const;
    void Set(const std::string& section, const std::string& key, const std::string& value);
    // Removes the key's line; true when it was there.
    bool Remove(const std::string& section, const std::string& key);
    std::string Content() const;

private:
    struct Span {
        std::size_t header; // index of the section's line
        std::size_t end;    // index after its last line
    };
    bool FindSection(const std::string& section, Span& span) const;
    bool FindKey(const Span& span, const std::string& key, std::size_t& line) const;

    std::vector<std::string> m_vLines;
    std::string m_sEol;
    bool m_bFinalEol = true;
};

bool read_file(const std::string& path, std::string& content);

// Changes a file under an exclusive lock: change gets the current content
// (empty for a new file) and returns false to leave the file alone. The new
// content goes to a temporary file that is renamed over the old one, so that
// a crash or a failed read never leaves a truncated file, and two processes
// writing at once never lose each other's values.
bool update_file(const std::string& path, const std::function<bool(std::string&)>& change);

} // namespace posix
} // namespace plat

#endif
