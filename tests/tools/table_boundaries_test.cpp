// Folder sizes at the boundaries of the contents table's storage: the row matrix fitting one
// heap allocation or moving to a subnode, filling one block of rows exactly or spilling
// into the next, and the row index needing a second BTH level. Each is read back through
// our reader, which walks the contents table.

#include <gtest/gtest.h>

#include "store/pst/pst_file.h"
#include "tests/tools/test_files.h"

namespace tvn::tools::test {
namespace {

// A contents-table row of this writer is 74 bytes (row id and version, ten 4-byte and three
// 8-byte cells, a 2-byte existence bitmap): 48 rows fit one heap allocation (3580 bytes),
// 110 rows one data block (8176 bytes); 447 row-index records fill one BTH leaf.
class ContentsTableBoundary : public ::testing::TestWithParam<int> {};

TEST_P(ContentsTableBoundary, EveryRowIsFound) {
    const int n = GetParam();
    TempFolder tmp;
    Description d;
    auto& f = d.folder("F", "IPF.Note");
    for (int i = 0; i < n; ++i) {
        Message m(i % 2 == 0 ? "IPM.Note" : "IPM.Note.Custom");
        m.subject("S" + std::to_string(i));
        f.add(std::move(m));
    }
    writeDescription(d, tmp / "t.pst");
    const auto top = tvn::store::pst::openDataFile(tmp / "t.pst", nullptr);
    const auto folder = top->folders()->item(2);
    ASSERT_EQ(folder->items()->count(), n);
    if (n > 0) {
        EXPECT_EQ(folder->items()->item(n)->get("Subject").text(), "S" + std::to_string(n - 1));
    }
    const auto counts = tvn::store::pst::messageClassCounts(*folder);
    std::int64_t total = 0;
    for (const auto& [cls, count] : counts) {
        (void)cls;
        total += count;
    }
    EXPECT_EQ(total, n);
    if (n > 1) {
        EXPECT_EQ(counts.at("IPM.Note.Custom"), n / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(RowCounts, ContentsTableBoundary,
                         ::testing::Values(0, 1, 47, 48, 49, 109, 110, 111, 220, 221, 446, 447, 448,
                                           449));

} // namespace
} // namespace tvn::tools::test
