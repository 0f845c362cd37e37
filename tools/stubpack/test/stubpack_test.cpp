// The stubpack command line: build a package, read it back with info --json.
#include "../../../stub/container/test/TestFiles.h"
#include "Sha256.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

struct CliResult {
    int code;
    std::string out;
};

CliResult Stubpack(const ScratchFolder& folder, const std::string& args) {
    std::string outFile = folder / "stdout.txt";
    std::string command = std::string(STUBPACK_EXE) + " " + args + " >" + outFile + " 2>&1";
    int status = std::system(command.c_str());
    CliResult run{status, ReadFile(outFile)};
    return run;
}

std::string Q(const std::string& path) {
    return "'" + path + "'";
}

TEST(Stubpack, BuildThenInfoJson) {
    ScratchFolder folder;
    WriteFile(folder / "stub.exe", std::string(4000, 'S'));
    WriteFile(folder / "Setup.exe", std::string(3000, 'x'));
    WriteFile(folder / "readme.txt", "read me");
    WriteFile(folder / "de.txt", "; German texts\r\ns0=Titel\r\n\r\ns1 = Entpacke\r\n");
    WriteFile(folder / "en.txt", "s0=Title\n");
    CliResult build = Stubpack(
        folder, "build --stub " + Q(folder / "stub.exe") + " -o " + Q(folder / "pkg.exe") +
                    " --main " + Q(folder / "Setup.exe") + " --params '/S /V2' --file " +
                    Q(folder / "readme.txt") + " --name ReadMe.txt --language German=" +
                    Q(folder / "de.txt") + " --language English=" + Q(folder / "en.txt") +
                    " --update-url http://up.example --info-file Product.ini --agent-file Agent.exe"
                    " --token s3cret --activity-bar --write-agent");
    ASSERT_EQ(build.code, 0) << build.out;

    CliResult info = Stubpack(folder, "info --json " + Q(folder / "pkg.exe"));
    ASSERT_EQ(info.code, 0) << info.out;
    for (const char* part :
         {"\"text_records\":2", "\"image_offset\":4000", "\"file_count\":2", "\"magic_ok\":true",
          "\"options\":8", "\"write_agent\":true", "\"is_agent\":false", "\"length\":74",
          "\"pe_image\":false", "\"header\":[\"http://up.example\",\"Product.ini\",\"Agent.exe\",",
          "\"package_token\":\"s3cret\"", "\"download_token\":null",
          "\"languages\":[\"German\",\"English\"]", "{\"name\":\"Setup.exe\",\"stamp\":",
          "\"size\":3000,\"main\":true,\"params\":\"/S /V2\"}", "{\"name\":\"ReadMe.txt\",",
          "\"size\":7,\"main\":false,\"params\":\"\"}", "\"checksum_ok\":true"})
        EXPECT_NE(info.out.find(part), std::string::npos) << part << "\n" << info.out;
    // The stamp is the file's modification time: not 0.
    EXPECT_EQ(info.out.find("\"stamp\":0,"), std::string::npos) << info.out;
    // Size and digest of the whole file, for the update information file.
    std::string digest;
    ASSERT_TRUE(FileSha256(folder / "pkg.exe", digest));
    EXPECT_NE(info.out.find("\"file_bytes\":" +
                            std::to_string(std::filesystem::file_size(folder / "pkg.exe")) +
                            ",\"sha256\":\"" + digest + "\""),
              std::string::npos)
        << info.out;

    CliResult text = Stubpack(folder, "info " + Q(folder / "pkg.exe"));
    EXPECT_EQ(text.code, 0);
    EXPECT_NE(text.out.find("main program, parameters: /S /V2"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("sha256          " + digest + "\n"), std::string::npos) << text.out;
}

TEST(Stubpack, LauncherAndItsRealPackageShareTheToken) {
    ScratchFolder folder;
    WriteFile(folder / "stub.exe", std::string(4000, 'S'));
    WriteFile(folder / "Setup.exe", "setup");
    std::string stub = "build --stub " + Q(folder / "stub.exe");
    CliResult real = Stubpack(folder, stub + " -o " + Q(folder / "real.exe") + " --main " +
                                          Q(folder / "Setup.exe") + " --download-token t0k");
    ASSERT_EQ(real.code, 0) << real.out;
    CliResult launcher =
        Stubpack(folder, stub + " -o " + Q(folder / "launch.exe") +
                             " --download-url http://127.0.0.1:1/pkg --download-file real.exe"
                             " --download-token t0k --download-size 1k");
    ASSERT_EQ(launcher.code, 0) << launcher.out;

    CliResult realInfo = Stubpack(folder, "info --json " + Q(folder / "real.exe"));
    CliResult launchInfo = Stubpack(folder, "info --json " + Q(folder / "launch.exe"));
    for (const char* part : {"\"text_records\":3", "\"download_mode\":false", "\"file_count\":1",
                             "\"download_token\":\"t0k\""})
        EXPECT_NE(realInfo.out.find(part), std::string::npos) << part << "\n" << realInfo.out;
    for (const char* part : {"\"text_records\":3", "\"download_mode\":true", "\"file_count\":0",
                             "\"download_token\":\"t0k\"", "\"real.exe\",\"0\","})
        EXPECT_NE(launchInfo.out.find(part), std::string::npos) << part << "\n" << launchInfo.out;

    // A launcher must know where its real package is.
    CliResult half = Stubpack(folder, stub + " -o " + Q(folder / "half.exe") +
                                          " --download-url http://127.0.0.1:1/pkg");
    EXPECT_NE(half.code, 0);
    EXPECT_NE(half.out.find("--download-file"), std::string::npos) << half.out;
}

TEST(Stubpack, ClearErrorsAndNothingHalfWritten) {
    ScratchFolder folder;
    WriteFile(folder / "stub.exe", std::string(4000, 'S'));
    WriteFile(folder / "a.exe", "a");
    WriteFile(folder / "b.exe", "b");
    WriteFile(folder / "bad.txt", "s1=a\x02"
                                  "b\n");
    WriteFile(folder / "big.bin", RandomBytes(10000, 1));
    std::string base = "build --stub " + Q(folder / "stub.exe") + " -o " + Q(folder / "out.exe");
    struct Case {
        std::string args;
        const char* message;
    } cases[] = {
        {" --file " + Q(folder / "missing.bin"), "missing.bin"},
        {" --main " + Q(folder / "a.exe") + " --main " + Q(folder / "b.exe"), "main program"},
        {" --file " + Q(folder / "a.exe") + " --name 'x|y'", "plain file name"},
        {" --language English=" + Q(folder / "bad.txt"), "0x01 and 0x02"},
        {" --file " + Q(folder / "big.bin") + " --piece-size 4200", "too small"},
        {" --bogus", "unknown option"},
    };
    for (const Case& c : cases) {
        CliResult run = Stubpack(folder, base + c.args);
        EXPECT_NE(run.code, 0) << c.args;
        EXPECT_NE(run.out.find(c.message), std::string::npos) << c.args << "\n" << run.out;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
            EXPECT_EQ(entry.path().filename().string().rfind("out.exe", 0), std::string::npos)
                << c.args;
    }
    CliResult notPackage = Stubpack(folder, "info " + Q(folder / "stub.exe"));
    EXPECT_NE(notPackage.code, 0);
    EXPECT_NE(notPackage.out.find("not a package"), std::string::npos);
}

} // namespace
