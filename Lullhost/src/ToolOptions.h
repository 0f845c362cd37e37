// Command-line options of Lullhost and the result codes shared by the whole tool.
#ifndef LULLHOST_TOOL_OPTIONS_H
#define LULLHOST_TOOL_OPTIONS_H

#include "EnvString.h"
#include "SshCodes.h"

enum ServerOperations {
    SRV_OP_UNDEF = 0,
    SRV_OP_CHECK_AUTH = 1,
    SRV_OP_CHECK_VERSION = 2,
    SRV_OP_CHECK_SRV_MODE = 3,
    SRV_OP_FLASH = 4,
    SRV_OP_REBOOT = 5,
    SRV_OP_SUSPEND = 6
};

// The keyword lives in the record so that the parser and its messages share one text.
struct StringParameter {
    Env::String name;
    Env::String value;

    bool IsEmpty() const { return value.empty(); }
};

struct IntParameter {
    Env::String name;
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
    // Answers are taken as soon as the host's prompt shows they are complete.
    bool fast = false;
    // VMs suspended or powered on at once, each over a login of its own.
    IntParameter parallel{"parallel", 1};
};

// Fills options; 0 when the command line is complete, 1 after reporting an
// error. The help keywords print the usage text and end the process with 0.
int parse_args(int argc, char** argv, ToolOptions& options);

void usage();

// Runs the selected mode against the host; returns the exit code.
int run_mode(const ToolOptions& options);

#endif
