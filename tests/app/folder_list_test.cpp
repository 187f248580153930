#include "app/folder_list.h"
#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

// The current entry must move by the list's rule, or the next Select or Remove step looks
// at the wrong entry; selection flags travel with their entries.
TEST(FolderList, CurrentAndSelectionAfterRemoval) {
    struct Case {
        const char* name;
        int current, removed, expectedCurrent;
    };
    const Case cases[] = {
        {"current moves to the next entry", 1, 1, 1},
        {"last current moves to the new last", 3, 3, 2},
        {"entry above shifts current down", 2, 0, 1},
        {"entry below leaves current", 1, 3, 1},
        {"no current stays none", -1, 1, -1},
    };
    for (const Case& c : cases) {
        FolderList list("lstSource");
        for (int i = 0; i < 4; ++i) {
            list.append("F" + std::to_string(i));
        }
        list.setSelected(2, true);
        list.setCurrent(c.current);
        list.removeAt(c.removed);
        EXPECT_EQ(list.current(), c.expectedCurrent) << c.name;
        EXPECT_EQ(list.isSelected(c.removed < 2 ? 1 : 2), c.removed != 2) << c.name;
    }
    FolderList one("lstSource");
    one.append("A");
    one.setCurrent(0);
    one.removeAt(0);
    EXPECT_EQ(one.current(), -1);
}

TEST(FolderList, OutOfRangeIndexIsAFailureNotACrash) {
    FolderList list("lstSource");
    list.append("A");
    for (int index : {-2, 1, 7}) {
        testing::expectFailure(err::kInvalidProcedureCall, [&] { list.text(index); });
        testing::expectFailure(err::kInvalidProcedureCall, [&] { list.removeAt(index); });
        testing::expectFailure(err::kInvalidProcedureCall, [&] { list.setSelected(index, true); });
        testing::expectFailure(err::kInvalidProcedureCall, [&] { list.setCurrent(index); });
    }
    EXPECT_NO_THROW(list.setCurrent(-1));
}

class EventLog final : public FolderListObserver {
public:
    using List = const FolderList&;
    void aboutToAppend(List l, int i) override { add("+" + std::to_string(l.count()), i); }
    void entryAppended(List l, int i) override { add("appended" + std::to_string(l.count()), i); }
    void aboutToRemove(List, int i) override { add("-", i); }
    void entryRemoved(List l, int i) override {
        add("removed current" + std::to_string(l.current()), i);
    }
    void aboutToClear(List l) override { add("clear" + l.texts()[0], -1); }
    void cleared(List l) override { add("cleared", l.count()); }
    void currentChanged(List, int current) override { add("current", current); }
    void selectionChanged(List, int i, bool selected) override {
        add(selected ? "select" : "unselect", i);
    }
    void enabledChanged(List, bool enabled) override { add(enabled ? "enable" : "disable", -1); }
    void add(const std::string& what, int i) { events.push_back(what + " " + std::to_string(i)); }
    std::vector<std::string> events;
};

// A Qt model must be told before rows come or go and after; a view that writes back what
// it was told must not cause a second notice.
TEST(FolderList, TellsTheObserverBeforeAndAfterAndOnlyOfRealChanges) {
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
    list.clear();
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"+0 0", "appended1 0", "+1 1", "appended2 1", "current 1",
                                        "select 1", "enable -1", "- 1", "removed current0 1",
                                        "current 0", "clearA -1", "cleared 0"}));
}

} // namespace
} // namespace tvn::app
