// pe-header-move FILE [OFFSET]: puts the PE headers of FILE at OFFSET (256 by
// default), in place. The last step of a link: strip or objcopy afterwards
// would move them back.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pe_move.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s FILE [OFFSET]\n", argv[0]);
        return 2;
    }
    const std::string file = argv[1];
    const unsigned long offset = argc == 3 ? std::strtoul(argv[2], nullptr, 0) : 256;
    std::vector<std::uint8_t> image;
    {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], file.c_str());
            return 1;
        }
        image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string error;
    if (!pe::MoveHeaders(image, static_cast<std::uint32_t>(offset), error)) {
        std::fprintf(stderr, "%s: %s: %s\n", argv[0], file.c_str(), error.c_str());
        return 1;
    }
    const std::string temp = file + ".pe-move";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()),
                  static_cast<std::streamsize>(image.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], temp.c_str());
            std::remove(temp.c_str());
            return 1;
        }
    }
    if (std::rename(temp.c_str(), file.c_str()) != 0) {
        std::fprintf(stderr, "%s: cannot replace %s\n", argv[0], file.c_str());
        std::remove(temp.c_str());
        return 1;
    }
    return 0;
}
