// What XmlDoc::Save needs from the platform to replace a file in one step.
#ifndef ENV_FILE_PLATFORM_H
#define ENV_FILE_PLATFORM_H

#include <cstdio>
#include <string>

namespace Env {
namespace file_platform {

// Creates a new, uniquely named, empty file in the folder of `target` and opens
// it for binary writing. The file is readable by others but never writable by
// them, whatever the umask; when `target` exists it gets no wider access than
// that file has. Null when the file cannot be created.
std::FILE* create_temp_beside(const std::string& target, std::string& temp_name);

// Flushes the file to the disk and closes it; false when any of that failed.
bool close_synced(std::FILE* file);

// Puts `temp_name` in place of `target` in one step (replacing an existing
// file), so a reader sees either the old or the new file, never a mix.
bool replace_file(const std::string& temp_name, const std::string& target);

void remove_file(const std::string& name);

} // namespace file_platform
} // namespace Env

#endif
