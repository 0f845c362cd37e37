#include "../file_platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace Env {
namespace file_platform {

// Windows has no permission bits for others to widen: a new file inherits the
// folder's access list, which is what the rest of the folder already has.
std::FILE* create_temp_beside(const std::string& target, std::string& temp_name) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target + ".tmp" + std::to_string(GetCurrentProcessId()) + "_" +
                           std::to_string(++counter);
        HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS)
                continue;
            return nullptr;
        }
        int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_WRONLY);
        if (fd < 0) {
            CloseHandle(handle);
            DeleteFileA(name.c_str());
            return nullptr;
        }
        std::FILE* file = _fdopen(fd, "wb");
        if (!file) {
            _close(fd);
            DeleteFileA(name.c_str());
            return nullptr;
        }
        temp_name = name;
        return file;
    }
    return nullptr;
}

bool close_synced(std::FILE* file) {
    bool ok = std::fflush(file) == 0;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    ok = handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

bool replace_file(const std::string& temp_name, const std::string& target) {
    return MoveFileExA(temp_name.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void remove_file(const std::string& name) {
    DeleteFileA(name.c_str());
}

} // namespace file_platform
} // namespace Env
