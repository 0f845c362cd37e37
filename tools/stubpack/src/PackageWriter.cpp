#include "PackageWriter.h"

#include "ContainerFormat.h"
#include "ExtractPackage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <zlib.h>

namespace fs = std::filesystem;
using namespace container;

namespace stubpack {

namespace {

std::mt19937& Random() {
    static std::mt19937 generator{std::random_device{}()};
    return generator;
}

unsigned char RandomByte() {
    return static_cast<unsigned char>(std::uniform_int_distribution<int>(0, 255)(Random()));
}

// Joins items into a delimited list whose delimiter occurs in no item. "*"
// is never used: it marks the main program in a stream head.
bool JoinList(const std::vector<std::string>& items, std::string& sList) {
    static const char kDelimiters[] = {'|', '~', '^', '!', '@', '#', '$', '&', '\xFF'};
    for (char d : kDelimiters) {
        if (std::any_of(items.begin(), items.end(),
                        [d](const std::string& item) { return item.find(d) != std::string::npos; }))
            continue;
        sList.assign(1, d);
        for (const std::string& item : items)
            sList += item + d;
        return true;
    }
    return false;
}

void AppendU32(std::string& s, std::uint32_t v) {
    unsigned char b[4];
    PutU32(b, v);
    s.append(reinterpret_cast<const char*>(b), 4);
}

bool IsPeImage(const std::string& image) {
    return image.size() >= PE_SIGNATURE_OFFSET + 2 && image[0] == 'M' && image[1] == 'Z' &&
           image[PE_SIGNATURE_OFFSET] == 'P' && image[PE_SIGNATURE_OFFSET + 1] == 'E';
}

// The installer's check sum over a whole piece held in memory.
std::uint32_t Checksum(const std::string& data, std::uint32_t nTrailerLength) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
    std::uint32_t pointer = IsPeImage(data) ? GetU32(p + END_POINTER_LOW) : 0;
    std::int64_t remaining = std::int64_t(pointer > 0 ? pointer : data.size()) - nTrailerLength;
    std::size_t offset = 0;
    if (pointer > 0) {
        offset = 512;
        remaining -= 512;
    }
    std::uint32_t sum = 0;
    for (;;) {
        std::size_t got =
            offset < data.size() ? std::min<std::size_t>(4096, data.size() - offset) : 0;
        for (std::size_t i = 0; i + 4 <= got; i += 4) {
            remaining -= 4;
            if (remaining > 4)
                sum += GetU32(p + offset + i);
        }
        offset += got;
        if (remaining > 4)
            sum += CHECKSUM_NONE;
        if (got < 4096)
            break;
    }
    return sum;
}

bool ReadWholeFile(const std::string& sPath, std::string& data) {
    std::ifstream in(sPath, std::ios::binary);
    if (!in)
        return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string PieceName(const std::string& sOutput, unsigned piece) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%03u", piece);
    return sOutput + suffix;
}

class Writer {
public:
    Writer(const BuildRequest& request, const std::string& sOutput)
        : m_Request(request), m_sOutput(sOutput) {}
    ~Writer() {
        if (!m_bDone)
            Discard();
    }

    bool Run(std::vector<std::string>& written, std::string& sError);

private:
    bool Fail(const std::string& sText) {
        m_sError = sText;
        return false;
    }
    bool Validate();
    bool MakeTexts();
    bool StartPiece();
    bool FinishPiece(bool bMoreFollow);
    bool AddFile(const PackFile& file);
    bool AddBlock(const std::string& sHead, const char* pData, std::size_t n);
    void Discard();

