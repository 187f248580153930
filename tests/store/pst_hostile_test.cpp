// Files crafted by hand, each with correct checksums: folder trees whose folders are shared,
// name maps that name one long string many times, tables that claim rows in blocks that do
// not exist, stored values at the extremes, and files changed under the open reader. Each
// case bounds the work by the file, never by what the file claims.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "store/failure.h"
#include "store/pst/backend/pst_objects.h"
#include "store/pst/folder_walk.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/messaging/message_store.h"
#include "store/pst/ndb/crypt.h"
#include "store/pst/ndb/node_database.h"
#include "store/pst/pst_file.h"
#include "tests/store/hostile_files.h"
#include "tests/store/pst_reader_support.h"
#include "tests/support/corpus.h"
#include "tests/support/expect_failure.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace tvn::store;
using namespace tvn::store::pst;
using test_support::CraftedFolder;
using test_support::leaf;
using test_support::RowMatrix;
using test_support::rowMatrixFile;
using test_support::setLeaf;
using test_support::writeCraftedFile;
using tvn::test_support::expectFailure;
using tvn::test_support::TempFolder;

struct WalkResult {
    std::size_t folders = 0;
    std::size_t items = 0;
    std::vector<tvn::Failure> failures;
};

// The plain recursive walk every caller of the object model writes.
void walk(const Folder& folder, WalkResult& r, int depth = 0) {
    ++r.folders;
    ASSERT_LT(r.folders, 10000U) << "the walk multiplies";
    try {
        const auto items = folder.items();
        for (std::int32_t i = 1; i <= items->count(); ++i) {
            (void)items->item(i)->messageClass();
            ++r.items;
        }
        const auto subs = folder.folders();
        for (std::int32_t i = 1; i <= subs->count(); ++i) {
            try {
                walk(*subs->item(i), r, depth + 1);
            } catch (const tvn::Failure& f) {
                r.failures.push_back(f);
            }
        }
    } catch (const tvn::Failure& f) {
        r.failures.push_back(f);
    }
}

WalkResult walkFile(const fs::path& path) {
    WalkResult r;
    walk(*openDataFile(path, nullptr), r);
    return r;
}

// --- shared folder trees -----------------------------------------------------------------

TEST(SharedFolders, EachFolderIsWalkedOnceHoweverOftenItIsListed) {
    TempFolder dir;
    const struct {
        const char* name;
        std::vector<CraftedFolder> tree;
        std::size_t folders;  // folders the walk enters
        std::size_t failures; // listings reported as a folder already held by another
    } cases[] = {
        // Five tables each listing the next folder 40 times: 40^5 walks before.
        {"repeated chain", test_support::repeatedChain(5, 40), 6, 0},
        // Ten folders listing one chain of six: every later listing is reported once.
        {"shared subtree", test_support::sharedSubtree(10, 6), 17, 9},
        // A folder listing its parent, the top and itself.
        {"cycles", {{"top", {1}, 0}, {"a", {2, 2}, 0}, {"b", {1, 0, 2, 3}, 0}, {"c", {}, 0}}, 4, 3},
    };
    for (const auto& c : cases) {
        const auto path = dir / (std::string(c.name) + ".pst");
        writeCraftedFile(path, c.tree);
        for (int round = 0; round < 2; ++round) { // a second walk of a fresh open sees the same
            const auto r = walkFile(path);
            EXPECT_EQ(r.folders, c.folders) << c.name;
            EXPECT_EQ(r.failures.size(), c.failures) << c.name;
            for (const auto& f : r.failures) {
                EXPECT_EQ(f.number(), tvn::err::kCorruptData) << f.description();
            }
        }
    }
}

