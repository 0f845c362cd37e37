// libFuzzer target: any bytes as a VM list file, read into a host object and written back.
#include "SshServer.h"

#include <libxml/xmlerror.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string ScratchPath(const char* suffix) {
    return "/tmp/lullhost-listfile-fuzz-" + std::to_string(getpid()) + suffix;
}

// libxml2's report of every malformed input would drown the fuzzer's own output.
void Quiet(void*, const char*, ...) {}

void RemoveScratch() {
    std::remove(ScratchPath(".xml").c_str());
    std::remove(ScratchPath("-out.xml").c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool once =
        (std::atexit(RemoveScratch), xmlSetGenericErrorFunc(nullptr, Quiet), true);
    (void)once;
    const std::string in = ScratchPath(".xml");
    {
        std::ofstream out(in, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    SshSrv::ESXiServer host("h", "u", "p");
    if (!host.Load(in))
        return 0;
    // What was read must be usable: no timeout that abandons a command at once.
    for (const Env::XmlObject* obj : host.GetVMs()) {
        auto* vm = dynamic_cast<const SshSrv::VirtualMachineServer*>(obj);
        if (vm != nullptr && vm->GetTimeout() <= 0)
            __builtin_trap();
    }
    host.Save(ScratchPath("-out.xml"));
    return 0;
}
