// The extraction folder and the alternative folder: made fresh by the run
// itself, never a folder or link someone else put there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/clock.h"
#include "platform/files.h"
#include "runtime_fixture.h"
#include "startup/folders.h"
#include "util/files.h"
#include "util/paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = TempFolder(true) + "stub folders test " + std::to_string(stubtest::OwnPid()) +
                 "-" + std::to_string(plat::monotonic_ms());
        ASSERT_TRUE(ForceFolders(m_root));
        m_program = In("setup.exe");
        ASSERT_TRUE(
            WriteWholeFile(m_program, "MZ", PackDosDateTime({2026, 3, 1, 10, 20, 30, 0}), false));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    std::string In(const std::string& name) const { return m_root + plat::kPathSeparator + name; }
    static bool Link(const std::string& target, const std::string& link) {
#ifdef _WIN32
        return CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
               plat::path_kind(link) != plat::PathKind::None;
#else
        return symlink(target.c_str(), link.c_str()) == 0;
#endif
    }
    std::string m_root;
    std::string m_program;
};

TEST_F(FoldersTest, ExtractionFolderIsNamedAfterTheProgramsTimeOfDay) {
    const std::string name = "SETUP_" + std::to_string((10 << 11) | (20 << 5) | 15);
    WorkFolders first(m_root, m_program);
    EXPECT_EQ(first.Extraction(), In(name));
    EXPECT_EQ(plat::path_kind(In(name)), plat::PathKind::Folder);
    EXPECT_EQ(first.Extraction(), In(name)); // once per run
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(stat(In(name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
#endif
    first.RemoveExtraction();
    EXPECT_EQ(plat::path_kind(In(name)), plat::PathKind::None);

    // The same package started again gets the same name; another time of
    // day another one.
    WorkFolders again(m_root, m_program);
    EXPECT_EQ(again.Extraction(), In(name));
    again.RemoveExtraction();
    ASSERT_TRUE(
        WriteWholeFile(m_program, "MZ", PackDosDateTime({2026, 3, 1, 10, 20, 32, 0}), false));
    WorkFolders later(m_root, m_program);
    EXPECT_NE(later.Extraction(), In(name));
    later.RemoveExtraction();
}

TEST_F(FoldersTest, ExistingFoldersAndLinksAreNeverTakenOrDeleted) {
    const std::string name = "SETUP_" + std::to_string((10 << 11) | (20 << 5) | 15);
    // Another run's folder, with its files.
    ASSERT_TRUE(ForceFolders(In(name)));
    ASSERT_TRUE(WriteWholeFile(In(name) + plat::kPathSeparator + "busy", "x", 0, false));
    // A link planted where the next name would be.
    ASSERT_TRUE(ForceFolders(In("outside")));
    ASSERT_TRUE(WriteWholeFile(In("outside") + plat::kPathSeparator + "precious", "p", 0, false));
    const bool planted = Link(In("outside"), In(name + "_2"));

    WorkFolders run(m_root, m_program);
    const std::string made = run.Extraction();
    EXPECT_EQ(made, In(name + (planted ? "_3" : "_2")));
    // Two runs at once: each has a folder of its own.
    WorkFolders other(m_root, m_program);
    const std::string otherMade = other.Extraction();
    EXPECT_NE(otherMade, made);
    EXPECT_EQ(plat::path_kind(otherMade), plat::PathKind::Folder);

    run.RemoveExtraction();
    EXPECT_EQ(plat::path_kind(made), plat::PathKind::None);
    EXPECT_EQ(plat::path_kind(otherMade), plat::PathKind::Folder);
    EXPECT_EQ(FileSize64(In(name) + plat::kPathSeparator + "busy"), 1u);
    EXPECT_EQ(FileSize64(In("outside") + plat::kPathSeparator + "precious"), 1u);
    other.RemoveExtraction();
}

TEST_F(FoldersTest, AlternativeRootNeedsMoreSpaceAndAWritableProbe) {
    const std::string temp = In("temp");
    const std::string c = In("C"), d = In("D"), e = In("E");
    ASSERT_TRUE(ForceFolders(temp));
    ASSERT_TRUE(ForceFolders(d));
    ASSERT_TRUE(WriteWholeFile(d + plat::kPathSeparator + "keep", "k", 0, false));
    ASSERT_TRUE(WriteWholeFile(e, "a file: no probe folder can be made", 0, false));
    std::map<std::string, double> space{{c, 100}, {d, 200}, {e, 999}};
    const auto freeSpace = [&](const std::string& probe) {
        for (const auto& s : space)
            if (probe.compare(0, s.first.size(), s.first) == 0)
                return s.second;
        return 0.0;
    };
    const auto sameVolume = [&](const std::string& a, const std::string& b) {
        return (a == c && b == temp) || (a == temp && b == c);
    };
    EXPECT_EQ(ChooseAlternativeRoot(temp, {c, d, e}, freeSpace, sameVolume),
              d + plat::kPathSeparator + "TEMP");
    // The probes are gone, what was there stays.
    EXPECT_EQ(plat::path_kind(c), plat::PathKind::None);
    std::vector<plat::FolderEntry> left;
    ASSERT_TRUE(plat::list_folder(d, left));
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "keep");

    space[d] = 50; // the temporary drive has more: no alternative
    EXPECT_EQ(ChooseAlternativeRoot(temp, {c, d, e}, freeSpace, sameVolume), "");

    WorkFolders run(In("temp"), m_program);
    run.bases = {c, d};
    run.freeSpace = [](const std::string&) { return 10.0; };
    run.sameVolume = [](const std::string&, const std::string&) { return false; };
    ASSERT_TRUE(run.AlternativeTempDrive());
    EXPECT_EQ(run.AlternativeRoot(), c);
    const std::string alt = run.Alternative();
    ASSERT_EQ(alt.rfind(c + "_", 0), 0u) << alt;
    EXPECT_EQ(plat::path_kind(alt), plat::PathKind::Folder);
    EXPECT_EQ(run.Alternative(), alt);
    run.RemoveAlternative();
    EXPECT_EQ(plat::path_kind(alt), plat::PathKind::None);
}

} // namespace
