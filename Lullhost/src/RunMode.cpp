#include "SshServer.h"
#include "ToolOptions.h"
#include "zeb-tools-trace.h"

#include <memory>

namespace {

int run_on_host(SshSrv::ESXiServer& server, const ToolOptions& options) {
    const Env::String& listfile = options.listfile.value;
    switch (options.mode.value) {
    case SRV_OP_CHECK_AUTH:
        return server.Login();
    case SRV_OP_CHECK_SRV_MODE: {
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
    case SRV_OP_REBOOT: {
        if (!server.Load(listfile)) {
            ZebTrace(TRACE_ERROR, "main", "can't read esxi server structure from xml\n");
            return SSH_INTERNAL_ERR;
        }
        SshCodes code = server.Reboot();
        server.Save(listfile);
        return code;
    }
    case SRV_OP_SUSPEND: {
        // The file is written whatever the suspend reached: it holds the marks.
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

int run_mode(const ToolOptions& options) {
    std::unique_ptr<SshSrv::ESXiServer> server;
    try {
        server.reset(
            new SshSrv::ESXiServer(options.host.value, options.user.value, options.password.value));
        server->SetTimeout(options.timeout.value);
        int code = server->Init();
        if (code == SSH_SUCCESS)
            code = run_on_host(*server, options);
        // Ends the SSH client before the exit line is printed.
        server.reset();
        return code;
    } catch (...) {
        ZebTrace(TRACE_ERROR, "main", "\nProgram execution error\n");
        return SSH_INTERNAL_ERR;
    }
}
