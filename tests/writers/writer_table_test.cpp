#include <gtest/gtest.h>

#include "tests/writers/writer_test_support.h"

namespace tvn::writers {
namespace {

using store::ItemType;

TEST(WriterTable, EachFolderKindHasItsWriterAndTheRestNone) {
    EXPECT_EQ(writerFor(ItemType::Mail), &SaveText);
    EXPECT_EQ(writerFor(ItemType::Appointment), &SaveCalendar);
    EXPECT_EQ(writerFor(ItemType::Contact), &SaveContacts);
    EXPECT_EQ(writerFor(ItemType::Task), &SaveTasks);
    EXPECT_EQ(writerFor(ItemType::Note), &SaveNotes);
    for (const auto none : {ItemType::Journal, ItemType::Post, ItemType::DistributionList}) {
        EXPECT_EQ(writerFor(none), nullptr);
    }
}

} // namespace
} // namespace tvn::writers
