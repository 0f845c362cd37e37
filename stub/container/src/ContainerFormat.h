// Byte layout of a package container: the constants shared by the reader
// and the package builder.
#ifndef STUB_CONTAINER_FORMAT_H
#define STUB_CONTAINER_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace container {

constexpr std::size_t TRAILER_SIZE = 74;
constexpr std::uint32_t TRAILER_MAGIC = 0x4A3B2C1Du;
// Stored in the check-sum field when no sum was computed, and the value the
// sum takes for files above CHECKSUM_LIMIT bytes.
constexpr std::uint32_t CHECKSUM_NONE = 1234;
constexpr std::uint64_t CHECKSUM_LIMIT = 51200;

// The "PE" signature of a package's program image stands here, and the
// container end pointer just before it.
constexpr std::uint64_t PE_SIGNATURE_OFFSET = 256;
constexpr std::uint64_t END_POINTER_HIGH = 248;
constexpr std::uint64_t END_POINTER_LOW = 252;

// Trailer field offsets.
enum TrailerOffset : std::size_t {
    TR_FORMAT = 0,
    TR_TEXT_RECORDS = 1,
    TR_IMAGE_SIZE = 4,
    TR_FILE_COUNT = 8,
    TR_MAGIC = 12,
    TR_CHECKSUM = 16,
    TR_RESERVED = 20,
    TR_SPACE = 28,
    TR_RESERVED2 = 64,
    TR_OPTIONS = 65,
    TR_DOWNLOAD_MODE = 66,
    TR_ASK_DOWNLOAD = 67,
    TR_WRITE_AGENT = 68,
    TR_IS_AGENT = 69,
    TR_LENGTH = 70,
};

constexpr int SPACE_ENTRIES = 9;

// Option bits of the trailer byte TR_OPTIONS.
enum OptionBit : std::uint8_t {
    OPT_SPACE_NOTICE = 0x01,
    OPT_MORE_PIECES = 0x02,
    OPT_SELF_COPY = 0x04,
    OPT_ACTIVITY_BAR = 0x08,
    OPT_RUN_LOG = 0x10,
};

// Outer and inner separators of the language block.
constexpr char LANGUAGE_SEPARATOR = '\x02';
constexpr char LANGUAGE_ITEM_SEPARATOR = '\x01';

inline std::uint32_t GetU32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline void PutU32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

} // namespace container

#endif
