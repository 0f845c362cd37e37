// The session against scripted clients that play plink's side of a dialogue.
// A password answered once counts for the whole process, so each case needs a process of its own
// (ctest runs every case so).
#include "SshSession.h"
#include "test_support.h"

#include <cerrno>
#include <csignal>
#include <string>
#include <sys/stat.h>

using Ssh::SshSession;

namespace {

const char kPassword[] = "Pa55-w0rd-XYZ";

// plink's question for a key it has not cached yet.
const char kNewHostKey[] =
    "printf 'The host key is not cached for this server:\\n  h (port 22)\\nThe server'\"'\"'s "
    "ssh-ed25519 key fingerprint is:\\n  ssh-ed25519 255 SHA256:abc\\nStore key in cache? (y/n, "
    "Return cancels connection, i for more info) '\n";

// A shell that echoes each line, CR LF line ends, the "~ # " prompt after each block.
const char kShellLoop[] = R"(
while read -r line; do
  printf '%s\r\n' "$line"
  case "$line" in
    exit) exit 0 ;;
    uname) printf 'Linux\r\n~ # ' ;;
    slow) sleep 3; printf 'done\r\n~ # ' ;;
    cr) printf 'a\rb\r\r\n~ # ' ;;
    big) i=0
         while [ $i -lt 2000 ]; do
           printf '%s' xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx; i=$((i+1))
         done
         printf '\r\n~ # ' ;;
    pause) printf 'part one\r\n'; sleep 2.5; printf 'part two\r\n~ # ' ;;
    cues) printf 'vault-password: x\r\nlogout-gw\r\nhost key fingerprint y/n\r\n~ # ' ;;
    save) printf 'Configuration Saved\r\n' ;;
    logout) printf 'logout\r\n' ;;
  esac
done
)";

std::string Exchange(SshSession& session, const std::string& command, SshCodes expected) {
    EXPECT_EQ(session.SendCommand(command), SSH_SUCCESS) << command;
    char* response = nullptr;
    EXPECT_EQ(session.GetResponse(&response), expected) << command;
    return response ? response : "";
}

class SessionTest : public ClientDirTest {};

TEST_F(SessionTest, LoginAnswersHostKeyAndPasswordThenCleansCommandOutput) {
    WriteClient(std::string("echo \"args:$*\" > got.txt\n"
                            "echo \"sid:$(cut -d' ' -f6 /proc/$$/stat) pid:$$\" >> got.txt\n"
                            "echo \"umask:$(umask)\" >> got.txt\n") +
                kNewHostKey +
                "read -r key; echo \"key:$key\" >> got.txt\n"
                "printf 'Using username \"admin\".\\r\\nadmin@h'\"'\"'s password: '\n"
                "read -r pw; echo \"pw:$pw\" >> got.txt\n"
                "printf '\\r\\n~ # '\n" +
                kShellLoop);
    mode_t tool_mask = umask(027);
    TraceCapture trace;
    {
        SshSession session;
        ASSERT_EQ(session.Init(), SSH_SUCCESS);
        ASSERT_EQ(session.RunSshClient("h", "admin", kPassword), SSH_SUCCESS);
        EXPECT_EQ(session.GetState(), EXEC_CONNECTING);
        // The client runs with an open file mask, the tool keeps its own.
        EXPECT_EQ(umask(027), 027u);

        char* response = nullptr;
        ASSERT_EQ(session.GetResponse(&response), SSH_SUCCESS);
        EXPECT_EQ(std::string(response), "\r\n~ # ");
        EXPECT_EQ(session.GetState(), EXEC_LOGIN);

        session.SetState(EXEC_REMOTE);
        EXPECT_EQ(Exchange(session, "uname\n", SSH_SUCCESS), "Linux\r\n~ # ");

        // After the login, words like the client's cues are command output: nothing is typed in
        // answer, the password is not sent again and the session does not end.
        EXPECT_EQ(Exchange(session, "cues\n", SSH_SUCCESS),
                  "vault-password: x\r\nlogout-gw\r\nhost key fingerprint y/n\r\n~ # ");
        session.SetTimeout(4);
        EXPECT_EQ(Exchange(session, "logout\n", SSH_SUCCESS), "logout");
        EXPECT_EQ(session.GetState(), EXEC_REMOTE);
        session.SendCommand("exit\n");
    }
    std::string traced = trace.Text();
    umask(tool_mask);

    std::string got = ReadFile("got.txt");
    EXPECT_NE(got.find("args:-ssh admin@h\n"), std::string::npos) << got;
    EXPECT_NE(got.find("key:y\n"), std::string::npos) << got;
    EXPECT_NE(got.find(std::string("pw:") + kPassword + "\n"), std::string::npos) << got;
    EXPECT_NE(got.find("umask:0000\n"), std::string::npos) << got;
    // A session of its own: the client has no controlling terminal to ask the password on.
    std::string pid = got.substr(got.find(" pid:") + 5);
    pid = pid.substr(0, pid.find('\n'));
    EXPECT_NE(got.find("sid:" + pid + " "), std::string::npos) << got;

    EXPECT_EQ(traced.find(kPassword), std::string::npos) << traced;
    EXPECT_NE(traced.find("\n********\n"), std::string::npos) << traced;
    EXPECT_NE(traced.find("enter password for system password request"), std::string::npos);
}

