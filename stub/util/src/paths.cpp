#include "util/paths.h"

#include "platform/files.h"
#include "util/text.h"

std::string ProgramPath(bool nameOnly) {
    const std::string path = plat::program_path();
    return nameOnly ? BaseName(path, false) : path;
}

std::string ProgramFolder(bool add) {
    const std::string path = plat::program_path();
    std::size_t slash = path.find_last_of("\\/");
    return WithBackslash(slash == std::string::npos ? std::string() : path.substr(0, slash + 1),
                         add);
}

std::string WindowsFolder(bool add) {
    return WithBackslash(plat::windows_folder(), add);
}

std::string SystemFolder(bool add) {
    return WithBackslash(plat::system_folder(), add);
}

std::string TempFolder(bool add) {
    return WithBackslash(plat::temp_folder(), add);
}
