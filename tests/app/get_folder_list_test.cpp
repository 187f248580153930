#include <ostream>

#include <gtest/gtest.h>

#include "app/folder_listing.h"
#include "app/frm_main.h"
#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

using Texts = std::vector<std::string>;
using Logged = std::vector<std::pair<std::string, std::string>>;
using store::ItemType;
using store::memory::MemoryFolder;
using testing::kPersonalListed;
using testing::ShownMessage;

constexpr const char* kUnableToOpen =
    "TVN was unable to open your Outlook data file! Please try again.";
constexpr const char* kWithin = "You selected a Folder within an Outlook data (PST) file. Please "
                                "select an Outlook data file!";
constexpr const char* kUnableToLocate =
    "TVN was unable to locate your .pst file! Please select a valid PST file.";

class GetFolderList : public testing::ModelTest {};

TEST_F(GetFolderList, DataFilesTopFolderListsItsFoldersWithoutTheJournal) {
    listPersonal();
    EXPECT_EQ(source(), kPersonalListed);
    EXPECT_TRUE(model->lstSource.enabled());
    EXPECT_EQ(view.listed, "5 Folder(s)");
    EXPECT_EQ(view.selected, "0 Folder(s)");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(log->lines.empty());
    EXPECT_EQ(model->gnspNameSpace, personal);
    EXPECT_EQ(model->objFolder, personal);
    ASSERT_NE(model->fldFolder, nullptr);
    EXPECT_EQ(model->fldFolder->count(), 6);
    EXPECT_EQ(picker.calls, 1);
    EXPECT_EQ(view.calls.back(), "activate");
}

TEST_F(GetFolderList, RemembersDataFilesAreOpenWhenThePickerIsShown) {
    listPersonal();
    ASSERT_NE(model->golApp, nullptr);
    EXPECT_EQ(model->golApp->dataFiles(), (std::vector<std::shared_ptr<store::Folder>>{personal}));
}

TEST_F(GetFolderList, CancelSaysUnableToOpenAndLeavesBothListsAsTheyWere) {
    model->lstSource.append("Kept");
    model->lstDestination.append("Also kept");
    picker.answer = nullptr;
    model->mnuGetFolderList_Click();
    EXPECT_EQ(boxes.shown, (std::vector<ShownMessage>{
                               {kUnableToOpen, archive::MessageIcon::Information, "Tallyvane"}}));
    EXPECT_EQ(source(), Texts{"Kept"});
    EXPECT_EQ(destination(), Texts{"Also kept"});
    EXPECT_EQ(model->fldFolder, nullptr);
    EXPECT_TRUE(log->lines.empty());
}

TEST_F(GetFolderList, CancelAfterAnEarlierListingKeepsTheListedDataFile) {
    listPersonal();
    picker.answer = nullptr;
    model->btnGetPST_Click();
    EXPECT_EQ(source(), kPersonalListed);
    EXPECT_EQ(model->objFolder, personal);
    EXPECT_EQ(model->gnspNameSpace, nullptr);
}

