#include <gtest/gtest.h>

#include <cstring>

#include "pe_move.h"

namespace {

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// A PE32+ image as GNU ld lays it out: signature at 0x80, two sections.
std::vector<std::uint8_t> LinkerImage(std::uint32_t sizeOfHeaders = 0x400) {
    std::vector<std::uint8_t> b(sizeOfHeaders + 0x200, 0);
    b[0] = 'M';
    b[1] = 'Z';
    std::memcpy(&b[0x40], "This program cannot be run in DOS mode.", 39);
    Put32(b, 0x3C, 0x80);
    std::memcpy(&b[0x80], "PE\0\0", 4);
    b[0x84] = 0x64; // machine x86-64
    b[0x85] = 0x86;
    b[0x86] = 2;   // sections
    b[0x94] = 240; // optional header size
    const std::size_t opt = 0x98;
    b[opt] = 0x0B;
    b[opt + 1] = 0x02;
    Put32(b, opt + 60, sizeOfHeaders);
    Put32(b, opt + 108, 16);
    Put32(b, opt + 112 + 1 * 8, 0x2000); // import directory: stays as it is
    Put32(b, opt + 112 + 1 * 8 + 4, 0x40);
    const std::size_t table = opt + 240;
    for (int s = 0; s < 2; ++s) {
        const std::size_t h = table + static_cast<std::size_t>(s) * 40;
        std::memcpy(&b[h], s == 0 ? ".text" : ".data", 5);
        Put32(b, h + 16, 0x100);
        Put32(b, h + 20, sizeOfHeaders + static_cast<std::uint32_t>(s) * 0x100);
    }
    for (std::size_t i = sizeOfHeaders; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(i * 7);
    return b;
}

const std::size_t kHeaderLength = 24 + 240 + 2 * 40;

TEST(PeMoveTest, MovesHeadersTo256) {
    const std::vector<std::uint8_t> before = LinkerImage();
    std::vector<std::uint8_t> image = before;
    std::string error;
    ASSERT_TRUE(pe::MoveHeaders(image, 256, error)) << error;
    ASSERT_EQ(image.size(), before.size());
    EXPECT_EQ(Get32(image, 0x3C), 256u);
    EXPECT_EQ(std::memcmp(&image[256], "PE\0\0", 4), 0);
    // The headers are the same bytes apart from the CheckSum field.
    for (std::size_t i = 0; i < kHeaderLength; ++i) {
        if (i < 88 || i >= 92) {
            EXPECT_EQ(image[256 + i], before[0x80 + i]) << i;
        }
    }
    for (std::size_t i = 0x80; i < 256; ++i)
        EXPECT_EQ(image[i], 0) << i;
    EXPECT_EQ(std::memcmp(&image[0x40], &before[0x40], 0x40), 0);
    EXPECT_EQ(std::memcmp(&image[0x400], &before[0x400], 0x200), 0);
    EXPECT_EQ(Get32(image, 256 + 88), pe::Checksum(image, 256 + 88));
    EXPECT_NE(Get32(image, 256 + 88), 0u);

    // Running it again changes nothing.
    std::vector<std::uint8_t> again = image;
    ASSERT_TRUE(pe::MoveHeaders(again, 256, error)) << error;
    EXPECT_EQ(again, image);
}

TEST(PeMoveTest, RefusesWhatCannotBeMoved) {
    std::string error;
    std::vector<std::uint8_t> small = LinkerImage(0x200);
    const std::vector<std::uint8_t> smallBefore = small;
    EXPECT_FALSE(pe::MoveHeaders(small, 256, error));
    EXPECT_NE(error.find("SizeOfHeaders"), std::string::npos);
    EXPECT_EQ(small, smallBefore);

    std::vector<std::uint8_t> busy = LinkerImage();
    busy[0x250] = 1;
    EXPECT_FALSE(pe::MoveHeaders(busy, 256, error));

    std::vector<std::uint8_t> signedImage = LinkerImage();
    Put32(signedImage, 0x98 + 112 + 4 * 8 + 4, 0x100);
    EXPECT_FALSE(pe::MoveHeaders(signedImage, 256, error));

    std::vector<std::uint8_t> notPe = LinkerImage();
    notPe[0x81] = 'X';
    EXPECT_FALSE(pe::MoveHeaders(notPe, 256, error));

    std::vector<std::uint8_t> tiny = {'M', 'Z'};
    EXPECT_FALSE(pe::MoveHeaders(tiny, 256, error));

    std::vector<std::uint8_t> image = LinkerImage();
    EXPECT_FALSE(pe::MoveHeaders(image, 0x104, error));
}

TEST(PeMoveTest, ChecksumFoldsCarriesAndAddsTheLength) {
    EXPECT_EQ(pe::Checksum({1, 0, 2, 0}, 100), 7u);
    EXPECT_EQ(pe::Checksum({0xFF, 0xFF, 0x02, 0x00}, 100), 6u);
    // The CheckSum field counts as zero; an odd last byte is a word of its own.
    EXPECT_EQ(pe::Checksum({5, 0, 9, 9, 3}, 0), 3u + 5u);
}

} // namespace