TEST(SharedFolders, TheSameOpenFileCanBeWalkedAgain) {
    // A picker expands a branch, collapses it and expands it again: the folders it reached
    // the first time are reached the same way the second time.
    TempFolder dir;
    const auto path = dir / "shared.pst";
    writeCraftedFile(path, test_support::sharedSubtree(3, 3));
    const auto top = openDataFile(path, nullptr);
    WalkResult first;
    walk(*top, first);
    WalkResult second;
    walk(*top, second);
    EXPECT_EQ(first.folders, second.folders);
    EXPECT_EQ(first.failures.size(), second.failures.size());
}

TEST(SharedFolders, TheWalkGuardCountsVisitsAndSpendsABudgetOfTheFilesNodes) {
    TempFolder dir;
    const auto path = dir / "chain.pst";
    writeCraftedFile(path, test_support::repeatedChain(3, 2));
    const auto top = openDataFile(path, nullptr);
    auto guard = FolderWalkGuard::forFolder(*top);
    ASSERT_TRUE(guard);
    // Store, name map, and per folder its object and two tables, plus one item each.
    EXPECT_EQ(guard->nodeCount(), 2U + 4 * 4);
    EXPECT_EQ(guard->budget(), guard->nodeCount() * FolderWalkGuard::kUnitsPerNode +
                                   FolderWalkGuard::kMinimumBudget);
    EXPECT_FALSE(guard->visited(*top));
    EXPECT_TRUE(guard->enter(*top));
    EXPECT_TRUE(guard->visited(*top));
    EXPECT_FALSE(guard->enter(*top));
    const auto child = top->folders()->item(1);
    EXPECT_TRUE(guard->enter(*child));
    EXPECT_TRUE(guard->spend(guard->budget() - guard->spent()));
    EXPECT_FALSE(guard->spend());
    EXPECT_TRUE(guard->exhausted());
    EXPECT_FALSE(guard->spend(0));
    EXPECT_FALSE(guard->enter(*child->folders()->item(1)));
}

// --- the named-property map --------------------------------------------------------------

TEST(NameMap, ManyEntriesNamingOneLongStringDecodeItOnce) {
    // 20,000 entries naming one string of 50,000 characters: 2 GB of decoding before.
    TempFolder dir;
    const auto path = dir / "names.pst";
    const auto names = test_support::sameLongName(20000, 50000);
    writeCraftedFile(path, {{"top", {}, 0}}, &names);
    const auto store = messaging::MessageStore::open(path);
    EXPECT_TRUE(store->namesDamage().empty());
    std::string name;
    for (std::size_t i = 0; i < 50000; ++i) {
        name.push_back(static_cast<char>('a' + i % 26));
    }
    EXPECT_EQ(store->names().find(messaging::property_set::kPublicStrings, name), 0x8000);
    EXPECT_EQ(store->names().size(), 1U);
}

// --- tables that claim rows in blocks that do not exist ----------------------------------

TEST(RowMatrix, RowsAreCountedFromTheBlocksThatExist) {
    TempFolder dir;
    auto m = rowMatrixFile(dir / "rows.pst", 300, 40);
    ASSERT_GE(m.leaves, 4U);
    const auto pristine = ndb::NodeDatabase::openMemory(m.bytes);
    const auto stream = pristine->dataStream(pristine->subnodes(m.table)[0].data);
    const std::size_t perBlock = ltp::TableContext(pristine, m.table).rowCount() / m.leaves;
    // Every block but the first and the last is replaced by one the file does not hold.
    for (std::size_t i = 1; i + 1 < m.leaves; ++i) {
        setLeaf(m, i, 0x40000000U + 4 * i);
    }
    const auto db = ndb::NodeDatabase::openMemory(m.bytes);
    const ltp::TableContext tc(db, m.table);
    EXPECT_LE(tc.rowCount(), 2 * perBlock + perBlock);
    EXPECT_GT(tc.rowCount(), perBlock);
    for (std::size_t i = 0; i < tc.rowCount(); ++i) {
        EXPECT_NO_THROW((void)tc.row(i).rowId()) << i; // every row counted can be read
    }
    // The object model counts the same rows, and reads every one.
    const fs::path edited = dir / "edited.pst";
    std::ofstream(edited, std::ios::binary)
        .write(reinterpret_cast<const char*>(m.bytes.data()),
               static_cast<std::streamsize>(m.bytes.size()));
    const auto r = walkFile(edited);
    EXPECT_EQ(r.items, tc.rowCount());
    EXPECT_TRUE(r.failures.empty());
}

