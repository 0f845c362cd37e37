// The update agent end to end: INFO, UPDATE and INFORM files served by the
// loopback HTTP server (or copied from a test-mode folder), real stubpack
// packages as updates, and a host that records every box, report, install
// and started command line instead of showing or running them.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>

#include "AutoUpdate.h"
#include "HttpDownload.h"
#include "LoopbackServer.h"
#include "PackageWriter.h"
#include "Sha256.h"
#include "TGFileInfo.h"
#include "platform/fileio.h"
#include "platform/settings.h"
#include "platform/system.h"
#include "util/numbers.h"
#include "util/processes.h"
#include "util/services.h"
#include "util/text.h"

using namespace au;

namespace {

const char* const kToken = "family-42";
const char* const kTestSubkey = "Software\\Vendrel\\Harbix\\AutoUpdate";

struct Recorder {
    std::vector<std::pair<int, int>> reports;
    std::vector<std::string> boxes; // "error: ...", "attention: ...", "confirm: ..."
    bool confirmAnswer = true;
    std::vector<InstallRequest> installs;
    std::vector<std::string> installedDigests; // SHA-256 of the package at install time
    bool installResult = true;
    std::vector<std::pair<std::string, bool>> starts;
    std::vector<std::string> logs;
    std::vector<std::string> downloads;
    std::vector<InformRequest> informs;
    bool running = false;
    std::string shutDownMethod;
    int endAgent = 0;
    int quits = 0;

    AgentHost Host() {
        AgentHost h;
        h.report = [this](int c, int v) { reports.emplace_back(c, v); };
        h.log = [this](const std::string& l) { logs.push_back(l); };
        h.trace = [](const std::string&) {};
        h.wait = [](std::uint32_t) {};
        h.errorBox = [this](int, const std::string& t, const std::string&) {
            boxes.push_back("error: " + t);
        };
        h.attentionBox = [this](int, const std::string& t, const std::string&) {
            boxes.push_back("attention: " + t);
        };
        h.confirm = [this](int, const std::string& t, const std::string&) {
            boxes.push_back("confirm: " + t);
            return confirmAnswer;
        };
        h.inform = [this](const InformRequest& r) {
            informs.push_back(r);
            return true;
        };
        h.connected = [](std::string&) { return true; };
        h.download = [this](const std::string& url, const std::string& target, std::string& error,
                            std::string& content) {
            downloads.push_back(url);
            return HTTP_DownloadFile_Incremental(0, url, target, error, nullptr, content);
        };
        h.isRunning = [this](const std::string&) { return running; };
        h.shutDown = [this](const std::string&, const std::string& method, const std::string&) {
            shutDownMethod = method;
            running = false;
        };
        h.start = [this](const std::string& cmd, bool shown) {
            starts.emplace_back(cmd, shown);
            return true;
        };
        h.install = [this](const InstallRequest& r) {
            installs.push_back(r);
            std::string hex;
            FileSha256(r.package, hex);
            installedDigests.push_back(hex);
            return installResult;
        };
        h.postQuit = [this] { ++quits; };
        h.endAgent = [this] { ++endAgent; };
        return h;
    }

