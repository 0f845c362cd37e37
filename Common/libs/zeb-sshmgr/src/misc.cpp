#include "misc.h"

#include "ssh_defines.h"
#include "ssh_io.h"
#include "zeb-tools-trace.h"

#include <cstring>

void str_remove_ending(char* str) {
    if (str == nullptr)
        return;
    size_t len = strlen(str);
    while (len > 0 && (str[len - 1] == '\r' || str[len - 1] == '\n'))
        str[--len] = '\0';
}

void str_remove_single_cr(char* str, int len) {
    if (str == nullptr || len <= 0)
        return;
    int out = 0;
    for (int in = 0; str[in] != '\0' && out < len - 1; ++in) {
        if (str[in] == '\r' && str[in + 1] != '\n')
            continue;
        str[out++] = str[in];
    }
    str[out] = '\0';
}

char* get_last_error_str(unsigned long err, char* /*buf*/, int /*len*/) {
    return strerror(static_cast<int>(err));
}

bool isVerboseInformation(const char* recv) {
    if (recv == nullptr)
        return false;
    // ":~]" is the prompt of current ESXi releases ("[root@host:~] "), which lacks "~ #".
    static const char* const prompts[] = {"~ #", "~]#", ":~]", "password:"};
    for (const char* p : prompts)
        if (strstr(recv, p) != nullptr)
            return false;
    static const char* const chatter[] = {
        "Looking up host",         "Server version", "Using SSH protocol", "Doing Diffie-Hellman",
        "Host key fingerprint is", "ssh-rsa",        "Using username"};
    for (const char* c : chatter)
        if (strstr(recv, c) != nullptr)
            return true;
    return false;
}

bool ends_with_shell_prompt(const char* text) {
    if (text == nullptr)
        return false;
    size_t end = strlen(text);
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r' ||
                       text[end - 1] == '\n'))
        --end;
    size_t begin = end;
    while (begin > 0 && text[begin - 1] != '\n' && text[begin - 1] != '\r')
        --begin;
    if (end == begin)
        return false;
    const char last = text[end - 1];
    // The home folder's "~" keeps an output line that happens to end in "#" or "]" from counting.
    return (last == '#' || last == ']' || last == '$') &&
           memchr(text + begin, '~', end - begin) != nullptr;
}

SessionCue session_cue(const char* text, bool logging_in) {
    if (text == nullptr || !logging_in)
        return CUE_NONE;
    if (is_host_key_question(text))
        return is_changed_host_key(text) ? CUE_CHANGED_HOST_KEY : CUE_HOST_KEY;
    if ((strstr(text, "password:") || strstr(text, "Password:")) &&
        !strstr(text, "weak admin's password:"))
        return CUE_PASSWORD;
    if (isVerboseInformation(text))
        return CUE_CHATTER;
    if (strstr(text, "logout") || strstr(text, "connection abort"))
        return CUE_SESSION_END;
    return CUE_NONE;
}

bool is_host_key_question(const char* recv) {
    return strstr(recv, "host key") && strstr(recv, "fingerprint") &&
           (strstr(recv, "y/n") || strstr(recv, "yes/no"));
}

bool is_changed_host_key(const char* recv) {
    return strstr(recv, "POTENTIAL SECURITY BREACH") || strstr(recv, "does not match");
}

void trace_changed_host_key(const char* tag) {
    char where[SSH_BUF_SIZE];
    ZebTrace(TRACE_ERROR, tag,
             "host key of the server has changed, connection abandoned; the key accepted before "
             "is kept in %s\n",
             host_key_cache_location(where, sizeof(where)));
}
