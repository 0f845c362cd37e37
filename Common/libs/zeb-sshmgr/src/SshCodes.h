// Result codes shared by the ESXi tool and its SSH session library.
#ifndef ZEB_SSH_CODES_H
#define ZEB_SSH_CODES_H

// Result of every operation of the ESXi tool; also its process exit code.
enum SshCodes {
    SSH_SUCCESS = 0,
    SSH_INVALID_PARAM_ERR = 1,
    SSH_INTERNAL_ERR = 2,
    SSH_CANNOT_CONNECT_ERR = 3,
    SSH_CLIENT_NOT_FOUND_ERR = 4,
    SSH_CLIENT_ERR = 5,
    SSH_AUTH_ERR = 6,
    SSH_REMOTE_PARSER_ERR = 7,
    SSH_REMOTE_TIMEOUT_ERR = 8,
    SSH_CLI_INVALID_PARAM_ERR = 9,
    SSH_CLI_NO_INFO_ERR = 10,
    SSH_CLI_CMD_FAILED_ERR = 11,
    SSH_FLASHING_LOGIC_ERR = 12,
    SSH_VERIFY_ERR = 13,
    SSH_PARSER_CANT_PARSE = 14,
    SSH_PARSER_IN_PROGRESS = 15,
    // The run was stopped by an interrupt or termination signal (Ctrl+C, console closed).
    SSH_INTERRUPTED = 16
};

#endif
