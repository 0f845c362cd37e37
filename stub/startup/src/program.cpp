#include "startup/program.h"

#include "startup/agent.h"
#include "startup/exitcodes.h"
#include "startup/runlog.h"
#include "startup/switches.h"
#include "util/text.h"

StubStartup::StubStartup(const StartupFacts& facts, StartupServices& services)
    : m_facts(facts), m_sys(services) {
    RoleInput in;
    in.bAgent = facts.bAgent;
    in.bSelfCopy = facts.bSelfCopy;
    in.nSpanCdLvl = SwitchIntIn(facts.sArgs, "/SpanCdLvl=", 1);
    in.sProgramName = FileNameOf(facts.sProgramPath);
    in.sAgentName = facts.sAgentName;
    m_role = DecideRole(in);
    m_sClass = StartupClassName(facts.bAgent, facts.sProgramPath);
    m_sCopyClass = AgentCopyClassName(facts.sAgentName);
    m_sCopyPath = AgentCopyPath(facts.sProgramPath);
}

int StubStartup::Run() {
    Log("DoRunStubWin() --- Start");
    const bool copyRunning = m_sys.FindWindow(m_sCopyClass) != 0;
    Log("X_ExeIsRunning=" + BoolText(copyRunning));
    Log("ThisIs_Plain_AutoUpdate_Exe=" + BoolText(m_role == StubRole::PlainAgent));
    Log("ThisIs_X_AutoUpdate_Exe=" + BoolText(m_role == StubRole::AgentCopy));

    int code = STUB_EXIT_OK;
    if (m_sys.FindWindow(m_sClass) == 0) {
        switch (m_role) {
        case StubRole::PlainAgent:
            code = CreateAndRunAgentCopy(copyRunning);
            break;
        case StubRole::AgentCopy:
            // The plain agent hands its overrides over on the command line.
            if (!SwitchValueIn(m_facts.sArgs, "/TRANSIENTx=").empty())
                m_sys.SetOverrides(SwitchValueIn(m_facts.sArgs, "/TRANSIENTx="));
            Log("CheckTestMode");
            m_sys.CheckTestMode();
            Log("WinMain");
            if (!m_sys.RunWindow(m_sClass))
                code = STUB_EXIT_NO_WINDOW;
            Log("DeleteMySelf");
            m_sys.DeleteMySelf(false);
            break;
        case StubRole::SpannedFirstDisk:
            code = SpanRestart();
            break;
        case StubRole::PackageRun:
            if (!m_facts.bContainer) {
                code = STUB_EXIT_NO_CONTAINER;
                break;
            }
            code = m_sys.RunWindow(m_sClass) ? m_sys.PackageExitCode() : STUB_EXIT_NO_WINDOW;
            if (SwitchIntIn(m_facts.sArgs, "/SpanCdLvl=", 1) == 2)
                m_sys.DeleteMySelf(true);
            break;
        }
    }
    if (m_role == StubRole::PlainAgent && code == STUB_EXIT_OK)
        code = HandleParams(copyRunning);
    Log("DoRunStubWin() --- End");
    return code;
}

bool StubStartup::WaitFor(std::uint32_t ms, bool (StubStartup::*done)()) {
    const std::uint64_t start = m_sys.Clock();
    while (!(this->*done)()) {
        if (m_sys.Clock() - start >= ms)
            return false;
        m_sys.Wait(kPollMs);
    }
    return true;
}

bool StubStartup::CopyWindowUp() {
    return m_sys.FindWindow(m_sCopyClass) != 0;
}

bool StubStartup::CopyGone() {
    return m_sys.FindWindow(m_sCopyClass) == 0 && !m_sys.IsProcessRunning(m_sCopyPath);
}

bool StubStartup::CopyFileGone() {
    return !m_sys.FileExists(m_sCopyPath);
}

