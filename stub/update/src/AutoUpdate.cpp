#include "AutoUpdate.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>

#include "HttpDownload.h"
#include "Sha256.h"
#include "TGFileInfo.h"
#include "dialogs/Inform.h"
#include "dialogs/MsgBox.h"
#include "platform/fileio.h"
#include "platform/system.h"
#include "util/debug.h"
#include "util/numbers.h"
#include "util/processes.h"
#include "util/services.h"
#include "util/sub.h"
#include "util/text.h"

namespace au {

const char* const kTestModeKey = "HKEY_CURRENT_USER\\Software\\Vendrel\\Harbix\\AutoUpdate";

namespace {

const char* const kReasons = "|Error downloading .INFO file|Error reading .ORIGINAL file|"
                             "Too early for retesting|New version is not higher then old version|"
                             "\"Valid for version\" mismatch|Download file size error|OK|";

#ifdef _WIN32
const char kSep = '\\';
#else
const char kSep = '/';
#endif

std::string TrueFalse(bool b) {
    return b ? "TRUE" : "FALSE";
}

// Reads at most cap bytes of path; false when it cannot be read or is larger.
bool ReadCapped(const std::string& path, std::int64_t cap, std::string& content) {
    content.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buf[65536];
    std::size_t n;
    bool ok = true;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (static_cast<std::int64_t>(content.size() + n) > cap) {
            ok = false;
            break;
        }
        content.append(buf, n);
    }
    if (std::ferror(f))
        ok = false;
    std::fclose(f);
    if (!ok)
        content.clear();
    return ok;
}

// Copies from to a fresh temporary file beside to and renames it over to, so
// that a failed copy never leaves a half-written target.
bool CopyStreamed(const std::string& from, const std::string& to) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    if (!in)
        return false;
    const std::string temp = to + ".part";
    plat::delete_file(temp);
    plat::FileHandle out = plat::create_new_file(temp);
    if (out == plat::kNoFile) {
        std::fclose(in);
        return false;
    }
    char buf[65536];
    std::size_t n;
    bool ok = true;
    while (ok && (n = std::fread(buf, 1, sizeof buf, in)) > 0)
        ok = plat::write_file(out, buf, n);
    if (std::ferror(in))
        ok = false;
    std::fclose(in);
    ok = plat::close_file(out) && ok;
    if (ok)
        ok = plat::replace_file(temp, to);
    if (!ok)
        plat::delete_file(temp);
    return ok;
}

std::string TextDefault(const std::string& key) {
    static const struct {
        const char* key;
        const char* text;
    } kDefaults[] = {
        {"s3", "File Download Aborted!"},
        {"s4", "File not Found!"},
        {"s5", "Unable to Download File!"},
        {"s31", "Downloading INFO File..."},
        {"s32", "Downloading UPDATE File..."},
        {"s33", "Downloading INFORM File..."},
        {"s34", "New Version"},
        {"s35", "Download"},
    };
    for (const auto& d : kDefaults)
        if (key == d.key)
            return d.text;
    return "";
}

} // namespace

// ---- Rules ------------------------------------------------------------------

std::int64_t SecondsOf(double date) {
    return static_cast<std::int64_t>(std::llround(date * 86400.0));
}

std::int64_t NowSeconds() {
    return SecondsOf(NowDate());
}

std::string LocalFileName(const std::string& name) {
    std::string s = Trim(name);
    std::size_t cut = s.find_last_of("/\\:");
    if (cut != std::string::npos)
        s = s.substr(cut + 1);
    if (s == "." || s == "..")
        return "";
    return s;
}

std::string JoinLocal(const std::string& base, const std::string& name) {
    if (base.empty())
        return name;
    char last = base.back();
    if (last == '/' || last == '\\')
        return base + name;
    return base + kSep + name;
}

std::string OriginalFileName(const std::string& infoName) {
    std::string name = LocalFileName(infoName);
    std::size_t dot = name.find('.');
    if (dot != std::string::npos)
        name = name.substr(0, dot);
    return name + ".original";
}

bool VersionValidFor(std::int64_t versionOriginal, const std::string& validVersions) {
    std::string list = KeepChars(validVersions, "0123456789,-");
    if (Trim(validVersions).empty())
        return true;
    return ("," + list + ",").find("," + std::to_string(versionOriginal) + ",") !=
           std::string::npos;
}

