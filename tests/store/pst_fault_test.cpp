// Damaged files, written by the .pst writer so that a clone without the corpus runs them:
// cut at many lengths, structures damaged one at a time (with their checksums made right
// again so the damage reaches the decoders), and random bit flips with fixed seeds. Each
// copy is read through the node database and LTP layers and through the object model (the
// walks of pst_reader_support.h); every case must end in a clean failure or a successful
// read, never a crash, a hang or an unbounded allocation (run these under ASan/UBSan too).

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <random>
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

namespace {

using namespace tvn::store::pst;
using namespace tvn::store::pst::ndb;
using tvn::store::pst::test_support::readWholeFile;
using tvn::store::pst::test_support::walkStrict;
using tvn::store::pst::test_support::walkTolerant;
using tvn::test_support::expectFailure;

// The files every fault test damages: both formats, each encoding. The bit flips also
// damage a corpus .ost, the one format (4 KB pages, 64 KB blocks) the writer cannot write.
struct WrittenFile {
    const char* name;
    tvn::tools::FileFormat format;
    CryptMethod crypt;
    const char* corpusName = nullptr;
};
constexpr WrittenFile kWrittenFiles[] = {
    {"ansi_compressible", tvn::tools::FileFormat::Ansi, CryptMethod::Compressible},
    {"unicode_high", tvn::tools::FileFormat::Unicode, CryptMethod::High},
    {"unicode_plain", tvn::tools::FileFormat::Unicode, CryptMethod::None},
};

// Written once per test binary run: the fault tests only ever damage copies.
const std::vector<std::uint8_t>& writtenBytes(const WrittenFile& f) {
    static std::map<std::string, std::vector<std::uint8_t>> files;
    auto& bytes = files[f.name];
    if (bytes.empty()) {
        if (f.corpusName == nullptr) {
            bytes = test_support::writtenFile(f.format, f.crypt);
        } else if (const auto path = tvn::test_support::corpusFile(f.corpusName)) {
            bytes = tvn::test_support::readFileBytes(*path);
        }
    }
    return bytes;
}
void PrintTo(const WrittenFile& f, std::ostream* os) {
    *os << f.name;
}

class WrittenFileTest : public ::testing::TestWithParam<WrittenFile> {
protected:
    void SetUp() override {
        if (pristine().empty()) {
            GTEST_SKIP() << "corpus file " << GetParam().corpusName
                         << " not found (set TALLYVANE_CORPUS)";
        }
    }
    const std::vector<std::uint8_t>& pristine() const { return writtenBytes(GetParam()); }
};

std::string writtenName(const ::testing::TestParamInfo<WrittenFile>& p) {
    return p.param.name;
}

void putLe(std::span<std::uint8_t> bytes, std::size_t off, std::uint64_t value, std::size_t size) {
    ASSERT_LE(off + size, bytes.size());
    for (std::size_t i = 0; i < size; ++i) {
        bytes[off + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint64_t getLe(std::span<const std::uint8_t> bytes, std::size_t off, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
        value = (value << 8U) | bytes[off + i];
    }
    return value;
}

// A copy of a data file with helpers that damage one structure and then repair the page or
// block checksum, so that the damage is seen by the decoder of that structure and not only
// by the CRC check. Structures are located through a reader over the pristine bytes.
class Damage {
public:
    explicit Damage(std::vector<std::uint8_t> pristine)
        : m_bytes(pristine), m_db(NodeDatabase::openMemory(std::move(pristine))) {}

    std::vector<std::uint8_t>& bytes() { return m_bytes; }
    const NodeDatabase& db() const { return *m_db; }
    const Layout& layout() const { return m_db->layout(); }

    void fixPageCrc(std::uint64_t pageOffset) {
        const Layout& l = layout();
        const std::size_t t = static_cast<std::size_t>(pageOffset) + l.pageSize - l.pageTrailerSize;
        const auto crc = crc32(std::span<const std::uint8_t>(m_bytes).subspan(
            static_cast<std::size_t>(pageOffset), l.pageSize - l.pageTrailerSize));
        putLe(m_bytes, l.format == Format::Ansi ? t + 8 : t + 4, crc, 4);
    }

    // Edits a page's bytes in place and repairs its CRC.
    void editPage(std::uint64_t pageOffset,
                  const std::function<void(std::span<std::uint8_t>)>& edit) {
        edit(std::span<std::uint8_t>(m_bytes).subspan(static_cast<std::size_t>(pageOffset),
                                                      layout().pageSize));
        fixPageCrc(pageOffset);
    }

    BlockEntry entry(BlockId bid) const { return m_db->findBlock(bid).value(); }

    // Decodes a block, lets `edit` change the decoded bytes (same size), encodes it back and
    // repairs the trailer CRC.
    void editBlock(BlockId bid, const std::function<void(std::vector<std::uint8_t>&)>& edit) {
        const BlockEntry e = entry(bid);
        ASSERT_EQ(e.inflatedSize, e.size) << "a compressed block cannot be edited in place";
        const auto off = static_cast<std::size_t>(e.ref.offset);
        std::vector<std::uint8_t> data(m_bytes.begin() + static_cast<std::ptrdiff_t>(off),
                                       m_bytes.begin() + static_cast<std::ptrdiff_t>(off + e.size));
        const bool encoded = !isInternal(bid);
        if (encoded) {
            decodeBlock(data, m_db->header().crypt, raw(e.ref.bid));
        }
        edit(data);
        ASSERT_EQ(data.size(), e.size);
        if (encoded) {
            encodeBlock(data, m_db->header().crypt, raw(e.ref.bid));
        }
        std::copy(data.begin(), data.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(off));
        fixBlockCrc(bid);
    }

    void fixBlockCrc(BlockId bid) {
        const BlockEntry e = entry(bid);
        const Layout& l = layout();
        const auto off = static_cast<std::size_t>(e.ref.offset);
        const std::size_t t = off + l.blockFootprint(e.size) - l.blockTrailerSize;
        const auto crc = crc32(std::span<const std::uint8_t>(m_bytes).subspan(off, e.size));
        putLe(m_bytes, l.format == Format::Ansi ? t + 8 : t + 4, crc, 4);
    }

    // The trailer of a block (for damaging its BID or size).
    std::size_t blockTrailer(BlockId bid) const {
        const BlockEntry e = entry(bid);
        return static_cast<std::size_t>(e.ref.offset) + layout().blockFootprint(e.size) -
               layout().blockTrailerSize;
    }

    NodeEntry node(NodeId nid) const { return m_db->node(nid); }

    // The first leaf page of a B-tree that is not its root (damage to the root is found
    // at open); the written files have one.
    std::uint64_t firstLeafPage(bool nodeTree) const {
        std::uint64_t found = 0;
        const auto& h = m_db->header();
        const auto root = nodeTree ? h.nodeBTreeRoot.offset : h.blockBTreeRoot.offset;
        m_db->forEachPage([&](const NodeDatabase::PageInfo& p) {
            if (p.nodeTree == nodeTree && p.level == 0 && p.ref.offset != root) {
                found = p.ref.offset;
                return false;
            }
            return true;
        });
        EXPECT_NE(found, 0U) << "no leaf page below the root";
        return found;
    }

    // A node and the subnode of it whose data is an XBLOCK tree (a big attachment's bytes,
    // below the message or below its attachment); the written files have one.
    std::pair<NodeRef, NodeRef> nodeWithDataTree() const {
        std::pair<NodeRef, NodeRef> found;
        const std::function<bool(const NodeRef&)> search = [&](const NodeRef& node) {
            for (const auto& sub : m_db->subnodes(node)) {
                if (isInternal(sub.data)) {
                    found = {node, sub};
                    return false;
                }
                if (!search(sub)) {
                    return false;
                }
            }
            return true;
        };
        m_db->forEachNode([&](const NodeEntry& n) { return search({n.nid, n.data, n.subnodes}); });
        EXPECT_TRUE(isInternal(found.second.data)) << "no data tree";
        return found;
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::shared_ptr<NodeDatabase> m_db;
};

// Where the page map of a single-block heap holds the start of the allocation that the
// heap's root HID (the BTH header of a PC, the TCINFO of a TC) names; its end follows.
std::size_t rootAllocationEntry(const std::vector<std::uint8_t>& block) {
    const std::size_t map = static_cast<std::size_t>(getLe(block, 0, 2));
    const std::size_t index = (getLe(block, 4, 4) >> 5U) & 0x7FFU;
    return map + 2 + 2 * index;
}
// The allocation's first byte.
std::size_t rootAllocation(const std::vector<std::uint8_t>& block) {
    return static_cast<std::size_t>(getLe(block, rootAllocationEntry(block), 2));
}

// --- TruncatedFile -----------------------------------------------------------------------

class TruncatedFile : public WrittenFileTest {};

TEST_P(TruncatedFile, EveryCutGivesACleanErrorOrAReadableFile) {
    const auto& full = pristine();
    std::vector<std::size_t> cuts;
    for (std::size_t n = 0; n < 1100 && n < full.size(); n += 3) {
        cuts.push_back(n); // through the header and the first pages
    }
    for (std::size_t n = 1100; n < full.size(); n += 509) {
        cuts.push_back(n); // an odd stride lands inside pages and blocks
    }
    std::size_t opened = 0;
    for (const std::size_t cut : cuts) {
        SCOPED_TRACE("cut " + std::to_string(cut));
        std::vector<std::uint8_t> bytes(full.begin(),
                                        full.begin() + static_cast<std::ptrdiff_t>(cut));
        std::shared_ptr<NodeDatabase> db;
        try {
            db = NodeDatabase::openMemory(bytes);
        } catch (const ReadError& e) {
            ASSERT_EQ(e.number(), tvn::err::kCorruptStore) << e.what();
            const std::string text = e.description();
            const auto first = text.find("offset 0x");
            EXPECT_EQ(text.find("offset 0x", first == std::string::npos ? first : first + 1),
                      std::string::npos)
                << "names its offset twice: " << text;
            EXPECT_GT(readWholeFile(bytes).failures, 0U) << "the object model opened it";
            continue;
        }
        ++opened;
        const auto counts = walkTolerant(db);
        if (counts.errors == 0) {
            // A cut that removed nothing the trees reference must read like the whole file.
            EXPECT_GT(counts.nodes, 0U);
        }
        if (cut % 4 == 0) { // the object model over a share of the cuts
            (void)readWholeFile(bytes);
        }
    }
    EXPECT_GT(opened, 0U);
    const auto whole = readWholeFile(full);
    EXPECT_EQ(whole.failures, 0U) << "the intact file reads whole";
    EXPECT_EQ(whole.items, 40U);
}

INSTANTIATE_TEST_SUITE_P(Written, TruncatedFile, ::testing::ValuesIn(kWrittenFiles), writtenName);

// --- CorruptStructure --------------------------------------------------------------------

struct StructureCase {
    const char* name;
    std::function<void(Damage&)> damage;
    std::int32_t number; // expected error number
    const char* mention; // a word the description must contain
    bool atOpen;         // the damage is found by open() (else by reading everything)
};

std::vector<StructureCase> structureCases() {
    const auto headerAt = [](std::size_t ansi, std::size_t unicode) {
        return [=](Damage& d) { return d.layout().format == Format::Ansi ? ansi : unicode; };
    };
    const auto nodeTreeRoot = headerAt(0xBC, 0xE0);
    std::vector<StructureCase> cases;
    cases.push_back({"bad magic", [](Damage& d) { d.bytes()[1] = 'X'; }, tvn::err::kCorruptStore,
                     "!BDN", true});
    cases.push_back({"unknown client", [](Damage& d) { d.bytes()[9] = 'Q'; },
                     tvn::err::kCorruptStore, "wMagicClient", true});
    cases.push_back({"unknown version", [](Damage& d) { putLe(d.bytes(), 10, 99, 2); },
                     tvn::err::kCorruptStore, "wVer", true});
    cases.push_back({"unknown encryption",
                     [=](Damage& d) { d.bytes()[headerAt(0x1CD, 0x201)(d)] = 9; },
                     tvn::err::kCorruptStore, "bCryptMethod", true});
    cases.push_back(
        {"node tree root beyond the file",
         [=](Damage& d) { putLe(d.bytes(), nodeTreeRoot(d), 0x7FFFFE00, d.layout().idSize); },
         tvn::err::kCorruptStore, "beyond the end", true});
    cases.push_back({"block tree root of the wrong page type",
                     [](Damage& d) {
                         const auto root = d.db().header().blockBTreeRoot.offset;
                         d.bytes()[root + d.layout().pageSize - d.layout().pageTrailerSize] = 0x81;
                     },
                     tvn::err::kCorruptStore, "ptype", true});
    cases.push_back({"node tree root page damaged",
                     [](Damage& d) { d.bytes()[d.db().header().nodeBTreeRoot.offset + 3] ^= 0x10; },
                     tvn::err::kCorruptStore, "CRC", true});
    cases.push_back({"node tree root cLevel 9",
                     [](Damage& d) {
                         const auto& l = d.layout();
                         d.editPage(d.db().header().nodeBTreeRoot.offset, [&](auto page) {
                             page[l.pageEntryArea + (l.format == Format::Unicode4k ? 5 : 3)] = 9;
                         });
                     },
                     tvn::err::kCorruptStore, "cLevel 0x09", true});
    cases.push_back({"leaf page cEnt beyond the page",
                     [](Damage& d) {
                         const auto area = d.layout().pageEntryArea;
                         d.editPage(d.firstLeafPage(false), [&](auto page) { page[area] = 0xFF; });
                     },
                     tvn::err::kCorruptData, "cEnt", false});
    cases.push_back({"block entry beyond the file",
                     [](Damage& d) {
                         const std::size_t id = d.layout().idSize;
                         d.editPage(d.firstLeafPage(false), [&](auto page) {
                             putLe(page, id, 0x7F7F7F7F7F7F7F7F, id); // BREF.ib of entry 0
                         });
                     },
                     tvn::err::kCorruptData, "beyond the end", false});
    cases.push_back({"block checksum",
                     [](Damage& d) {
                         const auto e = d.entry(d.node(nid::kMessageStore).data);
                         d.bytes()[e.ref.offset + 20] ^= 0x01;
                     },
                     tvn::err::kCorruptData, "CRC", false});
    cases.push_back({"block trailer names another block",
                     [](Damage& d) {
                         const std::size_t t = d.blockTrailer(d.node(nid::kMessageStore).data);
                         d.bytes()[t + (d.layout().format == Format::Ansi ? 4 : 8)] ^= 0x40;
                     },
                     tvn::err::kCorruptData, "damaged block", false});
    // Damage to the decoded bytes of one block: the message store's heap (a PC), the root
    // folder's hierarchy table (a TC), and a big attachment's data tree.
    using Edit = std::function<void(std::vector<std::uint8_t>&)>;
    const auto storeHeap = [](Edit edit) {
        return [=](Damage& d) { d.editBlock(d.node(nid::kMessageStore).data, edit); };
    };
    const auto rootTable = [](Edit edit) {
        return
            [=](Damage& d) { d.editBlock(d.node(hierarchyTableOf(nid::kRootFolder)).data, edit); };
    };
    const auto dataTree = [](Edit edit) {
        return [=](Damage& d) { d.editBlock(d.nodeWithDataTree().second.data, edit); };
    };
    const auto corrupt = [&](const char* name, std::function<void(Damage&)> damage,
                             const char* mention) {
        cases.push_back({name, std::move(damage), tvn::err::kCorruptData, mention, false});
    };
    corrupt("heap signature", storeHeap([](auto& b) { b[2] = 0x00; }), "bSig");
    corrupt("heap page map beyond the block", storeHeap([](auto& b) { putLe(b, 0, 0xFFF0, 2); }),
            "ibHnpm");
    corrupt("heap allocations out of order", storeHeap([](auto& b) {
                // The BTH header's allocation ends before it starts.
                putLe(b, rootAllocationEntry(b) + 2, rootAllocation(b) - 2, 2);
            }),
            "heap allocation");
    corrupt("heap allocation beyond the page map",
            storeHeap([](auto& b) { putLe(b, rootAllocationEntry(b) + 2, getLe(b, 0, 2) + 2, 2); }),
            "heap allocation");
    corrupt("BTH key size 3", storeHeap([](auto& b) { b[rootAllocation(b) + 1] = 3; }), "cbKey");
    corrupt("BTH depth 9", storeHeap([](auto& b) { b[rootAllocation(b) + 3] = 9; }), "bIdxLevels");
    corrupt("BTH records not whole", storeHeap([](auto& b) { b[rootAllocation(b) + 2] = 7; }),
            "key/data sizes"); // cbEnt 6 -> 7
    corrupt("TC type", rootTable([](auto& b) { b[rootAllocation(b)] = 0x7D; }), "bType");
    corrupt("TC row layout out of order",
            rootTable([](auto& b) { putLe(b, rootAllocation(b) + 8, 1, 2); }), "row layout");
    corrupt("TC column beyond the row", rootTable([](auto& b) {
                // ibData of the second column description.
                putLe(b, rootAllocation(b) + 22 + 8 + 4, 0xFFF0, 2);
            }),
            "TCOLDESC");
    corrupt("TC more columns than descriptions",
            rootTable([](auto& b) { b[rootAllocation(b) + 1] = 0xFF; }), ""); // cCols
    corrupt(
        "data tree names one block twice",
        [](Damage& d) {
            const std::size_t id = d.layout().idSize;
            d.editBlock(d.nodeWithDataTree().second.data,
                        [&](auto& b) { putLe(b, 8 + id, getLe(b, 8, id), id); });
        },
        "appears twice");
    corrupt("data tree claims more than its blocks hold",
            dataTree([](auto& b) { putLe(b, 4, 0x7FFFFFFF, 4); }), "data tree");
    corrupt("data tree of the wrong level", dataTree([](auto& b) { b[1] = 3; }), "XBLOCK");
    corrupt(
        "subnode tree of the wrong block type",
        [](Damage& d) {
            d.editBlock(d.nodeWithDataTree().first.subnodes, [](auto& b) { b[0] = 0x01; });
        },
        "block type");
    return cases;
}

class CorruptStructure : public WrittenFileTest {};

TEST_P(CorruptStructure, EachDamageIsReportedByNumberAndStructure) {
    for (const auto& c : structureCases()) {
        SCOPED_TRACE(c.name);
        Damage d(pristine());
        c.damage(d);
        const auto text = expectFailure(c.number, [&] {
            const auto db = NodeDatabase::openMemory(d.bytes());
            if (!c.atOpen) {
                (void)walkStrict(db);
            }
        });
        EXPECT_NE(text.find(c.mention), std::string::npos) << text;
        // The tolerant walks read around the damage.
        if (!c.atOpen) {
            EXPECT_GT(walkTolerant(NodeDatabase::openMemory(d.bytes())).errors, 0U);
        }
        (void)readWholeFile(d.bytes());
    }
}

INSTANTIATE_TEST_SUITE_P(Written, CorruptStructure, ::testing::ValuesIn(kWrittenFiles),
                         writtenName);

// --- BitFlips ----------------------------------------------------------------------------

class BitFlips : public WrittenFileTest {};

TEST_P(BitFlips, RandomDamageWithRepairedChecksumsNeverCrashes) {
    Damage probe(pristine());
    std::vector<BlockEntry> blocks;
    probe.db().forEachBlock([&](const BlockEntry& b) {
        blocks.push_back(b);
        return true;
    });
    std::vector<std::uint64_t> pages;
    probe.db().forEachPage([&](const NodeDatabase::PageInfo& p) {
        pages.push_back(p.ref.offset);
        return true;
    });
    ASSERT_FALSE(blocks.empty());
    ASSERT_FALSE(pages.empty());
    std::size_t failedOpens = 0;
    std::size_t damagedReads = 0;
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        Damage d(pristine());
        const int flips = 1 + static_cast<int>(rng() % 6);
        for (int f = 0; f < flips; ++f) {
            const auto bit = static_cast<std::uint8_t>(1U << (rng() % 8));
            if (rng() % 4 == 0) {
                const auto page = pages[rng() % pages.size()];
                const std::size_t at = rng() % (d.layout().pageSize - d.layout().pageTrailerSize);
                d.editPage(page, [&](auto bytes) { bytes[at] ^= bit; });
            } else {
                const auto& b = blocks[rng() % blocks.size()];
                if (b.size == 0) {
                    continue;
                }
                const std::size_t at = rng() % b.size;
                d.bytes()[static_cast<std::size_t>(b.ref.offset) + at] ^= bit;
                if (seed % 5 != 0) { // most flips get past the CRC; some must be caught by it
                    d.fixBlockCrc(b.ref.bid);
                }
            }
        }
        std::shared_ptr<NodeDatabase> db;
        try {
            db = NodeDatabase::openMemory(d.bytes());
        } catch (const ReadError& e) {
            ++failedOpens;
            EXPECT_EQ(e.number(), tvn::err::kCorruptStore);
            continue;
        }
        damagedReads += walkTolerant(db).errors > 0 ? 1U : 0U;
        if (seed % 3 == 0) { // the object model over a share of the copies
            (void)readWholeFile(d.bytes());
        }
    }
    // Most flips land in item data and are found by the walk; the figures are not exact
    // (a flip in unused bytes harms nothing) but a walk that never fails would mean the
    // damage never reached the decoders.
    EXPECT_GT(damagedReads + failedOpens, 30U);
}

INSTANTIATE_TEST_SUITE_P(Written, BitFlips, ::testing::ValuesIn(kWrittenFiles), writtenName);
INSTANTIATE_TEST_SUITE_P(Corpus, BitFlips,
                         ::testing::Values(WrittenFile{"outlookcom_2013_ost",
                                                       tvn::tools::FileFormat::Unicode,
                                                       CryptMethod::None, "outlookcom-2013.ost"}),
                         writtenName);

} // namespace
