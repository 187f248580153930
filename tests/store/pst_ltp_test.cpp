// LTP layer: heaps, BTrees-on-heap, property and table contexts, read from every corpus
// file (the folder tree they hold is checked against the corpus manifest through the object
// model, in pst_corpus_test.cpp).

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/failure.h"
#include "store/pst/ltp/heap.h"
#include "store/pst/ltp/property_context.h"
#include "store/pst/ltp/property_tags.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/ndb/node_database.h"
#include "tests/store/pst_reader_support.h"
#include "tests/support/corpus.h"
#include "tests/support/expect_failure.h"

namespace {

using tvn::test_support::expectFailure;

using namespace tvn::store::pst;
using namespace tvn::store::pst::ltp;
using tvn::store::pst::ndb::NodeDatabase;
using tvn::store::pst::ndb::NodeId;
using tvn::store::pst::ndb::NodeRef;
namespace nid = tvn::store::pst::ndb::nid;
using tvn::test_support::corpusFile;

// ASCII text of a PT_STRING8 or PT_UNICODE value (the corpus names checked are ASCII).
std::string asciiText(const PropertyValue& v, const std::vector<std::uint8_t>& bytes) {
    std::string text;
    if (v.type == prop_type::kUnicode) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            text += static_cast<char>(bytes[i]);
        }
    } else {
        text.assign(bytes.begin(), bytes.end());
    }
    while (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return text;
}

struct StoreFact {
    const char* file;
    const char* storeName;
    std::uint32_t passwordCrc; // 0 (and 0xFFFFFFFF in the .ost): not set
};

const StoreFact kStoreFacts[] = {
    {"sample1.pst", "sample1", 0},
    {"sample2-ansi.pst", "sample2", 0},
    {"submessage.pst", "submessage", 0},
    {"test-ansi.pst", "Personal Folders", 0xF93BA110},
    {"test-unicode.pst", "Personal Folders", 0xF93BA110},
    {"dist-list.pst", "Personal Folders", 0},
    {"passworded.pst", "Personal Folders", 0xE61EB50F},
    {"attach-and-inline.pst", "attachAndInline", 0},
    {"200-recipients.pst", "200 recipients.msg", 0},
    {"msg-in-msg.pst", "msgInMsg", 0},
    {"enron.pst", "Personal folders", 0},
    // The .ost's store has no IPM-subtree entry id; its top is the IPM_SUBTREE folder.
    {"outlookcom-2013.ost", "", 0xFFFFFFFF},
    {"aspose-outlook.pst", "Outlook", 0},
    {"aspose-chunk.pst", "Personal folders", 0},
    {"aspose-contacts.pst", "Personal folders", 0},
    {"aspose-contacts.ost", "Personal folders", 0},
    {"aspose-password.pst", "Personal folders", 0x11A89DA7},
};

class PstLtpCorpus : public ::testing::TestWithParam<StoreFact> {
protected:
    void SetUp() override {
        const auto path = corpusFile(GetParam().file);
        if (!path) {
            GTEST_SKIP() << "corpus file " << GetParam().file
                         << " not found (set TALLYVANE_CORPUS to the corpus folder)";
        }
        m_db = NodeDatabase::open(*path);
    }

    std::shared_ptr<NodeDatabase> m_db;
};

TEST_P(PstLtpCorpus, MessageStoreHasItsNameAndPasswordChecksum) {
    const auto& fact = GetParam();
    const PropertyContext store(m_db, m_db->nodeRef(nid::kMessageStore));
    const auto* name = store.find(tag::kDisplayName);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(asciiText(*name, store.read(*name)), fact.storeName);
    const auto password = store.int32(tag::kPstPassword).value_or(0);
    EXPECT_EQ(static_cast<std::uint32_t>(password), fact.passwordCrc);
    if (const auto* subtree = store.find(tag::kIpmSubtreeEntryId)) {
        EXPECT_EQ(store.read(*subtree).size(), 24U); // flags, provider uid, NID
    } else {
        EXPECT_TRUE(m_db->header().offlineClient) << "a .pst without an IPM subtree";
    }
}