bool SizeCheckPasses(std::int64_t actual, std::int64_t expected) {
    std::int64_t d = actual - expected;
    return (d < 0 ? -d : d) < 100;
}

std::string ReasonText(int code) {
    return SUB::Field(kReasons, code);
}

bool IsLocalSource(const std::string& source) {
    return (source.size() > 1 && source[1] == ':') || StartsWith("\\\\", source);
}

bool OverrideOn(std::uint8_t value, const std::string& infoValue) {
    if (value == 255)
        return Trim(infoValue) == "1";
    return value == 1;
}

std::string OverrideListText(const std::array<std::uint8_t, 8>& overrides) {
    std::string s = "|";
    for (std::uint8_t o : overrides)
        s += std::to_string(o) + "|";
    return s;
}

int ShotTimeStatus(bool permission, bool& updateRequest, std::int64_t probeInterval,
                   std::int64_t probeLast, std::int64_t now, bool testMode) {
    int status = 0;
    if (permission || updateRequest) {
        std::int64_t interval = testMode ? 5 : probeInterval;
        if (interval + probeLast <= now)
            status = 1;
        if (probeInterval == 0 && status == 1)
            status = 2;
        if (probeInterval == -1)
            status = 0;
        if (updateRequest)
            status = 1;
    }
    updateRequest = false;
    return status;
}

int DecisionCode(const OfferFacts& f, const std::function<bool()>& sizeCheck) {
    if (!f.downloadOk)
        return 0;
    if (f.versionOriginal <= 0)
        return 1;
    bool reAskDue = f.reAskInterval > 0 && f.reAskLast + f.reAskInterval < f.now;
    if (f.stampNew == f.stampOriginal && !reAskDue && !f.foreground)
        return 2;
    if (f.versionNew <= f.versionOriginal)
        return 3;
    if (!VersionValidFor(f.versionOriginal, f.validVersions))
        return 4;
    if (!sizeCheck || !sizeCheck())
        return 5;
    return OK_CODE;
}

bool ParseInformText(const std::string& content, std::string& scrambledToken, std::string& text) {
    scrambledToken.clear();
    text.clear();
    std::size_t bars[4];
    std::size_t from = 0;
    for (std::size_t& b : bars) {
        b = content.find('|', from);
        if (b == std::string::npos)
            return false;
        from = b + 1;
    }
    scrambledToken = content.substr(bars[0] + 1, bars[1] - bars[0] - 1);
    text = content.substr(bars[3] + 1);
    return true;
}

// ---- The agent --------------------------------------------------------------

AgentConfig AgentConfigOf(const container::TGFileInfo& own, const std::string& folder) {
    AgentConfig c;
    c.folder = folder;
    c.infoUrl = own.HeaderItem(0);
    c.infoName = own.HeaderItem(1);
    c.agentName = own.HeaderItem(2);
    c.packageToken = own.PackageToken();
    return c;
}

UpdateAgent::UpdateAgent(AgentConfig config, AgentControl& control, AgentHost host)
    : m_config(std::move(config)), m_control(control), m_host(std::move(host)) {
    BindDefaults();
    CheckTestMode(true);
}

