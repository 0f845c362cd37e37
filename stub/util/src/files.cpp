#include "util/files.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/files.h"
#include "platform/locale.h"
#include "util/debug.h"
#include "util/paths.h"
#include "util/processes.h"
#include "util/services.h"
#include "util/text.h"

namespace {

const char kSep = plat::kPathSeparator;

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return (folder.back() == '\\' || folder.back() == '/') ? folder + name : folder + kSep + name;
}

std::string StripSeparator(std::string path) {
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') &&
           !(path.size() == 3 && path[1] == ':'))
        path.pop_back();
    return path;
}

std::string ParentOf(const std::string& path) {
    const std::string p = StripSeparator(path);
    const std::size_t slash = p.find_last_of("\\/");
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? p.substr(0, 1) : p.substr(0, slash);
}

char Fold(char c) {
    return plat::kNamesIgnoreCase ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                                  : c;
}

// The tree below folder; links and junctions are removed, never entered.
void RemoveContents(const std::string& folder, bool clearAttributes, const FileProgress& progress,
                    int depth) {
    std::vector<plat::FolderEntry> entries;
    if (depth > 256 || !plat::list_folder(folder, entries))
        return;
    for (const plat::FolderEntry& e : entries) {
        const std::string path = Join(folder, e.name);
        if (e.kind == plat::PathKind::File)
            plat::remove_file(path, clearAttributes);
        else if (e.kind == plat::PathKind::Link && !plat::remove_file(path, clearAttributes))
            plat::remove_folder(path); // a junction or a link to a folder
    }
    for (const plat::FolderEntry& e : entries) {
        if (e.kind != plat::PathKind::Folder)
            continue;
        if (progress) {
            bool stop = false;
            progress(1, 0, 0, stop, 0, 0);
            if (stop)
                return;
        }
        const std::string path = Join(folder, e.name);
        RemoveContents(path, clearAttributes, nullptr, depth + 1);
        plat::remove_folder(path);
    }
}

std::string ProfileBase() {
    // POSIX keeps the user's files below the home folder.
    if (kSep == '/') {
        const char* home = std::getenv("HOME");
        return home && *home ? home : "/";
    }
    const std::string base = Join(Join(WindowsFolder(false), "Profiles"), RegisteredOwner());
    return plat::path_kind(base) == plat::PathKind::Folder ? base : WindowsFolder(false);
}

bool IsFolder(const std::string& path) {
    return !path.empty() && plat::path_kind(path) == plat::PathKind::Folder;
}

// The first choice that names an existing folder; the last one otherwise.
std::string FirstExisting(const std::vector<std::string>& choices) {
    for (const std::string& c : choices)
        if (IsFolder(c))
            return c;
    return choices.empty() ? std::string() : choices.back();
}

std::string WindowsKey() {
    return std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\") +
           (IsNT() ? "Windows NT" : "Windows") + "\\CurrentVersion";
}

} // namespace

double FreeDiskSpace(const std::string& path) {
    return plat::free_disk_space(path);
}

bool ReadFilePart(const std::string& path, std::uint64_t maxLen, std::string& out,
                  std::uint64_t offset) {
    out.clear();
    std::uint64_t size = 0;
    if (!plat::file_size(path, size) || offset > size)
        return false;
    std::uint64_t want = size - offset;
    if (maxLen != 0 && maxLen < want)
        want = maxLen;
    std::ifstream in(path, std::ios::binary);
    std::string data(static_cast<std::size_t>(want), '\0');
    if (!in || !in.seekg(static_cast<std::streamoff>(offset)) ||
        !in.read(&data[0], static_cast<std::streamsize>(data.size())))
        return false;
    out.swap(data);
    return true;
}

std::size_t WriteChunkSize(std::size_t length, bool withProgress) {
    if (!withProgress && length <= 1048576)
        return 0;
    std::size_t chunk = length / 10;
    if (chunk > 1048576)
        chunk = 1048576;
    if (length / 10 <= 1024)
        chunk = length < 1024 ? length : 1024;
    return chunk;
}

bool WriteWholeFile(const std::string& path, const std::string& data, std::uint32_t dosDate,
                    bool append, const FileProgress& progress) {
    const bool exists = plat::path_kind(path) == plat::PathKind::File;
    FILE* f = std::fopen(path.c_str(), append && exists ? "ab" : "wb");
    if (!f)
        return false;
    const std::size_t length = data.size();
    const std::size_t chunk = WriteChunkSize(length, static_cast<bool>(progress));
    std::size_t written = 0;
    if (chunk == 0) {
        written = length == 0 ? 0 : std::fwrite(data.data(), 1, length, f);
    } else {
        bool stop = false;
        if (progress)
            progress(0, 0, static_cast<std::int64_t>(length), stop, 1, 0);
        while (written < length && !stop) {
            const std::size_t n = length - written < chunk ? length - written : chunk;
            const std::size_t done = std::fwrite(data.data() + written, 1, n, f);
            written += done;
            if (progress)
                progress(0, 0, static_cast<std::int64_t>(length), stop, 1,
                         static_cast<std::int64_t>(written));
            if (done == 0)
                break;
        }
    }
    const bool closed = std::fclose(f) == 0;
    const bool complete = closed && written == length;
    if (complete && dosDate != 0)
        plat::set_file_local_time(path, UnpackDosDateTime(dosDate));
    return complete;
}

