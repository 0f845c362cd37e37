// A temporary working directory with a HOME of its own, where a test puts the client program
// ("plink") that the session starts from the working directory.
#ifndef ZEB_SSHMGR_TEST_SUPPORT_H
#define ZEB_SSHMGR_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "zeb-tools-trace.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

class ClientDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zeb-sshmgr-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        m_oldCwd = std::filesystem::current_path();
        std::filesystem::current_path(m_dir);
        // plink keeps its host-key cache under HOME.
        setenv("HOME", m_dir.c_str(), 1);
        zeb_set_trace(TRACE_MODE_DEBUG);
    }

    void TearDown() override {
        std::filesystem::current_path(m_oldCwd);
        std::filesystem::remove_all(m_dir);
    }

    // Installs a scripted client: a POSIX shell script that plays one dialogue.
    void WriteClient(const std::string& body) {
        std::string path = m_dir + "/plink";
        std::ofstream(path) << "#!/bin/sh\n" << body;
        chmod(path.c_str(), 0755);
    }

    // What the scripted client recorded in its working directory.
    std::string ReadFile(const std::string& name) {
        std::ifstream in(m_dir + "/" + name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string m_dir;
    std::filesystem::path m_oldCwd;
};

// Trace output of a block of code; the trace goes to standard output when it is not a terminal.
class TraceCapture {
public:
    TraceCapture() { ::testing::internal::CaptureStdout(); }
    std::string Text() {
        fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }
};

#endif
