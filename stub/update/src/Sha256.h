// SHA-256 over a stream of bytes, for checking downloaded update files
// against the digest their information file announces. No package of a
// hashing library serves both the native and the Windows build, so the
// routine lives here; it hashes files chunk by chunk.
#ifndef STUB_UPDATE_SHA256_H
#define STUB_UPDATE_SHA256_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    void Update(const void* data, std::size_t size);
    // The digest; the object must not be updated afterwards.
    std::array<std::uint8_t, 32> Final();
    // Final() as 64 lower-case hex digits.
    std::string HexDigest();

private:
    void Block(const std::uint8_t* p);

    std::array<std::uint32_t, 8> m_h;
    std::array<std::uint8_t, 64> m_buf{};
    std::size_t m_nBuf = 0;
    std::uint64_t m_nTotal = 0;
};

std::string Sha256Hex(const std::string& data);

// Hashes the file in chunks; false (hex empty) when it cannot be read whole.
bool FileSha256(const std::string& path, std::string& hex);

// Compares two hex digests ignoring case and surrounding blanks; a digest
// that is not 64 hex digits never matches.
bool SameDigest(const std::string& a, const std::string& b);

#endif
