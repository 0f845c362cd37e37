// Packages written by the package builder, read back by the installer's reader.
#include "BlockReader.h"
#include "LanguageTable.h"
#include "PackageContents.h"
#include "PackageWriter.h"
#include "TGFileInfo.h"
#include "TestFiles.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>

using namespace container;
using namespace stubpack;

namespace {

struct Built {
    std::vector<std::string> pieces;
    PackageContents contents;
    std::map<std::string, std::string> data; // file name -> content read back
};

class RoundTrip : public ::testing::Test {
protected:
    // Adds a file of the given content to the request.
    PackFile& Add(BuildRequest& request, const std::string& name, const std::string& content,
                  std::uint32_t stamp = 0) {
        WriteFile(m_Folder / ("src-" + name), content);
        PackFile file;
        file.sSource = m_Folder / ("src-" + name);
        file.sName = name;
        file.nStamp = stamp;
        request.files.push_back(file);
        m_Expected[name] = content;
        return request.files.back();
    }

    Built Build(BuildRequest request, const std::string& image = std::string(3000, 'I')) {
        Built built;
        if (request.sImage.empty()) {
            WriteFile(m_Folder / "image.exe", image);
            request.sImage = m_Folder / "image.exe";
        }
        std::string error;
        EXPECT_TRUE(BuildPackage(request, Output(), built.pieces, error)) << error;
        EXPECT_TRUE(ReadPackageContents(built.pieces.empty() ? Output() : built.pieces.front(),
                                        built.contents,
                                        [&](const std::string& name, const char* p, std::size_t n) {
                                            built.data[name].append(p, n);
                                        }))
            << built.contents.sError;
        EXPECT_TRUE(built.contents.bChecksumOk);
        return built;
    }

    void ExpectFilesBack(const Built& built) {
        ASSERT_EQ(built.contents.files.size(), m_Expected.size());
        for (const FileEntry& file : built.contents.files) {
            auto expected = m_Expected.find(file.sName);
            ASSERT_NE(expected, m_Expected.end()) << file.sName;
            EXPECT_EQ(file.nSize, expected->second.size()) << file.sName;
            auto data = built.data.find(file.sName);
            std::string got = data == built.data.end() ? "" : data->second;
            EXPECT_TRUE(got == expected->second) << file.sName;
        }
    }

    std::string Output() const { return m_Folder / "Package.exe"; }

