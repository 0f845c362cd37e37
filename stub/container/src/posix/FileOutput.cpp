#include "FileOutput.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace container {

bool MakeFolders(const std::string& sFolder) {
    if (sFolder.empty())
        return false;
    for (std::size_t i = 1; i <= sFolder.size(); ++i) {
        if (i < sFolder.size() && sFolder[i] != '/')
            continue;
        std::string part = sFolder.substr(0, i);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    return stat(sFolder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& sPath) {
    struct stat st;
    return lstat(sPath.c_str(), &st) == 0;
}

bool OutputFile::Open(const std::string& sPath, bool bAppend, bool bProgram) {
    Close();
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (bAppend ? O_APPEND : O_TRUNC);
    m_nHandle = open(sPath.c_str(), flags, bProgram ? 0755 : 0644);
    return m_nHandle != -1;
}

bool OutputFile::Write(const void* pData, std::size_t n) {
    const char* p = static_cast<const char*>(pData);
    while (n > 0) {
        ssize_t done = write(static_cast<int>(m_nHandle), p, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        n -= static_cast<std::size_t>(done);
    }
    return true;
}

bool OutputFile::Close() {
    if (m_nHandle == -1)
        return true;
    bool ok = close(static_cast<int>(m_nHandle)) == 0;
    m_nHandle = -1;
    return ok;
}

bool SetDosStamp(const std::string& sPath, std::uint32_t nStamp) {
    std::tm local{};
    local.tm_year = int((nStamp >> 25) & 0x7F) + 80;
    local.tm_mon = int((nStamp >> 21) & 0x0F) - 1;
    local.tm_mday = int((nStamp >> 16) & 0x1F);
    local.tm_hour = int((nStamp >> 11) & 0x1F);
    local.tm_min = int((nStamp >> 5) & 0x3F);
    local.tm_sec = int(nStamp & 0x1F) * 2;
    local.tm_isdst = -1;
    std::time_t when = std::mktime(&local);
    if (when == std::time_t(-1))
        return false;
    struct timespec times[2];
    times[0].tv_sec = when;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return utimensat(AT_FDCWD, sPath.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool CopyModificationTime(const std::string& sFrom, const std::string& sTo) {
    struct stat st;
    if (stat(sFrom.c_str(), &st) != 0)
        return false;
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    return utimensat(AT_FDCWD, sTo.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace container
