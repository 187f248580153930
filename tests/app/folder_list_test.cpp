#include "app/folder_list.h"
#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

// The current entry must move by the list's rule, or the next Select or Remove step looks
// at the wrong entry; selection flags travel with their entries.
TEST(FolderList, CurrentAndSelectionAfterRemoval) {
    // The entries (the third one selected), current, removed, then current and the entries
    // after it ("*": selected).
    const std::tuple<const char*, int, int, int, const char*> cases[] = {
        {"ABCD", 1, 1, 1, "AC*D"}, // the next entry takes the current one's place
        {"ABCD", 3, 3, 2, "ABC*"}, // the new last entry, when the last was current
        {"ABCD", 2, 0, 1, "BC*D"}, // an entry above moves the current one down
        {"ABCD", 1, 3, 1, "ABC*"}, // an entry below leaves it
        {"ABCD", -1, 2, -1, "ABD"}, {"A", 0, 0, -1, ""},
    };
    for (const auto& [entries, current, removed, currentAfter, after] : cases) {
        FolderList list("lstSource");
        for (const char entry : std::string_view(entries)) {
            list.append(std::string(1, entry));
        }
        if (list.count() > 2) {
            list.setSelected(2, true);
        }
        list.setCurrent(current);
        list.removeAt(removed);
        std::string state = std::to_string(list.current()) + " ";
        for (int i = 0; i < list.count(); ++i) {
            state += list.text(i) + (list.isSelected(i) ? "*" : "");
        }
        EXPECT_EQ(state, std::to_string(currentAfter) + " " + after) << entries << removed;
    }
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
    void selectionChanged(List, int i, bool on) override { add(on ? "select" : "unselect", i); }
    void enabledChanged(List, bool enabled) override { add(enabled ? "enable" : "disable", -1); }
    void add(const std::string& what, int i) { events += what + " " + std::to_string(i) + ", "; }
    std::string events;
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
    EXPECT_EQ(log.events, "+0 0, appended1 0, +1 1, appended2 1, current 1, select 1, enable -1, "
                          "- 1, removed current0 1, current 0, clearA -1, cleared 0, ");
}

} // namespace
} // namespace tvn::app
