#include "SshServer.h"

#include "ESXiCliParser.h"
#include "SshSession.h"
#include "ssh_io.h"
#include "zeb-tools-trace.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace SshSrv {

ENV_XML_STRUCTURE_BEGIN(SshServer)
ENV_XML_REGISTER_ATTR(Name)
ENV_XML_REGISTER_ATTR(Status)
ENV_XML_STRUCTURE_END

ENV_XML_STRUCTURE_BEGIN(VirtualMachineServer)
ENV_XML_REGISTER_ATTR(Id)
ENV_XML_REGISTER_ATTR(RebootStatus)
ENV_XML_REGISTER_ATTR(Timeout)
ENV_XML_STRUCTURE_END

// User, password and the host's timeout stay out of the file.
ENV_XML_STRUCTURE_BEGIN(ESXiServer)
ENV_XML_REGISTER_ATTR(Host)
ENV_XML_REGISTER_ATTR(MaintenanceMode)
ENV_XML_REGISTER_ATTR(Reboot)
ENV_XML_REGISTER_CHILD(VMs)
ENV_XML_STRUCTURE_END

namespace {

const char* const POWERED_ON = "Powered on";
const char* const POWERED_OFF = "Powered off";
const char* const SUSPENDED = "Suspended";
const char* const TO_REBOOT = "to reboot";
const char* const REBOOTED = "rebooted";

// Session response timeout outside a VM's suspend and power commands.
const int DEFAULT_RESPONSE_TIMEOUT = 1000;

// One login of a parallel run and the VMs it works through.
struct Worker {
    std::unique_ptr<Ssh::SshSession> session;
    std::unique_ptr<ESXiCliParser> parser;
    SshCodes code = SSH_SUCCESS;
    struct Shared* shared = nullptr;
};

struct Shared {
    const std::vector<VirtualMachineServer*>* vms;
    SshCodes (VirtualMachineServer::*step)();
    std::vector<SshCodes> results;
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    Ssh::SshSession* hostSession;
    CliParser* hostParser;
};

void run_worker(void* arg) {
    const char* tag = ZEB_TRACE_TAG("SshSrv::ESXiServer", "RunInParallel");
    Worker& w = *static_cast<Worker*>(arg);
    Shared& s = *w.shared;
    if (w.code == SSH_SUCCESS) {
        // The client answers the host-key question and the password while the first output
        // comes in; after that the shell is ready.
        char* pResponse = nullptr;
        w.code = w.session->GetResponse(&pResponse);
        if (w.code == SSH_SUCCESS)
            w.session->SetState(EXEC_REMOTE);
    }
    if (w.code != SSH_SUCCESS) {
        ZebTrace(TRACE_DEBUG, tag, "login failed, error code - %d\n", static_cast<int>(w.code));
        s.stop = true;
    }
    while (!s.stop) {
        const size_t i = s.next++;
        if (i >= s.vms->size())
            break;
        VirtualMachineServer* vm = (*s.vms)[i];
        vm->SetSession(w.session.get());
        vm->SetParser(w.parser.get());
        s.results[i] = (vm->*s.step)();
        vm->SetSession(s.hostSession);
        vm->SetParser(s.hostParser);
        // As in the sequential run, no further VM is started after a failure.
        if (s.results[i] != SSH_SUCCESS)
            s.stop = true;
    }
    // Ended here, so that all clients end at the same time.
    w.session->EndInput();
    w.session->CloseSession();
}

// Traces a failed step with the literal text of the call; passes the code on.
SshCodes failed(const char* tag, const char* call, SshCodes code) {
    ZebTrace(TRACE_DEBUG, tag, "%s failed, error code - %d\n", call, static_cast<int>(code));
    return code;
}

} // namespace

// ------------------------------------------------------------------ SshServer

SshServer::SshServer(Ssh::SshSession* session, CliParser* parser, const Env::String& name)
    : m_pParser(parser), m_pSshSession(session) {
    SetName(name);
}

