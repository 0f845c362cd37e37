// The sample application of the demo package: tells how the package started
// it and what was unpacked beside it, and ends with the exit code given as
// "/exit=N" (0 without). "/report=FILE" writes the same text into FILE too
// (a Windows GUI program's children have no console to print to).
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    int code = 0;
    std::string report;
    std::ostringstream text;
    text << "sample application started with:\n";
    for (int i = 1; i < argc; ++i) {
        text << "  " << argv[i] << "\n";
        if (std::strncmp(argv[i], "/exit=", 6) == 0)
            code = std::atoi(argv[i] + 6);
        if (std::strncmp(argv[i], "/report=", 8) == 0)
            report = argv[i] + 8;
    }
    fs::path folder = fs::absolute(fs::path(argv[0])).parent_path();
    text << "files beside it in " << folder.string() << ":\n";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        text << "  " << entry.path().filename().string() << " (" << entry.file_size(ec)
             << " bytes)\n";
    text << "ending with exit code " << code << "\n";
    std::cout << text.str();
    if (!report.empty())
        std::ofstream(report) << text.str();
    return code;
}
