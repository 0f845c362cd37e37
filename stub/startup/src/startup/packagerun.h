// The package run as the start-up window's work: its first tick unpacks the
// package (or fetches the real one), runs the main program and ends the
// window with that program's exit code.
#ifndef STUB_STARTUP_PACKAGERUN_H
#define STUB_STARTUP_PACKAGERUN_H

#include <string>

namespace container {
class TGFileInfo;
}

// Sets the window's timer action; info is the running program's container
// and lives until the window has ended.
void InstallPackageRun(const container::TGFileInfo& info);
// The run's exit code once the window has ended.
int PackageRunExitCode();

// Runs a package the update agent fetched, as a package run would, and
// removes the extraction folder afterwards; true when the installed program
// removed the shared atom (it took over the installation).
bool RunUpdatePackage(const container::TGFileInfo& info, const std::string& sPackage,
                      const std::string& sAgentName, bool bForeground,
                      const std::string& sArguments);

#endif
