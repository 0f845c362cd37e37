#include "platform/settings.h"

#include <windows.h>

#include <vector>

namespace plat {

std::string profile_read(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& def, std::size_t capacity) {
    if (capacity == 0)
        return std::string();
    std::vector<char> buf(capacity);
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf.data(),
                                       static_cast<DWORD>(capacity), file.c_str());
    return std::string(buf.data(), n);
}

bool profile_write(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) !=
           FALSE;
}

namespace {

HKEY root_key(RegRoot root) {
    switch (root) {
    case REG_ROOT_CLASSES_ROOT:
        return HKEY_CLASSES_ROOT;
    case REG_ROOT_LOCAL_MACHINE:
        return HKEY_LOCAL_MACHINE;
    case REG_ROOT_USERS:
        return HKEY_USERS;
    case REG_ROOT_PERFORMANCE_DATA:
        return HKEY_PERFORMANCE_DATA;
    case REG_ROOT_CURRENT_CONFIG:
        return HKEY_CURRENT_CONFIG;
    case REG_ROOT_DYN_DATA:
        return HKEY_DYN_DATA;
    default:
        return HKEY_CURRENT_USER;
    }
}

} // namespace

bool registry_read(RegRoot root, const std::string& subkey, const std::string& name, bool view64,
                   std::size_t capacity, RegValue& out) {
    HKEY key = nullptr;
    const REGSAM access = KEY_READ | (view64 ? KEY_WOW64_64KEY : 0);
    if (RegOpenKeyExA(root_key(root), subkey.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> buf(capacity ? capacity : 1);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(capacity);
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, buf.data(), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return false;
    out.type = type;
    out.data.assign(reinterpret_cast<const char*>(buf.data()), size);
    return true;
}

bool registry_write(RegRoot root, const std::string& subkey, const std::string& name,
                    const RegValue& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root_key(root), subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name.c_str(), 0, value.type,
                             reinterpret_cast<const BYTE*>(value.data.data()),
                             static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool registry_delete_value(RegRoot root, const std::string& subkey, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root_key(root), subkey.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    LONG rc = RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

} // namespace plat
