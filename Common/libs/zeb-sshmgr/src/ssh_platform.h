// The backend's share of the standard-handle swap and the child start. Internal to the library:
// the portable routines of ssh_io.cpp are built on these, one implementation per platform.
#ifndef ZEB_SSH_PLATFORM_H
#define ZEB_SSH_PLATFORM_H

#include "ssh_defines.h"

// What it takes to give the tool standard handle std_id back later: a copy of the descriptor on
// POSIX, the handle itself on Windows (the C run-time keeps writing to it, so it must stay open).
// FD_NONE when the stream is closed.
fd_handle save_std_fdhandle(int std_id);
// Puts back the standard handle that save_std_fdhandle took and releases what it kept; saved
// becomes FD_NONE. Nothing happens when saved is FD_NONE.
void restore_std_fdhandle(fd_handle& saved, int std_id);

// Keeps fd out of every child started later: the tool's own pipe ends must not stay open in the
// client, or the client would never see the end of its input once the tool has gone. 0 or -1.
int make_private_fdhandle(fd_handle fd);

// Starts filepath with the client's standard handles fd_in, fd_out and fd_err. The saved
// standard handles are the tool's, not the child's. PROC_NONE on failure; the caller restores.
proc_handle start_child(fd_handle fd_in, fd_handle fd_out, fd_handle fd_err,
                        const fd_handle saved[3], const char* filepath, const char* args);

#endif
