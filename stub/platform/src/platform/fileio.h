// File contents: an exclusively created file written through an open handle,
// sizes, renames, deletion and folder listings.
#ifndef STUB_PLATFORM_FILEIO_H
#define STUB_PLATFORM_FILEIO_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

#ifdef _WIN32
constexpr bool kFileNamesIgnoreCase = true;
constexpr const char* kPathSeparators = "\\/";
#else
constexpr bool kFileNamesIgnoreCase = false;
constexpr const char* kPathSeparators = "/";
#endif

using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

// Creates path for writing; fails (kNoFile) when anything already has that
// name, so a link or another process's file is never written through.
FileHandle create_new_file(const std::string& path);
// Writes all bytes; false when the disk refuses any.
bool write_file(FileHandle file, const void* data, std::size_t size);
// False when the last buffered bytes could not be written.
bool close_file(FileHandle file);

// Size of a regular file; -1 when there is none.
std::int64_t file_size(const std::string& path);
bool delete_file(const std::string& path);
// Renames from to to, replacing a file named to.
bool replace_file(const std::string& from, const std::string& to);
// Names (without folder) of the entries of a folder, "." and ".." left out.
std::vector<std::string> folder_entries(const std::string& folder);

} // namespace plat

#endif
