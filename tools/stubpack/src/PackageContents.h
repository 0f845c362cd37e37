// Walking the files of a package (all its pieces) with the installer's reader.
#ifndef STUBPACK_PACKAGECONTENTS_H
#define STUBPACK_PACKAGECONTENTS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace stubpack {

struct FileEntry {
    std::string sName;
    std::uint32_t nStamp = 0; // stamp of the file's first block
    std::uint64_t nSize = 0;  // content of all its blocks
    bool bMain = false;
    std::string sParams;
};

struct PackageContents {
    std::vector<std::string> pieces; // paths of the pieces read
    std::vector<FileEntry> files;    // in the order of their first block
    bool bChecksumOk = true;         // every piece read passes its check sum
    std::string sError;              // a damaged block or a missing piece
};

// Receives the content of each block that carries a file.
using ContentReceiver =
    std::function<void(const std::string& sName, const char* pData, std::size_t n)>;

// Reads the blocks of the package at sPath and of the pieces that follow it.
// False when it is not a package or a block is damaged (sError says which).
bool ReadPackageContents(const std::string& sPath, PackageContents& contents,
                         const ContentReceiver& receiver = ContentReceiver());

} // namespace stubpack

#endif
