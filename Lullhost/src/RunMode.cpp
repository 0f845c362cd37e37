#include "SshServer.h"
#include "ToolOptions.h"
#include "ssh_io.h"
#include "zeb-tools-trace.h"

#include <memory>
#include <sys/stat.h>

namespace {

bool file_exists(const Env::String& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The list file is the only record of which VMs to resume, so suspend_vms checks it before it
// changes anything on the host: an earlier list file must be readable (its marks may still be
// needed) and a new one must be writable.
int check_list_file_for_suspend(const Env::String& listfile,
                                std::unique_ptr<SshSrv::ESXiServer>& earlier) {
    if (file_exists(listfile)) {
        earlier.reset(new SshSrv::ESXiServer());
        if (!earlier->Load(listfile)) {
            ZebTrace(TRACE_ERROR, "main", "'%s' is no readable VM list file; it is left as it is\n",
                     listfile.c_str());
            return SSH_INTERNAL_ERR;
        }
    }
    if (!Env::XmlObject::CanSave(listfile)) {
        ZebTrace(TRACE_ERROR, "main", "can't write esxi server structure to xml\n");
        return SSH_INTERNAL_ERR;
    }
    return SSH_SUCCESS;
}

int suspend(SshSrv::ESXiServer& server, const SshSrv::ESXiServer* earlier,
            const Env::String& listfile) {
    int code = server.Suspend();
    // Without the host's listing the run learned nothing: an earlier file stays as it is.
    if (!server.HasListing() && earlier != nullptr) {
        ZebTrace(TRACE_DEBUG, "main", "nothing learned from the host, list file kept\n");
        return code;
    }
    if (earlier != nullptr)
        server.CarryOverMarks(*earlier);
    // The file is written whatever the suspend reached: it holds the marks.
    if (!server.Save(listfile)) {
        ZebTrace(TRACE_ERROR, "main", "can't write esxi server structure to xml\n");
        code = SSH_INTERNAL_ERR;
    }
    return code;
}

int run_on_host(SshSrv::ESXiServer& server, const ToolOptions& options,
                const SshSrv::ESXiServer* earlier) {
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
        SshCodes code = server.Reboot();
        server.Save(listfile);
        return code;
    }
    case SRV_OP_SUSPEND:
        return suspend(server, earlier, listfile);
    default:
        ZebTrace(TRACE_ERROR, "main", "Invalid tool mode\n");
        return SSH_INVALID_PARAM_ERR;
    }
}

} // namespace

int run_mode(const ToolOptions& options) {
    std::unique_ptr<SshSrv::ESXiServer> server;
    try {
        // Ctrl+C and the like stop the run at its next step; the list file is still written and
        // the client ended below.
        install_interrupt_handlers();
        server.reset(
            new SshSrv::ESXiServer(options.host.value, options.user.value, options.password.value));
        server->SetTimeout(options.timeout.value);
        server->SetFast(options.fast);
        server->SetParallel(options.parallel.value);

        // The list file is checked before the client starts, so that a bad file changes nothing.
        std::unique_ptr<SshSrv::ESXiServer> earlier;
        int code = SSH_SUCCESS;
        if (options.mode.value == SRV_OP_SUSPEND) {
            code = check_list_file_for_suspend(options.listfile.value, earlier);
        } else if (options.mode.value == SRV_OP_REBOOT && !server->Load(options.listfile.value)) {
            ZebTrace(TRACE_ERROR, "main", "can't read esxi server structure from xml\n");
            code = SSH_INTERNAL_ERR;
        }
        if (code == SSH_SUCCESS)
            code = server->Init();
        if (code == SSH_SUCCESS)
            code = run_on_host(*server, options, earlier.get());
        if (interrupt_requested()) {
            ZebTrace(TRACE_ERROR, "main", "interrupted\n");
            code = SSH_INTERRUPTED;
        }
        // Ends the SSH client before the exit line is printed.
        server.reset();
        return code;
    } catch (...) {
        ZebTrace(TRACE_ERROR, "main", "\nProgram execution error\n");
        return SSH_INTERNAL_ERR;
    }
}