void UpdateAgent::BindDefaults() {
    AgentHost& h = m_host;
    if (!h.report)
        h.report = [](int, int) {};
    if (!h.log)
        h.log = [](const std::string&) {};
    if (!h.trace)
        h.trace = [](const std::string& line) {
            DebugLine(std::to_string(plat::process_id()) + line);
        };
    if (!h.showWindow)
        h.showWindow = [](bool) {};
    if (!h.status)
        h.status = [](const std::string&) {};
    if (!h.wait)
        h.wait = [](std::uint32_t ms) { YieldWait(0, ms); };
    auto charset = [this] { return static_cast<int>(ParseInt64(Orig("MsgBox", "CharSet"), 0)); };
    if (!h.errorBox)
        h.errorBox = [this, charset](int mode, const std::string& text, const std::string& cap) {
            ErrorBox(static_cast<std::uintptr_t>(mode), text, cap, Orig("MsgBox", "BtnText"),
                     charset());
        };
    if (!h.attentionBox)
        h.attentionBox = [this, charset](int mode, const std::string& text,
                                         const std::string& cap) {
            AttentionBox(static_cast<std::uintptr_t>(mode), text, cap, Orig("MsgBox", "BtnText"),
                         charset());
        };
    if (!h.confirm)
        h.confirm = [this, charset](int mode, const std::string& text, const std::string& cap) {
            return ConfirmYesNo(static_cast<std::uintptr_t>(mode), text, cap,
                                Orig("MsgBox", "BtnText"), charset());
        };
    if (!h.inform)
        h.inform = [](const InformRequest& r) {
            return ShowInform(0, r.caption, r.button, r.text, r.link, r.width, r.height, false,
                              r.fontName, r.fontSize, r.charset);
        };
    if (!h.download)
        h.download = [](const std::string& url, const std::string& target, std::string& error,
                        std::string& content) {
            return HTTP_DownloadFile_Incremental(0, url, target, error, nullptr, content);
        };
    if (!h.remoteSize)
        h.remoteSize = [](const std::string& url) { return HTTP_GetFileSize(url); };
    if (!h.connected)
        h.connected = [](std::string& error) { return InternetConnected(error); };
    if (!h.isRunning)
        h.isRunning = [](const std::string& path) { return IsProcessRunning(path); };
    if (!h.shutDown)
        h.shutDown = [](const std::string& path, const std::string& method, const std::string&) {
            // The product is looked up by its full path only, so that a
            // program of the same name elsewhere is left alone.
            if (SameText(method, "Using WM_CLOSE"))
                CloseProcess(path, true, 0);
            else if (SameText(method, "Using WM_QUIT"))
                QuitProcess(path, true);
            else if (SameText(method, "Using Terminate Process"))
                TerminateProcessByPath(path, true);
        };
    if (!h.start)
        h.start = [](const std::string& commandLine, bool shown) {
            return StartProgram(commandLine, shown ? plat::SHOW_NORMAL : plat::SHOW_HIDE);
        };
    if (!h.install)
        h.install = [](const InstallRequest&) { return false; };
    if (!h.expand)
        h.expand = [](const std::string& path, const std::string&, const std::string&,
                      const std::string&) { return path; };
    if (!h.postQuit)
        h.postQuit = [] {};
    if (!h.endAgent)
        h.endAgent = [] {};
    if (!h.phase)
        h.phase = [](int) {};
    if (!h.overrides)
        h.overrides = [this] { return m_config.overrides; };
}

std::string UpdateAgent::InfoPath() const {
    return JoinLocal(m_config.folder, LocalFileName(m_config.infoName));
}

std::string UpdateAgent::OriginalPath() const {
    return JoinLocal(m_config.folder, OriginalFileName(m_config.infoName));
}

std::string UpdateAgent::Orig(const std::string& section, const std::string& key,
                              const std::string& def) const {
    return ReadIniString(OriginalPath(), section, key, def);
}

std::string UpdateAgent::Info(const std::string& section, const std::string& key,
                              const std::string& def) const {
    return ReadIniString(InfoPath(), section, key, def);
}

std::int64_t UpdateAgent::OrigInt(const std::string& key) const {
    return ReadIniInt64(OriginalPath(), "OriginalSetup", key, 0);
}

std::int64_t UpdateAgent::InfoInt(const std::string& section, const std::string& key,
                                  std::int64_t def) const {
    return ReadIniInt64(InfoPath(), section, key, def);
}

void UpdateAgent::WriteTime(const std::string& key, std::int64_t seconds) {
    WriteIniInt64(OriginalPath(), "OriginalSetup", key, seconds);
    WriteIniString(OriginalPath(), "OriginalSetup", "__" + key,
                   DayTimeStamp(" ", static_cast<double>(seconds) / 86400.0));
}

bool UpdateAgent::Override(int n, const std::string& infoKey) const {
    return OverrideOn(m_host.overrides()[static_cast<std::size_t>(n - 1)],
                      infoKey.empty() ? "" : Info("NewSetup", infoKey));
}

std::string UpdateAgent::Text(const std::string& key) const {
    return Orig("AutoUpdate", key, TextDefault(key));
}

std::string UpdateAgent::Caption(const std::string& key, const std::string& def) const {
    return Orig("MsgBox", key, def);
}

void UpdateAgent::Trace(const std::string& line) {
    m_host.trace(line);
}

