// The registry on POSIX: one per-user file in the private-profile format.
// Each key is a section named by its full path (for example
// "HKEY_CURRENT_USER\Software\Vendrel"), each value an entry NAME=TYPE:HEX, the name escaped where
// the format would misread it and the data as hexadecimal bytes.
#include "platform/settings.h"

#include "posix/ini.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace plat {

namespace {

const char* const kRootNames[] = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};

void make_folders(const std::string& path) {
    for (std::size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1))
        mkdir(path.substr(0, p).c_str(), 0700);
}

// STUB_REGISTRY names the store file; otherwise it lives in the user's
// configuration folder.
std::string store_path() {
    if (const char* f = std::getenv("STUB_REGISTRY"); f && *f)
        return f;
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = std::string(h) + "/.config";
    else
        base = "/tmp";
    return base + "/stub/registry.ini";
}

std::string section_of(RegRoot root, const std::string& subkey) {
    std::string path = (root >= 0 && root <= REG_ROOT_DYN_DATA) ? kRootNames[root]
                                                                : kRootNames[REG_ROOT_CURRENT_USER];
    std::string part;
    for (std::size_t i = 0; i <= subkey.size(); ++i) {
        if (i == subkey.size() || subkey[i] == '\\') {
            if (!part.empty())
                path += "\\" + part;
            part.clear();
        } else {
            part += subkey[i];
        }
    }
    return path;
}

std::string escape_name(const std::string& name) {
    std::string out;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= ' ' || c == '=' || c == '%' || c == '[' || c == ';' || c == '"' || c == '\'') {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", u);
            out += buf;
        } else {
            out += c;
        }
    }
    // The empty name is the key's default value.
    return out.empty() ? "%@" : out;
}

std::string to_hex(const std::string& data) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : data) {
        unsigned char u = static_cast<unsigned char>(c);
        out += digits[u >> 4];
        out += digits[u & 15];
    }
    return out;
}

bool from_hex(const std::string& hex, std::string& out) {
    if (hex.size() % 2)
        return false;
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int v = 0;
        for (int k = 0; k < 2; ++k) {
            char c = hex[i + static_cast<std::size_t>(k)];
            int d = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                             : -1;
            if (d < 0)
                return false;
            v = v * 16 + d;
        }
        out += static_cast<char>(v);
    }
    return true;
}

} // namespace

bool registry_read(RegRoot root, const std::string& subkey, const std::string& name, bool,
                   std::size_t capacity, RegValue& out) {
    std::string content;
    if (!posix::read_file(store_path(), content))
        return false;
    std::string entry;
    if (!posix::IniText(content).Get(section_of(root, subkey), escape_name(name), entry))
        return false;
    std::size_t colon = entry.find(':');
    if (colon == std::string::npos)
        return false;
    RegValue v;
    v.type = static_cast<std::uint32_t>(std::strtoul(entry.substr(0, colon).c_str(), nullptr, 10));
    if (!from_hex(entry.substr(colon + 1), v.data) || v.data.size() > capacity)
        return false;
    out = v;
    return true;
}

bool registry_write(RegRoot root, const std::string& subkey, const std::string& name,
                    const RegValue& value) {
    const std::string path = store_path();
    make_folders(path);
    return posix::update_file(path, [&](std::string& content) {
        posix::IniText ini(content);
        ini.Set(section_of(root, subkey), escape_name(name),
                std::to_string(value.type) + ":" + to_hex(value.data));
        content = ini.Content();
        return true;
    });
}

bool registry_delete_value(RegRoot root, const std::string& subkey, const std::string& name) {
    const std::string path = store_path();
    std::string probe;
    if (!posix::read_file(path, probe))
        return false;
    bool removed = false;
    const bool written = posix::update_file(path, [&](std::string& content) {
        posix::IniText ini(content);
        removed = ini.Remove(section_of(root, subkey), escape_name(name));
        content = ini.Content();
        return removed;
    });
    return written && removed;
}

} // namespace plat
