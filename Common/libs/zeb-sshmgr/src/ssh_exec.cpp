#include "ssh_exec.h"

#include "misc.h"
#include "ssh_io.h"

#include "zeb-tools-trace.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#define TAG(func) ZEB_TRACE_TAG("Ssh", func)

namespace {

bool has(const char* text, const char* part) {
    return strstr(text, part) != nullptr;
}

bool equals_nocase(const char* text, char c) {
    return (text[0] == c || text[0] == c - 'a' + 'A') && text[1] == '\0';
}

bool has_prompt(const char* text) {
    return has(text, "$") || has(text, "#");
}

// The client's own prompts and the end of the run; 1 when it dealt with the block.
int def_parser(const char* recv, char* sent, int max_sent, exec_context* cntx) {
    // Never reset: one scripted run per process.
    static int password_answers = 0;
    if (recv == nullptr || sent == nullptr || cntx == nullptr || max_sent <= 0)
        return 0;
    if (is_host_key_question(recv)) {
        cntx->state = EXEC_KEY_EXCHANGE;
        if (is_changed_host_key(recv)) {
            trace_changed_host_key(TAG("def_parser"));
            cntx->cli_result = SSH_AUTH_ERR;
            snprintf(sent, static_cast<size_t>(max_sent), "\n");
            return 1;
        }
        snprintf(sent, static_cast<size_t>(max_sent), "y\n");
        return 1;
    }
    if (isVerboseInformation(recv)) {
        ZebTrace(TRACE_DEBUG, TAG("def_parser"), "plink verbose information\n");
        return 1;
    }
    if (has(recv, "password:") && !has(recv, "weak admin's password:")) {
        if (password_answers > 2) {
            ZebTrace(TRACE_DEBUG, TAG("def_parser"), "wrong password, terminate connection\n");
            cntx->state = EXEC_TERMINATE;
            cntx->cli_result = SSH_CANNOT_CONNECT_ERR;
            return 0;
        }
        cntx->state = EXEC_LOGIN;
        snprintf(sent, static_cast<size_t>(max_sent), "%s\n", cntx->password);
        ++password_answers;
        ZebTrace(TRACE_DEBUG, TAG("def_parser"),
                 "enter password for system password request, %d time\n", password_answers);
        return 1;
    }
    const bool quit = cntx->state == EXEC_QUIT;
    if (!has_prompt(recv)) {
        if (has(recv, "logout") || has(recv, "connection abort")) {
            cntx->state = EXEC_QUIT;
            return 1;
        }
        if (has(recv, "system has unsaved changes")) {
            if (!has(recv, "y/n"))
                return quit;
            if (has(recv, "you like to save")) {
                if (quit)
                    snprintf(sent, static_cast<size_t>(max_sent), "y\n");
                return quit;
            }
        }
        if (has(recv, "Configuration Saved") || has(recv, "Configuration Not Saved"))
            return quit;
        if (equals_nocase(recv, 'y') || equals_nocase(recv, 'n'))
            return quit;
        return 0;
    }
    if (cntx->state == EXEC_LOGIN || cntx->state == EXEC_REMOTE)
        return 0;
    if (!quit) {
        snprintf(sent, static_cast<size_t>(max_sent), "quit\n");
        cntx->state = EXEC_QUIT;
    }
    return 1;
}

void trace_answer(const char* sent, int written, const exec_context* cntx) {
    char password_line[sizeof(cntx->password) + 2];
    snprintf(password_line, sizeof(password_line), "%s\n", cntx->password);
    // The password never reaches a trace; its length does not matter there.
    trace_sent(strcmp(sent, password_line) == 0 ? "********\n" : sent, written);
}

} // namespace

exec_context::exec_context() : cli_result(SSH_SUCCESS), state(EXEC_INIT) {
    ssh_path[0] = '\0';
    ssh_args[0] = '\0';
    password[0] = '\0';
    cmd[0] = '\0';
}

exec_context::~exec_context() {
    // The password does not outlive the run in freed memory.
    memset(password, 0, sizeof(password));
}

void exec_context::SetCommand(const char* szCmd) {
    snprintf(cmd, sizeof(cmd), "%s", szCmd != nullptr ? szCmd : "");
}

void exec_context::SetCommand(const std::string& sCmd) {
    SetCommand(sCmd.c_str());
}

void exec_context::ClearCmd() {
    cmd[0] = '\0';
}

SshCodes get_ssh_cmd(exec_context* cntx, const char* username, const char* host) {
    if (cntx == nullptr || username == nullptr || host == nullptr)
        return SSH_INTERNAL_ERR;
    if (get_client_path(cntx->ssh_path, sizeof(cntx->ssh_path)) != 0 ||
        !file_exists(cntx->ssh_path))
        return SSH_CLIENT_NOT_FOUND_ERR;
    snprintf(cntx->ssh_args, sizeof(cntx->ssh_args), " -ssh -v %s@%s", username, host);
    return SSH_SUCCESS;
}