    bool Logged(const std::string& line) const {
        return std::find(logs.begin(), logs.end(), line) != logs.end();
    }
    bool BoxContains(const std::string& part) const {
        for (const std::string& b : boxes)
            if (b.find(part) != std::string::npos)
                return true;
        return false;
    }
};

void Registry(const std::string& name, const std::string& value) {
    plat::RegValue v;
    v.type = plat::REG_TYPE_SZ;
    v.data = value + std::string(1, '\0');
    plat::registry_write(plat::REG_ROOT_CURRENT_USER, kTestSubkey, name, v);
}

class AgentCycle : public ::testing::Test {
public:
    void SetUp() override {
        static std::atomic<int> serial{0};
        // The server reads the files by their Unix path; under Wine the same
        // folder is reached through drive Z:.
        m_sUnixRoot = "/tmp/stub-agent-test-" + std::to_string(plat::process_id()) + "-" +
                      std::to_string(serial++);
#ifdef _WIN32
        m_sRoot = "Z:" + m_sUnixRoot;
#else
        m_sRoot = m_sUnixRoot;
        setenv("STUB_REGISTRY", (m_sRoot + "/registry.ini").c_str(), 1);
#endif
        if (!m_pServer)
            m_pServer = MakeServer();
        m_sAgent = m_sRoot + "/agent";
        m_sServer = m_sRoot + "/server";
        std::filesystem::create_directories(m_sAgent);
        std::filesystem::create_directories(m_sServer);
        ASSERT_GT(Server().Port(), 0);
        m_sBaseUrl = Server().Url("/file" + m_sUnixRoot + "/server");

        WriteOrig("OriginalSetup", "ProbeSecondsInterval", "0");
        WriteOrig("OriginalSetup", "VersionOriginal", "4");
        WriteOrig("OriginalSetup", "Stamp", "S1");
        WriteOrig("OriginalSetup", "ProgramName", "Product");
        WriteOrig("AutoUpdate", "s16", "PROG_NAME is up to date.");
        WriteOrig("AutoUpdate", "s17", " Start it again?");

        BuildUpdate(kToken);
        WriteInfo("NewSetup", "DownloadURL_UPDATE", m_sBaseUrl);
        WriteInfo("NewSetup", "NameOfUpdateFile", "update.pkg");
        WriteInfo("NewSetup", "VersionNew", "5");
        WriteInfo("NewSetup", "Stamp", "S2");
        WriteInfo("NewSetup", "ProgramName", "Product");
        WriteInfo("NewSetup", "RunningProcess", m_sRoot + "/product/app.exe");
        WriteInfo("NewSetup", "ShutDownMethod", "Using WM_CLOSE");
        WriteInfo("NewSetup", "RestartProcess", "1");
    }

    void TearDown() override {
        for (const char* name : {"TestMode", "TestModeDate", "TestModeURL"})
            plat::registry_delete_value(plat::REG_ROOT_CURRENT_USER, kTestSubkey, name);
        std::error_code ec;
        std::filesystem::remove_all(m_sRoot, ec);
#ifndef _WIN32
        unsetenv("STUB_REGISTRY");
#endif
    }

    // The UPDATE package on the server, with its size and digest in the INFO
    // file.
    void BuildUpdate(const std::string& token) {
        std::ofstream(m_sRoot + "/image.bin", std::ios::binary) << std::string(3000, 'I');
        std::ofstream(m_sRoot + "/app.exe", std::ios::binary) << "new program";
        stubpack::BuildRequest r;
        r.sImage = m_sRoot + "/image.bin";
        stubpack::PackFile f;
        f.sSource = m_sRoot + "/app.exe";
        f.sName = "app.exe";
        f.bMain = true;
        r.files.push_back(f);
        r.languages.push_back({"English", {"Title=Update"}});
        r.sUpdateUrl = m_sBaseUrl;
        r.sInfoName = "product.ini";
        r.sAgentName = "agent.exe";
        r.sPackageToken = token;
        std::vector<std::string> written;
        std::string error;
        ASSERT_TRUE(stubpack::BuildPackage(r, UpdateOnServer(), written, error)) << error;
        std::string hex;
        ASSERT_TRUE(FileSha256(UpdateOnServer(), hex));
        m_sUpdateDigest = hex;
        WriteInfo("NewSetup", "SizeOfUpdateFile",
                  std::to_string(plat::file_size(UpdateOnServer())));
        WriteInfo("NewSetup", "Sha256OfUpdateFile", hex);
    }

    std::string UpdateOnServer() const {
        return m_sServer + "/update.pkg";
    }
    std::string OrigPath() const {
        return m_sAgent + "/product.original";
    }
    std::string InfoOnServer() const {
        return m_sServer + "/product.ini";
    }

