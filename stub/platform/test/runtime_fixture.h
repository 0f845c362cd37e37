// Tests that use the inter-process services get a runtime folder of their
// own on POSIX (removed afterwards), so that they neither see nor leave
// anything in the user's.
#ifndef STUB_PLATFORM_TEST_RUNTIME_FIXTURE_H
#define STUB_PLATFORM_TEST_RUNTIME_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#endif

namespace stubtest {

inline std::uint32_t OwnPid() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<std::uint32_t>(getpid());
#endif
}

class RuntimeFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        char tmpl[] = "/tmp/stub-rt-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_folder = tmpl;
        setenv("STUB_RUNTIME_DIR", m_folder.c_str(), 1);
#endif
    }
    void TearDown() override {
#ifndef _WIN32
        if (m_folder.empty())
            return;
        if (DIR* dir = opendir(m_folder.c_str())) {
            while (dirent* e = readdir(dir)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..")
                    std::remove((m_folder + "/" + name).c_str());
            }
            closedir(dir);
        }
        rmdir(m_folder.c_str());
        unsetenv("STUB_RUNTIME_DIR");
#endif
    }
    std::string m_folder;
};

} // namespace stubtest

#endif
