// Unpacking packages: files, pieces, refusals, agent copies, and the texts
// and command line of the run around it.
#include "ExtractPackage.h"
#include "PackageWriter.h"
#include "TGFileInfo.h"
#include "TestFiles.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace container;
namespace fs = std::filesystem;

namespace {

class FakeServices : public ExtractServices {
public:
    void Progress(int nMode, int nMax, int, int) override {
        if (nMode == 1)
            ++nSteps;
        else
            nRange = nMax;
    }
    void Pump() override {}
    void Wait(std::uint32_t) override {}
    bool ConfirmDisk(const std::string& sText) override {
        prompts.push_back(sText);
        if (onPrompt)
            onPrompt();
        return prompts.size() <= answersOk;
    }
    void ShowError(const std::string& sText) override { errors.push_back(sText); }
    void PrepareNextDisk(const std::string&, bool) override {}
    void Print(const std::string& sLine) override { lines.push_back(sLine); }
    std::uint64_t Clock() override { return 0; }

    int nSteps = 0;
    int nRange = -1;
    std::size_t answersOk = 100;
    std::function<void()> onPrompt;
    std::vector<std::string> prompts, errors, lines;
};

std::string Compressed(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(data.data()),
             static_cast<uLong>(data.size()));
    out.resize(size);
    return out;
}

// A file block: a zlib stream, or stored bytes (negative length).
std::string Block(const std::string& head, const std::string& content, bool compress = true) {
    std::string stream = head + std::string(1, '\0') + content;
    if (!compress)
        return U32(static_cast<std::uint32_t>(-static_cast<std::int32_t>(stream.size()))) + stream;
    std::string data = Compressed(stream);
    return U32(static_cast<std::uint32_t>(data.size())) + data;
}

