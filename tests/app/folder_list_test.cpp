#include "app/folder_list.h"
#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

// The current entry moves by the list's rule, or the next Select or Remove step looks at
// the wrong entry; a wrong index is a failure, never a crash.
TEST(FolderList, CurrentAndSelectionAfterRemovalAndWrongIndexes) {
    // Entries (the third selected), current, removed; then current and entries ("*": selected).
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
        for (int index : {-2, list.count(), 7}) {
            testing::expectFailure(err::kInvalidProcedureCall, [&] { list.text(index); });
            testing::expectFailure(err::kInvalidProcedureCall, [&] { list.removeAt(index); });
            testing::expectFailure(err::kInvalidProcedureCall,
                                   [&] { list.setSelected(index, true); });
            testing::expectFailure(err::kInvalidProcedureCall, [&] { list.setCurrent(index); });
        }
    }
}

} // namespace
} // namespace tvn::app
