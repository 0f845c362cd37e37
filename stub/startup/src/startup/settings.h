// Stub's two settings files beside the program: the ".original" file of the
// installed package and the update information file the agent downloads,
// each key with its accessor; the eight transient overrides of the agent's
// confirmation settings.
#ifndef STUB_STARTUP_SETTINGS_H
#define STUB_STARTUP_SETTINGS_H

#include <array>
#include <cstdint>
#include <string>

// Header item 1 of the running program's container names both files; set
// once at start. The accessors build the paths from it on every call.
void SetSettingsSource(const std::string& headerItem1);
// The program folder + header item 1's base name + ".original".
std::string OriginalSettingsFile();
// The program folder + header item 1's file name.
std::string UpdateInfoFile();

// "dd-MMM-yyyy HH:NN:SS" of an instant in seconds since 1899-12-30.
std::string ReadableInstant(std::int64_t seconds);

// [OriginalSetup]
std::int64_t ProbeSecondsInterval();
void SetProbeSecondsInterval(std::int64_t value);
std::int64_t ProbeSecondsLast();
// Also writes the readable copy "__ProbeSecondsLast".
void SetProbeSecondsLast(std::int64_t value);
std::int64_t ReAskSecondsInterval();
void SetReAskSecondsInterval(std::int64_t value);
std::int64_t ReAskSecondsLast();
// Also writes the readable copy "__ReAskSecondsLast".
void SetReAskSecondsLast(std::int64_t value);
std::int64_t VersionOriginal();
void SetVersionOriginal(std::int64_t value);
std::int64_t OriginalStamp();
void SetOriginalStamp(std::int64_t value);
std::string OriginalProgramName();
void SetOriginalProgramName(const std::string& value);
// [Directories]
std::string TargetDir();
std::string SharedDir();
std::string AuxiliaryDir();
// [UnInstall]
std::string StartUpLink();
std::string CheckforNewUpdateLink();
// [MsgBox]
std::string MsgBoxBtnText();
std::string MsgBoxError();
std::string MsgBoxConfirm();
std::string MsgBoxAttention();
std::int64_t MsgBoxCharSet();
std::string MsgBoxFontName();
std::int64_t MsgBoxFontSize();
// [AutoUpdate]: the agent's own texts.
std::string AutoUpdateText(const std::string& key, const std::string& def);

// The update information file.
std::string DownloadURL_UPDATE();
std::string NameOfUpdateFile();
std::int64_t SizeOfUpdateFile();
bool RequestConfirmationBeforeDownload();      // override 2
bool RequestConfirmationBeforeInstall();       // override 3
bool BackgroundUpdate();                       // override 4
bool InformFinish();                           // override 5
bool RestartProcess();                         // override 6
bool RequestConfirmationBeforeDownloadForce(); // override 7
bool RequestConfirmationBeforeInstallForce();  // override 8
std::string ShutDownMethod();
std::string RunningProcess();
std::string InfoProgramName();
std::string ValidVersions();
std::int64_t VersionNew();
std::int64_t InfoStamp();
bool RemoveStartUpShortcut();
bool RemoveCheckForNewUpdateShortcut();
bool AutoInform();
std::string DownloadURL_INFORM();
std::string NameOfInformFile();
std::int64_t SizeOfInformFile();
std::int64_t AutoInformW();
std::int64_t AutoInformH();

// Overrides 1..8: 255 (the start value) means "read the key", 1 true, any
// other value false. Override 1 has no key.
unsigned char Override(int number);
void SetOverride(int number, unsigned char value);
bool OverrideOne();
// "|o1|o2|...|o8|".
std::string OverridesText();
// From the "/TRANSIENTx=" text: a separated list of eight numbers (with or
// without its delimiters); an item that is not a number 0..255 keeps its
// override.
void SetOverridesFromText(const std::string& text);
void ResetOverrides();

#endif
