#include <gtest/gtest.h>

#include "app/folder_listing.h"
#include "app/frm_main.h"
#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

using Texts = std::vector<std::string>;
using store::ItemType;
using store::memory::MemoryFolder;
using testing::kPersonalListed;
using testing::Logged;
using testing::ShownMessage;

const ShownMessage kUnableToOpen{"TVN was unable to open your Outlook data file! Please try again.",
                                 archive::MessageIcon::Information, "Tallyvane"};

class GetFolderList : public testing::ModelTest {
protected:
    // Opens another in-memory data file and lists it.
    void listFile(const std::string& path, const std::shared_ptr<MemoryFolder>& top) {
        files[path] = top;
        model->dataFiles().open(model->application(), path);
        picker.answer = top;
        model->btnGetPST_Click();
    }
    static Logged getFolderInfo(std::string subject) {
        return {err::kCorruptData, " Error in GetFolderInfo sub or a sub-function therein.",
                std::move(subject)};
    }
};

TEST_F(GetFolderList, DataFilesTopFolderListsItsFoldersWithoutTheJournal) {
    listPersonal();
    EXPECT_EQ(source(), kPersonalListed);
    EXPECT_TRUE(model->lstSource.enabled());
    EXPECT_EQ(view.listed, "5 Folder(s)");
    EXPECT_EQ(view.selected, "0 Folder(s)");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(log->entries.empty());
    EXPECT_EQ(model->gnspNameSpace, personal);
    EXPECT_EQ(model->objFolder, personal);
    EXPECT_EQ(picker.calls, 1);
    EXPECT_EQ(view.calls.back(), "activate");
}

// Listing again appends everything again; the session is kept (the remembered file was
// opened once).
TEST_F(GetFolderList, SecondListingAppendsEverythingAgain) {
    listPersonal();
    listPersonal();
    Texts twice = kPersonalListed;
    twice.insert(twice.end(), kPersonalListed.begin(), kPersonalListed.end());
    EXPECT_EQ(source(), twice);
    EXPECT_EQ(view.listed, "10 Folder(s)");
    EXPECT_EQ(opened, 1);
}

TEST_F(GetFolderList, CancelSaysUnableToOpenAndLeavesBothListsAsTheyWere) {
    model->lstSource.append("Kept");
    model->lstDestination.append("Also kept");
    picker.answer = nullptr;
    model->mnuGetFolderList_Click();
    EXPECT_EQ(boxes.shown, std::vector<ShownMessage>{kUnableToOpen});
    EXPECT_EQ(source(), Texts{"Kept"});
    EXPECT_EQ(destination(), Texts{"Also kept"});
    EXPECT_EQ(model->fldFolder, nullptr);
    EXPECT_TRUE(log->entries.empty());
}

TEST_F(GetFolderList, CancelAfterAnEarlierListingKeepsTheListedDataFile) {
    listPersonal();
    picker.answer = nullptr;
    model->btnGetPST_Click();
    EXPECT_EQ(source(), kPersonalListed);
    EXPECT_EQ(model->objFolder, personal);
    EXPECT_EQ(model->gnspNameSpace, nullptr);
}

// The check compares names: a folder inside a data file is refused, a subfolder named like
// a top folder passes.
TEST_F(GetFolderList, FolderInsideADataFileIsRefusedAndListsNothing) {
    picker.answer = inbox;
    model->btnGetPST_Click();
    EXPECT_EQ(boxes.shown, (std::vector<ShownMessage>{
                               {"You selected a Folder within an Outlook data (PST) file. Please "
                                "select an Outlook data file!",
                                archive::MessageIcon::Information, "Tallyvane"}}));
    EXPECT_TRUE(source().empty());
    EXPECT_FALSE(model->lstSource.enabled());
    EXPECT_EQ(model->objFolder, nullptr);

    boxes.shown.clear();
    picker.answer = personal->addFolder("Personal Folders", ItemType::Mail);
    model->btnGetPST_Click();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(model->objFolder, personal);
}

