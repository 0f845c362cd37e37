// Whole-file and partial writes and reads, deletion by mask and of trees
// (never through links), the program deleting itself, DOS stamps and the
// special folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "peer_copy.h"
#include "platform/files.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/processes.h"
#include "util/services.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = TempFolder(true) + "stub files test " + std::to_string(stubtest::OwnPid()) + "-" +
                 std::to_string(plat::monotonic_ms());
        ASSERT_TRUE(ForceFolders(m_root));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    std::string Path(const std::string& name) const { return m_root + plat::kPathSeparator + name; }
    static void Put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    // A symbolic link (POSIX) or a folder link (Windows); false where the
    // system will not make one.
    static bool Link(const std::string& target, const std::string& link, bool folder) {
#ifdef _WIN32
        return CreateSymbolicLinkA(link.c_str(), target.c_str(),
                                   folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) != FALSE;
#else
        (void)folder;
        return symlink(target.c_str(), link.c_str()) == 0;
#endif
    }
    std::string m_root;
};

TEST_F(FilesTest, WriteChunksAndProgress) {
    struct Case {
        std::size_t length;
        bool progress;
        std::size_t chunk;
    } cases[] = {
        {2097152, false, 209715},   {5000, true, 1024}, {1048576, false, 0},
        {20000000, false, 1048576}, {500, true, 500},   {0, true, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WriteChunkSize(c.length, c.progress), c.chunk) << c.length;

    const std::string file = Path("data.bin");
    const std::string data(5000, 'x');
    std::vector<std::int64_t> positions;
    auto record = [&](int mode, plat::WParam, std::int64_t max, bool&, int step, std::int64_t pos) {
        EXPECT_EQ(mode, 0);
        EXPECT_EQ(max, 5000);
        EXPECT_EQ(step, 1);
        positions.push_back(pos);
    };
    ASSERT_TRUE(WriteWholeFile(file, data, 0, false, record));
    EXPECT_EQ(positions, (std::vector<std::int64_t>{0, 1024, 2048, 3072, 4096, 5000}));
    EXPECT_EQ(FileSize64(file), 5000u);

    // A stop request ends the writing early: not every byte was written.
    int calls = 0;
    auto stopper = [&](int, plat::WParam, std::int64_t, bool& stop, int, std::int64_t) {
        stop = ++calls == 2;
    };
    EXPECT_FALSE(WriteWholeFile(file, data, 0, false, stopper));
    EXPECT_EQ(FileSize64(file), 1024u);
}

TEST_F(FilesTest, WriteAppendStampAndReadParts) {
    const std::string file = Path("a b.txt");
    const plat::LocalTime when{2024, 2, 29, 13, 45, 58, 0};
    const std::uint32_t dos = PackDosDateTime(when);
    EXPECT_EQ(dos, 0x585D6DBDu);
    ASSERT_TRUE(WriteWholeFile(file, "0123456789", dos, false));
    EXPECT_EQ(FileDosDateTime(file), dos);
    ASSERT_TRUE(AppendToFile(file, "abc"));
    ASSERT_TRUE(AppendToFile(Path("new.txt"), "n")); // created when missing
    EXPECT_EQ(FileSize64(Path("new.txt")), 1u);
    EXPECT_EQ(FileSize64(file), 13u);
    EXPECT_EQ(FileSize64(Path("missing")), 0u);

    struct Case {
        std::uint64_t maxLen, offset;
        bool ok;
        const char* text;
    } cases[] = {
        {0, 0, true, "0123456789abc"}, {4, 2, true, "2345"}, {0, 10, true, "abc"},
        {100, 12, true, "c"},          {0, 13, true, ""},    {0, 14, false, ""},
    };
    for (const Case& c : cases) {
        std::string out = "junk";
        EXPECT_EQ(ReadFilePart(file, c.maxLen, out, c.offset), c.ok) << c.offset;
        EXPECT_EQ(out, c.text) << c.offset;
    }
    std::string out = "junk";
    EXPECT_FALSE(ReadFilePart(Path("missing"), 0, out, 0));
    EXPECT_EQ(out, "");

    const plat::LocalTime back = UnpackDosDateTime(dos);
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.day, 29);
    EXPECT_EQ(back.second, 58);
    EXPECT_EQ(PackDosDateTime({1979, 1, 1, 0, 0, 0, 0}), 0u);
}

