#include "ServerModes.h"
#include "ToolOptions.h"

int run_mode(const ToolOptions& options) {
    ServerModeArgs args;
    args.mode = options.mode.value;
    args.host = options.host.value;
    args.user = options.user.value;
    args.password = options.password.value;
    args.listfile = options.listfile.value;
    args.timeout = options.timeout.value;
    return run_server_mode(args);
}