TEST_P(PstLtpCorpus, NameToIdMapStreamsHaveWholeRecords) {
    const PropertyContext map(m_db, m_db->nodeRef(nid::kNameToIdMap));
    ASSERT_TRUE(map.int32(0x0001)); // bucket count
    const auto* guids = map.find(0x0002);
    const auto* entries = map.find(0x0003);
    ASSERT_NE(guids, nullptr);
    ASSERT_NE(entries, nullptr);
    EXPECT_EQ(map.read(*guids).size() % 16, 0U);
    EXPECT_EQ(map.read(*entries).size() % 8, 0U);
    EXPECT_NE(map.find(0x0004), nullptr);
}

TEST_P(PstLtpCorpus, PropertyLookupsAgreeWithTheRecordList) {
    std::size_t contexts = 0;
    m_db->forEachNode([&](const ndb::NodeEntry& n) {
        if (!test_support::holdsPropertyContext(n.nid) || ndb::raw(n.data) == 0) {
            return true;
        }
        const PropertyContext pc(m_db, {n.nid, n.data, n.subnodes});
        ++contexts;
        std::uint16_t previous = 0;
        for (const auto& v : pc.properties()) {
            EXPECT_GE(v.id, previous);
            previous = v.id;
            EXPECT_EQ(pc.find(v.id), &v);
            EXPECT_NE(v.storage, ValueStorage::Damaged) << hexText(v.tag());
            if (v.storage == ValueStorage::Subnode) {
                // A value in a subnode streams the same bytes it reads whole.
                std::vector<std::uint8_t> streamed;
                pc.stream(v).forEachBlock(
                    [&](auto b) { streamed.insert(streamed.end(), b.begin(), b.end()); });
                EXPECT_EQ(streamed, pc.read(v));
            }
        }
        EXPECT_EQ(pc.find(0xFFFF), nullptr);
        return true;
    });
    EXPECT_GT(contexts, 5U);
}

TEST_P(PstLtpCorpus, TableRowsAreFoundThroughTheRowIndex) {
    m_db->forEachNode([&](const ndb::NodeEntry& n) {
        if (!test_support::holdsTableContext(n.nid) || ndb::raw(n.data) == 0) {
            return true;
        }
        const TableContext tc(m_db, {n.nid, n.data, n.subnodes});
        EXPECT_TRUE(tc.findColumn(tag::kLtpRowId))
            << "no row-id column in " << hexText(ndb::raw(n.nid));
        std::set<std::uint32_t> ids;
        for (std::size_t i = 0; i < tc.rowCount(); ++i) {
            const auto row = tc.row(i);
            EXPECT_TRUE(ids.insert(row.rowId()).second) << "repeated row id";
            EXPECT_EQ(tc.findRow(row.rowId()), i);
            EXPECT_TRUE(row.has(*tc.findColumn(tag::kLtpRowId)));
        }
        EXPECT_FALSE(tc.findRow(0xFFFFFFF0U));
        EXPECT_THROW((void)tc.row(tc.rowCount()), ReadError);
        return true;
    });
}

const char* factFile(const StoreFact& f) {
    return f.file;
}

std::string storeFactName(const ::testing::TestParamInfo<StoreFact>& param) {
    return test_support::testName(factFile(param.param));
}

INSTANTIATE_TEST_SUITE_P(Corpus, PstLtpCorpus, ::testing::ValuesIn(kStoreFacts), storeFactName);

// --- single-file facts -------------------------------------------------------------------

std::shared_ptr<NodeDatabase> openCorpus(const char* name) {
    const auto path = corpusFile(name);
    return path ? NodeDatabase::open(*path) : nullptr;
}

// The first message of the first folder with items below the top folder.
NodeRef firstMessage(const std::shared_ptr<NodeDatabase>& db) {
    NodeRef found{};
    db->forEachNode([&](const ndb::NodeEntry& n) {
        if (ndb::nodeType(n.nid) == ndb::nid_type::kNormalMessage) {
            found = {n.nid, n.data, n.subnodes};
            return false;
        }
        return true;
    });
    return found;
}

