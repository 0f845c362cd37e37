#include "TGFileInfo.h"

#include "LanguageTable.h"
#include "platform/files.h"
#include "util/numbers.h"
#include "util/sub.h"
#include "util/text.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <vector>

namespace container {

namespace {

// Reads up to n bytes at offset; returns how many were read.
std::size_t ReadAt(std::ifstream& file, std::uint64_t offset, void* buffer, std::size_t n) {
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    if (!file)
        return 0;
    file.read(static_cast<char*>(buffer), static_cast<std::streamsize>(n));
    return static_cast<std::size_t>(file.gcount());
}

bool ReadU32At(std::ifstream& file, std::uint64_t offset, std::uint32_t& value) {
    unsigned char b[4];
    if (ReadAt(file, offset, b, 4) != 4)
        return false;
    value = GetU32(b);
    return true;
}

// Reads one text record at offset: u32 n, then n bytes, or as many as the
// file still holds. Memory follows the file, not the length field.
std::string ReadTextRecord(std::ifstream& file, std::uint64_t offset, std::uint64_t nFileSize,
                           std::uint32_t& nLength) {
    nLength = 0;
    if (!ReadU32At(file, offset, nLength))
        return std::string();
    std::uint64_t start = offset + 4;
    std::uint64_t available = start < nFileSize ? nFileSize - start : 0;
    std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(nLength, available)), '\0');
    text.resize(ReadAt(file, start, &text[0], text.size()));
    return text;
}

std::string FileNamePart(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

ContainerTrailer ReadContainerTrailer(const std::string& sPath) {
    ContainerTrailer trailer;
    trailer.bytes[TR_TEXT_RECORDS] = 2;
    std::ifstream file(sPath, std::ios::binary);
    if (!file)
        return trailer;
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    if (size < 4)
        return trailer;
    trailer.nFileSize = static_cast<std::uint64_t>(size);

    unsigned char head[PE_SIGNATURE_OFFSET + 2] = {};
    if (ReadAt(file, 0, head, sizeof head) == sizeof head && head[0] == 'M' && head[1] == 'Z' &&
        head[PE_SIGNATURE_OFFSET] == 'P' && head[PE_SIGNATURE_OFFSET + 1] == 'E') {
        trailer.bPeImage = true;
        trailer.nEndPointer =
            std::uint64_t(GetU32(head + END_POINTER_HIGH)) << 32 | GetU32(head + END_POINTER_LOW);
    }

    // An end pointer that leads outside the file is as good as no trailer.
    std::uint64_t end = trailer.ContainerEnd();
    std::uint32_t length = 0;
    if (end < 4 || end > trailer.nFileSize || !ReadU32At(file, end - 4, length) || length < 4 ||
        length > end)
        return trailer;

    std::uint32_t kept = std::min<std::uint32_t>(length, TRAILER_SIZE);
    ReadAt(file, end - length, trailer.bytes.data(), kept - 4);
    PutU32(trailer.bytes.data() + TR_LENGTH, kept);
    if (trailer.bytes[TR_TEXT_RECORDS] == 0)
        trailer.bytes[TR_TEXT_RECORDS] = 2;
    trailer.bFound = true;
    return trailer;
}

std::string PieceFileName(const std::string& sFirst, unsigned nPiece) {
    std::string base = sFirst;
    if (base.size() >= 4 && base.compare(base.size() - 4, 4, ".001") == 0)
        base.erase(base.size() - 4);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%03u", nPiece);
    return base + suffix;
}

std::uint32_t ContainerChecksum(const std::string& sPath, std::uint32_t nTrailerLength) {
    std::ifstream file(sPath, std::ios::binary);
    if (!file)
        return 0;
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    if (size < 0)
        return 0;
    if (static_cast<std::uint64_t>(size) > CHECKSUM_LIMIT)
        return CHECKSUM_NONE;

    std::uint32_t pointer = 0;
    unsigned char head[PE_SIGNATURE_OFFSET + 2] = {};
    if (ReadAt(file, 0, head, sizeof head) == sizeof head && head[0] == 'M' && head[1] == 'Z' &&
        head[PE_SIGNATURE_OFFSET] == 'P' && head[PE_SIGNATURE_OFFSET + 1] == 'E')
        pointer = GetU32(head + END_POINTER_LOW);

    // The words counted stop short of the trailer; the header area that
    // carries the end pointer is skipped when the pointer is set.
    std::int64_t remaining = std::int64_t(pointer > 0 ? pointer : size) - nTrailerLength;
    std::uint64_t offset = 0;
    if (pointer > 0) {
        offset = 512;
        remaining -= 512;
    }
    std::uint32_t sum = 0;
    unsigned char buffer[4096];
    for (;;) {
        std::size_t got = ReadAt(file, offset, buffer, sizeof buffer);
        offset += got;
        for (std::size_t i = 0; i + 4 <= got; i += 4) {
            remaining -= 4;
            if (remaining > 4)
                sum += GetU32(buffer + i);
        }
        if (remaining > 4)
            sum += CHECKSUM_NONE;
        if (got < sizeof buffer)
            break;
    }
    return sum;
}

bool ChecksumPasses(std::uint32_t nStored, std::uint32_t nComputed) {
    return nStored == nComputed || nStored == CHECKSUM_NONE || nComputed == CHECKSUM_NONE;
}

int SpaceEntryForCluster(std::uint32_t nClusterSize) {
    int entry = 0;
    for (int k = 1; k < SPACE_ENTRIES; ++k)
        if ((std::uint64_t(256) << k) <= nClusterSize)
            entry = k;
    return entry;
}

bool DecodeToken(const std::string& sText, std::string& sToken) {
    std::string hex(sText);
    for (char& c : hex)
        c = static_cast<char>(static_cast<unsigned char>(c) - 50);
    std::vector<unsigned char> b;
    b.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
        b.push_back(hi < 0 || lo < 0 ? 0xFF : static_cast<unsigned char>(hi << 4 | lo));
    }
    std::size_t n = b.size();
    if (n <= 4)
        return false;
    unsigned char check = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (i != n - 2)
            check = static_cast<unsigned char>(check + b[i]);
    if (check != b[n - 2])
        return false;
    unsigned char key = b[0] ^ b[n - 1];
    for (std::size_t i = 1; i <= n - 2; ++i)
        b[i] ^= key;
    // Paddings that claim more than the token holds would read past its end.
    std::size_t start = std::size_t(b[1]) + 3;
    std::size_t used = std::size_t(b[1]) + b[2] + 4;
    if (used > n)
        return false;
    sToken.assign(reinterpret_cast<const char*>(b.data()) + start, n - used);
    return true;
}