SshCodes ssh_exec(exec_context* cntx, parser_handler parser, int timeout) {
    if (cntx == nullptr || parser == nullptr)
        return SSH_INTERNAL_ERR;
    ZebTrace(TRACE_DEBUG, TAG("ssh_exec"), "preparing to execute ssh client...\n");
    int limit = timeout;
    fd_handle stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e, stdin_r, stdin_w;

    cntx->state = EXEC_INIT;
    if (!create_pipes(stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e, stdin_r,
                      stdin_w))
        return SSH_INTERNAL_ERR;
    cntx->state = EXEC_STARTING;
    pid_t pid = run_ssh_process(stdin_r, stdout_w, stdout_e, stdin_def, stdout_def, stderr_def,
                                cntx->ssh_path, cntx->ssh_args);
    if (pid != 0) {
        ZebTrace(TRACE_DEBUG, TAG("ssh_exec"), "ssh client is executed:\n");
        ZebTrace(TRACE_DEBUG, TAG("ssh_exec"), "%s%s\n", cntx->ssh_path, cntx->ssh_args);
        cntx->state = EXEC_CONNECTING;

        char recv[SSH_BUF_SIZE];
        char sent[SSH_BUF_SIZE];
        const int max_read = SSH_BUF_SIZE - 1;
        time_t last_output = time(nullptr);
        int prev_avail = 0;
        while (wait_process(pid) == 0 && time(nullptr) - last_output <= limit) {
            ZebTrace(TRACE_DEBUG, TAG("ssh_exec"), "read ssh session output loop\n");
            if (cntx->state == EXEC_QUIT)
                limit = 10;
            memset(recv, 0, sizeof(recv));
            memset(sent, 0, sizeof(sent));
            int avail = get_bytes_avail(stdout_r);
            if (avail > 0)
                last_output = time(nullptr);
            if (avail != prev_avail) {
                prev_avail = avail;
                continue;
            }
            if (avail == 0)
                continue;
            int got = read_fdhandle(stdout_r, recv, max_read, avail);
            if (got <= 0) {
                ZebTrace(TRACE_ERROR, TAG("ssh_exec"), "cannot read data\n");
                cntx->state = EXEC_TERMINATED;
                break;
            }
            recv[got] = '\0';
            str_remove_single_cr(recv, sizeof(recv));
            trace_recv(recv);
            str_remove_ending(recv);
            if (recv[0] == '\0')
                continue;

            int dealt = def_parser(recv, sent, max_read, cntx);
            if (!dealt)
                dealt = parser(recv, sent, max_read, cntx);
            if (!dealt)
                dealt = def_parser(recv, sent, max_read, cntx);
            if (!dealt)
                ZebTrace(TRACE_ERROR, TAG("ssh_exec"), "cannot parse output.\n");
            if (cntx->state == EXEC_TERMINATE)
                break;
            if (sent[0] != '\0') {
                int written = write_fdhandle(stdin_w, sent);
                if (written <= 0) {
                    if (cntx->state != EXEC_QUIT) {
                        ZebTrace(TRACE_ERROR, TAG("ssh_exec"), "cannot write data.\n");
                        cntx->state = EXEC_TERMINATED;
                        break;
                    }
                } else {
                    trace_answer(sent, written, cntx);
                }
            }
        }

        int avail = get_bytes_avail(stdout_r);
        if (avail > 0) {
            ZebTrace(TRACE_DEBUG, TAG("ssh_exec"), "ssh process output buffer not empty\n");
            int got = read_fdhandle(stdout_r, recv, max_read, avail);
            recv[got > 0 ? got : 0] = '\0';
            str_remove_single_cr(recv, sizeof(recv));
            trace_recv(recv);
        }
        if (time(nullptr) - last_output > limit && cntx->state != EXEC_TERMINATED &&
            cntx->state != EXEC_QUIT) {
            ZebTrace(TRACE_DEBUG, TAG("ssh_exec"), "client canceled by timeout\n");
            cntx->state = EXEC_CANCELED_BY_TIMEOUT;
        }
        close_client(pid);
    }
    close_fdhandle(stdout_r);
    close_fdhandle(stdout_w);
    close_fdhandle(stdout_e);
    close_fdhandle(stdin_r);
    close_fdhandle(stdin_w);
    restore_std_fdhandles(stdin_def, stdout_def, stderr_def);
    return SSH_SUCCESS;
}

void extract_response(char* recv, char* cmd, char* response, int size) {
    if (recv == nullptr || cmd == nullptr || response == nullptr || size <= 0)
        return;
    const char* start = recv;
    const char* echo = strstr(recv, cmd);
    if (echo != nullptr) {
        start = echo + strlen(cmd);
        while (*start == '\r' || *start == '\n')
            ++start;
    }
    snprintf(response, static_cast<size_t>(size), "%s", start);
    char* prompt = strpbrk(response, "$#");
    if (prompt != nullptr) {
        // The prompt's whole line goes, not only its tail.
        *prompt = '\0';
        size_t len = strlen(response);
        while (len > 0 && response[len - 1] != '\r' && response[len - 1] != '\n')
            response[--len] = '\0';
    }
    str_remove_ending(response);
}

void response_parser(char* response, exec_context* cntx, line_parser_handler parser) {
    if (response == nullptr || parser == nullptr)
        return;
    std::string copy(response);
    size_t pos = 0;
    for (;;) {
        while (pos < copy.size() && (copy[pos] == '\r' || copy[pos] == '\n'))
            ++pos;
        size_t cr = copy.find('\r', pos);
        std::string text = copy.substr(pos, (cr == std::string::npos ? copy.size() : cr) - pos);
        char line[100];
        snprintf(line, sizeof(line), "%s", text.c_str());
        str_remove_ending(line);
        if (parser(line, cntx) == 0 || cr == std::string::npos)
            return;
        pos = cr + 1;
    }
}

void release_cntx(exec_context** pp_cntx) {
    if (pp_cntx == nullptr)
        return;
    delete *pp_cntx;
    *pp_cntx = nullptr;
}
