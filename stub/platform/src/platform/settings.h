// Settings (INI) files with the private-profile semantics, and the registry.
#ifndef STUB_PLATFORM_SETTINGS_H
#define STUB_PLATFORM_SETTINGS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// GetPrivateProfileStringA for one key: the value of key in section of file,
// or def (without trailing blanks) when the file, section or key is missing.
// Names match ignoring case and surrounding blanks; a value in double quotes
// loses them. The result holds at most capacity - 1 characters.
std::string profile_read(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& def, std::size_t capacity);

// WritePrivateProfileStringA: sets key in section, creating the file and the
// section when missing and keeping every other line as it is.
bool profile_write(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value);

// Predefined registry roots, in the numbering of HKEY_CLASSES_ROOT..DYN_DATA.
enum RegRoot : int {
    REG_ROOT_CLASSES_ROOT = 0,
    REG_ROOT_CURRENT_USER = 1,
    REG_ROOT_LOCAL_MACHINE = 2,
    REG_ROOT_USERS = 3,
    REG_ROOT_PERFORMANCE_DATA = 4,
    REG_ROOT_CURRENT_CONFIG = 5,
    REG_ROOT_DYN_DATA = 6,
};

// Value types of the registry (REG_*).
enum RegType : std::uint32_t {
    REG_TYPE_NONE = 0,
    REG_TYPE_SZ = 1,
    REG_TYPE_EXPAND_SZ = 2,
    REG_TYPE_BINARY = 3,
    REG_TYPE_DWORD = 4,
    REG_TYPE_MULTI_SZ = 7,
    REG_TYPE_QWORD = 11,
};

struct RegValue {
    std::uint32_t type = REG_TYPE_NONE;
    std::string data; // the raw bytes as stored
};

// Opens root\subkey for reading (64-bit view when view64) and reads the value
// into at most capacity bytes. False when the key cannot be opened, the value
// is missing or larger than capacity. POSIX keeps the registry as a per-user
// store (see the layer's README) with the same key paths.
bool registry_read(RegRoot root, const std::string& subkey, const std::string& name, bool view64,
                   std::size_t capacity, RegValue& out);

// Creates root\subkey as needed and stores the value.
bool registry_write(RegRoot root, const std::string& subkey, const std::string& name,
                    const RegValue& value);

// Removes the value; true when it existed.
bool registry_delete_value(RegRoot root, const std::string& subkey, const std::string& name);

} // namespace plat

#endif
