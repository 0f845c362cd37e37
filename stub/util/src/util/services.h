// Services every part of Stub uses: message-pumping waits, the millisecond
// clock, date stamps, version texts, settings files, registry reads and a few
// system helpers.
#ifndef STUB_UTIL_SERVICES_H
#define STUB_UTIL_SERVICES_H

#include <cstdint>
#include <string>

// Dispatches every pending message of the thread, then sleeps ms.
void YieldX(std::uint32_t ms);
// Pumps in slices until totalMs have passed (at least one slice).
void YieldWait(std::uint32_t slice, std::uint32_t totalMs);
// The slice YieldWait uses for a slice argument of 0.
std::uint32_t YieldSlice(std::uint32_t slice, std::uint32_t totalMs);

std::uint64_t MilliClock();

// Dates are days since 1899-12-30 00:00 local time, the fraction being the
// time of day; -1 stands for now.
double NowDate();
double EncodeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
std::string DayStamp(double date = -1);
std::string DayTimeStamp(const std::string& separator, double date = -1);
std::string RunLogStamp(double date = -1);
// Stamps with explicit regional separators (the ones above use the user's).
std::string RunLogStampSep(double date, const std::string& dateSep, const std::string& timeSep);

std::string GetExeVersion(const std::string& file = "", int digits = 1, int count = 4);
std::string GetProductVersion(const std::string& file = "", int digits = 1, int count = 4);
std::string NormalizeVersion(const std::string& version, int digits, int count);

std::string ReadIniString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& def);
std::int64_t ReadIniInt64(const std::string& file, const std::string& section,
                          const std::string& key, std::int64_t def);
bool WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);
bool WriteIniInt64(const std::string& file, const std::string& section, const std::string& key,
                   std::int64_t value);

std::string ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                              const std::string& def, bool view64 = false);

std::string SystemErrorText();
bool DeveloperFlag();
void SetAutoPlayCancel(bool on);
// The registered "QueryCancelAutoPlay" message, 0 when switched off.
std::uint32_t AutoPlayCancelMessage();
bool ShellOpen(const std::string& file, const std::string& params, int show);
void* LookupFunction(const std::string& library, const std::string& name);

#endif