SshCodes SshServer::Login() {
    return SSH_INTERNAL_ERR;
}
SshCodes SshServer::Suspend() {
    return SSH_INTERNAL_ERR;
}
SshCodes SshServer::Reboot() {
    return SSH_INTERNAL_ERR;
}
SshCodes SshServer::PowerOn() {
    return SSH_INTERNAL_ERR;
}
SshCodes SshServer::IsPoweredOn() {
    return SSH_INTERNAL_ERR;
}
SshCodes SshServer::PowerOff() {
    return SSH_INTERNAL_ERR;
}
SshCodes SshServer::UpdateStatus() {
    return SSH_INTERNAL_ERR;
}
SshCodes SshServer::AddChild(Env::String&, Env::String&) {
    return SSH_INTERNAL_ERR;
}

// ------------------------------------------------------- VirtualMachineServer

VirtualMachineServer::VirtualMachineServer(Ssh::SshSession* session, CliParser* parser)
    : SshServer(session, parser, Env::String()) {}

VirtualMachineServer::VirtualMachineServer(Ssh::SshSession* session, CliParser* parser,
                                           const Env::String& id, const Env::String& name)
    : SshServer(session, parser, name) {
    SetId(id);
}

SshCodes VirtualMachineServer::UpdateStatus() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::VirtualMachineServer", "UpdateStatus");
    try {
        if (!CheckId(tag))
            return SSH_INTERNAL_ERR;
        char* pResponse = nullptr;
        SshCodes code = m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_GET_VMSTATUS, GetId()));
        if (code != SSH_SUCCESS)
            return failed(
                tag, "m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_GET_VMSTATUS, GetId()))",
                code);
        code = m_pSshSession->GetResponse(&pResponse);
        if (code != SSH_SUCCESS)
            return failed(tag, "m_pSshSession->GetResponse(&pResponse)", code);
        code = m_pParser->Parse(pResponse, ESXiCommand::ESX_CMD_GET_VMSTATUS, this);
        if (code != SSH_SUCCESS)
            return failed(
                tag, "m_pParser->Parse(pResponse, ESXiCommand::ESX_CMD_GET_VMSTATUS, this)", code);
        return SSH_SUCCESS;
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "VirtualMachineServer::UpdateStatus error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

// The texts of one suspend or power command: what it sends, how its failure
// lines read, which state it must end in, and what it traces.
struct VirtualMachineServer::PowerCommand {
    const char* tag;
    int command;
    const char* sendCall;
    const char* parseCall;
    const char* startTrace;
    const char* endState;
    const char* successTrace;
    const char* failureTrace;
    // The mark set as soon as the command has been sent (the host may complete it even when the
    // connection drops afterwards); null for none.
    const char* markWhenSent;
};

bool VirtualMachineServer::CheckId(const char* tag) const {
    if (is_vm_id(GetId()))
        return true;
    ZebTrace(TRACE_ERROR, tag, "damaged VM id '%s' (VM %s): no command sent\n", GetId().c_str(),
             GetName().c_str());
    return false;
}

SshCodes VirtualMachineServer::RunPowerCommand(const PowerCommand& pc, const Env::String& text) {
    const char* tag = pc.tag;
    if (!CheckId(tag))
        return SSH_INTERNAL_ERR;
    ZebTrace(TRACE_DEBUG, tag, pc.startTrace, GetId().c_str(), GetName().c_str(),
             GetStatus().c_str());
    m_pSshSession->SetTimeout(GetTimeout());

    char* pResponse = nullptr;
    SshCodes code = m_pSshSession->SendCommand(text);
    if (code != SSH_SUCCESS)
        return failed(tag, pc.sendCall, code);
    const Env::String markBefore = GetRebootStatus();
    if (pc.markWhenSent != nullptr)
        SetRebootStatus(pc.markWhenSent);
    code = m_pSshSession->GetResponse(&pResponse);
    if (code != SSH_SUCCESS)
        return failed(tag, "m_pSshSession->GetResponse(&pResponse)", code);
    code = m_pParser->Parse(pResponse, pc.command, this);
    if (code == SSH_PARSER_IN_PROGRESS) {
        // The host printed its progress line before the command completed:
        // the second answer must carry the prompt.
        code = m_pSshSession->GetResponse(&pResponse);
        if (code != SSH_SUCCESS)
            return failed(tag, "m_pSshSession->GetResponse(&pResponse)", code);
        code = m_pParser->Parse(pResponse, pc.command, this);
    }
    if (code != SSH_SUCCESS)
        return failed(tag, pc.parseCall, code);
    m_pSshSession->SetTimeout(DEFAULT_RESPONSE_TIMEOUT);

    code = UpdateStatus();
    if (code != SSH_SUCCESS)
        return failed(tag, "UpdateStatus()", code);
    if (GetStatus() != pc.endState) {
        // The host says the command did not take effect: the mark would be wrong.
        if (pc.markWhenSent != nullptr)
            SetRebootStatus(markBefore);
        ZebTrace(TRACE_DEBUG, tag, pc.failureTrace, GetId().c_str(), GetName().c_str());
        return SSH_CLI_CMD_FAILED_ERR;
    }
    ZebTrace(TRACE_DEBUG, tag, pc.successTrace, GetId().c_str(), GetName().c_str());
    return SSH_SUCCESS;
}