// A package laid out by hand, for what the package builder refuses to make.
void WriteRawPackage(const std::string& path, const std::vector<std::string>& blocks,
                     std::uint32_t magic = 0x4A3B2C1D) {
    std::string image(300, 'I');
    std::string data = image + U32(0) + U32(0);
    for (const std::string& block : blocks)
        data += block;
    std::string trailer(74, '\0');
    trailer[0] = 1;
    trailer[1] = 2;
    trailer.replace(4, 4, U32(static_cast<std::uint32_t>(image.size())));
    trailer.replace(8, 4, U32(static_cast<std::uint32_t>(blocks.size())));
    trailer.replace(12, 4, U32(magic));
    trailer.replace(16, 4, U32(1234));
    trailer.replace(70, 4, U32(74));
    WriteFile(path, data + trailer);
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Extract : public ::testing::Test {
protected:
    stubpack::PackFile& Add(const std::string& name, const std::string& content,
                            std::uint32_t stamp = 0) {
        WriteFile(m_Dir / ("src-" + name), content);
        stubpack::PackFile file;
        file.sSource = m_Dir / ("src-" + name);
        file.sName = name;
        file.nStamp = stamp;
        m_Request.files.push_back(file);
        return m_Request.files.back();
    }

    std::vector<std::string> Build(const std::string& name = "Package.exe") {
        WriteFile(m_Dir / "image.exe", std::string(3000, 'I'));
        m_Request.sImage = m_Dir / "image.exe";
        std::vector<std::string> written;
        std::string error;
        EXPECT_TRUE(stubpack::BuildPackage(m_Request, m_Dir / name, written, error)) << error;
        return written.empty() ? std::vector<std::string>{m_Dir / name} : written;
    }

    ExtractResult Run(const std::string& package, const std::string& agent = "") {
        ExtractRequest request;
        request.sPackage = package;
        request.sFolder = Folder();
        request.sAgentName = agent;
        request.bForcePrompt = m_bForcePrompt;
        request.sPromptText = "Please insert <B>DISK #<disk_num></B>";
        request.pSaveErrors = &m_nSaveErrors;
        return ExtractPackage(request, m_Services);
    }

    std::string Folder() const { return m_Dir / "out"; }
    std::string Out(const std::string& name) const { return Folder() + "/" + name; }

    ScratchFolder m_Dir;
    stubpack::BuildRequest m_Request;
    FakeServices m_Services;
    bool m_bForcePrompt = false;
    unsigned m_nSaveErrors = 0;
};

TEST_F(Extract, UnpacksFilesWithStampsAndAppendsBlocksOfOneName) {
    std::uint32_t stamp = stubpack::DosStamp(2021, 6, 15, 13, 45, 30);
    stubpack::PackFile& main = Add("Setup.exe", "program", stamp);
    main.bMain = true;
    main.sParams = "/S /V2";
    std::string big = RandomBytes(200000, 7) + std::string(100000, 'z');
    Add("data.bin", big, stamp);
    Add("empty.txt", "");
    m_Request.nBlockSize = 65536; // data.bin spans five blocks
    ExtractResult result = Run(Build().front());

    EXPECT_EQ(result.status, ExtractStatus::OK) << result.sError;
    EXPECT_TRUE(result.bChecksumOk);
    EXPECT_EQ(result.sEntry, "Setup.exe*/S /V2");
    EXPECT_EQ(FolderNames(Folder()),
              (std::vector<std::string>{"Setup.exe", "data.bin", "empty.txt"}));
    EXPECT_TRUE(ReadFile(Out("data.bin")) == big);
    EXPECT_EQ(ReadFile(Out("Setup.exe")), "program");
    EXPECT_EQ(stubpack::FileDosStamp(Out("data.bin")), stamp);
    EXPECT_EQ(stubpack::FileDosStamp(Out("Setup.exe")), stamp);
    // The bar's range is the file count, and each file advances it once.
    EXPECT_EQ(m_Services.nRange, 3);
    EXPECT_EQ(m_Services.nSteps, 3);
    EXPECT_TRUE(m_Services.errors.empty());
}

TEST_F(Extract, PiecesBesideEachOtherNeedAPromptOnlyWhenForced) {
    Add("Setup.exe", "program").bMain = true;
    std::string big = RandomBytes(60000, 3);
    Add("data.bin", big);
    m_Request.nPieceSize = 40000;
    m_Request.nBlockSize = 16384;
    std::vector<std::string> pieces = Build();
    ASSERT_GE(pieces.size(), 2u);

    ExtractResult quiet = Run(pieces.front());
    EXPECT_EQ(quiet.status, ExtractStatus::OK) << quiet.sError;
    EXPECT_TRUE(m_Services.prompts.empty());
    EXPECT_TRUE(ReadFile(Out("data.bin")) == big);

    fs::remove_all(Folder());
    m_bForcePrompt = true;
    ExtractResult forced = Run(pieces.front());
    EXPECT_EQ(forced.status, ExtractStatus::OK) << forced.sError;
    ASSERT_EQ(m_Services.prompts.size(), pieces.size() - 1);
    EXPECT_EQ(m_Services.prompts.front(), "Please insert <B>DISK #2</B>");
    EXPECT_TRUE(ReadFile(Out("data.bin")) == big);
}

TEST_F(Extract, MissingPieceIsAskedForUntilItComesOrTheUserCancels) {
    Add("Setup.exe", "program").bMain = true;
    Add("data.bin", RandomBytes(30000, 4));
    m_Request.nPieceSize = 20000;
    m_Request.nBlockSize = 8192;
    std::vector<std::string> pieces = Build();
    ASSERT_GE(pieces.size(), 2u);
    std::string second = pieces[1];
    fs::rename(second, second + ".away");

    // The second answer brings the disk.
    m_Services.onPrompt = [&] {
        if (m_Services.prompts.size() == 2)
            fs::rename(second + ".away", second);
    };
    ExtractResult found = Run(pieces.front());
    EXPECT_EQ(found.status, ExtractStatus::OK) << found.sError;
    EXPECT_EQ(m_Services.prompts.size(), pieces.size());

    fs::remove_all(Folder());
    fs::rename(second, second + ".away");
    m_Services.prompts.clear();
    m_Services.onPrompt = nullptr;
    m_Services.answersOk = 0;
    ExtractResult cancelled = Run(pieces.front());
    EXPECT_EQ(cancelled.status, ExtractStatus::DISK_CANCELLED);
    EXPECT_FALSE(cancelled.bContinue);
    EXPECT_TRUE(cancelled.sEntry.empty());
    EXPECT_EQ(m_Services.prompts.size(), 1u);
    EXPECT_TRUE(m_Services.errors.empty());
}

TEST_F(Extract, UnsafeNamesStopTheRunBeforeAnythingIsWritten) {
    const char* names[] = {"../escape.txt",
                           "sub/file.txt",
                           "sub\\file.txt",
                           "C:evil.txt",
                           "file.txt:stream",
                           "CON.txt",
                           "trailing.",
                           "..",
                           ".",
                           "bad\x01name",
                           "|x|0|*"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        fs::remove_all(Folder());
        // A sound file first: it must not be written either.
        WriteRawPackage(m_Dir / "Raw.exe", {Block("|ok.txt|0|", "fine"),
                                            Block("|" + std::string(name) + "|0|", "bad")});
        ExtractResult result = Run(m_Dir / "Raw.exe");
        EXPECT_EQ(result.status, ExtractStatus::UNSAFE_NAME);
        EXPECT_TRUE(result.sEntry.empty());
        EXPECT_TRUE(FolderNames(Folder()).empty());
    }
    EXPECT_FALSE(fs::exists(m_Dir / "escape.txt"));

    // A main program whose name reaches out, and an unsafe agent name.
    WriteRawPackage(m_Dir / "Raw.exe", {Block("|../run.exe*/S|0|", "x")});
    EXPECT_EQ(Run(m_Dir / "Raw.exe").status, ExtractStatus::UNSAFE_NAME);
    WriteRawPackage(m_Dir / "Raw.exe", {Block("|Setup.exe*|0|", "x")});
    EXPECT_EQ(Run(m_Dir / "Raw.exe", "..\\agent.exe").status, ExtractStatus::UNSAFE_NAME);
    EXPECT_TRUE(FolderNames(Folder()).empty());
}

TEST_F(Extract, DamagedBlocksStopTheRunAndStartNothing) {
    std::string good = Block("|Setup.exe*|0|", RandomBytes(5000, 1) + std::string(20000, 'a'));
    std::string flipped = good;
    flipped[flipped.size() - 2] ^= 0x55;                                   // inside the Adler-32
    std::string cut = good.substr(0, 4) + good.substr(4, good.size() / 2); // length says more
    struct Case {
        const char* what;
        std::vector<std::string> blocks;
    } cases[] = {
        {"flipped check", {flipped}},
        {"short stream",
         {U32(static_cast<std::uint32_t>(good.size() / 2)) + good.substr(4, good.size() / 2)}},
        {"block beyond the file", {cut}},
        {"head without NUL", {U32(static_cast<std::uint32_t>(-10000)) + std::string(10000, 'h')}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Folder());
        WriteRawPackage(m_Dir / "Raw.exe", c.blocks);
        ExtractResult result = Run(m_Dir / "Raw.exe");
        EXPECT_EQ(result.status, ExtractStatus::DAMAGED_BLOCK);
        EXPECT_FALSE(result.sError.empty());
        EXPECT_TRUE(result.sEntry.empty());
    }
    WriteRawPackage(m_Dir / "Raw.exe", {flipped});
    EXPECT_NE(Run(m_Dir / "Raw.exe").sError.find("incorrect data check"), std::string::npos);
}

TEST_F(Extract, StoredAndEmptyBlocksAndPackagesThatCannotRun) {
    WriteRawPackage(m_Dir / "Raw.exe", {U32(0), Block("|Setup.exe*  /Q |0|", "stored", false)});
    ExtractResult stored = Run(m_Dir / "Raw.exe");
    EXPECT_EQ(stored.status, ExtractStatus::OK) << stored.sError;
    EXPECT_EQ(stored.sEntry, "Setup.exe*  /Q");
    EXPECT_EQ(ReadFile(Out("Setup.exe")), "stored");

    WriteRawPackage(m_Dir / "Raw.exe", {Block("|readme.txt|0|", "text")});
    EXPECT_EQ(Run(m_Dir / "Raw.exe").status, ExtractStatus::NO_MAIN_PROGRAM);
    WriteRawPackage(m_Dir / "Raw.exe", {Block("|Setup.exe*|0|", "x")}, 0x12345678);
    EXPECT_EQ(Run(m_Dir / "Raw.exe").status, ExtractStatus::BAD_MAGIC);
    EXPECT_EQ(Run(m_Dir / "Missing.exe").status, ExtractStatus::PACKAGE_MISSING);

    // A small package whose stored sum is wrong.
    WriteRawPackage(m_Dir / "Raw.exe", {Block("|Setup.exe*|0|", "x")});
    std::string data = ReadFile(m_Dir / "Raw.exe");
    data.replace(data.size() - 74 + 16, 4, U32(99));
    WriteFile(m_Dir / "Raw.exe", data);
    ExtractResult bad = Run(m_Dir / "Raw.exe");
    EXPECT_EQ(bad.status, ExtractStatus::BAD_CHECKSUM);
    EXPECT_FALSE(bad.bChecksumOk);
    EXPECT_TRUE(bad.sEntry.empty());
}

TEST_F(Extract, SaveErrorsAreShownOnceAndStartNothing) {
    Add("Setup.exe", "program").bMain = true;
    Add("other.txt", "other");
    std::string package = Build().front();
    WriteFile(m_Dir / "blocker", "a file where the folder should be");
    ExtractRequest request;
    request.sPackage = package;
    request.sFolder = m_Dir / "blocker";
    request.pSaveErrors = &m_nSaveErrors;
    ExtractResult result = ExtractPackage(request, m_Services);
    EXPECT_EQ(result.status, ExtractStatus::SAVE_ERROR);
    EXPECT_TRUE(result.sEntry.empty());
    ASSERT_EQ(m_Services.errors.size(), 1u);
    EXPECT_NE(m_Services.errors[0].find("Unable to save Extracted File!"), std::string::npos);
    EXPECT_NE(m_Services.errors[0].find("Data Size: <T>"), std::string::npos);
    EXPECT_EQ(m_nSaveErrors, 2u);
    // The count is the process's: a later run shows no further box.
    ExtractPackage(request, m_Services);
    EXPECT_EQ(m_Services.errors.size(), 1u);
}

TEST_F(Extract, AgentCopyHoldsImageAndTextsMarkedAsAgent) {
    Add("Setup.exe", "program").bMain = true;
    Add("data.bin", RandomBytes(70000, 9));
    m_Request.sAgentName = "AutoUpdate.exe";
    m_Request.sUpdateUrl = "http://updates.example";
    m_Request.bWriteAgent = true;
    std::string package = Build().front();
    fs::last_write_time(package, fs::last_write_time(package) - std::chrono::hours(30));

    ExtractResult result = Run(package, "AutoUpdate.exe");
    ASSERT_EQ(result.status, ExtractStatus::OK) << result.sError;
    TGFileInfo copy(Out("AutoUpdate.exe"));
    TGFileInfo original(package);
    EXPECT_TRUE(copy.MagicOk());
    EXPECT_TRUE(copy.IsAgent());
    EXPECT_FALSE(original.IsAgent());
    EXPECT_EQ(copy.HeaderRecord(), original.HeaderRecord());
    EXPECT_EQ(copy.TrailerLength(), 74u);
    EXPECT_EQ(fs::file_size(Out("AutoUpdate.exe")),
              3000u + 8 + original.LanguageBlock().size() + original.HeaderRecord().size() + 74);
    EXPECT_EQ(fs::last_write_time(Out("AutoUpdate.exe")), fs::last_write_time(package));

    // Only a program package leaves a copy.
    fs::remove_all(Folder());
    fs::copy_file(package, m_Dir / "Package.bin");
    EXPECT_EQ(Run(m_Dir / "Package.bin", "AutoUpdate.exe").status, ExtractStatus::OK);
    EXPECT_FALSE(fs::exists(Out("AutoUpdate.exe")));
}

TEST_F(Extract, AgentCopyOfALauncherDropsAShortSignature) {
    std::string image = "MZ" + std::string(254, 'x') + "PE" + std::string(1000, 'i');
    WriteFile(m_Dir / "pe.exe", image);
    m_Request.sImage = m_Dir / "pe.exe";
    m_Request.bDownload = true;
    m_Request.sDownloadUrl = "http://127.0.0.1";
    m_Request.sDownloadName = "Real.exe";
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(stubpack::BuildPackage(m_Request, m_Dir / "Launcher.exe", written, error)) << error;
    std::string launcher = ReadFile(m_Dir / "Launcher.exe");
    std::size_t end = launcher.size();
    // The end pointer lets a signature follow the container.
    launcher.replace(252, 4, U32(static_cast<std::uint32_t>(end)));
    WriteFile(m_Dir / "Launcher.exe", launcher + std::string(500, 'S'));

    ASSERT_TRUE(WriteAgentCopyFromProgram(m_Dir / "Launcher.exe", m_Dir / "Agent.exe"));
    std::string copy = ReadFile(m_Dir / "Agent.exe");
    ASSERT_EQ(copy.size(), end);
    EXPECT_EQ(copy[end - 5], 1);
    copy[end - 5] = 0;
    EXPECT_TRUE(copy == launcher);
    EXPECT_TRUE(TGFileInfo(m_Dir / "Agent.exe").IsAgent());
}

TEST(MainCommand, CommandLineOfTheMainProgram) {
    struct Case {
        const char* entry;
        const char* args;
        bool agent;
        const char* expected;
    } cases[] = {
        {"Setup.exe*/S /V2", "/lang=de", false,
         "\"F/Setup.exe\" /lang=de /S /V2 /TH_ID=_42 /OriginExe=\"/p/Pkg.exe\""},
        {"Setup.exe*", "", true,
         "\"F/Setup.exe\" /TH_ID=_42 /OriginExe=\"/p/Pkg.exe\" /AutoUpdateProg"},
        {"Setup.exe", "/OriginExe=\"C:\\x\\Orig.exe\" /Q", false,
         "\"F/Setup.exe\" /OriginExe=\"C:\\x\\Orig.exe\" /Q /TH_ID=_42"},
        {"Setup.exe*/S", "/SpanCdLvl=2 /a /SpanDiskFName1=D:\\My Disk\\Setup.exe.001 /b", false,
         "\"F/Setup.exe\" /a /b /S /TH_ID=_42 /OriginExe=\"/p/Pkg.exe\""},
        {"Setup.exe", "/spandiskfname1=\"/media/cd 1/Setup.exe.001\" /x /SpanCdLvl=3", false,
         "\"F/Setup.exe\" /x /TH_ID=_42 /OriginExe=\"/p/Pkg.exe\""},
    };
    for (const Case& c : cases) {
        MainCommand command;
        command.sFolder = "F";
        command.sEntry = c.entry;
        command.sArguments = c.args;
        command.sThreadTag = "_42";
        command.sProgramPath = "/p/Pkg.exe";
        command.bAgent = c.agent;
        std::string expected = c.expected;
        // The folder is joined with the platform's separator.
        expected.replace(2, 1, std::string(1, fs::path::preferred_separator == '\\' ? '\\' : '/'));
        EXPECT_EQ(MainCommandLine(command), expected) << c.entry << " | " << c.args;
    }
}

TEST(SpaceTexts, MegabytesAndTheSpaceQuestion) {
    const std::pair<double, const char*> mb[] = {{-5, "0.000"},
                                                 {0, "0.000"},
                                                 {524288, "0.500"},
                                                 {1048576, "1.00"},
                                                 {10 * 1048576.0, "10.00"},
                                                 {10.5 * 1048576, "10.5"},
                                                 {5e12, "4768371.6"}};
    for (const auto& c : mb)
        EXPECT_EQ(MbText(c.first), c.second) << c.first;

    auto lookup = [](const std::string& key) {
        return "[" + key + " <DRIVE> <SPACE_REQ> <SPACE_AVAIL>]";
    };
    EXPECT_EQ(SpaceQuestionText("c:\\t", 100, 200, false, lookup), "");
    std::string notice = SpaceQuestionText("c:\\t", 1048576, 2097152, true, lookup);
    EXPECT_EQ(notice.substr(0, 4), "[s2 ");
    EXPECT_NE(notice.find("1.00 2.00]"), std::string::npos);
    std::string shortage = SpaceQuestionText("c:\\t", 2097152, 2097152, true, lookup);
    EXPECT_EQ(shortage.substr(0, 4), "[s3 ");
    EXPECT_NE(shortage.find("[s6 "), std::string::npos);
    EXPECT_EQ(DownloadQuestionText("<SIZE> MB", 52428800), "50.0 MB");
}

} // namespace