TEST_F(FilesTest, ProgramCopiesKeepTheirStampAndRun) {
    // A copy of a program stays a program with its time stamp.
    const std::string copy = Path("X_stub peer");
    ASSERT_TRUE(WriteWholeFile(Path("old"), "stale", 0, false));
    ASSERT_TRUE(CopyProgramFile(peer::Program(), copy));
    EXPECT_EQ(FileDosDateTime(copy), FileDosDateTime(peer::Program()));
    EXPECT_EQ(FileSize64(copy), FileSize64(peer::Program()));
    std::string out, err;
    int code = -1;
    EXPECT_FALSE(RunWithPipes(copy, "exit 3", 0, nullptr, nullptr, 0, err, out, code));
    EXPECT_EQ(code, 3);
    // Over an existing file; a missing source leaves the target alone.
    ASSERT_TRUE(CopyProgramFile(peer::Program(), Path("old")));
    EXPECT_EQ(FileSize64(Path("old")), FileSize64(peer::Program()));
    EXPECT_FALSE(CopyProgramFile(Path("missing"), Path("old")));
    EXPECT_EQ(FileSize64(Path("old")), FileSize64(peer::Program()));
}

TEST_F(FilesTest, MasksMatchLikeTheSystem) {
    struct Case {
        const char* name;
        const char* pattern;
        bool match;
    } cases[] = {
        {"a.tmp", "*.tmp", true},
        {"a.tmp.bak", "*.tmp", false},
        {"ab.tmp", "a?.tmp", true},
        {"a.tmp", "a?.tmp", false},
        {"x", "*", true},
        {"abcabd", "*abd", true},
        {"", "*", true},
        {"a", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.pattern), c.match) << c.name << " " << c.pattern;
    EXPECT_EQ(MatchesMask("A.TMP", "*.tmp"), plat::kNamesIgnoreCase);
}

TEST_F(FilesTest, DeleteByMaskRemovesLinksNotTargets) {
    ASSERT_TRUE(ForceFolders(Path("outside")));
    Put(Path("outside") + plat::kPathSeparator + "keep.tmp", "k");
    Put(Path("a.tmp"), "a");
    Put(Path("c.txt"), "c");
    ASSERT_TRUE(ForceFolders(Path("d.tmp")));
    const bool linked =
        Link(Path("outside") + plat::kPathSeparator + "keep.tmp", Path("e.tmp"), false);
    EXPECT_TRUE(DeleteByMask(Path("*.tmp"), true));
    EXPECT_EQ(plat::path_kind(Path("a.tmp")), plat::PathKind::None);
    EXPECT_EQ(plat::path_kind(Path("c.txt")), plat::PathKind::File);
    EXPECT_EQ(plat::path_kind(Path("d.tmp")), plat::PathKind::Folder);
    if (linked) {
        EXPECT_EQ(plat::path_kind(Path("e.tmp")), plat::PathKind::None);
    }
    EXPECT_EQ(plat::path_kind(Path("outside") + plat::kPathSeparator + "keep.tmp"),
              plat::PathKind::File);
    EXPECT_FALSE(DeleteByMask(Path("*.tmp"), true));
}

