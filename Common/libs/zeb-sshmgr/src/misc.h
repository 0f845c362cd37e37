// Text helpers for the client's output.
#ifndef ZEB_SSH_MISC_H
#define ZEB_SSH_MISC_H

void str_remove_ending(char* str);
void str_remove_single_cr(char* str, int len);
char* get_last_error_str(unsigned long err, char* buf, int len);

// True for the client's own connection chatter; a shell prompt or a password prompt never is.
bool isVerboseInformation(const char* recv);

#ifndef _WIN32
// Same signatures as the Windows C run-time's functions.
int _dup2(int oldfd, int newfd);
int _pipe(int* pfds, unsigned int psize, int textmode);
#endif

#endif
