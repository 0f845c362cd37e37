// One interactive SSH login driven through the external client plink: the session answers the
// client's host-key question and password prompt itself, writes command lines to the client and
// returns each settled block of output cleaned of the echoed command.
#ifndef ZEB_SSH_SESSION_H
#define ZEB_SSH_SESSION_H

#include "SshCodes.h"
#include "ssh_defines.h"

#include <string>

namespace Ssh {

class SshSession {
public:
    typedef ExecState SshState;

    SshSession();
    virtual ~SshSession();
    SshSession(const SshSession&) = delete;
    SshSession& operator=(const SshSession&) = delete;

    SshCodes Init();
    SshCodes RunSshClient(const char* cszHost, const char* cszUser, const char* cszPassword);
    SshCodes SendCommand(const std::string& sCommand);
    // The whole answer: everything the client printed until its output came to rest (after a
    // command: and ended in the shell prompt, or rested a while longer without one). *ppResponse
    // points to the session's own text, valid until the next call on the session.
    SshCodes GetResponse(char** ppResponse);
    void CloseSession();
    // Closes the client's input: the remote shell sees its end and logs out, and the client ends
    // by itself instead of being ended by force a few seconds later.
    void EndInput();

    SshState GetState() { return m_state; }
    void SetState(SshState state) { m_state = state; }
    int GetTimeout() { return m_nTimeout; }
    void SetTimeout(int nTimeout) { m_nTimeout = nTimeout; }
    // A fast session takes an answer as soon as the shell prompt has followed the command's echo
    // (the client's login prompts likewise), polling every few milliseconds instead of letting
    // the output rest for a second. Answers without a prompt still wait as long as by default.
    void SetFast(bool fast) { m_bFast = fast; }
    bool GetFast() const { return m_bFast; }
    SshCodes StateToSshcode(SshCodes curcode) const;

protected:
    SshCodes GetRunSshCommand(const char* cszHost, const char* cszUser);
    SshCodes GetData();
    void NormalizeResponse();
    // 1 when the response was the client's or a prompt the session dealt with, 0 when it belongs
    // to the caller. An answer to send back is left in m_command.
    int DefaultParser(SshCodes& errcode);

private:
    bool WriteAnswer();
    // Moves everything the client has written so far into m_received; false when reading fails.
    bool ReadAvailable(int avail);
    // Whether the output that has rested for quiet_polls polls is a whole answer.
    bool AnswerComplete(int quiet_polls) const;
    bool FastAnswerComplete(int quiet_polls, long rest_ms) const;

    fd_handle stdout_r;
    fd_handle stdout_w;
    fd_handle stdout_e;
    fd_handle stdin_r;
    fd_handle stdin_w;
    fd_handle stdout_def;
    fd_handle stdin_def;
    fd_handle stderr_def;

    SshState m_state;
    char m_szPath[SSH_BUF_SIZE];
    char m_szArgs[SSH_BUF_SIZE];
    std::string m_received; // raw output collected for the current answer
    std::string m_response; // the answer handed to the caller
    char m_command[SSH_BUF_SIZE];
    proc_handle m_iProcessId;
    int m_nTimeout;
    std::string m_sPassword;
    bool m_bFast = false;
    // Once a password has been typed, the next password prompt means it was refused. Per session:
    // a tool may log in more than once.
    bool m_bPasswordAnswered = false;
};

} // namespace Ssh

#endif
