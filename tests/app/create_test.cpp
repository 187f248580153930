// Create end to end over in-memory data files: each listed entry archives the folder it
// was listed for and no folder twice, the progress window, the commands disabled and
// enabled again around the run, and the run's end messages and log line.

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;
using store::DateTime;
using store::ItemType;
using testing::ShownMessage;

class RecordingProgress final : public ProgressWindow {
public:
    void setMinimum(int value) override { calls.push_back("min " + std::to_string(value)); }
    void setMaximum(int value) override { calls.push_back("max " + std::to_string(value)); }
    void showModeless() override { calls.push_back("show"); }
    void activate() override { calls.push_back("activate"); }
    void setVisible(bool visible) override { calls.push_back(visible ? "visible" : "hidden"); }
    void setValue(int value) override { calls.push_back("value " + std::to_string(value)); }
    std::vector<std::string> calls;
};

class Create : public testing::ModelTest {
protected:
    Create() {
        // A real log under a fresh root, so that the run's own lines can be read back.
        model->saveLocation().strSavePath = root.path().string();
        model->reporter().log() =
            archive::FileSystem().CreateTextFile(logPath(), true, archive::Buffering::EveryLine);
        model->setProgressWindow(&progress);
    }
    fs::path logPath() const { return root.path() / archive::kErrorLogName; }
    static void addMail(store::memory::MemoryFolder& folder, const std::string& subject) {
        folder.addItem("IPM.Note")
            .set("Class", 43)
            .set("Subject", subject)
            .set("SenderName", "Ann")
            .set("SentOn", DateTime{2003, 11, 5, 9, 7, 2});
    }

    archive::testing::TempFolder root;
    RecordingProgress progress;
};

// A real file has two top-level folders named "Inbox": both are archived, into the one
// directory, and listing the data file twice archives each folder once. The bar goes
// through one, then each index, then the count.
TEST_F(Create, EachEntryArchivesItsOwnFolderAndNoFolderTwice) {
    addMail(*inbox, "first inbox");
    addMail(*personal->addFolder("Inbox", ItemType::Mail), "second inbox");
    listPersonal();
    model->btnSelectAll_Click();
    listPersonal();
    for (int i = 0; i < 2; ++i) {
        model->archiveList().append(model->sourceList().text(i), model->sourceList().folder(i));
    }
    ASSERT_EQ(model->archiveList().count(), 8);
    view.calls.clear();
    model->btnCreate_Click();

    std::vector<std::string> archived;
    for (const auto& entry : fs::directory_iterator(root.path() / "Inbox")) {
        archived.push_back(entry.path().filename().string());
    }
    std::sort(archived.begin(), archived.end());
    EXPECT_EQ(archived,
              (std::vector<std::string>{"2003-11-05_090702_first inbox_Ann.rtf",
                                        "2003-11-05_090702_second inbox_Ann.rtf", "Sub"}));
    EXPECT_TRUE(fs::is_directory(root.path() / "Calendar"));
    EXPECT_EQ(boxes.shown, (std::vector<ShownMessage>{
                               {"Your files have been created!", archive::MessageIcon::None}}));
    const auto text = archive::testing::readFileText(logPath());
    EXPECT_TRUE(std::regex_match(
        text,
        std::regex("Date: [0-9/]+( [0-9:]+ [AP]M)?   No errors were reported\\.\r\n\r\n\r\n")))
        << text;

    std::vector<std::string> bar{"min 0", "max 8", "show", "activate", "visible", "value 1"};
    for (int i = 0; i <= 8; ++i) {
        bar.push_back("value " + std::to_string(i));
    }
    bar.push_back("hidden");
    EXPECT_EQ(progress.calls, bar);

    // The hourglass and the commands off in their order, the run, then the arrow, the main
    // window to the front, and the commands on again in the same order.
    std::vector<std::string> expected{"hourglass"};
    for (const auto command : FrmMain::runCommands()) {
        expected.push_back("disable " + std::string(command));
    }
    expected.insert(expected.end(), {"pointer", "activate"});
    for (const auto command : FrmMain::runCommands()) {
        expected.push_back("enable " + std::string(command));
    }
    EXPECT_EQ(view.calls, expected);
    EXPECT_GE(view.repaints, 8);
}

// An entry without a folder (typed in, another data file's name) is reported and gets no
// writer; the message names the log that holds the entry. An empty list says so and
// touches nothing else.
TEST_F(Create, AnEntryWithoutAFolderIsReportedAndAnEmptyListSaysSo) {
    model->btnCreate_Click();
    EXPECT_EQ(boxes.shown, (std::vector<ShownMessage>{{"No folders are selected for archival!",
                                                       archive::MessageIcon::None}}));
    EXPECT_TRUE(view.calls.empty());
    EXPECT_TRUE(progress.calls.empty());

    boxes.shown.clear();
    model->archiveList().append("Elsewhere");
    model->btnCreate_Click();
    EXPECT_TRUE(fs::is_directory(root.path() / "Elsewhere"));
    const auto text = archive::testing::readFileText(logPath());
    EXPECT_NE(text.find("Error Nbr: -2147221233\r\nError Info: Error in BtnCreate sub or a "
                        "sub-function therein."),
              std::string::npos)
        << text;
    EXPECT_EQ(boxes.shown,
              (std::vector<ShownMessage>{
                  {"TVN encountered errors while processing certain items. You can view the "
                   "error log at: " +
                       logPath().string(),
                   archive::MessageIcon::Information},
                  {"Your files have been created!", archive::MessageIcon::None}}));
}

} // namespace
} // namespace tvn::app
