// Scratch folders, file contents and captured trace output for the tests.
#ifndef ENV_TEST_SUPPORT_H
#define ENV_TEST_SUPPORT_H

#include "zeb-tools-trace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace envtest {

// A fresh folder per test, removed with everything in it afterwards.
class ScratchDir : public testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        auto seed = std::chrono::steady_clock::now().time_since_epoch().count();
        for (int attempt = 0; attempt < 100 && m_dir.empty(); ++attempt) {
            fs::path dir = fs::temp_directory_path() /
                           ("envtest." + std::to_string((seed + attempt) % 1000000007));
            std::error_code error;
            if (fs::create_directory(dir, error))
                m_dir = dir.generic_string();
        }
        ASSERT_FALSE(m_dir.empty());
        zeb_set_trace(TRACE_MODE_QUIET);
    }
    void TearDown() override {
        zeb_set_trace(TRACE_MODE_QUIET);
        std::error_code error;
        std::filesystem::remove_all(m_dir, error);
        EXPECT_FALSE(error) << error.message();
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
        for (const auto& entry : std::filesystem::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
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
