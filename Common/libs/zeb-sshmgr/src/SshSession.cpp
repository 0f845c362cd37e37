#include "SshSession.h"

#include "misc.h"
#include "ssh_io.h"

#include "zeb-tools-trace.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#define TAG(func) ZEB_TRACE_TAG("Ssh::SshSession", func)

SshCodes execstate_to_exit_code(SshCodes curr_code, ExecState state) {
    switch (state) {
    case EXEC_INIT:
    case EXEC_STARTING:
        return SSH_CLIENT_ERR;
    case EXEC_CONNECTING:
        return SSH_CANNOT_CONNECT_ERR;
    case EXEC_KEY_EXCHANGE:
    case EXEC_LOGIN:
        return SSH_AUTH_ERR;
    case EXEC_REMOTE:
    case EXEC_TERMINATED:
        return SSH_REMOTE_PARSER_ERR;
    case EXEC_CANCELED_BY_TIMEOUT:
        return SSH_REMOTE_TIMEOUT_ERR;
    default:
        return curr_code;
    }
}

namespace Ssh {

namespace {

#ifdef _WIN32
const int kPathSize = 260;
#else
const int kPathSize = SSH_BUF_SIZE;
#endif

// Shown in the sent-data frame instead of the password.
const char kPasswordMask[] = "********";

// An answer without the shell prompt at its end is taken once the output has rested this many
// polls: a command that prints a progress line and works on silently, or a host whose prompt
// looks different, still gets its answer delivered.
const int kQuietPollsWithoutPrompt = 2;

// A fast session polls the client this often (milliseconds).
const int kFastPollMs = 20;
// How long a fast session lets output without a recognised end rest before taking it: as long as
// the default polls take, so that only answers that show their end come sooner.
const long kFastRestLoginMs = 1000;
const long kFastRestRemoteMs = 2000;

// A login prompt of the client waits for input at the end of its line.
bool awaits_login_input(const std::string& text) {
    if (text.empty() || (text.back() != ' ' && text.back() != ':'))
        return false;
    switch (session_cue(text.c_str(), true)) {
    case CUE_HOST_KEY:
    case CUE_CHANGED_HOST_KEY:
    case CUE_PASSWORD:
        return true;
    default:
        return false;
    }
}

// A bound for a runaway output; an answer is delivered when it reaches this size.
const size_t kMaxAnswer = 16u << 20;

bool has(const char* text, const char* part) {
    return strstr(text, part) != nullptr;
}

bool equals_nocase(const char* text, char c) {
    return (text[0] == c || text[0] == c - 'a' + 'A') && text[1] == '\0';
}

} // namespace

SshSession::SshSession()
    : stdout_r(FD_NONE), stdout_w(FD_NONE), stdout_e(FD_NONE), stdin_r(FD_NONE), stdin_w(FD_NONE),
      stdout_def(FD_NONE), stdin_def(FD_NONE), stderr_def(FD_NONE), m_state(EXEC_INIT),
      m_iProcessId(PROC_NONE), m_nTimeout(1000) {
    m_szPath[0] = '\0';
    m_szArgs[0] = '\0';
    m_command[0] = '\0';
}

SshSession::~SshSession() {
    CloseSession();
    winsock_cleanup();
}

SshCodes SshSession::Init() {
    try {
        if (winsock_init() != 0) {
            ZebTrace(TRACE_DEBUG, TAG("Init"), "can't init winsock\n");
            return SSH_INTERNAL_ERR;
        }
        return SSH_SUCCESS;
    } catch (...) {
        ZebTrace(TRACE_ERROR, TAG("Init"), "SshSession::Init error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

SshCodes SshSession::StateToSshcode(SshCodes curcode) const {
    return execstate_to_exit_code(curcode, m_state);
}

SshCodes SshSession::GetRunSshCommand(const char* cszHost, const char* cszUser) {
    ZebTrace(TRACE_DEBUG, TAG("GetRunSshCommand"), "generate run ssh session command\n");
    if (get_client_path(m_szPath, kPathSize) != 0 || !file_exists(m_szPath))
        return SSH_CLIENT_NOT_FOUND_ERR;
    snprintf(m_szArgs, kPathSize, " -ssh %s@%s", cszUser ? cszUser : "", cszHost ? cszHost : "");
    return SSH_SUCCESS;
}

SshCodes SshSession::RunSshClient(const char* cszHost, const char* cszUser,
                                  const char* cszPassword) {
    SshCodes result = SSH_SUCCESS;
    try {
        ZebTrace(TRACE_DEBUG, TAG("RunSshClient"), "preparing to execute ssh client...\n");
        result = GetRunSshCommand(cszHost, cszUser);
        if (result != SSH_SUCCESS)
            return result;
        m_state = EXEC_INIT;
        m_sPassword = cszPassword ? cszPassword : "";

        if (!create_pipes(stdin_def, stdout_def, stderr_def, stdout_r, stdout_w, stdout_e, stdin_r,
                          stdin_w)) {
            ZebTrace(TRACE_DEBUG, TAG("RunSshClient"), "can't create pipes\n");
            return SSH_INTERNAL_ERR;
        }
        // Nothing may be traced until the tool has its own standard handles back.
        m_state = EXEC_STARTING;
        set_client_start_pause(!m_bFast);
        m_iProcessId = run_ssh_process(stdin_r, stdout_w, stdout_e, stdin_def, stdout_def,
                                       stderr_def, m_szPath, m_szArgs);
        if (m_iProcessId == PROC_NONE) {
            CloseSession();
            ZebTrace(TRACE_DEBUG, TAG("RunSshClient"), "can't start ssh process\n");
            return SSH_CANNOT_CONNECT_ERR;
        }
        ZebTrace(TRACE_DEBUG, TAG("RunSshClient"), "ssh client is executed:\n%s%s\n", m_szPath,
                 m_szArgs);
        m_state = EXEC_CONNECTING;
        return SSH_SUCCESS;
    } catch (...) {
        ZebTrace(TRACE_ERROR, TAG("RunSshClient"), "SshSession::RunSshClient error\n");
        return StateToSshcode(result);
    }
}

SshCodes SshSession::SendCommand(const std::string& sCommand) {
    try {
        ZebTrace(TRACE_DEBUG, TAG("SendCommand"), "send data to ssh client's stdin\n");
        snprintf(m_command, sizeof(m_command), "%s", sCommand.c_str());
        str_remove_ending(m_command);
        if (sCommand.empty())
            return SSH_SUCCESS;
        // An interrupted run starts nothing new on the host.
        if (interrupt_requested())
            return SSH_INTERRUPTED;
        int written = write_fdhandle(stdin_w, sCommand.c_str());
        if (written > 0) {
            trace_sent(sCommand.c_str(), written);
            return SSH_SUCCESS;
        }
        if (m_state == EXEC_QUIT)
            return SSH_SUCCESS;
        zeb_trace(TRACE_ERROR, "cannot write data.\n");
        return StateToSshcode(SSH_SUCCESS);
    } catch (...) {
        ZebTrace(TRACE_ERROR, TAG("SendCommand"), "SshSession::SendCommand error catched\n");
        return StateToSshcode(SSH_SUCCESS);
    }
}

bool SshSession::ReadAvailable(int avail) {
    char block[SSH_BUF_SIZE];
    while (avail > 0) {
        int got = read_fdhandle(stdout_r, block, sizeof(block), avail);
        if (got <= 0)
            return false;
        m_received.append(block, static_cast<size_t>(got));
        avail -= got;
    }
    return true;
}

bool SshSession::AnswerComplete(int quiet_polls) const {
    if (quiet_polls < 1)
        return false;
    // While logging in, the client's own prompts end an answer; they are no shell prompt.
    if (m_state != EXEC_REMOTE || m_received.size() >= kMaxAnswer)
        return true;
    return ends_with_shell_prompt(m_received.c_str()) || quiet_polls >= kQuietPollsWithoutPrompt;
}

bool SshSession::FastAnswerComplete(int quiet_polls, long rest_ms) const {
    if (quiet_polls < 1)
        return false;
    if (m_received.size() >= kMaxAnswer)
        return true;
    if (m_state < EXEC_REMOTE) {
        if (ends_with_shell_prompt(m_received.c_str()) || awaits_login_input(m_received))
            return true;
        return rest_ms >= kFastRestLoginMs;
    }
    if (m_state != EXEC_REMOTE)
        return rest_ms >= kFastRestLoginMs;
    // A prompt counts only after the echo of the command: the line that carried the command
    // ends in a prompt too.
    size_t from = 0;
    if (m_command[0] != '\0') {
        size_t echo = m_received.find(m_command);
        if (echo != std::string::npos)
            from = echo + strlen(m_command);
    }
    if (ends_with_shell_prompt(m_received.c_str() + from))
        return true;
    return rest_ms >= kFastRestRemoteMs;
}

SshCodes SshSession::GetData() {
    SshCodes result = SSH_SUCCESS;
    try {
        ZebTrace(TRACE_DEBUG, TAG("GetData"), "read data from ssh client's stdout\n");
        typedef std::chrono::steady_clock Clock;
        time_t last_output = time(nullptr);
        Clock::time_point last_change = Clock::now();
        int quiet_polls = 0;
        m_received.clear();
        m_response.clear();
        while ((m_bFast ? wait_process_for(m_iProcessId, kFastPollMs)
                        : wait_process(m_iProcessId)) == 0 &&
               time(nullptr) - last_output <= m_nTimeout) {
            if (interrupt_requested())
                return SSH_INTERRUPTED;
            // Fifty polls a second would bury the trace.
            if (!m_bFast)
                ZebTrace(TRACE_DEBUG, TAG("GetData"), "try to read block of data\n");
            int avail = get_bytes_avail(stdout_r);
            if (avail > 0) {
                // The silence limit counts from the last moment output was seen. Everything is
                // read at once, so a client with more to say than the pipe holds is never stalled.
                last_output = time(nullptr);
                last_change = Clock::now();
                quiet_polls = 0;
                if (!ReadAvailable(avail)) {
                    ZebTrace(TRACE_ERROR, TAG("GetData"), "cannot read data\n");
                    return StateToSshcode(SSH_SUCCESS);
                }
                if (m_received.size() < kMaxAnswer)
                    continue;
            }
            if (m_received.empty())
                continue;
            // The output has come to rest.
            ++quiet_polls;
            const long rest_ms = static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - last_change)
                    .count());
            if (m_bFast ? !FastAnswerComplete(quiet_polls, rest_ms) : !AnswerComplete(quiet_polls))
                continue;
            m_response.swap(m_received);
            m_received.clear();
            quiet_polls = 0;
            NormalizeResponse();
            if (!m_response.empty())
                return SSH_SUCCESS;
        }
        if (interrupt_requested())
            return SSH_INTERRUPTED;
        if (time(nullptr) - last_output > m_nTimeout && m_state != EXEC_TERMINATED &&
            m_state != EXEC_QUIT) {
            zeb_trace(TRACE_DEBUG, "client canceled by timeout\n");
            if (m_state != EXEC_CONNECTING)
                m_state = EXEC_CANCELED_BY_TIMEOUT;
            return StateToSshcode(result);
        }
        m_response.clear();
        return result;
    } catch (...) {
        ZebTrace(TRACE_ERROR, TAG("GetData"), "SshSession::GetData error catched\n");
        return StateToSshcode(result);
    }
}

void SshSession::NormalizeResponse() {
    try {
        size_t start = 0;
        size_t echo = m_response.find(m_command);
        if (echo != std::string::npos) {
            start = echo + strlen(m_command);
            while (start < m_response.size() &&
                   (m_response[start] == '\r' || m_response[start] == '\n'))
                ++start;
        }
        // Lone carriage returns go; CR LF pairs stay. A NUL from the client ends the text, as it
        // would for every reader of it.
        std::string clean;
        clean.reserve(m_response.size() - start);
        for (size_t i = start; i < m_response.size() && m_response[i] != '\0'; ++i) {
            if (m_response[i] == '\r' && (i + 1 >= m_response.size() || m_response[i + 1] != '\n'))
                continue;
            clean += m_response[i];
        }
        while (!clean.empty() && (clean.back() == '\r' || clean.back() == '\n'))
            clean.pop_back();
        m_response.swap(clean);
        trace_recv(&m_response[0]);
    } catch (...) {
        ZebTrace(TRACE_ERROR, TAG("NormalizeResponse"),
                 "SshSession::NormalizeResponse error catched\n");
    }
}

int SshSession::DefaultParser(SshCodes& errcode) {
    try {
        m_command[0] = '\0';
        const char* r = m_response.c_str();
        const bool quit = m_state == EXEC_QUIT;

        // The client's prompts can only come while logging in: once the remote shell runs, a VM
        // named like "vault-password:" or "logout-gw" is command output, not a cue.
        switch (session_cue(r, m_state < EXEC_REMOTE)) {
        case CUE_CHANGED_HOST_KEY:
            m_state = EXEC_KEY_EXCHANGE;
            trace_changed_host_key(TAG("DefaultParser"));
            snprintf(m_command, sizeof(m_command), "%s", SSH_LINE_END);
            errcode = StateToSshcode(errcode);
            return 0;
        case CUE_HOST_KEY:
            m_state = EXEC_KEY_EXCHANGE;
            snprintf(m_command, sizeof(m_command), "%s%s", "y", SSH_LINE_END);
            return 1;
        case CUE_PASSWORD:
            m_state = EXEC_LOGIN;
            if (!m_bPasswordAnswered) {
                snprintf(m_command, sizeof(m_command), "%s%s", m_sPassword.c_str(), SSH_LINE_END);
                m_bPasswordAnswered = true;
                ZebTrace(TRACE_DEBUG, TAG("DefaultParser"),
                         "enter password for system password request\n");
                return 1;
            }
            ZebTrace(TRACE_DEBUG, TAG("DefaultParser"), "wrong password, terminate connection\n");
            errcode = StateToSshcode(errcode);
            return 0;
        case CUE_CHATTER:
            ZebTrace(TRACE_DEBUG, TAG("DefaultParser"), "plink verbose information\n");
            return 1;
        case CUE_SESSION_END:
            m_state = EXEC_QUIT;
            return 1;
        case CUE_NONE:
            break;
        }
        if (has(r, "system has unsaved changes")) {
            if (!has(r, "y/n"))
                return quit;
            if (has(r, "you like to save")) {
                if (quit)
                    snprintf(m_command, sizeof(m_command), "%s%s", "y", SSH_LINE_END);
                return quit;
            }
        }
        if (has(r, "Configuration Saved") || has(r, "Configuration Not Saved"))
            return quit;
        if (equals_nocase(r, 'y') || equals_nocase(r, 'n'))
            return quit;
        return 0;
    } catch (...) {
        ZebTrace(TRACE_ERROR, TAG("DefaultParser"), "SshSession::DefaultParser error catched\n");
        errcode = StateToSshcode(errcode);
        return 0;
    }
}

bool SshSession::WriteAnswer() {
    int written = write_fdhandle(stdin_w, m_command);
    if (written <= 0) {
        ZebTrace(TRACE_ERROR, TAG("GetResponse"), "cannot write data.\n");
        return false;
    }
    // The password never reaches a trace; its length does not matter there.
    if (m_sPassword + SSH_LINE_END == m_command)
        trace_sent((std::string(kPasswordMask) + SSH_LINE_END).c_str(), written);
    else
        trace_sent(m_command, written);
    return true;
}

SshCodes SshSession::GetResponse(char** ppResponse) {
    SshCodes result = SSH_SUCCESS;
    try {
        ZebTrace(TRACE_DEBUG, TAG("GetResponse"), "get response from ssh session\n");
        if (ppResponse == nullptr) {
            ZebTrace(TRACE_ERROR, TAG("GetResponse"), "container for response not defined\n");
            return StateToSshcode(SSH_SUCCESS);
        }
        m_response.clear();
        *ppResponse = &m_response[0];
        for (;;) {
            result = GetData();
            *ppResponse = &m_response[0];
            if (result != SSH_SUCCESS)
                return result;
            if (m_response.empty()) {
                ZebTrace(TRACE_DEBUG, TAG("GetResponse"), "can't read data from ssh session\n");
                return StateToSshcode(SSH_SUCCESS);
            }
            int parsed = DefaultParser(result);
            // Also an abandoned host-key question gets its answer before the response goes back.
            if (m_command[0] != '\0') {
                if (!WriteAnswer())
                    return StateToSshcode(result);
            }
            if (!parsed) {
                ZebTrace(TRACE_DEBUG, TAG("GetResponse"),
                         "response will be returned to user for further parsing\n");
                return result;
            }
            ZebTrace(TRACE_DEBUG, TAG("GetResponse"),
                     "default ssh session parser parsed response successfully\n");
        }
    } catch (...) {
        ZebTrace(TRACE_ERROR, TAG("GetResponse"), "SshSession::GetResponse error catched\n");
        return StateToSshcode(result);
    }
}

void SshSession::EndInput() {
    close_fdhandle(stdin_w);
}

void SshSession::CloseSession() {
    try {
        close_client(m_iProcessId);
        m_iProcessId = PROC_NONE;
        close_fdhandle(stdout_r);
        close_fdhandle(stdout_w);
        close_fdhandle(stdout_e);
        close_fdhandle(stdin_r);
        close_fdhandle(stdin_w);
        restore_std_fdhandles(stdin_def, stdout_def, stderr_def);
    } catch (...) {
        ZebTrace(TRACE_ERROR, TAG("CloseSession"), "SshSession::CloseSession error catched\n");
    }
}

} // namespace Ssh