bool AppendToFile(const std::string& path, const std::string& data, std::uint32_t dosDate) {
    return WriteWholeFile(path, data, dosDate, true);
}

std::uint64_t FileSize64(const std::string& path) {
    std::uint64_t size = 0;
    return plat::file_size(path, size) ? size : 0;
}

bool MatchesMask(const std::string& name, const std::string& pattern) {
    // Iterative matching with one back-track point for the last "*".
    std::size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool DeleteByMask(const std::string& mask, bool clearAttributes) {
    const std::size_t slash = mask.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "." : mask.substr(0, slash);
    const std::string pattern = slash == std::string::npos ? mask : mask.substr(slash + 1);
    std::vector<plat::FolderEntry> entries;
    if (pattern.empty() ||
        !plat::list_folder(folder.empty() ? std::string(1, kSep) : folder, entries))
        return false;
    bool any = false;
    for (const plat::FolderEntry& e : entries) {
        if (e.kind == plat::PathKind::Folder || !MatchesMask(e.name, pattern))
            continue;
        const std::string path = Join(folder, e.name);
        if (plat::remove_file(path, clearAttributes) ||
            (e.kind == plat::PathKind::Link && plat::remove_folder(path)))
            any = true;
    }
    return any;
}

bool RemoveTree(const std::string& folder, bool clearAttributes, const FileProgress& progress) {
    const std::string f = StripSeparator(folder);
    switch (plat::path_kind(f)) {
    case plat::PathKind::Link:
        // Given a link, the link goes; what it points to is not ours.
        if (!plat::remove_file(f, clearAttributes))
            plat::remove_folder(f);
        return plat::path_kind(f) == plat::PathKind::None;
    case plat::PathKind::Folder:
        RemoveContents(f, clearAttributes, progress, 0);
        plat::remove_folder(f);
        return plat::path_kind(f) == plat::PathKind::None;
    default:
        return false;
    }
}

bool CopyProgramFile(const std::string& from, const std::string& to) {
    std::string data;
    plat::LocalTime stamp;
    if (!ReadFilePart(from, 0, data, 0) || !plat::file_local_time(from, stamp))
        return false;
    // Written beside the target and renamed, so that a failed copy never
    // leaves half a program under the target's name.
    const std::string temp = to + ".part";
    if (!WriteWholeFile(temp, data, 0, false) || !plat::set_file_local_time(temp, stamp) ||
        !plat::make_executable(temp)) {
        plat::remove_file(temp, true);
        return false;
    }
    plat::remove_file(to, true);
    if (std::rename(temp.c_str(), to.c_str()) != 0) {
        plat::remove_file(temp, true);
        return false;
    }
    return true;
}

bool ForceFolders(const std::string& folder) {
    const std::string f = StripSeparator(folder);
    if (f.empty())
        return false;
    if (IsFolder(f))
        return true;
    const std::string parent = ParentOf(f);
    if (!parent.empty() && parent != f && !IsFolder(parent) && !ForceFolders(parent))
        return false;
    plat::make_folder(f, false);
    return IsFolder(f);
}

bool DeleteMySelf(bool removeFolder) {
    return plat::delete_after_exit(ProgramPath(), removeFolder ? ProgramFolder(false) : "");
}

bool EjectCD(const std::string& path) {
    try {
        if (path.empty())
            return false;
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        if (letter < 'A' || letter > 'Z' ||
            plat::drive_type(std::string(1, letter) + ":\\") != plat::DRIVE_TYPE_CDROM)
            return false;
        const std::string device = std::string("\\\\.\\") + letter + ":";
        std::intptr_t volume = plat::open_volume(letter, true);
        DebugLine("EjectCD-2: " + device + " " + std::to_string(volume));
        if (volume == -1)
            volume = plat::open_volume(letter, false);
        DebugLine("EjectCD-3: " + device + " " + std::to_string(volume));
        const bool ok = plat::eject_volume(volume);
        plat::close_volume(volume);
        return ok;
    } catch (...) {
        return false;
    }
}

std::uint32_t PackDosDateTime(const plat::LocalTime& t) {
    if (t.year < 1980 || t.year > 2107)
        return 0;
    const std::uint32_t date =
        static_cast<std::uint32_t>(((t.year - 1980) << 9) | (t.month << 5) | t.day);
    const std::uint32_t time =
        static_cast<std::uint32_t>((t.hour << 11) | (t.minute << 5) | (t.second / 2));
    return (date << 16) | time;
}

plat::LocalTime UnpackDosDateTime(std::uint32_t dos) {
    plat::LocalTime t;
    const std::uint32_t date = dos >> 16, time = dos & 0xFFFF;
    t.year = static_cast<int>((date >> 9) + 1980);
    t.month = static_cast<int>((date >> 5) & 15);
    t.day = static_cast<int>(date & 31);
    t.hour = static_cast<int>(time >> 11);
    t.minute = static_cast<int>((time >> 5) & 63);
    t.second = static_cast<int>((time & 31) * 2);
    return t;
}

std::uint32_t FileDosDateTime(const std::string& path) {
    plat::LocalTime t;
    return plat::file_local_time(path, t) ? PackDosDateTime(t) : 0;
}

std::string SpecialFolderPath(SpecialFolder folder, bool add) {
    const auto in = [](const std::string& base, const char* name) { return Join(base, name); };
    const auto shell = [](int csidl) { return plat::special_folder(csidl); };
    std::string path;
    switch (folder) {
    case SpecialFolder::MyDocuments:
        path = FirstExisting({shell(0x8005), in(ProfileBase(), "My Documents")});
        break;
    case SpecialFolder::UserAppData:
        path = FirstExisting({shell(0x801A), in(ProfileBase(), "Application Data")});
        break;
    case SpecialFolder::UserLocalAppData:
        path = FirstExisting({shell(0x801C), in(ProfileBase(), "Application Data")});
        break;
    case SpecialFolder::AllUsersAppData:
        path = FirstExisting({shell(0x8023), in(WindowsFolder(false), "Application Data")});
        break;
    case SpecialFolder::AllUsersDocuments:
        path = FirstExisting({shell(0x802E), in(WindowsFolder(false), "Documents")});
        break;
    case SpecialFolder::User:
        path = FirstExisting({ParentOf(shell(0x8005)), ProfileBase()});
        break;
    case SpecialFolder::DocumentsAndSettings:
        path = FirstExisting({ParentOf(ParentOf(shell(0x8005))), ProfileBase()});
        break;
    case SpecialFolder::AllUsers:
        path = FirstExisting({ParentOf(shell(0x8023)), WindowsFolder(false)});
        break;
    case SpecialFolder::UserStartMenu:
        path = FirstExisting({shell(11),
                              in(SpecialFolderPath(SpecialFolder::User, false), "Start Menu"),
                              in(SpecialFolderPath(SpecialFolder::AllUsers, false), "Start Menu")});
        break;
    case SpecialFolder::AllUsersStartMenu:
        path = FirstExisting(
            {shell(22), in(SpecialFolderPath(SpecialFolder::AllUsers, false), "Start Menu")});
        break;
    case SpecialFolder::UserStartProgramMenu: {
        const std::string menu = std::string("Start Menu") + kSep + "Programs";
        path = FirstExisting({shell(2),
                              in(SpecialFolderPath(SpecialFolder::User, false), menu.c_str()),
                              in(SpecialFolderPath(SpecialFolder::AllUsers, false), menu.c_str())});
        break;
    }
    case SpecialFolder::AllUsersStartProgramMenu: {
        const std::string menu = std::string("Start Menu") + kSep + "Programs";
        path = FirstExisting(
            {shell(23), in(SpecialFolderPath(SpecialFolder::AllUsers, false), menu.c_str())});
        break;
    }
    case SpecialFolder::UserDesktop:
        path =
            FirstExisting({shell(16), in(SpecialFolderPath(SpecialFolder::User, false), "Desktop"),
                           in(SpecialFolderPath(SpecialFolder::AllUsers, false), "Desktop")});
        break;
    case SpecialFolder::AllUsersDesktop:
        path = FirstExisting(
            {shell(25), in(SpecialFolderPath(SpecialFolder::AllUsers, false), "Desktop")});
        break;
    }
    return WithBackslash(path, add);
}

std::string LoggedUserName() {
    return Trim(plat::user_name());
}

std::string ComputerName() {
    return Trim(plat::computer_name());
}

std::string RegisteredOwner() {
    // An empty value names nobody either.
    const std::string owner =
        Trim(ReadRegistryValue(WindowsKey(), "RegisteredOwner", "", Is64BitWindows()));
    return owner.empty() ? LoggedUserName() : owner;
}

std::string RegisteredOrganization() {
    return Trim(ReadRegistryValue(WindowsKey(), "RegisteredOrganization", "", Is64BitWindows()));
}

std::string CurrentDomainName() {
    return Trim(plat::user_domain());
}