    ScratchFolder m_Folder;
    std::map<std::string, std::string> m_Expected;
};

TEST_F(RoundTrip, FilesLanguagesHeaderAndTokens) {
    BuildRequest request;
    request.languages = {{"German", {"s1=Dateien werden entpackt...", "FontSize=9"}}};
    request.sUpdateUrl = "http://updates.example/product";
    request.sInfoName = "Product.info.ini";
    request.sAgentName = "AutoUpdate.exe";
    request.sPackageToken = "Secret|Token*42";
    request.bQuiet = true;
    Add(request, "readme.txt", std::string(5000, 'r'), 0x5A8B6C21);
    PackFile& main = Add(request, "Setup.exe", RandomBytes(700, 1));
    main.bMain = true;
    main.sParams = "/S /V2|x"; // the head then needs another delimiter
    Add(request, "data.bin", RandomBytes(1234, 2));

    Built built = Build(request);
    ASSERT_EQ(built.pieces.size(), 1u);
    TGFileInfo info(Output());
    EXPECT_TRUE(info.MagicOk());
    EXPECT_EQ(info.FormatByte(), 1u);
    EXPECT_EQ(info.TextRecords(), 2u);
    EXPECT_EQ(info.FileCount(), 3u);
    EXPECT_EQ(info.HeaderItem(0), "http://updates.example/product");
    EXPECT_EQ(info.SettingsBaseName(), "Product.original");
    EXPECT_EQ(info.HeaderItem(2), "AutoUpdate.exe");
    EXPECT_EQ(info.PackageToken(), "Secret|Token*42");
    EXPECT_TRUE(info.Quiet());
    EXPECT_EQ(info.DownloadRecord(), "");
    EXPECT_FALSE(info.DownloadMode());
    EXPECT_NE(info.StoredChecksum(), CHECKSUM_NONE); // small: a real sum
    EXPECT_EQ(info.TrailerLength(), TRAILER_SIZE);
    EXPECT_EQ(info.SpaceEntry(0), 5000u + 700 + 1234);
    EXPECT_EQ(info.SpaceEntry(1), 5120u + 1024 + 1536);
    EXPECT_EQ(info.SpaceEntry(4), 8192u + 4096 + 4096);
    EXPECT_EQ(info.SpaceEntry(8), 3 * 65536u);
    EXPECT_EQ(
        language::LookupKey(language::SelectLanguage(info.LanguageBlock(), "FRENCH"), "s1", "d"),
        "Dateien werden entpackt...");

    ExpectFilesBack(built);
    const FileEntry& setup = built.contents.files[1];
    EXPECT_EQ(setup.sName, "Setup.exe");
    EXPECT_TRUE(setup.bMain);
    EXPECT_EQ(setup.sParams, "/S /V2|x");
    EXPECT_EQ(built.contents.files[0].nStamp, 0x5A8B6C21u);
    EXPECT_FALSE(built.contents.files[0].bMain);
}

TEST_F(RoundTrip, SeveralLanguagesAndADownloadRecord) {
    BuildRequest request;
    request.languages = {{"English", {"s0=Title", "s10=Downloading"}},
                         {"German", {"s0=Titel"}},
                         {"Chinese(Simplified)", {"s0=x", "Charset=134"}}};
    request.bDownload = true;
    request.sDownloadUrl = "http://dl.example/files";
    request.sDownloadName = "Real Package.exe";
    request.bAlwaysDownload = true;
    request.sDownloadToken = "download-token";
    request.nDownloadSize = 123456789;
    request.bAskDownload = true;
    Built built = Build(request);
    TGFileInfo info(Output());
    EXPECT_EQ(info.TextRecords(), 3u);
    EXPECT_TRUE(info.DownloadMode());
    EXPECT_TRUE(info.AskDownload());
    EXPECT_EQ(info.DownloadItem(0), "http://dl.example/files");
    EXPECT_EQ(info.DownloadItem(1), "Real Package.exe");
    EXPECT_TRUE(info.AlwaysDownload());
    EXPECT_EQ(info.DownloadToken(), "download-token");
    EXPECT_EQ(info.DownloadSize(), 123456789);
    EXPECT_EQ(info.FileCount(), 0u);
    EXPECT_EQ(language::LanguageNames(info.LanguageBlock()),
              (std::vector<std::string>{"English", "German", "Chinese(Simplified)"}));
    EXPECT_EQ(
        language::LookupKey(language::SelectLanguage(info.LanguageBlock(), "GERMAN"), "s0", "d"),
        "Titel");
    EXPECT_TRUE(built.contents.files.empty());

    // Header placeholders of a package without update function.
    EXPECT_EQ(info.HeaderItem(0), "http://");
    EXPECT_EQ(info.HeaderItem(4), "0");
    EXPECT_FALSE(info.Quiet());

    // The same download token in another package; a damaged one never matches.
    BuildRequest other = request;
    other.bDownload = true;
    Built second = Build(other);
    (void)second;
    TGFileInfo again(Output());
    EXPECT_NE(again.DownloadItem(3), info.DownloadItem(3)); // scrambled anew
    EXPECT_TRUE(info.SameDownloadToken(again));
    other.sDownloadToken = "other";
    Build(other);
    EXPECT_FALSE(info.SameDownloadToken(TGFileInfo(Output())));
    EXPECT_FALSE(TGFileInfo(m_Folder / "missing").SameDownloadToken(TGFileInfo(m_Folder / "x")));
}

TEST_F(RoundTrip, OptionBitsAndFlags) {
    struct Case {
        std::uint8_t options;
        bool ask, write, agent;
    } cases[] = {
        {OPT_SPACE_NOTICE, false, false, false},
        {OPT_SELF_COPY | OPT_ACTIVITY_BAR, true, false, false},
        {OPT_RUN_LOG, false, true, false},
        {OPT_RUN_LOG | OPT_SPACE_NOTICE | OPT_ACTIVITY_BAR | OPT_SELF_COPY, true, true, true}};
    for (const Case& c : cases) {
        BuildRequest request;
        request.nOptions = c.options;
        request.bAskDownload = c.ask;
        request.bWriteAgent = c.write;
        request.bIsAgent = c.agent;
        Build(request);
        TGFileInfo info(Output());
        EXPECT_EQ(info.Options(), c.options);
        EXPECT_EQ(info.AlwaysShowSpaceNotice(), bool(c.options & OPT_SPACE_NOTICE));
        EXPECT_EQ(info.SelfCopy(), bool(c.options & OPT_SELF_COPY));
        EXPECT_EQ(info.ActivityBar(), bool(c.options & OPT_ACTIVITY_BAR));
        EXPECT_EQ(info.RunLog(), bool(c.options & OPT_RUN_LOG) && c.agent);
        EXPECT_FALSE(info.MorePieces());
        EXPECT_EQ(info.AskDownload(), c.ask);
        EXPECT_EQ(info.WriteAgent(), c.write);
        EXPECT_EQ(info.IsAgent(), c.agent);
    }
}

TEST_F(RoundTrip, EmptyFilesAndFilesAcrossBlocks) {
    BuildRequest request;
    request.nBlockSize = 1000;
    Add(request, "empty.txt", "");
    Add(request, "stored.bin", RandomBytes(5500, 3));           // blocks kept as they are
    Add(request, "packed.txt", std::string(4321, 'p') + "end"); // zlib blocks
    Add(request, "also-empty", "");
    Built built = Build(request);
    ExpectFilesBack(built);
    TGFileInfo info(Output());
    EXPECT_EQ(info.FileCount(), 4u);
    EXPECT_EQ(info.SpaceEntry(0), 5500u + 4324);

    // Count the blocks and their kinds.
    BlockReader reader;
    ASSERT_TRUE(reader.Open(Output(), info.ImageOffset(), info.ContainerEnd()));
    int stored = 0, packed = 0;
    for (int guard = 0; guard < 100 && reader.HasBlock(); ++guard) {
        std::int32_t length = 0;
        ASSERT_TRUE(reader.NextBlock(length));
        ++(length > 0 ? packed : stored);
    }
    EXPECT_EQ(stored, 6 + 2); // 5500 random bytes in blocks of 1000; heads too short to shrink
    EXPECT_EQ(packed, 5);     // 4324 bytes in blocks of 1000
}

TEST_F(RoundTrip, SpanningIntoThreePieces) {
    BuildRequest request;
    request.nBlockSize = 1000;
    request.nPieceSize = 4000;
    request.languages = {{"English", {"s8=Insert disk <DISK_NUM>"}}};
    Add(request, "big.bin", RandomBytes(5000, 4));
    PackFile& main = Add(request, "Setup.exe", RandomBytes(900, 5));
    main.bMain = true;
    Built built = Build(request, std::string(1500, 'I'));
    ASSERT_EQ(built.pieces.size(), 3u);
    EXPECT_EQ(built.pieces[0], Output() + ".001");
    EXPECT_EQ(built.pieces[2], Output() + ".003");
    EXPECT_EQ(built.contents.pieces, built.pieces);
    ExpectFilesBack(built);
    for (std::size_t i = 0; i < 3; ++i) {
        ContainerTrailer trailer = ReadContainerTrailer(built.pieces[i]);
        EXPECT_TRUE(trailer.MagicOk());
        EXPECT_LE(trailer.nFileSize, 4000u);
        EXPECT_EQ(bool(trailer.bytes[TR_OPTIONS] & OPT_MORE_PIECES), i < 2) << i;
        EXPECT_EQ(trailer.U32(TR_FILE_COUNT), 2u);
        EXPECT_TRUE(ChecksumPasses(trailer.U32(TR_CHECKSUM),
                                   ContainerChecksum(built.pieces[i], TRAILER_SIZE)));
        EXPECT_NE(trailer.U32(TR_CHECKSUM), CHECKSUM_NONE);
    }
    EXPECT_EQ(language::LanguageNames(TGFileInfo(built.pieces[0]).LanguageBlock()).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(Output()));
}

TEST_F(RoundTrip, PeImageWithASignatureAfterTheTrailer) {
    std::string image(2048, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[256] = 'P';
    image[257] = 'E';
    BuildRequest request;
    request.sPackageToken = "pe";
    Add(request, "a.txt", "alpha");
    Build(request, image);
    std::uint64_t end = std::filesystem::file_size(Output());
    std::string package = ReadFile(Output());
    WriteFile(Output(), package + RandomBytes(777, 6));

    TGFileInfo info(Output());
    EXPECT_TRUE(info.IsPeImage());
    EXPECT_EQ(info.ContainerEnd(), end);
    EXPECT_EQ(info.PackageToken(), "pe");
    EXPECT_NE(info.StoredChecksum(), CHECKSUM_NONE);
    EXPECT_TRUE(
        ChecksumPasses(info.StoredChecksum(), ContainerChecksum(Output(), info.TrailerLength())));
    PackageContents contents;
    ASSERT_TRUE(ReadPackageContents(Output(), contents)) << contents.sError;
    ASSERT_EQ(contents.files.size(), 1u);
    EXPECT_EQ(contents.files[0].nSize, 5u);

    // Without the pointer and without the signature the trailer ends the file.
    package.replace(END_POINTER_HIGH, 8, std::string(8, '\0'));
    WriteFile(Output(), package);
    TGFileInfo plain(Output());
    EXPECT_TRUE(plain.MagicOk());
    EXPECT_EQ(plain.ContainerEnd(), end);
    EXPECT_EQ(plain.PackageToken(), "pe");
}

TEST_F(RoundTrip, TextRecordByteZeroReadsAsTwoAndLargePackagesSkipTheSum) {
    BuildRequest request;
    request.bZeroTextRecordByte = true;
    Add(request, "big.bin", RandomBytes(60000, 8));
    Build(request);
    EXPECT_EQ(ReadFile(Output())[std::filesystem::file_size(Output()) - TRAILER_SIZE + 1], '\0');
    TGFileInfo info(Output());
    EXPECT_EQ(info.TextRecords(), 2u);
    EXPECT_EQ(info.HeaderItem(2), ".exe");
    EXPECT_EQ(info.StoredChecksum(), CHECKSUM_NONE);
}

TEST_F(RoundTrip, TokensSurviveScrambling) {
    for (const std::string& token : {std::string(), std::string("a"), std::string("|*~^!@#$&"),
                                     std::string(300, 'x'), std::string("\0\x01\xff\x80", 4)}) {
        std::string first = ScrambleToken(token);
        EXPECT_EQ(UnscrambleToken(first), token);
        EXPECT_EQ(first.find('|'), std::string::npos);
        // Another hex digit in one place changes one byte, so the check byte
        // no longer matches.
        std::string damaged = first;
        char& digit = damaged[damaged.size() / 2];
        static const char kHex[] = "0123456789ABCDEF";
        int value = static_cast<int>(std::string(kHex).find(static_cast<char>(digit - 50)));
        ASSERT_GE(value, 0);
        digit = static_cast<char>(kHex[(value + 1) % 16] + 50);
        std::string decoded;
        EXPECT_FALSE(DecodeToken(damaged, decoded));
    }
}

TEST_F(RoundTrip, BadInputLeavesNothingBehind) {
    BuildRequest good;
    good.nPieceSize = 0;
    struct Case {
        const char* what;
        std::function<void(BuildRequest&)> change;
        const char* message; // part of the error text
    } cases[] = {
        {"missing file",
         [&](BuildRequest& s) {
             s.files.push_back({(m_Folder / "nope"), "nope", 0, false, ""});
         },
         "nope"},
        {"path as name", [&](BuildRequest& s) { s.files[0].sName = "dir/x.txt"; },
         "plain file name"},
        {"star in name", [&](BuildRequest& s) { s.files[0].sName = "x*.txt"; }, "plain file name"},
        {"device name", [&](BuildRequest& s) { s.files[0].sName = "com1.txt"; }, "plain file name"},
        {"two main programs",
         [&](BuildRequest& s) {
             s.files[0].bMain = true;
             s.files[1].bMain = true;
         },
         "main program"},
        {"language byte",
         [&](BuildRequest& s) {
             s.languages = {{"English",
                             {"s1=a\x01"
                              "b"}}};
         },
         "0x01"},
        {"piece too small",
         [&](BuildRequest& s) {
             s.nPieceSize = 3000 + 200;
             s.nBlockSize = 4096;
         },
         "too small for one block"},
        {"missing image", [&](BuildRequest& s) { s.sImage = m_Folder / "no-image"; }, "image"},
    };
    for (const Case& c : cases) {
        BuildRequest request;
        WriteFile(m_Folder / "image.exe", std::string(3000, 'I'));
        request.sImage = m_Folder / "image.exe";
        Add(request, "one.bin", RandomBytes(5000, 9));
        Add(request, "two.txt", "two");
        c.change(request);
        std::vector<std::string> written;
        std::string error;
        EXPECT_FALSE(BuildPackage(request, Output(), written, error)) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        EXPECT_TRUE(written.empty());
        for (const auto& entry : std::filesystem::directory_iterator(m_Folder.Path()))
            EXPECT_EQ(entry.path().filename().string().rfind("Package", 0), std::string::npos)
                << c.what << ": " << entry.path();
    }
}

} // namespace
