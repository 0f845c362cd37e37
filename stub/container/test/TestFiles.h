// Scratch files for the container tests.
#ifndef STUB_CONTAINER_TEST_TESTFILES_H
#define STUB_CONTAINER_TEST_TESTFILES_H

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

// A fresh folder under the temporary folder, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device random;
        m_Path = std::filesystem::temp_directory_path() /
                 ("stub-container-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(m_Path);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_Path, ec);
    }
    std::string operator/(const std::string& name) const { return (m_Path / name).string(); }
    const std::filesystem::path& Path() const { return m_Path; }

private:
    std::filesystem::path m_Path;
};

inline void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string U32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

// Bytes that zlib cannot shrink.
inline std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(generator());
    return s;
}

#endif
