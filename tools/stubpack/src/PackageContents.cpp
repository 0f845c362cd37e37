#include "PackageContents.h"

#include "BlockReader.h"
#include "TGFileInfo.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>

using namespace container;

namespace stubpack {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

bool ReadPackageContents(const std::string& sPath, PackageContents& contents,
                         const ContentReceiver& receiver) {
    contents = PackageContents();
    TGFileInfo info(sPath);
    if (!info.MagicOk()) {
        contents.sError = sPath + " is not a package";
        return false;
    }
    std::map<std::string, std::size_t> index;
    std::string piece = sPath;
    std::vector<char> buffer(65536);
    for (unsigned number = 1;; ++number) {
        ContainerTrailer trailer = number == 1 ? info.Trailer() : ReadContainerTrailer(piece);
        contents.pieces.push_back(piece);
        if (!ChecksumPasses(trailer.U32(TR_CHECKSUM),
                            ContainerChecksum(piece, trailer.U32(TR_LENGTH))))
            contents.bChecksumOk = false;
        if (!trailer.MagicOk()) {
            contents.sError = piece + " is not a package piece";
            return false;
        }
        BlockReader reader;
        std::uint64_t start = number == 1 ? info.ImageOffset() : trailer.U32(TR_IMAGE_SIZE);
        if (!reader.Open(piece, start, trailer.ContainerEnd())) {
            contents.sError = "cannot read " + piece;
            return false;
        }
        while (reader.HasBlock()) {
            std::int32_t length = 0;
            if (!reader.NextBlock(length))
                break;
            BlockDecoder decoder(length > 0);
            std::string name;
            ContentSink sink;
            if (receiver)
                sink = [&](const char* p, std::size_t n) {
                    if (name.empty())
                        name = ParseStreamHead(decoder.Head()).sName;
                    receiver(name, p, n);
                };
            std::size_t got;
            bool ok = true;
            while (ok && (got = reader.Read(buffer.data(), buffer.size())) > 0)
                ok = decoder.Feed(buffer.data(), got, sink);
            if (!ok || !decoder.Finish()) {
                contents.sError = piece + ": damaged block before offset " +
                                  std::to_string(reader.Position()) + ": " + decoder.Error();
                return false;
            }
            if (decoder.Head().empty())
                continue;
            StreamHead head = ParseStreamHead(decoder.Head());
            auto found = index.find(Lower(head.sName));
            if (found == index.end()) {
                found = index.emplace(Lower(head.sName), contents.files.size()).first;
                FileEntry entry;
                entry.sName = head.sName;
                entry.nStamp = head.nStamp;
                contents.files.push_back(entry);
            }
            FileEntry& entry = contents.files[found->second];
            entry.nSize += decoder.ContentSize();
            if (head.bMain) {
                entry.bMain = true;
                entry.sParams = head.sParams;
            }
        }
        if (!(trailer.bytes[TR_OPTIONS] & OPT_MORE_PIECES))
            return true;
        piece = PieceFileName(sPath, number + 1);
        std::error_code ec;
        if (!std::filesystem::exists(piece, ec)) {
            contents.sError = "the next piece " + piece + " is missing";
            return false;
        }
    }
}

} // namespace stubpack