    const BuildRequest& m_Request;
    std::string m_sOutput;
    std::string m_sError;
    std::string m_Image;
    bool m_bPe = false;
    std::string m_Texts; // the text records
    std::array<unsigned char, TRAILER_SIZE> m_Trailer{};
    std::vector<std::string> m_TempPaths;
    std::vector<std::string> m_FinalPaths;
    std::ofstream m_Out;
    std::uint64_t m_nPieceBytes = 0;
    unsigned m_nBlocksInPiece = 0;
    bool m_bDone = false;
};

bool Writer::Validate() {
    if (!ReadWholeFile(m_Request.sImage, m_Image))
        return Fail("cannot read the program image " + m_Request.sImage);
    m_bPe = IsPeImage(m_Image);
    if (m_Image.size() > 0xFFFFFFFFu)
        return Fail("the program image is larger than 4 GiB");
    if (m_Request.nBlockSize == 0)
        return Fail("the block size must be at least 1 byte");
    if (m_Request.bDownload && m_Request.files.empty() &&
        (m_Request.sDownloadUrl.empty() || m_Request.sDownloadName.empty()))
        return Fail("a download package without files needs the URL and the file name of the "
                    "real package");

    std::set<std::string> names;
    int mains = 0;
    for (const PackFile& file : m_Request.files) {
        if (!IsPlainFileName(file.sName))
            return Fail("\"" + file.sName + "\" is not a plain file name");
        std::string key = file.sName;
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (!names.insert(key).second)
            return Fail("the file name " + file.sName + " occurs twice");
        if (file.bMain && ++mains > 1)
            return Fail("more than one main program (" + file.sName + ")");
        if (file.sParams.find('\0') != std::string::npos)
            return Fail("the parameter text of " + file.sName + " contains a NUL byte");
        std::error_code ec;
        if (!fs::is_regular_file(file.sSource, ec))
            return Fail("cannot read " + file.sSource + ": not a regular file");
    }
    for (const PackLanguage& language : m_Request.languages) {
        auto bad = [](const std::string& s) {
            return s.find_first_of(std::string("\x01\x02", 2)) != std::string::npos;
        };
        if (language.sName.empty() || bad(language.sName))
            return Fail("a language needs a name without the bytes 0x01 and 0x02");
        for (const std::string& entry : language.entries)
            if (bad(entry))
                return Fail("language " + language.sName + " contains the byte 0x01 or 0x02");
    }
    return true;
}

bool Writer::MakeTexts() {
    std::string languages;
    if (!m_Request.languages.empty()) {
        languages = std::string(1, LANGUAGE_SEPARATOR);
        for (const PackLanguage& language : m_Request.languages) {
            languages += LANGUAGE_ITEM_SEPARATOR + language.sName + LANGUAGE_ITEM_SEPARATOR;
            for (const std::string& entry : language.entries)
                languages += entry + LANGUAGE_ITEM_SEPARATOR;
            languages += LANGUAGE_SEPARATOR;
        }
    }
    std::string header;
    if (!JoinList({m_Request.sUpdateUrl, m_Request.sInfoName, m_Request.sAgentName,
                   ScrambleToken(m_Request.sPackageToken), m_Request.bQuiet ? "1" : "0"},
                  header))
        return Fail("the header items use every list delimiter");
    std::vector<std::string> records = {languages, header};
    if (m_Request.bDownload) {
        std::string download;
        if (!JoinList({m_Request.sDownloadUrl, m_Request.sDownloadName,
                       m_Request.bAlwaysDownload ? "1" : "0",
                       ScrambleToken(m_Request.sDownloadToken),
                       std::to_string(m_Request.nDownloadSize)},
                      download))
            return Fail("the download items use every list delimiter");
        records.push_back(download);
    }
    for (const std::string& record : records) {
        AppendU32(m_Texts, static_cast<std::uint32_t>(record.size()));
        m_Texts += record;
    }
    return true;
}

bool Writer::StartPiece() {
    unsigned piece = static_cast<unsigned>(m_TempPaths.size()) + 1;
    if (m_Request.nPieceSize > 0 && piece > 999)
        return Fail("more than 999 pieces; choose a larger piece size");
    std::string sFinal = m_Request.nPieceSize > 0 ? PieceName(m_sOutput, piece) : m_sOutput;
    std::string temp = sFinal + ".partial";
    m_Out.close();
    m_Out.clear();
    m_Out.open(temp, std::ios::binary | std::ios::trunc);
    m_TempPaths.push_back(temp);
    m_FinalPaths.push_back(sFinal);
    if (!m_Out)
        return Fail("cannot write " + temp);
    m_nBlocksInPiece = 0;
    m_nPieceBytes = 0;
    if (piece == 1) {
        m_Out.write(m_Image.data(), static_cast<std::streamsize>(m_Image.size()));
        m_Out.write(m_Texts.data(), static_cast<std::streamsize>(m_Texts.size()));
        m_nPieceBytes = m_Image.size() + m_Texts.size();
    }
    return static_cast<bool>(m_Out) || Fail("cannot write " + temp);
}

bool Writer::FinishPiece(bool bMoreFollow) {
    bool first = m_TempPaths.size() == 1;
    std::array<unsigned char, TRAILER_SIZE> trailer = m_Trailer;
    PutU32(&trailer[TR_IMAGE_SIZE], first ? static_cast<std::uint32_t>(m_Image.size()) : 0);
    if (bMoreFollow)
        trailer[TR_OPTIONS] |= OPT_MORE_PIECES;
    m_Out.write(reinterpret_cast<const char*>(trailer.data()), TRAILER_SIZE);
    m_nPieceBytes += TRAILER_SIZE;
    bool pointer = first && m_bPe;
    if (pointer) {
        // The end pointer lets a signature follow the trailer.
        unsigned char end[8];
        PutU32(end, static_cast<std::uint32_t>(m_nPieceBytes >> 32));
        PutU32(end + 4, static_cast<std::uint32_t>(m_nPieceBytes));
        m_Out.seekp(static_cast<std::streamoff>(END_POINTER_HIGH));
        m_Out.write(reinterpret_cast<const char*>(end), 8);
    }
    m_Out.close();
    if (!m_Out)
        return Fail("cannot write " + m_TempPaths.back());
    if (m_nPieceBytes > CHECKSUM_LIMIT)
        return true;
    std::string data;
    if (!ReadWholeFile(m_TempPaths.back(), data))
        return Fail("cannot read back " + m_TempPaths.back());
    unsigned char sum[4];
    PutU32(sum, Checksum(data, TRAILER_SIZE));
    std::fstream patch(m_TempPaths.back(), std::ios::binary | std::ios::in | std::ios::out);
    patch.seekp(static_cast<std::streamoff>(data.size() - TRAILER_SIZE + TR_CHECKSUM));
    patch.write(reinterpret_cast<const char*>(sum), 4);
    patch.close();
    return static_cast<bool>(patch) || Fail("cannot write " + m_TempPaths.back());
}

bool Writer::AddBlock(const std::string& sHead, const char* pData, std::size_t n) {
    std::string raw = sHead;
    raw += '\0';
    raw.append(pData, n);
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    // The default level: the best one takes twice as long for a few percent.
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        return Fail("zlib could not compress a block");
    packed.resize(packedSize);
    // Blocks that do not shrink are stored as they are.
    bool stored = packed.size() >= raw.size();
    const std::string& payload = stored ? raw : packed;
    if (payload.size() > 0x7FFFFFFFu)
        return Fail("a block is larger than 2 GiB; choose a smaller block size");
    std::string block;
    std::int32_t length = static_cast<std::int32_t>(payload.size());
    AppendU32(block, static_cast<std::uint32_t>(stored ? -length : length));
    block += payload;

    if (m_Request.nPieceSize > 0) {
        std::uint64_t room =
            m_Request.nPieceSize > TRAILER_SIZE ? m_Request.nPieceSize - TRAILER_SIZE : 0;
        if (block.size() > room)
            return Fail("the piece size " + std::to_string(m_Request.nPieceSize) +
                        " is too small for one block (needs at least " +
                        std::to_string(block.size() + TRAILER_SIZE) + " bytes)");
        if (m_nPieceBytes + block.size() > room) {
            if (!FinishPiece(true) || !StartPiece())
                return false;
        }
    }
    m_Out.write(block.data(), static_cast<std::streamsize>(block.size()));
    m_nPieceBytes += block.size();
    ++m_nBlocksInPiece;
    return static_cast<bool>(m_Out) || Fail("cannot write " + m_TempPaths.back());
}

bool Writer::AddFile(const PackFile& file) {
    std::string entry = file.sName;
    if (file.bMain)
        entry += "*" + file.sParams;
    std::string head;
    if (!JoinList({entry, std::to_string(file.nStamp)}, head))
        return Fail("the parameter text of " + file.sName + " uses every list delimiter");
    std::ifstream in(file.sSource, std::ios::binary);
    if (!in)
        return Fail("cannot read " + file.sSource);
    std::string chunk(m_Request.nBlockSize, '\0');
    bool any = false;
    for (;;) {
        in.read(&chunk[0], static_cast<std::streamsize>(chunk.size()));
        std::size_t got = static_cast<std::size_t>(in.gcount());
        if (in.bad())
            return Fail("cannot read " + file.sSource);
        if (got == 0 && any)
            break;
        if (!AddBlock(head, chunk.data(), got))
            return false;
        any = true;
        if (got < chunk.size())
            break;
    }
    return true;
}

void Writer::Discard() {
    m_Out.close();
    std::error_code ec;
    for (const std::string& temp : m_TempPaths)
        fs::remove(temp, ec);
}

bool Writer::Run(std::vector<std::string>& written, std::string& sError) {
    bool ok = Validate() && MakeTexts();
    if (ok) {
        // Space table: sizes as they are and rounded up to each cluster size.
        std::uint64_t space[SPACE_ENTRIES] = {};
        for (const PackFile& file : m_Request.files) {
            std::error_code ec;
            std::uint64_t size = fs::file_size(file.sSource, ec);
            for (int k = 0; k < SPACE_ENTRIES; ++k) {
                std::uint64_t unit = k == 0 ? 1 : std::uint64_t(256) << k;
                space[k] += (size + unit - 1) / unit * unit;
            }
        }
        m_Trailer[TR_FORMAT] = 1;
        m_Trailer[TR_TEXT_RECORDS] =
            m_Request.bZeroTextRecordByte ? 0 : (m_Request.bDownload ? 3 : 2);
        PutU32(&m_Trailer[TR_FILE_COUNT], static_cast<std::uint32_t>(m_Request.files.size()));
        PutU32(&m_Trailer[TR_MAGIC], TRAILER_MAGIC);
        PutU32(&m_Trailer[TR_CHECKSUM], CHECKSUM_NONE);
        for (int k = 0; k < SPACE_ENTRIES; ++k)
            PutU32(&m_Trailer[TR_SPACE + 4 * k],
                   static_cast<std::uint32_t>(std::min<std::uint64_t>(space[k], 0xFFFFFFFFu)));
        m_Trailer[TR_OPTIONS] = m_Request.nOptions & static_cast<std::uint8_t>(~OPT_MORE_PIECES);
        m_Trailer[TR_DOWNLOAD_MODE] = m_Request.bDownload && m_Request.files.empty() ? 1 : 0;
        m_Trailer[TR_ASK_DOWNLOAD] = m_Request.bAskDownload ? 1 : 0;
        m_Trailer[TR_WRITE_AGENT] = m_Request.bWriteAgent ? 1 : 0;
        m_Trailer[TR_IS_AGENT] = m_Request.bIsAgent ? 1 : 0;
        PutU32(&m_Trailer[TR_LENGTH], TRAILER_SIZE);

        if (m_Request.nPieceSize > 0 &&
            m_Image.size() + m_Texts.size() + TRAILER_SIZE > m_Request.nPieceSize)
            ok = Fail("the piece size " + std::to_string(m_Request.nPieceSize) +
                      " is smaller than the program image and its texts");
    }
    ok = ok && StartPiece();
    for (std::size_t i = 0; ok && i < m_Request.files.size(); ++i)
        ok = AddFile(m_Request.files[i]);
    ok = ok && FinishPiece(false);
    for (std::size_t i = 0; ok && i < m_TempPaths.size(); ++i) {
        std::error_code ec;
        // A package runs as its program image does (on POSIX: executable).
        if (i == 0)
            fs::permissions(m_TempPaths[i], fs::status(m_Request.sImage, ec).permissions(), ec);
        fs::rename(m_TempPaths[i], m_FinalPaths[i], ec);
        if (ec) {
            // Pieces already renamed are complete files of a broken set: remove them.
            for (std::size_t j = 0; j < i; ++j)
                fs::remove(m_FinalPaths[j], ec);
            ok = Fail("cannot write " + m_FinalPaths[i] + ": " + ec.message());
        }
    }
    if (!ok) {
        sError = m_sError;
        return false;
    }
    m_bDone = true;
    written = m_FinalPaths;
    return true;
}

} // namespace