void UpdateAgent::SetPhase(int phase) {
    m_control.phase = phase;
    m_host.phase(phase);
}

void UpdateAgent::Log(const std::string& line) {
    m_host.log(line);
}

bool UpdateAgent::CheckTestMode(bool force) {
    std::uint64_t now = MilliClock();
    if (force || !m_bTestModeReadOnce || now - m_nTestModeRead > 30000) {
        m_bTestMode = ReadRegistryValue(kTestModeKey, "TestMode", "0") == "1" &&
                      ReadRegistryValue(kTestModeKey, "TestModeDate", "") == DayStamp();
        m_sTestUrl = ReadRegistryValue(kTestModeKey, "TestModeURL", "");
        m_bTestModeReadOnce = true;
    }
    m_nTestModeRead = now;
    return m_bTestMode;
}

int UpdateAgent::ShotTimeStatus() {
    return au::ShotTimeStatus(m_control.probePermission, m_control.updateRequest,
                              OrigInt("ProbeSecondsInterval"), OrigInt("ProbeSecondsLast"),
                              NowSeconds(), m_bTestMode);
}

bool UpdateAgent::ProbeQuestion() {
    bool test = CheckTestMode(true);
    std::string source = test ? m_sTestUrl : m_config.infoUrl;
    std::string text = Text("s22");
    if (!(source.size() < 2 || source[1] == ':'))
        text += Text("s23");
    text += Text("s24");
    if (CheckTestMode(true))
        text += "<P><P><T><B>PLEASE NOTE</B> - You are now running in <B>Test Mode</B>!";
    text = ReplaceAll(text, "PROG_NAME", Orig("OriginalSetup", "ProgramName"));
    return m_host.confirm(1, text, Caption("Confirm", "Confirm"));
}

void UpdateAgent::Tick() {
    if (m_control.busy)
        return;
    m_control.busy = true;
    if (m_control.command32) {
        Trace("-------------- JustDownloadInfoFile ---------------");
        m_control.command32 = false;
        JustDownloadInfoFile();
    } else {
        SetMsgBoxFont(Orig("MsgBox", "FontName", "Tahoma"),
                      static_cast<int>(ParseInt64(Orig("MsgBox", "FontSize"), 8)),
                      static_cast<int>(ParseInt64(Orig("MsgBox", "CharSet"), 0)));
        SetPhase(0);
        if (m_control.exitMode == 2)
            m_control.exitMode = 1;
        if (m_control.exitMode == 1)
            m_control.countdown = 0;
        if (m_control.shutdownRequest == 0)
            m_host.postQuit();
        if (m_control.shutdownRequest >= 0)
            --m_control.shutdownRequest;
        ++m_control.countdown;
        Trace(" AutoUpdateTimerCount=" + std::to_string(m_control.countdown));
        if (m_control.countdown >= 1) {
            CheckTestMode(false);
            int status = ShotTimeStatus();
            Trace(" ShotTimeStatus=" + std::to_string(status));
            if (status == 2)
                m_control.probePermission = false;
            if (status > 0 && (m_control.exitMode == 1 || Override(1, "")))
                if (!ProbeQuestion())
                    status = 0;
            if (status > 0)
                PerformShot();
            if (m_control.exitMode == 1)
                m_control.exitMode = 0;
        }
    }
    SetPhase(0);
    m_control.busy = false;
}

void UpdateAgent::JustDownloadInfoFile() {
    std::string error;
    m_host.report(40, 1);
    DownloadFileAU(m_config.infoUrl, InfoPath(), KIND_INFO, error);
    m_host.report(40, 2);
}