TEST_F(SessionTest, ResponsesSettleBeforeDeliveryAndAreWhole) {
    WriteClient(std::string("printf '~ # '\n") + kShellLoop);
    SshSession session;
    ASSERT_EQ(session.RunSshClient("h", "admin", kPassword), SSH_SUCCESS);
    char* response = nullptr;
    ASSERT_EQ(session.GetResponse(&response), SSH_SUCCESS);
    EXPECT_EQ(std::string(response), "~ # ");
    session.SetState(EXEC_REMOTE);

    // The echo arrives alone and is not a response of its own.
    EXPECT_EQ(Exchange(session, "slow\n", SSH_SUCCESS), "done\r\n~ # ");
    EXPECT_EQ(Exchange(session, "cr\n", SSH_SUCCESS), "ab\r\n~ # ");

    // 100000 bytes, more than a pipe holds: one answer, nothing left for the next request.
    EXPECT_EQ(Exchange(session, "big\n", SSH_SUCCESS), std::string(100000, 'x') + "\r\n~ # ");
    // A pause inside an answer does not cut it while the shell prompt has not come.
    EXPECT_EQ(Exchange(session, "uname\n", SSH_SUCCESS), "Linux\r\n~ # ");
    EXPECT_EQ(Exchange(session, "pause\n", SSH_SUCCESS), "part one\r\npart two\r\n~ # ");

    session.SendCommand("exit\n");
}

// A fast session takes the login prompts and each answer at its prompt, in either prompt style,
// and an answer that comes in pieces (a progress line first) still only at its prompt.
TEST_F(SessionTest, FastSessionTakesEachAnswerAtItsPrompt) {
    WriteClient(std::string(kNewHostKey) +
                "read -r key\n"
                "printf 'admin@h'\"'\"'s password: '\n"
                "read -r pw; echo \"pw:$pw\" > got.txt\n"
                "printf '\\r\\n[root@h:~] '\n" +
                R"(while read -r line; do
  printf '%s\r\n' "$line"
  case "$line" in
    exit) exit 0 ;;
    pieces) printf 'Suspending VM...\r\n'; sleep 1; printf 'done\r\n[root@h:~] ' ;;
    classic) printf 'x\r\n~ # ' ;;
  esac
done
)");
    SshSession session;
    session.SetFast(true);
    ASSERT_EQ(session.RunSshClient("h", "admin", kPassword), SSH_SUCCESS);
    char* response = nullptr;
    ASSERT_EQ(session.GetResponse(&response), SSH_SUCCESS);
    EXPECT_EQ(std::string(response), "\r\n[root@h:~] ");
    session.SetState(EXEC_REMOTE);

    EXPECT_EQ(Exchange(session, "pieces\n", SSH_SUCCESS),
              "Suspending VM...\r\ndone\r\n[root@h:~] ");
    EXPECT_EQ(Exchange(session, "classic\n", SSH_SUCCESS), "x\r\n~ # ");
    session.SendCommand("exit\n");
    EXPECT_EQ(ReadFile("got.txt"), std::string("pw:") + kPassword + "\n");
}

