#include "startup/settings.h"

#include "util/numbers.h"
#include "util/paths.h"
#include "util/services.h"
#include "util/sub.h"
#include "util/text.h"

namespace {

std::string g_headerItem1;
std::array<unsigned char, 8> g_overrides{{255, 255, 255, 255, 255, 255, 255, 255}};

const char kOriginal[] = "OriginalSetup";
const char kNewSetup[] = "NewSetup";
const char kAutoInform[] = "AutoInform";

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string OriginalString(const char* section, const char* key, const std::string& def = "") {
    return ReadIniString(OriginalSettingsFile(), section, key, def);
}

std::int64_t OriginalInt(const char* section, const char* key, std::int64_t def = 0) {
    return ReadIniInt64(OriginalSettingsFile(), section, key, def);
}

void WriteOriginal(const char* key, std::int64_t value) {
    WriteIniInt64(OriginalSettingsFile(), kOriginal, key, value);
}

void WriteInstant(const char* key, std::int64_t value) {
    WriteOriginal(key, value);
    WriteIniString(OriginalSettingsFile(), kOriginal, std::string("__") + key,
                   ReadableInstant(value));
}

std::string InfoString(const char* section, const char* key) {
    return ReadIniString(UpdateInfoFile(), section, key, "");
}

std::int64_t InfoInt(const char* section, const char* key, std::int64_t def = 0) {
    return ReadIniInt64(UpdateInfoFile(), section, key, def);
}

// A flag key counts only while its override asks for the key.
bool Flag(int override, const char* key) {
    const unsigned char o = Override(override);
    if (o != 255)
        return o == 1;
    return ReadIniString(UpdateInfoFile(), kNewSetup, key, "0") == "1";
}

} // namespace

void SetSettingsSource(const std::string& headerItem1) {
    g_headerItem1 = headerItem1;
}

std::string OriginalSettingsFile() {
    return ProgramFolder(true) + BaseName(FileNameOf(g_headerItem1)) + ".original";
}

std::string UpdateInfoFile() {
    const std::string name = FileNameOf(g_headerItem1);
    return name.empty() ? std::string() : ProgramFolder(true) + name;
}

std::string ReadableInstant(std::int64_t seconds) {
    return DayTimeStamp(" ", static_cast<double>(seconds) / 86400.0);
}

std::int64_t ProbeSecondsInterval() {
    return OriginalInt(kOriginal, "ProbeSecondsInterval");
}
void SetProbeSecondsInterval(std::int64_t value) {
    WriteOriginal("ProbeSecondsInterval", value);
}
std::int64_t ProbeSecondsLast() {
    return OriginalInt(kOriginal, "ProbeSecondsLast");
}
void SetProbeSecondsLast(std::int64_t value) {
    WriteInstant("ProbeSecondsLast", value);
}
std::int64_t ReAskSecondsInterval() {
    return OriginalInt(kOriginal, "ReAskSecondsInterval");
}
void SetReAskSecondsInterval(std::int64_t value) {
    WriteOriginal("ReAskSecondsInterval", value);
}
std::int64_t ReAskSecondsLast() {
    return OriginalInt(kOriginal, "ReAskSecondsLast");
}
void SetReAskSecondsLast(std::int64_t value) {
    WriteInstant("ReAskSecondsLast", value);
}
std::int64_t VersionOriginal() {
    return OriginalInt(kOriginal, "VersionOriginal");
}
void SetVersionOriginal(std::int64_t value) {
    WriteOriginal("VersionOriginal", value);
}
std::int64_t OriginalStamp() {
    return OriginalInt(kOriginal, "Stamp");
}
void SetOriginalStamp(std::int64_t value) {
    WriteOriginal("Stamp", value);
}
std::string OriginalProgramName() {
    return OriginalString(kOriginal, "ProgramName");
}
void SetOriginalProgramName(const std::string& value) {
    WriteIniString(OriginalSettingsFile(), kOriginal, "ProgramName", value);
}
std::string TargetDir() {
    return OriginalString("Directories", "TargetDir");
}
std::string SharedDir() {
    return OriginalString("Directories", "SharedDir");
}
std::string AuxiliaryDir() {
    return OriginalString("Directories", "AuxiliaryDir");
}
std::string StartUpLink() {
    return OriginalString("UnInstall", "StartUpLink");
}
std::string CheckforNewUpdateLink() {
    return OriginalString("UnInstall", "CheckforNewUpdateLink");
}
std::string MsgBoxBtnText() {
    return OriginalString("MsgBox", "BtnText", "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|");
}
std::string MsgBoxError() {
    return OriginalString("MsgBox", "Error", "Error");
}
std::string MsgBoxConfirm() {
    return OriginalString("MsgBox", "Confirm", "Confirm");
}
std::string MsgBoxAttention() {
    return OriginalString("MsgBox", "Attention", "Attention");
}
std::int64_t MsgBoxCharSet() {
    return OriginalInt("MsgBox", "CharSet");
}
std::string MsgBoxFontName() {
    return OriginalString("MsgBox", "FontName", "Tahoma");
}
std::int64_t MsgBoxFontSize() {
    return OriginalInt("MsgBox", "FontSize", 8);
}
std::string AutoUpdateText(const std::string& key, const std::string& def) {
    return ReadIniString(OriginalSettingsFile(), "AutoUpdate", key, def);
}