void UpdateAgent::PerformShot() {
    Trace(" Fire  " + DayTimeStamp(" "));
    CheckTestMode(true);
    SetPhase(1);
    std::string errorText;
    m_host.report(40, 1);
    bool ok = DownloadFileAU(m_config.infoUrl, InfoPath(), KIND_INFO, errorText);
    m_host.report(40, 2);
    // Also after a failed download, so the next probe waits a full interval.
    WriteTime("ProbeSecondsLast", NowSeconds());

    int code = 0;
    std::string reason;
    bool accepted = false;
    if (GetOkToPerformAU(ok, code, reason)) {
        Trace(" ==== PerformShot-1 ====");
        accepted = true;
        // The offer counts as processed only once it went through: an update
        // or inform that failed is offered again at the next probe.
        const std::string stamp = Info("NewSetup", "Stamp");
        auto markProcessed = [&] {
            WriteTime("ReAskSecondsLast", NowSeconds());
            WriteIniString(OriginalPath(), "OriginalSetup", "Stamp", stamp);
        };
        if (Trim(Info("General", "AutoInform")) == "1") {
            if (PerformAutoInform())
                markProcessed();
        } else if (PerformAutoUpdate()) {
            markProcessed();
            ReStartAutoUpdateExe();
        }
        Trace(" ==== PerformShot-2 ====");
    }

    if (m_control.exitMode == 1) {
        m_host.wait(1000);
        m_host.showWindow(false);
        if (!accepted) {
            std::string connError;
            bool connected = m_bTestMode || m_host.connected(connError);
            Trace(" TestMode=" + TrueFalse(m_bTestMode) +
                  " InternetConnected=" + TrueFalse(connected));
            if (!m_bTestMode && !connected) {
                std::string text = Text("s2");
                if (!connError.empty())
                    text += "<P><P>" + connError;
                m_host.errorBox(0, text, Caption("Error", "Error"));
            } else if (!m_bTestMode && !errorText.empty()) {
                m_host.errorBox(0, errorText, Caption("Error", "Error"));
            } else {
                std::string text = Text("s21");
                if (DeveloperFlag())
                    text += "<P><P>(" + std::to_string(code) + " - " + reason + ")   ";
                m_host.attentionBox(1, text, Caption("Attention", "Attention"));
            }
        }
    }
}

bool UpdateAgent::SizeCheck() {
    bool inform = Trim(Info("General", "AutoInform")) == "1";
    std::int64_t expected = inform ? InfoInt("AutoInform", "SizeOfInformFile")
                                   : InfoInt("NewSetup", "SizeOfUpdateFile");
    std::string name = LocalFileName(inform ? Info("AutoInform", "NameOfInformFile")
                                            : Info("NewSetup", "NameOfUpdateFile"));
    std::string base = m_bTestMode ? m_sTestUrl : Info("NewSetup", "DownloadURL_UPDATE");
    std::int64_t actual = -1;
    std::string used = JoinLocal(base, name);
    std::string error;
    if (name.empty()) {
        actual = -1;
    } else if (plat::file_size(used) >= 0) {
        actual = plat::file_size(used);
    } else if (!m_bTestMode && m_host.connected(error)) {
        used = base + "/" + name;
        actual = m_host.remoteSize(used);
    }
    bool ok = SizeCheckPasses(actual, expected);
    if (!ok) {
        Log("  InfoSize=" + std::to_string(expected));
        Log("  HttpSize=" + std::to_string(actual));
        Log("  URL=" + used);
    }
    return ok;
}

bool UpdateAgent::GetOkToPerformAU(bool downloadOk, int& code, std::string& reason) {
    OfferFacts f;
    f.downloadOk = downloadOk;
    f.versionOriginal = OrigInt("VersionOriginal");
    f.versionNew = InfoInt("NewSetup", "VersionNew");
    f.stampOriginal = Orig("OriginalSetup", "Stamp");
    f.stampNew = Info("NewSetup", "Stamp");
    f.reAskLast = OrigInt("ReAskSecondsLast");
    f.reAskInterval = OrigInt("ReAskSecondsInterval");
    f.now = NowSeconds();
    f.foreground = m_control.exitMode == 1;
    f.validVersions = Info("NewSetup", "ValidVersions");
    code = DecisionCode(f, [this] { return SizeCheck(); });
    reason = ReasonText(code);
    Trace(" GetOkToPerformAU=" + std::to_string(code));
    Log("GetOkToPerformAU = " + std::to_string(code) + " - " + reason);
    return code == OK_CODE;
}