// Two data files with the same display name: the one picked is listed, and it is the one
// GetFolderObject (and so Select All and the run) reads.
TEST_F(GetFolderList, PickedDataFileIsListedWhenAnotherSharesItsName) {
    auto second = MemoryFolder::make("Personal Folders");
    auto archived = second->addFolder("Archive 2009", ItemType::Mail);
    second->addFolder("Diary", ItemType::Journal);
    listFile("/data/second.pst", second);
    EXPECT_EQ(source(), Texts{"Archive 2009"});
    EXPECT_EQ(model->objFolder, second);
    EXPECT_EQ(model->GetFolderObject("Archive 2009"), archived);
    EXPECT_EQ(model->GetFolderObject("Inbox"), nullptr);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(GetFolderList, TopFolderWithAnEmptyNameCannotBeLocated) {
    auto unnamed = MemoryFolder::make("");
    unnamed->addFolder("Inbox", ItemType::Mail);
    listFile("/data/unnamed.pst", unnamed);
    EXPECT_EQ(boxes.shown,
              (std::vector<ShownMessage>{
                  {"TVN was unable to locate your .pst file! Please select a valid PST file.",
                   archive::MessageIcon::Exclamation, "Tallyvane"}}));
    EXPECT_TRUE(source().empty());
    EXPECT_EQ(view.listed, "0 Folder(s)");
}

// GetFolderObject gives the first folder whose whole name matches case-sensitively,
// skipping a folder whose name cannot be read.
TEST_F(GetFolderList, GetFolderObjectGivesTheFirstExactMatch) {
    auto first = personal->addFolder("Projects", ItemType::Mail);
    personal->addFolder("Projects", ItemType::Task);
    listPersonal();
    Texts expected = kPersonalListed;
    expected.insert(expected.end(), {"Projects", "Projects"});
    EXPECT_EQ(source(), expected);
    EXPECT_EQ(model->GetFolderObject("Projects"), first);
    EXPECT_EQ(model->GetFolderObject("Inbox"), inbox);
    for (const char* name : {"inbox", "INBOX", "Inbo", "Inbox ", "", "Sub"}) {
        EXPECT_EQ(model->GetFolderObject(name), nullptr) << name;
    }
    EXPECT_TRUE(log->entries.empty());
    personal->subfolders()[0]->failName(Failure(err::kCorruptData, "Damaged"));
    EXPECT_EQ(model->GetFolderObject("Tasks"), personal->subfolders()[4]);
    EXPECT_EQ(log->entries.size(), 1U);
    EXPECT_EQ(log->entries.at(0).number, err::kCorruptData);
}

TEST_F(GetFolderList, GetFolderObjectWithoutAListedFileIsLoggedAndGivesNothing) {
    EXPECT_EQ(model->GetFolderObject("Inbox"), nullptr);
    EXPECT_EQ(
        log->entries,
        (std::vector<Logged>{{err::kObjectNotSet,
                              "Error obtaining MAPI folder object in GetFolderObject.", "N/A."}}));
}

// A failure while listing is reported with the name of the folder being listed (empty
// before the first) and skips only that step.
TEST_F(GetFolderList, UnreadableFolderIsLoggedWithItsNameAndTheWalkGoesOn) {
    personal->subfolders()[1]->failType(Failure(err::kCorruptData, "Damaged folder"));
    personal->subfolders()[3]->failName(Failure(err::kCorruptData, "Damaged name"));
    listPersonal();
    EXPECT_EQ(source(), (Texts{"Inbox", "Tasks", "Notes"}));
    EXPECT_EQ(log->entries,
              (std::vector<Logged>{getFolderInfo("Calendar"), getFolderInfo("Journal")}));
    EXPECT_TRUE(model->reporter().boolError);

    personal->failFolders(Failure(err::kCorruptData, "Damaged hierarchy"));
    model->GetFolderInfo(model->fldFolder);
    EXPECT_EQ(log->entries.back(), getFolderInfo(""));
}

TEST_F(GetFolderList, UnreadablePickedFolderIsLoggedByTheCommand) {
    personal->failFolders(Failure(err::kCorruptData, "Damaged hierarchy"));
    listPersonal();
    EXPECT_TRUE(source().empty());
    EXPECT_EQ(model->fldFolder, nullptr);
    EXPECT_EQ(log->entries,
              (std::vector<Logged>{{err::kCorruptData,
                                    "Error in btnGetPST sub or a sub-function therein.", "N/A."}}));
}

class ThrowingPicker final : public store::FolderPicker {
public:
    std::shared_ptr<store::Folder> pickFolder() override {
        throw Failure(err::kUnspecified, "The picker failed");
    }
};

// A failing picker is logged and is no pick; after a good pick it keeps the earlier one, as
// a failed assignment does, and the listing goes on with it.
TEST_F(GetFolderList, FailingPickerIsLoggedAndKeepsTheEarlierPick) {
    ThrowingPicker failing;
    model->setFolderPicker(&failing);
    model->btnGetPST_Click();
    const Logged initializeOutlook{
        err::kUnspecified, " Error in InitializeOutlook function or a sub-function therein.",
        "N/A."};
    EXPECT_EQ(log->entries, std::vector<Logged>{initializeOutlook});
    EXPECT_EQ(boxes.shown, std::vector<ShownMessage>{kUnableToOpen});
    EXPECT_TRUE(source().empty());

    model->setFolderPicker(&picker);
    listPersonal();
    model->setFolderPicker(&failing);
    model->btnGetPST_Click();
    EXPECT_EQ(model->lstSource.count(), 10);
    EXPECT_EQ(log->entries, (std::vector<Logged>{initializeOutlook, initializeOutlook}));
}

// The journal is recognised by its sixteen-bit number; an unreadable type is the caller's
// failure.
TEST(FolderListing, EveryKindButTheJournalIsListable) {
    const std::pair<std::int32_t, bool> cases[] = {
        {0, true}, {1, true}, {4, false}, {5, true}, {6, true}, {0x10004, false}, {-1, true}};
    for (const auto& [type, listable] : cases) {
        EXPECT_EQ(isListable(MemoryFolder("F", static_cast<ItemType>(type))), listable) << type;
    }
    MemoryFolder folder("F", ItemType::Mail);
    folder.failType(Failure(err::kCorruptData, "Damaged"));
    EXPECT_THROW(isListable(folder), Failure);
}

} // namespace
} // namespace tvn::app
