// The auto-update agent: the schedule of its per-second step, the probe of
// the update information (INFO) file, the decision whether its offer is
// acted on, the inform text and the download, check and installation of an
// update package, and the restart of the product and of the agent.
//
// Everything that reaches outside the agent (boxes, the start-up window,
// listener reports, the run log, processes, the package run) goes through
// AgentHost, so that the program binds it to the real services and tests to
// recorders.
#ifndef STUB_UPDATE_AUTOUPDATE_H
#define STUB_UPDATE_AUTOUPDATE_H

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace container {
class TGFileInfo;
}

namespace au {

// Download kinds.
enum DownloadKind { KIND_INFO = 1, KIND_UPDATE = 2, KIND_INFORM = 3 };

// Decision codes of GetOkToPerformAU; OK_CODE means "act on the offer".
enum { OK_CODE = 6 };

// An INFO file is a few keys; anything larger is not one.
constexpr std::int64_t kInfoFileCap = 4 * 1024 * 1024;

// Registry key of the test mode.
extern const char* const kTestModeKey;

// ---- Rules (no side effects) ----------------------------------------------

// Whole seconds of a date (days since 1899-12-30, local time).
std::int64_t SecondsOf(double date);
std::int64_t NowSeconds();

// The file-name part of name (after the last '/', '\\' or drive colon); empty
// when nothing usable is left ("", ".", "..").
std::string LocalFileName(const std::string& name);
// base joined with name by the platform's separator (a base that ends with a
// separator gets none).
std::string JoinLocal(const std::string& base, const std::string& name);
// The ".original" file name of an INFO file name: its file name without any
// extension, then ".original".
std::string OriginalFileName(const std::string& infoName);

// "," + version + "," inside "," + validVersions + "," (blanks ignored);
// an empty list is valid for every version.
bool VersionValidFor(std::int64_t versionOriginal, const std::string& validVersions);
// |actual - expected| < 100.
bool SizeCheckPasses(std::int64_t actual, std::int64_t expected);
// Entry code of the reason list.
std::string ReasonText(int code);
// A drive path ("C:...") or a share ("\\\\...").
bool IsLocalSource(const std::string& source);

// Override byte against its INFO key: 255 the key counts ("1" on), 1 on,
// anything else off.
bool OverrideOn(std::uint8_t value, const std::string& infoValue);
// "|o1|o2|...|o8|".
std::string OverrideListText(const std::array<std::uint8_t, 8>& overrides);

// The schedule rule. permission and updateRequest are the agent's flags;
// updateRequest is cleared in every case. 0 no probe, 1 due, 2 due and the
// only one of this run.
int ShotTimeStatus(bool permission, bool& updateRequest, std::int64_t probeInterval,
                   std::int64_t probeLast, std::int64_t now, bool testMode);

struct OfferFacts {
    bool downloadOk = false;
    std::int64_t versionOriginal = 0;
    std::int64_t versionNew = 0;
    std::string stampOriginal;
    std::string stampNew;
    std::int64_t reAskLast = 0;
    std::int64_t reAskInterval = 0;
    std::int64_t now = 0;
    bool foreground = false;
    std::string validVersions;
};
// The first failing check's code (0..5) or OK_CODE; sizeCheck runs only when
// everything before it passed.
int DecisionCode(const OfferFacts& facts, const std::function<bool()>& sizeCheck);

// INFORM file content (already unscrambled): fields split at '|'; field 1 is
// the scrambled package token, the text follows the fourth '|'. False when
// the file has fewer than four '|'.
bool ParseInformText(const std::string& content, std::string& scrambledToken, std::string& text);

// ---- The agent --------------------------------------------------------------

// The agent state that agent commands set and ticks read.
struct AgentControl {
    std::int64_t shutdownRequest = -1;
    bool updateRequest = false;
    std::int64_t countdown = -3;
    int exitMode = 0;
    bool command32 = false;
    bool probePermission = true;
    int phase = 0;
    bool busy = false;
};

// What the agent knows about its own package.
struct AgentConfig {
    std::string folder;       // the agent's folder
    std::string infoUrl;      // header item 0: where the INFO file is
    std::string infoName;     // header item 1
    std::string agentName;    // header item 2: the agent program's file name
    std::string packageToken; // own package token, clear text
    std::array<std::uint8_t, 8> overrides{{255, 255, 255, 255, 255, 255, 255, 255}};
};

// The configuration of the agent whose program file lies in folder and
// carries the package own.
AgentConfig AgentConfigOf(const container::TGFileInfo& own, const std::string& folder);

struct InformRequest {
    std::string caption, button, text, link;
    int width = 360, height = 360;
    std::string fontName;
    int fontSize = 8;
    int charset = 0;
};

struct InstallRequest {
    std::string package;   // the UPDATE file
    std::string agentName; // so that the new package leaves a new agent copy
    bool foreground = true;
    std::string arguments; // "/OriginalInfoFile=\"...\""
};

struct AgentHost {
    // Listener report (40/41/42, value 1 before and 2 after).
    std::function<void(int code, int value)> report;
    std::function<void(const std::string&)> log;   // run log
    std::function<void(const std::string&)> trace; // debug channel
    std::function<void(bool)> showWindow;          // start-up window
    std::function<void(const std::string&)> status;
    std::function<void(std::uint32_t ms)> wait; // pumping wait
    std::function<void(int ownerMode, const std::string& text, const std::string& caption)>
        errorBox;
    std::function<void(int ownerMode, const std::string& text, const std::string& caption)>
        attentionBox;
    std::function<bool(int ownerMode, const std::string& text, const std::string& caption)> confirm;
    std::function<bool(const InformRequest&)> inform;
    // Downloads url into target (empty target: into content); errorText says
    // why it failed. Defaults to HTTP_DownloadFile_Incremental.
    std::function<bool(const std::string& url, const std::string& target, std::string& errorText,
                       std::string& content)>
        download;
    std::function<std::int64_t(const std::string& url)> remoteSize;
    std::function<bool(std::string& errorText)> connected;
    // The product: running?, one shut-down attempt by method, start it.
    std::function<bool(const std::string& path)> isRunning;
    std::function<void(const std::string& path, const std::string& method,
                       const std::string& closeText)>
        shutDown;
    std::function<bool(const std::string& commandLine, bool shown)> start;
    // The package run; true when the installed program removed the atom.
    std::function<bool(const InstallRequest&)> install;
    // Expands folder placeholders of RunningProcess with the install folders.
    std::function<std::string(const std::string& path, const std::string& target,
                              const std::string& shared, const std::string& auxiliary)>
        expand;
    std::function<void()> postQuit;
    std::function<void()> endAgent; // destroy the start-up window
    // The eight overrides as they stand now (agent commands change them);
    // defaults to AgentConfig::overrides.
    std::function<std::array<std::uint8_t, 8>()> overrides;
    // The agent phase changed (agent command 7 answers it meanwhile).
    std::function<void(int)> phase;
};

class UpdateAgent {
public:
    UpdateAgent(AgentConfig config, AgentControl& control, AgentHost host);

