// Writing packages: a program image followed by a container with languages,
// header and download records, zlib blocks of the files and the trailer.
#ifndef STUBPACK_PACKAGEWRITER_H
#define STUBPACK_PACKAGEWRITER_H

#include <cstdint>
#include <string>
#include <vector>

namespace stubpack {

struct PackFile {
    std::string sSource;      // path of the file to pack
    std::string sName;        // plain file name in the package
    std::uint32_t nStamp = 0; // packed DOS date and time
    bool bMain = false;
    std::string sParams; // parameter text of the main program
};

struct PackLanguage {
    std::string sName;
    std::vector<std::string> entries; // "key=value"
};

struct BuildRequest {
    std::string sImage; // the program image the container follows
    std::vector<PackFile> files;
    std::vector<PackLanguage> languages;

    // Header record; the placeholders mark a package without update function.
    std::string sUpdateUrl = "http://";
    std::string sInfoName = ".ini";
    std::string sAgentName = ".exe";
    std::string sPackageToken; // clear text, scrambled when written
    bool bQuiet = false;

    // Download record: present when bDownload. A package without files is then
    // a launcher (download mode) that fetches the real package the record
    // names; a package with files only carries the record, so that the real
    // package a launcher fetches can show the launcher's download token.
    bool bDownload = false;
    std::string sDownloadUrl;
    std::string sDownloadName;
    bool bAlwaysDownload = false;
    std::string sDownloadToken;
    std::uint64_t nDownloadSize = 0;

    std::uint8_t nOptions = 0; // option bits except "another piece follows"
    bool bAskDownload = false;
    bool bWriteAgent = false;
    bool bIsAgent = false;
    bool bZeroTextRecordByte = false; // store trailer byte 1 as 0 (read as 2)

    std::uint64_t nPieceSize = 0;      // 0: one file; else pieces NAME.001, NAME.002, ...
    std::size_t nBlockSize = 1u << 20; // file bytes per block at most
};

// Writes the package (or its pieces) and returns the paths written. On
// failure sError says why and nothing is left under the output names.
bool BuildPackage(const BuildRequest& request, const std::string& sOutput,
                  std::vector<std::string>& written, std::string& sError);

// Scrambles a token so that the installer's unscrambling gives it back.
std::string ScrambleToken(const std::string& sToken);

// Packed DOS date and time of a local time; 0 before 1980 or after 2107.
std::uint32_t DosStamp(int year, int month, int day, int hour, int minute, int second);
// Modification time of a file as a packed DOS stamp; 0 when unknown.
std::uint32_t FileDosStamp(const std::string& sPath);

// True for a name that can stand directly in a folder: no path parts, no
// characters that file names or the package's lists cannot carry.
bool IsPlainFileName(const std::string& sName);

// Reads a language file of key=value lines; empty lines and lines starting
// with ";" or "#" are skipped.
bool ReadLanguageFile(const std::string& sPath, PackLanguage& language, std::string& sError);

} // namespace stubpack

#endif
