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