// Two data files with the same display name: the one picked is listed, and it is the one
// later runs and Select All read.
TEST_F(GetFolderList, PickedDataFileIsListedWhenAnotherSharesItsName) {
    auto second = MemoryFolder::make("Personal Folders");
    second->addFolder("Archive 2009", ItemType::Mail);
    files["/data/second.pst"] = second;
    model->application();
    model->dataFiles().open(*model->golApp, "/data/second.pst");
    picker.answer = second;
    model->btnGetPST_Click();
    EXPECT_EQ(source(), Texts{"Archive 2009"});
    EXPECT_EQ(model->objFolder, second);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(GetFolderList, FolderInsideADataFileIsRefusedAndListsNothing) {
    picker.answer = inbox;
    model->btnGetPST_Click();
    EXPECT_EQ(boxes.shown, (std::vector<ShownMessage>{
                               {kWithin, archive::MessageIcon::Information, "Tallyvane"}}));
    EXPECT_TRUE(source().empty());
    EXPECT_FALSE(model->lstSource.enabled());
    EXPECT_EQ(model->objFolder, nullptr);
}

// The check compares names only, as the picker's answer and the open files' top folders
// are compared by their text.
TEST_F(GetFolderList, SubfolderNamedLikeATopFolderPassesTheCheck) {
    auto lookalike = personal->addFolder("Personal Folders", ItemType::Mail);
    picker.answer = lookalike;
    model->btnGetPST_Click();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(model->objFolder, personal);
}

TEST_F(GetFolderList, SecondListingAppendsEverythingAgain) {
    listPersonal();
    listPersonal();
    Texts twice = kPersonalListed;
    twice.insert(twice.end(), kPersonalListed.begin(), kPersonalListed.end());
    EXPECT_EQ(source(), twice);
    EXPECT_EQ(view.listed, "10 Folder(s)");
    // The session is kept: the remembered file was opened once.
    EXPECT_EQ(opened, 1);
}

TEST_F(GetFolderList, TopFolderWithoutSubfoldersListsNothingAndSaysNothing) {
    auto empty = MemoryFolder::make("Empty");
    files["/data/empty.pst"] = empty;
    model->application();
    model->dataFiles().open(*model->golApp, "/data/empty.pst");
    picker.answer = empty;
    model->btnGetPST_Click();
    EXPECT_TRUE(source().empty());
    EXPECT_FALSE(model->lstSource.enabled());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(view.listed, "0 Folder(s)");
    EXPECT_EQ(model->objFolder, empty);
}

TEST_F(GetFolderList, ListsTheDataFileThatWasPicked) {
    auto archiveFile = MemoryFolder::make("Archive");
    archiveFile->addFolder("Old Mail", ItemType::Mail);
    archiveFile->addFolder("Diary", ItemType::Journal);
    files["/data/archive.pst"] = archiveFile;
    model->application();
    model->dataFiles().open(*model->golApp, "/data/archive.pst");
    picker.answer = archiveFile;
    model->btnGetPST_Click();
    EXPECT_EQ(source(), Texts{"Old Mail"});
    EXPECT_EQ(model->GetFolderObject("Old Mail"), archiveFile->subfolders()[0]);
    EXPECT_EQ(model->GetFolderObject("Inbox"), nullptr);
}

TEST_F(GetFolderList, TopFolderWithAnEmptyNameCannotBeLocated) {
    auto unnamed = MemoryFolder::make("");
    unnamed->addFolder("Inbox", ItemType::Mail);
    files["/data/unnamed.pst"] = unnamed;
    model->application();
    model->dataFiles().open(*model->golApp, "/data/unnamed.pst");
    picker.answer = unnamed;
    model->btnGetPST_Click();
    EXPECT_EQ(boxes.shown, (std::vector<ShownMessage>{
                               {kUnableToLocate, archive::MessageIcon::Exclamation, "Tallyvane"}}));
    EXPECT_TRUE(source().empty());
    EXPECT_EQ(view.listed, "0 Folder(s)");
}

TEST_F(GetFolderList, SameNameTwiceIsListedTwiceAndResolvesToTheFirst) {
    auto first = personal->addFolder("Projects", ItemType::Mail);
    auto second = personal->addFolder("Projects", ItemType::Task);
    listPersonal();
    Texts expected = kPersonalListed;
    expected.insert(expected.end(), {"Projects", "Projects"});
    EXPECT_EQ(source(), expected);
    EXPECT_EQ(model->GetFolderObject("Projects"), first);
    EXPECT_NE(model->GetFolderObject("Projects"), second);
}

TEST_F(GetFolderList, GetFolderObjectMatchesWholeNamesCaseSensitively) {
    listPersonal();
    EXPECT_EQ(model->GetFolderObject("Inbox"), inbox);
    for (const char* name : {"inbox", "INBOX", "Inbo", "Inbox ", "", "Sub"}) {
        EXPECT_EQ(model->GetFolderObject(name), nullptr) << name;
    }
    EXPECT_TRUE(log->lines.empty());
}

TEST_F(GetFolderList, GetFolderObjectWithoutAListedFileIsLoggedAndGivesNothing) {
    EXPECT_EQ(model->GetFolderObject("Inbox"), nullptr);
    EXPECT_EQ(testing::loggedInfoAndSubject(*log),
              (Logged{{"Error obtaining MAPI folder object in GetFolderObject.", "N/A."}}));
    EXPECT_EQ(testing::loggedNumbers(*log), std::vector<std::int32_t>{err::kObjectNotSet});
}

TEST_F(GetFolderList, GetFolderObjectSkipsAnUnreadableNameAndFindsALaterMatch) {
    listPersonal();
    personal->subfolders()[0]->failName(Failure(err::kCorruptData, "Damaged"));
    EXPECT_EQ(model->GetFolderObject("Tasks"), personal->subfolders()[4]);
    EXPECT_EQ(testing::loggedNumbers(*log), std::vector<std::int32_t>{err::kCorruptData});
}

// A failure while listing is reported with the name of the folder being listed and skips
// only that step.
TEST_F(GetFolderList, UnreadableFolderIsLoggedWithItsNameAndTheWalkGoesOn) {
    personal->subfolders()[1]->failType(Failure(err::kCorruptData, "Damaged folder"));
    personal->subfolders()[3]->failName(Failure(err::kCorruptData, "Damaged name"));
    listPersonal();
    EXPECT_EQ(source(), (Texts{"Inbox", "Tasks", "Notes"}));
    EXPECT_EQ(testing::loggedInfoAndSubject(*log),
              (Logged{{" Error in GetFolderInfo sub or a sub-function therein.", "Calendar"},
                      {" Error in GetFolderInfo sub or a sub-function therein.", "Journal"}}));
    EXPECT_TRUE(model->reporter().boolError);
}

TEST_F(GetFolderList, FailureBeforeTheFirstFolderHasAnEmptySubject) {
    listPersonal();
    personal->failFolders(Failure(err::kCorruptData, "Damaged hierarchy"));
    model->GetFolderInfo(model->fldFolder);
    EXPECT_EQ(source(), kPersonalListed);
    EXPECT_EQ(testing::loggedInfoAndSubject(*log),
              (Logged{{" Error in GetFolderInfo sub or a sub-function therein.", ""}}));
}

TEST_F(GetFolderList, UnreadablePickedFolderIsLoggedByTheCommand) {
    personal->failFolders(Failure(err::kCorruptData, "Damaged hierarchy"));
    listPersonal();
    EXPECT_TRUE(source().empty());
    EXPECT_EQ(model->fldFolder, nullptr);
    EXPECT_EQ(testing::loggedInfoAndSubject(*log),
              (Logged{{"Error in btnGetPST sub or a sub-function therein.", "N/A."}}));
    EXPECT_EQ(testing::loggedNumbers(*log), std::vector<std::int32_t>{err::kCorruptData});
}

class ThrowingPicker final : public store::FolderPicker {
public:
    std::shared_ptr<store::Folder> pickFolder() override {
        throw Failure(err::kUnspecified, "The picker failed");
    }
};

TEST_F(GetFolderList, FailingPickerIsLoggedAndTreatedAsNoPick) {
    ThrowingPicker failing;
    model->setFolderPicker(&failing);
    model->btnGetPST_Click();
    EXPECT_EQ(
        testing::loggedInfoAndSubject(*log),
        (Logged{{" Error in InitializeOutlook function or a sub-function therein.", "N/A."}}));
    EXPECT_EQ(boxes.shown, (std::vector<ShownMessage>{
                               {kUnableToOpen, archive::MessageIcon::Information, "Tallyvane"}}));
    EXPECT_TRUE(source().empty());
}

// A failed pick keeps the earlier one, as a failed assignment does; the listing goes on
// with it.
TEST_F(GetFolderList, FailingPickerAfterAGoodPickListsTheEarlierPickAgain) {
    listPersonal();
    ThrowingPicker failing;
    model->setFolderPicker(&failing);
    model->btnGetPST_Click();
    EXPECT_EQ(model->lstSource.count(), 10);
    EXPECT_EQ(testing::loggedNumbers(*log), std::vector<std::int32_t>{err::kUnspecified});
}

TEST_F(GetFolderList, ListingFailuresAreNotTheRunsConcern) {
    // An entry logged while listing is reported by the next run: boolError stays set.
    personal->subfolders()[0]->failType(Failure(err::kCorruptData, "Damaged"));
    listPersonal();
    EXPECT_TRUE(model->reporter().boolError);
    EXPECT_TRUE(model->reporter().boolPermission);
}

struct ListableCase {
    const char* name;
    std::int32_t type;
    bool listable;
    friend void PrintTo(const ListableCase& c, std::ostream* out) { *out << c.name; }
};

class Listable : public ::testing::TestWithParam<ListableCase> {};

TEST_P(Listable, JournalByItsSixteenBitNumber) {
    const ListableCase& c = GetParam();
    MemoryFolder folder("F", static_cast<ItemType>(c.type));
    EXPECT_EQ(isListable(folder), c.listable);
}

INSTANTIATE_TEST_SUITE_P(
    FolderListing, Listable,
    ::testing::Values(ListableCase{"Mail", 0, true}, ListableCase{"Appointment", 1, true},
                      ListableCase{"Contact", 2, true}, ListableCase{"Task", 3, true},
                      ListableCase{"Journal", 4, false}, ListableCase{"Note", 5, true},
                      ListableCase{"Post", 6, true},
                      ListableCase{"JournalAbove16Bits", 0x10004, false},
                      ListableCase{"Negative", -1, true}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(FolderListing, UnreadableTypeIsTheCallersFailure) {
    MemoryFolder folder("F", ItemType::Mail);
    folder.failType(Failure(err::kCorruptData, "Damaged"));
    EXPECT_THROW(isListable(folder), Failure);
}

} // namespace
} // namespace tvn::app
