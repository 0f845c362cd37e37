#include "ESXiCliParser.h"

#include "SshServer.h"
#include "zeb-tools-trace.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace SshSrv {

namespace {

bool contains(const char* text, const char* what) {
    return text != nullptr && std::strstr(text, what) != nullptr;
}

// Commands travel in a 128-byte buffer: a longer one is cut, line end included.
Env::String format_command(const char* fmt, const Env::String& id) {
    char buffer[128] = {};
    std::snprintf(buffer, sizeof(buffer), fmt, id.c_str());
    return Env::String(buffer);
}

} // namespace

Env::String ESXiCommand::GetESX_CMD_SHOW_COMMANDS() {
    return Env::String("vim-cmd\n");
}

Env::String ESXiCommand::GetESX_CMD_GET_ALLVMS() {
    return Env::String("vim-cmd vmsvc/getallvms\n");
}

Env::String ESXiCommand::GetESX_CMD_GET_VMSTATUS(const Env::String& id) {
    return format_command("vim-cmd vmsvc/power.getstate %s\n", id);
}

Env::String ESXiCommand::GetESX_CMD_SUSPEND_VM(const Env::String& id) {
    return format_command("vim-cmd vmsvc/power.suspend %s\n", id);
}

Env::String ESXiCommand::GetESX_CMD_POWERON_VM(const Env::String& id) {
    return format_command("vim-cmd vmsvc/power.on %s\n", id);
}

Env::String ESXiCommand::GetESX_CMD_POWEROFF_VM(const Env::String& id) {
    return format_command("vim-cmd vmsvc/power.off %s\n", id);
}

Env::String ESXiCommand::GetESX_CMD_GET_MAINTENANCE() {
    return Env::String("vim-cmd hostsvc/hostsummary | grep inMaintenanceMode\n");
}

Env::String ESXiCommand::GetESX_CMD_ENTER_MAINTENANCE() {
    return Env::String("vim-cmd hostsvc/maintenance_mode_enter\n");
}

Env::String ESXiCommand::GetESX_CMD_EXIT_MAINTENANCE() {
    return Env::String("vim-cmd hostsvc/maintenance_mode_exit\n");
}

bool contains_prompt(const char* text) {
    return contains(text, "~ #") || contains(text, ":~]");
}

SshCodes ESXiCliParser::Parse(const char* response, int command, SshServer* owner) {
    CliParser::Parse(response, command, owner);
    switch (m_iCommand) {
    case SshCommand::SSH_CMD_ERROR:
        ZebTrace(TRACE_DEBUG, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "Parse"),
                 "ESXi vim-cmd command failed\n");
        return SSH_CLI_CMD_FAILED_ERR;
    case ESXiCommand::ESX_CMD_SHOW_COMMANDS:
        return ParseShowCommands(response);
    case ESXiCommand::ESX_CMD_SUSPEND_VM:
        return ParseSuspendVm(response);
    case ESXiCommand::ESX_CMD_POWERON_VM:
        return ParsePowerOnVm(response);
    case ESXiCommand::ESX_CMD_POWEROFF_VM:
        return ParsePowerOffVm(response);
    case ESXiCommand::ESX_CMD_GET_MAINTENANCE:
        return ParseGetMaintenance(response);
    default:
        return ParseLines(response);
    }
}

bool ESXiCliParser::HasError(const char* response) const {
    try {
        if (contains(response, "not found") || contains(response, "Invalid command") ||
            contains(response, "syntax error:")) {
            ZebTrace(TRACE_DEBUG, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "HasError"),
                     "response contains error\n");
            return true;
        }
        return false;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "HasError"),
                 "ESXiCliParser::HasError error catched\n");
        return true;
    }
}

