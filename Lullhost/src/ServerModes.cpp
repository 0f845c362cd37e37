#include "ServerModes.h"

#include "SshServer.h"
#include "zeb-tools-trace.h"

#include <memory>

namespace {

// Mode values of the command line.
enum { MODE_CHECK_AUTH = 1, MODE_CHECK_SRV_MODE = 3, MODE_REBOOT = 5, MODE_SUSPEND = 6 };

int run_on_host(SshSrv::ESXiServer& server, const ServerModeArgs& args) {
    const Env::String listfile(args.listfile);
    switch (args.mode) {
    case MODE_CHECK_AUTH:
        return server.Login();
    case MODE_CHECK_SRV_MODE: {
        SshCodes code = server.Login();
        if (code != SSH_SUCCESS)
            return code;
        if (server.GetMaintenanceMode()) {
            ZebTrace(TRACE_DEBUG, "main", "VMWare host is in maintenanace mode\n");
            return SSH_SUCCESS;
        }
        ZebTrace(TRACE_DEBUG, "main", "VMWare host is not in maintenance mode\n");
        return SSH_VERIFY_ERR;
    }
    case MODE_REBOOT: {
        if (!server.Load(listfile)) {
            ZebTrace(TRACE_ERROR, "main", "can't read esxi server structure from xml\n");
            return SSH_INTERNAL_ERR;
        }
        SshCodes code = server.Reboot();
        server.Save(listfile);
        return code;
    }
    case MODE_SUSPEND: {
        int code = server.Suspend();
        if (!server.Save(listfile)) {
            ZebTrace(TRACE_ERROR, "main", "can't write esxi server structure to xml\n");
            code = SSH_INTERNAL_ERR;
        }
        return code;
    }
    default:
        ZebTrace(TRACE_ERROR, "main", "Invalid tool mode\n");
        return SSH_INVALID_PARAM_ERR;
    }
}

} // namespace

int run_server_mode(const ServerModeArgs& args) {
    std::unique_ptr<SshSrv::ESXiServer> server;
    try {
        server.reset(new SshSrv::ESXiServer(Env::String(args.host), Env::String(args.user),
                                            Env::String(args.password)));
        server->SetTimeout(args.timeout);
        int code = server->Init();
        if (code == SSH_SUCCESS)
            code = run_on_host(*server, args);
        server.reset();
        return code;
    } catch (...) {
        ZebTrace(TRACE_ERROR, "main", "\nProgram execution error\n");
        return SSH_INTERNAL_ERR;
    }
}
