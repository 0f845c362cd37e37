// A stand-in for an installer and for the product it installs: it appends
// its arguments as one line to a record file ("/record=PATH", else its own
// path + ".txt"), removes the shared atom of the run that started it (as a
// successful installer does), and with "/stay" runs until it is ended.
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>

#include "PackageRun.h"
#include "platform/ipc.h"

int main(int argc, char** argv) {
    std::string record = std::string(argv[0]) + ".txt";
    std::string line;
    bool stay = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        line += (i > 1 ? " " : "") + arg;
        if (arg.rfind("/record=", 0) == 0)
            record = arg.substr(8);
        else if (arg.rfind("/TH_ID=", 0) == 0) {
            const std::uint16_t atom =
                plat::global_find_atom(container::SharedAtomName(arg.substr(7)));
            if (atom != 0)
                plat::global_delete_atom(atom);
        } else if (arg == "/stay")
            stay = true;
    }
    std::ofstream(record, std::ios::app) << line << "\n";
    if (stay) {
        // Bounded: a test that never ends it does not leave it behind for long.
        alarm(60);
        for (;;)
            pause();
    }
    return 0;
}
