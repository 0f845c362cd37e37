// The host's vim-cmd command texts and the parsing of their answers.
#ifndef LULLHOST_ESXI_CLI_PARSER_H
#define LULLHOST_ESXI_CLI_PARSER_H

#include "CliParser.h"

namespace SshSrv {

// A VM identifier as the host lists it: decimal digits that fit an int. Anything else is damaged
// and is never put into a command line, where the host's shell would run what follows it.
bool is_vm_id(const Env::String& id);

class ESXiCommand : public SshCommand {
public:
    enum {
        ESX_CMD_FIRST = SSH_CMD_LAST,
        ESX_CMD_SHOW_COMMANDS = ESX_CMD_FIRST,
        ESX_CMD_GET_ALLVMS = 3,
        ESX_CMD_GET_VMSTATUS = 4,
        ESX_CMD_SUSPEND_VM = 5,
        ESX_CMD_POWERON_VM = 6,
        ESX_CMD_POWEROFF_VM = 7,
        ESX_CMD_GET_MAINTENANCE = 8,
        ESX_CMD_ENTER_MAINTENANCE = 9,
        ESX_CMD_EXIT_MAINTENANCE = 10,
        ESX_CMD_LAST = 11
    };

    // Each text ends with the line end that makes the remote shell run it.
    static Env::String GetESX_CMD_SHOW_COMMANDS();
    static Env::String GetESX_CMD_GET_ALLVMS();
    static Env::String GetESX_CMD_GET_VMSTATUS(const Env::String& id);
    static Env::String GetESX_CMD_SUSPEND_VM(const Env::String& id);
    static Env::String GetESX_CMD_POWERON_VM(const Env::String& id);
    static Env::String GetESX_CMD_POWEROFF_VM(const Env::String& id);
    static Env::String GetESX_CMD_GET_MAINTENANCE();
    static Env::String GetESX_CMD_ENTER_MAINTENANCE();
    static Env::String GetESX_CMD_EXIT_MAINTENANCE();
};

// The command text of an identifier, e.g. GET_ESXI_COMMAND(ESX_CMD_SUSPEND_VM, id).
#define GET_ESXI_COMMAND(cmd, ...) SshSrv::ESXiCommand::Get##cmd(__VA_ARGS__)

// True when the text holds a shell prompt of the host: "~ #" on older
// releases, "[user@host:~]" on current ones.
bool contains_prompt(const char* text);

class ESXiCliParser : public CliParser {
public:
    SshCodes Parse(const char* response, int command, SshServer* owner) override;
    SshCodes ParseLine(const char* line) override;
    bool HasError(const char* response) const override;

    SshCodes ParseShowCommands(const char* response);
    SshCodes ParseSuspendVm(const char* response);
    SshCodes ParsePowerOnVm(const char* response);
    SshCodes ParsePowerOffVm(const char* response);
    SshCodes ParseGetMaintenance(const char* response);
    SshCodes ParseGetAllVmsLine(const char* line);
    SshCodes ParseGetVmStatusLine(const char* line);

private:
    SshCodes ParsePowerCommand(const char* response, const char* progress);
};

} // namespace SshSrv

#endif