SshCodes VirtualMachineServer::Suspend() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::VirtualMachineServer", "Suspend");
    try {
        if (GetStatus() != POWERED_ON)
            return SSH_SUCCESS;
        const PowerCommand pc = {
            tag,
            ESXiCommand::ESX_CMD_SUSPEND_VM,
            "m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_SUSPEND_VM, GetId()))",
            "m_pParser->Parse(pResponse, ESXiCommand::ESX_CMD_SUSPEND_VM, this)",
            "suspend VM, id: %s, name: %s, status: %s\n",
            SUSPENDED,
            "virtual machine %s %s suspended successfully\n",
            "failed to suspend virtual machine %s %s\n",
            TO_REBOOT};
        return RunPowerCommand(pc, GET_ESXI_COMMAND(ESX_CMD_SUSPEND_VM, GetId()));
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "VirtualMachineServer::Suspend error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

SshCodes VirtualMachineServer::PowerOn() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::VirtualMachineServer", "PowerOn");
    try {
        const PowerCommand pc = {
            tag,
            ESXiCommand::ESX_CMD_POWERON_VM,
            "m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_POWERON_VM, GetId()))",
            "m_pParser->Parse(pResponse, ESXiCommand::ESX_CMD_POWERON_VM, this)",
            "power on VM, id: %s, name: %s, status: %s\n",
            POWERED_ON,
            "virtual machine %s %s powered on successfully\n",
            "failed to power on virtual machine %s %s\n",
            nullptr};
        return RunPowerCommand(pc, GET_ESXI_COMMAND(ESX_CMD_POWERON_VM, GetId()));
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "VirtualMachineServer::PowerOn error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

SshCodes VirtualMachineServer::PowerOff() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::VirtualMachineServer", "PowerOff");
    try {
        const PowerCommand pc = {
            tag,
            ESXiCommand::ESX_CMD_POWEROFF_VM,
            "m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_POWEROFF_VM, GetId()))",
            "m_pParser->Parse(pResponse, ESXiCommand::ESX_CMD_POWEROFF_VM, this)",
            "power off VM, id: %s, name: %s, status: %s\n",
            POWERED_OFF,
            "virtual machine %s %s powered off successfully\n",
            "failed to power off virtual machine %s %s\n",
            nullptr};
        return RunPowerCommand(pc, GET_ESXI_COMMAND(ESX_CMD_POWEROFF_VM, GetId()));
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "VirtualMachineServer::PowerOff error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

SshCodes VirtualMachineServer::Reboot() {
    if (GetRebootStatus() != TO_REBOOT)
        return SSH_SUCCESS;
    SshCodes code = PowerOn();
    if (code != SSH_SUCCESS)
        return failed(ZEB_TRACE_TAG("SshSrv::VirtualMachineServer", "Reboot"), "PowerOn()", code);
    SetRebootStatus(REBOOTED);
    return SSH_SUCCESS;
}

SshCodes VirtualMachineServer::IsPoweredOn() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::VirtualMachineServer", "IsPoweredOn");
    try {
        SshCodes code = UpdateStatus();
        if (code != SSH_SUCCESS)
            return failed(tag, "UpdateStatus()", code);
        return GetStatus() == POWERED_ON ? SSH_SUCCESS : SSH_VERIFY_ERR;
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "VirtualMachineServer::IsPoweredOn error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

// ----------------------------------------------------------------- ESXiServer

ESXiServer::ESXiServer() {
    try {
        m_pParser = new ESXiCliParser();
        m_pSshSession = new Ssh::SshSession();
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiServer", "ESXiServer"),
                 "ESXiServer error catched\n");
    }
}

ESXiServer::ESXiServer(const Env::String& host, const Env::String& user,
                       const Env::String& password) {
    try {
        SetHost(host);
        SetUser(user);
        SetPassword(password);
        m_pParser = new ESXiCliParser();
        m_pSshSession = new Ssh::SshSession();
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiServer", "ESXiServer"),
                 "ESXiServer::ESXiServer error catched\n");
    }
}

ESXiServer::~ESXiServer() {
    try {
        delete m_pParser;
        m_pParser = nullptr;
        delete m_pSshSession;
        m_pSshSession = nullptr;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiServer", "~ESXiServer"),
                 "ESXiServer::~ESXiServer error catched\n");
    }
}

bool ESXiServer::FromXml(const Env::XmlNode* node) {
    // Another XML file is no list file: reading it would give an empty host that is then saved
    // over it.
    if (node == nullptr || !node->Name().Equal(XmlTag(), false)) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiServer", "FromXml"),
                 "the file is not a VM list file (root element '%s')\n",
                 node ? node->Name().c_str() : "");
        return false;
    }
    bool result = Env::XmlObject::FromXml(node);
    const int defaultTimeout = VirtualMachineServer().GetTimeout();
    for (Env::XmlObject* obj : GetVMs()) {
        auto* vm = dynamic_cast<VirtualMachineServer*>(obj);
        if (vm == nullptr)
            continue;
        vm->SetSession(m_pSshSession);
        vm->SetParser(m_pParser);
        // A timeout of 0 or less would abandon every command at once while the host completes it.
        if (vm->GetTimeout() <= 0)
            vm->SetTimeout(defaultTimeout);
    }
    return result;
}

