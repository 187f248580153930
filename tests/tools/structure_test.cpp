// File-level invariants of written files, checked directly on the bytes: header checksums,
// the file ending on an allocation-map boundary, map and B-tree page trailers, every block's
// trailer and its place in the allocation map, and nodes referring only to known blocks.

#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include <gtest/gtest.h>

#include "store/pst/ndb/crypt.h"
#include "tests/support/corpus.h"
#include "tests/tools/test_files.h"

namespace tvn::tools::test {
namespace {

namespace ndb = tvn::store::pst::ndb;

struct Layout {
    bool unicode;
    std::size_t id;      // BID/IB width
    std::size_t trailer; // page and block trailer size
};

std::uint64_t get(const std::vector<std::uint8_t>& f, std::size_t at, std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        v |= static_cast<std::uint64_t>(f.at(at + i)) << (8 * i);
    }
    return v;
}

class FileChecker {
public:
    explicit FileChecker(std::vector<std::uint8_t> bytes) : f(std::move(bytes)) {
        const auto ver = get(f, 10, 2);
        l = ver >= 23 ? Layout{true, 8, 16} : Layout{false, 4, 12};
    }

    void checkHeader() {
        ASSERT_EQ(std::string(f.begin(), f.begin() + 4), "!BDN");
        EXPECT_EQ(get(f, 4, 4), ndb::crc32(std::span(f).subspan(8, 471)));
        if (l.unicode) {
            EXPECT_EQ(get(f, 524, 4), ndb::crc32(std::span(f).subspan(8, 516)));
        }
        const std::size_t root = l.unicode ? 180 : 164;
        const std::uint64_t eof = get(f, root + 4, l.id);
        EXPECT_EQ(eof, f.size());
        EXPECT_EQ((eof - 0x4400) % 253952, 0u) << "file must end on an AMap boundary";
        nbt = {get(f, root + 4 + 4 * l.id, l.id), get(f, root + 4 + 5 * l.id, l.id)};
        bbt = {get(f, root + 4 + 6 * l.id, l.id), get(f, root + 4 + 7 * l.id, l.id)};
    }

    // AMap pages: trailer, checksum, and every 64-byte slot of the written blocks allocated.
    void checkMaps() {
        for (std::uint64_t at = 0x4400; at < f.size(); at += 253952) {
            const std::size_t t = static_cast<std::size_t>(at) + 512 - l.trailer;
            EXPECT_EQ(f[t], 0x84);
            EXPECT_EQ(f[t + 1], 0x84);
            const std::size_t data = 512 - l.trailer;
            const std::uint64_t crc = l.unicode ? get(f, t + 4, 4) : get(f, t + 8, 4);
            const std::uint64_t bid = l.unicode ? get(f, t + 8, 8) : get(f, t + 4, 4);
            EXPECT_EQ(crc, ndb::crc32(std::span(f).subspan(at, data)));
            EXPECT_EQ(bid, at);
            EXPECT_EQ(f[at + (l.unicode ? 0 : 4)], 0xFF) << "the AMap maps itself";
        }
    }

    bool allocated(std::uint64_t ib) const {
        const std::uint64_t amap = 0x4400 + (ib - 0x4400) / 253952 * 253952;
        const std::uint64_t slot = (ib - amap) / 64;
        return (f[amap + (l.unicode ? 0 : 4) + slot / 8] & (0x80 >> (slot % 8))) != 0;
    }

    // Walks a B-tree, checking each page's trailer, signature and checksum.
    void walk(std::pair<std::uint64_t, std::uint64_t> ref, std::uint8_t ptype, int depth,
              const std::function<void(std::size_t)>& leaf) {
        ASSERT_LT(depth, 10);
        const std::uint64_t ib = ref.second;
        ASSERT_LE(ib + 512, f.size());
        const std::size_t t = ib + 512 - l.trailer;
        EXPECT_EQ(f[t], ptype);
        const std::uint64_t crc = l.unicode ? get(f, t + 4, 4) : get(f, t + 8, 4);
        const std::uint64_t bid = l.unicode ? get(f, t + 8, 8) : get(f, t + 4, 4);
        EXPECT_EQ(bid, ref.first);
        EXPECT_EQ(get(f, t + 2, 2), ndb::blockSignature(ib, bid));
        EXPECT_EQ(crc, ndb::crc32(std::span(f).subspan(ib, 512 - l.trailer)));
        EXPECT_TRUE(allocated(ib));
        const std::size_t meta = ib + (l.unicode ? 488 : 496);
        const std::size_t count = f[meta];
        const std::size_t size = f[meta + 2];
        const int level = f[meta + 3];
        ASSERT_LE(count * size, l.unicode ? 488u : 496u);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t e = ib + i * size;
            if (level > 0) {
                walk({get(f, e + l.id, l.id), get(f, e + 2 * l.id, l.id)}, ptype, depth + 1, leaf);
            } else {
                leaf(e);
            }
        }
    }

