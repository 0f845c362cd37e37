// Platform layer of the SSH session: standard-handle swap, child process, pipe I/O, socket
// start-up, with the same names and meanings on every platform. The swap and the child start are
// written once (ssh_io.cpp) over the backends' primitives (ssh_platform.h, posix/, win32/).
#ifndef ZEB_SSH_IO_H
#define ZEB_SSH_IO_H

#include "ssh_defines.h"

// The copy is not inherited by a child (POSIX: close-on-exec): only the standard handles are.
fd_handle dup_fdhandle(fd_handle oldfd);
// Installs a copy of oldfd as standard handle newfd (STD_INPUT_HANDLE ...); none on failure.
fd_handle dup2_std_fdhandle(fd_handle oldfd, int newfd);
void close_fdhandle(fd_handle& fd);
int create_pipe(fd_handle fds[2]);
int get_bytes_avail(fd_handle fd_r);
int read_fdhandle(fd_handle fd_r, char* recv, int recv_size, int b_avail);
// One write of strlen(send) bytes. A reader that has gone away gives -1, never a signal.
int write_fdhandle(fd_handle fd_w, const char* send);

// Points the tool's standard output, error and input at two new pipes so that the next child
// inherits them. 1 on success; 0 after everything was undone.
int create_pipes(fd_handle& stdin_def, fd_handle& stdout_def, fd_handle& stderr_def,
                 fd_handle& stdout_r, fd_handle& stdout_w, fd_handle& stdout_e, fd_handle& stdin_r,
                 fd_handle& stdin_w);

// Starts filepath with the space-separated args (args[0] is the program-name slot), then gives the
// tool its own standard handles back. The child, or PROC_NONE.
proc_handle run_ssh_process(fd_handle& fd_in, fd_handle& fd_out, fd_handle& fd_err,
                            fd_handle& stdin_def, fd_handle& stdout_def, fd_handle& stderr_def,
                            const char* filepath, const char* args);

// Whether starting a child pauses a second before the tool gets its standard handles back
// (POSIX; the default). A fast session does without.
void set_client_start_pause(bool pause);

// 1 when the child no longer runs; 0 after waiting about one second for it.
int wait_process(proc_handle child);
// 1 when the child no longer runs; 0 after waiting about millis milliseconds for it. Untraced:
// it serves the short polls of a fast session.
int wait_process_for(proc_handle child, int millis);
// Runs job(args[i]) for every i < count, each on a thread of its own, and returns once all have
// ended. A job whose thread cannot be started runs on the calling thread instead.
void run_threads(void (*job)(void*), void* const* args, int count);
// Ends the child: termination signal on POSIX, exit code 0 on Windows. 0 on success.
int terminate_process(proc_handle child);
// Releases what is left of an ended or abandoned child (the Windows process handle).
void release_process(proc_handle child);

// Ends a started client: polls it up to five times (about a second each while it runs) and sends
// it the termination signal after the third poll that still finds it running.
void close_client(proc_handle child);
// Puts the saved standard handles back (those that exist) and closes the saved copies.
void restore_std_fdhandles(fd_handle& stdin_def, fd_handle& stdout_def, fd_handle& stderr_def);

// From here on, Ctrl+C, a termination or hang-up signal (Windows: the console's control events)
// only set a flag that interrupt_requested() reports, so that a run can stop at its next step,
// save what it knows and end the client.
void install_interrupt_handlers();
int interrupt_requested();
// Opens the null device on standard descriptors that are closed, so that no file or pipe opened
// later takes their place (a tool started with "<&-" would otherwise use descriptor 0 for its
// own output).
void ensure_std_handles();

int winsock_init();
int winsock_cleanup();

// Where the client lives: beside the tool on Windows, in the working directory elsewhere.
// 0 on success.
int get_client_path(char* path, int size);
int file_exists(const char* path);
// Where the client keeps the host keys it has accepted, for messages.
const char* host_key_cache_location(char* buf, int size);
void sleep_seconds(int seconds);

// Debug-mode frames around every text written to and read from the client.
void trace_sent(const char* sent, int b_written);
void trace_recv(char* recv);

#endif
