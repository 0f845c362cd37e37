// stub-download: fetches one URL with the installer's download routine and
// prints the error text or the elapsed time (used by scripts/bench-stub.sh).
#include "HttpDownload.h"
#include "Progress.h"

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: stub-download URL TARGET\n");
        return 2;
    }
    // Reports as the main window would get them, without a window.
    TProgBar reporter(
        [](int, std::uintptr_t, std::int64_t, std::int64_t, std::int64_t, const std::string&) {});
    std::string error, content;
    auto start = std::chrono::steady_clock::now();
    bool ok = HTTP_DownloadFile_Incremental(0, argv[1], argv[2], error, &reporter, content);
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    if (!ok) {
        std::fprintf(stderr, "stub-download: %s\n", error.c_str());
        return 1;
    }
    std::printf("%.3f\n", seconds.count());
    return 0;
}
