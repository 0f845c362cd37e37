// Windows, the message loop, timers, cross-process posts and global atoms,
// on the system's real calls (Windows, Wine) and on the POSIX loop.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "peer_launch.h"
#include "platform/clock.h"
#include "platform/ipc.h"
#include "platform/messages.h"
#include "runtime_fixture.h"

namespace {

struct Seen {
    std::uint32_t message;
    plat::WParam wParam;
    plat::LParam lParam;
};
std::vector<Seen> g_seen;
int g_ticks = 0;

const std::uint32_t kAsk = plat::MSG_USER + 1;
const std::uint32_t kAnswer = plat::MSG_USER + 2;
const std::uintptr_t kTick = 7;
const std::uintptr_t kSafety = 99;

plat::MsgResult RecordingProc(plat::WindowHandle w, std::uint32_t m, plat::WParam wp,
                              plat::LParam lp) {
    if (m == plat::MSG_CREATE || m == plat::MSG_DESTROY || m >= plat::MSG_USER)
        g_seen.push_back({m, wp, lp});
    if (m == plat::MSG_TIMER && wp == kTick && ++g_ticks == 3) {
        plat::kill_timer(w, kTick);
        plat::post_quit_message(9);
    }
    if (m == plat::MSG_TIMER && wp == kSafety)
        plat::post_quit_message(-1);
    if (m == kAnswer)
        plat::post_quit_message(1);
    if (m == plat::MSG_USER + 5)
        return 1234;
    return plat::default_window_proc(w, m, wp, lp);
}

plat::WindowHandle MakeWindow(const std::string& className) {
    plat::WindowParams params;
    params.className = className;
    params.title = "test";
    params.proc = RecordingProc;
    params.width = 100;
    params.height = 50;
    return plat::create_window(params);
}

bool SeenMessage(std::uint32_t m) {
    for (const Seen& s : g_seen)
        if (s.message == m)
            return true;
    return false;
}

class WindowTest : public stubtest::RuntimeFolderTest {
protected:
    void SetUp() override {
        stubtest::RuntimeFolderTest::SetUp();
        g_seen.clear();
        g_ticks = 0;
    }
};

TEST_F(WindowTest, LoopTimersPostsAndQuit) {
    const plat::WindowHandle w = MakeWindow("StubTest.Loop");
    ASSERT_NE(w, 0u);
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen.front().message, plat::MSG_CREATE);
    EXPECT_TRUE(plat::is_window(w));
    EXPECT_EQ(plat::find_window("stubtest.LOOP"), w);
    EXPECT_EQ(plat::window_process(w), stubtest::OwnPid());
    EXPECT_EQ(plat::send_message(w, plat::MSG_USER + 5, 0, 0), 1234);

    ASSERT_TRUE(plat::set_timer(w, kSafety, 10000));
    ASSERT_TRUE(plat::set_timer(w, kTick, 10));
    ASSERT_TRUE(plat::post_message(w, plat::MSG_USER + 1, 5, -6));
    EXPECT_EQ(plat::run_message_loop(w), 9);
    EXPECT_EQ(g_ticks, 3);
    ASSERT_TRUE(SeenMessage(plat::MSG_USER + 1));
    for (const Seen& s : g_seen)
        if (s.message == plat::MSG_USER + 1) {
            EXPECT_EQ(s.wParam, 5u);
            EXPECT_EQ(s.lParam, -6);
        }
    EXPECT_FALSE(plat::kill_timer(w, kTick)); // killed by the handler already

    // A quit seen by a nested pump stays pending for the loop.
    plat::post_quit_message(4);
    plat::pump_messages();
    EXPECT_EQ(plat::run_message_loop(w), 4);

    // Closing destroys through the default procedure, which ends the loop.
    ASSERT_TRUE(plat::post_message(w, plat::MSG_CLOSE, 0, 0));
    EXPECT_EQ(plat::run_message_loop(w), 0);
    EXPECT_TRUE(SeenMessage(plat::MSG_DESTROY));
    EXPECT_FALSE(plat::is_window(w));
    EXPECT_EQ(plat::find_window("StubTest.Loop"), 0u);
    EXPECT_FALSE(plat::post_message(w, plat::MSG_USER, 0, 0));
    EXPECT_FALSE(plat::set_timer(w, 1, 10));
}

TEST_F(WindowTest, GlobalAtomsCountReferences) {
    const std::string name = "StubTest Atom " + std::to_string(plat::monotonic_ms());
    const std::uint16_t atom = plat::global_add_atom(name);
    ASSERT_GE(atom, 0xC000u);
    EXPECT_EQ(plat::global_add_atom(name), atom);
    EXPECT_EQ(plat::global_find_atom(name + ""), atom);
    std::string upper = name;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(plat::global_find_atom(upper), atom);
    EXPECT_EQ(plat::global_atom_name(atom), name);
    const std::uint16_t other = plat::global_add_atom(name + " other");
    EXPECT_NE(other, atom);
    EXPECT_TRUE(plat::global_delete_atom(atom));
    EXPECT_EQ(plat::global_find_atom(name), atom);
    EXPECT_TRUE(plat::global_delete_atom(atom));
    EXPECT_EQ(plat::global_find_atom(name), 0u);
    EXPECT_FALSE(plat::global_delete_atom(atom));
    EXPECT_EQ(plat::global_find_atom(name + " other"), other);
    EXPECT_TRUE(plat::global_delete_atom(other));
    EXPECT_EQ(plat::global_add_atom(""), 0u);
}

TEST_F(WindowTest, PostsBetweenTwoProcesses) {
    const std::string peerClass = "StubTest.Peer." + std::to_string(plat::monotonic_ms());
    const plat::WindowHandle own = MakeWindow("StubTest.Own");
    ASSERT_NE(own, 0u);
    peer::Child child;
    ASSERT_TRUE(peer::Start({"window", peerClass}, child));

    plat::WindowHandle target = 0;
    for (int i = 0; i < 1000 && !target; ++i) {
        target = plat::find_window(peerClass);
        if (!target)
            plat::sleep_ms(10);
    }
    ASSERT_NE(target, 0u);
    EXPECT_EQ(plat::window_process(target), static_cast<std::uint32_t>(child.id));
    EXPECT_TRUE(plat::is_window(target));

    ASSERT_TRUE(plat::set_timer(own, kSafety, 20000));
    ASSERT_TRUE(plat::post_message(target, kAsk, static_cast<plat::WParam>(own), 21));
    EXPECT_EQ(plat::run_message_loop(own), 1);
    ASSERT_TRUE(SeenMessage(kAnswer));
    for (const Seen& s : g_seen)
        if (s.message == kAnswer) {
            EXPECT_EQ(s.wParam, 42u);
            EXPECT_EQ(static_cast<plat::WindowHandle>(s.lParam), target);
        }

    // A quit message ends the other process's loop with its code.
    ASSERT_TRUE(plat::post_message(target, plat::MSG_QUIT, 5, 0));
    EXPECT_EQ(peer::Wait(child, 20000), 5);
    EXPECT_EQ(plat::find_window(peerClass), 0u);
    EXPECT_FALSE(plat::post_message(target, kAsk, 0, 0));
    plat::destroy_window(own);
}

} // namespace
