// Starts the tests' second process (stub-peer, built beside the test
// programs) and waits for it, with the system's own calls, so that the
// message layer is tested without the process services built on it.
#ifndef STUB_PLATFORM_TEST_PEER_LAUNCH_H
#define STUB_PLATFORM_TEST_PEER_LAUNCH_H

#include <string>
#include <vector>

#include "platform/files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace peer {

// stub-peer lives in the folder of the Windows test program and one folder
// above the native ones.
inline std::string Program() {
    const std::string self = plat::program_path();
    std::string folder = self.substr(0, self.find_last_of("\\/"));
#ifdef _WIN32
    const std::string name = "stub-peer.exe";
#else
    const std::string name = "stub-peer";
#endif
    for (int up = 0; up < 2; ++up) {
        const std::string candidate = folder + plat::kPathSeparator + name;
#ifdef _WIN32
        if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES)
            return candidate;
#else
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0)
            return candidate;
#endif
        folder = folder.substr(0, folder.find_last_of("\\/"));
    }
    return name;
}

struct Child {
#ifdef _WIN32
    HANDLE process = nullptr;
    DWORD id = 0;
#else
    pid_t id = 0;
#endif
};

inline bool Start(const std::vector<std::string>& args, Child& child) {
#ifdef _WIN32
    std::string line = "\"" + Program() + "\"";
    for (const std::string& a : args)
        line += " \"" + a + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    child.process = pi.hProcess;
    child.id = pi.dwProcessId;
    return true;
#else
    std::vector<std::string> all{Program()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return posix_spawn(&child.id, argv[0], nullptr, nullptr, argv.data(), environ) == 0;
#endif
}

// The exit code, or -1 when the child did not end within ms (it is killed).
inline int Wait(Child& child, unsigned ms) {
#ifdef _WIN32
    int code = -1;
    if (WaitForSingleObject(child.process, ms) == WAIT_OBJECT_0) {
        DWORD c = 0;
        GetExitCodeProcess(child.process, &c);
        code = static_cast<int>(c);
    } else {
        TerminateProcess(child.process, 1);
        WaitForSingleObject(child.process, 5000);
    }
    CloseHandle(child.process);
    child.process = nullptr;
    return code;
#else
    int status = 0;
    for (unsigned waited = 0; waited <= ms; waited += 10) {
        if (waitpid(child.id, &status, WNOHANG) == child.id)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(10000);
    }
    kill(child.id, SIGKILL);
    waitpid(child.id, &status, 0);
    return -1;
#endif
}

} // namespace peer

#endif
