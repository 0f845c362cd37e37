// The scripted loop against scripted clients, its response helpers, and the TCP probe.
// The loop counts password answers for the whole process, so each loop case needs a process of
// its own (ctest runs every case so).
#include "ssh_exec.h"
#include "test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace {

std::string g_output;

// Sends one command after the login and keeps its cleaned output.
int RunUname(const char* recv, char* sent, int max_sent, exec_context* cntx) {
    if (cntx->state == EXEC_LOGIN) {
        cntx->SetCommand("uname -a");
        snprintf(sent, static_cast<size_t>(max_sent), "%s\n", cntx->cmd);
        cntx->state = EXEC_REMOTE;
        return 1;
    }
    if (cntx->state == EXEC_REMOTE) {
        char out[SSH_BUF_SIZE];
        extract_response(const_cast<char*>(recv), cntx->cmd, out, sizeof(out));
        g_output = out;
        cntx->state = EXEC_RESPONSE;
    }
    return 0;
}

class ExecLoopTest : public ClientDirTest {
protected:
    exec_context* NewContext() {
        exec_context* cntx = new exec_context;
        EXPECT_EQ(get_ssh_cmd(cntx, "admin", "h"), SSH_SUCCESS);
        snprintf(cntx->password, sizeof(cntx->password), "%s", "Pa55-w0rd-XYZ");
        return cntx;
    }
};

TEST_F(ExecLoopTest, LogsInRunsTheCallersCommandAndQuits) {
    WriteClient(R"(echo "args:$*" > got.txt
printf 'Looking up host "h" for SSH connection\nThe host key is not cached for this server:\n'
printf 'The server'"'"'s ssh-ed25519 key fingerprint is:\n  ssh-ed25519 255 SHA256:abc\n'
printf 'Store key in cache? (y/n, Return cancels connection, i for more info) '
read -r key; echo "key:$key" >> got.txt
printf 'Using username "admin".\r\nadmin@h'"'"'s password: '
read -r pw; echo "pw:$pw" >> got.txt
printf '\r\n~ # '
while read -r line; do
  printf '%s\r\n' "$line"
  case "$line" in
    "uname -a") printf 'Linux h 6.1\r\nx86_64\r\n~ # ' ;;
    quit) echo "quit" >> got.txt; printf 'logout\r\n'; exit 0 ;;
  esac
done
)");
    exec_context* cntx = NewContext();
    TraceCapture trace;
    EXPECT_EQ(ssh_exec(cntx, RunUname, 10), SSH_SUCCESS);
    std::string traced = trace.Text();
    EXPECT_EQ(cntx->state, EXEC_QUIT);
    EXPECT_EQ(execstate_to_exit_code(cntx->cli_result, cntx->state), SSH_SUCCESS);
    EXPECT_EQ(g_output, "Linux h 6.1\r\nx86_64");
    EXPECT_EQ(ReadFile("got.txt"), "args:-ssh -v admin@h\nkey:y\npw:Pa55-w0rd-XYZ\nquit\n");
    EXPECT_EQ(traced.find("Pa55-w0rd-XYZ"), std::string::npos);
    release_cntx(&cntx);
    EXPECT_EQ(cntx, nullptr);
}

TEST_F(ExecLoopTest, FourthPasswordPromptEndsTheRun) {
    WriteClient(R"(i=0
while [ $i -lt 4 ]; do
  printf 'admin@h'"'"'s password: '
  read -r pw; echo "$pw" >> got.txt
  i=$((i+1))
done
)");
    exec_context* cntx = NewContext();
    EXPECT_EQ(ssh_exec(cntx, RunUname, 10), SSH_SUCCESS);
    EXPECT_EQ(cntx->state, EXEC_TERMINATE);
    EXPECT_EQ(cntx->cli_result, SSH_CANNOT_CONNECT_ERR);
    EXPECT_EQ(ReadFile("got.txt"), "Pa55-w0rd-XYZ\nPa55-w0rd-XYZ\nPa55-w0rd-XYZ\n");
    release_cntx(&cntx);
}

TEST_F(ExecLoopTest, MissingClientOrArguments) {
    exec_context cntx;
    EXPECT_EQ(get_ssh_cmd(&cntx, "admin", "h"), SSH_CLIENT_NOT_FOUND_ERR);
    EXPECT_EQ(ssh_exec(nullptr, RunUname, 10), SSH_INTERNAL_ERR);
    EXPECT_EQ(ssh_exec(&cntx, nullptr, 10), SSH_INTERNAL_ERR);
}

TEST(ExecHelpers, ExitCodeByState) {
    const struct {
        SshCodes code;
        ExecState state;
        SshCodes expected;
    } rows[] = {
        {SSH_SUCCESS, EXEC_QUIT, SSH_SUCCESS},
        {SSH_SUCCESS, EXEC_CANCELED_BY_TIMEOUT, SSH_REMOTE_TIMEOUT_ERR},
        {SSH_CANNOT_CONNECT_ERR, EXEC_TERMINATE, SSH_CANNOT_CONNECT_ERR},
        {SSH_SUCCESS, EXEC_LOGIN, SSH_AUTH_ERR},
        {SSH_SUCCESS, EXEC_CONNECTING, SSH_CANNOT_CONNECT_ERR},
        {SSH_SUCCESS, EXEC_STARTING, SSH_CLIENT_ERR},
        {SSH_SUCCESS, EXEC_TERMINATED, SSH_REMOTE_PARSER_ERR},
    };
    for (const auto& row : rows)
        EXPECT_EQ(execstate_to_exit_code(row.code, row.state), row.expected) << row.state;
}

