#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/messages.h"
#include "platform/system.h"

namespace {

TEST(PlatformTest, LocaleNamesMapToWindowsIdentifiers) {
    struct Case {
        const char* name;
        std::uint32_t id;
    } cases[] = {
        {"de_DE.UTF-8", 0x0407},
        {"de_AT", 0x0C07},
        {"en_US.UTF-8", 0x0409},
        {"en_GB", 0x0809},
        {"zh_CN.UTF-8", 0x0804},
        {"zh_TW", 0x0404},
        {"pt_BR", 0x0416},
        {"pt_PT", 0x0816},
        {"sr_RS@latin", 0x081A},
        {"fr", 0x040C},
        {"C", 0},
        {"", 0},
        {"xx_YY", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::locale_id_from_name(c.name), c.id) << c.name;
    EXPECT_NE(plat::thread_locale_id() & 0x3FF, 0u);
}

TEST(PlatformTest, DrivesAndFolders) {
    const std::string temp = plat::temp_folder();
    ASSERT_FALSE(temp.empty());
    EXPECT_GT(plat::free_disk_space(temp), 0.0);
    // A folder that does not exist yet is asked on the volume it would be made on.
    const std::string future = temp + plat::kPathSeparator + "not" + plat::kPathSeparator + "yet";
    EXPECT_GT(plat::free_disk_space(future), 0.0);
    const std::uint32_t cluster = plat::cluster_size(temp);
    EXPECT_GE(cluster, 512u);
    EXPECT_EQ(cluster & (cluster - 1), 0u);
    EXPECT_NE(plat::drive_type(temp), plat::DRIVE_TYPE_UNKNOWN);
    EXPECT_FALSE(plat::program_path().empty());
    EXPECT_FALSE(plat::command_line().empty());
}

TEST(PlatformTest, ClockAndMessages) {
    const std::uint64_t a = plat::monotonic_ms();
    plat::sleep_ms(20);
    EXPECT_GE(plat::monotonic_ms() - a, 20u);
    plat::pump_messages();
    const std::uint32_t m = plat::register_window_message(".H_DebugMsg.");
    EXPECT_GE(m, 0xC000u);
    EXPECT_EQ(plat::register_window_message(".H_DebugMsg."), m);
    EXPECT_EQ(plat::register_window_message(""), 0u);
    const plat::LocalTime now = plat::local_now();
    EXPECT_GE(now.year, 2020);
    EXPECT_GE(now.month, 1);
}

#ifdef _WIN32
// The Windows test program is post-linked like Stub's image: its headers
// stand at 256 with a CheckSum the system agrees with, and it runs.
TEST(PlatformTest, ImageHeadersAt256) {
    std::ifstream in(plat::program_path(), std::ios::binary);
    std::vector<char> head(260);
    ASSERT_TRUE(in.read(head.data(), static_cast<std::streamsize>(head.size())));
    EXPECT_EQ(std::string(&head[256], 4), std::string("PE\0\0", 4));
    using MapFileAndCheckSum =
        unsigned long(__stdcall*)(const char*, unsigned long*, unsigned long*);
    auto check = reinterpret_cast<MapFileAndCheckSum>(
        plat::lookup_function("imagehlp.dll", "MapFileAndCheckSumA"));
    ASSERT_NE(check, nullptr);
    unsigned long stored = 0, computed = 0;
    ASSERT_EQ(check(plat::program_path().c_str(), &stored, &computed), 0ul);
    EXPECT_EQ(stored, computed);
    EXPECT_NE(stored, 0ul);
}
#endif

} // namespace
