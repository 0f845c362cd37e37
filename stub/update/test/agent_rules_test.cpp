// The agent's rules without any service: digests, local file names, version
// lists, the size tolerance, the schedule and the decision codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "AutoUpdate.h"
#include "Sha256.h"

using namespace au;

TEST(Sha256, KnownDigests) {
    struct Case {
        std::string data, hex;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits into the first padding block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sha256Hex(c.data), c.hex) << c.data;
}

TEST(Sha256, PiecesOfOddSizesAndFilesGiveTheSameDigest) {
    // One million 'a' fed in pieces that straddle every block boundary.
    Sha256 sha;
    std::string piece(997, 'a');
    std::size_t left = 1000000;
    while (left > 0) {
        std::size_t n = std::min(left, piece.size());
        sha.Update(piece.data(), n);
        left -= n;
    }
    const std::string million = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
    EXPECT_EQ(sha.HexDigest(), million);

    auto path = std::filesystem::temp_directory_path() / "stub-sha256-test.bin";
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(1000000, 'a');
    }
    std::string hex;
    EXPECT_TRUE(FileSha256(path.string(), hex));
    EXPECT_EQ(hex, million);
    std::filesystem::remove(path);
    EXPECT_FALSE(FileSha256(path.string(), hex));
    EXPECT_EQ(hex, "");
}

TEST(Sha256, DigestComparison) {
    const std::string d = Sha256Hex("abc");
    std::string upper = d;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(SameDigest(d, " " + upper + "\t"));
    EXPECT_FALSE(SameDigest(d, Sha256Hex("abd")));
    EXPECT_FALSE(SameDigest("", "")); // no digest announced is no match
    EXPECT_FALSE(SameDigest("zz" + d.substr(2), "zz" + d.substr(2)));
}

TEST(AgentRules, LocalFileNameKeepsOnlyTheLastPart) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"update.exe", "update.exe"},
        {"..\\..\\Windows\\evil.exe", "evil.exe"},
        {"../../etc/cron.d/job", "job"},
        {"C:evil.exe", "evil.exe"},
        {"\\\\server\\share\\x.ini", "x.ini"},
        {"..", ""},
        {"sub/..", ""},
        {"  ", ""},
        {"dir/", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LocalFileName(c.in), c.out) << c.in;
    EXPECT_EQ(OriginalFileName("http://x/setup.info.ini"), "setup.original");
    EXPECT_EQ(OriginalFileName("product"), "product.original");
}

TEST(AgentRules, ValidVersionsAndSizeTolerance) {
    EXPECT_TRUE(VersionValidFor(34, ""));
    EXPECT_FALSE(VersionValidFor(34, "3,4"));
    EXPECT_TRUE(VersionValidFor(34, "3, 34 ,4"));
    EXPECT_FALSE(VersionValidFor(3, "34"));

    EXPECT_TRUE(SizeCheckPasses(1099, 1000));
    EXPECT_TRUE(SizeCheckPasses(901, 1000));
    EXPECT_FALSE(SizeCheckPasses(1100, 1000));
    EXPECT_FALSE(SizeCheckPasses(900, 1000));
    EXPECT_FALSE(SizeCheckPasses(-1, 1000));
}

TEST(AgentRules, OverridesAndReasons) {
    EXPECT_TRUE(OverrideOn(255, "1"));
    EXPECT_FALSE(OverrideOn(255, "0"));
    EXPECT_TRUE(OverrideOn(1, "0"));
    EXPECT_FALSE(OverrideOn(0, "1"));
    EXPECT_FALSE(OverrideOn(2, "1"));
    EXPECT_EQ(OverrideListText({{255, 1, 0, 255, 2, 255, 255, 7}}), "|255|1|0|255|2|255|255|7|");
    EXPECT_EQ(ReasonText(2), "Too early for retesting");
    EXPECT_EQ(ReasonText(4), "\"Valid for version\" mismatch");
    EXPECT_EQ(ReasonText(OK_CODE), "OK");
    EXPECT_TRUE(IsLocalSource("C:\\x"));
    EXPECT_TRUE(IsLocalSource("\\\\srv\\x"));
    EXPECT_FALSE(IsLocalSource("http://x"));
}

