#include "platform/ipc.h"

#include <windows.h>

namespace plat {

WindowHandle find_window(const std::string& className) {
    if (className.empty())
        return 0;
    return reinterpret_cast<WindowHandle>(FindWindowA(className.c_str(), nullptr));
}

std::uint32_t window_process(WindowHandle window) {
    DWORD pid = 0;
    if (!window || !GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &pid))
        return 0;
    return pid;
}

std::uint16_t global_add_atom(const std::string& name) {
    return name.empty() ? 0 : GlobalAddAtomA(name.c_str());
}

std::uint16_t global_find_atom(const std::string& name) {
    return name.empty() ? 0 : GlobalFindAtomA(name.c_str());
}

bool global_delete_atom(std::uint16_t atom) {
    if (global_atom_name(atom).empty())
        return false;
    // GlobalDeleteAtom answers 0 when the reference was dropped.
    return GlobalDeleteAtom(atom) == 0;
}

std::string global_atom_name(std::uint16_t atom) {
    char buf[256] = {};
    const UINT n = atom ? GlobalGetAtomNameA(atom, buf, sizeof buf) : 0;
    return std::string(buf, n);
}

} // namespace plat
