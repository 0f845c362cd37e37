// The loopback HTTP server of the download tests (test/http_server.py).
// Natively the test starts it and ends it by closing its standard input;
// under Wine a test fixture runs it and names its port file in
// STUB_TEST_HTTP_PORT_FILE (a Unix path, reached through drive Z:).
#ifndef STUB_UPDATE_TEST_LOOPBACKSERVER_H
#define STUB_UPDATE_TEST_LOOPBACKSERVER_H

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

class LoopbackServer {
public:
    // args: further arguments of the server (natively only), e.g. "--tls".
    explicit LoopbackServer(std::vector<std::string> args = {}) {
#ifdef _WIN32
        (void)args;
        const char* file = std::getenv("STUB_TEST_HTTP_PORT_FILE");
        if (file && *file) {
            std::ifstream in(std::string("Z:") + file);
            in >> m_nPort;
        }
#else
        int toServer[2], fromServer[2];
        if (pipe(toServer) != 0)
            return;
        if (pipe(fromServer) != 0) {
            close(toServer[0]);
            close(toServer[1]);
            return;
        }
        m_Pid = fork();
        if (m_Pid == 0) {
            dup2(toServer[0], 0);
            dup2(fromServer[1], 1);
            close(toServer[0]);
            close(toServer[1]);
            close(fromServer[0]);
            close(fromServer[1]);
            std::vector<char*> argv{const_cast<char*>("python3"),
                                    const_cast<char*>(STUB_TEST_HTTP_SERVER)};
            for (std::string& a : args)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execvp("python3", argv.data());
            _exit(127);
        }
        close(toServer[0]);
        close(fromServer[1]);
        m_nInput = toServer[1];
        // The server prints its port once it listens; end of output means it
        // failed to start.
        std::string line;
        char c = 0;
        while (line.size() < 64 && read(fromServer[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(fromServer[0]);
        if (!args.empty() && args[0] == "--tls")
            m_sScheme = "https";
        if (line.rfind("PORT ", 0) == 0)
            m_nPort = std::atoi(line.c_str() + 5);
#endif
    }

    ~LoopbackServer() {
#ifndef _WIN32
        if (m_nInput >= 0)
            close(m_nInput);
        if (m_Pid > 0) {
            int status = 0;
            waitpid(m_Pid, &status, 0);
        }
#endif
    }

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const {
        return m_nPort;
    }
    std::string Url(const std::string& path) const {
        return m_sScheme + "://127.0.0.1:" + std::to_string(m_nPort) + path;
    }

private:
    int m_nPort = 0;
    std::string m_sScheme = "http";
#ifndef _WIN32
    pid_t m_Pid = -1;
    int m_nInput = -1;
#endif
};

// The body the server sends for /bytes/N and friends.
inline std::string ServerBody(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i % 251);
    return s;
}

#endif
