#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

using Texts = std::vector<std::string>;
using store::ItemType;
using store::memory::MemoryFolder;
using testing::kPersonalListed;
using testing::Logged;
using testing::Shown;

class GetFolderList : public testing::ModelTest {
protected:
    void pick(std::shared_ptr<store::Folder> folder, bool fail = false) {
        answers.folder = std::move(folder);
        answers.failPick = fail;
        model->btnGetPST_Click();
    }
};

// The top folder's folders are listed without the journal, and the view names the file;
// the session is kept (the remembered file was opened once).
TEST_F(GetFolderList, DataFilesTopFolderListsItsFoldersWithoutTheJournal) {
    listPersonal();
    EXPECT_EQ(source(), kPersonalListed);
    EXPECT_TRUE(model->sourceList().enabled());
    EXPECT_EQ(model->listedDataFile(), personal);
    EXPECT_EQ(view.dataFile, "/data/personal.pst");
    listPersonal();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(log->entries.empty());
}

// Cancel, a failing picker, and a folder inside a data file list nothing; the check
// compares names, so a subfolder named like a top folder passes. After a good pick, a
// cancel keeps the listing and a failing picker keeps the earlier pick, as a failed
// assignment does.
TEST_F(GetFolderList, WrongOrCancelledPickListsNothing) {
    const testing::ShownMessage unable{
        "TVN was unable to open your Outlook data file! Please try again.",
        archive::MessageIcon::Information};
    const testing::ShownMessage inside{"You selected a Folder within an Outlook data (PST) "
                                       "file. Please select an Outlook data file!",
                                       archive::MessageIcon::Information};
    pick(nullptr);
    pick(nullptr, true);
    pick(inbox);
    EXPECT_EQ(boxes.shown, (Shown{unable, unable, inside}));
    EXPECT_TRUE(source().empty());
    EXPECT_EQ(model->listedDataFile(), nullptr);
    EXPECT_EQ(log->entries, (std::vector<Logged>{{err::kUnspecified, " Error in InitializeOutlook "
                                                                     "function or a sub-function "
                                                                     "therein."}}));
    listPersonal();
    pick(nullptr);
    EXPECT_EQ(source(), kPersonalListed);
    EXPECT_EQ(model->listedDataFile(), personal);
    listPersonal();
    pick(nullptr, true);
    EXPECT_EQ(model->sourceList().count(), 15);

    boxes.shown.clear();
    pick(personal->addFolder("Personal Folders"));
    EXPECT_TRUE(boxes.shown.empty());
}

// Two data files with the same display name: the one picked is listed, and it is the one
// GetFolderObject (and so Select All and the run) reads. A top folder without a name is
// not taken for a data file.
TEST_F(GetFolderList, PickedDataFileIsListedWhenAnotherSharesItsName) {
    auto second = MemoryFolder::make("Personal Folders");
    auto archived = second->addFolder("Archive 2009");
    second->addFolder("Diary", ItemType::Journal);
    files["/data/second.pst"] = second;
    files["/data/unnamed.pst"] = MemoryFolder::make("");
    for (const char* file : {"/data/second.pst", "/data/unnamed.pst"}) {
        model->dataFiles().open(model->application(), file);
    }
    pick(second);
    EXPECT_EQ(source(), Texts{"Archive 2009"});
    EXPECT_EQ(model->GetFolderObject("Archive 2009"), archived);
    EXPECT_EQ(model->GetFolderObject("Inbox"), nullptr);
    pick(files["/data/unnamed.pst"]);
    EXPECT_EQ(boxes.shown,
              (Shown{{"TVN was unable to locate your .pst file! Please select a valid PST file.",
                      archive::MessageIcon::Exclamation}}));
}

// GetFolderObject gives the first folder whose whole name matches case-sensitively,
// skipping a folder whose name cannot be read; without a listed file it logs and gives
// nothing.
TEST_F(GetFolderList, GetFolderObjectGivesTheFirstExactMatch) {
    EXPECT_EQ(model->GetFolderObject("Inbox"), nullptr);
    EXPECT_EQ(log->entries, (std::vector<Logged>{{err::kObjectNotSet, "Error obtaining MAPI "
                                                                      "folder object in "
                                                                      "GetFolderObject."}}));
    auto first = personal->addFolder("Projects");
    personal->addFolder("Projects", ItemType::Task);
    listPersonal();
    EXPECT_EQ(model->GetFolderObject("Projects"), first);
    for (const char* name : {"inbox", "Inbo", "Inbox ", "", "Sub"}) {
        EXPECT_EQ(model->GetFolderObject(name), nullptr) << name;
    }
    personal->subfolders()[0]->failName(Failure(err::kCorruptData, "Damaged"));
    EXPECT_EQ(model->GetFolderObject("Tasks"), personal->subfolders()[4]);
    EXPECT_EQ(log->entries.size(), 2U);
}

// A failure while listing is logged with the name of the folder being listed (empty
// before the first) and skips only that step; an unreadable pick is the command's failure.
TEST_F(GetFolderList, UnreadableFoldersAreLoggedAndTheWalkGoesOn) {
    const auto getFolderInfo = [](std::string subject) {
        return Logged{err::kCorruptData, " Error in GetFolderInfo sub or a sub-function therein.",
                      std::move(subject)};
    };
    personal->subfolders()[1]->failType(Failure(err::kCorruptData, "Damaged folder"));
    personal->subfolders()[3]->failName(Failure(err::kCorruptData, "Damaged name"));
    listPersonal();
    EXPECT_EQ(source(), (Texts{"Inbox", "Tasks", "Notes"}));
    EXPECT_EQ(log->entries,
              (std::vector<Logged>{getFolderInfo("Calendar"), getFolderInfo("Journal")}));
    EXPECT_TRUE(model->reporter().boolError);

    personal->failFolders(Failure(err::kCorruptData, "Damaged hierarchy"));
    model->GetFolderInfo();
    EXPECT_EQ(log->entries.back(), getFolderInfo(""));
    log->entries.clear();
    model->btnGetPST_Click();
    EXPECT_EQ(log->entries.at(0),
              (Logged{err::kCorruptData, "Error in btnGetPST sub or a sub-function therein."}));
}

} // namespace
} // namespace tvn::app
