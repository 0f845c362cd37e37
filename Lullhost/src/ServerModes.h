// The run modes against one ESXi host. Kept apart from ToolOptions.h so that the
// result codes of the SSH library and of the command line never meet in one
// translation unit.
#ifndef LULLHOST_SERVER_MODES_H
#define LULLHOST_SERVER_MODES_H

#include <string>

struct ServerModeArgs {
    int mode;
    std::string host;
    std::string user;
    std::string password;
    std::string listfile;
    int timeout; // seconds
};

// Runs one mode over one SSH session; returns the exit code.
int run_server_mode(const ServerModeArgs& args);

#endif
