#include "pe_move.h"

#include <algorithm>
#include <cstring>

namespace pe {

namespace {

std::uint32_t Read16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return Read16(b, at) | (Read16(b, at + 2) << 16);
}

void Write32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

const std::uint32_t kPe32 = 0x10B;
const std::uint32_t kPe32Plus = 0x20B;
const std::size_t kSectionHeaderSize = 40;

} // namespace

std::uint32_t Checksum(const std::vector<std::uint8_t>& image, std::size_t checksumOffset) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < image.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2)
            continue;
        std::uint32_t word = image[i];
        if (i + 1 < image.size())
            word |= static_cast<std::uint32_t>(image[i + 1]) << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + image.size());
}

bool MoveHeaders(std::vector<std::uint8_t>& image, std::uint32_t newOffset, std::string& error) {
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') {
        error = "not an MZ image";
        return false;
    }
    const std::uint32_t old = Read32(image, 0x3C);
    if (old < 0x40 || static_cast<std::uint64_t>(old) + 24 > image.size() ||
        std::memcmp(&image[old], "PE\0\0", 4) != 0) {
        error = "no PE signature at e_lfanew";
        return false;
    }
    const std::uint32_t sections = Read16(image, old + 6);
    const std::uint32_t optionalSize = Read16(image, old + 20);
    const std::size_t optional = old + 24;
    const std::size_t length = 24 + optionalSize + sections * kSectionHeaderSize;
    if (old + length > image.size() || optionalSize < 96) {
        error = "truncated headers";
        return false;
    }
    const std::uint32_t magic = Read16(image, optional);
    if (magic != kPe32 && magic != kPe32Plus) {
        error = "unknown optional header";
        return false;
    }
    const std::uint32_t sizeOfHeaders = Read32(image, optional + 60);
    const std::size_t directories = optional + (magic == kPe32 ? 96 : 112);
    const std::uint32_t directoryCount = Read32(image, directories - 4);
    auto directorySize = [&](std::uint32_t index) -> std::uint32_t {
        const std::size_t at = directories + index * 8;
        if (index >= directoryCount || at + 8 > optional + optionalSize)
            return 0;
        return Read32(image, at + 4);
    };
    if (directorySize(4) != 0) {
        error = "the image is signed; moving its headers would break the signature";
        return false;
    }
    if (directorySize(11) != 0) {
        error = "bound imports live in the header area";
        return false;
    }
    if (newOffset % 8 != 0 || newOffset < 0x40) {
        error = "the new offset must be 8-aligned and behind the DOS header";
        return false;
    }
    // The headers must end below SizeOfHeaders and below every section's data.
    std::uint64_t limit = sizeOfHeaders;
    const std::size_t table = old + 24 + optionalSize;
    for (std::uint32_t s = 0; s < sections; ++s) {
        const std::size_t h = table + s * kSectionHeaderSize;
        const std::uint32_t rawSize = Read32(image, h + 16);
        const std::uint32_t rawPointer = Read32(image, h + 20);
        if (rawSize != 0 && rawPointer != 0)
            limit = std::min<std::uint64_t>(limit, rawPointer);
    }
    if (static_cast<std::uint64_t>(newOffset) + length > limit || limit > image.size()) {
        error = "SizeOfHeaders leaves no room for the headers at the new offset";
        return false;
    }
    if (newOffset != old) {
        // Bytes the move would overwrite, outside the old headers, must be free.
        for (std::size_t i = newOffset; i < newOffset + length; ++i) {
            if ((i < old || i >= old + length) && image[i] != 0) {
                error = "the bytes at the new offset are in use";
                return false;
            }
        }
        std::vector<std::uint8_t> headers(image.begin() + old, image.begin() + old + length);
        std::fill(image.begin() + old, image.begin() + old + length, 0);
        std::copy(headers.begin(), headers.end(), image.begin() + newOffset);
        Write32(image, 0x3C, newOffset);
    }
    const std::size_t checksumAt = newOffset + 24 + 64;
    Write32(image, checksumAt, 0);
    Write32(image, checksumAt, Checksum(image, checksumAt));
    return true;
}

} // namespace pe
