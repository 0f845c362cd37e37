// Writing extracted files: folders, appends, packed DOS stamps. One
// implementation per platform (posix/, win32/); only the extraction uses it.
#ifndef STUB_CONTAINER_FILEOUTPUT_H
#define STUB_CONTAINER_FILEOUTPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace container {

// Creates a folder with every missing parent; true when it exists afterwards.
bool MakeFolders(const std::string& sFolder);
// Anything (file, folder, link) has that name.
bool PathExists(const std::string& sPath);

// One file open for writing. Links are not followed on POSIX, so a planted
// link in the folder cannot redirect the bytes.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { Close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // bAppend keeps what the file holds, else it is emptied. A new file is
    // created executable with bProgram (POSIX; Windows needs no mark).
    bool Open(const std::string& sPath, bool bAppend, bool bProgram = false);
    bool Write(const void* pData, std::size_t n);
    // False when buffered bytes could not be written.
    bool Close();
    bool IsOpen() const { return m_nHandle != -1; }

private:
    std::intptr_t m_nHandle = -1;
};

// Sets a file's modification time from a packed DOS date and time (local).
bool SetDosStamp(const std::string& sPath, std::uint32_t nStamp);
// Gives sTo the modification time of sFrom.
bool CopyModificationTime(const std::string& sFrom, const std::string& sTo);

} // namespace container

#endif
