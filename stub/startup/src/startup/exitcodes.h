// Stub's own exit codes. A package run otherwise ends with the exit code of
// the setup program it started; every other run that did its work ends
// with 0. The README lists these codes.
#ifndef STUB_STARTUP_EXITCODES_H
#define STUB_STARTUP_EXITCODES_H

enum StubExitCode : int {
    STUB_EXIT_OK = 0,
    STUB_EXIT_NO_CONTAINER = 240,  // the program file carries no readable package
    STUB_EXIT_NO_WINDOW = 241,     // the start-up window (or its class) cannot be created
    STUB_EXIT_COPY_FAILED = 242,   // the agent copy or the restart copy cannot be written
    STUB_EXIT_START_FAILED = 243,  // that copy cannot be started
    STUB_EXIT_NOT_DELIVERED = 244, // a forwarded switch did not reach the agent copy
    STUB_EXIT_COPY_BUSY = 245,     // "/_ZZ=99": the running agent copy did not end
};

#endif
