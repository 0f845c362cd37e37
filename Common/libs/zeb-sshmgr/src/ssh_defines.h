// Session states and handle types shared by the SSH session library and its users.
#ifndef ZEB_SSH_DEFINES_H
#define ZEB_SSH_DEFINES_H

#include "SshCodes.h"

#include <sys/types.h>

// How far an SSH run got; a failure is mapped to a result code by the state reached.
enum ExecState {
    EXEC_INIT = 0,
    EXEC_STARTING = 1,
    EXEC_CONNECTING = 2,
    EXEC_KEY_EXCHANGE = 3,
    EXEC_LOGIN = 4,
    EXEC_REMOTE = 5,
    EXEC_REQUEST = 6,
    EXEC_RESPONSE = 7,
    EXEC_REMOTE_FINISH = 8,
    EXEC_QUIT = 9,
    EXEC_TERMINATE = 10,
    EXEC_TERMINATED = 11,
    EXEC_CANCELED_BY_TIMEOUT = 12
};

// The result code of a run that failed in the given state; curr_code when the state is no failure.
SshCodes execstate_to_exit_code(SshCodes curr_code, ExecState state);

// Texts exchanged with the client live in buffers of this size (at most one byte less of text).
enum { SSH_BUF_SIZE = 4096 };

#ifdef _WIN32
typedef void* fd_handle; // a Win32 HANDLE
#define FD_NONE nullptr
// A started child: its Win32 process handle, which a pid_t (an int) cannot hold.
typedef void* proc_handle;
#define PROC_NONE nullptr
// Answers to the client's prompts end like lines typed on the console.
#define SSH_LINE_END "\r\n"
// The Win32 standard-handle identifiers, unless <windows.h> already gave them.
#ifndef STD_INPUT_HANDLE
#define STD_INPUT_HANDLE ((unsigned long)-10)
#define STD_OUTPUT_HANDLE ((unsigned long)-11)
#define STD_ERROR_HANDLE ((unsigned long)-12)
#endif
#else
typedef int fd_handle;
#define FD_NONE (-1)
// A started child: its process id.
typedef pid_t proc_handle;
#define PROC_NONE 0
#define SSH_LINE_END "\n"
enum { STD_INPUT_HANDLE = 0, STD_OUTPUT_HANDLE = 1, STD_ERROR_HANDLE = 2 };
#endif

#endif
