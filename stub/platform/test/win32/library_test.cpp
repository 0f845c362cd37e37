// System libraries named by their file name come from the system folder,
// never from the folder the program was started from.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/system.h"

namespace {

TEST(LibraryTest, BareNamesLoadFromTheSystemFolder) {
    // A fake shfolder.dll lies beside this program.
    const std::string self = plat::program_path();
    const std::string fake = self.substr(0, self.find_last_of('\\')) + "\\shfolder.dll";
    ASSERT_EQ(plat::path_kind(fake), plat::PathKind::File);
    EXPECT_NE(plat::lookup_function("SHFolder.dll", "SHGetFolderPathA"), nullptr);
    EXPECT_EQ(plat::lookup_function("SHFolder.dll", "StubFakeLibraryMarker"), nullptr);
    // The special folders come through the real one.
    EXPECT_FALSE(plat::special_folder(0x8005).empty());
    plat::preload_system_libraries();
    EXPECT_EQ(plat::lookup_function("shfolder.dll", "StubFakeLibraryMarker"), nullptr);
}

} // namespace