void ESXiServer::CarryOverMarks(const ESXiServer& earlier) {
    bool carried = false;
    for (Env::XmlObject* obj : GetVMs()) {
        auto* vm = dynamic_cast<VirtualMachineServer*>(obj);
        // A VM whose state this run did not get to read (an interrupted run) keeps its mark too.
        const bool maybeSuspended =
            vm != nullptr && (vm->GetStatus() == SUSPENDED || vm->GetStatus().empty());
        if (!maybeSuspended || vm->GetRebootStatus() == TO_REBOOT)
            continue;
        for (const Env::XmlObject* old : earlier.GetVMs()) {
            auto* oldVm = dynamic_cast<const VirtualMachineServer*>(old);
            if (oldVm != nullptr && oldVm->GetId() == vm->GetId() &&
                oldVm->GetRebootStatus() == TO_REBOOT) {
                vm->SetRebootStatus(TO_REBOOT);
                carried = true;
                break;
            }
        }
    }
    if (earlier.GetReboot() && GetMaintenanceMode())
        SetReboot(true);
    if (carried)
        ZebTrace(TRACE_DEBUG, ZEB_TRACE_TAG("SshSrv::ESXiServer", "CarryOverMarks"),
                 "marks of VMs still suspended taken over from the earlier list file\n");
}

