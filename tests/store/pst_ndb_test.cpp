// Node database layer: crypt and CRC functions, header facts of every corpus file, B-tree
// walks, node data and subnode reads, and the open errors.

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/failure.h"
#include "store/pst/ndb/crypt.h"
#include "store/pst/ndb/node_database.h"
#include "tests/store/hostile_files.h"
#include "tests/store/pst_reader_support.h"
#include "tests/support/corpus.h"
#include "tests/support/expect_failure.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace tvn::store::pst;
using namespace tvn::store::pst::ndb;
using tvn::test_support::corpusDir;
using tvn::test_support::corpusFile;
using tvn::test_support::expectFailure;

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The CRC computed bit by bit, as an independent reference for the table-driven one.
std::uint32_t crcBitwise(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0;
    for (const auto b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) {
            crc = (crc & 1U) != 0 ? 0xEDB88320U ^ (crc >> 1U) : crc >> 1U;
        }
    }
    return crc;
}

// --- crypt -------------------------------------------------------------------------------

TEST(PstCrypt, TableThirdsArePermutationsAndInverses) {
    for (const std::size_t base : {0U, 256U, 512U}) {
        std::set<std::uint8_t> seen;
        for (std::size_t i = 0; i < 256; ++i) {
            seen.insert(kCryptTable[base + i]);
        }
        EXPECT_EQ(seen.size(), 256U) << "third at " << base << " is not a permutation";
    }
    for (std::size_t b = 0; b < 256; ++b) {
        EXPECT_EQ(kCryptTable[512 + kCryptTable[b]], b) << "I is not the inverse of R at " << b;
        EXPECT_EQ(kCryptTable[256 + kCryptTable[256 + b]], b) << "S is not an involution at " << b;
    }
}

TEST(PstCrypt, EncodingsRoundTripAndDependOnTheKey) {
    std::vector<std::uint8_t> plain(4096);
    std::mt19937 rng(7);
    for (auto& b : plain) {
        b = static_cast<std::uint8_t>(rng());
    }
    auto c = plain;
    encodeCompressible(c);
    EXPECT_NE(c, plain);
    EXPECT_EQ(c[0], kCryptTable[plain[0]]);
    decodeCompressible(c);
    EXPECT_EQ(c, plain);

    for (const std::uint32_t key : {0U, 1U, 0x12345678U, 0xFFFFFFFFU}) {
        auto h = plain;
        encodeHigh(h, key);
        EXPECT_NE(h, plain) << key;
        auto other = plain;
        encodeHigh(other, key ^ 1U);
        EXPECT_NE(h, other) << "keys " << key << " and " << (key ^ 1U) << " encode alike";
        decodeHigh(h, key);
        EXPECT_EQ(h, plain) << key;
    }
    // decodeBlock/encodeBlock dispatch on the method and key on the BID's low 32 bits.
    for (const auto method : {CryptMethod::None, CryptMethod::Compressible, CryptMethod::High}) {
        auto b = plain;
        encodeBlock(b, method, 0x1'0000'0044ULL);
        auto viaKey = plain;
        if (method == CryptMethod::High) {
            encodeHigh(viaKey, 0x44);
            EXPECT_EQ(b, viaKey);
        }
        decodeBlock(b, method, 0x1'0000'0044ULL);
        EXPECT_EQ(b, plain);
    }
}

TEST(PstCrypt, CrcMatchesTheBitwiseDefinitionAndKnownValues) {
    // The store password checksum of the corpus file whose password is known.
    EXPECT_EQ(crc32(bytesOf("Password1")), 0x11A89DA7U);
    EXPECT_EQ(crc32({}), 0U);
    std::vector<std::uint8_t> data(300);
    std::mt19937 rng(11);
    for (auto& b : data) {
        b = static_cast<std::uint8_t>(rng());
    }
    for (std::size_t n = 0; n <= data.size(); n += 7) {
        const auto s = std::span<const std::uint8_t>(data).first(n);
        ASSERT_EQ(crc32(s), crcBitwise(s)) << "length " << n;
        // A running CRC continues across pieces.
        const std::size_t cut = n / 3;
        ASSERT_EQ(crc32(s.subspan(cut), crc32(s.first(cut))), crc32(s)) << "length " << n;
    }
}