    void checkTrees() {
        walk(bbt, 0x80, 0, [&](std::size_t e) {
            const std::uint64_t bid = get(f, e, l.id);
            const std::uint64_t ib = get(f, e + l.id, l.id);
            const std::uint64_t cb = get(f, e + 2 * l.id, 2);
            blocks[bid] = cb;
            const std::uint64_t total = (cb + l.trailer + 63) / 64 * 64;
            ASSERT_LE(ib + total, f.size());
            const std::size_t t = ib + total - l.trailer;
            EXPECT_EQ(get(f, t, 2), cb);
            EXPECT_EQ(get(f, t + 2, 2), ndb::blockSignature(ib, bid));
            const std::uint64_t crc = l.unicode ? get(f, t + 4, 4) : get(f, t + 8, 4);
            const std::uint64_t tbid = l.unicode ? get(f, t + 8, 8) : get(f, t + 4, 4);
            EXPECT_EQ(tbid, bid);
            EXPECT_EQ(crc, ndb::crc32(std::span(f).subspan(ib, cb)));
            for (std::uint64_t s = ib; s < ib + total; s += 64) {
                EXPECT_TRUE(allocated(s)) << "block at " << ib;
            }
        });
        std::uint64_t previous = 0;
        walk(nbt, 0x81, 0, [&](std::size_t e) {
            const std::uint64_t nid = get(f, e, 4);
            EXPECT_GT(nid, previous) << "node keys must ascend";
            previous = nid;
            for (std::size_t k = 1; k <= 2; ++k) {
                const std::uint64_t bid = get(f, e + k * l.id, l.id);
                if (bid != 0) {
                    EXPECT_EQ(blocks.count(bid & ~std::uint64_t{1}), 1u)
                        << "node " << nid << " refers to a missing block";
                }
            }
            ++nodes;
        });
    }

    std::vector<std::uint8_t> f;
    Layout l{};
    std::pair<std::uint64_t, std::uint64_t> nbt, bbt;
    std::map<std::uint64_t, std::uint64_t> blocks;
    std::size_t nodes = 0;
};

class WrittenFileStructure : public ::testing::TestWithParam<std::pair<FileFormat, CryptMethod>> {};

TEST_P(WrittenFileStructure, HeaderMapsTreesAndBlocksAreConsistent) {
    TempFolder tmp;
    const auto [format, crypt] = GetParam();
    writeDescription(everyKind(format, crypt), tmp / "f.pst");
    FileChecker c(test_support::readFileBytes(tmp / "f.pst"));
    c.checkHeader();
    c.checkMaps();
    c.checkTrees();
    EXPECT_GT(c.nodes, 100u);
    EXPECT_EQ(c.f[c.l.unicode ? 513 : 461], static_cast<std::uint8_t>(crypt));
}

INSTANTIATE_TEST_SUITE_P(FormatsAndEncodings, WrittenFileStructure,
                         ::testing::Values(std::pair{FileFormat::Unicode,
                                                     CryptMethod::Compressible},
                                           std::pair{FileFormat::Unicode, CryptMethod::High},
                                           std::pair{FileFormat::Ansi, CryptMethod::None},
                                           std::pair{FileFormat::Ansi, CryptMethod::Compressible}));

// A file larger than one AMap range with many blocks: several AMaps, a PMap, blocks that
// never straddle a map page, and B-trees more than one level deep.
TEST(WrittenFileStructure, LargeFileKeepsMapsAndTreesValid) {
    TempFolder tmp;
    {
        PstWriter w(tmp / "big.pst", StoreOptions{});
        const auto folder = w.addFolder(w.ipmSubtree(), "Mail", "IPF.Note");
        for (int i = 0; i < 400; ++i) {
            Message m("IPM.Note");
            m.subject("Item " + std::to_string(i))
                .body(std::string(static_cast<std::size_t>(3000 + i * 37), 'x'));
            if (i % 10 == 0) {
                m.addAttachment("a.bin", generatedBytes(70000, static_cast<std::uint64_t>(i)));
            }
            w.addMessage(folder, m);
        }
        w.finish();
    }
    FileChecker c(test_support::readFileBytes(tmp / "big.pst"));
    c.checkHeader();
    c.checkMaps();
    c.checkTrees();
    EXPECT_GT(c.f.size(), std::size_t{8} * 253952);
    EXPECT_GT(c.blocks.size(), 1000u);
}

} // namespace
} // namespace tvn::tools::test
