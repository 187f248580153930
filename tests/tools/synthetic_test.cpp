#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "store/failure.h"
#include "store/pst/pst_file.h"
#include "tests/support/corpus.h"
#include "tests/tools/test_files.h"
#include "tools/pstwriter/synthetic.h"

namespace tvn::tools::test {
namespace {

std::int64_t countItems(const tvn::store::Folder& f) {
    std::int64_t n = f.items()->count();
    const auto sub = f.folders();
    for (std::int32_t i = 1; i <= sub->count(); ++i) {
        n += countItems(*sub->item(i));
    }
    return n;
}

TEST(SyntheticFile, SameSeedSameBytesOtherSeedOtherBytes) {
    TempFolder tmp;
    writeSynthetic(tmp / "a.pst", 60, 5);
    writeSynthetic(tmp / "b.pst", 60, 5);
    writeSynthetic(tmp / "c.pst", 60, 6);
    EXPECT_TRUE(test_support::readFileText(tmp / "a.pst") ==
                test_support::readFileText(tmp / "b.pst"));
    EXPECT_FALSE(test_support::readFileText(tmp / "a.pst") ==
                 test_support::readFileText(tmp / "c.pst"));
}

TEST(SyntheticFile, OurReaderFindsEveryItem) {
    TempFolder tmp;
    const SyntheticStats s = writeSynthetic(tmp / "s.pst", 150, 11);
    EXPECT_EQ(s.mails, 150u);
    EXPECT_GT(s.otherItems, 0u);
    const auto top = tvn::store::pst::openDataFile(tmp / "s.pst", nullptr);
    EXPECT_EQ(countItems(*top), static_cast<std::int64_t>(s.mails + s.otherItems));
}

// A folder whose contents table spans dozens of heap pages (including the pages that carry a
// fill-level bitmap) and whose row index is a BTH of more than one level.
TEST(LargeFolder, ContentsTableListsEveryItemWithItsClass) {
    TempFolder tmp;
    Description d;
    auto& f = d.folder("Many", "IPF.Note");
    for (int i = 0; i < 2500; ++i) {
        Message m(i % 5 == 0 ? "IPM.Post" : "IPM.Note");
        m.subject("Item number " + std::to_string(i) + " with a subject of some length").body("b");
        m.addRecipient("Someone " + std::to_string(i), "someone@example.com");
        f.add(std::move(m));
    }
    writeDescription(d, tmp / "many.pst");
    const auto top = tvn::store::pst::openDataFile(tmp / "many.pst", nullptr);
    const auto many = top->folders()->item(2);
    ASSERT_EQ(many->name(), "Many");
    EXPECT_EQ(many->items()->count(), 2500);
    const auto counts = tvn::store::pst::messageClassCounts(*many);
    EXPECT_EQ(counts.at("IPM.Note"), 2000);
    EXPECT_EQ(counts.at("IPM.Post"), 500);
    EXPECT_EQ(many->items()->item(2001)->get("Subject").text(),
              "Item number 2000 with a subject of some length");
}

TEST(PstWriterUse, RefusesItemsWhereNoneCanGo) {
    TempFolder tmp;
    PstWriter w(tmp / "m.pst", StoreOptions{});
    const Message m("IPM.Note");
    EXPECT_THROW(w.addMessage(PstWriter::kRootFolder, m), Failure);
    EXPECT_THROW(w.addMessage(0x12345, m), Failure);
    EXPECT_THROW(w.addFolder(0x12345, "x"), Failure);
    const auto f = w.addFolder(w.ipmSubtree(), "F", "IPF.Note");
    w.addMessage(f, m);
    w.finishFolderContents(f);
    EXPECT_THROW(w.addMessage(f, m), Failure); // its contents table is written already
    w.finish();
    EXPECT_THROW(w.addFolder(w.ipmSubtree(), "late"), Failure);
}

TEST(PstWriterUse, UnwritablePathFails) {
    try {
        PstWriter w("/nonexistent-dir/x.pst", StoreOptions{});
        FAIL() << "wrote into a missing folder";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), err::kPathFileAccess);
    }
}

} // namespace
} // namespace tvn::tools::test
