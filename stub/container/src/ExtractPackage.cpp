#include "ExtractPackage.h"

#include "BlockReader.h"
#include "ContainerFormat.h"
#include "FileOutput.h"
#include "TGFileInfo.h"
#include "platform/fileio.h"
#include "platform/files.h"
#include "platform/system.h"
#include "util/services.h"
#include "util/text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <vector>

namespace container {

namespace {

constexpr std::size_t kChunk = 65536;
// Heads are found within the first bytes of a block; the check reads no more.
constexpr std::size_t kHeadChunk = 1024;

std::string InFolder(const std::string& sFolder, const std::string& sName) {
    return WithBackslash(sFolder, true) + sName;
}

// The names a stream head brings: its file and, for the main program, the
// program the run will start.
bool HeadNamesArePlain(const StreamHead& head, std::string& sBad) {
    if (!IsPlainFileName(head.sName)) {
        sBad = head.sName;
        return false;
    }
    if (head.bMain && !IsPlainFileName(MainProgramName(head.sEntry))) {
        sBad = head.sEntry;
        return false;
    }
    return true;
}

// Reads the stream heads of a piece's file blocks before anything of it is
// written, so that a name reaching out of the folder writes nothing at all.
ExtractStatus CheckPiece(const std::string& sPath, std::uint64_t nStart, std::uint64_t nEnd,
                         unsigned nCounter, unsigned nTextRecords, std::string& sError) {
    BlockReader reader;
    if (!reader.Open(sPath, nStart, nEnd))
        return ExtractStatus::PACKAGE_MISSING;
    char buffer[kHeadChunk];
    while (reader.HasBlock()) {
        std::int32_t length = 0;
        if (!reader.NextBlock(length))
            break;
        if (++nCounter <= nTextRecords)
            continue;
        BlockDecoder decoder(length > 0);
        bool ok = true;
        for (std::size_t got;
             ok && !decoder.HeadComplete() && (got = reader.Read(buffer, sizeof buffer)) > 0;)
            ok = decoder.Feed(buffer, got, nullptr);
        if (!ok) {
            sError = decoder.Error();
            return ExtractStatus::DAMAGED_BLOCK;
        }
        std::string bad;
        if (!decoder.Head().empty() && !HeadNamesArePlain(ParseStreamHead(decoder.Head()), bad)) {
            sError = "unsafe file name \"" + bad + "\"";
            return ExtractStatus::UNSAFE_NAME;
        }
    }
    return ExtractStatus::OK;
}

std::string SaveErrorReport(const std::string& sSystemText, std::uint64_t nDataSize,
                            const std::string& sPath) {
    std::int64_t size = plat::file_size(sPath);
    char freeText[64];
    std::snprintf(freeText, sizeof freeText, "%.0f", plat::free_disk_space(sPath));
    return sSystemText + "<P>" + "  Data Size: <T>" + std::to_string(nDataSize) + " Bytes<P>" +
           "  File Size:  <T>" + std::to_string(size < 0 ? 0 : size) + " Bytes<P>" +
           "  Bytes Free: <T>" + freeText + " Bytes";
}

bool IsExeName(const std::string& sPath) {
    return EndsWith(".exe", sPath) || EndsWith(".exe.001", sPath);
}

// One extraction run over the pieces of a package.
class Extraction {
public:
    Extraction(const ExtractRequest& request, ExtractServices& services)
        : m_rq(request), m_sv(services) {}

    ExtractResult Run();

private:
    bool Piece(unsigned nPiece, const std::string& sPath, bool& bMorePieces);
    bool Block(BlockReader& reader, std::int32_t nLength);
    void SaveError(const std::string& sPath, std::uint64_t nDataSize,
                   const std::string& sSystemText);
    bool Fail(ExtractStatus status, const std::string& sError) {
        m_r.status = status;
        m_r.sError = sError;
        return false;
    }

