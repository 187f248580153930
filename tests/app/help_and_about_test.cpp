#include "app/help_and_about.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;

// System Info runs the first program found on the PATH: only an executable file counts,
// and an empty entry (the current directory) is never searched.
TEST(SystemInfo, OnlyExecutableFilesOnThePathAreFound) {
    archive::testing::TempFolder temp;
    const std::string name(systemInfoPrograms()[0]);
    for (const auto& [dir, mode] :
         {std::pair{"a", fs::perms::owner_read}, {"b", fs::perms::owner_all}}) {
        fs::create_directories(temp / dir);
        archive::testing::writeBytes(temp / dir / name, "#!/bin/sh\n");
        fs::permissions(temp / dir / name, mode);
    }
    const fs::path before = fs::current_path();
    fs::current_path(temp / "b");
    EXPECT_EQ(findProgram(name, ":" + (temp / "a").string() + "::"), std::nullopt);
    fs::current_path(before);
    EXPECT_EQ(findProgram(name, (temp / "a").string() + ":" + (temp / "b").string()),
              temp / "b" / name);
}

} // namespace
} // namespace tvn::app
