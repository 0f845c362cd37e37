// Text helpers for the client's output.
#ifndef ZEB_SSH_MISC_H
#define ZEB_SSH_MISC_H

void str_remove_ending(char* str);
void str_remove_single_cr(char* str, int len);
char* get_last_error_str(unsigned long err, char* buf, int len);

// The client's question whether to trust the host's key.
bool is_host_key_question(const char* recv);
// That question asked for a key that differs from the one accepted before: the host may be
// another machine posing as it.
bool is_changed_host_key(const char* recv);
// Says, at TRACE_ERROR, that the connection is abandoned and where the accepted key is kept.
void trace_changed_host_key(const char* tag);

// True for the client's own connection chatter; a shell prompt or a password prompt never is.
bool isVerboseInformation(const char* recv);

// The last line of the text looks like the remote shell waiting for a command ("~ # ",
// "[root@host:~] "): the answer of a command is complete.
bool ends_with_shell_prompt(const char* text);

// What a settled block of client output is to the session. Prompts of the client are only looked
// for while logging in: after that, command output that merely contains such words is the
// caller's.
enum SessionCue {
    CUE_NONE = 0,         // output for the caller
    CUE_HOST_KEY,         // the client asks whether to trust the host's key
    CUE_CHANGED_HOST_KEY, // the same for a key that differs from the accepted one
    CUE_PASSWORD,         // the client asks for the password
    CUE_CHATTER,          // the client's own connection messages
    CUE_SESSION_END       // the client reports the end of the connection
};
SessionCue session_cue(const char* text, bool logging_in);

#ifndef _WIN32
// Same signatures as the Windows C run-time's functions.
int _dup2(int oldfd, int newfd);
int _pipe(int* pfds, unsigned int psize, int textmode);
#endif

#endif
