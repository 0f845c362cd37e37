#include "FileOutput.h"

#include <windows.h>

namespace container {

bool MakeFolders(const std::string& sFolder) {
    if (sFolder.empty())
        return false;
    for (std::size_t i = 1; i <= sFolder.size(); ++i) {
        if (i < sFolder.size() && sFolder[i] != '\\' && sFolder[i] != '/')
            continue;
        std::string part = sFolder.substr(0, i);
        // Drive roots ("C:") and UNC prefixes fail here harmlessly.
        CreateDirectoryA(part.c_str(), nullptr);
    }
    DWORD attributes = GetFileAttributesA(sFolder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& sPath) {
    return GetFileAttributesA(sPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool OutputFile::Open(const std::string& sPath, bool bAppend, bool) {
    Close();
    HANDLE h = CreateFileA(sPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           bAppend ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    if (bAppend) {
        LARGE_INTEGER zero{};
        if (!SetFilePointerEx(h, zero, nullptr, FILE_END)) {
            CloseHandle(h);
            return false;
        }
    }
    m_nHandle = reinterpret_cast<std::intptr_t>(h);
    return true;
}

bool OutputFile::Write(const void* pData, std::size_t n) {
    const char* p = static_cast<const char*>(pData);
    while (n > 0) {
        DWORD chunk = n > 0x10000000 ? 0x10000000 : static_cast<DWORD>(n);
        DWORD done = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(m_nHandle), p, chunk, &done, nullptr) || done == 0)
            return false;
        p += done;
        n -= done;
    }
    return true;
}

bool OutputFile::Close() {
    if (m_nHandle == -1)
        return true;
    bool ok = CloseHandle(reinterpret_cast<HANDLE>(m_nHandle)) != 0;
    m_nHandle = -1;
    return ok;
}

namespace {

bool SetWriteTime(const std::string& sPath, const FILETIME& time) {
    HANDLE h = CreateFileA(sPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = SetFileTime(h, nullptr, nullptr, &time) != 0;
    CloseHandle(h);
    return ok;
}

} // namespace

bool SetDosStamp(const std::string& sPath, std::uint32_t nStamp) {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(static_cast<WORD>(nStamp >> 16), static_cast<WORD>(nStamp),
                               &local) ||
        !LocalFileTimeToFileTime(&local, &utc))
        return false;
    return SetWriteTime(sPath, utc);
}

bool CopyModificationTime(const std::string& sFrom, const std::string& sTo) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(sFrom.c_str(), GetFileExInfoStandard, &data))
        return false;
    return SetWriteTime(sTo, data.ftLastWriteTime);
}

} // namespace container
