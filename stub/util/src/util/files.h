// Files and folders: free space, whole-file and partial reads and writes,
// deleting by mask and whole trees, the program deleting itself, ejecting a
// CD, packed DOS time stamps, the shell's special folders and the user and
// machine names behind the value placeholders.
#ifndef STUB_UTIL_FILES_H
#define STUB_UTIL_FILES_H

#include <cstdint>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "platform/types.h"

// Progress of file work: (mode, wParam, max, stop flag, step, position).
// Setting stop ends the work early.
using FileProgress = std::function<void(int mode, plat::WParam wParam, std::int64_t max, bool& stop,
                                        int step, std::int64_t position)>;

double FreeDiskSpace(const std::string& path);

// From offset to the end of the file, at most maxLen bytes when maxLen is not
// 0. False (and out empty) when the file is missing, the offset lies outside
// it or fewer bytes than expected could be read.
bool ReadFilePart(const std::string& path, std::uint64_t maxLen, std::string& out,
                  std::uint64_t offset);

// Writes data (replacing the file, or at its end with append), in chunks with
// progress when a callback is given or the data is longer than 1 MiB. A
// non-zero dosDate becomes the file's modification time once all was
// written. True when every byte was written.
bool WriteWholeFile(const std::string& path, const std::string& data, std::uint32_t dosDate,
                    bool append, const FileProgress& progress = nullptr);
bool AppendToFile(const std::string& path, const std::string& data, std::uint32_t dosDate = 0);
// The chunk size WriteWholeFile uses for length bytes (0: one write).
std::size_t WriteChunkSize(std::size_t length, bool withProgress);

std::uint64_t FileSize64(const std::string& path);

// Deletes the files a mask ("folder\*.tmp") matches; links are removed
// themselves, never followed. True when at least one was deleted.
bool DeleteByMask(const std::string& mask, bool clearAttributes);
// Windows wildcard matching ("*", "?"), ignoring case where file names do.
bool MatchesMask(const std::string& name, const std::string& pattern);

// Deletes folder with everything in it, depth first, never following a link
// or junction out of the tree (a link is removed, its target stays). The
// callback is asked (1, 0, 0, stop, 0, 0) before each direct subfolder; stop
// ends the walk. True when the folder existed and is gone.
bool RemoveTree(const std::string& folder, bool clearAttributes,
                const FileProgress& progress = nullptr);

// Copies a file over to (replacing it), keeping the modification time; the
// copy can be run as a program (POSIX mode 0755). True when complete.
bool CopyProgramFile(const std::string& from, const std::string& to);

// Creates folder and its missing parents; true when it exists afterwards.
bool ForceFolders(const std::string& folder);

// The running program file goes once the process has ended, then its folder
// when asked (and empty by then).
bool DeleteMySelf(bool removeFolder);

// Ejects the medium of path's drive when it is a CD drive.
bool EjectCD(const std::string& path);

// Packed DOS date and time (date in the high word) and local calendar time.
std::uint32_t PackDosDateTime(const plat::LocalTime& time);
plat::LocalTime UnpackDosDateTime(std::uint32_t dos);
// The file's modification time packed; 0 when unknown.
std::uint32_t FileDosDateTime(const std::string& path);

// The shell's special folders (with or without a trailing separator).
enum class SpecialFolder {
    MyDocuments,
    UserAppData,
    UserLocalAppData,
    AllUsersAppData,
    AllUsersDocuments,
    User,
    DocumentsAndSettings,
    AllUsers,
    UserStartMenu,
    AllUsersStartMenu,
    UserStartProgramMenu,
    AllUsersStartProgramMenu,
    UserDesktop,
    AllUsersDesktop,
};
std::string SpecialFolderPath(SpecialFolder folder, bool add);

// The values behind the user and machine placeholders, trimmed; empty when
// the system cannot tell.
std::string LoggedUserName();
std::string ComputerName();
std::string RegisteredOwner();
std::string RegisteredOrganization();
std::string CurrentDomainName();

#endif
