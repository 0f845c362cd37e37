#include "startup/placeholders.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/process.h"
#include "startup/folders.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/processes.h"
#include "util/services.h"
#include "util/sub.h"
#include "util/text.h"

namespace {

const char kSep = plat::kPathSeparator;

std::string Two(int v) {
    return ZeroPad(v, 2);
}

bool IsFolder(const std::string& path) {
    return !path.empty() && plat::path_kind(path) == plat::PathKind::Folder;
}

std::string Registry(const std::string& key, const std::string& name) {
    return ReadRegistryValue(key, name, "", Is64BitWindows());
}

// The 16-bit system folder: the system folder without its last "32", the
// Windows folder's "System", or the system folder.
std::string System16Folder() {
    const std::string system = SystemFolder(false);
    const std::size_t at = system.rfind("32");
    if (at != std::string::npos) {
        const std::string without = system.substr(0, at) + system.substr(at + 2);
        if (IsFolder(without))
            return without;
    }
    const std::string windowsSystem = WindowsFolder(true) + "System";
    return IsFolder(windowsSystem) ? windowsSystem : system;
}

std::string FontsFolder() {
    const std::string fonts =
        Registry("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                 "Shell Folders",
                 "Fonts");
    return IsFolder(fonts) ? fonts : WindowsFolder(true) + "Fonts";
}

// The drive part of a folder: "C:\" (three characters) or "C:" (two); a
// POSIX path's root is "/" or nothing.
std::string DrivePart(const std::string& folder, std::size_t count) {
    if (!folder.empty() && folder[0] == '/')
        return count == 3 ? "/" : "";
    return folder.substr(0, count);
}

bool ContainsRelative(const std::string& text) {
    for (const char* pair : {"\\..", "..\\", "/..", "../"})
        if (text.find(pair) != std::string::npos)
            return true;
    return false;
}

} // namespace

std::string DateTokenText(char c, int year, int month, int day, int hour, int minute, int second,
                          const std::string& dateSep, const std::string& timeSep) {
    static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    const std::string yy = Two(year % 100), yyyy = ZeroPad(year, 4);
    const std::string mm = Two(month), dd = Two(day);
    switch (c) {
    case '#':
        return dd + dateSep + (month >= 1 && month <= 12 ? kMonths[month - 1] : "") + dateSep +
               yyyy;
    case '0': {
        const double days =
            EncodeDate(year, month, day, hour, minute, second) - EncodeDate(2000, 1, 1);
        return std::to_string(static_cast<long long>(days));
    }
    case '1':
        return dd + "-" + mm + "-" + yy;
    case '2':
        return mm + "-" + dd + "-" + yy;
    case '3':
        return yy + "-" + mm + "-" + dd;
    case '4':
        return dd + "-" + mm + "-" + yyyy;
    case '5':
        return mm + "-" + dd + "-" + yyyy;
    case '6':
        return yyyy + "-" + mm + "-" + dd;
    case '7':
        return yyyy + "-" + mm + "-" + dd + " " + Two(hour) + timeSep + Two(minute) + timeSep +
               Two(second);
    default:
        return std::string();
    }
}

std::string ReplaceFolderToken(const std::string& text, const std::string& token,
                               const std::string& value, const std::string& trailing) {
    const std::size_t pos = PosCi(token, text);
    if (pos == 0)
        return text;
    const std::size_t after = pos - 1 + token.size();
    bool plain = after >= text.size();
    if (!plain) {
        const char c = text[after];
        const bool endsItem = c == text.front() && c == text.back() && c != '<' &&
                              !std::isalpha(static_cast<unsigned char>(c));
        plain = c == ' ' || endsItem;
    }
    return ReplaceAllCi(text, token, plain ? value : value + trailing);
}

