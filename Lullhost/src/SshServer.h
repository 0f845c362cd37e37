// The ESXi host and its virtual machines as objects that talk through one SSH
// session and are kept in the VM list file.
#ifndef LULLHOST_SSH_SERVER_H
#define LULLHOST_SSH_SERVER_H

#include "SshCodes.h"
#include "XmlObjectList.h"

#include <vector>

namespace Ssh {
class SshSession;
}

namespace SshSrv {

class CliParser;

// Every operation answers 2 here: this kind of server does not support it.
class SshServer : public Env::XmlObject {
    ENV_XML_OBJECT(SshServer, Env::XmlObject)
    ENV_XML_ATTR(Env::String, Status, "")

public:
    SshServer() = default;
    SshServer(Ssh::SshSession* session, CliParser* parser, const Env::String& name);
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;
    ~SshServer() override = default;

    virtual SshCodes Login();
    virtual SshCodes Suspend();
    virtual SshCodes Reboot();
    virtual SshCodes PowerOn();
    virtual SshCodes IsPoweredOn();
    virtual SshCodes PowerOff();
    virtual SshCodes UpdateStatus();
    // Called by the parser for every VM line of the host's listing.
    virtual SshCodes AddChild(Env::String& id, Env::String& name);

    void SetSession(Ssh::SshSession* session) { m_pSshSession = session; }
    void SetParser(CliParser* parser) { m_pParser = parser; }

protected:
    CliParser* m_pParser = nullptr;           // not owned
    Ssh::SshSession* m_pSshSession = nullptr; // not owned
};

class VirtualMachineServer : public SshServer {
    ENV_XML_OBJECT(VirtualMachineServer, SshServer)
    ENV_XML_ATTR(Env::String, Id, "")
    // "" (not marked), "to reboot" or "rebooted".
    ENV_XML_ATTR(Env::String, RebootStatus, "")
    // Seconds without output that a suspend or power command may take.
    ENV_XML_ATTR(int, Timeout, 300)

public:
    VirtualMachineServer() = default;
    VirtualMachineServer(Ssh::SshSession* session, CliParser* parser);
    VirtualMachineServer(Ssh::SshSession* session, CliParser* parser, const Env::String& id,
                         const Env::String& name);

    SshCodes Suspend() override;
    SshCodes Reboot() override;
    SshCodes PowerOn() override;
    SshCodes IsPoweredOn() override;
    SshCodes PowerOff() override;
    SshCodes UpdateStatus() override;

private:
    struct PowerCommand;
    SshCodes RunPowerCommand(const PowerCommand& pc, const Env::String& text);
    // false (and traced) for an id that must never reach a command line.
    bool CheckId(const char* tag) const;
};

class ESXiServer : public SshServer {
    ENV_XML_OBJECT(ESXiServer, SshServer)
    ENV_XML_ATTR(Env::String, Host, "")
    ENV_XML_ATTR(Env::String, User, "")
    ENV_XML_ATTR(Env::String, Password, "")
    ENV_XML_CHILD(Env::XmlObjectList, VMs)
    ENV_XML_ATTR(int, Timeout, 300)
    ENV_XML_ATTR(bool, MaintenanceMode, false)
    // Set once suspend_vms has suspended the VMs and entered maintenance mode.
    ENV_XML_ATTR(bool, Reboot, false)

public:
    // Both create the parser and the session, which the host owns.
    ESXiServer();
    ESXiServer(const Env::String& host, const Env::String& user, const Env::String& password);
    ~ESXiServer() override;

    // Hands the host's session and parser to the VMs read from the file.
    bool FromXml(const Env::XmlNode* node) override;

    SshCodes AddChild(Env::String& id, Env::String& name) override;

    SshCodes Init();
    // See Ssh::SshSession::SetFast.
    void SetFast(bool fast);
    // Suspends (and, in Reboot, powers on) up to n VMs at once, each over a login of its own;
    // 1 goes through them one after the other over the host's session.
    void SetParallel(int n) { m_nParallel = n; }
    SshCodes Login() override;
    SshCodes GetAllVms();
    SshCodes GetMaintenance();
    SshCodes EnterMaintenance();
    SshCodes ExitMaintenance();
    SshCodes Suspend() override;
    SshCodes Reboot() override;
    SshCodes IsPoweredOn() override;

    // True once the host's VM listing has been read in this run: only then does the object know
    // more than an earlier list file.
    bool HasListing() const { return m_bListed; }
    // Takes over the record of an earlier suspend_vms (its list file) where it still holds: a VM
    // marked "to reboot" there that is still suspended (or whose state this run did not read)
    // keeps its mark, and "reboot" stays set
    // while the host is still in maintenance mode, so that reboot_vms still resumes them.
    void CarryOverMarks(const ESXiServer& earlier);

private:
    SshCodes ChangeMaintenance(bool enter);
    // Runs step on every VM of vms, up to m_nParallel at once. Like the sequential run it hands
    // out no further VM once one has failed, and answers the failure of the first VM in the
    // list that failed.
    SshCodes RunInParallel(const std::vector<VirtualMachineServer*>& vms,
                           SshCodes (VirtualMachineServer::*step)());

    bool m_bListed = false;
    bool m_bFast = false;
    int m_nParallel = 1;
};

} // namespace SshSrv

#endif