std::string DownloadURL_UPDATE() {
    return InfoString(kNewSetup, "DownloadURL_UPDATE");
}
std::string NameOfUpdateFile() {
    return InfoString(kNewSetup, "NameOfUpdateFile");
}
std::int64_t SizeOfUpdateFile() {
    return InfoInt(kNewSetup, "SizeOfUpdateFile");
}
bool RequestConfirmationBeforeDownload() {
    return Flag(2, "RequestConfirmationBeforeDownload");
}
bool RequestConfirmationBeforeInstall() {
    return Flag(3, "RequestConfirmationBeforeInstall");
}
bool BackgroundUpdate() {
    return Flag(4, "BackgroundUpdate");
}
bool InformFinish() {
    return Flag(5, "InformFinish");
}
bool RestartProcess() {
    return Flag(6, "RestartProcess");
}
bool RequestConfirmationBeforeDownloadForce() {
    return Flag(7, "RequestConfirmationBeforeDownloadForce");
}
bool RequestConfirmationBeforeInstallForce() {
    return Flag(8, "RequestConfirmationBeforeInstallForce");
}
std::string ShutDownMethod() {
    return InfoString(kNewSetup, "ShutDownMethod");
}
std::string RunningProcess() {
    return InfoString(kNewSetup, "RunningProcess");
}
std::string InfoProgramName() {
    return InfoString(kNewSetup, "ProgramName");
}
std::string ValidVersions() {
    return InfoString(kNewSetup, "ValidVersions");
}
std::int64_t VersionNew() {
    return InfoInt(kNewSetup, "VersionNew");
}
std::int64_t InfoStamp() {
    return InfoInt(kNewSetup, "Stamp");
}
bool RemoveStartUpShortcut() {
    return ReadIniString(UpdateInfoFile(), kNewSetup, "RemoveStartUpShortcut", "0") == "1";
}
bool RemoveCheckForNewUpdateShortcut() {
    return ReadIniString(UpdateInfoFile(), kNewSetup, "RemoveCheckForNewUpdateShortcut", "0") ==
           "1";
}
bool AutoInform() {
    return InfoInt("General", "AutoInform", 0) == 1;
}
std::string DownloadURL_INFORM() {
    return InfoString(kAutoInform, "DownloadURL_INFORM");
}
std::string NameOfInformFile() {
    return InfoString(kAutoInform, "NameOfInformFile");
}
std::int64_t SizeOfInformFile() {
    return InfoInt(kAutoInform, "SizeOfInformFile");
}
std::int64_t AutoInformW() {
    return InfoInt(kAutoInform, "AutoInformW", 360);
}
std::int64_t AutoInformH() {
    return InfoInt(kAutoInform, "AutoInformH", 360);
}

unsigned char Override(int number) {
    return number >= 1 && number <= 8 ? g_overrides[static_cast<std::size_t>(number - 1)] : 255;
}

void SetOverride(int number, unsigned char value) {
    if (number >= 1 && number <= 8)
        g_overrides[static_cast<std::size_t>(number - 1)] = value;
}

bool OverrideOne() {
    return Override(1) == 1;
}

std::string OverridesText() {
    std::string text = "|";
    for (unsigned char o : g_overrides)
        text += std::to_string(o) + "|";
    return text;
}

void SetOverridesFromText(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty())
        return;
    // Given bare ("1|0|..."), the text gets its delimiters around it.
    const char first = t.front();
    const bool delimited = t.size() > 1 && first == t.back() && !(first >= '0' && first <= '9');
    const std::string list = delimited ? t : "|" + t + "|";
    for (int i = 0; i < 8; ++i) {
        const std::int64_t v = ParseInt64(SUB::Field(list, i), -1);
        if (v >= 0 && v <= 255)
            g_overrides[static_cast<std::size_t>(i)] = static_cast<unsigned char>(v);
    }
}

void ResetOverrides() {
    g_overrides.fill(255);
}
