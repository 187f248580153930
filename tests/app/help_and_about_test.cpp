// Help, Contents and the About box's System Info, without a window.

#include "app/help_and_about.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;
using archive::testing::TempFolder;
using archive::testing::writeBytes;
using Paths = std::vector<fs::path>;

class ScriptedHelp final : public HelpViewer {
public:
    bool showHelp(const fs::path&) override {
        if (fail) {
            throw Failure(err::kPathFileAccess, "The help viewer failed");
        }
        return opens;
    }
    bool opens = true;
    bool fail = false;
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
        log->entries.clear();
        help.opens = opens;
        help.fail = fails;
        model->setHelp(viewer, "/opt/help/index.html");
        model->mnuHelpContents_Click();
        EXPECT_EQ(boxes.shown,
                  viewer && opens && !fails ? testing::Shown{} : testing::Shown{unable});
        EXPECT_EQ(log->entries.size(), fails ? 1U : 0U);
    }
    EXPECT_EQ(log->entries,
              (std::vector<testing::Logged>{
                  {75, " Error in nmuHelpContents_Click sub or a sub-function therein."}}));
}

TEST(HelpFile, BesideTheProgramFirstThenTheInstalledShare) {
    TempFolder temp;
    fs::create_directories(temp / "bin");
    EXPECT_EQ(helpFileFor(temp / "bin"), temp / "bin/help/index.html");
    fs::create_directories(temp / "share/tallyvane/help");
    writeBytes(temp / "share/tallyvane/help/index.html", "<html></html>");
    EXPECT_EQ(helpFileFor(temp / "bin"), temp / "share/tallyvane/help/index.html");
    fs::create_directories(temp / "bin/help");
    writeBytes(temp / "bin/help/index.html", "<html></html>");
    EXPECT_EQ(helpFileFor(temp / "bin"), temp / "bin/help/index.html");
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

// Only an executable file counts; an empty PATH entry (the current directory) never does;
// a program that will not start is passed over; with none, the fallback message.
TEST(SystemInfo, FirstStartableProgramOnThePathOrTheMessage) {
    TempFolder temp;
    fs::create_directories(temp / "a");
    fs::create_directories(temp / "b");
    const auto place = [&](const fs::path& file, bool executable) {
        writeBytes(file, "#!/bin/sh\n");
        fs::permissions(file, executable ? fs::perms::owner_all : fs::perms::owner_read);
    };
    const std::string first(systemInfoPrograms()[0]);
    const std::string second(systemInfoPrograms()[1]);
    place(temp / "a" / first, false);
    place(temp / "b" / first, true);
    place(temp / "a" / second, true);
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
        const testing::ShownMessage unavailable{"System Information Is Unavailable At This Time",
                                                archive::MessageIcon::None};
        EXPECT_EQ(boxes.shown, starts ? testing::Shown{} : testing::Shown{unavailable});
    }
}

} // namespace
} // namespace tvn::app