TEST_F(FilesTest, RemoveTreeStaysInsideTheTree) {
    const std::string outside = Path("outside");
    ASSERT_TRUE(ForceFolders(outside));
    Put(outside + plat::kPathSeparator + "precious", "p");
    const std::string tree = Path("tree");
    const std::string s(1, plat::kPathSeparator);
    ASSERT_TRUE(ForceFolders(tree + s + "one" + s + "deep"));
    ASSERT_TRUE(ForceFolders(tree + s + "two"));
    Put(tree + s + "one" + s + "deep" + s + "f", "f");
    Put(tree + s + "top", "t");
    const bool linked = Link(outside, tree + s + "two" + s + "link", true);
    if (!linked)
        std::cout << "no folder links on this system: the link case is not exercised\n";

    int asked = 0;
    auto count = [&](int mode, plat::WParam, std::int64_t, bool&, int, std::int64_t) {
        EXPECT_EQ(mode, 1);
        ++asked;
    };
    EXPECT_TRUE(RemoveTree(tree + s, false, count));
    EXPECT_EQ(asked, 2); // the direct subfolders only
    EXPECT_EQ(plat::path_kind(tree), plat::PathKind::None);
    EXPECT_EQ(plat::path_kind(outside + s + "precious"), plat::PathKind::File);
    EXPECT_FALSE(RemoveTree(tree, false));

    // Given a link itself, only the link goes.
    if (Link(outside, Path("alias"), true) &&
        plat::path_kind(Path("alias")) != plat::PathKind::None) {
        EXPECT_TRUE(RemoveTree(Path("alias"), false));
        EXPECT_EQ(plat::path_kind(outside + s + "precious"), plat::PathKind::File);
    }

    // A stop request leaves the rest of the tree.
    ASSERT_TRUE(ForceFolders(tree + s + "x"));
    ASSERT_TRUE(ForceFolders(tree + s + "y"));
    auto stop = [](int, plat::WParam, std::int64_t, bool& stop, int, std::int64_t) { stop = true; };
    EXPECT_FALSE(RemoveTree(tree, false, stop));
    EXPECT_EQ(plat::path_kind(tree), plat::PathKind::Folder);
}

TEST_F(FilesTest, SpecialFoldersAndNames) {
    const std::string docs = SpecialFolderPath(SpecialFolder::MyDocuments, false);
    EXPECT_FALSE(docs.empty());
    const std::string withSep = SpecialFolderPath(SpecialFolder::UserDesktop, true);
    ASSERT_FALSE(withSep.empty());
    EXPECT_EQ(withSep.back(), plat::kPathSeparator);
    EXPECT_FALSE(SpecialFolderPath(SpecialFolder::AllUsersAppData, false).empty());
    EXPECT_FALSE(LoggedUserName().empty());
    EXPECT_FALSE(ComputerName().empty());
    EXPECT_FALSE(RegisteredOwner().empty()); // the user's name at least
    EXPECT_FALSE(EjectCD(TempFolder(true))); // no CD drive there
    EXPECT_FALSE(EjectCD(""));
}

class DeleteMySelfTest : public stubtest::PeerCopyTest {};

bool AwaitGone(const std::string& path) {
    for (int i = 0; i < 600; ++i) {
        if (plat::path_kind(path) == plat::PathKind::None)
            return true;
        YieldWait(0, 100);
    }
    return false;
}

TEST_F(DeleteMySelfTest, ProgramFileIsGoneAfterItEnded) {
    std::string err, out;
    int code = -1;
    ASSERT_TRUE(RunWithPipes(m_peer, "delete-myself", 0, nullptr, nullptr, 0, err, out, code))
        << err;
    EXPECT_TRUE(AwaitGone(m_peer));
    EXPECT_EQ(plat::path_kind(m_copyFolder), plat::PathKind::Folder);

    // With its folder, which goes when nothing else is left in it.
    ASSERT_TRUE(fs::copy_file(peer::Program(), m_peer));
    ASSERT_TRUE(
        RunWithPipes(m_peer, "delete-myself folder", 0, nullptr, nullptr, 0, err, out, code));
    EXPECT_TRUE(AwaitGone(m_copyFolder));
}

} // namespace
