#include <set>

#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;
using archive::MessageIcon;
using testing::Shown;

// A real log under a fresh root, so that the run's own lines can be read back.
class Create : public testing::ModelTest {
protected:
    Create() {
        model->saveLocation().strSavePath = root.path().string();
        model->reporter().log() =
            archive::FileSystem().CreateTextFile(logPath(), true, archive::Buffering::EveryLine);
    }
    fs::path logPath() const { return root.path() / archive::kErrorLogName; }
    std::string logText() const { return archive::testing::readFileText(logPath()); }

    archive::testing::TempFolder root;
};

// Two top-level folders named "Inbox" are archived into the one directory, and listing
// the data file twice archives each folder once.
TEST_F(Create, EachEntryArchivesItsOwnFolderAndNoFolderTwice) {
    auto second = personal->addFolder("Inbox");
    for (const auto& [folder, subject] : {std::pair{inbox, "first inbox"}, {second, "second"}}) {
        folder->addItem("IPM.Note")
            .set("Class", 43)
            .set("Subject", subject)
            .set("SenderName", "Ann")
            .set("SentOn", store::DateTime{2003, 11, 5, 9, 7, 2});
    }
    pick(personal);
    model->btnSelectAll_Click();
    pick(personal);
    for (int i = 0; i < 2; ++i) {
        model->archiveList().append(model->sourceList().text(i), model->sourceList().folder(i));
    }
    ASSERT_EQ(model->archiveList().count(), 8);
    model->btnCreate_Click();

    std::set<std::string> archived;
    for (const auto& entry : fs::directory_iterator(root.path() / "Inbox")) {
        archived.insert(entry.path().filename().string());
    }
    EXPECT_EQ(archived, (std::set<std::string>{"2003-11-05_090702_first inbox_Ann.rtf",
                                               "2003-11-05_090702_second_Ann.rtf", "Sub"}));
    EXPECT_EQ(boxes.shown, (Shown{{"Your files have been created!", MessageIcon::None}}));
    EXPECT_TRUE(std::regex_match(
        logText(),
        std::regex("Date: [0-9/]+( [0-9:]+ [AP]M)?   No errors were reported\\.(\r\n){3}")))
        << logText();
}

// An empty list says so; an entry without a folder is logged, and the message names the log.
TEST_F(Create, AnEmptyListSaysSoAndAnEntryWithoutAFolderIsLogged) {
    model->btnCreate_Click();
    EXPECT_EQ(boxes.shown, (Shown{{"No folders are selected for archival!", MessageIcon::None}}));
    EXPECT_TRUE(view.calls.empty());

    boxes.shown.clear();
    model->archiveList().append("Elsewhere");
    model->btnCreate_Click();
    EXPECT_NE(logText().find("Error Nbr: -2147221233\r\nError Info: " + std::string(kCreateInfo)),
              std::string::npos)
        << logText();
    EXPECT_EQ(boxes.shown, (Shown{{std::string(message::kErrorsEncountered) + logPath().string(),
                                   MessageIcon::Information},
                                  {std::string(message::kFilesCreated), MessageIcon::None}}));
}

} // namespace
} // namespace tvn::app