TEST_F(SessionTest, SecondPasswordPromptIsAnAuthErrorAndTheClientIsEndedByForce) {
    WriteClient("echo \"$$\" > pid.txt\n"
                "printf 'admin@h'\"'\"'s password: '\n"
                "read -r pw\n"
                "printf '\\r\\nAccess denied\\r\\nadmin@h'\"'\"'s password: '\n"
                "read -r pw\n");
    SshSession session;
    ASSERT_EQ(session.RunSshClient("h", "admin", "wrong"), SSH_SUCCESS);
    char* response = nullptr;
    TraceCapture trace;
    EXPECT_EQ(session.GetResponse(&response), SSH_AUTH_ERR);
    EXPECT_EQ(session.GetState(), EXEC_LOGIN);
    session.CloseSession();
    std::string traced = trace.Text();
    EXPECT_NE(traced.find("wrong password, terminate connection"), std::string::npos);
    EXPECT_NE(traced.find("client terminated forcibly"), std::string::npos);

    pid_t pid = std::stoi(ReadFile("pid.txt"));
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST_F(SessionTest, SilenceWhileConnectingIsAConnectionError) {
    WriteClient("read -r never\n");
    SshSession session;
    ASSERT_EQ(session.RunSshClient("h", "admin", kPassword), SSH_SUCCESS);
    session.SetTimeout(2);
    char* response = nullptr;
    EXPECT_EQ(session.GetResponse(&response), SSH_CANNOT_CONNECT_ERR);
    EXPECT_EQ(session.GetState(), EXEC_CONNECTING);
}

TEST_F(SessionTest, SilenceAfterLoginIsATimeout) {
    WriteClient("printf '~ # '\nread -r command\nread -r never\n");
    SshSession session;
    ASSERT_EQ(session.RunSshClient("h", "admin", kPassword), SSH_SUCCESS);
    char* response = nullptr;
    ASSERT_EQ(session.GetResponse(&response), SSH_SUCCESS);
    session.SetState(EXEC_REMOTE);
    session.SetTimeout(2);
    EXPECT_EQ(Exchange(session, "hang\n", SSH_REMOTE_TIMEOUT_ERR), "");
    EXPECT_EQ(session.GetState(), EXEC_CANCELED_BY_TIMEOUT);
}

TEST_F(SessionTest, SaveAnswerIsDeliveredWhileRemoteAndSwallowedWhileQuitting) {
    WriteClient(std::string("printf '~ # '\n") + kShellLoop);
    SshSession session;
    ASSERT_EQ(session.RunSshClient("h", "admin", kPassword), SSH_SUCCESS);
    char* response = nullptr;
    ASSERT_EQ(session.GetResponse(&response), SSH_SUCCESS);
    session.SetState(EXEC_REMOTE);
    EXPECT_EQ(Exchange(session, "save\n", SSH_SUCCESS), "Configuration Saved");

    session.SetState(EXEC_QUIT);
    session.SetTimeout(2);
    EXPECT_EQ(Exchange(session, "save\n", SSH_SUCCESS), "");
    session.SendCommand("exit\n");
}

TEST_F(SessionTest, ChangedHostKeyIsAbandoned) {
    WriteClient(
        "printf 'WARNING - POTENTIAL SECURITY BREACH!\\nThe host key does not match the one "
        "Plink has cached for\\nthis server:\\nThe new ssh-ed25519 key fingerprint "
        "is:\\n  ssh-ed25519 255 SHA256:abc\\nUpdate cached key? (y/n, Return cancels "
        "connection, i for more info) '\n"
        "read -r key; echo \"key:[$key]\" > got.txt\n"
        "printf 'Connection abandoned.\\n'\n");
    SshSession session;
    ASSERT_EQ(session.RunSshClient("h", "admin", kPassword), SSH_SUCCESS);
    char* response = nullptr;
    // Errors show in the quiet mode too.
    zeb_set_trace(TRACE_MODE_QUIET);
    TraceCapture trace;
    EXPECT_EQ(session.GetResponse(&response), SSH_AUTH_ERR);
    session.CloseSession();
    std::string traced = trace.Text();
    EXPECT_EQ(session.GetState(), EXEC_KEY_EXCHANGE);
    EXPECT_EQ(ReadFile("got.txt"), "key:[]\n");
    EXPECT_NE(traced.find("host key of the server has changed"), std::string::npos) << traced;
    EXPECT_NE(traced.find(m_dir + "/.putty/sshhostkeys"), std::string::npos) << traced;
}

TEST_F(SessionTest, MissingClientAndEndedClient) {
    SshSession session;
    EXPECT_EQ(session.RunSshClient("h", "admin", kPassword), SSH_CLIENT_NOT_FOUND_ERR);
    EXPECT_EQ(session.GetState(), EXEC_INIT);
    EXPECT_EQ(session.SendCommand(""), SSH_SUCCESS);

    WriteClient("exit 0\n");
    ASSERT_EQ(session.RunSshClient("h", "admin", kPassword), SSH_SUCCESS);
    char* response = nullptr;
    EXPECT_EQ(session.GetResponse(&response), SSH_CANNOT_CONNECT_ERR);
    EXPECT_EQ(session.GetResponse(nullptr), SSH_CANNOT_CONNECT_ERR);
    // Writing to a client that is gone is an error result, not the end of the tool.
    session.SetState(EXEC_REMOTE);
    EXPECT_EQ(session.SendCommand("ls\n"), SSH_REMOTE_PARSER_ERR);
    session.SetState(EXEC_QUIT);
    EXPECT_EQ(session.SendCommand("ls\n"), SSH_SUCCESS);
}

TEST(SessionState, StateToSshcode) {
    const struct {
        ExecState state;
        SshCodes code;
    } rows[] = {{EXEC_INIT, SSH_CLIENT_ERR},
                {EXEC_STARTING, SSH_CLIENT_ERR},
                {EXEC_CONNECTING, SSH_CANNOT_CONNECT_ERR},
                {EXEC_KEY_EXCHANGE, SSH_AUTH_ERR},
                {EXEC_LOGIN, SSH_AUTH_ERR},
                {EXEC_REMOTE, SSH_REMOTE_PARSER_ERR},
                {EXEC_TERMINATED, SSH_REMOTE_PARSER_ERR},
                {EXEC_CANCELED_BY_TIMEOUT, SSH_REMOTE_TIMEOUT_ERR},
                {EXEC_QUIT, SSH_VERIFY_ERR},
                {EXEC_REQUEST, SSH_VERIFY_ERR},
                {EXEC_TERMINATE, SSH_VERIFY_ERR}};
    SshSession session;
    for (const auto& row : rows) {
        session.SetState(row.state);
        EXPECT_EQ(session.StateToSshcode(SSH_VERIFY_ERR), row.code) << row.state;
    }
}

} // namespace