bool BuildPackage(const BuildRequest& request, const std::string& sOutput,
                  std::vector<std::string>& written, std::string& sError) {
    written.clear();
    Writer writer(request, sOutput);
    return writer.Run(written, sError);
}

std::string ScrambleToken(const std::string& sToken) {
    // b[0], pad1 length, pad2 length, pad1, token, pad2 whose last byte is
    // the check byte, b[n-1]; b[1..n-2] are xored with b[0] ^ b[n-1].
    std::size_t pad1 = std::uniform_int_distribution<int>(0, 8)(Random());
    std::size_t pad2 = std::uniform_int_distribution<int>(1, 8)(Random());
    std::vector<unsigned char> b;
    b.push_back(RandomByte());
    b.push_back(static_cast<unsigned char>(pad1));
    b.push_back(static_cast<unsigned char>(pad2));
    for (std::size_t i = 0; i < pad1; ++i)
        b.push_back(RandomByte());
    b.insert(b.end(), sToken.begin(), sToken.end());
    for (std::size_t i = 0; i < pad2; ++i)
        b.push_back(RandomByte());
    b.push_back(RandomByte());
    std::size_t n = b.size();
    unsigned char key = b[0] ^ b[n - 1];
    for (std::size_t i = 1; i <= n - 2; ++i)
        b[i] ^= key;
    unsigned char check = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (i != n - 2)
            check = static_cast<unsigned char>(check + b[i]);
    b[n - 2] = check;
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : b) {
        text += static_cast<char>(kHex[c >> 4] + 50);
        text += static_cast<char>(kHex[c & 15] + 50);
    }
    return text;
}

