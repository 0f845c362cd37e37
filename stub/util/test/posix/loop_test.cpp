// The POSIX message loop as the waits see it: a registered descriptor's
// handler runs inside YieldX once the descriptor is readable.
#include <gtest/gtest.h>

#include <unistd.h>

#include "posix/loop.h"
#include "util/services.h"

namespace {

TEST(LoopTest, YieldRunsReadyHandlers) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int calls = 0;
    plat::posix::add_source(fds[0], [&] {
        char c;
        if (read(fds[0], &c, 1) == 1)
            ++calls;
    });
    YieldX(0);
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(write(fds[1], "xy", 2), 2);
    YieldWait(0, 10);
    EXPECT_EQ(calls, 2);
    plat::posix::remove_source(fds[0]);
    ASSERT_EQ(write(fds[1], "z", 1), 1);
    YieldX(0);
    EXPECT_EQ(calls, 2);
    close(fds[0]);
    close(fds[1]);
}

} // namespace
