#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

using Texts = std::vector<std::string>;
using archive::MessageIcon;
using store::memory::MemoryFolder;
using testing::Logged;
using testing::Shown;

using GetFolderList = testing::ModelTest;

// Only a data file's top folder lists its folders, without the journal. After it, a cancel
// keeps the listing and a failing picker the earlier pick, as a failed assignment does;
// the check compares names, so a subfolder named like a top folder passes.
TEST_F(GetFolderList, TopFolderListsItsFoldersAndAWrongOrCancelledPickNothing) {
    const testing::ShownMessage unable{std::string(message::kUnableToOpen),
                                       MessageIcon::Information},
        inside{std::string(message::kFolderWithinDataFile), MessageIcon::Information};
    pick(nullptr);
    pick(nullptr, true);
    pick(inbox);
    EXPECT_EQ(boxes.shown, (Shown{unable, unable, inside}));
    EXPECT_EQ(model->listedDataFile(), nullptr);
    EXPECT_EQ(*log,
              (std::vector<Logged>{{err::kUnspecified, std::string(info::kInitializeOutlook)}}));
    boxes.shown.clear();
    pick(personal);
    pick(nullptr);
    EXPECT_EQ(source(), (Texts{"Inbox", "Calendar", "Contacts", "Tasks", "Notes"}));
    EXPECT_EQ(view.dataFile, "/data/personal.pst");
    EXPECT_EQ(model->listedDataFile(), personal);
    pick(personal);
    pick(nullptr, true);
    EXPECT_EQ(model->sourceList().count(), 15);
    pick(personal->addFolder("Personal Folders"));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(boxes.shown, (Shown{unable}));
}

// Of two data files with one display name, the one picked is listed and GetFolderObject
// (so Select All and the run) reads it. A top folder without a name is no data file.
TEST_F(GetFolderList, PickedDataFileIsListedWhenAnotherSharesItsName) {
    auto second = MemoryFolder::make("Personal Folders");
    auto archived = second->addFolder("Archive 2009");
    files["/data/second.pst"] = second;
    files["/data/unnamed.pst"] = MemoryFolder::make("");
    for (const char* file : {"/data/second.pst", "/data/unnamed.pst"}) {
        model->dataFiles().open(model->application(), file);
    }
    pick(second);
    EXPECT_EQ(source(), Texts{"Archive 2009"});
    EXPECT_EQ(model->GetFolderObject("Archive 2009"), archived);
    EXPECT_EQ(model->GetFolderObject("Inbox"), nullptr);
    EXPECT_EQ(model->GetFolderObject("archive 2009"), nullptr);
    pick(files["/data/unnamed.pst"]);
    EXPECT_EQ(boxes.shown,
              (Shown{{std::string(message::kUnableToLocate), MessageIcon::Exclamation}}));
}

// A failure while listing is logged with the folder's name (empty before the first) and
// skips only that step.
TEST_F(GetFolderList, UnreadableFoldersAreLoggedAndTheWalkGoesOn) {
    const Logged getPst{err::kCorruptData, std::string(info::kGetPst)};
    const auto getFolderInfo = [](std::string subject) {
        return Logged{err::kCorruptData, std::string(info::kGetFolderInfo), std::move(subject)};
    };
    personal->subfolders()[1]->failType(Failure(err::kCorruptData, "Damaged folder"));
    personal->subfolders()[3]->failName(Failure(err::kCorruptData, "Damaged name"));
    pick(personal);
    EXPECT_EQ(source(), (Texts{"Inbox", "Tasks", "Notes"}));
    personal->failFolders(Failure(err::kCorruptData, "Damaged hierarchy"));
    model->btnGetPST_Click();
    EXPECT_EQ(*log, (std::vector<Logged>{getFolderInfo("Calendar"), getFolderInfo("Journal"),
                                         getPst, getFolderInfo("")}));
}

} // namespace
} // namespace tvn::app