bool UpdateAgent::FetchInfo(const std::string& source, bool local, std::string& errorText) {
    // The INFO file is fetched beside itself and replaces the good one only
    // when what arrived is a usable INFO file.
    const std::string temp = InfoPath() + ".new";
    plat::delete_file(temp);
    std::string content;
    bool arrived = false;
    if (local) {
        arrived = CopyStreamed(source, temp);
    } else {
        m_host.wait(500);
        SetDownloadAbort(false);
        arrived = m_host.download(source, temp, errorText, content);
        m_host.wait(500);
    }
    std::int64_t size = plat::file_size(temp);
    if (arrived && errorText.empty() && size > kInfoFileCap)
        errorText =
            "The INFO file is larger than " + std::to_string(kInfoFileCap) + " bytes: " + source;
    if (arrived && errorText.empty() && size > 0)
        errorText = Http404Text(temp, "", source, "");
    if (errorText.empty() && !content.empty())
        errorText = Http404Text("", content, source, "");
    bool ok = arrived && errorText.empty() && size > 0;
    if (ok)
        ok = plat::replace_file(temp, InfoPath());
    plat::delete_file(temp);
    return ok;
}

bool UpdateAgent::DownloadFileAU(const std::string& base, const std::string& fileName, int kind,
                                 std::string& errorText) {
    errorText.clear();
    std::string content, localCopy;
    bool ok = false;
    const std::string name = LocalFileName(fileName);
    std::string from = m_bTestMode ? m_sTestUrl : base;
    std::string source = JoinLocal(from, name);
    Trace(" DownloadFileAU: " + source);
    Log("TestMode=" + TrueFalse(m_bTestMode));
    Log("Download START: " + source);
    bool showMain = kind == KIND_UPDATE && Override(2, "RequestConfirmationBeforeDownload") &&
                    m_control.exitMode != 1;
    if (showMain)
        m_host.showWindow(true);
    m_host.status(Text(kind == KIND_INFO ? "s31" : kind == KIND_UPDATE ? "s32" : "s33"));

    std::string connError;
    bool local = !name.empty() && plat::file_size(source) >= 0;
    bool remote = !local && !name.empty() && !m_bTestMode && m_host.connected(connError);
    if (kind == KIND_INFO) {
        if (local || remote) {
            if (remote)
                source = from + "/" + name;
            ok = FetchInfo(source, local, errorText);
        }
    } else if (local) {
        if (plat::file_size(source) > 0) {
            localCopy = JoinLocal(m_config.folder, name);
            if (!CopyStreamed(source, localCopy))
                errorText = Text("s4");
        }
    } else if (remote) {
        m_host.wait(500);
        source = from + "/" + name;
        SetDownloadAbort(false);
        localCopy = JoinLocal(m_config.folder, name);
        m_host.download(source, localCopy, errorText, content);
        m_host.wait(500);
    }
    if (showMain)
        m_host.showWindow(false);
    Log("Download END:   " + source);

    if (kind == KIND_INFO) {
        if (!errorText.empty() && errorText[0] == '3')
            errorText.clear();
        return ok;
    }
    if (errorText.empty()) {
        ok = true;
        if (localCopy.empty())
            localCopy = JoinLocal(m_config.folder, name);
        if (!TokenCheck(kind, localCopy)) {
            ok = false;
            std::string message = Http404Text(localCopy, "", source, "Bad Secret Token!");
            plat::delete_file(localCopy);
            Log("ERROR: " + message);
            m_host.errorBox(0, message, Caption("Error", "Error"));
        } else if (!DigestCheck(kind, localCopy)) {
            ok = false;
            std::string message = "Bad SHA-256 Checksum!<P><P>" + source;
            plat::delete_file(localCopy);
            Log("ERROR: " + message);
            m_host.errorBox(0, message, Caption("Error", "Error"));
        }
    } else if (source.size() > 2 && Override(2, "RequestConfirmationBeforeDownload")) {
        std::string message;
        if (DownloadAbortRequested())
            message = Text("s3");
        else
            message = source + "<P><P>" + (IsLocalSource(source) ? Text("s4") : Text("s5"));
        Log("ATTENTION: " + message);
        m_host.attentionBox(0, message, Caption("Attention", "Attention"));
    }
    return ok;
}

bool UpdateAgent::TokenCheck(int kind, const std::string& localCopy) {
    if (plat::file_size(localCopy) < 0)
        return false;
    if (kind == KIND_UPDATE) {
        container::TGFileInfo package(localCopy);
        return package.MagicOk() && package.PackageToken() == m_config.packageToken;
    }
    std::string content, token, text;
    if (!ReadCapped(localCopy, kInfoFileCap, content))
        return false;
    if (!ParseInformText(Unscramble(content), token, text))
        return false;
    return container::UnscrambleToken(token) == m_config.packageToken;
}

