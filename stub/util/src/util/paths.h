// The running program's path and the system folders, each passed through
// WithBackslash with the caller's choice of a trailing backslash.
#ifndef STUB_UTIL_PATHS_H
#define STUB_UTIL_PATHS_H

#include <string>

std::string ProgramPath(bool nameOnly = false);
std::string ProgramFolder(bool add);
std::string WindowsFolder(bool add);
std::string SystemFolder(bool add);
std::string TempFolder(bool add);

#endif
