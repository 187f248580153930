// Help, Contents and the About box's System Info, without a window.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "app/help_and_about.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;
using archive::testing::TempFolder;
using archive::testing::writeBytes;

class ScriptedHelp final : public HelpViewer {
public:
    bool showHelp(const fs::path& firstTopic) override {
        asked.push_back(firstTopic);
        if (fail) {
            throw Failure(err::kPathFileAccess, "The help viewer failed");
        }
        return opens;
    }
    bool opens = true;
    bool fail = false;
    std::vector<fs::path> asked;
};

class HelpContents : public testing::ModelTest {};

// The failure message comes once, whatever kept the help from showing; a viewer that
// fails is also logged with the handler's own texts.
TEST_F(HelpContents, HelpThatCannotBeShownIsSaidOnce) {
    const testing::ShownMessage unavailable{
        "TVN was unable to display your Help file. Please place TVN_Help.CHM in the Tallyvane "
        "Program Folder and try again!",
        archive::MessageIcon::Information, "Tallyvane"};
    ScriptedHelp help;
    struct Case {
        const char* name;
        HelpViewer* viewer;
        fs::path file;
        bool opens, fails;
        std::size_t messages;
    };
    const std::vector<Case> cases = {
        {"shown", &help, "/opt/help/index.html", true, false, 0},
        {"no viewer", nullptr, "/opt/help/index.html", true, false, 1},
        {"no help file configured", &help, "", true, false, 1},
        {"viewer opened nothing", &help, "/opt/help/index.html", false, false, 1},
        {"viewer failed", &help, "/opt/help/index.html", true, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.shown.clear();
        log->entries.clear();
        help.opens = c.opens;
        help.fail = c.fails;
        model->setHelp(c.viewer, c.file);
        model->mnuHelpContents_Click();
        ASSERT_EQ(boxes.shown.size(), c.messages);
        if (c.messages != 0) {
            EXPECT_EQ(boxes.shown[0], unavailable);
        }
        EXPECT_EQ(log->entries.size(), c.fails ? 1U : 0U);
        if (c.fails) {
            EXPECT_EQ(log->entries[0],
                      (testing::Logged{75,
                                       " Error in nmuHelpContents_Click sub or a sub-function "
                                       "therein.",
                                       "N/A."}));
        }
    }
    EXPECT_EQ(help.asked.size(), 3U);
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

TEST(AboutBox, VersionLineNamesTheWholeVersion) {
    EXPECT_EQ(versionLine(), "Version 2.81.6");
}

class RecordingStarter final : public ProgramStarter {
public:
    bool start(const fs::path& program) override {
        started.push_back(program);
        return starts;
    }
    bool starts = true;
    std::vector<fs::path> started;
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

    testing::RecordingBoxes boxes;
    RecordingStarter starter;
    StartSysInfo(path, starter, boxes);
    EXPECT_EQ(starter.started, std::vector<fs::path>{temp / "b" / first});
    EXPECT_TRUE(boxes.shown.empty());

    starter.starts = false;
    starter.started.clear();
    StartSysInfo(path, starter, boxes);
    EXPECT_EQ(starter.started, (std::vector<fs::path>{temp / "b" / first, temp / "a" / second}));
    const testing::ShownMessage unavailable{"System Information Is Unavailable At This Time",
                                            archive::MessageIcon::None, "Tallyvane"};
    EXPECT_EQ(boxes.shown, std::vector<testing::ShownMessage>{unavailable});

    boxes.shown.clear();
    starter.started.clear();
    StartSysInfo("", starter, boxes);
    EXPECT_TRUE(starter.started.empty());
    EXPECT_EQ(boxes.shown, std::vector<testing::ShownMessage>{unavailable});
}

} // namespace
} // namespace tvn::app