bool UpdateAgent::DigestCheck(int kind, const std::string& localCopy) {
    std::string expected = kind == KIND_UPDATE ? Info("NewSetup", "Sha256OfUpdateFile")
                                               : Info("AutoInform", "Sha256OfInformFile");
    if (Trim(expected).empty())
        return true;
    std::string actual;
    if (!FileSha256(localCopy, actual))
        return false;
    Log("SHA-256 " + actual + (SameDigest(actual, expected) ? " matches" : " differs"));
    return SameDigest(actual, expected);
}

bool UpdateAgent::PerformAutoInform() {
    Log("PerformAutoInform() - START ");
    Trace(" ==== PerformAutoInform-1 ====");
    bool result = false;
    const std::string url = Info("NewSetup", "DownloadURL_UPDATE");
    const std::string name = Info("AutoInform", "NameOfInformFile");
    bool ok = false;
    if (!url.empty() && !name.empty()) {
        Trace(" ==== PerformAutoInform-2 ====");
        SetPhase(2);
        m_host.report(41, 1);
        std::string error;
        ok = DownloadFileAU(url, name, KIND_INFORM, error);
        m_host.report(41, 2);
    }
    if (ok) {
        Trace(" ==== PerformAutoInform-3 ====");
        std::string content, token;
        InformRequest r;
        if (ReadCapped(JoinLocal(m_config.folder, LocalFileName(name)), kInfoFileCap, content) &&
            ParseInformText(Unscramble(content), token, r.text)) {
            r.caption = Text("s34");
            r.button = Text("s35");
            r.link = Info("AutoInform", "DownloadURL_INFORM");
            r.width = static_cast<int>(InfoInt("AutoInform", "AutoInformW", 360));
            r.height = static_cast<int>(InfoInt("AutoInform", "AutoInformH", 360));
            r.fontName = Orig("MsgBox", "FontName", "Tahoma");
            r.fontSize = static_cast<int>(ParseInt64(Orig("MsgBox", "FontSize"), 8));
            r.charset = static_cast<int>(ParseInt64(Orig("MsgBox", "CharSet"), 0));
            result = m_host.inform(r);
        }
        if (result)
            WriteIniInt64(OriginalPath(), "OriginalSetup", "VersionOriginal",
                          InfoInt("NewSetup", "VersionNew"));
        Trace(" ==== PerformAutoInform-4 ====");
    }
    Log("PerformAutoInform() - END " + TrueFalse(result));
    return result;
}

