// Drives, folders and the running program's file.
#ifndef STUB_PLATFORM_FILES_H
#define STUB_PLATFORM_FILES_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace plat {

// Separator of path items.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Whether the file system ignores the case of names (Windows) or not.
#ifdef _WIN32
constexpr bool kNamesIgnoreCase = true;
#else
constexpr bool kNamesIgnoreCase = false;
#endif

// Values of the system's drive types (DRIVE_*).
enum DriveType : int {
    DRIVE_TYPE_UNKNOWN = 0,
    DRIVE_TYPE_NO_ROOT = 1,
    DRIVE_TYPE_REMOVABLE = 2,
    DRIVE_TYPE_FIXED = 3,
    DRIVE_TYPE_REMOTE = 4,
    DRIVE_TYPE_CDROM = 5,
    DRIVE_TYPE_RAMDISK = 6,
};

// Bytes available to the caller on the volume that holds path; 0 when it
// cannot be asked. On Windows the first folder below the drive root is asked,
// then the root; on POSIX the nearest existing folder of path.
double free_disk_space(const std::string& path);

// Allocation unit of the volume named by the start of path ("C:\" on Windows,
// the nearest existing folder on POSIX); 0 when it cannot be asked.
std::uint32_t cluster_size(const std::string& path);

// Kind of the volume that holds path.
DriveType drive_type(const std::string& path);

// Full path of the running program file.
std::string program_path();

// The process command line as one text, the program as its first item
// (GetCommandLineA on Windows; on POSIX the arguments joined by blanks,
// items with blanks in double quotes).
std::string command_line();

// Folders without a trailing separator; empty when unknown. POSIX maps the
// Windows folder to "/etc" and the system folder to "/usr/lib"; the temporary
// folder is $TMPDIR or "/tmp".
std::string temp_folder();
std::string windows_folder();
std::string system_folder();

// Where an alternative temporary root may go, in order of preference:
// "C:\TEMP", "D:\TEMP", "E:\TEMP" for those that are fixed disks (Windows);
// /var/tmp and the user's cache folder when they are fixed file systems
// (POSIX).
std::vector<std::string> alternative_temp_bases();

// Whether two paths lie on one volume: the same drive letter (Windows), the
// same file system of their nearest existing folders (POSIX).
bool same_volume(const std::string& a, const std::string& b);

// What a path names, without following a final symbolic link or junction.
enum class PathKind { None, File, Folder, Link };
PathKind path_kind(const std::string& path);

// Creates exactly this folder (its parent must exist); owner-only access on
// POSIX when asked. False when anything of that name exists already.
bool make_folder(const std::string& path, bool ownerOnly);

// Removes an empty folder, or a link or junction (never what it points to).
bool remove_folder(const std::string& path);

// Removes a file or a link; clearAttributes first drops read-only, hidden and
// system attributes (Windows).
bool remove_file(const std::string& path, bool clearAttributes);

struct FolderEntry {
    std::string name;
    PathKind kind = PathKind::None;
};
// The entries of a folder without "." and "..". False when it cannot be read.
bool list_folder(const std::string& folder, std::vector<FolderEntry>& out);

// Size of a file from its directory entry.
bool file_size(const std::string& path, std::uint64_t& size);

// Modification time of a file as local calendar time (seconds resolution).
bool file_local_time(const std::string& path, LocalTime& out);
bool set_file_local_time(const std::string& path, const LocalTime& time);

// Marks a program file executable (POSIX mode 0755; nothing to do on Windows).
bool make_executable(const std::string& path);

// The folder the system reports for a shell-folder id (CSIDL_* values, see
// the layer's README for the POSIX mapping); empty when it has none. Windows
// asks SHGetFolderPathA or SHGetSpecialFolderPathA from the system folder's
// libraries, without creating the folder.
std::string special_folder(int csidl);

// Loads the libraries Stub's windows need from the system folder once, with
// the system's error boxes for missing files suppressed (Windows only).
void preload_system_libraries();

// The volume of a CD drive letter: opened for the eject request; -1 when it
// cannot be opened (always on POSIX).
std::intptr_t open_volume(char letter, bool write);
bool eject_volume(std::intptr_t volume);
void close_volume(std::intptr_t volume);

// Removes the running program file (and then folder, when given and empty)
// once the process has ended. Windows: a hidden batch file with a unique name
// that retries a bounded number of times; POSIX: unlinked at exit.
bool delete_after_exit(const std::string& program, const std::string& folder);

} // namespace plat

#endif
