// Scratch folders, file contents and captured trace output for the tests.
#ifndef ENV_TEST_SUPPORT_H
#define ENV_TEST_SUPPORT_H

#include "zeb-tools-trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace envtest {

// A fresh folder per test, removed with everything in it afterwards.
class ScratchDir : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/envtest.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        zeb_set_trace(TRACE_MODE_QUIET);
    }
    void TearDown() override {
        zeb_set_trace(TRACE_MODE_QUIET);
        std::string command = "rm -rf '" + m_dir + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    void Write(const std::string& name, const std::string& text) const {
        std::ofstream out(Path(name), std::ios::binary);
        out << text;
    }

    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        if (DIR* dir = opendir(m_dir.c_str())) {
            while (dirent* entry = readdir(dir)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.push_back(name);
            }
            closedir(dir);
        }
        return names;
    }

    std::string m_dir;
};

// Runs fn with standard output and error captured; returns both, in that order.
template <typename Fn> std::string CaptureTrace(Fn fn) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    fn();
    std::string out = testing::internal::GetCapturedStdout();
    return out + testing::internal::GetCapturedStderr();
}

} // namespace envtest

#endif