std::string UnscrambleToken(const std::string& sText) {
    std::string token;
    if (DecodeToken(sText, token))
        return token;
    static std::mt19937 generator{std::random_device{}()};
    return std::to_string(std::uniform_int_distribution<int>(0, 99998)(generator));
}

TGFileInfo::TGFileInfo(const std::string& sPath) : m_Trailer(ReadContainerTrailer(sPath)) {
    if (!m_Trailer.MagicOk())
        return;
    std::ifstream file(sPath, std::ios::binary);
    if (!file)
        return;
    std::string* records[] = {&m_sLanguages, &m_sHeader, &m_sDownload};
    int count = TextRecords() >= 3 ? 3 : 2;
    for (int i = 0; i < count; ++i) {
        std::uint32_t offset = ImageOffset(), length = 0;
        *records[i] = ReadTextRecord(file, offset, m_Trailer.nFileSize, length);
        PutU32(m_Trailer.bytes.data() + TR_IMAGE_SIZE, offset + length + 4);
    }
}

std::uint32_t TGFileInfo::SpaceEntry(int k) const {
    if (k < 0 || k >= SPACE_ENTRIES)
        return 0;
    return m_Trailer.U32(TR_SPACE + 4 * std::size_t(k));
}

std::string TGFileInfo::HeaderItem(int i) const {
    std::string item = Trim(SUB::Field(m_sHeader, i));
    return i == 1 ? FileNamePart(item) : item;
}

std::string TGFileInfo::DownloadItem(int i) const {
    return Trim(SUB::Field(m_sDownload, i));
}

std::string TGFileInfo::SettingsBaseName() const {
    return BaseName(HeaderItem(1), true) + ".original";
}

std::int64_t TGFileInfo::DownloadSize() const {
    return ParseInt64(DownloadItem(4), 0);
}

bool TGFileInfo::SameDownloadToken(const TGFileInfo& other) const {
    std::string mine, theirs;
    return DecodeToken(DownloadItem(3), mine) && DecodeToken(other.DownloadItem(3), theirs) &&
           mine == theirs;
}

double TGFileInfo::RequiredSpace(const std::string& sFolder) const {
    return static_cast<double>(SpaceEntry(SpaceEntryForCluster(plat::cluster_size(sFolder))));
}

std::string TGFileInfo::LanguageString(const std::string& sKey, const std::string& sDefault) const {
    return language::LanguageString(m_sLanguages, sKey, sDefault);
}

int TGFileInfo::Charset() const {
    return language::Charset(m_sLanguages);
}

int TGFileInfo::FontSize() const {
    return language::FontSize(m_sLanguages);
}

std::string TGFileInfo::FontName() const {
    return language::FontName(m_sLanguages);
}

} // namespace container
