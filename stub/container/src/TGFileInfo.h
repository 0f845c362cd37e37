// Reader of a package container: the trailer at the end of a package file
// (or of one piece of a spanned package), its text records and the queries
// the installer makes on them.
#ifndef STUB_CONTAINER_TGFILEINFO_H
#define STUB_CONTAINER_TGFILEINFO_H

#include "ContainerFormat.h"

#include <array>
#include <cstdint>
#include <string>

namespace container {

// Where a file's container ends and what its trailer says, before any text
// record is read.
struct ContainerTrailer {
    std::array<unsigned char, TRAILER_SIZE> bytes{};
    bool bPeImage = false;         // "MZ" at 0 and "PE" at 256
    std::uint64_t nEndPointer = 0; // offsets 248..255 of a PE image, else 0
    std::uint64_t nFileSize = 0;
    bool bFound = false; // a trailer of at least 4 bytes was read

    // End of the container: the end pointer when set, else the file size.
    std::uint64_t ContainerEnd() const { return nEndPointer > 0 ? nEndPointer : nFileSize; }
    std::uint32_t U32(std::size_t offset) const { return GetU32(bytes.data() + offset); }
    bool MagicOk() const { return U32(TR_MAGIC) == TRAILER_MAGIC; }
};

// Locates and reads the trailer of a file. A missing file, a trailer length
// below 4 or one that points outside the file give an all-zero trailer. Byte
// 1 reads 2 when it was 0, and the length field holds the bytes really read.
// The image-size field is left as stored (it points at the first text
// record); the block reader of a piece starts there.
ContainerTrailer ReadContainerTrailer(const std::string& sPath);

// File name of piece nPiece (2, 3, ...) of a spanned package whose first
// piece is sFirst: sFirst without a trailing ".001", a dot and three digits.
std::string PieceFileName(const std::string& sFirst, unsigned nPiece);

// Check sum of a package file whose trailer is nTrailerLength bytes long.
// Files above 51200 bytes give 1234, which always passes.
std::uint32_t ContainerChecksum(const std::string& sPath, std::uint32_t nTrailerLength);

// True when a stored and a computed check sum agree or either is 1234.
bool ChecksumPasses(std::uint32_t nStored, std::uint32_t nComputed);

// Decodes a scrambled token. A damaged token gives the decimal text of a
// random number below 99999, so that it never matches a sound one.
std::string UnscrambleToken(const std::string& sText);

// Space-table entry for a drive with the given cluster size: the largest k
// whose unit 256 << k fits in a cluster, 0 when none does.
int SpaceEntryForCluster(std::uint32_t nClusterSize);

// Decodes a scrambled token; false (and sToken unchanged) when damaged.
bool DecodeToken(const std::string& sText, std::string& sToken);

class TGFileInfo {
public:
    // Reads everything and closes the file; never fails (see ReadContainerTrailer).
    explicit TGFileInfo(const std::string& sPath);

    // Trailer fields. ImageOffset points at the first file block once the
    // text records have been read.
    const ContainerTrailer& Trailer() const { return m_Trailer; }
    unsigned FormatByte() const { return Byte(TR_FORMAT); }
    unsigned TextRecords() const { return Byte(TR_TEXT_RECORDS); }
    std::uint32_t ImageOffset() const { return m_Trailer.U32(TR_IMAGE_SIZE); }
    std::uint32_t FileCount() const { return m_Trailer.U32(TR_FILE_COUNT); }
    bool MagicOk() const { return m_Trailer.MagicOk(); }
    std::uint32_t StoredChecksum() const { return m_Trailer.U32(TR_CHECKSUM); }
    std::uint32_t SpaceEntry(int k) const;
    unsigned Options() const { return Byte(TR_OPTIONS); }
    bool AlwaysShowSpaceNotice() const { return Options() & OPT_SPACE_NOTICE; }
    bool MorePieces() const { return Options() & OPT_MORE_PIECES; }
    bool SelfCopy() const { return Options() & OPT_SELF_COPY; }
    bool ActivityBar() const { return Options() & OPT_ACTIVITY_BAR; }
    // The run log is honoured only for an agent copy.
    bool RunLog() const { return (Options() & OPT_RUN_LOG) && IsAgent(); }
    bool DownloadMode() const { return Byte(TR_DOWNLOAD_MODE) == 1; }
    bool AskDownload() const { return Byte(TR_ASK_DOWNLOAD) == 1; }
    bool WriteAgent() const { return Byte(TR_WRITE_AGENT) == 1; }
    bool IsAgent() const { return Byte(TR_IS_AGENT) == 1; }
    std::uint32_t TrailerLength() const { return m_Trailer.U32(TR_LENGTH); }
    bool IsPeImage() const { return m_Trailer.bPeImage; }
    std::uint64_t ContainerEnd() const { return m_Trailer.ContainerEnd(); }

    // The raw text records (empty when absent or when the magic is wrong).
    const std::string& LanguageBlock() const { return m_sLanguages; }
    const std::string& HeaderRecord() const { return m_sHeader; }
    const std::string& DownloadRecord() const { return m_sDownload; }

    // Header item i (0..4); item 1 is reduced to its file-name part.
    std::string HeaderItem(int i) const;
    std::string DownloadItem(int i) const;
    // Base name of the update information file followed by ".original".
    std::string SettingsBaseName() const;
    bool Quiet() const { return HeaderItem(4) == "1"; }
    bool AlwaysDownload() const { return DownloadItem(2) == "1"; }
    std::int64_t DownloadSize() const;
    std::string PackageToken() const { return UnscrambleToken(HeaderItem(3)); }
    std::string DownloadToken() const { return UnscrambleToken(DownloadItem(3)); }
    // Damaged tokens never count as the same, not even by chance.
    bool SameDownloadToken(const TGFileInfo& other) const;

    // Bytes the files need on the drive that holds sFolder, from the space
    // table entry for that drive's cluster size.
    double RequiredSpace(const std::string& sFolder) const;

    // Texts of the process-wide selected language.
    std::string LanguageString(const std::string& sKey, const std::string& sDefault) const;
    int Charset() const;
    int FontSize() const;
    std::string FontName() const;

private:
    unsigned Byte(std::size_t offset) const { return m_Trailer.bytes[offset]; }

    ContainerTrailer m_Trailer;
    std::string m_sLanguages;
    std::string m_sHeader;
    std::string m_sDownload;
};

} // namespace container

#endif