SshCodes ESXiServer::AddChild(Env::String& id, Env::String& name) {
    try {
        ZebTrace(TRACE_DEBUG, ZEB_TRACE_TAG("SshSrv::ESXiServer", "AddChild"),
                 "add child server, id: %s, name: %s\n", id.c_str(), name.c_str());
        auto* vm = new VirtualMachineServer(m_pSshSession, m_pParser, id, name);
        vm->SetTimeout(GetTimeout());
        GetVMs().push_back(vm);
        return SSH_SUCCESS;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiServer", "AddChild"),
                 "ESXiServer::AddVirtualMachine error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

void ESXiServer::SetFast(bool fast) {
    m_bFast = fast;
    if (m_pSshSession != nullptr)
        m_pSshSession->SetFast(fast);
}

SshCodes ESXiServer::Init() {
    SshCodes code = SSH_SUCCESS;
    try {
        // A host object whose constructor could not create its helpers cannot run.
        if (m_pSshSession == nullptr || m_pParser == nullptr)
            return SSH_INTERNAL_ERR;
        code = m_pSshSession->Init();
        if (code != SSH_SUCCESS)
            return code;
        code = m_pSshSession->RunSshClient(GetHost().c_str(), GetUser().c_str(),
                                           GetPassword().c_str());
        return code;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiServer", "Init"),
                 "ESXiServer::Init error catched\n");
        return m_pSshSession ? m_pSshSession->StateToSshcode(code) : SSH_INTERNAL_ERR;
    }
}

SshCodes ESXiServer::Login() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::ESXiServer", "Login");
    SshCodes code = SSH_SUCCESS;
    try {
        char* pResponse = nullptr;
        // The session answers the host-key question and the password prompt
        // while it collects the first output; the text itself tells nothing.
        code = m_pSshSession->GetResponse(&pResponse);
        if (code != SSH_SUCCESS)
            return failed(tag, "m_pSshSession->GetResponse(&pResponse)", code);
        m_pSshSession->SetState(EXEC_REMOTE);

        code = m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_SHOW_COMMANDS));
        if (code != SSH_SUCCESS)
            return failed(
                tag, "m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_SHOW_COMMANDS))", code);
        code = m_pSshSession->GetResponse(&pResponse);
        if (code != SSH_SUCCESS)
            return failed(tag, "m_pSshSession->GetResponse(&pResponse)", code);
        code = m_pParser->Parse(pResponse, ESXiCommand::ESX_CMD_SHOW_COMMANDS, this);
        if (code != SSH_SUCCESS)
            return failed(
                tag, "m_pParser->Parse(pResponse, ESXiCommand::ESX_CMD_SHOW_COMMANDS, this)", code);

        code = GetMaintenance();
        if (code != SSH_SUCCESS)
            return failed(tag, "GetMaintenance()", code);
        return SSH_SUCCESS;
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "ESXiServer::Login error catched\n");
        return m_pSshSession ? m_pSshSession->StateToSshcode(code) : SSH_INTERNAL_ERR;
    }
}

SshCodes ESXiServer::GetAllVms() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::ESXiServer", "GetAllVms");
    try {
        ZebTrace(TRACE_DEBUG, tag, "get all virtual machines\n");
        char* pResponse = nullptr;
        SshCodes code = m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_GET_ALLVMS));
        if (code != SSH_SUCCESS)
            return failed(tag, "m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_GET_ALLVMS))",
                          code);
        code = m_pSshSession->GetResponse(&pResponse);
        if (code != SSH_SUCCESS)
            return failed(tag, "m_pSshSession->GetResponse(&pResponse)", code);
        code = m_pParser->Parse(pResponse, ESXiCommand::ESX_CMD_GET_ALLVMS, this);
        if (code != SSH_SUCCESS)
            return failed(tag, "m_pParser->Parse(pResponse, ESXiCommand::ESX_CMD_GET_ALLVMS, this)",
                          code);
        m_bListed = true;
        return SSH_SUCCESS;
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "ESXiServer::GetAllVms error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

SshCodes ESXiServer::GetMaintenance() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::ESXiServer", "GetMaintenance");
    try {
        char* pResponse = nullptr;
        SshCodes code = m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_GET_MAINTENANCE));
        if (code != SSH_SUCCESS)
            return failed(
                tag, "m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_GET_MAINTENANCE))", code);
        code = m_pSshSession->GetResponse(&pResponse);
        if (code != SSH_SUCCESS)
            return failed(tag, "m_pSshSession->GetResponse(&pResponse)", code);
        code = m_pParser->Parse(pResponse, ESXiCommand::ESX_CMD_GET_MAINTENANCE, this);
        if (code == SSH_SUCCESS) {
            SetMaintenanceMode(true);
            return SSH_SUCCESS;
        }
        if (code == SSH_VERIFY_ERR) {
            SetMaintenanceMode(false);
            return SSH_SUCCESS;
        }
        return code;
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "ESXiServer::IsInMaintenanceMode error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