std::string CollapseBackslashes(const std::string& text) {
    if (text.size() < 2)
        return text;
    const char first = text[0];
    const bool list = text.front() == text.back();
    std::string rest = text.substr(1);
    for (std::size_t i = rest.size() >= 2 ? rest.size() - 2 : 0; i >= 1; --i) {
        if (rest[i] == '\\' && rest[i + 1] == '\\') {
            const unsigned char before = static_cast<unsigned char>(rest[i - 1]);
            const bool keep = plat::is_lead_byte(before) || (list && rest[i - 1] == first);
            if (!keep)
                rest.erase(i, 1);
        }
        if (i == 1)
            break;
    }
    if (rest.size() >= 2 && rest[0] == '\\' && rest[1] == '\\')
        rest.erase(0, 1);
    return std::string(1, first) + rest;
}

std::string ExpandPlaceholders(const std::string& text, const std::string& trailing,
                               bool expandRelative, bool withFolders) {
    std::string t = text;
    if (t.find('<') != std::string::npos) {
        // The date token, first occurrence only.
        const std::size_t date = PosCi("<Date=", t);
        if (date != 0 && t.find('>', date) != std::string::npos && date + 6 <= t.size()) {
            const std::size_t at = date - 1 + 6;
            const char c = at < t.size() ? t[at] : '\0';
            if (c == '#' || (c >= '0' && c <= '7')) {
                const std::string token = t.substr(date - 1, 6) + c + ">";
                const std::size_t found = PosCi(token, t);
                if (found != 0) {
                    const plat::LocalTime now = plat::local_now();
                    t.replace(found - 1, token.size(),
                              DateTokenText(c, now.year, now.month, now.day, now.hour, now.minute,
                                            now.second, plat::date_separator(),
                                            plat::time_separator()));
                }
            }
        }

        // Value tokens; the setup program's own values are not Stub's.
        const struct {
            const char* token;
            std::string (*value)();
        } kValues[] = {
            {"<LoggedUserName>", LoggedUserName},       {"<UserName>", RegisteredOwner},
            {"<CompanyName>", RegisteredOrganization},  {"<ComputerName>", ComputerName},
            {"<CurrentDomainName>", CurrentDomainName},
        };
        for (const auto& v : kValues)
            if (PosCi(v.token, t))
                t = ReplaceAllCi(t, v.token, v.value());
        t = ReplaceAllCi(t, "<LastExecutableExitCode>", "0");
        t = ReplaceAllCi(t, "<ReqFreeDiskSpaceMB>", "0");
        for (const char* gone :
             {"<EnteredUserName>", "<EnteredCompanyName>", "<EnteredStartProgramMenu>",
              "<VendorCompanyName>", "<ProjectName>", "<ProgramDescriptiveName>",
              "<ProgramVersion>", "<SelectedLanguage>"})
            t = ReplaceAllCi(t, gone, "");

        if (withFolders) {
            const std::string before = t;
            const auto folder = [&](const std::string& token, const std::string& value) {
                if (PosCi(token, t))
                    t = ReplaceFolderToken(t, token, WithBackslash(value, false), trailing);
            };
            t = ReplaceAllCi(t, "<UnInstallExePath>", "");
            if (PosCi("<RunTimeDir_", t))
                for (int n = 1; n <= 8; ++n)
                    folder("<RunTimeDir_" + std::to_string(n) + ">", "");
            folder("<Application Folder>", ApplicationFolder());
            folder("<Common Folder>", CommonFolder());
            folder("<Auxiliary Folder>", AuxiliaryFolder());
            folder("<Windows Directory>", WindowsFolder(false));
            folder("<System Directory>", SystemFolder(false));
            if (PosCi("<System16 Directory>", t))
                folder("<System16 Directory>", System16Folder());
            if (t != before)
                for (const char* gone : {"<InstallDir>", "<InstallCommonDir>", "<InstallAuxDir>"})
                    t = ReplaceAllCi(t, gone, "");
            t = ReplaceAllCi(t, "<AbsoluteDir>", "");
            folder("<InstallDir>", ApplicationFolder());
            folder("<InstallCommonDir>", CommonFolder());
            folder("<InstallAuxDir>", AuxiliaryFolder());
            folder("<WinDir>", WindowsFolder(false));
            folder("<WinSysDir>", SystemFolder(false));
            folder("<WinSys32Dir>", SystemFolder(false));
            if (PosCi("<WinSys16Dir>", t))
                folder("<WinSys16Dir>", System16Folder());
            const struct {
                const char* token3;
                const char* token2;
                std::string value;
            } kDrives[] = {
                {"<InstallDrive>", "<InstallDisk>", ApplicationFolder()},
                {"<WinDrive>", "<WinDisk>", WindowsFolder(false)},
                {"<WinSysDrive>", "<WinSysDisk>", SystemFolder(false)},
                {"<OriginDrive>", "<OriginDisk>", OriginFolder()},
            };
            for (const auto& d : kDrives) {
                t = ReplaceAllCi(t, d.token3, DrivePart(d.value, 3));
                t = ReplaceAllCi(t, d.token2, DrivePart(d.value, 2));
            }
            if (PosCi("<StartMenuDir>", t))
                folder("<StartMenuDir>",
                       Registry("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                                "Explorer\\Shell Folders",
                                "Start Menu"));
            if (PosCi("<ProgramFilesDir>", t))
                folder("<ProgramFilesDir>",
                       Registry("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                "ProgramFilesDir"));
            if (PosCi("<CommonFilesDir>", t))
                folder("<CommonFilesDir>",
                       Registry("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                "CommonFilesDir"));
            if (PosCi("<FontDir>", t))
                folder("<FontDir>", FontsFolder());
            folder("<SrcDir>", ProgramFolder(false));
            if (PosCi("<OriginDir>", t))
                folder("<OriginDir>", OriginFolder());
            folder("<TempDir>", TempFolder(false));
            folder("<ServiceDir>", ProgramFolder(false));
            const struct {
                const char* token;
                SpecialFolder id;
            } kShell[] = {
                {"<UserDir>", SpecialFolder::User},
                {"<UserAppDataDir>", SpecialFolder::UserAppData},
                {"<UserLocalAppDataDir>", SpecialFolder::UserLocalAppData},
                {"<MyDocumentsDir>", SpecialFolder::MyDocuments},
                {"<UserStartMenuDir>", SpecialFolder::UserStartMenu},
                {"<UserStartProgramMenuDir>", SpecialFolder::UserStartProgramMenu},
                {"<UserDesktopDir>", SpecialFolder::UserDesktop},
                {"<DocumentsAndSettingsDir>", SpecialFolder::DocumentsAndSettings},
                {"<AllUsersDir>", SpecialFolder::AllUsers},
                {"<AllUsersAppDataDir>", SpecialFolder::AllUsersAppData},
                {"<AllUsersDocumentsDir>", SpecialFolder::AllUsersDocuments},
                {"<AllUsersStartMenuDir>", SpecialFolder::AllUsersStartMenu},
                {"<AllUsersStartProgramMenuDir>", SpecialFolder::AllUsersStartProgramMenu},
                {"<AllUsersDesktopDir>", SpecialFolder::AllUsersDesktop},
            };
            for (const auto& s : kShell)
                if (PosCi(s.token, t))
                    folder(s.token, SpecialFolderPath(s.id, false));
            if (t != before)
                t = CollapseBackslashes(t);
        }
    }

    if (expandRelative && ContainsRelative(t)) {
        if (t[0] == ',' || t[0] == '|') {
            const char d = t[0];
            std::string out(1, d);
            for (const std::string& item : SUB::Fields(t.back() == d ? t : t + d))
                out += (ContainsRelative(item) ? plat::full_path(item) : item) + d;
            t = out;
        } else {
            t = plat::full_path(t);
        }
    }
    return t;
}
