// Create as the window sees it: the progress window's values, and the commands disabled and
// enabled again around the run.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;

class RecordingProgress final : public ProgressWindow {
public:
    void setMinimum(int value) override { calls.push_back("min " + std::to_string(value)); }
    void setMaximum(int value) override { calls.push_back("max " + std::to_string(value)); }
    void showModeless() override { calls.push_back("show"); }
    void activate() override { calls.push_back("activate"); }
    void setVisible(bool visible) override { calls.push_back(visible ? "visible" : "hidden"); }
    void setValue(int value) override {
        calls.push_back("value " + std::to_string(value));
        values.push_back(value);
    }
    std::vector<std::string> calls;
    std::vector<int> values;
};

class Create : public testing::ModelTest {
protected:
    Create() {
        // The run writes a real log and real directories under a root of its own.
        model->TextStream99().reset();
        model->saveLocation().strSavePath = archive::pathToUtf8(temp / "Archive");
        model->setProgressWindow(&progress);
        view.calls.clear();
    }
    void chooseThree() {
        for (const auto& folder : personal->subfolders()) {
            if (folder->name() != "Journal" && model->lstDestination.count() < 3) {
                model->lstDestination.append(folder->name(), folder);
            }
        }
        ASSERT_EQ(destination(), (std::vector<std::string>{"Inbox", "Calendar", "Contacts"}));
    }

    archive::testing::TempFolder temp;
    RecordingProgress progress;
};

TEST_F(Create, ThreeFoldersTakeTheBarThroughOneThenEachIndexThenTheCount) {
    chooseThree();
    model->btnCreate_Click();
    EXPECT_EQ(progress.calls,
              (std::vector<std::string>{"min 0", "max 3", "show", "activate", "visible", "value 1",
                                        "value 0", "value 1", "value 2", "value 3", "hidden"}));
    for (const char* dir : {"Inbox", "Calendar", "Contacts"}) {
        EXPECT_TRUE(fs::is_directory(temp / "Archive" / dir)) << dir;
    }
    EXPECT_EQ(boxes.shown,
              (std::vector<testing::ShownMessage>{
                  {"Your files have been created!", archive::MessageIcon::None, "Tallyvane"}}));
}

// The hourglass and the twelve commands off in their order, the run, then the arrow, the
// main window to the front, the message, and the commands on again in the same order.
TEST_F(Create, CommandsAreDisabledAndEnabledAgainInTheirOrderAroundTheRun) {
    chooseThree();
    model->btnCreate_Click();
    std::vector<std::string> expected{"hourglass"};
    for (const auto command : FrmMain::runCommands()) {
        expected.push_back("disable " + std::string(command));
    }
    expected.insert(expected.end(), {"pointer", "activate"});
    for (const auto command : FrmMain::runCommands()) {
        expected.push_back("enable " + std::string(command));
    }
    EXPECT_EQ(view.calls, expected);
    EXPECT_EQ(FrmMain::runCommands(),
              (std::vector<std::string_view>{"btnCreate", "btnGetPST", "btnClearAll", "btnSelect1",
                                             "btnSelectAll", "btnRemove1", "btnRemoveAll",
                                             "mnuClearAll", "mnuCreateFiles", "mnuFileOpen",
                                             "mnuGetFolderList", "mnuTools"}));
    EXPECT_GE(view.repaints, 3);
}

} // namespace
} // namespace tvn::app
