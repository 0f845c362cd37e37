// The package run as the start-up window's work: its first tick unpacks the
// package (or fetches the real one), runs the main program and ends the
// window with that program's exit code.
#ifndef STUB_STARTUP_PACKAGERUN_H
#define STUB_STARTUP_PACKAGERUN_H

namespace container {
class TGFileInfo;
}

// Sets the window's timer action; info is the running program's container
// and lives until the window has ended.
void InstallPackageRun(const container::TGFileInfo& info);
// The run's exit code once the window has ended.
int PackageRunExitCode();

#endif
