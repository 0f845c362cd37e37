// Line splitting and tokens for the answers of a remote shell; the results go
// back into the server object that sent the command.
#ifndef LULLHOST_CLI_PARSER_H
#define LULLHOST_CLI_PARSER_H

#include "EnvString.h"
#include "SshCodes.h"

namespace SshSrv {

class SshServer;

class SshCommand {
public:
    enum { SSH_CMD_UNKNOWN = 0, SSH_CMD_ERROR = 1, SSH_CMD_LAST = 2 };
};

class CliParser {
public:
    CliParser() = default;
    CliParser(const CliParser&) = delete;
    CliParser& operator=(const CliParser&) = delete;
    virtual ~CliParser() = default;

    // Remembers the command and the owner for this answer; the subclass
    // decides the result.
    virtual SshCodes Parse(const char* response, int command, SshServer* owner);
    virtual SshCodes ParseLine(const char* line) = 0;
    virtual bool HasError(const char* response) const = 0;

    // Hands every non-empty line to ParseLine; the first non-zero result stops.
    SshCodes ParseLines(const char* response);
    // Next token from pos on; pos ends after the separator that closed it.
    Env::String GetToken(const char* line, int& pos) const;

protected:
    int m_iCommand = SshCommand::SSH_CMD_UNKNOWN;
    SshServer* m_pOwner = nullptr;
};

} // namespace SshSrv

#endif
