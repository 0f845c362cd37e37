// stubpack: builds installer packages and shows what a package holds.
#include "PackageContents.h"
#include "PackageWriter.h"

#include "LanguageTable.h"
#include "Sha256.h"
#include "TGFileInfo.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

using namespace stubpack;

namespace {

const char kUsage[] =
    "usage:\n"
    "  stubpack build --stub IMAGE -o PACKAGE [options]\n"
    "  stubpack info PACKAGE [--json]\n"
    "\n"
    "build options:\n"
    "  --file PATH            pack a file (repeatable)\n"
    "  --main PATH            pack the main program, started after extraction\n"
    "  --name NAME            name of the file given just before, in the package\n"
    "  --params TEXT          parameter text passed to the main program\n"
    "  --language NAME=FILE   a language: its name and a file of key=value lines\n"
    "  --update-url URL       base URL of the auto-update server\n"
    "  --info-file NAME       update information file\n"
    "  --agent-file NAME      auto-update agent program\n"
    "  --token TEXT           package token (scrambled when written)\n"
    "  --quiet                run the package without windows or questions\n"
    "  --download-url URL     where the real package is fetched from\n"
    "  --download-file NAME   file name of the real package\n"
    "  --download-token TEXT  download token; a launcher and its real package carry the same\n"
    "  --download-size BYTES  size of the real package, shown to the user\n"
    "  --always-download      never use a copy lying beside the program\n"
    "  --ask-download         ask before downloading\n"
    "  --write-agent          leave an auto-update agent copy with the files\n"
    "  --agent                mark the package as an auto-update agent copy\n"
    "  --space-notice         always tell that files go to the temporary drive\n"
    "  --self-copy            first disk restarts from a copy in the temporary folder\n"
    "  --activity-bar         show the activity bar while extracting\n"
    "  --run-log              write the run log (agent copies)\n"
    "  --piece-size BYTES     split into pieces PACKAGE.001, PACKAGE.002, ...\n"
    "  --block-size BYTES     file bytes per compressed block (default 1048576)\n"
    "BYTES may end in k or m (1024, 1048576).\n"
    "Any --download-* option adds a download record. Without --file or --main the package\n"
    "is a launcher that fetches the real package (needs --download-url and --download-file);\n"
    "with files the record only carries the token the launcher checks.\n";

int Usage(const std::string& sError) {
    if (!sError.empty())
        std::cerr << "stubpack: " << sError << "\n";
    std::cerr << kUsage;
    return 2;
}

bool ParseBytes(const std::string& text, std::uint64_t& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    unsigned long long n = std::strtoull(text.c_str(), &end, 10);
    std::string unit(end);
    if (end == text.c_str() || text[0] == '-')
        return false;
    if (unit == "k" || unit == "K")
        n *= 1024;
    else if (unit == "m" || unit == "M")
        n *= 1024 * 1024;
    else if (!unit.empty())
        return false;
    value = n;
    return true;
}

int Build(int argc, char** argv) {
    BuildRequest request;
    std::string output;
    bool haveParams = false;
    std::string params;
    std::vector<std::pair<std::string, std::string>> languageFiles;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        std::uint64_t n = 0;
        if (arg == "--stub") {
            if (!value(request.sImage))
                return Usage("--stub needs a file");
        } else if (arg == "-o" || arg == "--output") {
            if (!value(output))
                return Usage(arg + " needs a file");
        } else if (arg == "--file" || arg == "--main") {
            PackFile file;
            if (!value(file.sSource))
                return Usage(arg + " needs a file");
            file.sName = std::filesystem::path(file.sSource).filename().string();
            file.bMain = arg == "--main";
            request.files.push_back(file);
        } else if (arg == "--name") {
            if (request.files.empty() || !value(request.files.back().sName))
                return Usage("--name follows --file or --main and needs a name");
        } else if (arg == "--params") {
            if (!value(params))
                return Usage("--params needs a text");
            haveParams = true;
        } else if (arg == "--language") {
            if (!value(v) || v.find('=') == std::string::npos)
                return Usage("--language needs NAME=FILE");
            languageFiles.emplace_back(v.substr(0, v.find('=')), v.substr(v.find('=') + 1));
        } else if (arg == "--update-url") {
            if (!value(request.sUpdateUrl))
                return Usage("--update-url needs a URL");
        } else if (arg == "--info-file") {
            if (!value(request.sInfoName))
                return Usage("--info-file needs a name");
        } else if (arg == "--agent-file") {
            if (!value(request.sAgentName))
                return Usage("--agent-file needs a name");
        } else if (arg == "--token") {
            if (!value(request.sPackageToken))
                return Usage("--token needs a text");
        } else if (arg == "--quiet") {
            request.bQuiet = true;
        } else if (arg == "--download-url") {
            if (!value(request.sDownloadUrl))
                return Usage("--download-url needs a URL");
            request.bDownload = true;
        } else if (arg == "--download-file") {
            if (!value(request.sDownloadName))
                return Usage("--download-file needs a name");
            request.bDownload = true;
        } else if (arg == "--download-token") {
            if (!value(request.sDownloadToken))
                return Usage("--download-token needs a text");
            request.bDownload = true;
        } else if (arg == "--download-size") {
            if (!value(v) || !ParseBytes(v, request.nDownloadSize))
                return Usage("--download-size needs a number of bytes");
            request.bDownload = true;
        } else if (arg == "--always-download") {
            request.bAlwaysDownload = true;
        } else if (arg == "--ask-download") {
            request.bAskDownload = true;
        } else if (arg == "--write-agent") {
            request.bWriteAgent = true;
        } else if (arg == "--agent") {
            request.bIsAgent = true;
        } else if (arg == "--space-notice") {
            request.nOptions |= container::OPT_SPACE_NOTICE;
        } else if (arg == "--self-copy") {
            request.nOptions |= container::OPT_SELF_COPY;
        } else if (arg == "--activity-bar") {
            request.nOptions |= container::OPT_ACTIVITY_BAR;
        } else if (arg == "--run-log") {
            request.nOptions |= container::OPT_RUN_LOG;
        } else if (arg == "--piece-size") {
            if (!value(v) || !ParseBytes(v, request.nPieceSize) || request.nPieceSize == 0)
                return Usage("--piece-size needs a number of bytes");
        } else if (arg == "--block-size") {
            if (!value(v) || !ParseBytes(v, n) || n == 0 || n > 0x40000000u)
                return Usage("--block-size needs a number of bytes from 1 to 1g");
            request.nBlockSize = static_cast<std::size_t>(n);
        } else {
            return Usage("unknown option " + arg);
        }
    }
    if (request.sImage.empty() || output.empty())
        return Usage("build needs --stub and -o");
    if (request.bDownload && request.files.empty() &&
        (request.sDownloadUrl.empty() || request.sDownloadName.empty()))
        return Usage("a launcher (no files) needs --download-url and --download-file");
    if (haveParams) {
        bool placed = false;
        for (PackFile& file : request.files)
            if (file.bMain) {
                file.sParams = params;
                placed = true;
            }
        if (!placed)
            return Usage("--params needs --main");
    }
    for (PackFile& file : request.files)
        file.nStamp = FileDosStamp(file.sSource);
    for (const auto& named : languageFiles) {
        PackLanguage language;
        language.sName = named.first;
        std::string error;
        if (!ReadLanguageFile(named.second, language, error)) {
            std::cerr << "stubpack: " << error << "\n";
            return 1;
        }
        if (!language::IsLanguageName(named.first))
            std::cerr << "stubpack: warning: \"" << named.first
                      << "\" is not a language name the installer knows; it is chosen only as the "
                         "package's single language\n";
        request.languages.push_back(language);
    }
    {
        char head[258] = {};
        std::ifstream image(request.sImage, std::ios::binary);
        image.read(head, sizeof head);
        if (image.gcount() >= 2 && head[0] == 'M' && head[1] == 'Z' &&
            !(image.gcount() == sizeof head && head[256] == 'P' && head[257] == 'E'))
            std::cerr << "stubpack: warning: the image's PE header is not at offset 256, so the "
                         "package cannot carry its end pointer: append nothing (no signature) to "
                         "it\n";
    }
    std::vector<std::string> written;
    std::string error;
    if (!BuildPackage(request, output, written, error)) {
        std::cerr << "stubpack: " << error << "\n";
        return 1;
    }
    for (const std::string& path : written)
        std::cout << path << "\n";
    return 0;
}

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            // Texts are in the ANSI code page; shown here as Latin-1.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string TokenJson(const std::string& scrambled) {
    std::string token;
    return container::DecodeToken(scrambled, token) ? Json(token) : "null";
}

