// Help, Contents and the About box's System Info, without a window.

#include "app/help_and_about.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<fs::path>;

class ScriptedHelp final : public HelpViewer {
public:
    bool showHelp(const fs::path&) override {
        return fail ? throw Failure(err::kPathFileAccess, "The help viewer failed") : opens;
    }
    bool opens = true, fail = false;
};

class HelpContents : public testing::ModelTest {};

// The failure message comes once, whatever kept the help from showing; a viewer that
// fails is also logged with the handler's own texts.
TEST_F(HelpContents, HelpThatCannotBeShownIsSaidOnce) {
    ScriptedHelp help;
    const testing::ShownMessage unable{"TVN was unable to display your Help file. Please place "
                                       "TVN_Help.CHM in the Tallyvane Program Folder and try "
                                       "again!",
                                       archive::MessageIcon::Information};
    // The viewer, whether it opens the file, whether it fails.
    const std::tuple<HelpViewer*, bool, bool> cases[] = {
        {&help, true, false}, {nullptr, true, false}, {&help, false, false}, {&help, true, true}};
    for (const auto& [viewer, opens, fails] : cases) {
        boxes.shown.clear();
        help.opens = opens;
        help.fail = fails;
        model->setHelp(viewer, "/opt/help/index.html");
        model->mnuHelpContents_Click();
        EXPECT_EQ(boxes.shown,
                  viewer && opens && !fails ? testing::Shown{} : testing::Shown{unable});
    }
    EXPECT_EQ(log->entries,
              (std::vector<testing::Logged>{
                  {75, " Error in nmuHelpContents_Click sub or a sub-function therein."}}));
}

class RecordingStarter final : public ProgramStarter {
public:
    bool start(const fs::path& program) override {
        started.push_back(program);
        return starts;
    }
    bool starts = true;
    Paths started;
};

// Only an executable file counts, and empty PATH entries (the current directory) are
// passed over; so is a program that will not start; with none, the fallback message.
TEST(SystemInfo, FirstStartableProgramOnThePathOrTheMessage) {
    archive::testing::TempFolder temp;
    const std::string first(systemInfoPrograms()[0]), second(systemInfoPrograms()[1]);
    for (const auto& [file, mode] : {std::pair{temp / "a" / first, fs::perms::owner_read},
                                     {temp / "b" / first, fs::perms::owner_all},
                                     {temp / "a" / second, fs::perms::owner_all}}) {
        fs::create_directories(file.parent_path());
        archive::testing::writeBytes(file, "#!/bin/sh\n");
        fs::permissions(file, mode);
    }
    const std::string path = ":" + (temp / "a").string() + "::" + (temp / "b").string();
    EXPECT_EQ(findProgram(first, path), temp / "b" / first);
    EXPECT_EQ(findProgram("no-such-program", path), std::nullopt);
    for (const bool starts : {true, false}) {
        testing::RecordingBoxes boxes;
        RecordingStarter starter;
        starter.starts = starts;
        StartSysInfo(path, starter, boxes);
        EXPECT_EQ(starter.started, (starts ? Paths{temp / "b" / first}
                                           : Paths{temp / "b" / first, temp / "a" / second}));
        EXPECT_EQ(boxes.shown.size(), starts ? 0U : 1U);
    }
}

} // namespace
} // namespace tvn::app
