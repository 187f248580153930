#include <gtest/gtest.h>

#include "store/memory/memory_store.h"
#include "store/property_names.h"
#include "tests/support/expect_failure.h"

namespace tvn::store {
namespace {

using tvn::test_support::expectFailure;

using memory::MemoryFolder;

TEST(AbsentProperty, ReadsAsOutlookReadsIt) {
    auto folder = MemoryFolder::make("Inbox");
    folder->addItem("IPM.Note");
    auto item = folder->items()->item(1);
    EXPECT_EQ(item->get("Subject"), Variant(std::string{}));
    EXPECT_EQ(item->get("SentOn").date(), DateTime::none());
    EXPECT_EQ(item->get("Importance").integer(), 1);
    EXPECT_EQ(item->get("Sensitivity").integer(), 0);
    EXPECT_FALSE(item->get("AllDayEvent").boolean());
    EXPECT_EQ(item->get("MessageClass").text(), "IPM.Note");
    expectFailure(err::kNotFound, [&] { item->get("NoSuchProperty"); });
}

TEST(DamagedItem, FailsAloneAndLeavesTheOthersReadable) {
    auto folder = MemoryFolder::make("Inbox");
    folder->addItem("IPM.Note").set("Subject", "first");
    folder->addDamagedItem(Failure(err::kCorruptData, "damaged block at offset 4096"));
    folder->addItem("IPM.Note").set("Subject", "third");
    auto items = folder->items();
    ASSERT_EQ(items->count(), 3);
    EXPECT_EQ(items->item(1)->get("Subject").text(), "first");
    expectFailure(err::kCorruptData, [&] { items->item(2); });
    EXPECT_EQ(items->item(3)->get("Subject").text(), "third");
}

TEST(PropertyFailure, RaisesTheChosenNumber) {
    auto folder = MemoryFolder::make("Inbox");
    folder->addItem("IPM.Note").fail("Body", Failure(-2147467259, "unspecified"));
    expectFailure(-2147467259, [&] { folder->items()->item(1)->get("Body"); });
}

TEST(Folders, ItemByNameIsTheFirstExactMatch) {
    auto top = MemoryFolder::make("Personal Folders");
    auto first = top->addFolder("Inbox");
    top->addFolder("inbox");
    auto second = top->addFolder("Inbox");
    auto folders = top->folders();
    EXPECT_EQ(folders->item("Inbox"), first);
    EXPECT_NE(folders->item("inbox"), first);
    EXPECT_THROW(folders->item("INBOX"), Failure);
    EXPECT_THROW(folders->item(0), Failure);
    EXPECT_THROW(folders->item(4), Failure);
}

} // namespace
} // namespace tvn::store