bool UpdateAgent::PerformAutoUpdate() {
    Log("PerformAutoUpdate() - START");
    Trace(" ==== PerformAutoUpdate-4 ====");
    bool result = false;
    const std::string url = Info("NewSetup", "DownloadURL_UPDATE");
    const std::string updateName = LocalFileName(Info("NewSetup", "NameOfUpdateFile"));
    if (!url.empty() && !updateName.empty()) {
        Trace(" ==== PerformAutoUpdate-5 ====");
        const std::string programName = Info("NewSetup", "ProgramName");
        const bool foreground = m_control.exitMode == 1;
        const bool askInstall = Override(3, "RequestConfirmationBeforeInstall");
        const bool forceDownload = Override(7, "RequestConfirmationBeforeDownloadForce");
        const bool forceInstall = Override(8, "RequestConfirmationBeforeInstallForce");

        std::string text = Text("s11");
        if (forceDownload)
            text += askInstall ? Text("s19") : Text("s18");
        else
            text += askInstall ? Text("s13") : Text("s12");
        text = ReplaceAll(text, "PROG_NAME", programName);
        bool go = true;
        if (Override(2, "RequestConfirmationBeforeDownload") && !foreground) {
            if (forceDownload)
                m_host.attentionBox(2, text, Caption("Attention", "Attention"));
            else
                go = m_host.confirm(0, text, Caption("Confirm", "Confirm"));
        }
        m_host.wait(500);

        bool ok = false;
        if (go) {
            Trace(" ==== PerformAutoUpdate-6 ====");
            SetPhase(2);
            m_host.report(41, 1);
            std::string error;
            ok = DownloadFileAU(url, updateName, KIND_UPDATE, error);
            m_host.report(41, 2);
        }

        text = ReplaceAll(forceInstall ? Text("s20") : Text("s14"), "PROG_NAME", programName);
        if (ok && askInstall && !foreground) {
            if (forceInstall)
                m_host.attentionBox(2, text, Caption("Attention", "Attention"));
            else
                ok = m_host.confirm(0, text, Caption("Confirm", "Confirm"));
        }
        m_host.wait(100);

        const std::string updatePath = JoinLocal(m_config.folder, updateName);
        if (ok) {
            Trace(" ==== PerformAutoUpdate-7 ====");
            const std::string program = m_host.expand(
                Info("NewSetup", "RunningProcess"), Orig("Directories", "TargetDir"),
                Orig("Directories", "SharedDir"), Orig("Directories", "AuxiliaryDir"));
            const bool wasRunning = !program.empty() && m_host.isRunning(program);
            const std::string method = Trim(Info("NewSetup", "ShutDownMethod"));
            Log("Shut Down Process() - START  (" + program + ")  Method: " + method);
            bool waitForEnd = !program.empty();
            if (SameText(method, "Issue a Message Box")) {
                std::string closeText = ReplaceAll(Text("s15"), "PROG_NAME", BaseName(program));
                Trace("s1=" + closeText + "<");
                while (!program.empty() && m_host.isRunning(program))
                    m_host.attentionBox(0, closeText, Caption("Attention", "Attention"));
                Trace(" ==== PerformAutoUpdate-8 ====");
            } else if (SameText(method, "Using WM_CLOSE") || SameText(method, "Using WM_QUIT") ||
                       SameText(method, "Using Terminate Process")) {
                if (wasRunning)
                    m_host.shutDown(program, method, "");
            } else {
                waitForEnd = false;
            }
            if (waitForEnd)
                for (int i = 0; i < 10 && m_host.isRunning(program); ++i)
                    m_host.wait(100);
            Trace(" ==== PerformAutoUpdate-9 ====");
            Log("Shut Down Process() - END");

            const bool restart =
                Override(6, "RestartProcess") && wasRunning && !m_host.isRunning(program);
            SetPhase(3);
            m_host.report(42, 1);
            Trace(" ==== PerformAutoUpdate-10 ====");
            InstallRequest request;
            request.package = updatePath;
            request.agentName = m_config.agentName;
            request.foreground = !Override(4, "BackgroundUpdate");
            request.arguments = "/OriginalInfoFile=\"" + InfoPath() + "\"";
            result = m_host.install(request);
            Trace(" ==== PerformAutoUpdate-11 ====");
            m_host.report(42, 2);

            if (result)
                WriteIniInt64(OriginalPath(), "OriginalSetup", "VersionOriginal",
                              InfoInt("NewSetup", "VersionNew"));
            plat::delete_file(updatePath);

            text = ReplaceAll(Text("s16"), "PROG_NAME", programName);
            bool answer = true;
            if (result && (Override(5, "InformFinish") || foreground)) {
                if (restart)
                    answer = m_host.confirm(1, text + Text("s17"), Caption("Confirm", "Confirm"));
                else
                    m_host.attentionBox(1, text, Caption("Attention", "Attention"));
            }
            Trace(" ==== PerformAutoUpdate-12 ====");
            Trace(" restart=" + TrueFalse(restart) + " answer=" + TrueFalse(answer) + " >" +
                  program + "<");
            if (answer && restart)
                m_host.start("\"" + program + "\"", true);
        } else {
            // A refused or failed download leaves nothing behind.
            plat::delete_file(updatePath);
        }
    }
    Trace(" ==== PerformAutoUpdate-13 ====");
    Log("PerformAutoUpdate() - END    Result=" + TrueFalse(result));
    return result;
}

void UpdateAgent::ReStartAutoUpdateExe() {
    Log(".. ReStartAutoUpdateExe() - Start");
    if (m_control.shutdownRequest <= 0) {
        std::string command =
            "\"" + JoinLocal(m_config.folder, LocalFileName(m_config.agentName)) +
            "\" /_ZZ=99 /WAIT=10 /TRANSIENT=" + OverrideListText(m_host.overrides());
        Log(".. WinExec - " + command);
        m_host.start(command, false);
        m_host.wait(1000);
        Log(".. PostMessage(WM_DESTROY)");
        m_host.endAgent();
    }
    Log(".. ReStartAutoUpdateExe() - End");
}

} // namespace au
