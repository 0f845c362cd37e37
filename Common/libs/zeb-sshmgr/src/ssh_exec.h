// Self-contained scripted SSH run (one loop that starts the client in verbose mode, answers its
// prompts and hands every settled block of output to a caller's parser), response helpers and a
// TCP probe of the SSH port. Not part of the Windows build.
#ifndef ZEB_SSH_EXEC_H
#define ZEB_SSH_EXEC_H

#include "ssh_defines.h"

#include <string>

struct exec_context {
    SshCodes cli_result;
    ExecState state;
    char ssh_path[SSH_BUF_SIZE];
    char ssh_args[SSH_BUF_SIZE];
    char password[64];
    char cmd[512];

    exec_context();
    ~exec_context();
    void SetCommand(const char* szCmd);
    void SetCommand(const std::string& sCmd);
    void ClearCmd();
};

// Examines one block of output, may leave an answer of at most max_sent bytes in sent; non-zero
// when it dealt with the block.
typedef int (*parser_handler)(const char* recv, char* sent, int max_sent, exec_context* cntx);
// Examines one line; 0 stops the walk.
typedef int (*line_parser_handler)(char* line, exec_context* cntx);

#ifndef _WIN32
typedef int SOCKET;
#define SOCKET_NONE (-1)
#endif

SshCodes get_ssh_cmd(exec_context* cntx, const char* username, const char* host);
// SSH_INTERNAL_ERR for missing arguments or pipes; otherwise SSH_SUCCESS with the outcome in the
// context's state and cli_result.
SshCodes ssh_exec(exec_context* cntx, parser_handler parser, int timeout);
// The command's output lines out of a block: echo and prompt line cut off.
void extract_response(char* recv, char* cmd, char* response, int size);
void response_parser(char* response, exec_context* cntx, line_parser_handler parser);
void release_cntx(exec_context** pp_cntx);

SshCodes tcp_connect(const char* host, const char* port, SOCKET* pSock);
void sock_close(SOCKET* pSock);
// 1 when port 22 of host answered within count attempts (clamped to 1..100), five seconds apart.
int is_server_available(const char* host, int count);
// 1 when port 22 of host answered within max_sec seconds.
int is_server_available(const char* host, double max_sec);

#endif
