// Create: each listed entry archives the folder it was listed for, a folder listed twice
// is archived once, an entry without a folder is reported and skipped, and the run's end
// messages and log line.

#include <filesystem>
#include <regex>

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

class CreateRun : public testing::ModelTest {
protected:
    CreateRun() {
        model->Form_Load();
        // A real log under a fresh root, so that the run's own lines can be read back.
        model->saveLocation().strSavePath = root.path().string();
        model->TextStream99() =
            archive::FileSystem().CreateTextFile(logPath(), true, archive::Buffering::EveryLine);
        // Start-up could not make the test's default root; that is not this run's error.
        model->reporter().boolError = false;
        boxes.shown.clear();
    }
    fs::path logPath() const { return root.path() / archive::kErrorLogName; }
    static void addMail(store::memory::MemoryFolder& folder, const std::string& subject) {
        folder.addItem("IPM.Note")
            .set("Class", 43)
            .set("Subject", subject)
            .set("SenderName", "Ann")
            .set("SentOn", DateTime{2003, 11, 5, 9, 7, 2});
    }
    std::vector<std::string> inboxFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root.path() / "Inbox")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    archive::testing::TempFolder root;
};

// A real file has two top-level folders named "Inbox": both are archived, into the one
// directory, and listing the data file twice archives each folder once.
TEST_F(CreateRun, EachEntryArchivesItsOwnFolderAndNoFolderTwice) {
    addMail(*inbox, "first inbox");
    addMail(*personal->addFolder("Inbox", ItemType::Mail), "second inbox");
    listPersonal();
    listPersonal();
    model->btnSelectAll_Click();
    ASSERT_EQ(model->lstDestination.count(), 6);
    model->btnCreate_Click();
    EXPECT_EQ(inboxFiles(),
              (std::vector<std::string>{"2003-11-05_090702_first inbox_Ann.rtf",
                                        "2003-11-05_090702_second inbox_Ann.rtf", "Sub"}));
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back(), (ShownMessage{"Your files have been created!",
                                                archive::MessageIcon::None, "Tallyvane"}));
    const auto text = archive::testing::readFileText(logPath());
    EXPECT_TRUE(std::regex_match(
        text, std::regex("Date: [0-9/]+( [0-9:]+ [AP]M)?   No errors were reported\\.\r\n\r\n\r\n")))
        << text;
}

// An entry typed into the list without a folder (another data file's name) is reported and
// gets no writer; the message names the log that holds the entry.
TEST_F(CreateRun, AnEntryWithoutAFolderIsReportedAndSkipped) {
    model->lstDestination.append("Elsewhere");
    model->btnCreate_Click();
    EXPECT_TRUE(fs::is_directory(root.path() / "Elsewhere"));
    const auto text = archive::testing::readFileText(logPath());
    EXPECT_NE(text.find("Error Nbr: -2147221233"), std::string::npos) << text;
    EXPECT_NE(text.find("Error Info: Error in BtnCreate sub or a sub-function therein."),
              std::string::npos)
        << text;
    ASSERT_GE(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "TVN encountered errors while processing certain items. You "
                                   "can view the error log at: " +
                                       logPath().string());
    EXPECT_EQ(boxes.shown[1].text, "Your files have been created!");
}

TEST_F(CreateRun, AnEmptyListSaysSoAndTouchesNothingElse) {
    view.calls.clear();
    model->btnCreate_Click();
    EXPECT_EQ(boxes.shown, (std::vector<ShownMessage>{{"No folders are selected for archival!",
                                                       archive::MessageIcon::None, "Tallyvane"}}));
    EXPECT_TRUE(view.calls.empty());
}

} // namespace
} // namespace tvn::app
