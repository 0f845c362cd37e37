// The session with the real plink against the loopback OpenSSH server of scripts/test-sshd.sh
// (CTest fixture "loopback_sshd"). A real exchange costs about two seconds, so each case covers a
// whole dialogue.
#include "SshSession.h"
#include "ssh_exec.h"
#include "test_support.h"

#include <string>

using Ssh::SshSession;

namespace {

const char kHost[] = "127.0.0.2";
const char kUser[] = "zebssh";
const char kPassword[] = "zeb-Ssh-test1";

class RealClientTest : public ClientDirTest {
protected:
    void SetUp() override {
        ClientDirTest::SetUp();
        std::filesystem::create_symlink("/usr/bin/plink", m_dir + "/plink");
    }
};

// First login (the key is not cached yet), commands, then the same server with a cached key that
// no longer matches.
TEST_F(RealClientTest, LoginCommandsAndChangedHostKey) {
    {
        SshSession session;
        ASSERT_EQ(session.Init(), SSH_SUCCESS);
        ASSERT_EQ(session.RunSshClient(kHost, kUser, kPassword), SSH_SUCCESS);
        char* response = nullptr;
        ASSERT_EQ(session.GetResponse(&response), SSH_SUCCESS);
        EXPECT_NE(std::string(response).find("~ # "), std::string::npos) << response;
        EXPECT_EQ(session.GetState(), EXEC_LOGIN);
        session.SetState(EXEC_REMOTE);

        ASSERT_EQ(session.SendCommand("echo hello; id -un\n"), SSH_SUCCESS);
        ASSERT_EQ(session.GetResponse(&response), SSH_SUCCESS);
        EXPECT_EQ(std::string(response), std::string("hello\r\n") + kUser + "\r\n~ # ");
    }

    // Change the cached key by one digit.
    std::string cache = ReadFile(".putty/sshhostkeys");
    ASSERT_NE(cache.find(std::string("@22:") + kHost + " "), std::string::npos) << cache;
    size_t last = cache.find_last_not_of("\r\n");
    cache[last] = cache[last] == '1' ? '2' : '1';
    std::ofstream(m_dir + "/.putty/sshhostkeys") << cache;

    SshSession session;
    ASSERT_EQ(session.RunSshClient(kHost, kUser, kPassword), SSH_SUCCESS);
    char* response = nullptr;
    TraceCapture trace;
    EXPECT_EQ(session.GetResponse(&response), SSH_AUTH_ERR);
    session.CloseSession();
    std::string traced = trace.Text();
    EXPECT_EQ(session.GetState(), EXEC_KEY_EXCHANGE);
    EXPECT_NE(traced.find("host key of the server has changed"), std::string::npos) << traced;
    EXPECT_EQ(traced.find("client terminated forcibly"), std::string::npos) << traced;
    // The cache keeps the old entry: nothing was accepted.
    EXPECT_EQ(ReadFile(".putty/sshhostkeys"), cache);
}

TEST_F(RealClientTest, WrongPasswordIsAnAuthError) {
    SshSession session;
    ASSERT_EQ(session.RunSshClient(kHost, kUser, "not-the-password"), SSH_SUCCESS);
    char* response = nullptr;
    EXPECT_EQ(session.GetResponse(&response), SSH_AUTH_ERR);
    EXPECT_EQ(session.GetState(), EXEC_LOGIN);
}

TEST(RealServerProbe, SshPortAnswers) {
    EXPECT_EQ(is_server_available(kHost, 1), 1);
}

} // namespace