std::string StampText(std::uint32_t stamp) {
    if (stamp == 0)
        return "0";
    char text[40];
    std::snprintf(text, sizeof text, "%u (%04u-%02u-%02u %02u:%02u:%02u)", stamp,
                  1980 + (stamp >> 25), (stamp >> 21) & 15, (stamp >> 16) & 31, (stamp >> 11) & 31,
                  (stamp >> 5) & 63, (stamp & 31) * 2);
    return text;
}

int Info(int argc, char** argv) {
    std::string path;
    bool json = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--json")
            json = true;
        else if (path.empty() && !arg.empty() && arg[0] != '-')
            path = arg;
        else
            return Usage("unexpected argument " + arg);
    }
    if (path.empty())
        return Usage("info needs a package");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::cerr << "stubpack: cannot read " << path << "\n";
        return 1;
    }
    container::TGFileInfo info(path);
    if (!info.MagicOk()) {
        std::cerr << "stubpack: " << path << " is not a package\n";
        return 1;
    }
    PackageContents contents;
    bool read = ReadPackageContents(path, contents);
    std::vector<std::string> languages = language::LanguageNames(info.LanguageBlock());
    // The reader moves its copy of this field past the text records.
    std::uint32_t imageSize = container::ReadContainerTrailer(path).U32(container::TR_IMAGE_SIZE);

    // What a publisher enters as SizeOfUpdateFile and Sha256OfUpdateFile.
    std::string digest;
    FileSha256(path, digest);
    const std::uint64_t fileBytes = std::filesystem::file_size(path, ec);

    std::ostringstream out;
    if (json) {
        out << "{\"file_bytes\":" << fileBytes << ",\"sha256\":" << Json(digest)
            << ",\"trailer\":{\"format\":" << info.FormatByte()
            << ",\"text_records\":" << info.TextRecords() << ",\"image_offset\":" << imageSize
            << ",\"file_count\":" << info.FileCount()
            << ",\"magic_ok\":" << (info.MagicOk() ? "true" : "false")
            << ",\"checksum\":" << info.StoredChecksum() << ",\"space\":[";
        for (int k = 0; k < container::SPACE_ENTRIES; ++k)
            out << (k ? "," : "") << info.SpaceEntry(k);
        out << "],\"options\":" << info.Options()
            << ",\"download_mode\":" << (info.DownloadMode() ? "true" : "false")
            << ",\"ask_download\":" << (info.AskDownload() ? "true" : "false")
            << ",\"write_agent\":" << (info.WriteAgent() ? "true" : "false")
            << ",\"is_agent\":" << (info.IsAgent() ? "true" : "false")
            << ",\"length\":" << info.TrailerLength() << "}"
            << ",\"container_end\":" << info.ContainerEnd()
            << ",\"pe_image\":" << (info.IsPeImage() ? "true" : "false") << ",\"header\":[";
        for (int i = 0; i < 5; ++i)
            out << (i ? "," : "") << Json(info.HeaderItem(i));
        out << "],\"download\":[";
        for (int i = 0; i < 5; ++i)
            out << (i ? "," : "") << Json(info.DownloadItem(i));
        out << "],\"package_token\":" << TokenJson(info.HeaderItem(3))
            << ",\"download_token\":" << TokenJson(info.DownloadItem(3)) << ",\"languages\":[";
        for (std::size_t i = 0; i < languages.size(); ++i)
            out << (i ? "," : "") << Json(languages[i]);
        out << "],\"files\":[";
        for (std::size_t i = 0; i < contents.files.size(); ++i) {
            const FileEntry& f = contents.files[i];
            out << (i ? "," : "") << "{\"name\":" << Json(f.sName) << ",\"stamp\":" << f.nStamp
                << ",\"size\":" << f.nSize << ",\"main\":" << (f.bMain ? "true" : "false")
                << ",\"params\":" << Json(f.sParams) << "}";
        }
        out << "],\"pieces\":" << contents.pieces.size()
            << ",\"checksum_ok\":" << (contents.bChecksumOk ? "true" : "false") << "}\n";
    } else {
        auto yes = [](bool b) { return b ? "yes" : "no"; };
        std::string token;
        out << "package         " << path << "\n"
            << "file size       " << fileBytes << " bytes\n"
            << "sha256          " << digest << "\n"
            << "format          " << info.FormatByte() << "\n"
            << "text records    " << info.TextRecords() << "\n"
            << "image size      " << imageSize << "\n"
            << "first block at  " << info.ImageOffset() << "\n"
            << "files           " << info.FileCount() << "\n"
            << "check sum       " << info.StoredChecksum() << " ("
            << (contents.bChecksumOk ? "passes" : "FAILS") << ")\n"
            << "space           ";
        for (int k = 0; k < container::SPACE_ENTRIES; ++k)
            out << (k ? " " : "") << info.SpaceEntry(k);
        out << "\noptions         0x" << std::hex << info.Options() << std::dec
            << "\ndownload mode   " << yes(info.DownloadMode()) << "\nask download    "
            << yes(info.AskDownload()) << "\nwrite agent     " << yes(info.WriteAgent())
            << "\nagent copy      " << yes(info.IsAgent()) << "\ntrailer length  "
            << info.TrailerLength() << "\ncontainer end   " << info.ContainerEnd()
            << (info.IsPeImage() ? " (PE image)" : "") << "\nheader          ";
        for (int i = 0; i < 5; ++i)
            out << "|" << info.HeaderItem(i);
        out << "|\npackage token   "
            << (container::DecodeToken(info.HeaderItem(3), token) ? token : "(damaged)");
        if (!info.DownloadRecord().empty()) {
            out << "\ndownload        ";
            for (int i = 0; i < 5; ++i)
                out << "|" << info.DownloadItem(i);
            out << "|\ndownload token  "
                << (container::DecodeToken(info.DownloadItem(3), token) ? token : "(damaged)");
        }
        out << "\nlanguages      ";
        for (const std::string& name : languages)
            out << " " << name;
        out << "\npieces          " << contents.pieces.size() << "\n";
        for (const FileEntry& f : contents.files) {
            out << "  " << f.sName << "  " << f.nSize << " bytes  stamp " << StampText(f.nStamp);
            if (f.bMain)
                out << "  main program" << (f.sParams.empty() ? "" : ", parameters: " + f.sParams);
            out << "\n";
        }
    }
    std::cout << out.str();
    if (!read) {
        std::cerr << "stubpack: " << contents.sError << "\n";
        return 1;
    }
    return contents.bChecksumOk ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "build")
        return Build(argc, argv);
    if (command == "info")
        return Info(argc, argv);
    if (command == "-h" || command == "--help" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    return Usage(command.empty() ? "" : "unknown command " + command);
}
