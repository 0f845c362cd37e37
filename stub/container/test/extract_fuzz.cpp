// libFuzzer target: any bytes as a package file, unpacked into a scratch
// folder that is emptied after every input.
#include "ExtractPackage.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

class QuietServices : public container::ExtractServices {
public:
    void Progress(int, int, int, int) override {}
    void Pump() override {}
    void Wait(std::uint32_t) override {}
    bool ConfirmDisk(const std::string&) override { return false; }
    void ShowError(const std::string&) override {}
    void PrepareNextDisk(const std::string&, bool) override {}
    void Print(const std::string&) override {}
    std::uint64_t Clock() override { return 0; }
};

const std::filesystem::path& Scratch() {
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("extract-fuzz-" + std::to_string(getpid()));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::filesystem::create_directories(Scratch());
    std::string package = (Scratch() / "Package.exe").string();
    {
        std::ofstream out(package, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    QuietServices services;
    container::ExtractRequest request;
    request.sPackage = package;
    request.sFolder = (Scratch() / "out").string();
    request.sAgentName = "Agent.exe";
    container::ExtractResult result = container::ExtractPackage(request, services);
    // Nothing may land beside the folder but the package itself.
    for (const auto& entry : std::filesystem::directory_iterator(Scratch()))
        if (entry.path().filename() != "Package.exe" && entry.path().filename() != "out")
            __builtin_trap();
    if (result.status != container::ExtractStatus::OK && !result.sEntry.empty())
        __builtin_trap();
    std::filesystem::remove_all(Scratch() / "out");
    return 0;
}
