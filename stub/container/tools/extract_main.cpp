// stub-extract: unpacks a package into a folder the way a package run does,
// without window or boxes, and prints the extraction time. Used by the
// benchmark script.
//   stub-extract PACKAGE FOLDER
#include "ExtractPackage.h"
#include "util/services.h"

#include <iostream>

namespace {

class ConsoleServices : public container::ExtractServices {
public:
    void Progress(int, int, int, int) override {}
    void Pump() override {}
    void Wait(std::uint32_t) override {}
    // Every piece must lie beside the first: nobody is there to insert a disk.
    bool ConfirmDisk(const std::string& sText) override {
        std::cerr << "missing disk: " << sText << "\n";
        return false;
    }
    void ShowError(const std::string& sText) override { std::cerr << sText << "\n"; }
    void PrepareNextDisk(const std::string&, bool) override {}
    void Print(const std::string& sLine) override { std::cout << sLine << "\n"; }
    std::uint64_t Clock() override { return MilliClock(); }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: stub-extract PACKAGE FOLDER\n";
        return 2;
    }
    ConsoleServices services;
    container::ExtractRequest request;
    request.sPackage = argv[1];
    request.sFolder = argv[2];
    container::ExtractResult result = container::ExtractPackage(request, services);
    std::cout << "entry: " << result.sEntry << "\n";
    if (result.status != container::ExtractStatus::OK && !result.sError.empty())
        std::cerr << result.sError << "\n";
    return container::ExitCodeOf(result.status);
}
