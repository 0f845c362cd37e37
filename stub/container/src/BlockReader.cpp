#include "BlockReader.h"

#include "ContainerFormat.h"
#include "util/numbers.h"
#include "util/sub.h"
#include "util/text.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace container {

bool BlockReader::Open(const std::string& sPath, std::uint64_t nStart, std::uint64_t nEnd) {
    m_File.close();
    m_File.clear();
    m_File.open(sPath, std::ios::binary);
    m_nPosition = nStart;
    m_nEnd = nEnd;
    m_nLeft = 0;
    return static_cast<bool>(m_File);
}

bool BlockReader::HasBlock() const {
    return m_File.is_open() && m_nPosition < m_nEnd && m_nEnd - m_nPosition > TRAILER_SIZE;
}

bool BlockReader::NextBlock(std::int32_t& nLength) {
    m_nLeft = 0;
    unsigned char field[4];
    m_File.clear();
    m_File.seekg(static_cast<std::streamoff>(m_nPosition));
    m_File.read(reinterpret_cast<char*>(field), 4);
    if (m_File.gcount() != 4)
        return false;
    nLength = static_cast<std::int32_t>(GetU32(field));
    std::uint64_t size =
        nLength < 0 ? std::uint64_t(-std::int64_t(nLength)) : std::uint64_t(nLength);
    m_nPosition += size + 4;
    m_nLeft = size;
    return true;
}

std::size_t BlockReader::Read(void* pBuffer, std::size_t n) {
    if (m_nLeft == 0 || n == 0)
        return 0;
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(n, m_nLeft));
    m_File.read(static_cast<char*>(pBuffer), static_cast<std::streamsize>(want));
    std::size_t got = static_cast<std::size_t>(m_File.gcount());
    // A short read means the file ends inside the block: the block ends too.
    m_nLeft = got < want ? 0 : m_nLeft - got;
    return got;
}

struct BlockDecoder::Inflater {
    z_stream stream{};
    bool bReady = false;
    unsigned char out[65536];
};

BlockDecoder::BlockDecoder(bool bCompressed) {
    if (!bCompressed)
        return;
    m_pInflater.reset(new Inflater);
    int status = inflateInit(&m_pInflater->stream);
    m_pInflater->bReady = status == Z_OK;
    if (!m_pInflater->bReady)
        m_sError = InflateErrorText(status, m_pInflater->stream.msg);
}

BlockDecoder::~BlockDecoder() {
    if (m_pInflater && m_pInflater->bReady)
        inflateEnd(&m_pInflater->stream);
}

bool BlockDecoder::Emit(const char* pData, std::size_t n, const ContentSink& sink) {
    if (!m_bHeadDone) {
        const char* nul = static_cast<const char*>(std::memchr(pData, '\0', n));
        if (!nul) {
            // A crafted block must not make the head hold its whole content.
            if (m_sHead.size() + n > MAX_STREAM_HEAD) {
                m_sError = "stream head too long";
                return false;
            }
            m_sHead.append(pData, n);
            return true;
        }
        if (m_sHead.size() + static_cast<std::size_t>(nul - pData) > MAX_STREAM_HEAD) {
            m_sError = "stream head too long";
            return false;
        }
        m_sHead.append(pData, static_cast<std::size_t>(nul - pData));
        m_bHeadDone = true;
        n -= static_cast<std::size_t>(nul - pData) + 1;
        pData = nul + 1;
    }
    if (n == 0)
        return true;
    m_nContent += n;
    if (sink && !m_sHead.empty())
        sink(pData, n);
    return true;
}

bool BlockDecoder::Feed(const void* pData, std::size_t n, const ContentSink& sink) {
    if (!m_sError.empty())
        return false;
    if (!m_pInflater)
        return Emit(static_cast<const char*>(pData), n, sink);
    if (m_bEnded)
        return true; // bytes after the end of the stream carry nothing
    z_stream& z = m_pInflater->stream;
    z.next_in = static_cast<Bytef*>(const_cast<void*>(pData));
    z.avail_in = static_cast<uInt>(n);
    // Output left inside zlib when the buffer filled up is drained before
    // more input is needed.
    do {
        z.next_out = m_pInflater->out;
        z.avail_out = sizeof m_pInflater->out;
        int status = inflate(&z, Z_NO_FLUSH);
        std::size_t produced = sizeof m_pInflater->out - z.avail_out;
        if (!Emit(reinterpret_cast<const char*>(m_pInflater->out), produced, sink))
            return false;
        if (status == Z_STREAM_END) {
            m_bEnded = true;
            break;
        }
        if (status == Z_BUF_ERROR)
            break;
        if (status != Z_OK) {
            m_sError = InflateErrorText(status, z.msg);
            return false;
        }
    } while (z.avail_out == 0 || z.avail_in > 0);
    return true;
}

bool BlockDecoder::Finish() {
    if (!m_sError.empty())
        return false;
    if (m_pInflater && !m_bEnded) {
        m_sError = "unexpected end of file";
        return false;
    }
    return true;
}

std::string InflateErrorText(int nStatus, const char* pMessage) {
    if (pMessage && *pMessage)
        return pMessage;
    switch (nStatus) {
    case Z_DATA_ERROR:
        return "data error";
    case Z_MEM_ERROR:
        return "insufficient memory";
    case Z_BUF_ERROR:
        return "buffer error";
    case Z_STREAM_ERROR:
        return "stream error";
    default:
        return "inflate error " + std::to_string(nStatus);
    }
}

StreamHead ParseStreamHead(const std::string& sHead) {
    StreamHead head;
    head.sName = Trim(SUB::Field(sHead, 0));
    head.nStamp = static_cast<std::uint32_t>(ParseInt64(SUB::Field(sHead, 1), 0));
    std::size_t star = head.sName.find('*');
    if (star != std::string::npos) {
        head.bMain = true;
        head.sEntry = head.sName;
        head.sParams = head.sName.substr(star + 1);
        head.sName = Trim(head.sName.substr(0, star));
    } else if (sHead.find('*') != std::string::npos) {
        head.bMain = true;
        head.sEntry = sHead;
    }
    return head;
}

} // namespace container