TEST(AgentRules, ShotTimeStatus) {
    const std::int64_t now = 1000000;
    struct Case {
        bool permission, request;
        std::int64_t interval, last;
        bool test;
        int status;
    } cases[] = {
        {true, false, 60, now - 60, false, 1}, // due exactly
        {true, false, 60, now - 59, false, 0}, // one second early
        {true, false, 0, now, false, 2},       // once per run
        {true, false, -1, 0, false, 0},        // never
        {true, true, -1, now, false, 1},       // ... unless requested
        {false, false, 60, 0, false, 0},       // permission used up
        {false, true, 60, now, false, 1},      // a request still probes
        {true, false, 3600, now - 5, true, 1}, // test mode: every 5 s
        {true, false, 3600, now - 4, true, 0},
    };
    for (const Case& c : cases) {
        bool request = c.request;
        EXPECT_EQ(au::ShotTimeStatus(c.permission, request, c.interval, c.last, now, c.test),
                  c.status)
            << c.interval << " " << c.last;
        EXPECT_FALSE(request);
    }
}

TEST(AgentRules, DecisionCodeStopsAtTheFirstFailure) {
    OfferFacts ok;
    ok.downloadOk = true;
    ok.versionOriginal = 4;
    ok.versionNew = 5;
    ok.stampOriginal = "a";
    ok.stampNew = "b";
    ok.now = 100000;
    struct Case {
        const char* what;
        std::function<void(OfferFacts&)> change;
        int code;
        bool sizeAsked;
    } cases[] = {
        {"all pass", [](OfferFacts&) {}, OK_CODE, true},
        {"download failed", [](OfferFacts& f) { f.downloadOk = false; }, 0, false},
        {"no installed version", [](OfferFacts& f) { f.versionOriginal = 0; }, 1, false},
        {"same stamp", [](OfferFacts& f) { f.stampNew = "a"; }, 2, false},
        {"same stamp, re-ask due",
         [](OfferFacts& f) {
             f.stampNew = "a";
             f.reAskInterval = 10;
             f.reAskLast = f.now - 11;
         },
         OK_CODE, true},
        {"same stamp, re-ask not yet",
         [](OfferFacts& f) {
             f.stampNew = "a";
             f.reAskInterval = 10;
             f.reAskLast = f.now - 10;
         },
         2, false},
        {"same stamp, foreground",
         [](OfferFacts& f) {
             f.stampNew = "a";
             f.foreground = true;
         },
         OK_CODE, true},
        {"same version", [](OfferFacts& f) { f.versionNew = 4; }, 3, false},
        {"not valid for installed", [](OfferFacts& f) { f.validVersions = "3,44"; }, 4, false},
        {"valid for installed", [](OfferFacts& f) { f.validVersions = "3,4"; }, OK_CODE, true},
    };
    for (const Case& c : cases) {
        OfferFacts f = ok;
        c.change(f);
        bool asked = false;
        EXPECT_EQ(DecisionCode(f,
                               [&] {
                                   asked = true;
                                   return true;
                               }),
                  c.code)
            << c.what;
        EXPECT_EQ(asked, c.sizeAsked) << c.what;
    }
    EXPECT_EQ(DecisionCode(ok, [] { return false; }), 5);
}

TEST(AgentRules, InformTextFields) {
    std::string token, text;
    EXPECT_TRUE(ParseInformText("x|TOKEN|a|b|Hello <B>there</B>|with bars", token, text));
    EXPECT_EQ(token, "TOKEN");
    EXPECT_EQ(text, "Hello <B>there</B>|with bars");
    EXPECT_FALSE(ParseInformText("x|TOKEN|a", token, text));
    EXPECT_EQ(text, "");
}
