// Drives, folders and the running program's file.
#ifndef STUB_PLATFORM_FILES_H
#define STUB_PLATFORM_FILES_H

#include <cstdint>
#include <string>

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

} // namespace plat

#endif
