// Create end to end over in-memory data files: each listed entry archives the folder it
// was listed for and no folder twice, the progress window, the commands disabled and
// enabled again around the run, and the run's end messages and log line.

#include <regex>

#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;
using archive::MessageIcon;
using testing::Shown;

// Records the calls as one line: "min0 max8 show ...".
class RecordingProgress final : public ProgressWindow {
public:
    void setMinimum(int value) override { calls += "min" + std::to_string(value) + " "; }
    void setMaximum(int value) override { calls += "max" + std::to_string(value) + " "; }
    void showModeless() override { calls += "show "; }
    void activate() override { calls += "activate "; }
    void setVisible(bool visible) override { calls += visible ? "visible " : "hidden "; }
    void setValue(int value) override { calls += std::to_string(value) + " "; }
    std::string calls;
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

    archive::testing::TempFolder root;
    RecordingProgress progress;
};

// A real file has two top-level folders named "Inbox": both are archived, into the one
// directory, and listing the data file twice archives each folder once. The bar goes
// through one, then each index, then the count.
TEST_F(Create, EachEntryArchivesItsOwnFolderAndNoFolderTwice) {
    auto second = personal->addFolder("Inbox");
    for (const auto& [folder, subject] : {std::pair{inbox, "first inbox"}, {second, "second"}}) {
        folder->addItem("IPM.Note")
            .set("Class", 43)
            .set("Subject", subject)
            .set("SenderName", "Ann")
            .set("SentOn", store::DateTime{2003, 11, 5, 9, 7, 2});
    }
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
    EXPECT_EQ(archived, (std::vector<std::string>{"2003-11-05_090702_first inbox_Ann.rtf",
                                                  "2003-11-05_090702_second_Ann.rtf", "Sub"}));
    EXPECT_TRUE(fs::is_directory(root.path() / "Calendar"));
    EXPECT_EQ(boxes.shown, (Shown{{"Your files have been created!", MessageIcon::None}}));
    const auto text = archive::testing::readFileText(logPath());
    EXPECT_TRUE(std::regex_match(
        text, std::regex("Date: [0-9/]+( [0-9:]+ [AP]M)?   No errors were reported\\.(\r\n){3}")))
        << text;
    EXPECT_EQ(progress.calls, "min0 max8 show activate visible 1 0 1 2 3 4 5 6 7 8 hidden ");

    // The hourglass and the commands off in their order, the run, then the arrow, the main
    // window to the front, and the commands on again in the same order.
    std::vector<std::string> expected{"hourglass"};
    const auto eachCommand = [&](const std::string& what) {
        for (const auto command : FrmMain::runCommands()) {
            expected.push_back(what + std::string(command));
        }
    };
    eachCommand("disable ");
    expected.insert(expected.end(), {"pointer", "activate"});
    eachCommand("enable ");
    EXPECT_EQ(view.calls, expected);
    EXPECT_GE(view.repaints, 8);
}

// An entry without a folder (typed in, another data file's name) is reported and gets no
// writer; the message names the log that holds the entry. An empty list says so and
// touches nothing else.
TEST_F(Create, AnEntryWithoutAFolderIsReportedAndAnEmptyListSaysSo) {
    model->btnCreate_Click();
    EXPECT_EQ(boxes.shown, (Shown{{"No folders are selected for archival!", MessageIcon::None}}));
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
    EXPECT_EQ(boxes.shown, (Shown{{"TVN encountered errors while processing certain items. You "
                                   "can view the error log at: " +
                                       logPath().string(),
                                   MessageIcon::Information},
                                  {"Your files have been created!", MessageIcon::None}}));
}

} // namespace
} // namespace tvn::app
