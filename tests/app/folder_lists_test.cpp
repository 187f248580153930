#include <functional>
#include <span>

#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

using Texts = std::vector<std::string>;
using testing::kPersonalListed;
using testing::Logged;

class FolderLists : public testing::ModelTest {
protected:
    // Fills a list afresh, selects some entries and makes one current.
    void fill(FolderList& list, const Texts& texts, const std::vector<int>& selected = {},
              int current = -1) {
        list.clear();
        for (const auto& text : texts) {
            list.append(text);
        }
        for (int index : selected) {
            list.setSelected(index, true);
        }
        list.setCurrent(current);
    }
    void expectCounts(int listed, int selected) {
        EXPECT_EQ(view.listed, countText(listed));
        EXPECT_EQ(view.selected, countText(selected));
    }
};

// Each letter of the text is one entry ("ABC": A, B, C).
Texts letters(std::string_view text) {
    Texts out;
    for (const char c : text) {
        out.emplace_back(1, c);
    }
    return out;
}

// Select moves the selected source entries at or above the current one, highest first, to
// the end of the destination. Remove moves destination entries back the same way and stops
// at a name that stands in the source (compared case-sensitively).
TEST_F(FolderLists, SelectAndRemoveOrder) {
    struct Case {
        const char* name;
        const char* source;
        const char* destination;
        std::vector<int> selected; // in the list the command moves from
        int current;
        const char* expectedSource;
        const char* expectedDestination;
    };
    const Case selects[] = {
        {"selected below the current entry stays", "ABCD", "Z", {1, 3}, 2, "ACD", "ZB"},
        {"current last and only selected", "ABCD", "Z", {3}, 3, "ABC", "ZD"},
        {"several arrive highest first", "ABCD", "Z", {0, 2, 3}, 3, "B", "ZDCA"},
        {"current moves on and is not revisited", "ABCD", "Z", {1, 2}, 1, "ACD", "ZB"},
        {"selection without current moves nothing", "ABCD", "Z", {0, 1}, -1, "ABCD", "Z"},
    };
    const Case removes[] = {
        {"all back highest first", "", "ABC", {0, 1, 2}, 2, "CBA", ""},
        {"name in the source stays and stops", "B", "ABC", {0, 1}, 1, "B", "ABC"},
        {"stops only on reaching the name", "A", "ABC", {0, 1, 2}, 2, "ACB", "A"},
        {"unselected name in the source does not stop", "B", "ABC", {0, 2}, 2, "BCA", "B"},
        {"only entries at or above the current one", "", "ABC", {0, 2}, 1, "A", "BC"},
        {"name differing in case does not stop", "a", "ABC", {0}, 0, "aA", "BC"},
    };
    for (const bool select : {true, false}) {
        for (const Case& c :
             select ? std::span<const Case>(selects) : std::span<const Case>(removes)) {
            SCOPED_TRACE(c.name);
            fill(model->sourceList(), letters(c.source));
            fill(model->archiveList(), letters(c.destination));
            fill(select ? model->sourceList() : model->archiveList(),
                 letters(select ? c.source : c.destination), c.selected, c.current);
            select ? model->btnSelect1_Click() : model->btnRemove1_Click();
            EXPECT_EQ(source(), letters(c.expectedSource));
            EXPECT_EQ(destination(), letters(c.expectedDestination));
            expectCounts(static_cast<int>(source().size()), static_cast<int>(destination().size()));
        }
    }
    EXPECT_TRUE(log->entries.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

// Nothing to move: Select and Remove All say nothing, Remove says no folders are listed;
// none refreshes the counts.
TEST_F(FolderLists, EmptyListsAreNotRefreshed) {
    fill(model->sourceList(), {});
    const int refreshes = view.countRefreshes;
    model->btnSelect1_Click();
    model->lstSource_DblClick();
    fill(model->sourceList(), {"Inbox"});
    model->btnRemove1_Click();
    model->lstDestination_DblClick();
    model->btnRemoveAll_Click();
    const testing::ShownMessage expected{"No Folders are listed!",
                                         archive::MessageIcon::Exclamation};
    EXPECT_EQ(boxes.shown, (std::vector<testing::ShownMessage>{expected, expected}));
    EXPECT_EQ(view.countRefreshes, refreshes);
    EXPECT_EQ(source(), Texts{"Inbox"});
}

// Select All takes every listable folder of the data file, not the source list's content,
// so the source must not keep them as well, even when the user never clicked in it; an
// unreadable folder is logged and the others taken. Without a listed file it only empties
// the destination.
TEST_F(FolderLists, SelectAllTakesTheDataFilesFoldersAndEmptiesTheSource) {
    fill(model->sourceList(), {"Inbox"});
    fill(model->archiveList(), {"Old"});
    model->btnSelectAll_Click();
    EXPECT_EQ(destination(), Texts{});
    EXPECT_EQ(source(), Texts{"Inbox"});

    listPersonal();
    model->sourceList().removeAt(1);
    ASSERT_EQ(model->sourceList().current(), -1);
    personal->subfolders()[1]->failType(Failure(err::kCorruptData, "Damaged folder"));
    model->mnuToolsmn_SelectAll_Click();
    EXPECT_EQ(destination(), (Texts{"Inbox", "Contacts", "Tasks", "Notes"}));
    EXPECT_TRUE(source().empty());
    expectCounts(0, 4);
    EXPECT_EQ(log->entries,
              (std::vector<Logged>{
                  {err::kCorruptData, "Error in btnSelectAll sub or a sub-function therein."}}));
}

// The count boxes follow the lists through a whole session of commands; Clear All keeps
// the data file, so that Select All after it still finds the folders.
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
             model->sourceList().setSelected(0, true);
             model->sourceList().setCurrent(0);
             model->btnSelect1_Click();
         },
         4, 1},
        {"Get Folder List again", [&] { listPersonal(); }, 9, 1},
        {"Select All", [&] { model->btnSelectAll_Click(); }, 0, 5},
        {"Remove the last by double-click",
         [&] {
             model->archiveList().setSelected(4, true);
             model->archiveList().setCurrent(4);
             model->lstDestination_DblClick();
         },
         1, 4},
        {"Remove Selected Item (nothing selected) lists again",
         [&] { model->mnuToolsmn_RemoveOne_Click(); }, 6, 4},
        {"Remove All", [&] { model->btnRemoveAll_Click(); }, 5, 0},
        {"Clear All", [&] { model->mnuClearAll_Click(); }, 0, 0},
        {"Select All after Clear All", [&] { model->mnuToolsmn_SelectAll_Click(); }, 0, 0},
    };
    for (const Step& step : steps) {
        step.run();
        EXPECT_EQ(model->sourceList().count(), step.listed) << step.command;
        EXPECT_EQ(model->archiveList().count(), step.selected) << step.command;
        EXPECT_EQ(view.listed, countText(step.listed)) << step.command;
        EXPECT_EQ(view.selected, countText(step.selected)) << step.command;
    }
    EXPECT_EQ(model->listedDataFile(), personal);
    EXPECT_EQ(model->GetFolderObject("Tasks"), personal->subfolders()[4]);
    EXPECT_TRUE(log->entries.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

} // namespace
} // namespace tvn::app
