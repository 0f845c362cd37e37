// libFuzzer target: any bytes as a package file, read with every query, and
// as a language block.
#include "BlockReader.h"
#include "LanguageTable.h"
#include "TGFileInfo.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string ScratchPath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("container-fuzz-" + std::to_string(getpid())))
            .string();
    return path;
}

void WalkBlocks(const container::TGFileInfo& info, const std::string& path) {
    container::BlockReader reader;
    if (!reader.Open(path, info.ImageOffset(), info.ContainerEnd()))
        return;
    char buffer[4096];
    for (int blocks = 0; blocks < 64 && reader.HasBlock(); ++blocks) {
        std::int32_t length = 0;
        if (!reader.NextBlock(length))
            break;
        container::BlockDecoder decoder(length > 0);
        bool ok = true;
        for (std::size_t got; ok && (got = reader.Read(buffer, sizeof buffer)) > 0;)
            ok = decoder.Feed(buffer, got, [](const char*, std::size_t) {});
        decoder.Finish();
        container::ParseStreamHead(decoder.Head());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string& path = ScratchPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    container::TGFileInfo info(path);
    for (int i = 0; i < 5; ++i) {
        info.HeaderItem(i);
        info.DownloadItem(i);
    }
    info.SettingsBaseName();
    info.DownloadSize();
    info.PackageToken();
    info.SameDownloadToken(info);
    for (int k = 0; k < container::SPACE_ENTRIES; ++k)
        info.SpaceEntry(k);
    container::ContainerChecksum(path, info.TrailerLength());
    WalkBlocks(info, path);

    container::UnscrambleToken(bytes);
    language::LanguageNames(bytes);
    std::string item = language::SelectLanguage(bytes, "ENGLISH");
    language::LookupKey(item, "s1", "d");
    language::LookupKey(item, bytes.substr(0, 8), "d");
    return 0;
}