TEST(RowMatrix, AShortBlockFirstIsNoReasonToLoseOrInventRows) {
    // The last, short block put first: the first block's row count no longer fits the
    // others, and rows past the end were asked of the stream (std::out_of_range) before.
    TempFolder dir;
    auto m = rowMatrixFile(dir / "rows.pst", 150, 40);
    ASSERT_GE(m.leaves, 2U);
    const std::size_t rows =
        ltp::TableContext(ndb::NodeDatabase::openMemory(m.bytes), m.table).rowCount();
    const auto first = leaf(m, 0);
    const auto last = leaf(m, m.leaves - 1);
    setLeaf(m, 0, last);
    setLeaf(m, m.leaves - 1, first);
    const auto db = ndb::NodeDatabase::openMemory(m.bytes);
    const ltp::TableContext tc(db, m.table);
    EXPECT_EQ(tc.rowCount(), rows);
    std::size_t read = 0;
    for (std::size_t i = 0; i < tc.rowCount(); ++i) {
        (void)tc.row(i).rowId();
        ++read;
    }
    EXPECT_EQ(read, rows);
    EXPECT_THROW((void)tc.row(rows), ReadError);
}

TEST(RowMatrix, ADataTreeClaimingMoreThanItsBlocksHoldIsRefusedBeforeReading) {
    TempFolder dir;
    auto m = rowMatrixFile(dir / "rows.pst", 150, 40);
    // lcbTotal: 4 GiB - 1 in a tree of a few blocks.
    const auto off = static_cast<std::size_t>(m.xblock.ref.offset);
    for (std::size_t b = 0; b < 4; ++b) {
        m.bytes[off + 4 + b] = 0xFF;
    }
    setLeaf(m, 0, leaf(m, 0)); // repairs the CRC
    const auto db = ndb::NodeDatabase::openMemory(m.bytes);
    const auto stream = db->dataStream(db->subnodes(m.table)[0].data);
    EXPECT_EQ(stream.size(), 0xFFFFFFFFU);
    EXPECT_LT(stream.presentSize(), 1U << 20U);
    try {
        (void)stream.readAll();
        ADD_FAILURE() << "read a stream that claims 4 GiB";
    } catch (const ReadError& e) {
        EXPECT_EQ(e.number(), tvn::err::kCorruptData);
        EXPECT_NE(e.description().find("holding"), std::string::npos) << e.description();
    }
    EXPECT_THROW(stream.forEachBlock([](auto) {}), ReadError);
    EXPECT_THROW((void)stream.block(stream.blockCount()), ReadError);
}

// --- arithmetic on stored values ---------------------------------------------------------

