#include <functional>
#include <ostream>

#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

using Texts = std::vector<std::string>;
using testing::kPersonalListed;

class FolderLists : public testing::ModelTest {
protected:
    void fillSource(std::initializer_list<const char*> texts) {
        for (const char* text : texts) {
            model->lstSource.append(text);
        }
    }
    void fillDestination(std::initializer_list<const char*> texts) {
        for (const char* text : texts) {
            model->lstDestination.append(text);
        }
    }
    void select(FolderList& list, std::initializer_list<int> indexes) {
        for (int index : indexes) {
            list.setSelected(index, true);
        }
    }
    void expectCounts(int listed, int selected) {
        EXPECT_EQ(view.listed, countText(listed));
        EXPECT_EQ(view.selected, countText(selected));
        EXPECT_EQ(model->txtListed, countText(listed));
        EXPECT_EQ(model->txtSelected, countText(selected));
    }
};

// ---- Select ----------------------------------------------------------------------------

struct SelectCase {
    const char* name;
    std::vector<int> selected;
    int current;
    Texts expectedSource;
    Texts expectedDestination;
    int expectedCurrent;
    friend void PrintTo(const SelectCase& c, std::ostream* out) { *out << c.name; }
};

class SelectOrder : public testing::ModelTest, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(SelectOrder, MovesSelectedEntriesAtOrAboveTheCurrentOneHighestFirst) {
    const SelectCase& c = GetParam();
    for (const char* text : {"A", "B", "C", "D"}) {
        model->lstSource.append(text);
    }
    for (int index : c.selected) {
        model->lstSource.setSelected(index, true);
    }
    model->lstSource.setCurrent(c.current);
    const int refreshes = view.countRefreshes;

    model->btnSelect1_Click();

