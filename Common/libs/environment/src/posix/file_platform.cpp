#include "../file_platform.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Env {
namespace file_platform {

namespace {

mode_t mode_for(const std::string& target) {
    const mode_t widest = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH; // 0644
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & widest;
    return widest;
}

std::string folder_of(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

std::FILE* create_temp_beside(const std::string& target, std::string& temp_name) {
    std::string pattern = target + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0)
        return nullptr;
    temp_name = name.data();
    // fchmod ignores the umask, so the mode is exactly what mode_for chose.
    if (fchmod(fd, mode_for(target)) != 0) {
        close(fd);
        unlink(temp_name.c_str());
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(temp_name.c_str());
    }
    return file;
}

bool close_synced(std::FILE* file) {
    bool ok = std::fflush(file) == 0;
    ok = fsync(fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

bool replace_file(const std::string& temp_name, const std::string& target) {
    if (std::rename(temp_name.c_str(), target.c_str()) != 0)
        return false;
    // Makes the rename itself durable; the file is in place either way.
    int dir = open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

void remove_file(const std::string& name) {
    unlink(name.c_str());
}

} // namespace file_platform
} // namespace Env