int StubStartup::CreateAndRunAgentCopy(bool bCopyRunning) {
    Log("CreateAndRun_X_Exe() --- Start");
    const std::string zz = SwitchValueIn(m_facts.sArgs, "/_ZZ=");
    PrintLine(" CreateAndRun_X_Exe-1 " + zz);
    if (bCopyRunning && zz != "99") {
        Log("CreateAndRun_X_Exe() --- End");
        return STUB_EXIT_OK;
    }
    PrintLine(" CreateAndRun_X_Exe-2");
    const std::int64_t wait = SwitchIntIn(m_facts.sArgs, "/WAIT=", 0);
    Log("Wait " + std::to_string(wait) + " SEC");
    if (wait > 0)
        m_sys.Wait(static_cast<std::uint32_t>(wait) * 1000u);

    if (bCopyRunning) {
        // A running image cannot be replaced: the copy is asked to close
        // (twice, as its window wants) and must be gone, and with it the file
        // it removes when it ends, before the new one is written.
        const plat::WindowHandle w = m_sys.FindWindow(m_sCopyClass);
        m_sys.Post(w, plat::MSG_CLOSE, 0, 0);
        m_sys.Post(w, plat::MSG_CLOSE, 0, 0);
        if (!WaitFor(kCopyEndWaitMs, &StubStartup::CopyGone)) {
            Log("Agent copy still running: " + m_sCopyPath);
            Log("CreateAndRun_X_Exe() --- End");
            return STUB_EXIT_COPY_BUSY;
        }
        WaitFor(kCopyEndWaitMs, &StubStartup::CopyFileGone);
    }

    if (!m_sys.CopyProgram(m_facts.sProgramPath, m_sCopyPath)) {
        Log("Create X_ File failed: " + m_sCopyPath);
        Log("CreateAndRun_X_Exe() --- End");
        return STUB_EXIT_COPY_FAILED;
    }
    Log("Create X_ File ");
    const std::string params = AgentCopyParams(SwitchValueIn(m_facts.sArgs, "/TRANSIENT="),
                                               SwitchValueIn(m_facts.sArgs, "/DELAY="));
    Log("WinExec: " + m_sCopyPath + params);
    if (!m_sys.StartHidden(m_sCopyPath, Trim(params))) {
        Log("WinExec failed: " + m_sCopyPath);
        Log("CreateAndRun_X_Exe() --- End");
        return STUB_EXIT_START_FAILED;
    }
    Log("CreateAndRun_X_Exe() --- End");
    return STUB_EXIT_OK;
}

bool StubStartup::Forward(std::uint32_t msg, plat::WParam wp, plat::LParam lp,
                          const std::string& what) {
    Log("PostProcessMessage(" + what);
    const plat::WindowHandle w = m_sys.FindWindow(m_sCopyClass);
    if (w != 0 && m_sys.Post(w, msg, wp, lp))
        return true;
    Log("Message not delivered (no agent window): " + m_sCopyPath);
    return false;
}

int StubStartup::HandleParams(bool bCopyRunning) {
    Log("HandleParamOK() --- Start");
    const std::string& args = m_facts.sArgs;
    const std::int64_t stop = SwitchIntIn(args, "/STOP=", -1);
    const std::string wmMsg = SwitchValueIn(args, "/WM_MSG=");
    const std::int64_t test = SwitchIntIn(args, "/TEST=", -1);
    const bool forward = stop >= 0 || !wmMsg.empty() || test >= 0;

    bool delivered = true;
    if (forward && m_sys.FileExists(m_sCopyPath)) {
        // A copy that was just started needs a moment for its window; the
        // messages would be lost without it. The wait is bounded.
        WaitFor(kCopyWindowWaitMs, &StubStartup::CopyWindowUp);
        if (stop >= 0)
            delivered &= Forward(wm_ShutDown, static_cast<plat::WParam>(stop), 0,
                                 "wm_ShutDown) to: " + m_sCopyPath);
        if (!wmMsg.empty()) {
            const LocalMsgArgs a = ParseLocalMsg(wmMsg);
            delivered &= Forward(wm_LocalMsg, a.wParam, a.lParam,
                                 "wm_LocalMsg) to: " + m_sCopyPath + " - :" + wmMsg + ":");
        }
        if (test >= 0) {
            delivered &=
                Forward(wm_AgentMsg, AC_PERFORM_UPDATE_CYCLE, static_cast<plat::LParam>(test),
                        "wm_AgentMsg) to: " + m_sCopyPath + " - AU_PerformUpdateCycle (" +
                            std::to_string(test) + ")");
            if (!bCopyRunning && test > 0)
                delivered &= Forward(wm_ShutDown, 2, 0, "wm_ShutDown) to: " + m_sCopyPath);
        }
    } else if (forward) {
        Log("Message not delivered (no agent copy): " + m_sCopyPath);
        delivered = false;
    }
    const std::string transient = SwitchValueIn(args, "/TRANSIENTx=");
    if (!transient.empty())
        m_sys.SetOverrides(transient);
    Log("HandleParamOK() --- End");
    return delivered ? STUB_EXIT_OK : STUB_EXIT_NOT_DELIVERED;
}

int StubStartup::SpanRestart() {
    const std::string target =
        WithBackslash(m_sys.ExtractionFolder(), true) + "Y_" + FileNameOf(m_facts.sProgramPath);
    if (!m_sys.CopyProgram(m_facts.sProgramPath, target))
        return STUB_EXIT_COPY_FAILED;
    const std::string params = SpanRestartParams(m_facts.sArgs, m_facts.sProgramPath);
    Log("WinExec: " + Quote(target) + " " + params);
    return m_sys.StartHidden(target, params) ? STUB_EXIT_OK : STUB_EXIT_START_FAILED;
}
