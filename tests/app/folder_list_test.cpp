#include <ostream>

#include <gtest/gtest.h>

#include "app/folder_list.h"
#include "store/failure.h"

namespace tvn::app {
namespace {

FolderList listOf(std::initializer_list<const char*> texts) {
    FolderList list("lstSource");
    for (const char* text : texts) {
        list.append(text);
    }
    return list;
}

struct RemovalCase {
    const char* name;
    int count;
    int current;
    int removed;
    int expectedCurrent;
    friend void PrintTo(const RemovalCase& c, std::ostream* out) { *out << c.name; }
};

class CurrentAfterRemoval : public ::testing::TestWithParam<RemovalCase> {};

// The current entry must move exactly as QListWidget moves it, or the view and the model
// disagree about which entry the next Select or Remove step looks at.
TEST_P(CurrentAfterRemoval, FollowsTheListWidget) {
    const RemovalCase& c = GetParam();
    FolderList list("lstDestination");
    for (int i = 0; i < c.count; ++i) {
        list.append("F" + std::to_string(i));
    }
    list.setCurrent(c.current);
    list.removeAt(c.removed);
    EXPECT_EQ(list.current(), c.expectedCurrent);
    EXPECT_EQ(list.count(), c.count - 1);
}

INSTANTIATE_TEST_SUITE_P(FolderList, CurrentAfterRemoval,
                         ::testing::Values(RemovalCase{"CurrentMovesToTheNextEntry", 4, 1, 1, 1},
                                           RemovalCase{"LastCurrentMovesToTheNewLast", 4, 3, 3, 2},
                                           RemovalCase{"OnlyEntryLeavesNone", 1, 0, 0, -1},
                                           RemovalCase{"EntryAboveShiftsCurrentDown", 4, 2, 0, 1},
                                           RemovalCase{"EntryJustAboveShiftsCurrentDown", 4, 3, 2,
                                                       2},
                                           RemovalCase{"EntryBelowLeavesCurrent", 4, 1, 3, 1},
                                           RemovalCase{"NoCurrentStaysNone", 3, -1, 1, -1}),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST(FolderList, SelectionTravelsWithItsEntry) {
    FolderList list = listOf({"A", "B", "C", "D"});
    list.setSelected(1, true);
    list.setSelected(3, true);
    list.removeAt(0);
    EXPECT_TRUE(list.isSelected(0));
    EXPECT_FALSE(list.isSelected(1));
    EXPECT_TRUE(list.isSelected(2));
    list.append("E");
    EXPECT_FALSE(list.isSelected(3));
}

TEST(FolderList, KeepsDuplicatesInAppendOrder) {
    FolderList list = listOf({"Inbox", "Calendar", "Inbox"});
    EXPECT_EQ(list.texts(), (std::vector<std::string>{"Inbox", "Calendar", "Inbox"}));
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.current(), -1);
}

TEST(FolderList, OutOfRangeIndexIsAFailureNotACrash) {
    FolderList list = listOf({"A"});
    for (int index : {-2, 1, 7}) {
        EXPECT_THROW(list.text(index), Failure) << index;
        EXPECT_THROW(list.removeAt(index), Failure) << index;
        EXPECT_THROW(list.setSelected(index, true), Failure) << index;
        EXPECT_THROW(list.setCurrent(index), Failure) << index;
    }
    EXPECT_NO_THROW(list.setCurrent(-1));
    try {
        list.removeAt(3);
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), err::kInvalidProcedureCall);
    }
}

class EventLog final : public FolderListObserver {
public:
    void entryAppended(const FolderList&, int index) override { add("append", index); }
    void entryRemoved(const FolderList&, int index) override { add("remove", index); }
    void cleared(const FolderList&) override { add("clear", -1); }
    void currentChanged(const FolderList&, int current) override { add("current", current); }
    void selectionChanged(const FolderList&, int index, bool selected) override {
        add(selected ? "select" : "unselect", index);
    }
    void enabledChanged(const FolderList&, bool enabled) override {
        add(enabled ? "enable" : "disable", -1);
    }
    void add(const std::string& what, int index) {
        events.push_back(what + " " + std::to_string(index));
    }
    std::vector<std::string> events;
};

// A view that writes back what it is told must not cause a second notification.
TEST(FolderList, TellsTheObserverOnlyOfRealChangesInOrder) {
    FolderList list("lstSource", false);
    EventLog log;
    list.setObserver(&log);
    list.append("A");
    list.append("B");
    list.setCurrent(1);
    list.setCurrent(1);
    list.setSelected(1, true);
    list.setSelected(1, true);
    list.setEnabled(true);
    list.setEnabled(true);
    list.removeAt(1);
    list.removeAt(0);
    list.clear();
    EXPECT_EQ(log.events, (std::vector<std::string>{"append 0", "append 1", "current 1", "select 1",
                                                    "enable -1", "remove 1", "current 0",
                                                    "remove 0", "current -1", "clear -1"}));
}

} // namespace
} // namespace tvn::app