TEST(ExecHelpers, ExtractResponse) {
    const struct {
        const char* recv;
        const char* cmd;
        int size;
        const char* expected;
    } rows[] = {
        {"ls -l\r\nfile1\r\nfile2\r\n~ # ", "ls -l", 4096, "file1\r\nfile2"},
        {"ls -l\r\nfile1\r\nfile2\r\n[root@h:~]# ", "ls -l", 4096, "file1\r\nfile2"},
        {"output only\r\nuser@h:~$ ", "absent", 4096, "output only"},
        {"ls\r\nno prompt\r\n\r\n", "ls", 4096, "no prompt"},
        {"ls\r\n~ # ", "ls", 4096, ""},
        {"ls\r\nabcdefgh", "ls", 5, "abcd"},
    };
    for (const auto& row : rows) {
        char recv[256], cmd[64], response[4096] = "untouched";
        strcpy(recv, row.recv);
        strcpy(cmd, row.cmd);
        extract_response(recv, cmd, response, row.size);
        EXPECT_STREQ(response, row.expected) << row.recv;
    }
    char response[16] = "untouched";
    extract_response(nullptr, nullptr, response, sizeof(response));
    EXPECT_STREQ(response, "untouched");
}

std::vector<std::string> g_lines;
int g_stop_after = 100;

int CollectLine(char* line, exec_context*) {
    g_lines.push_back(line);
    return static_cast<int>(g_lines.size()) < g_stop_after;
}

TEST(ExecHelpers, ResponseParser) {
    const struct {
        const char* response;
        int stop_after;
        std::vector<std::string> lines;
    } rows[] = {
        {"a\r\nb", 100, {"a", "b"}},
        {"a\r\nb\r\n", 100, {"a", "b", ""}},
        {"\r\n\r\na\r\n\r\nb", 100, {"a", "b"}},
        {"a\r\nb\r\nc", 2, {"a", "b"}},
        {"", 100, {""}},
        {"only\nline feeds\n", 100, {"only\nline feeds"}},
    };
    for (const auto& row : rows) {
        g_lines.clear();
        g_stop_after = row.stop_after;
        std::string copy(row.response);
        response_parser(&copy[0], nullptr, CollectLine);
        EXPECT_EQ(g_lines, row.lines) << row.response;
        EXPECT_EQ(copy, row.response);
    }
    // Lines are cut to 99 characters.
    g_lines.clear();
    g_stop_after = 100;
    std::string longline(150, 'z');
    response_parser(&longline[0], nullptr, CollectLine);
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], std::string(99, 'z'));
}

TEST(TcpProbe, ConnectsToALoopbackListener) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    socklen_t len = sizeof(addr);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    std::string port = std::to_string(ntohs(addr.sin_port));

    SOCKET sock = SOCKET_NONE;
    EXPECT_EQ(tcp_connect("127.0.0.1", port.c_str(), &sock), SSH_SUCCESS);
    ASSERT_NE(sock, SOCKET_NONE);
    EXPECT_EQ(fcntl(sock, F_GETFL) & O_NONBLOCK, 0);
    sock_close(&sock);
    EXPECT_EQ(sock, SOCKET_NONE);
    close(listener);

    EXPECT_EQ(tcp_connect(nullptr, "22", &sock), SSH_INTERNAL_ERR);
    EXPECT_EQ(tcp_connect("127.0.0.1", nullptr, &sock), SSH_INTERNAL_ERR);
    EXPECT_EQ(tcp_connect("127.0.0.1", "22", nullptr), SSH_INTERNAL_ERR);
}

TEST(TcpProbe, UnresolvableNameReportsTheResolversOwnText) {
    zeb_set_trace(TRACE_MODE_DEBUG);
    const char* host = "no-such-host.invalid";
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* list = nullptr;
    int rc = getaddrinfo(host, "22", &hints, &list);
    ASSERT_NE(rc, 0);

    SOCKET sock = SOCKET_NONE;
    TraceCapture trace;
    EXPECT_EQ(tcp_connect(host, "22", &sock), SSH_CANNOT_CONNECT_ERR);
    std::string traced = trace.Text();
    EXPECT_EQ(sock, SOCKET_NONE);
    std::string expected = std::string("Unable to connect to host no-such-host.invalid port 22 (") +
                           std::to_string(rc) + "): " + gai_strerror(rc) + "\n";
    EXPECT_NE(traced.find(expected), std::string::npos) << traced;
}

TEST(TcpProbe, AvailabilityMakesAtLeastOneAttempt) {
    zeb_set_trace(TRACE_MODE_DEBUG);
    // Nothing listens on this loopback address; a refused connection comes back at once.
    for (int count : {0, -3}) {
        TraceCapture trace;
        EXPECT_EQ(is_server_available("127.0.0.254", count), 0);
        std::string traced = trace.Text();
        size_t attempts = 0;
        for (size_t pos = traced.find("Trying to connect"); pos != std::string::npos;
             pos = traced.find("Trying to connect", pos + 1))
            ++attempts;
        EXPECT_EQ(attempts, 1u) << count;
    }
    EXPECT_EQ(is_server_available(nullptr, 3), 0);
    EXPECT_EQ(is_server_available(nullptr, 2.0), 0);
}

} // namespace
