#include <fmt/format.h>
#include <gtest/gtest.h>

#include "app/folder_list.h"
#include "store/failure.h"

namespace tvn::app {
namespace {

FolderList listOf(int count, bool enabled = true) {
    FolderList list("lstSource", enabled);
    for (int i = 0; i < count; ++i) {
        list.append(fmt::format("F{}", i));
    }
    return list;
}

// The current entry must move exactly as QListWidget moves it, or the view and the model
// disagree about which entry the next Select or Remove step looks at.
TEST(FolderList, CurrentAfterRemovalFollowsTheListWidget) {
    struct Case {
        const char* name;
        int count, current, removed, expectedCurrent;
    };
    const Case cases[] = {
        {"current moves to the next entry", 4, 1, 1, 1},
        {"last current moves to the new last", 4, 3, 3, 2},
        {"only entry leaves none", 1, 0, 0, -1},
        {"entry above shifts current down", 4, 2, 0, 1},
        {"entry just above shifts current down", 4, 3, 2, 2},
        {"entry below leaves current", 4, 1, 3, 1},
        {"no current stays none", 3, -1, 1, -1},
    };
    for (const Case& c : cases) {
        FolderList list = listOf(c.count);
        list.setCurrent(c.current);
        list.removeAt(c.removed);
        EXPECT_EQ(list.current(), c.expectedCurrent) << c.name;
        EXPECT_EQ(list.count(), c.count - 1) << c.name;
    }
}

TEST(FolderList, SelectionTravelsWithItsEntryAndClearLeavesNoCurrent) {
    FolderList list = listOf(4);
    list.setSelected(1, true);
    list.setSelected(3, true);
    list.removeAt(0);
    EXPECT_TRUE(list.isSelected(0));
    EXPECT_FALSE(list.isSelected(1));
    EXPECT_TRUE(list.isSelected(2));
    list.append("F1");
    EXPECT_FALSE(list.isSelected(3));
    EXPECT_EQ(list.texts(), (std::vector<std::string>{"F1", "F2", "F3", "F1"}));
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.current(), -1);
}

TEST(FolderList, OutOfRangeIndexIsAFailureNotACrash) {
    FolderList list = listOf(1);
    for (int index : {-2, 1, 7}) {
        EXPECT_THROW(list.text(index), Failure) << index;
        EXPECT_THROW(list.removeAt(index), Failure) << index;
        EXPECT_THROW(list.setSelected(index, true), Failure) << index;
        EXPECT_THROW(list.setCurrent(index), Failure) << index;
    }
    EXPECT_NO_THROW(list.setCurrent(-1));
    try {
        list.removeAt(3);
        ADD_FAILURE() << "removing past the end threw nothing";
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
    for (int twice = 0; twice < 2; ++twice) {
        list.setCurrent(1);
        list.setSelected(1, true);
        list.setEnabled(true);
    }
    list.removeAt(1);
    list.removeAt(0);
    list.clear();
    EXPECT_EQ(log.events, (std::vector<std::string>{"append 0", "append 1", "current 1", "select 1",
                                                    "enable -1", "remove 1", "current 0",
                                                    "remove 0", "current -1", "clear -1"}));
}

} // namespace
} // namespace tvn::app