    EXPECT_EQ(source(), c.expectedSource);
    EXPECT_EQ(destination(), c.expectedDestination);
    EXPECT_EQ(model->lstSource.current(), c.expectedCurrent);
    EXPECT_GT(view.countRefreshes, refreshes);
    EXPECT_EQ(model->txtListed, countText(static_cast<int>(c.expectedSource.size())));
    EXPECT_EQ(model->txtSelected, countText(static_cast<int>(c.expectedDestination.size())));
    EXPECT_TRUE(log->lines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    FolderLists, SelectOrder,
    ::testing::Values(
        SelectCase{"NothingSelectedNoCurrentMovesNothing", {}, -1, {"A", "B", "C", "D"}, {}, -1},
        SelectCase{"SelectedBelowTheCurrentEntryStays", {1, 3}, 2, {"A", "C", "D"}, {"B"}, 1},
        SelectCase{"OnlyTheCurrentEntryMovesExactlyIt", {2}, 2, {"A", "B", "D"}, {"C"}, 2},
        SelectCase{"CurrentLastAndOnlySelected", {3}, 3, {"A", "B", "C"}, {"D"}, 2},
        SelectCase{"SeveralArriveHighestFirst", {0, 2, 3}, 3, {"B"}, {"D", "C", "A"}, 0},
        SelectCase{"AllSelectedEmptiesTheSource", {0, 1, 2, 3}, 3, {}, {"D", "C", "B", "A"}, -1},
        SelectCase{
            "CurrentMovesToTheNextEntryAndIsNotRevisited", {1, 2}, 1, {"A", "C", "D"}, {"B"}, 1},
        SelectCase{
            "SelectionWithoutCurrentMovesNothing", {0, 1}, -1, {"A", "B", "C", "D"}, {}, -1}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(FolderLists, SelectOnAnEmptySourceDoesNotRefreshTheCounts) {
    const int refreshes = view.countRefreshes;
    model->btnSelect1_Click();
    model->lstSource_DblClick();
    EXPECT_EQ(view.countRefreshes, refreshes);
}

TEST_F(FolderLists, DoubleClickInTheSourceIsSelect) {
    fillSource({"Inbox", "Calendar"});
    select(model->lstSource, {0});
    model->lstSource.setCurrent(0);
    model->lstSource_DblClick();
    EXPECT_EQ(destination(), Texts{"Inbox"});
    expectCounts(1, 1);
}

TEST_F(FolderLists, SelectAppendsAfterTheDestinationsEntries) {
    fillSource({"A", "B"});
    fillDestination({"Z"});
    select(model->lstSource, {1});
    model->lstSource.setCurrent(1);
    model->btnSelect1_Click();
    EXPECT_EQ(destination(), (Texts{"Z", "B"}));
}

// ---- Remove ----------------------------------------------------------------------------

TEST_F(FolderLists, RemoveOnAnEmptyDestinationSaysNoFoldersAreListed) {
    fillSource({"Inbox"});
    const int refreshes = view.countRefreshes;
    model->btnRemove1_Click();
    model->lstDestination_DblClick();
    const testing::ShownMessage expected{"No Folders are listed!",
                                         archive::MessageIcon::Exclamation, "Tallyvane"};
    EXPECT_EQ(boxes.shown, (std::vector<testing::ShownMessage>{expected, expected}));
    EXPECT_EQ(view.countRefreshes, refreshes);
    EXPECT_EQ(source(), Texts{"Inbox"});
}

struct RemoveCase {
    const char* name;
    Texts source;
    std::vector<int> selected;
    int current;
    Texts expectedSource;
    Texts expectedDestination;
    friend void PrintTo(const RemoveCase& c, std::ostream* out) { *out << c.name; }
};

class RemoveOrder : public testing::ModelTest, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveOrder, MovesBackUntilANameThatStandsInTheSource) {
    const RemoveCase& c = GetParam();
    for (const auto& text : c.source) {
        model->lstSource.append(text);
    }
    for (const char* text : {"Inbox", "Calendar", "Tasks"}) {
        model->lstDestination.append(text);
    }
    for (int index : c.selected) {
        model->lstDestination.setSelected(index, true);
    }
    model->lstDestination.setCurrent(c.current);

    model->btnRemove1_Click();

    EXPECT_EQ(source(), c.expectedSource);
    EXPECT_EQ(destination(), c.expectedDestination);
    EXPECT_EQ(model->txtListed, countText(static_cast<int>(c.expectedSource.size())));
    EXPECT_EQ(model->txtSelected, countText(static_cast<int>(c.expectedDestination.size())));
    EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    FolderLists, RemoveOrder,
    ::testing::Values(
        RemoveCase{"AllBackHighestFirst", {}, {0, 1, 2}, 2, {"Tasks", "Calendar", "Inbox"}, {}},
        RemoveCase{"NameInTheSourceStaysAndStops",
                   {"Calendar"},
                   {0, 1},
                   1,
                   {"Calendar"},
                   {"Inbox", "Calendar", "Tasks"}},
        RemoveCase{"StopsOnlyWhenReachingTheNameInTheSource",
                   {"Inbox"},
                   {0, 1, 2},
                   2,
                   {"Inbox", "Tasks", "Calendar"},
                   {"Inbox"}},
        RemoveCase{"UnselectedNameInTheSourceDoesNotStop",
                   {"Calendar"},
                   {0, 2},
                   2,
                   {"Calendar", "Tasks", "Inbox"},
                   {"Calendar"}},
        RemoveCase{
            "OnlyEntriesAtOrAboveTheCurrentOne", {}, {0, 2}, 1, {"Inbox"}, {"Calendar", "Tasks"}},
        RemoveCase{"NoCurrentMovesNothing", {}, {0, 1, 2}, -1, {}, {"Inbox", "Calendar", "Tasks"}},
        RemoveCase{"CaseDifferentNameDoesNotStop",
                   {"inbox"},
                   {0},
                   0,
                   {"inbox", "Inbox"},
                   {"Calendar", "Tasks"}}),
    [](const auto& tested) { return std::string(tested.param.name); });

// ---- Select All, Remove All, Clear All, Remove Selected Item -----------------------------

TEST_F(FolderLists, SelectAllTakesEveryListableFolderOfTheDataFileAndEmptiesTheSource) {
    listPersonal();
    model->lstSource.setCurrent(0);
    // lstSource's own content does not matter: the destination is filled from the file.
    select(model->lstSource, {1});
    model->lstSource.setCurrent(1);
    model->btnSelect1_Click();
    model->lstSource.setCurrent(0);

    model->mnuToolsmn_SelectAll_Click();

    EXPECT_EQ(destination(), kPersonalListed);
    EXPECT_TRUE(source().empty());
    expectCounts(0, 5);
    EXPECT_TRUE(log->lines.empty());
}

// A source list the user never clicked has no current entry; Select All still moves every
// folder, so the source must not keep them all as well.
TEST_F(FolderLists, SelectAllEmptiesASourceWithNoCurrentEntry) {
    listPersonal();
    ASSERT_EQ(model->lstSource.current(), -1);
    model->btnSelectAll_Click();
    EXPECT_EQ(destination(), kPersonalListed);
    EXPECT_TRUE(source().empty());
    expectCounts(0, 5);
}

TEST_F(FolderLists, SelectAllWithoutAListedDataFileOnlyEmptiesTheDestination) {
    fillSource({"Inbox"});
    fillDestination({"Old"});
    model->btnSelectAll_Click();
    EXPECT_TRUE(destination().empty());
    EXPECT_EQ(source(), Texts{"Inbox"});
    expectCounts(1, 0);
}

TEST_F(FolderLists, SelectAllAfterClearAllStopsWithBothCountsAtZero) {
    listPersonal();
    model->btnClearAll_Click();
    expectCounts(0, 0);
    model->btnSelectAll_Click();
    EXPECT_TRUE(destination().empty());
    EXPECT_TRUE(source().empty());
    expectCounts(0, 0);
    // The data file stays picked.
    EXPECT_EQ(model->objFolder, personal);
}

TEST_F(FolderLists, SelectAllReportsAnUnreadableFolderAndTakesTheOthers) {
    listPersonal();
    personal->subfolders()[1]->failType(Failure(err::kCorruptData, "Damaged folder"));
    model->lstSource.setCurrent(0);
    model->btnSelectAll_Click();
    EXPECT_EQ(destination(), (Texts{"Inbox", "Contacts", "Tasks", "Notes"}));
    EXPECT_EQ(testing::loggedInfoAndSubject(*log),
              (std::vector<std::pair<std::string, std::string>>{
                  {"Error in btnSelectAll sub or a sub-function therein.", "N/A."}}));
    EXPECT_EQ(testing::loggedNumbers(*log), std::vector<std::int32_t>{err::kCorruptData});
}

TEST_F(FolderLists, RemoveAllRefillsTheSourceOnceFromTheDataFile) {
    listPersonal();
    model->lstSource.setCurrent(0);
    model->btnSelectAll_Click();
    model->lstSource.setEnabled(false);
    model->btnRemoveAll_Click();
    EXPECT_TRUE(destination().empty());
    EXPECT_EQ(source(), kPersonalListed);
    EXPECT_TRUE(model->lstSource.enabled());
    expectCounts(5, 0);
}

TEST_F(FolderLists, RemoveAllWithAnEmptyDestinationDoesNothing) {
    listPersonal();
    const int refreshes = view.countRefreshes;
    model->btnRemoveAll_Click();
    EXPECT_EQ(source(), kPersonalListed);
    EXPECT_EQ(view.countRefreshes, refreshes);
}

TEST_F(FolderLists, RemoveSelectedItemListsTheDataFileAgainAfterTheRemove) {
    listPersonal();
    select(model->lstSource, {0});
    model->lstSource.setCurrent(0);
    model->btnSelect1_Click();
    select(model->lstDestination, {0});
    model->lstDestination.setCurrent(0);

    model->mnuToolsmn_RemoveOne_Click();

    Texts expected = {"Calendar", "Contacts", "Tasks", "Notes", "Inbox"};
    expected.insert(expected.end(), kPersonalListed.begin(), kPersonalListed.end());
    EXPECT_EQ(source(), expected);
    EXPECT_TRUE(destination().empty());
    expectCounts(10, 0);
}

TEST_F(FolderLists, ClearAllEmptiesBothListsAndKeepsTheDataFile) {
    listPersonal();
    select(model->lstSource, {0});
    model->lstSource.setCurrent(0);
    model->btnSelect1_Click();
    model->mnuClearAll_Click();
    EXPECT_TRUE(source().empty());
    EXPECT_TRUE(destination().empty());
    expectCounts(0, 0);
    EXPECT_EQ(model->objFolder, personal);
    EXPECT_EQ(model->GetFolderObject("Tasks"), personal->subfolders()[4]);
}

// The count boxes follow the lists through a whole session of commands.
TEST_F(FolderLists, CountsAfterEveryCommand) {
    struct Step {
        const char* command;
        std::function<void()> run;
        int listed;
        int selected;
    };
    const std::vector<Step> steps = {
        {"Get Folder List", [&] { listPersonal(); }, 5, 0},
        {"Select Inbox",
         [&] {
             model->lstSource.setSelected(0, true);
             model->lstSource.setCurrent(0);
             model->btnSelect1_Click();
         },
         4, 1},
        {"Get Folder List again", [&] { listPersonal(); }, 9, 1},
        {"Select All",
         [&] {
             model->lstSource.setCurrent(0);
             model->btnSelectAll_Click();
         },
         0, 5},
        {"Remove the last",
         [&] {
             model->lstDestination.setSelected(4, true);
             model->lstDestination.setCurrent(4);
             model->lstDestination_DblClick();
         },
         1, 4},
        {"Remove Selected Item (nothing selected)", [&] { model->mnuToolsmn_RemoveOne_Click(); }, 6,
         4},
        {"Remove All", [&] { model->btnRemoveAll_Click(); }, 5, 0},
        {"Clear All", [&] { model->mnuClearAll_Click(); }, 0, 0},
        {"Select All after Clear All", [&] { model->mnuToolsmn_SelectAll_Click(); }, 0, 0},
    };
    for (const Step& step : steps) {
        step.run();
        EXPECT_EQ(view.listed, countText(step.listed)) << step.command;
        EXPECT_EQ(view.selected, countText(step.selected)) << step.command;
        EXPECT_EQ(model->lstSource.count(), step.listed) << step.command;
        EXPECT_EQ(model->lstDestination.count(), step.selected) << step.command;
    }
    EXPECT_TRUE(log->lines.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

} // namespace
} // namespace tvn::app