SshCodes ESXiServer::ChangeMaintenance(bool enter) {
    const char* tag = enter ? ZEB_TRACE_TAG("SshSrv::ESXiServer", "EnterMaintenance")
                            : ZEB_TRACE_TAG("SshSrv::ESXiServer", "ExitMaintenance");
    char* pResponse = nullptr;
    SshCodes code = m_pSshSession->SendCommand(enter ? GET_ESXI_COMMAND(ESX_CMD_ENTER_MAINTENANCE)
                                                     : GET_ESXI_COMMAND(ESX_CMD_EXIT_MAINTENANCE));
    if (code != SSH_SUCCESS)
        return failed(
            tag,
            enter ? "m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_ENTER_MAINTENANCE))"
                  : "m_pSshSession->SendCommand(GET_ESXI_COMMAND(ESX_CMD_EXIT_MAINTENANCE))",
            code);
    code = m_pSshSession->GetResponse(&pResponse);
    if (code != SSH_SUCCESS)
        return failed(tag, "m_pSshSession->GetResponse(&pResponse)", code);
    code = GetMaintenance();
    if (code != SSH_SUCCESS)
        return failed(tag, "GetMaintenance()", code);
    return GetMaintenanceMode() == enter ? SSH_SUCCESS : SSH_VERIFY_ERR;
}