TEST(PstLtp, TwoHundredRecipientsAreTwoHundredRows) {
    const auto db = openCorpus("200-recipients.pst");
    if (!db) {
        GTEST_SKIP() << "corpus file 200-recipients.pst not found";
    }
    const NodeRef message = firstMessage(db);
    const TableContext recipients(db, db->subnode(message, nid::kRecipientTable));
    EXPECT_EQ(recipients.rowCount(), 200U);
    const auto name = recipients.findColumn(tag::kDisplayName);
    ASSERT_TRUE(name);
    std::set<std::string> names;
    for (std::size_t i = 0; i < recipients.rowCount(); ++i) {
        const auto cell = recipients.row(i).cell(*name);
        ASSERT_NE(cell.storage, ValueStorage::Absent);
        names.insert(asciiText(cell, recipients.read(cell)));
    }
    EXPECT_GT(names.size(), 1U);
}

TEST(PstLtp, HeapRejectsNodesThatAreNotHeaps) {
    const auto db = openCorpus("sample1.pst");
    if (!db) {
        GTEST_SKIP() << "corpus file sample1.pst not found";
    }
    // A PC node read as a table, and a table node read as a PC.
    EXPECT_THROW(TableContext(db, db->nodeRef(nid::kMessageStore)), ReadError);
    EXPECT_THROW(PropertyContext(db, db->nodeRef(ndb::hierarchyTableOf(nid::kRootFolder))),
                 ReadError);
    const Heap heap(db, db->nodeRef(nid::kMessageStore));
    EXPECT_EQ(heap.clientSignature(), heap_client::kPropertyContext);
    EXPECT_TRUE(heap.item(HeapId{0}).empty());
    for (const std::uint32_t bad : {0x1U, 0x20U << 11U, 0xFFFF0020U, 0x7FE0U}) {
        expectFailure(tvn::err::kCorruptData, [&] { heap.item(HeapId{bad}); });
    }
}

// --- multi-valued properties -------------------------------------------------------------

struct MultiCase {
    const char* name;
    std::uint16_t type;
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> sizes; // expected value sizes; empty with `bad` for an error
    bool bad;
};

TEST(PstMultiValue, SplitsFixedAndVariableValuesAndRejectsDamage) {
    const MultiCase cases[] = {
        {"fixed longs", 0x1003, {1, 0, 0, 0, 2, 0, 0, 0}, {4, 4}, false},
        {"fixed times", 0x1040, std::vector<std::uint8_t>(24), {8, 8, 8}, false},
        {"fixed ragged", 0x1003, {1, 0, 0}, {}, true},
        {"empty", 0x101F, {}, {}, false},
        {"strings",
         0x101F,
         {2, 0, 0, 0, 12, 0, 0, 0, 14, 0, 0, 0, 'a', 0, 'b', 0, 'c', 0},
         {2, 4},
         false},
        {"empty string", 0x1102, {1, 0, 0, 0, 8, 0, 0, 0}, {0}, false},
        {"count too big", 0x101F, {0xFF, 0xFF, 0xFF, 0x0F, 8, 0, 0, 0}, {}, true},
        {"offset inside the table", 0x1102, {1, 0, 0, 0, 4, 0, 0, 0}, {}, true},
        {"offsets backwards", 0x1102, {2, 0, 0, 0, 14, 0, 0, 0, 12, 0, 0, 0, 1, 2, 3, 4}, {}, true},
        {"offset past the end", 0x1102, {1, 0, 0, 0, 40, 0, 0, 0}, {}, true},
        {"truncated count", 0x101E, {1, 0}, {}, true},
    };
    for (const auto& c : cases) {
        if (c.bad) {
            EXPECT_THROW((void)splitMultiValue(c.type, c.bytes), ReadError) << c.name;
            continue;
        }
        const auto values = splitMultiValue(c.type, c.bytes);
        ASSERT_EQ(values.size(), c.sizes.size()) << c.name;
        for (std::size_t i = 0; i < values.size(); ++i) {
            EXPECT_EQ(values[i].size(), c.sizes[i]) << c.name << " value " << i;
        }
    }
}

} // namespace
