// Reading the file blocks of a package piece in bounded pieces of memory:
// blocks are read in chunks and inflated into a fixed-size buffer, so that
// neither a block's length field nor its contents decide how much is held.
#ifndef STUB_CONTAINER_BLOCKREADER_H
#define STUB_CONTAINER_BLOCKREADER_H

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace container {

class BlockReader {
public:
    // Blocks start at nStart; the trailer ends the container at nEnd.
    bool Open(const std::string& sPath, std::uint64_t nStart, std::uint64_t nEnd);
    void Close() { m_File.close(); }
    // A further block follows: more than a trailer's worth of bytes remain.
    bool HasBlock() const;
    // Starts the next block and returns its length field; false when the
    // file ends before the field.
    bool NextBlock(std::int32_t& nLength);
    // Up to n bytes of the current block; 0 once the block or the file ends.
    std::size_t Read(void* pBuffer, std::size_t n);
    // Position after the current block, as its length field says.
    std::uint64_t Position() const { return m_nPosition; }

private:
    std::ifstream m_File;
    std::uint64_t m_nPosition = 0;
    std::uint64_t m_nEnd = 0;
    std::uint64_t m_nLeft = 0; // bytes of the current block not yet read
};

// Longest stream head a block may have before its NUL; a longer one marks
// the block as damaged.
constexpr std::size_t MAX_STREAM_HEAD = 4096;

// Receives the file content of a block, in order.
using ContentSink = std::function<void(const char* pData, std::size_t n)>;

// Decodes one block: inflates it (or passes stored bytes through), splits
// off the stream head at the first NUL and hands the content to a sink.
class BlockDecoder {
public:
    explicit BlockDecoder(bool bCompressed);
    ~BlockDecoder();
    BlockDecoder(const BlockDecoder&) = delete;
    BlockDecoder& operator=(const BlockDecoder&) = delete;

    // False when the data is damaged; Error() then says why.
    bool Feed(const void* pData, std::size_t n, const ContentSink& sink);
    // Ends the block; false when a compressed block stopped short.
    bool Finish();
    // Head text before the first NUL; empty while no NUL was seen, and for a
    // block that carries no file.
    const std::string& Head() const { return m_bHeadDone ? m_sHead : m_sEmpty; }
    bool HeadComplete() const { return m_bHeadDone; }
    std::uint64_t ContentSize() const { return m_nContent; }
    const std::string& Error() const { return m_sError; }

private:
    bool Emit(const char* pData, std::size_t n, const ContentSink& sink);

    struct Inflater;
    std::unique_ptr<Inflater> m_pInflater; // null for stored blocks
    bool m_bHeadDone = false;
    bool m_bEnded = false;
    std::string m_sHead;
    std::string m_sEmpty;
    std::uint64_t m_nContent = 0;
    std::string m_sError;
};

// What a stream head says about its file.
struct StreamHead {
    std::string sName;        // file name, without the main-program mark
    std::uint32_t nStamp = 0; // packed DOS date and time; 0 keeps the written time
    bool bMain = false;
    std::string sEntry;  // main-program entry: name, "*", parameter text
    std::string sParams; // text after the first "*" of the entry
};

StreamHead ParseStreamHead(const std::string& sHead);

// Text of a zlib status for messages about damaged blocks.
std::string InflateErrorText(int nStatus, const char* pMessage);

} // namespace container

#endif