TEST(StoredValues, DurationOfExtremeTimesDoesNotOverflow) {
    TempFolder dir;
    const auto path = dir / "times.pst";
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    writeCraftedFile(path, {{"top", {}, 4}}, nullptr,
                     {{0, 36'000'000'000}, {kMin, kMax}, {-1, kMax}, {kMax, kMin}});
    const auto items = openDataFile(path, nullptr)->items();
    ASSERT_EQ(items->count(), 4);
    EXPECT_EQ(items->item(1)->get("Duration").integer(), 60);
    const auto absent = items->item(4)->get("Duration"); // end before start
    for (std::int32_t i = 2; i <= 3; ++i) {
        EXPECT_EQ(items->item(i)->get("Duration").integer(), absent.integer()) << i;
    }
}

// --- files changed while open ------------------------------------------------------------

void copyCorpus(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
}

TEST(ChangingFile, TruncationAndRewritingUnderTheReaderEndInDamagedDataErrors) {
    const auto source = tvn::test_support::corpusFile("enron.pst");
    if (!source) {
        GTEST_SKIP() << "corpus file enron.pst not found (set TALLYVANE_CORPUS)";
    }
    TempFolder dir;
    const struct {
        const char* name;
        void (*change)(const fs::path&);
    } cases[] = {
        {"cut to a tenth", [](const fs::path& p) { fs::resize_file(p, fs::file_size(p) / 10); }},
        {"cut to nothing", [](const fs::path& p) { fs::resize_file(p, 0); }},
        {"rewritten in place",
         [](const fs::path& p) {
             std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(static_cast<std::streamoff>(fs::file_size(p) / 2));
             const std::string junk(4096, 'x');
             f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
             f.close();
             fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(5));
         }},
    };
    for (const auto& c : cases) {
        const auto path = dir / "changing.pst";
        copyCorpus(*source, path);
        const auto top = openDataFile(path, nullptr);
        const auto first = top->folders()->item(1);
        c.change(path);
        WalkResult r;
        walk(*top, r); // reads what it cached, then fails cleanly for the rest
        std::size_t changed = 0;
        for (const auto& f : r.failures) {
            EXPECT_EQ(f.number(), tvn::err::kCorruptData) << c.name << ": " << f.description();
            changed += f.description().find("changed or cut short") != std::string::npos;
        }
        EXPECT_GT(changed, 0U) << c.name;
        EXPECT_LT(r.items, 71U) << c.name;
    }
}

// --- the fuzz target's regression inputs -------------------------------------------------

TEST(FuzzRegressions, EveryInputIsReadThroughWithTheReadersErrorsOnly) {
    // tests/fuzz/regressions keeps these inputs gzipped, as seeds for the fuzzer; here they
    // are written afresh and read the way the fuzz target reads its inputs.
    TempFolder dir;
    const auto fresh = dir / "fresh";
    fs::create_directories(fresh);
    test_support::writeRegressionInputs(fresh);
    const fs::path stored = TALLYVANE_FUZZ_REGRESSIONS;
    std::size_t inputs = 0;
    for (const auto& entry : fs::directory_iterator(fresh)) {
        const auto name = entry.path().filename().string();
        EXPECT_TRUE(fs::exists(stored / (name + ".gz"))) << name << " is not kept in " << stored;
        EXPECT_LE(fs::file_size(entry.path()), 300U << 10U) << name;
        // Anything but a tvn::Failure escaping here fails the test; the fuzz target aborts.
        (void)test_support::readWholeFile(test_support::readBytes(entry.path()));
        ++inputs;
    }
    EXPECT_GE(inputs, 9U);
}

// --- smaller things ----------------------------------------------------------------------

TEST(Open, APathThatCannotBeLookedAtIsNotAMissingFile) {
    TempFolder dir;
    fs::create_symlink(dir / "loop-b", dir / "loop-a");
    fs::create_symlink(dir / "loop-a", dir / "loop-b");
    expectFailure(tvn::err::kPathFileAccess,
                  [&] { (void)openDataFile(dir / "loop-a" / "f.pst", nullptr); });
    expectFailure(tvn::err::kFileNotFound,
                  [&] { (void)openDataFile(dir / "missing.pst", nullptr); });
}

TEST(Open, AFolderThatMayNotBeSearchedIsNotAMissingFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root: permissions are not enforced";
    }
    TempFolder dir;
    const auto folder = dir / "locked";
    fs::create_directories(folder);
    writeCraftedFile(folder / "f.pst", {{"top", {}, 0}});
    fs::permissions(folder, fs::perms::none);
    expectFailure(tvn::err::kPermissionDenied,
                  [&] { (void)openDataFile(folder / "f.pst", nullptr); });
    fs::permissions(folder, fs::perms::owner_all);
}

} // namespace
