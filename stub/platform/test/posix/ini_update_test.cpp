// Settings files written by two processes at once keep every value: each
// change happens under a lock and replaces the file by a rename.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/files.h"
#include "platform/settings.h"

namespace {

TEST(IniUpdateTest, TwoWritersAtOnceLoseNothing) {
    const std::string file =
        plat::temp_folder() + "/stub-ini-update-" + std::to_string(getpid()) + ".ini";
    std::remove(file.c_str());
    const int kKeys = 40;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            bool ok = true;
            for (int k = 0; k < kKeys; ++k)
                ok = plat::profile_write(file, "S" + std::to_string(c), "K" + std::to_string(k),
                                         std::to_string(k)) &&
                     ok;
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < kKeys; ++k)
            EXPECT_EQ(plat::profile_read(file, "S" + std::to_string(c), "K" + std::to_string(k),
                                         "missing", 100),
                      std::to_string(k));
    // Nothing is left beside the file.
    std::vector<plat::FolderEntry> entries;
    ASSERT_TRUE(plat::list_folder(plat::temp_folder(), entries));
    const std::string base = file.substr(file.find_last_of('/') + 1);
    for (const plat::FolderEntry& e : entries)
        EXPECT_TRUE(e.name == base || e.name.rfind(base, 0) != 0) << e.name;
    std::remove(file.c_str());
}

} // namespace
