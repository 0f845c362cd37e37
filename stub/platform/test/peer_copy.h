// A private copy of stub-peer in a folder whose name holds a blank and a
// "%", so that tests running at the same time never find each other's peer
// by path, command lines must quote the program and batch files must keep
// the "%".
#ifndef STUB_PLATFORM_TEST_PEER_COPY_H
#define STUB_PLATFORM_TEST_PEER_COPY_H

#include <filesystem>
#include <string>

#include "peer_launch.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "runtime_fixture.h"

namespace stubtest {

class PeerCopyTest : public RuntimeFolderTest {
protected:
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        namespace fs = std::filesystem;
        m_copyFolder = plat::temp_folder() + plat::kPathSeparator + "stub peer 100% " +
                       std::to_string(OwnPid()) + "-" + std::to_string(plat::monotonic_ms());
        fs::create_directories(m_copyFolder);
        const std::string source = peer::Program();
        m_peer =
            m_copyFolder + plat::kPathSeparator + source.substr(source.find_last_of("\\/") + 1);
        std::error_code ec;
        fs::copy_file(source, m_peer, fs::copy_options::overwrite_existing, ec);
        ASSERT_FALSE(ec) << ec.message();
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(m_copyFolder, ec);
        RuntimeFolderTest::TearDown();
    }
    std::string m_copyFolder;
    std::string m_peer;
};

} // namespace stubtest

#endif