std::uint32_t DosStamp(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1980 || year > 2107)
        return 0;
    std::uint32_t date =
        std::uint32_t(year - 1980) << 9 | std::uint32_t(month) << 5 | std::uint32_t(day);
    std::uint32_t time =
        std::uint32_t(hour) << 11 | std::uint32_t(minute) << 5 | std::uint32_t(second / 2);
    return date << 16 | time;
}

std::uint32_t FileDosStamp(const std::string& sPath) {
    std::error_code ec;
    fs::file_time_type written = fs::last_write_time(sPath, ec);
    if (ec)
        return 0;
    auto now = std::chrono::system_clock::now();
    // Rounded: the two clocks are read at slightly different instants, and a
    // truncated 12:00:30 would come out as 12:00:28.
    auto when =
        std::chrono::round<std::chrono::seconds>(written - fs::file_time_type::clock::now() + now);
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    const std::tm* local = std::localtime(&t);
    if (!local)
        return 0;
    return DosStamp(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour,
                    local->tm_min, local->tm_sec);
}

bool IsPlainFileName(const std::string& sName) {
    // The installer refuses what it cannot write; the builder refuses the same.
    return container::IsPlainFileName(sName);
}

bool ReadLanguageFile(const std::string& sPath, PackLanguage& language, std::string& sError) {
    std::string text;
    if (!ReadWholeFile(sPath, text)) {
        sError = "cannot read the language file " + sPath;
        return false;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    language.entries.clear();
    std::size_t lineNo = 0, start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string where = sPath + ":" + std::to_string(lineNo);
        if (line.find_first_of(std::string("\x01\x02", 2)) != std::string::npos) {
            sError = where + ": the bytes 0x01 and 0x02 cannot stand in a language text";
            return false;
        }
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';' || line[first] == '#')
            continue;
        std::size_t eq = line.find('=');
        if (eq == std::string::npos || line.find_first_not_of(" \t") >= eq) {
            sError = where + ": expected key=value";
            return false;
        }
        language.entries.push_back(line.substr(first));
    }
    return true;
}

} // namespace stubpack