SshCodes ESXiCliParser::ParseLine(const char* line) {
    if (contains_prompt(line))
        return SSH_SUCCESS;
    ZebTrace(TRACE_DEBUG, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "ParseLine"), "parse line: %s\n",
             line);
    switch (m_iCommand) {
    case ESXiCommand::ESX_CMD_GET_ALLVMS:
        ParseGetAllVmsLine(line);
        return SSH_SUCCESS;
    case ESXiCommand::ESX_CMD_GET_VMSTATUS:
        ParseGetVmStatusLine(line);
        return SSH_SUCCESS;
    default:
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "ParseLine"),
                 "can't parse response line: unknown command type\n");
        return SSH_INTERNAL_ERR;
    }
}

SshCodes ESXiCliParser::ParseShowCommands(const char* response) {
    try {
        if (!contains(response, "Commands available"))
            return SSH_CLI_CMD_FAILED_ERR;
        ZebTrace(TRACE_DEBUG, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "ParseShowCommands"),
                 "show commands executed successfully\n");
        return SSH_SUCCESS;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "ParseShowCommands"),
                 "ESXiCliParser::ParseShowCommands error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

// The prompt after the answer means the command has finished; the progress
// line alone means it is still running.
SshCodes ESXiCliParser::ParsePowerCommand(const char* response, const char* progress) {
    if (contains_prompt(response))
        return SSH_SUCCESS;
    if (contains(response, progress))
        return SSH_PARSER_IN_PROGRESS;
    return SSH_CLI_CMD_FAILED_ERR;
}

SshCodes ESXiCliParser::ParseSuspendVm(const char* response) {
    return ParsePowerCommand(response, "Suspending VM:");
}

SshCodes ESXiCliParser::ParsePowerOnVm(const char* response) {
    return ParsePowerCommand(response, "Powering on VM:");
}

SshCodes ESXiCliParser::ParsePowerOffVm(const char* response) {
    return ParsePowerCommand(response, "Powering off VM:");
}

SshCodes ESXiCliParser::ParseGetMaintenance(const char* response) {
    const char* flag = response ? std::strstr(response, "inMaintenanceMode") : nullptr;
    if (flag == nullptr)
        return SSH_CLI_CMD_FAILED_ERR;
    // Only the flag's own line counts: the prompt that follows it names the
    // host on current releases, and a host name may well contain "true".
    const std::string line(flag, std::strcspn(flag, "\r\n"));
    if (line.find("true") != std::string::npos)
        return SSH_SUCCESS;
    if (line.find("false") != std::string::npos)
        return SSH_VERIFY_ERR;
    return SSH_CLI_CMD_FAILED_ERR;
}

bool is_vm_id(const Env::String& id) {
    if (id.empty() || id.size() > 10)
        return false;
    for (char c : id)
        if (c < '0' || c > '9')
            return false;
    return std::strtoll(id.c_str(), nullptr, 10) <= INT_MAX;
}

SshCodes ESXiCliParser::ParseGetAllVmsLine(const char* line) {
    try {
        if (m_pOwner == nullptr)
            return SSH_SUCCESS;
        if (contains(line, "Vmid") && contains(line, "Name") && contains(line, "File"))
            return SSH_SUCCESS;
        int pos = 0;
        Env::String id = GetToken(line, pos);
        Env::String name = GetToken(line, pos);
        // Not a VM line (an annotation running over several lines, a message of the host).
        if (!is_vm_id(id)) {
            ZebTrace(TRACE_DEBUG, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "ParseGetAllVmsLine"),
                     "line without a VM id skipped\n");
            return SSH_SUCCESS;
        }
        return m_pOwner->AddChild(id, name);
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "ParseGetAllVmsLine"),
                 "ESXiCliParser::ParseGetAllVmsLine error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

SshCodes ESXiCliParser::ParseGetVmStatusLine(const char* line) {
    try {
        if (m_pOwner == nullptr)
            return SSH_SUCCESS;
        if (contains(line, "Powered") || contains(line, "Suspended")) {
            ZebTrace(TRACE_DEBUG, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "ParseGetVmStatusLine"),
                     "vm status found: %s\n", line);
            m_pOwner->SetStatus(Env::String(line));
        }
        return SSH_SUCCESS;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiCliParser", "ParseGetVmStatusLine"),
                 "ESXiCliParser::ParseGetVmStatus error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

} // namespace SshSrv
