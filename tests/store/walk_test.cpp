// The one walk over a folder tree: its order, failures handed on with the walk going on,
// and the bounds on depth and on the work a lying file can ask for.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/memory/memory_store.h"
#include "store/walk.h"

namespace tvn::store {
namespace {

using memory::MemoryFolder;

class Recorder final : public FolderVisitor {
public:
    bool enterFolder(const std::shared_ptr<Folder>& folder, std::size_t depth) override {
        events.push_back("enter " + folder->name() + " " + std::to_string(depth));
        return folder->name() != "skipped";
    }
    void visitItem(const std::shared_ptr<Item>& item, std::int32_t index) override {
        events.push_back("item " + item->get("Subject").text() + " " + std::to_string(index));
    }
    void leaveFolder(const std::shared_ptr<Folder>& folder) override {
        events.push_back("leave " + folder->name());
    }
    void failed(const Failure& failure, WalkStep step, std::int32_t index) override {
        events.push_back("failed " + std::to_string(static_cast<int>(step)) + " " +
                         std::to_string(index) + " " + std::to_string(failure.number()));
    }
    std::vector<std::string> events;
};

std::shared_ptr<MemoryFolder> tree() {
    auto top = MemoryFolder::make("top");
    top->addItem("IPM.Note").set("Subject", "t1");
    auto a = top->addFolder("a");
    a->addItem("IPM.Note").set("Subject", "a1");
    a->addDamagedItem(Failure(err::kCorruptData, "damaged"));
    a->addItem("IPM.Note").set("Subject", "a3");
    a->addFolder("skipped")->addItem("IPM.Note").set("Subject", "never");
    top->addFolder("b")->failItems(Failure(err::kCorruptData, "no table"));
    return top;
}

TEST(Walk, SubfoldersFirstAndEveryFailureHandedOn) {
    Recorder r;
    walkFolderTree(tree(), r);
    const std::vector<std::string> expected = {"enter top 0",     "enter a 1",
                                               "enter skipped 2", "leave skipped",
                                               "item a1 1",       "failed 3 2 -2147221221",
                                               "item a3 3",       "leave a",
                                               "enter b 1",       "failed 2 0 -2147221221",
                                               "leave b",         "item t1 1",
                                               "leave top"};
    EXPECT_EQ(r.events, expected);
}

TEST(Walk, ItemsFirstOrNoneAtAll) {
    Recorder r;
    WalkOptions options;
    options.subfoldersFirst = false;
    options.items = false;
    walkFolderTree(tree(), r, options);
    const std::vector<std::string> expected = {"enter top 0",   "enter a 1", "enter skipped 2",
                                               "leave skipped", "leave a",   "enter b 1",
                                               "leave b",       "leave top"};
    EXPECT_EQ(r.events, expected);
}

TEST(Walk, DepthAndBudgetEndTheWalkWithOneReport) {
    auto top = MemoryFolder::make("top");
    auto deepest = top;
    for (int i = 0; i < 5; ++i) {
        deepest = deepest->addFolder("d");
    }
    Recorder r;
    WalkOptions shallow;
    shallow.maxDepth = 3;
    walkFolderTree(top, r, shallow);
    EXPECT_EQ(std::count(r.events.begin(), r.events.end(), "enter d 3"), 1);
    EXPECT_EQ(std::count(r.events.begin(), r.events.end(), "enter d 4"), 0);
    EXPECT_EQ(r.events[4], "failed 1 1 -2147221221");

    Recorder limited;
    WalkOptions budget;
    budget.budget = 3;
    walkFolderTree(tree(), limited, budget);
    const std::vector<std::string> expected = {
        "enter top 0", "enter a 1", "enter skipped 2", "leave skipped", "failed 3 0 -2147221221",
        "leave a",     "leave top"};
    EXPECT_EQ(limited.events, expected);
}

} // namespace
} // namespace tvn::store
