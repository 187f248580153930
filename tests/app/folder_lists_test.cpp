#include <functional>

#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

using testing::Logged;

class FolderLists : public testing::ModelTest {
protected:
    // Fills a list afresh, one entry per letter, and selects some and makes one current.
    static void fill(FolderList& list, std::string_view letters,
                     const std::vector<int>& selected = {}, int current = -1) {
        list.clear();
        for (const char letter : letters) {
            list.append(std::string(1, letter));
        }
        for (int index : selected) {
            list.setSelected(index, true);
        }
        list.setCurrent(current);
    }
    // Both lists by their initials, "source|destination|"; the counts must show their sizes.
    std::string shown() const {
        EXPECT_EQ(view.listed, countText(static_cast<int>(source().size())));
        EXPECT_EQ(view.selected, countText(static_cast<int>(destination().size())));
        std::string out;
        for (const auto& texts : {source(), destination()}) {
            for (const auto& text : texts) {
                out += text.at(0);
            }
            out += '|';
        }
        return out;
    }
};

// Select moves selected entries at or above the current one, highest first; Remove moves
// them back the same way and stops at a name that stands in the source.
TEST_F(FolderLists, SelectAndRemoveOrder) {
    // Select (else Remove), the lists, the selected and current entries of the one the
    // command moves from, and the lists after it.
    const std::tuple<const char*, bool, const char*, const char*, std::vector<int>, int,
                     const char*>
        cases[] = {
            {"selected below the current entry stays", true, "ABCD", "Z", {1, 3}, 2, "ACD|ZB|"},
            {"several arrive highest first", true, "ABCD", "Z", {0, 2, 3}, 3, "B|ZDCA|"},
            {"current moves on and is not revisited", true, "ABCD", "Z", {1, 2}, 1, "ACD|ZB|"},
            {"selection without current moves nothing", true, "ABCD", "Z", {0, 1}, -1, "ABCD|Z|"},
            {"all back highest first", false, "", "ABC", {0, 1, 2}, 2, "CBA||"},
            {"name in the source stays and stops", false, "B", "ABC", {0, 1}, 1, "B|ABC|"},
            {"stops only on reaching the name", false, "A", "ABC", {0, 1, 2}, 2, "ACB|A|"},
            {"unselected name in the source does not stop", false, "B", "ABC", {0, 2}, 2, "BCA|B|"},
            {"only entries at or above the current one", false, "", "ABC", {0, 2}, 1, "A|BC|"},
            {"name differing in case does not stop", false, "a", "ABC", {0}, 0, "aA|BC|"},
        };
    for (const auto& [name, select, from, to, selected, current, expected] : cases) {
        SCOPED_TRACE(name);
        fill(model->sourceList(), from);
        fill(model->archiveList(), to);
        fill(select ? model->sourceList() : model->archiveList(), select ? from : to, selected,
             current);
        select ? model->btnSelect1_Click() : model->btnRemove1_Click();
        EXPECT_EQ(shown(), expected);
    }
    EXPECT_TRUE(log->empty());
    EXPECT_TRUE(boxes.shown.empty());
}

// Select All takes every listable folder of the data file, not the source list's content,
// and empties the source even when the user never clicked in it.
TEST_F(FolderLists, ListsAndCountsAfterEveryCommand) {
    const auto choose = [&](FolderList& list, int index) {
        list.setSelected(index, true);
        list.setCurrent(index);
    };
    const std::pair<std::function<void()>, const char*> steps[] = {
        {[&] { fill(model->archiveList(), "O"), model->btnSelectAll_Click(); }, "||"},
        {[&] { pick(personal); }, "ICCTN||"},
        {[&] { choose(model->sourceList(), 0), model->btnSelect1_Click(); }, "CCTN|I|"},
        {[&] { pick(personal); }, "CCTNICCTN|I|"},
        {[&] { model->btnSelectAll_Click(); }, "|ICCTN|"},
        {[&] { choose(model->archiveList(), 4), model->btnRemove1_Click(); }, "N|ICCT|"},
        // Remove Selected Item with nothing selected lists the data file again.
        {[&] { model->mnuToolsmn_RemoveOne_Click(); }, "NICCTN|ICCT|"},
        {[&] { model->btnRemoveAll_Click(); }, "ICCTN||"},
        {[&] { model->mnuClearAll_Click(); }, "||"},
        // Nothing to move: only Remove says so, and Remove All does not list the file again.
        {[&] { model->btnSelect1_Click(), model->btnRemove1_Click(); }, "||"},
        {[&] { model->btnRemoveAll_Click(), model->mnuToolsmn_SelectAll_Click(); }, "||"},
        // An unreadable folder is logged and the others taken.
        {[&] {
             pick(personal);
             personal->subfolders()[1]->failType(Failure(err::kCorruptData, "Damaged"));
             model->btnSelectAll_Click();
         },
         "|ICTN|"},
    };
    for (const auto& [step, expected] : steps) {
        step();
        EXPECT_EQ(shown(), expected);
    }
    EXPECT_EQ(model->listedDataFile(), personal);
    EXPECT_EQ(model->GetFolderObject("Tasks"), personal->subfolders()[4]);
    EXPECT_EQ(*log, (std::vector<Logged>{{err::kCorruptData, std::string(info::kSelectAll)}}));
    EXPECT_EQ(boxes.shown,
              (testing::Shown{{"No Folders are listed!", archive::MessageIcon::Exclamation}}));
}

} // namespace
} // namespace tvn::app