    const ExtractRequest& m_rq;
    ExtractServices& m_sv;
    ExtractResult m_r;
    unsigned m_nBlocks = 0;      // block counter, running across pieces
    unsigned m_nTextRecords = 2; // of the first piece
    std::uint64_t m_nImageAndTexts = 0;
    unsigned m_nSaveErrors = 0;
    std::vector<char> m_Chunk = std::vector<char>(kChunk);
};

ExtractResult Extraction::Run() {
    std::uint64_t start = m_sv.Clock();
    m_r.status = ExtractStatus::OK;
    m_sv.Progress(0, 0, 0, 1);
    bool going = true;
    if (!m_rq.sAgentName.empty() && !IsPlainFileName(m_rq.sAgentName))
        going = Fail(ExtractStatus::UNSAFE_NAME, "unsafe agent name \"" + m_rq.sAgentName + "\"");
    std::string path = m_rq.sPackage;
    for (unsigned piece = 1; going; ++piece) {
        bool more = false;
        if (!Piece(piece, path, more) || !more)
            break;
        path = PieceFileName(m_rq.sPackage, piece + 1);
        bool prompt = m_rq.bForcePrompt || !PathExists(path);
        m_sv.PrepareNextDisk(path, prompt);
        if (prompt) {
            std::string text =
                ReplaceAllCi(m_rq.sPromptText, "<DISK_NUM>", std::to_string(piece + 1));
            do {
                m_r.bContinue = m_sv.ConfirmDisk(text);
                m_sv.Wait(500);
            } while (m_r.bContinue && !PathExists(path));
        }
        m_sv.Progress(1, 0, 0, 1);
        if (!m_r.bContinue)
            going = Fail(ExtractStatus::DISK_CANCELLED, "disk prompt cancelled");
    }
    if (m_r.status == ExtractStatus::OK && m_nSaveErrors > 0)
        m_r.status = ExtractStatus::SAVE_ERROR;
    if (m_r.status == ExtractStatus::OK && m_r.sEntry.empty())
        m_r.status = ExtractStatus::NO_MAIN_PROGRAM;
    if (m_r.status != ExtractStatus::OK)
        m_r.sEntry.clear();
    m_r.nMillis = m_sv.Clock() - start;
    m_sv.Print("UnCompressTime: " + std::to_string(m_r.nMillis) + " MS");
    m_sv.Print("");
    m_sv.Wait(500);
    return m_r;
}

bool Extraction::Piece(unsigned nPiece, const std::string& sPath, bool& bMorePieces) {
    if (!PathExists(sPath))
        return Fail(ExtractStatus::PACKAGE_MISSING, "missing " + sPath);
    ContainerTrailer trailer = ReadContainerTrailer(sPath);
    std::uint64_t position = trailer.U32(TR_IMAGE_SIZE);
    if (nPiece == 1) {
        m_sv.Print("FileInfo.FilesCount=" + std::to_string(trailer.U32(TR_FILE_COUNT)));
        m_nTextRecords = trailer.bytes[TR_TEXT_RECORDS];
    }
    m_r.bChecksumOk =
        ChecksumPasses(trailer.U32(TR_CHECKSUM), ContainerChecksum(sPath, trailer.U32(TR_LENGTH)));
    if (!m_r.bChecksumOk)
        return Fail(ExtractStatus::BAD_CHECKSUM, "check sum failed: " + sPath);
    std::uint64_t end = trailer.ContainerEnd();
    m_sv.Print("FileLen=" + std::to_string(end));
    if (!trailer.MagicOk())
        return Fail(ExtractStatus::BAD_MAGIC, "no package in " + sPath);
    std::string error;
    ExtractStatus check = CheckPiece(sPath, position, end, m_nBlocks, m_nTextRecords, error);
    if (check != ExtractStatus::OK)
        return Fail(check, error);
    if (nPiece == 1)
        m_sv.Progress(0, static_cast<int>(trailer.U32(TR_FILE_COUNT)), 0, 1);
    if (m_rq.sFolder.empty())
        m_sv.ShowError(m_rq.sFolder + "<P><P>Unable to create Directory!<P><P>" +
                       SystemErrorText());
    else
        MakeFolders(m_rq.sFolder); // a failure shows as the first save error

    BlockReader reader;
    if (!reader.Open(sPath, position, end))
        return Fail(ExtractStatus::PACKAGE_MISSING, "cannot read " + sPath);
    while (reader.HasBlock()) {
        m_sv.Pump();
        std::int32_t length = 0;
        if (!reader.NextBlock(length))
            break;
        if (++m_nBlocks <= m_nTextRecords) {
            m_nImageAndTexts = reader.Position();
            continue;
        }
        if (!Block(reader, length))
            return false;
    }
    reader.Close();

    if (nPiece == 1 && !m_rq.sAgentName.empty() && IsExeName(m_rq.sPackage)) {
        std::string target = InFolder(m_rq.sFolder, m_rq.sAgentName);
        if (WriteAgentCopyFromPackage(sPath, m_nImageAndTexts, target))
            m_sv.Print(std::to_string(plat::process_id()) + " New AU-Agent: " + target);
        else
            SaveError(target, m_nImageAndTexts + TRAILER_SIZE, SystemErrorText());
    }
    bMorePieces = (trailer.bytes[TR_OPTIONS] & OPT_MORE_PIECES) != 0;
    return true;
}

bool Extraction::Block(BlockReader& reader, std::int32_t nLength) {
    BlockDecoder decoder(nLength > 0);
    OutputFile out;
    StreamHead head;
    std::string path;
    bool opened = false;
    bool written = true;
    std::string systemText; // of the first failed write, before other calls change it
    auto open = [&]() {
        opened = true;
        head = ParseStreamHead(decoder.Head());
        path = InFolder(m_rq.sFolder, head.sName);
        std::string bad;
        if (!HeadNamesArePlain(head, bad)) // the file changed since its check
            return Fail(ExtractStatus::UNSAFE_NAME, "unsafe file name \"" + bad + "\"");
        if (head.bMain)
            m_r.sEntry = head.sEntry;
        if (!PathExists(path))
            m_sv.Progress(1, 0, 0, 1);
        written = out.Open(path, true, head.bMain);
        if (!written)
            systemText = SystemErrorText();
        return true;
    };
    bool safe = true;
    auto sink = [&](const char* p, std::size_t n) {
        if (!opened)
            safe = open();
        if (safe && written && !out.Write(p, n)) {
            written = false;
            systemText = SystemErrorText();
        }
    };
    bool ok = true;
    for (std::size_t got; ok && safe && (got = reader.Read(m_Chunk.data(), m_Chunk.size())) > 0;) {
        ok = decoder.Feed(m_Chunk.data(), got, sink);
        m_sv.Pump();
    }
    if (!safe)
        return false;
    if (ok)
        ok = decoder.Finish();
    if (!ok) {
        out.Close();
        std::string where =
            decoder.Head().empty() ? "" : ParseStreamHead(decoder.Head()).sName + ": ";
        return Fail(ExtractStatus::DAMAGED_BLOCK, where + decoder.Error());
    }
    if (decoder.Head().empty())
        return true;        // a block that carries no file
    if (!opened && !open()) // an empty file
        return false;
    if (out.IsOpen() && !out.Close() && written) {
        written = false;
        systemText = SystemErrorText();
    }
    if (!written)
        SaveError(path, decoder.ContentSize(), systemText);
    else if (head.nStamp != 0) {
        SetDosStamp(path, head.nStamp);
    }
    return true;
}

void Extraction::SaveError(const std::string& sPath, std::uint64_t nDataSize,
                           const std::string& sSystemText) {
    ++m_nSaveErrors;
    unsigned processWide = m_rq.pSaveErrors ? ++*m_rq.pSaveErrors : m_nSaveErrors;
    m_sv.Print("Unable to save " + sPath);
    if (processWide == 1)
        m_sv.ShowError(sPath + "<P><P>Unable to save Extracted File!<P><P>" +
                       SaveErrorReport(sSystemText, nDataSize, sPath));
}

} // namespace

ExtractResult ExtractPackage(const ExtractRequest& request, ExtractServices& services) {
    return Extraction(request, services).Run();
}

int ExitCodeOf(ExtractStatus status) {
    switch (status) {
    case ExtractStatus::OK:
        return 0;
    case ExtractStatus::PACKAGE_MISSING:
        return PKG_EXIT_PACKAGE_MISSING;
    case ExtractStatus::BAD_CHECKSUM:
        return PKG_EXIT_BAD_CHECKSUM;
    case ExtractStatus::BAD_MAGIC:
        return PKG_EXIT_BAD_MAGIC;
    case ExtractStatus::DAMAGED_BLOCK:
        return PKG_EXIT_DAMAGED_BLOCK;
    case ExtractStatus::UNSAFE_NAME:
        return PKG_EXIT_UNSAFE_NAME;
    case ExtractStatus::SAVE_ERROR:
        return PKG_EXIT_SAVE_ERROR;
    case ExtractStatus::DISK_CANCELLED:
        return PKG_EXIT_DISK_CANCELLED;
    case ExtractStatus::NO_MAIN_PROGRAM:
        return PKG_EXIT_NO_MAIN_PROGRAM;
    }
    return PKG_EXIT_PACKAGE_MISSING;
}

bool IsPlainFileName(const std::string& sName) {
    if (sName.empty() || sName.size() > 255 || sName == "." || sName == "..")
        return false;
    for (unsigned char c : sName)
        if (c < 0x20 || c == 0x7F ||
            std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos)
            return false;
    // Windows drops trailing dots and blanks, so the name would change.
    if (sName.back() == '.' || sName.back() == ' ')
        return false;
    // Device names stay devices whatever extension follows them.
    std::string stem = UpperCase(TrimRight(sName.substr(0, sName.find('.'))));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
        stem == "CONOUT$")
        return false;
    return !(stem.size() == 4 &&
             (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
             stem[3] <= '9');
}

std::string MainProgramName(const std::string& sEntry) {
    return Trim(sEntry.substr(0, sEntry.find('*')));
}

std::string MbText(double nBytes) {
    double mb = nBytes <= 0 ? 0 : nBytes / 1048576.0;
    char text[64];
    std::snprintf(text, sizeof text, mb > 10 ? "%.1f" : mb >= 1 ? "%.2f" : "%.3f", mb);
    return text;
}

std::string SpaceQuestionText(const std::string& sFolder, double nNeeded, double nFree,
                              bool bAlwaysNotice,
                              const std::function<std::string(const std::string&)>& lookup) {
    std::string text = bAlwaysNotice ? lookup("s2") : "";
    if (nNeeded >= nFree)
        text = lookup("s3");
    if (text.empty())
        return text;
    // A POSIX folder has no drive letter: the folder itself names the place.
    std::string drive = sFolder.empty()                ? ""
                        : plat::kPathSeparator == '\\' ? UpperCase(sFolder.substr(0, 1)) + ":"
                                                       : sFolder;
    text += lookup("s4") + lookup("s5") + lookup("s6");
    text = ReplaceAll(text, "<DRIVE>", drive);
    text = ReplaceAll(text, "<SPACE_REQ>", MbText(nNeeded));
    return ReplaceAll(text, "<SPACE_AVAIL>", MbText(nFree));
}

std::string DownloadQuestionText(const std::string& sText, std::int64_t nSize) {
    return ReplaceAll(sText, "<SIZE>", MbText(static_cast<double>(nSize)));
}

std::string RemoveSwitch(const std::string& sText, const std::string& sSwitch) {
    std::string text = sText;
    for (std::size_t at; (at = PosCi(sSwitch, text)) > 0;) {
        std::size_t from = at - 1;
        std::size_t to = from + sSwitch.size();
        if (to < text.size() && text[to] == '"') {
            std::size_t close = text.find('"', to + 1);
            to = close == std::string::npos ? text.size() : close + 1;
        } else {
            while (to < text.size() && !(std::isspace(static_cast<unsigned char>(text[to])) &&
                                         to + 1 < text.size() && text[to + 1] == '/'))
                ++to;
        }
        // The blank before the switch goes with it.
        while (from > 0 && text[from - 1] == ' ')
            --from;
        text.erase(from, to - from);
    }
    return text;
}

std::string MainCommandLine(const MainCommand& command) {
    std::string arguments = command.sArguments;
    std::size_t star = command.sEntry.find('*');
    if (star != std::string::npos) {
        std::string params = Trim(command.sEntry.substr(star + 1));
        if (!params.empty())
            arguments = Trim(arguments + " " + params);
    }
    arguments = RemoveSwitch(RemoveSwitch(arguments, "/SpanCdLvl="), "/SpanDiskFName1=");
    arguments = Trim(arguments);
    std::string line = "\"" + InFolder(command.sFolder, MainProgramName(command.sEntry)) + "\"";
    if (!arguments.empty())
        line += " " + arguments;
    line += " /TH_ID=" + command.sThreadTag;
    if (PosCi("/OriginExe=", arguments) == 0)
        line += " /OriginExe=\"" + command.sProgramPath + "\"";
    if (command.bAgent)
        line += " /AutoUpdateProg";
    return line;
}

namespace {

bool ReadBytes(const std::string& sPath, std::uint64_t nCount, std::string& data) {
    std::ifstream in(sPath, std::ios::binary);
    if (!in)
        return false;
    data.resize(static_cast<std::size_t>(nCount));
    in.read(&data[0], static_cast<std::streamsize>(nCount));
    data.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

bool WriteCopy(const std::string& sTarget, const std::string& data, const std::string& sTimeOf) {
    OutputFile out;
    bool ok = out.Open(sTarget, false, true) && out.Write(data.data(), data.size());
    ok = out.Close() && ok;
    if (ok)
        CopyModificationTime(sTimeOf, sTarget);
    return ok;
}

} // namespace

bool WriteAgentCopyFromPackage(const std::string& sPackage, std::uint64_t nImageAndTexts,
                               const std::string& sTarget) {
    ContainerTrailer trailer = ReadContainerTrailer(sPackage);
    std::string data;
    // Text-record lengths come from the file: they must lie inside it.
    if (!trailer.MagicOk() || nImageAndTexts == 0 || nImageAndTexts > trailer.nFileSize ||
        !ReadBytes(sPackage, nImageAndTexts, data) || data.size() != nImageAndTexts)
        return false;
    // The copy ends with its own trailer: no end pointer, no signature.
    if (trailer.bPeImage && data.size() >= END_POINTER_LOW + 4) {
        PutU32(reinterpret_cast<unsigned char*>(&data[END_POINTER_HIGH]), 0);
        PutU32(reinterpret_cast<unsigned char*>(&data[END_POINTER_LOW]), 0);
    }
    trailer.bytes[TR_IS_AGENT] = 1;
    // The package's sum does not describe the copy's bytes.
    PutU32(&trailer.bytes[TR_CHECKSUM], CHECKSUM_NONE);
    PutU32(&trailer.bytes[TR_LENGTH], TRAILER_SIZE);
    data.append(reinterpret_cast<const char*>(trailer.bytes.data()), TRAILER_SIZE);
    return WriteCopy(sTarget, data, sPackage);
}

bool WriteAgentCopyFromProgram(const std::string& sProgram, const std::string& sTarget) {
    ContainerTrailer trailer = ReadContainerTrailer(sProgram);
    std::string data;
    if (!trailer.MagicOk() || !ReadBytes(sProgram, trailer.nFileSize, data))
        return false;
    std::uint64_t end = trailer.ContainerEnd();
    if (end < TRAILER_SIZE || end > data.size())
        return false;
    if (end < data.size() && data.size() - end < 10000)
        data.resize(static_cast<std::size_t>(end));
    data[static_cast<std::size_t>(end - 5)] = 1;
    return WriteCopy(sTarget, data, sProgram);
}

} // namespace container