    // One step of the start-up window's timer.
    void Tick();

    bool CheckTestMode(bool force);
    int ShotTimeStatus();
    bool ProbeQuestion();
    void PerformShot();
    void JustDownloadInfoFile();
    bool GetOkToPerformAU(bool downloadOk, int& code, std::string& reason);
    bool PerformAutoInform();
    bool PerformAutoUpdate();
    bool DownloadFileAU(const std::string& base, const std::string& fileName, int kind,
                        std::string& errorText);
    void ReStartAutoUpdateExe();

    std::string InfoPath() const;
    std::string OriginalPath() const;
    bool TestMode() const { return m_bTestMode; }

private:
    std::string Orig(const std::string& section, const std::string& key,
                     const std::string& def = "") const;
    std::string Info(const std::string& section, const std::string& key,
                     const std::string& def = "") const;
    std::int64_t OrigInt(const std::string& key) const;
    std::int64_t InfoInt(const std::string& section, const std::string& key,
                         std::int64_t def = 0) const;
    void WriteTime(const std::string& key, std::int64_t seconds);
    bool Override(int n, const std::string& infoKey) const;
    std::string Text(const std::string& key) const;
    std::string Caption(const std::string& key, const std::string& def) const;
    void BindDefaults();
    bool SizeCheck();
    bool FetchInfo(const std::string& source, bool local, std::string& errorText);
    bool TokenCheck(int kind, const std::string& localCopy);
    bool DigestCheck(int kind, const std::string& localCopy);
    void Trace(const std::string& line);
    void SetPhase(int phase);
    void Log(const std::string& line);

    AgentConfig m_config;
    AgentControl& m_control;
    AgentHost m_host;
    bool m_bTestMode = false;
    std::string m_sTestUrl;
    std::uint64_t m_nTestModeRead = 0;
    bool m_bTestModeReadOnce = false;
    std::string m_sInfoError;
};

} // namespace au

#endif
