// The command line as Stub reads it. Switches are written "/NAME=value" or
// "/word"; names match ignoring case.
#ifndef STUB_STARTUP_SWITCHES_H
#define STUB_STARTUP_SWITCHES_H

#include <cstdint>
#include <string>

// The arguments of the running process (its own name removed).
std::string CommandArgs();
// The same from a given raw command line and program path.
std::string CommandArgs(const std::string& commandLine, const std::string& programPath);

std::string SwitchValue(const std::string& name, const std::string& def = "");
std::int64_t SwitchInt(const std::string& name, std::int64_t def);
bool HasSwitch(const std::string& name);

// Lookups in a given argument text.
std::string SwitchValueIn(const std::string& args, const std::string& name,
                          const std::string& def = "");
std::int64_t SwitchIntIn(const std::string& args, const std::string& name, std::int64_t def);
bool HasSwitchIn(const std::string& args, const std::string& name);

#endif
