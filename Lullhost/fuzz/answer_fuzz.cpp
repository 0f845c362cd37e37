// libFuzzer target: any bytes as the client's output, handed to the session's cue recognition
// and, as the answer of every vim-cmd command, to the ESXi parser with a host and a VM as owner.
#include "ESXiCliParser.h"
#include "SshServer.h"
#include "misc.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* answer = text.c_str();

    session_cue(answer, true);
    session_cue(answer, false);
    ends_with_shell_prompt(answer);

    SshSrv::ESXiCliParser parser;
    SshSrv::ESXiServer host;
    SshSrv::VirtualMachineServer vm(nullptr, &parser, "1", "vm");
    // The commands whose answers are parsed (the maintenance changes are verified by a query).
    for (int command = SshSrv::ESXiCommand::ESX_CMD_FIRST;
         command <= SshSrv::ESXiCommand::ESX_CMD_GET_MAINTENANCE; ++command) {
        parser.Parse(answer, command, &host);
        parser.Parse(answer, command, &vm);
    }
    // Every VM the listing produced must carry an id that is safe to send.
    for (const Env::XmlObject* obj : host.GetVMs()) {
        auto* child = dynamic_cast<const SshSrv::VirtualMachineServer*>(obj);
        if (child != nullptr && !SshSrv::is_vm_id(child->GetId()))
            __builtin_trap();
    }
    return 0;
}