TEST(PstCrypt, BlockSignatureFoldsOffsetAndBid) {
    EXPECT_EQ(blockSignature(0, 0), 0);
    EXPECT_EQ(blockSignature(0x12340000, 0), 0x1234);
    EXPECT_EQ(blockSignature(0x4400, 0x24), static_cast<std::uint16_t>(0x4400 ^ 0x24));
    EXPECT_EQ(blockSignature(0xABCD1234, 0xABCD1234), 0);
}

// --- header facts ------------------------------------------------------------------------

struct HeaderFact {
    const char* file;
    Format format;
    CryptMethod crypt;
    std::uint16_t version;
    bool offline;
};

const HeaderFact kHeaderFacts[] = {
    {"sample1.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"sample2-ansi.pst", Format::Ansi, CryptMethod::Compressible, 14, false},
    {"submessage.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"test-ansi.pst", Format::Ansi, CryptMethod::Compressible, 14, false},
    {"test-unicode.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"dist-list.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"passworded.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"attach-and-inline.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"200-recipients.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"msg-in-msg.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"enron.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"outlookcom-2013.ost", Format::Unicode4k, CryptMethod::None, 36, true},
    {"aspose-outlook.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"aspose-chunk.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"aspose-contacts.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"aspose-contacts.ost", Format::Unicode, CryptMethod::Compressible, 23, false},
    {"aspose-password.pst", Format::Unicode, CryptMethod::Compressible, 23, false},
};

class PstCorpusFile : public ::testing::TestWithParam<HeaderFact> {
protected:
    void SetUp() override {
        m_path = corpusFile(GetParam().file);
        if (!m_path) {
            GTEST_SKIP() << "corpus file " << GetParam().file
                         << " not found (set TALLYVANE_CORPUS to the corpus folder)";
        }
        m_db = NodeDatabase::open(*m_path);
    }
    std::optional<std::filesystem::path> m_path;
    std::shared_ptr<NodeDatabase> m_db;
};

TEST_P(PstCorpusFile, HeaderFactsMatchTheManifest) {
    const auto& fact = GetParam();
    const Header& h = m_db->header();
    EXPECT_EQ(h.format, fact.format);
    EXPECT_EQ(h.crypt, fact.crypt);
    EXPECT_EQ(h.version, fact.version);
    EXPECT_EQ(h.offlineClient, fact.offline);
    EXPECT_EQ(m_db->fileSize(), std::filesystem::file_size(*m_path));
    EXPECT_LE(h.fileEof, m_db->fileSize());
    // The spellings `tree --json` prints.
    const std::string format(formatName(h.format));
    EXPECT_TRUE(format == "ansi" || format == "unicode" || format == "unicode-4k");
    EXPECT_EQ(std::string(encryptionName(h.crypt)),
              fact.crypt == CryptMethod::None ? "none" : "compressible");
}

TEST_P(PstCorpusFile, BTreeWalksTerminateAndAgreeWithLookups) {
    std::vector<NodeEntry> nodes;
    m_db->forEachNode([&](const NodeEntry& n) {
        nodes.push_back(n);
        return true;
    });
    ASSERT_GT(nodes.size(), 20U);
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        ASSERT_LT(raw(nodes[i - 1].nid), raw(nodes[i].nid)) << "node walk not in key order";
    }
    for (const auto& n : nodes) {
        const auto found = m_db->findNode(n.nid);
        ASSERT_TRUE(found) << hexText(raw(n.nid));
        EXPECT_EQ(raw(found->data), raw(n.data));
        EXPECT_EQ(raw(found->subnodes), raw(n.subnodes));
    }
    // The well-known nodes every data file has.
    for (const NodeId nid :
         {nid::kMessageStore, nid::kNameToIdMap, nid::kRootFolder,
          hierarchyTableOf(nid::kRootFolder), contentsTableOf(nid::kRootFolder)}) {
        EXPECT_TRUE(m_db->findNode(nid)) << hexText(raw(nid));
    }
    EXPECT_FALSE(m_db->findNode(NodeId{0x7FFFFFE4}));
    EXPECT_FALSE(m_db->findNode(NodeId{0}));

    std::size_t blocks = 0;
    std::uint64_t previous = 0;
    m_db->forEachBlock([&](const BlockEntry& b) {
        EXPECT_GE(blockKey(b.ref.bid), previous);
        previous = blockKey(b.ref.bid);
        ++blocks;
        const auto found = m_db->findBlock(b.ref.bid);
        EXPECT_TRUE(found && found->ref.offset == b.ref.offset) << hexText(raw(b.ref.bid));
        EXPECT_LE(b.ref.offset + b.size, m_db->fileSize());
        return true;
    });
    EXPECT_GT(blocks, 20U);
    // Stopping early is honoured.
    std::size_t visited = 0;
    m_db->forEachNode([&](const NodeEntry&) { return ++visited < 3; });
    EXPECT_EQ(visited, 3U);
}

// Every node and subnode reads (the strict walk stops at the first error), and the same from
// memory as from the file.
TEST_P(PstCorpusFile, EveryNodeReadsAndReadsTheSameFromMemory) {
    auto memory = NodeDatabase::openMemory(::tvn::test_support::readFileBytes(*m_path));
    EXPECT_EQ(memory->header().format, m_db->header().format);
    const auto a = test_support::walkStrict(m_db);
    const auto b = test_support::walkStrict(memory);
    EXPECT_EQ(a.nodes, b.nodes);
    EXPECT_EQ(a.blocks, b.blocks);
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(a.cells, b.cells);
}

TEST_P(PstCorpusFile, BTreeRootPagesCarryTheirSignature) {
    const Header& h = m_db->header();
    const Layout& l = m_db->layout();
    for (const BlockRef& root : {h.nodeBTreeRoot, h.blockBTreeRoot}) {
        const auto page = m_db->fileBytes(root.offset, l.pageSize);
        const auto trailer = page.bytes().subspan(l.pageSize - l.pageTrailerSize);
        const std::uint16_t sig = static_cast<std::uint16_t>(trailer[2] | trailer[3] << 8U);
        EXPECT_EQ(sig, blockSignature(root.offset, raw(root.bid)));
    }
}

std::string factName(const ::testing::TestParamInfo<HeaderFact>& param) {
    return test_support::testName(param.param.file);
}

INSTANTIATE_TEST_SUITE_P(Corpus, PstCorpusFile, ::testing::ValuesIn(kHeaderFacts), factName);

// --- open errors -------------------------------------------------------------------------

TEST(PstOpenError, EachUnusablePathGivesItsNumber) {
    const tvn::test_support::TempFolder dir;
    expectFailure(tvn::err::kFileNotFound, [&] { (void)NodeDatabase::open(dir / "no-such.pst"); });
    expectFailure(tvn::err::kPathFileAccess, [&] { (void)NodeDatabase::open(dir.path()); });
    std::vector<std::uint8_t> header(1024, 0);
    header[0] = '!';
    header[1] = 'B';
    header[2] = 'D';
    header[3] = 'N';
    header[8] = 'S';
    header[9] = 'M';
    header[10] = 23;
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"empty.pst", {}},
        {"text.pst", std::vector<std::uint8_t>(2000, 'x')},
        {"short.pst", {'!', 'B', 'D', 'N', 'S', 'M'}},
        {"zero-roots.pst", header}, // right magic, B-tree roots at offset 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectFailure(tvn::err::kCorruptStore, [&] {
            test_support::writeBytes(dir / c.name, c.bytes);
            (void)NodeDatabase::open(dir / c.name);
        });
    }
    const auto text = expectFailure(tvn::err::kCorruptStore, [] {
        (void)NodeDatabase::openMemory(std::vector<std::uint8_t>(600, 0));
    });
    EXPECT_NE(text.find("not an Outlook data file"), std::string::npos);
}

TEST(PstNodeDatabase, MissingNodesAndBlocksAreCorruptDataErrors) {
    const auto path = corpusFile("sample1.pst");
    if (!path) {
        GTEST_SKIP() << "corpus file sample1.pst not found (set TALLYVANE_CORPUS)";
    }
    const auto db = NodeDatabase::open(*path);
    EXPECT_NE(expectFailure(tvn::err::kCorruptData, [&] { (void)db->node(NodeId{0x7FFFFFE4}); })
                  .find("0x7FFFFFE4"),
              std::string::npos);
    EXPECT_THROW((void)db->readBlock(BlockId{0x7FFFFFF0}), ReadError);
    const auto store = db->nodeRef(nid::kMessageStore);
    EXPECT_THROW((void)db->subnode(store, NodeId{0x7FFFFFFF}), ReadError);
    EXPECT_EQ(db->dataStream(BlockId{0}).size(), 0U);
    EXPECT_TRUE(db->dataStream(BlockId{0}).readAll().empty());
}

} // namespace
