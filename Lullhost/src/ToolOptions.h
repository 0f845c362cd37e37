// Command-line options of Lullhost and the result codes shared by the whole tool.
#ifndef LULLHOST_TOOL_OPTIONS_H
#define LULLHOST_TOOL_OPTIONS_H

#include <string>

enum ServerOperations {
    SRV_OP_UNDEF = 0,
    SRV_OP_CHECK_AUTH = 1,
    SRV_OP_CHECK_VERSION = 2,
    SRV_OP_CHECK_SRV_MODE = 3,
    SRV_OP_FLASH = 4,
    SRV_OP_REBOOT = 5,
    SRV_OP_SUSPEND = 6
};

// Every operation's result and the process exit code.
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
    SSH_PARSER_IN_PROGRESS = 15
};

// The keyword lives in the record so that the parser and its messages share one text.
struct StringParameter {
    std::string name;
    std::string value;

    bool IsEmpty() const { return value.empty(); }
};

struct IntParameter {
    std::string name;
    int value;
};

struct ToolOptions {
    IntParameter mode{"mode", SRV_OP_UNDEF};
    StringParameter listfile{"ListFile", "esxi_vms.xml"};
    StringParameter host{"host", ""};
    StringParameter user{"usr", ""};
    StringParameter password{"pwd", ""};
    IntParameter tracemode{"D", 0};
    IntParameter timeout{"timeoutminutes", 300}; // seconds
};

// Fills options; 0 when the command line is complete, 1 after reporting an
// error. The help keywords print the usage text and end the process with 0.
int parse_args(int argc, char** argv, ToolOptions& options);

void usage();

// Runs the selected mode against the host; returns the exit code.
int run_mode(const ToolOptions& options);

#endif
