// Where Stub works: the extraction folder in the temporary folder, the
// alternative folder on another drive when the temporary drive is short of
// space, the origin of the running copy and the agent's product folders.
#ifndef STUB_STARTUP_FOLDERS_H
#define STUB_STARTUP_FOLDERS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The folders of one package run. Every folder is made by this object
// itself, exclusively and owner-only, under a name nobody else holds: an
// existing folder or link of the wanted name is never reused or deleted, the
// next free name is taken instead ("SETUP_<n>_2", ...). Only folders made
// here are ever removed here.
class WorkFolders {
public:
    // temp: the temporary folder; programFile: whose modification time names
    // the extraction folder.
    WorkFolders(std::string temp, std::string programFile);

    // temp + "SETUP_" + the time-of-day half of the program file's DOS stamp;
    // made on first use. Without separator at the end.
    std::string Extraction();
    void RemoveExtraction();

    // The alternative temporary root, chosen once from bases (see
    // ChooseAlternativeRoot); true when there is one.
    bool AlternativeTempDrive();
    std::string AlternativeRoot();
    // root + "_" + a random number from 10000 to 100000, made on first use;
    // empty without a root.
    std::string Alternative();
    void RemoveAlternative();

    // What ChooseAlternativeRoot works with (the system's by default).
    std::vector<std::string> bases;
    std::function<double(const std::string&)> freeSpace;
    std::function<bool(const std::string&, const std::string&)> sameVolume;

private:
    std::string m_temp;
    std::string m_program;
    std::string m_extraction;
    bool m_extractionMade = false;
    bool m_rootChosen = false;
    std::string m_root;
    std::string m_alternative;
    bool m_alternativeMade = false;
};

// Makes a new folder named base, or base + "_2", "_3", ... when that name is
// taken by anything; parents are created as needed. The made folder, or
// empty when none could be made.
std::string MakeFreshFolder(const std::string& base);

// For each base in order: a probe folder (base itself, or a new folder below
// it when base exists) with a two-byte file "~aa.tmp" written into it; a base
// whose file could be written counts with the free bytes seen from the probe,
// and the probe goes again. The base with strictly the most free bytes wins
// unless it lies on the temporary folder's volume; the root is that base,
// with "TEMP" below it when base exists as a folder. Empty when no base wins.
std::string ChooseAlternativeRoot(
    const std::string& temp, const std::vector<std::string>& bases,
    const std::function<double(const std::string&)>& freeSpace,
    const std::function<bool(const std::string&, const std::string&)>& sameVolume);

// The folders of this process.
WorkFolders& ProcessFolders();
std::string ExtractionFolder();
// Deletes the extraction folder with its contents when this process made it.
void RemoveExtractionFolder();
bool AlternativeTempDrive();
std::string AlternativeFolder();
void RemoveAlternativeFolder();

// "/OriginExe=" or the running program; its folder without separator.
std::string OriginProgram();
std::string OriginFolder();

// The application, common and auxiliary folders the agent sets from
// TargetDir, SharedDir and AuxiliaryDir before it expands placeholders.
void SetProductFolders(const std::string& application, const std::string& common,
                       const std::string& auxiliary);
std::string ApplicationFolder();
std::string CommonFolder();
std::string AuxiliaryFolder();

#endif
