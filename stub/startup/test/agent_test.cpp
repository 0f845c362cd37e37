// Agent commands (message 1125), the listener and the dispatch of the three
// messages between Stub processes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "startup/agent.h"
#include "startup/agent_settings.h"
#include "startup/settings.h"

namespace {

class MapSettings : public AgentSettings {
public:
    std::int64_t Get(AgentSetting s) override { return values[s]; }
    void Set(AgentSetting s, std::int64_t v) override { values[s] = v; }
    void SetOverride(int n, unsigned char v) override { overrides[n] = v; }
    std::map<AgentSetting, std::int64_t> values;
    std::map<int, unsigned char> overrides;
};

struct Post {
    plat::WindowHandle w;
    std::uint32_t msg;
    plat::WParam wp;
    plat::LParam lp;
};

struct Recorder {
    std::vector<Post> posts;
    plat::WindowHandle existing = 0x777;
    ListenerPort Port() {
        return ListenerPort{
            [this](plat::WindowHandle w) { return w == existing; },
            [this](plat::WindowHandle w, std::uint32_t m, plat::WParam wp, plat::LParam lp) {
                posts.push_back({w, m, wp, lp});
                return true;
            }};
    }
};

TEST(AgentCommands, GettersAndSetters) {
    AgentState state;
    MapSettings settings;
    settings.values[AgentSetting::VersionOriginal] = 7;
    settings.values[AgentSetting::VersionNew] = 9;
    state.nLastResult = 3;
    EXPECT_EQ(RunAgentCommand(state, settings, 4, 0), 7);
    EXPECT_EQ(RunAgentCommand(state, settings, 5, 0), 9);
    EXPECT_EQ(RunAgentCommand(state, settings, 7, 0), 3);

    const struct {
        plat::WParam set, get;
        AgentSetting setting;
    } pairs[] = {{12, 8, AgentSetting::ProbeSecondsInterval},
                 {13, 9, AgentSetting::ReAskSecondsInterval},
                 {14, 10, AgentSetting::ProbeSecondsLast},
                 {15, 11, AgentSetting::ReAskSecondsLast}};
    plat::LParam value = 1000;
    for (const auto& p : pairs) {
        EXPECT_EQ(RunAgentCommand(state, settings, p.set, value), 0);
        EXPECT_EQ(settings.values[p.setting], value);
        EXPECT_EQ(RunAgentCommand(state, settings, p.get, 0), value) << p.get;
        value += 111;
    }
}

TEST(AgentCommands, OverridesTakeTheLowByte) {
    AgentState state;
    MapSettings settings;
    for (plat::WParam code = 20; code <= 25; ++code)
        EXPECT_EQ(RunAgentCommand(state, settings, code, 0x100 + static_cast<plat::LParam>(code)),
                  0);
    ASSERT_EQ(settings.overrides.size(), 6u);
    EXPECT_EQ(settings.overrides[1], 20);
    EXPECT_EQ(settings.overrides[6], 25);
}

TEST(AgentCommands, ShutdownUpdateCycleAndCommand32) {
    AgentState state;
    MapSettings settings;
    RunAgentCommand(state, settings, 30, 4);
    EXPECT_EQ(state.nShutdownRequest, 4);

    state.nCountdown = -20;
    RunAgentCommand(state, settings, 31, 1);
    EXPECT_TRUE(state.bUpdateRequest);
    EXPECT_EQ(state.nCountdown, 1);
    EXPECT_EQ(state.nExitMode, 0);
    state.nCountdown = 50;
    RunAgentCommand(state, settings, 31, 2);
    EXPECT_EQ(state.nCountdown, 50);
    EXPECT_EQ(state.nExitMode, 2);

    RunAgentCommand(state, settings, 32, 0);
    EXPECT_TRUE(state.bCommand32);
    // Unknown codes change nothing.
    const AgentState before = state;
    EXPECT_EQ(RunAgentCommand(state, settings, 99, 5), 0);
    EXPECT_EQ(state.nShutdownRequest, before.nShutdownRequest);
    EXPECT_TRUE(settings.overrides.empty());
}

TEST(Listener, RegistrationReportsAndRefusals) {
    AgentState state;
    Recorder rec;
    const ListenerPort port = rec.Port();
    EXPECT_FALSE(ReportToListener(state, port, REPORT_LOOP_ENDED, 0));

    // Refused: no window, a window that does not exist, a system message.
    EXPECT_FALSE(SetListener(state, port, 0x55, 0, 0x8000));
    EXPECT_FALSE(SetListener(state, port, 0x55, 0x123, 0x8000));
    EXPECT_FALSE(SetListener(state, port, 0x55, 0x777, 0x0010));
    EXPECT_TRUE(rec.posts.empty());
    EXPECT_EQ(state.hListener, 0u);

    ASSERT_TRUE(SetListener(state, port, 0x55, 0x777, 0x8001));
    ASSERT_EQ(rec.posts.size(), 2u);
    EXPECT_EQ(rec.posts[0].w, 0x777u);
    EXPECT_EQ(rec.posts[0].msg, 0x8001u);
    EXPECT_EQ(rec.posts[0].wp, 50u);
    EXPECT_EQ(rec.posts[0].lp, 0x55);
    EXPECT_EQ(rec.posts[1].wp, 51u);
    EXPECT_EQ(rec.posts[1].lp, 1125);

    // A refused registration keeps the listener that was set.
    EXPECT_FALSE(SetListener(state, port, 0x55, 0x777, 0x10));
    EXPECT_TRUE(ReportToListener(state, port, REPORT_LOOP_ENDED, 0));
    EXPECT_EQ(rec.posts.back().msg, 0x8001u);
    EXPECT_EQ(rec.posts.back().wp, 43u);
}

TEST(StubMessages, DispatchOfTheThreeMessages) {
    AgentState state;
    MapSettings settings;
    settings.values[AgentSetting::VersionOriginal] = 12;
    Recorder rec;
    const ListenerPort port = rec.Port();
    plat::MsgResult result = -1;
    bool def = false;

    ASSERT_TRUE(HandleStubMessage(state, settings, port, 0x55, 1123, 3, 0, result, def));
    EXPECT_EQ(state.nShutdownRequest, 3);
    EXPECT_TRUE(def);
    ASSERT_TRUE(HandleStubMessage(state, settings, port, 0x55, 1124, 0x777, 0x9000, result, def));
    EXPECT_EQ(rec.posts.size(), 2u);
    EXPECT_TRUE(def);
    ASSERT_TRUE(HandleStubMessage(state, settings, port, 0x55, 1125, 4, 0, result, def));
    EXPECT_EQ(result, 12);
    EXPECT_FALSE(def);
    EXPECT_FALSE(HandleStubMessage(state, settings, port, 0x55, 1126, 0, 0, result, def));
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(ProcessAgentSettings, RoundTripThroughTheSettingsFile) {
    SetSettingsSource("agent-settings-test.ini");
    const std::string original = OriginalSettingsFile();
    const std::string info = UpdateInfoFile();
    std::remove(original.c_str());
    { std::ofstream(info) << "[NewSetup]\nVersionNew=42\n"; }
    AgentSettings& settings = ProcessAgentSettings();
    AgentState state;
    EXPECT_EQ(RunAgentCommand(state, settings, 4, 0), 0); // missing file: default
    EXPECT_EQ(RunAgentCommand(state, settings, 5, 0), 42);
    RunAgentCommand(state, settings, 12, 3600);
    // 2026-01-02 03:04:05 as seconds since 1899-12-30.
    const std::int64_t instant = 46024LL * 86400 + 3 * 3600 + 4 * 60 + 5;
    RunAgentCommand(state, settings, 14, static_cast<plat::LParam>(instant));
    RunAgentCommand(state, settings, 21, 0x101);
    EXPECT_EQ(RunAgentCommand(state, settings, 8, 0), 3600);
    EXPECT_EQ(RunAgentCommand(state, settings, 10, 0), static_cast<plat::MsgResult>(instant));
    EXPECT_EQ(Override(2), 1);
    ResetOverrides();

    const std::string text = ReadAll(original);
    EXPECT_NE(text.find("[OriginalSetup]"), std::string::npos);
    EXPECT_NE(text.find("ProbeSecondsInterval=3600"), std::string::npos);
    EXPECT_NE(text.find("__ProbeSecondsLast=02-JAN-2026 03"), std::string::npos) << text;
    EXPECT_EQ(text.find("VersionNew"), std::string::npos);
    std::remove(original.c_str());
    std::remove(info.c_str());
}

} // namespace