    void WriteOrig(const std::string& s, const std::string& k, const std::string& v) {
        WriteIniString(OrigPath(), s, k, v);
    }
    void WriteInfo(const std::string& s, const std::string& k, const std::string& v) {
        WriteIniString(InfoOnServer(), s, k, v);
    }
    std::string Orig(const std::string& k) {
        return ReadIniString(OrigPath(), "OriginalSetup", k, "");
    }

    AgentConfig Config() const {
        AgentConfig c;
        c.folder = m_sAgent;
        c.infoUrl = m_sBaseUrl;
        c.infoName = "product.ini";
        c.agentName = "agent.exe";
        c.packageToken = kToken;
        return c;
    }

    // One tick that probes at once.
    void Probe(UpdateAgent& agent) {
        control.countdown = 0;
        control.probePermission = true;
        control.updateRequest = true;
        agent.Tick();
    }

    std::string ServerLog() {
        std::string error, content;
        HTTP_DownloadFile_Incremental(0, Server().Url("/log"), "", error, nullptr, content);
        return content;
    }

    virtual std::unique_ptr<LoopbackServer> MakeServer() {
        return std::make_unique<LoopbackServer>();
    }
    LoopbackServer& Server() {
        return *m_pServer;
    }

    std::unique_ptr<LoopbackServer> m_pServer;
    std::string m_sUnixRoot, m_sRoot, m_sAgent, m_sServer, m_sBaseUrl, m_sUpdateDigest;
    AgentControl control;
    Recorder rec;
};

TEST_F(AgentCycle, FullUpdateInstallsRestartsTheProductAndTheAgent) {
    rec.running = true;
    // The agent's own package names the INFO file, the agent and the token.
    AgentConfig config = AgentConfigOf(container::TGFileInfo(UpdateOnServer()), m_sAgent);
    EXPECT_EQ(config.infoUrl, m_sBaseUrl);
    EXPECT_EQ(config.infoName, "product.ini");
    EXPECT_EQ(config.agentName, "agent.exe");
    EXPECT_EQ(config.packageToken, kToken);
    UpdateAgent agent(config, control, rec.Host());
    const std::int64_t before = NowSeconds();
    Probe(agent);

    EXPECT_TRUE(rec.Logged("GetOkToPerformAU = 6 - OK"));
    const std::vector<std::pair<int, int>> reports{{40, 1}, {40, 2}, {41, 1},
                                                   {41, 2}, {42, 1}, {42, 2}};
    EXPECT_EQ(rec.reports, reports);
    EXPECT_EQ(rec.shutDownMethod, "Using WM_CLOSE");

    ASSERT_EQ(rec.installs.size(), 1u);
    const InstallRequest& r = rec.installs[0];
    EXPECT_EQ(LocalFileName(r.package), "update.pkg");
    EXPECT_EQ(rec.installedDigests[0], m_sUpdateDigest); // the whole package was there
    EXPECT_EQ(r.agentName, "agent.exe");
    EXPECT_TRUE(r.foreground);
    EXPECT_EQ(r.arguments, "/OriginalInfoFile=\"" + agent.InfoPath() + "\"");
    EXPECT_FALSE(std::filesystem::exists(r.package)); // deleted after the install

    EXPECT_EQ(Orig("VersionOriginal"), "5");
    EXPECT_EQ(Orig("Stamp"), "S2");
    for (const char* key : {"ProbeSecondsLast", "ReAskSecondsLast"}) {
        std::int64_t t = ParseInt64(Orig(key), 0);
        EXPECT_GE(t, before - 1) << key;
        EXPECT_LE(t, NowSeconds() + 1) << key;
        EXPECT_FALSE(Orig(std::string("__") + key).empty()) << key;
    }

    ASSERT_EQ(rec.starts.size(), 2u);
    EXPECT_EQ(rec.starts[0].first, "\"" + m_sRoot + "/product/app.exe\"");
    EXPECT_TRUE(rec.starts[0].second);
    EXPECT_EQ(rec.starts[1].first, "\"" + JoinLocal(m_sAgent, "agent.exe") +
                                       "\" /_ZZ=99 /WAIT=10 /TRANSIENT=|255|255|255|255|255|255|"
                                       "255|255|");
    EXPECT_FALSE(rec.starts[1].second);
    EXPECT_EQ(rec.endAgent, 1);
    EXPECT_TRUE(rec.boxes.empty()); // InformFinish off, background cycle
    // The INFO file the agent judged is kept beside it.
    EXPECT_EQ(ReadIniString(agent.InfoPath(), "NewSetup", "Stamp", ""), "S2");
}

TEST_F(AgentCycle, RefusedOffersRunNothing) {
    struct Case {
        const char* what;
        std::function<void(AgentCycle&)> change;
        const char* logged;  // decision line, or empty
        const char* boxPart; // error box, or empty
    } cases[] = {
        {"same stamp", [](AgentCycle& t) { t.WriteInfo("NewSetup", "Stamp", "S1"); },
         "GetOkToPerformAU = 2 - Too early for retesting", ""},
        {"version not higher", [](AgentCycle& t) { t.WriteInfo("NewSetup", "VersionNew", "4"); },
         "GetOkToPerformAU = 3 - New version is not higher then old version", ""},
        {"valid versions",
         [](AgentCycle& t) {
             t.WriteOrig("OriginalSetup", "VersionOriginal", "34");
             t.WriteInfo("NewSetup", "VersionNew", "40");
             t.WriteInfo("NewSetup", "ValidVersions", "3,4");
         },
         "GetOkToPerformAU = 4 - \"Valid for version\" mismatch", ""},
        {"size",
         [](AgentCycle& t) {
             t.WriteInfo("NewSetup", "SizeOfUpdateFile",
                         std::to_string(plat::file_size(t.UpdateOnServer()) + 100));
         },
         "GetOkToPerformAU = 5 - Download file size error", ""},
        {"token", [](AgentCycle& t) { t.BuildUpdate("another-family"); },
         "GetOkToPerformAU = 6 - OK", "Bad Secret Token!"},
        {"digest",
         [](AgentCycle& t) {
             t.WriteInfo("NewSetup", "Sha256OfUpdateFile", Sha256Hex("something else"));
         },
         "GetOkToPerformAU = 6 - OK", "SHA-256"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        rec = Recorder();
        control = AgentControl();
        c.change(*this);
        UpdateAgent agent(Config(), control, rec.Host());
        Probe(agent);
        EXPECT_TRUE(rec.Logged(c.logged));
        EXPECT_TRUE(rec.installs.empty());
        EXPECT_TRUE(rec.starts.empty());
        EXPECT_EQ(rec.endAgent, 0);
        EXPECT_FALSE(std::filesystem::exists(m_sAgent + "/update.pkg"));
        // The offer was not processed: stamp and installed version stay.
        EXPECT_EQ(Orig("Stamp"), "S1");
        EXPECT_NE(Orig("VersionOriginal"), "5");
        if (*c.boxPart)
            EXPECT_TRUE(rec.BoxContains(c.boxPart)) << (rec.boxes.empty() ? "" : rec.boxes[0]);
        else
            EXPECT_TRUE(rec.boxes.empty());
        EXPECT_FALSE(Orig("ProbeSecondsLast").empty());
    }
}

TEST_F(AgentCycle, FailedUpdateIsOfferedAgainAndReAskReopensAProcessedOffer) {
    rec.installResult = false; // the installer did not confirm
    UpdateAgent agent(Config(), control, rec.Host());
    Probe(agent);
    ASSERT_EQ(rec.installs.size(), 1u);
    EXPECT_EQ(Orig("VersionOriginal"), "4");
    EXPECT_EQ(Orig("Stamp"), "S1");
    EXPECT_EQ(rec.endAgent, 0);

    rec.installResult = true;
    Probe(agent);
    ASSERT_EQ(rec.installs.size(), 2u);
    EXPECT_EQ(Orig("Stamp"), "S2");

    // Same stamp again: too early, until the re-ask time has passed.
    WriteOrig("OriginalSetup", "VersionOriginal", "4");
    Probe(agent);
    EXPECT_TRUE(rec.Logged("GetOkToPerformAU = 2 - Too early for retesting"));
    EXPECT_EQ(rec.installs.size(), 2u);
    WriteOrig("OriginalSetup", "ReAskSecondsInterval", "10");
    WriteOrig("OriginalSetup", "ReAskSecondsLast", std::to_string(NowSeconds() - 11));
    Probe(agent);
    EXPECT_EQ(rec.installs.size(), 3u);
}

TEST_F(AgentCycle, InformCycleShowsTheTextAndRecordsTheVersion) {
    const std::string inform = "x|" + stubpack::ScrambleToken(kToken) + "|a|b|Hello <B>news</B>";
    std::ofstream(m_sServer + "/news.txt", std::ios::binary) << inform;
    WriteInfo("General", "AutoInform", "1");
    WriteInfo("AutoInform", "NameOfInformFile", "news.txt");
    WriteInfo("AutoInform", "SizeOfInformFile", std::to_string(inform.size()));
    WriteInfo("AutoInform", "DownloadURL_INFORM", "http://127.0.0.1:1/get");
    WriteInfo("AutoInform", "AutoInformW", "400");
    UpdateAgent agent(Config(), control, rec.Host());
    Probe(agent);

    ASSERT_EQ(rec.informs.size(), 1u);
    EXPECT_EQ(rec.informs[0].text, "Hello <B>news</B>");
    EXPECT_EQ(rec.informs[0].link, "http://127.0.0.1:1/get");
    EXPECT_EQ(rec.informs[0].caption, "New Version");
    EXPECT_EQ(rec.informs[0].width, 400);
    EXPECT_EQ(rec.informs[0].height, 360);
    EXPECT_TRUE(rec.installs.empty());
    EXPECT_EQ(Orig("VersionOriginal"), "5");
    EXPECT_EQ(Orig("Stamp"), "S2");
    const std::vector<std::pair<int, int>> reports{{40, 1}, {40, 2}, {41, 1}, {41, 2}};
    EXPECT_EQ(rec.reports, reports);

    // An inform text of another family is refused and removed.
    std::ofstream(m_sServer + "/news.txt", std::ios::binary)
        << "x|" + stubpack::ScrambleToken("other") + "|a|b|Hello <B>news</B>";
    WriteInfo("NewSetup", "Stamp", "S3");
    WriteInfo("NewSetup", "VersionNew", "6");
    rec = Recorder();
    Probe(agent);
    EXPECT_TRUE(rec.informs.empty());
    EXPECT_TRUE(rec.BoxContains("Bad Secret Token!"));
    EXPECT_FALSE(std::filesystem::exists(m_sAgent + "/news.txt"));
    EXPECT_EQ(Orig("VersionOriginal"), "5");
}

TEST_F(AgentCycle, TestModeCopiesFromTheFolderWithoutAnyRequest) {
    Registry("TestMode", "1");
    Registry("TestModeDate", DayStamp());
    Registry("TestModeURL", m_sServer);
    std::string error, content;
    HTTP_DownloadFile_Incremental(0, Server().Url("/clear"), "", error, nullptr, content);
    UpdateAgent agent(Config(), control, rec.Host());
    Probe(agent);
    EXPECT_TRUE(agent.TestMode());
    ASSERT_EQ(rec.installs.size(), 1u);
    EXPECT_EQ(rec.installedDigests[0], m_sUpdateDigest);
    EXPECT_TRUE(rec.downloads.empty());
    EXPECT_EQ(ServerLog(), "");

    // Test mode holds only on the day written.
    Registry("TestModeDate", DayStamp(NowDate() - 1));
    EXPECT_FALSE(agent.CheckTestMode(true));
}

TEST_F(AgentCycle, FailedInfoDownloadKeepsTheGoodInfoFile) {
    struct Case {
        const char* what;
        std::string url;
    } cases[] = {
        {"not found", Server().Url("/status/404")},
        {"larger than an INFO file", Server().Url("/bytes/5000000")},
        {"unreachable", "http://127.0.0.1:1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AgentConfig config = Config();
        config.infoUrl = c.url;
        UpdateAgent agent(config, control, rec.Host());
        std::ofstream(agent.InfoPath()) << "[NewSetup]\nStamp=GOOD\n";
        WriteOrig("OriginalSetup", "ProbeSecondsLast", "0");
        rec = Recorder();
        Probe(agent);
        EXPECT_EQ(ReadIniString(agent.InfoPath(), "NewSetup", "Stamp", ""), "GOOD");
        EXPECT_TRUE(rec.Logged("GetOkToPerformAU = 0 - Error downloading .INFO file"));
        EXPECT_NE(Orig("ProbeSecondsLast"), "0"); // the next probe waits a full interval
        EXPECT_FALSE(std::filesystem::exists(agent.InfoPath() + ".new"));
    }
}

TEST_F(AgentCycle, ScheduleFollowsIntervalRequestsAndForegroundCycles) {
    AgentHost host = rec.Host();
    int infoFetches = 0;
    host.download = [&](const std::string&, const std::string&, std::string& error, std::string&) {
        ++infoFetches;
        error = "offline";
        return false;
    };
    UpdateAgent agent(Config(), control, host);

    // Interval 0: one probe on the fourth tick, then none.
    for (int tick = 1; tick <= 8; ++tick) {
        agent.Tick();
        EXPECT_EQ(infoFetches, tick >= 4 ? 1 : 0) << tick;
    }
    // Agent command 31 asks for one more.
    control.updateRequest = true;
    agent.Tick();
    EXPECT_EQ(infoFetches, 2);
    agent.Tick();
    EXPECT_EQ(infoFetches, 2);

    // Interval -1: never, except on request.
    WriteOrig("OriginalSetup", "ProbeSecondsInterval", "-1");
    control = AgentControl();
    for (int tick = 1; tick <= 6; ++tick)
        agent.Tick();
    EXPECT_EQ(infoFetches, 2);

    // Command 31 with value 2: the next tick is a foreground cycle that asks
    // first and reports that nothing came of it.
    control.updateRequest = true;
    control.exitMode = 2;
    rec.boxes.clear();
    agent.Tick();
    EXPECT_EQ(infoFetches, 3);
    EXPECT_EQ(control.exitMode, 0);
    ASSERT_GE(rec.boxes.size(), 2u);
    EXPECT_EQ(rec.boxes[0].rfind("confirm: ", 0), 0u);
    EXPECT_EQ(rec.boxes.back(), "error: offline");

    // Declining the question skips the probe.
    rec.confirmAnswer = false;
    control.updateRequest = true;
    control.exitMode = 2;
    agent.Tick();
    EXPECT_EQ(infoFetches, 3);

    // Override 1 (as agent commands leave it) asks before every probe.
    AgentHost asking = rec.Host();
    asking.download = host.download;
    asking.overrides = [] {
        return std::array<std::uint8_t, 8>{{1, 255, 255, 255, 255, 255, 255, 255}};
    };
    UpdateAgent askingAgent(Config(), control, asking);
    rec.boxes.clear();
    control.updateRequest = true;
    askingAgent.Tick();
    EXPECT_EQ(infoFetches, 3);
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].rfind("confirm: ", 0), 0u);
    rec.confirmAnswer = true;

    // A shutdown request of 3 quits on the fourth tick.
    control = AgentControl();
    control.shutdownRequest = 3;
    for (int tick = 1; tick <= 5; ++tick) {
        agent.Tick();
        EXPECT_EQ(rec.quits, tick >= 4 ? 1 : 0) << tick;
    }

    // Command 32: the next tick only fetches the INFO file.
    control.command32 = true;
    rec.reports.clear();
    agent.Tick();
    EXPECT_EQ(infoFetches, 4);
    const std::vector<std::pair<int, int>> reports{{40, 1}, {40, 2}};
    EXPECT_EQ(rec.reports, reports);
}

#ifndef _WIN32
TEST_F(AgentCycle, RunningProductIsEndedByItsPathBeforeTheInstall) {
    // A copy of sleep under the product's path, so that ending it by path
    // touches no other process.
    const std::string program = m_sRoot + "/product/app.exe";
    std::filesystem::create_directories(m_sRoot + "/product");
    std::filesystem::copy_file("/bin/sleep", program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    WriteInfo("NewSetup", "ShutDownMethod", "Using Terminate Process");
    plat::ProcessHandle process;
    ASSERT_TRUE(StartProgram("\"" + program + "\" 30", plat::SHOW_HIDE, process));
    for (int i = 0; i < 100 && !IsProcessRunning(program); ++i)
        YieldX(20);
    ASSERT_TRUE(IsProcessRunning(program));

    AgentHost host = rec.Host();
    host.isRunning = nullptr; // the real services, with the real waits
    host.shutDown = nullptr;
    host.wait = nullptr;
    bool runningAtInstall = true;
    host.install = [&](const InstallRequest&) {
        runningAtInstall = IsProcessRunning(program);
        return true;
    };
    UpdateAgent agent(Config(), control, host);
    Probe(agent);
    EXPECT_FALSE(runningAtInstall);
    EXPECT_TRUE(WaitProgram(process, 5000));
    plat::close_process(process);
    // It had to be ended, so it is started again.
    ASSERT_FALSE(rec.starts.empty());
    EXPECT_EQ(rec.starts[0].first, "\"" + program + "\"");
}

// https with a certificate made for this run and trusted through
// STUB_CA_FILE; libcurl verifies it like any other.
class AgentCycleTls : public AgentCycle {
public:
    std::unique_ptr<LoopbackServer> MakeServer() override {
        m_sTls = "/tmp/stub-agent-tls-" + std::to_string(plat::process_id());
        std::filesystem::create_directories(m_sTls);
        std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "
                              "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
                              m_sTls + "/key.pem -out " + m_sTls + "/cert.pem 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        setenv("STUB_CA_FILE", (m_sTls + "/cert.pem").c_str(), 1);
        return std::make_unique<LoopbackServer>(
            std::vector<std::string>{"--tls", m_sTls + "/cert.pem", m_sTls + "/key.pem"});
    }
    void TearDown() override {
        AgentCycle::TearDown();
        unsetenv("STUB_CA_FILE");
        std::error_code ec;
        std::filesystem::remove_all(m_sTls, ec);
    }
    std::string m_sTls;
};

TEST_F(AgentCycleTls, UpdateOverHttpsWithAVerifiedCertificate) {
    ASSERT_EQ(m_sBaseUrl.rfind("https://", 0), 0u);
    UpdateAgent agent(Config(), control, rec.Host());
    Probe(agent);
    ASSERT_EQ(rec.installs.size(), 1u);
    EXPECT_EQ(rec.installedDigests[0], m_sUpdateDigest);
    EXPECT_EQ(Orig("VersionOriginal"), "5");

    // Without the certificate in the trusted list nothing is fetched.
    unsetenv("STUB_CA_FILE");
    WriteOrig("OriginalSetup", "VersionOriginal", "4");
    rec = Recorder();
    Probe(agent);
    EXPECT_TRUE(rec.Logged("GetOkToPerformAU = 0 - Error downloading .INFO file"));
    EXPECT_TRUE(rec.installs.empty());
}
#endif

} // namespace