SshCodes ESXiServer::EnterMaintenance() {
    try {
        return ChangeMaintenance(true);
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiServer", "EnterMaintenance"),
                 "ESXiServer::EnterMaintenance error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

SshCodes ESXiServer::ExitMaintenance() {
    try {
        return ChangeMaintenance(false);
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::ESXiServer", "ExitMaintenance"),
                 "ESXiServer::ExitMaintenance error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

SshCodes ESXiServer::RunInParallel(const std::vector<VirtualMachineServer*>& vms,
                                   SshCodes (VirtualMachineServer::*step)()) {
    const char* tag = ZEB_TRACE_TAG("SshSrv::ESXiServer", "RunInParallel");
    Shared shared;
    shared.vms = &vms;
    shared.step = step;
    shared.results.assign(vms.size(), SSH_SUCCESS);
    shared.hostSession = m_pSshSession;
    shared.hostParser = m_pParser;
    const size_t count = std::min(vms.size(), static_cast<size_t>(m_nParallel));
    ZebTrace(TRACE_DEBUG, tag, "%u VMs over %u logins\n", static_cast<unsigned>(vms.size()),
             static_cast<unsigned>(count));
    std::vector<Worker> workers(count);
    std::vector<void*> args;
    // One after another: starting a client swaps the tool's standard handles for a moment.
    for (Worker& w : workers) {
        w.shared = &shared;
        w.session.reset(new Ssh::SshSession());
        w.parser.reset(new ESXiCliParser());
        w.session->SetFast(m_bFast);
        w.code = w.session->Init();
        if (w.code == SSH_SUCCESS)
            w.code = w.session->RunSshClient(GetHost().c_str(), GetUser().c_str(),
                                             GetPassword().c_str());
        args.push_back(&w);
    }
    run_threads(run_worker, args.data(), static_cast<int>(args.size()));
    for (SshCodes code : shared.results)
        if (code != SSH_SUCCESS)
            return code;
    for (const Worker& w : workers)
        if (w.code != SSH_SUCCESS)
            return w.code;
    return interrupt_requested() ? SSH_INTERRUPTED : SSH_SUCCESS;
}

SshCodes ESXiServer::Suspend() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::ESXiServer", "Suspend");
    SshCodes code = SSH_SUCCESS;
    try {
        code = Login();
        if (code != SSH_SUCCESS)
            return failed(tag, "Login()", code);
        code = GetAllVms();
        if (code != SSH_SUCCESS)
            return failed(tag, "GetAllVms()", code);
        for (Env::XmlObject* obj : GetVMs()) {
            auto* pVm = dynamic_cast<VirtualMachineServer*>(obj);
            if (pVm == nullptr)
                continue;
            code = pVm->UpdateStatus();
            if (code != SSH_SUCCESS)
                return failed(tag, "pVm->UpdateStatus()", code);
        }
        if (!GetMaintenanceMode() && m_nParallel > 1) {
            std::vector<VirtualMachineServer*> running;
            for (Env::XmlObject* obj : GetVMs()) {
                auto* pVm = dynamic_cast<VirtualMachineServer*>(obj);
                if (pVm != nullptr && pVm->GetStatus() == POWERED_ON)
                    running.push_back(pVm);
            }
            code = RunInParallel(running, &VirtualMachineServer::Suspend);
            if (code != SSH_SUCCESS)
                return failed(tag, "RunInParallel(running, &VirtualMachineServer::Suspend)", code);
            code = EnterMaintenance();
            if (code != SSH_SUCCESS)
                return failed(tag, "EnterMaintenance()", code);
            SetReboot(true);
        } else if (!GetMaintenanceMode()) {
            for (Env::XmlObject* obj : GetVMs()) {
                auto* pVm = dynamic_cast<VirtualMachineServer*>(obj);
                if (pVm == nullptr)
                    continue;
                code = pVm->Suspend();
                if (code != SSH_SUCCESS)
                    return failed(tag, "pVm->Suspend()", code);
            }
            code = EnterMaintenance();
            if (code != SSH_SUCCESS)
                return failed(tag, "EnterMaintenance()", code);
            SetReboot(true);
        }
        ZebTrace(TRACE_DEBUG, tag, "suspend finished successfully\n");
        return SSH_SUCCESS;
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "ESXiServer::Suspend error catched\n");
        return m_pSshSession ? m_pSshSession->StateToSshcode(code) : SSH_INTERNAL_ERR;
    }
}

SshCodes ESXiServer::Reboot() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::ESXiServer", "Reboot");
    SshCodes code = SSH_SUCCESS;
    try {
        code = Login();
        if (code != SSH_SUCCESS)
            return failed(tag, "Login()", code);
        // Maintenance mode is left only where suspend_vms entered it; marked VMs are resumed in
        // any case, also after a suspend_vms that ended early.
        if (GetReboot()) {
            code = ExitMaintenance();
            if (code != SSH_SUCCESS)
                return failed(tag, "ExitMaintenance()", code);
            SetReboot(false);
        }
        SshCodes damaged = SSH_SUCCESS;
        std::vector<VirtualMachineServer*> marked;
        for (Env::XmlObject* obj : GetVMs()) {
            auto* pVm = dynamic_cast<VirtualMachineServer*>(obj);
            if (pVm == nullptr)
                continue;
            // A damaged entry is never sent to the host; the others are still resumed.
            if (pVm->GetRebootStatus() == TO_REBOOT && !is_vm_id(pVm->GetId())) {
                ZebTrace(TRACE_ERROR, tag, "damaged VM id '%s' (VM %s): not resumed\n",
                         pVm->GetId().c_str(), pVm->GetName().c_str());
                damaged = SSH_INTERNAL_ERR;
                continue;
            }
            if (m_nParallel > 1) {
                if (pVm->GetRebootStatus() == TO_REBOOT)
                    marked.push_back(pVm);
                continue;
            }
            code = pVm->Reboot();
            if (code != SSH_SUCCESS)
                return failed(tag, "pVm->Reboot()", code);
        }
        if (!marked.empty()) {
            code = RunInParallel(marked, &VirtualMachineServer::Reboot);
            if (code != SSH_SUCCESS)
                return failed(tag, "RunInParallel(marked, &VirtualMachineServer::Reboot)", code);
        }
        if (damaged != SSH_SUCCESS)
            return damaged;
        ZebTrace(TRACE_DEBUG, tag, "reboot finished successfully\n");
        return SSH_SUCCESS;
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "ESXiServer::Reboot error catched\n");
        return m_pSshSession ? m_pSshSession->StateToSshcode(code) : SSH_INTERNAL_ERR;
    }
}

SshCodes ESXiServer::IsPoweredOn() {
    const char* tag = ZEB_TRACE_TAG("SshSrv::ESXiServer", "IsPoweredOn");
    try {
        SshCodes code = Login();
        if (code != SSH_SUCCESS)
            return failed(tag, "Login()", code);
        code = GetAllVms();
        if (code != SSH_SUCCESS)
            return failed(tag, "GetAllVms()", code);
        if (GetVMs().empty())
            return SSH_SUCCESS;
        for (Env::XmlObject* obj : GetVMs()) {
            auto* pVm = dynamic_cast<VirtualMachineServer*>(obj);
            if (pVm == nullptr)
                continue;
            code = pVm->IsPoweredOn();
            if (code != SSH_VERIFY_ERR)
                return code;
        }
        return SSH_VERIFY_ERR;
    } catch (...) {
        ZebTrace(TRACE_ERROR, tag, "ESXiServer::IsPoweredOn error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

} // namespace SshSrv
