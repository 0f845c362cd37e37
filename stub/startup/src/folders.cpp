#include "startup/folders.h"

#include <fstream>

#include "platform/files.h"
#include "startup/switches.h"
#include "util/files.h"
#include "util/numbers.h"
#include "util/paths.h"
#include "util/text.h"

namespace {

const char kSep = plat::kPathSeparator;

bool IsFolder(const std::string& path) {
    return plat::path_kind(path) == plat::PathKind::Folder;
}

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A new folder exactly at path (parents made as needed); false when the
// name is taken.
bool MakeNew(const std::string& path) {
    const std::string parent = ParentOf(path);
    if (!parent.empty() && !IsFolder(parent) && !ForceFolders(parent))
        return false;
    return plat::make_folder(path, true);
}

std::string g_application, g_common, g_auxiliary;

} // namespace

std::string MakeFreshFolder(const std::string& base) {
    for (int n = 1; n <= 1000; ++n) {
        const std::string name = n == 1 ? base : base + "_" + std::to_string(n);
        if (MakeNew(name))
            return name;
        // Only a taken name is worth another try.
        if (plat::path_kind(name) == plat::PathKind::None)
            return std::string();
    }
    return std::string();
}

std::string ChooseAlternativeRoot(
    const std::string& temp, const std::vector<std::string>& bases,
    const std::function<double(const std::string&)>& freeSpace,
    const std::function<bool(const std::string&, const std::string&)>& sameVolume) {
    std::vector<double> free(bases.size(), -1);
    for (std::size_t i = 0; i < bases.size(); ++i) {
        const std::string& base = bases[i];
        std::string probe;
        if (IsFolder(base)) {
            for (int tries = 0; tries < 20 && probe.empty(); ++tries) {
                const std::string name =
                    base + kSep + "TEMP" + std::to_string(RandomRange(10000, 100000));
                if (MakeNew(name))
                    probe = name;
            }
        } else if (MakeNew(base)) {
            probe = base;
        }
        if (probe.empty())
            continue;
        const std::string file = probe + kSep + "~aa.tmp";
        WriteWholeFile(file, "aa", 0, false);
        if (FileSize64(file) == 2)
            free[i] = freeSpace(probe);
        RemoveTree(probe, true);
    }
    int best = -1;
    double most = 0;
    for (std::size_t i = 0; i < bases.size(); ++i) {
        if (free[i] > most) {
            most = free[i];
            best = static_cast<int>(i);
        }
    }
    // The temporary folder's own volume is the usual place, no alternative.
    if (best < 0 || sameVolume(bases[static_cast<std::size_t>(best)], temp))
        return std::string();
    const std::string& base = bases[static_cast<std::size_t>(best)];
    return IsFolder(base) ? base + kSep + "TEMP" : base;
}

WorkFolders::WorkFolders(std::string temp, std::string programFile)
    : bases(plat::alternative_temp_bases()), freeSpace(FreeDiskSpace),
      sameVolume(plat::same_volume), m_temp(WithBackslash(temp, false)),
      m_program(std::move(programFile)) {}

std::string WorkFolders::Extraction() {
    if (m_extraction.empty()) {
        const std::uint32_t stamp = FileDosDateTime(m_program) & 0xFFFF;
        const std::string base = m_temp + kSep + "SETUP_" + std::to_string(stamp);
        m_extraction = MakeFreshFolder(base);
        m_extractionMade = !m_extraction.empty();
        // A folder that could not be made is reported by the extraction.
        if (m_extraction.empty())
            m_extraction = base;
    }
    return m_extraction;
}

void WorkFolders::RemoveExtraction() {
    // Once gone, the next package run of this process (an agent installing
    // a second update) makes a fresh folder of its own.
    if (m_extractionMade && RemoveTree(m_extraction, true)) {
        m_extractionMade = false;
        m_extraction.clear();
    }
}

std::string WorkFolders::AlternativeRoot() {
    if (!m_rootChosen) {
        m_rootChosen = true;
        m_root = ChooseAlternativeRoot(m_temp, bases, freeSpace, sameVolume);
    }
    return m_root;
}

bool WorkFolders::AlternativeTempDrive() {
    return !AlternativeRoot().empty();
}

std::string WorkFolders::Alternative() {
    if (m_alternative.empty() && !AlternativeRoot().empty()) {
        // A taken number is never deleted: another one is drawn.
        for (int tries = 0; tries < 50 && m_alternative.empty(); ++tries) {
            const std::string name = m_root + "_" + std::to_string(RandomRange(10000, 100000));
            if (MakeNew(name))
                m_alternative = name;
        }
        m_alternativeMade = !m_alternative.empty();
    }
    return m_alternative;
}

void WorkFolders::RemoveAlternative() {
    if (m_alternativeMade && RemoveTree(m_alternative, true))
        m_alternativeMade = false;
}

WorkFolders& ProcessFolders() {
    static WorkFolders folders(TempFolder(false), ProgramPath());
    return folders;
}

std::string ExtractionFolder() {
    return ProcessFolders().Extraction();
}

void RemoveExtractionFolder() {
    ProcessFolders().RemoveExtraction();
}

bool AlternativeTempDrive() {
    return ProcessFolders().AlternativeTempDrive();
}

std::string AlternativeFolder() {
    return ProcessFolders().Alternative();
}

void RemoveAlternativeFolder() {
    ProcessFolders().RemoveAlternative();
}

std::string OriginProgram() {
    static const std::string origin = [] {
        const std::string given = Unquote(SwitchValue("/OriginExe=", ""));
        return given.empty() ? ProgramPath() : given;
    }();
    return origin;
}

std::string OriginFolder() {
    const std::string folder = ParentOf(OriginProgram());
    return folder.empty() ? ProgramFolder(false) : folder;
}

void SetProductFolders(const std::string& application, const std::string& common,
                       const std::string& auxiliary) {
    g_application = application;
    g_common = common;
    g_auxiliary = auxiliary;
}

std::string ApplicationFolder() {
    return g_application;
}

std::string CommonFolder() {
    return g_common;
}

std::string AuxiliaryFolder() {
    return g_auxiliary;
}
