#include "BlockReader.h"
#include "TGFileInfo.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <zlib.h>

using namespace container;

namespace {

// A hand-made trailer: the fields the tests vary, the rest zero.
std::string Trailer(std::uint32_t imageSize, std::uint8_t textRecords = 2,
                    std::uint32_t magic = TRAILER_MAGIC, std::uint32_t checksum = CHECKSUM_NONE,
                    std::uint32_t fileCount = 0) {
    std::string t(TRAILER_SIZE, '\0');
    t[0] = 1;
    t[1] = static_cast<char>(textRecords);
    t.replace(TR_IMAGE_SIZE, 4, U32(imageSize));
    t.replace(TR_FILE_COUNT, 4, U32(fileCount));
    t.replace(TR_MAGIC, 4, U32(magic));
    t.replace(TR_CHECKSUM, 4, U32(checksum));
    t.replace(TR_LENGTH, 4, U32(TRAILER_SIZE));
    return t;
}

std::string Record(const std::string& text) {
    return U32(static_cast<std::uint32_t>(text.size())) + text;
}

void ExpectEmpty(const TGFileInfo& info) {
    EXPECT_EQ(info.LanguageBlock(), "");
    EXPECT_EQ(info.HeaderRecord(), "");
    EXPECT_EQ(info.DownloadRecord(), "");
    EXPECT_EQ(info.HeaderItem(2), "");
    EXPECT_FALSE(info.Quiet());
    EXPECT_EQ(info.DownloadSize(), 0);
}

TEST(Reader, MissingFileGivesAZeroTrailer) {
    TGFileInfo info("/no/such/folder/package.exe");
    EXPECT_FALSE(info.MagicOk());
    EXPECT_EQ(info.TextRecords(), 2u);
    EXPECT_EQ(info.FileCount(), 0u);
    EXPECT_EQ(info.TrailerLength(), 0u);
    EXPECT_EQ(info.SettingsBaseName(), ".original");
    ExpectEmpty(info);
}

TEST(Reader, ShortOrImpossibleTrailerLengthsGiveAZeroTrailer) {
    ScratchFolder folder;
    std::string body(200, 'x');
    for (std::uint32_t length : {0u, 1u, 2u, 3u, 500u, 0xFFFFFFFFu}) {
        std::string trailer = Trailer(0, 3, TRAILER_MAGIC, 1, 9);
        trailer.replace(TR_LENGTH, 4, U32(length));
        WriteFile(folder / "p", body + trailer);
        TGFileInfo info(folder / "p");
        EXPECT_FALSE(info.MagicOk()) << length;
        EXPECT_EQ(info.FileCount(), 0u) << length;
        EXPECT_EQ(info.TextRecords(), 2u) << length;
        ExpectEmpty(info);
    }
}

TEST(Reader, WrongMagicKeepsTheTrailerButNoTexts) {
    ScratchFolder folder;
    WriteFile(folder / "p", Record("\x02\x01"
                                   "English\x01s1=x\x01\x02") +
                                Record("|u|i|a|t|1|") + Trailer(0, 2, 0x12345678u, 1234, 7));
    TGFileInfo info(folder / "p");
    EXPECT_FALSE(info.MagicOk());
    EXPECT_EQ(info.FileCount(), 7u);
    EXPECT_EQ(info.TrailerLength(), TRAILER_SIZE);
    ExpectEmpty(info);
}

TEST(Reader, TextRecordsAndTheirItems) {
    ScratchFolder folder;
    std::string image(100, 'I');
    std::string header = "|http://up.example/|C:\\dir\\Product.cfg.ini|agent.exe|x| 1 |";
    std::string download = "|http://dl.example|Real.exe|1|y|5242880|";
    std::string records = Record("") + Record(header) + Record(download);
    for (std::uint8_t textRecords : {2, 3, 0}) {
        WriteFile(folder / "p", image + records + Trailer(100, textRecords));
        TGFileInfo info(folder / "p");
        ASSERT_TRUE(info.MagicOk());
        EXPECT_EQ(info.HeaderItem(0), "http://up.example/");
        EXPECT_EQ(info.HeaderItem(1), "Product.cfg.ini");
        EXPECT_EQ(info.SettingsBaseName(), "Product.original");
        EXPECT_TRUE(info.Quiet());
        if (textRecords == 3) {
            EXPECT_EQ(info.TextRecords(), 3u);
            EXPECT_EQ(info.DownloadItem(1), "Real.exe");
            EXPECT_TRUE(info.AlwaysDownload());
            EXPECT_EQ(info.DownloadSize(), 5242880);
            EXPECT_EQ(info.ImageOffset(), 100u + records.size());
        } else {
            EXPECT_EQ(info.TextRecords(), 2u); // 0 reads as 2
            EXPECT_EQ(info.DownloadRecord(), "");
            EXPECT_EQ(info.ImageOffset(), 100u + 8 + header.size());
        }
    }
}

TEST(Reader, RecordLongerThanTheFileGivesWhatIsThere) {
    ScratchFolder folder;
    std::string trailer = Trailer(0);
    WriteFile(folder / "p", U32(0) + U32(0x7FFFFFF0u) + "|a|b|" + trailer);
    TGFileInfo info(folder / "p");
    ASSERT_TRUE(info.MagicOk());
    EXPECT_EQ(info.HeaderRecord().size(), 5 + trailer.size());
    EXPECT_EQ(info.HeaderItem(0), ""); // the cut text no longer ends with its delimiter
}

TEST(Reader, ShortAndLongTrailerLengths) {
    ScratchFolder folder;
    // 20 bytes: only the first 16 are fields, the rest reads zero.
    std::string shortTrailer = Trailer(0, 3, TRAILER_MAGIC, 1234, 5).substr(0, 16) + U32(20);
    WriteFile(folder / "p", Record("") + Record("|a|") + shortTrailer);
    TGFileInfo info(folder / "p");
    EXPECT_TRUE(info.MagicOk());
    EXPECT_EQ(info.FileCount(), 5u);
    EXPECT_EQ(info.TrailerLength(), 20u);
    EXPECT_EQ(info.SpaceEntry(0), 0u);
    EXPECT_EQ(info.HeaderItem(0), "a");

    // 90 bytes: the record starts 90 bytes before the end, 74 are kept.
    std::string longTrailer = Trailer(0, 2, TRAILER_MAGIC, 1234, 6);
    longTrailer.replace(TR_LENGTH, 4, std::string(16, 'z') + U32(90));
    WriteFile(folder / "p", Record("") + Record("|b|") + longTrailer);
    TGFileInfo info90(folder / "p");
    EXPECT_TRUE(info90.MagicOk());
    EXPECT_EQ(info90.FileCount(), 6u);
    EXPECT_EQ(info90.TrailerLength(), TRAILER_SIZE);
    EXPECT_EQ(info90.HeaderItem(0), "b");
}

// A PE-looking image: "MZ" at 0, "PE" at 256, end pointer at 248..255.
std::string PeImage(std::size_t size) {
    std::string image(size, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[256] = 'P';
    image[257] = 'E';
    return image;
}

TEST(Reader, EndPointerOfAPeImage) {
    ScratchFolder folder;
    std::string package = PeImage(600) + Record("") + Record("|pe|") + Trailer(600);
    std::string signature(300, 'S');
    package.replace(END_POINTER_LOW, 4, U32(static_cast<std::uint32_t>(package.size())));
    WriteFile(folder / "p", package + signature);
    TGFileInfo info(folder / "p");
    EXPECT_TRUE(info.IsPeImage());
    EXPECT_EQ(info.ContainerEnd(), package.size());
    EXPECT_EQ(info.HeaderItem(0), "pe");

    // The pointer is trusted only when "PE" stands at 256.
    std::string notPe = package;
    notPe[257] = 'X';
    WriteFile(folder / "p", notPe + signature);
    EXPECT_FALSE(TGFileInfo(folder / "p").MagicOk());

    // A pointer outside the file finds no trailer.
    std::string beyond = package;
    beyond.replace(END_POINTER_HIGH, 4, U32(1));
    WriteFile(folder / "p", beyond);
    EXPECT_FALSE(TGFileInfo(folder / "p").MagicOk());
}

TEST(Checksum, CountsWordsUpToTwoBeforeTheTrailer) {
    ScratchFolder folder;
    // Words 1, 2, 3, 4, then the trailer: the last two words before it and
    // the trailer itself are not summed.
    std::string data = U32(1) + U32(2) + U32(3) + U32(4) + Trailer(0);
    WriteFile(folder / "p", data);
    EXPECT_EQ(ContainerChecksum(folder / "p", TRAILER_SIZE), 3u);

    // Every full 4096-byte read that ends before the trailer adds 1234.
    std::string big(8192 + 16, '\0');
    big[0] = 5;
    WriteFile(folder / "p", big + Trailer(0));
    EXPECT_EQ(ContainerChecksum(folder / "p", TRAILER_SIZE), 5u + 2 * 1234u);

    // With an end pointer the first 512 bytes are skipped.
    std::string pe = PeImage(1024);
    pe[512] = 7;
    pe[100] = 100;
    pe.replace(END_POINTER_LOW, 4, U32(static_cast<std::uint32_t>(pe.size() + TRAILER_SIZE)));
    WriteFile(folder / "p", pe + Trailer(0) + std::string(64, '\x7f'));
    EXPECT_EQ(ContainerChecksum(folder / "p", TRAILER_SIZE), 7u);
}

TEST(Checksum, SmallPackagesAreCheckedLargeOnesAlwaysPass) {
    ScratchFolder folder;
    for (std::size_t size : {40000u, 60000u}) {
        std::string data = RandomBytes(size - TRAILER_SIZE, 7) + Trailer(0, 2, TRAILER_MAGIC, 99);
        WriteFile(folder / "p", data);
        TGFileInfo info(folder / "p");
        std::uint32_t sum = ContainerChecksum(folder / "p", info.TrailerLength());
        EXPECT_EQ(ChecksumPasses(info.StoredChecksum(), sum), size > 51200) << size;
        EXPECT_EQ(sum == CHECKSUM_NONE, size > 51200) << size;
    }
    EXPECT_TRUE(ChecksumPasses(CHECKSUM_NONE, 5));
    EXPECT_TRUE(ChecksumPasses(5, 5));
    EXPECT_FALSE(ChecksumPasses(5, 6));
}

// Hex digits shifted by 50, as tokens are stored.
std::string Shifted(const std::string& hex) {
    std::string s = hex;
    for (char& c : s)
        c = static_cast<char>(c + 50);
    return s;
}

TEST(Token, DecodesAHandMadeToken) {
    // key 0; no front padding, one back byte (the check byte 0xD2 = 1+'h'+'i').
    std::string token;
    ASSERT_TRUE(DecodeToken(Shifted("00000168"
                                    "69D200"),
                            token));
    EXPECT_EQ(token, "hi");
    ASSERT_TRUE(DecodeToken(Shifted("00000168"
                                    "69d200"),
                            token)); // lower-case digits
    EXPECT_EQ(token, "hi");
    // key 0x0F: every byte between the first and the last is xored with it.
    // plain 00 00 01 'h' 'i' .. 0F -> stored 00 0F 0E 67 66 c 0F, c = sum of the rest.
    unsigned sum = (0x00 + 0x0F + 0x0E + 0x67 + 0x66 + 0x0F) & 0xFF;
    char hex[32];
    std::snprintf(hex, sizeof hex, "000F0E6766%02X0F", sum);
    ASSERT_TRUE(DecodeToken(Shifted(hex), token));
    EXPECT_EQ(token, "hi");
}

TEST(Token, DamagedTokensNeverDecode) {
    std::string token = "keep";
    for (const char* hex : {"", "0000",
                            "00000168"
                            "69D300", // wrong check byte
                            "00000168"
                            "69XX00", // not hex: reads 0xFF
                            "00FF0168"
                            "69D100"}) // padding past the end
        EXPECT_FALSE(DecodeToken(Shifted(hex), token)) << hex;
    EXPECT_EQ(token, "keep");
    std::string random = UnscrambleToken(Shifted("0000"));
    EXPECT_FALSE(random.empty());
    EXPECT_EQ(random.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_LT(std::stol(random), 99999);
}

TEST(Reader, PieceNames) {
    EXPECT_EQ(PieceFileName("D:\\Setup.exe.001", 2), "D:\\Setup.exe.002");
    EXPECT_EQ(PieceFileName("Setup.exe", 12), "Setup.exe.012");
    EXPECT_EQ(PieceFileName("Setup.001.exe", 3), "Setup.001.exe.003");
}

TEST(Space, EntryForTheClusterSize) {
    struct Case {
        std::uint32_t cluster;
        int entry;
    } cases[] = {{0, 0}, {511, 0}, {512, 1}, {4096, 4}, {65536, 8}, {1u << 20, 8}, {3000, 3}};
    for (const Case& c : cases)
        EXPECT_EQ(SpaceEntryForCluster(c.cluster), c.entry) << c.cluster;
}

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(data.data()),
             static_cast<uLong>(data.size()));
    out.resize(size);
    return out;
}

struct Decoded {
    std::string head, content, error;
};

Decoded Decode(const std::string& bytes, bool compressed, std::size_t chunk) {
    Decoded result;
    BlockDecoder decoder(compressed);
    bool ok = true;
    for (std::size_t i = 0; ok && i < bytes.size(); i += chunk)
        ok = decoder.Feed(bytes.data() + i, std::min(chunk, bytes.size() - i),
                          [&](const char* p, std::size_t n) { result.content.append(p, n); });
    if (!ok || !decoder.Finish())
        result.error = decoder.Error();
    result.head = decoder.Head();
    return result;
}

TEST(Blocks, DecodeInAnyChunkSize) {
    std::string content = RandomBytes(200000, 3) + std::string(300000, 'a');
    std::string stream = std::string("|Setup.exe*/S /V2|1234|") + '\0' + content;
    for (std::size_t chunk : {std::size_t(1) << 20, std::size_t(65536), std::size_t(7)}) {
        Decoded packed = Decode(Deflate(stream), true, chunk);
        EXPECT_EQ(packed.error, "");
        EXPECT_EQ(packed.head, "|Setup.exe*/S /V2|1234|");
        EXPECT_TRUE(packed.content == content) << chunk;
    }
    Decoded stored = Decode(stream, false, 1000);
    EXPECT_TRUE(stored.content == content);

    StreamHead head = ParseStreamHead(stored.head);
    EXPECT_EQ(head.sName, "Setup.exe");
    EXPECT_TRUE(head.bMain);
    EXPECT_EQ(head.sParams, "/S /V2");
    EXPECT_EQ(head.sEntry, "Setup.exe*/S /V2");
    EXPECT_EQ(head.nStamp, 1234u);
}

TEST(Blocks, HeadsThatCarryNoFileAndDamagedStreams) {
    EXPECT_EQ(Decode("no nul at all", false, 4).head, "");
    EXPECT_EQ(Decode(std::string("\0content", 8), false, 4).head, "");
    EXPECT_EQ(Decode("", false, 4).head, "");

    std::string packed = Deflate(std::string("|a.txt|0|") + '\0' + std::string(5000, 'q'));
    std::string broken = packed;
    broken[broken.size() - 1] ^= 0x55; // Adler-32
    EXPECT_EQ(Decode(broken, true, 100).error, "incorrect data check");
    EXPECT_NE(Decode(packed.substr(0, packed.size() / 2), true, 100).error, "");

    StreamHead plain = ParseStreamHead("|readme.txt|abc|");
    EXPECT_FALSE(plain.bMain);
    EXPECT_EQ(plain.nStamp, 0u);
    StreamHead star = ParseStreamHead("|Setup.exe*|0|");
    EXPECT_TRUE(star.bMain);
    EXPECT_EQ(star.sName, "Setup.exe");
    EXPECT_EQ(star.sParams, "");
}

TEST(Blocks, ReaderFollowsTheLengthFields) {
    ScratchFolder folder;
    std::string blocks = U32(3) + "abc" + U32(static_cast<std::uint32_t>(-2)) + "de" + U32(0);
    WriteFile(folder / "p", "IMG" + blocks + Trailer(3));
    BlockReader reader;
    ASSERT_TRUE(reader.Open(folder / "p", 3, 3 + blocks.size() + TRAILER_SIZE));
    std::vector<std::pair<std::int32_t, std::string>> seen;
    for (int guard = 0; guard < 10 && reader.HasBlock(); ++guard) {
        std::int32_t length = 0;
        ASSERT_TRUE(reader.NextBlock(length));
        char buffer[2];
        std::string bytes;
        for (std::size_t got; (got = reader.Read(buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, got);
        seen.emplace_back(length, bytes);
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(3, std::string("abc")));
    EXPECT_EQ(seen[1], std::make_pair(-2, std::string("de")));
    EXPECT_EQ(seen[2], std::make_pair(0, std::string()));

    // A length beyond the file ends the block at the end of the file.
    WriteFile(folder / "p", U32(1000000) + "xyz");
    ASSERT_TRUE(reader.Open(folder / "p", 0, 1000));
    std::int32_t length = 0;
    ASSERT_TRUE(reader.NextBlock(length));
    char buffer[64];
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 0u);
}

} // namespace
