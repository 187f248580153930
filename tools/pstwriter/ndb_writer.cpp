#include "tools/pstwriter/ndb_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "store/failure.h"
#include "tools/pstwriter/bytes.h"

namespace tvn::tools {

namespace ndb = tvn::store::pst::ndb;

namespace {

constexpr std::uint64_t kDListOffset = 0x4200;
constexpr std::uint64_t kFirstAMap = 0x4400;
constexpr std::uint64_t kAMapRange = 496ull * 8 * 64; // bytes one AMap page maps
constexpr std::uint64_t kPageSize = 512;
constexpr std::uint64_t kFMapFirst = 128;      // AMaps covered by the header's rgbFM
constexpr std::uint64_t kFMapInterval = 496;   // AMaps covered by one FMap page
constexpr std::uint64_t kFPMapFirst = 128 * 8; // AMaps covered by the header's rgbFP
constexpr std::uint64_t kFPMapInterval = 496 * 8;
constexpr std::size_t kFlushThreshold = 8u << 20;

constexpr std::uint64_t roundUp(std::uint64_t value, std::uint64_t unit) {
    return (value + unit - 1) / unit * unit;
}

bool isPMapRange(std::uint64_t k) {
    return k % 8 == 0;
}
bool isFMapRange(std::uint64_t k) {
    return k >= kFMapFirst && (k - kFMapFirst) % kFMapInterval == 0;
}
bool isFPMapRange(std::uint64_t k) {
    return k >= kFPMapFirst && (k - kFPMapFirst) % kFPMapInterval == 0;
}

int seekTo(std::FILE* file, std::uint64_t offset) {
#if defined(_WIN32)
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET);
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

} // namespace

FormatSizes FormatSizes::of(FileFormat format) {
    FormatSizes s;
    if (format == FileFormat::Ansi) {
        s.unicode = false;
        s.idSize = 4;
        s.blockTrailer = 12;
        s.maxBlockData = 8180;
        s.pageTrailer = 12;
        s.btEntryArea = 496;
        s.nbtEntry = 16;
        s.bbtEntry = 12;
        s.btIndexEntry = 12;
        s.rowIndexValue = 2;
    }
    return s;
}

NdbWriter::NdbWriter(const std::filesystem::path& path, FileFormat format, CryptMethod crypt)
    : m_path(path), m_format(format), m_crypt(crypt), m_sizes(FormatSizes::of(format)) {
    m_file = std::fopen(path.string().c_str(), "wb");
    if (m_file == nullptr) {
        fail("cannot create the file: " + std::string(std::strerror(errno)));
    }
    m_buffer.reserve(kFlushThreshold + 65536);
    // The header, the density list and the first map pages are written by finish().
    emitZeros(kFirstAMap);
    // Initial "last used" NID indexes as a fresh file has them.
    for (auto& v : m_rgnid) {
        v = 0x400;
    }
    m_rgnid[nid_type::kSearchFolder] = 0x4000;
    m_rgnid[nid_type::kNormalMessage] = 0x10000;
    m_rgnid[nid_type::kAssocMessage] = 0x8000;
}

NdbWriter::~NdbWriter() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

void NdbWriter::fail(const std::string& what) const {
    throw Failure(err::kPathFileAccess, "Cannot write " + m_path.string() + ": " + what,
                  m_path.string());
}

void NdbWriter::emit(std::span<const std::uint8_t> bytes) {
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    m_pos += bytes.size();
    if (m_buffer.size() >= kFlushThreshold) {
        flush();
    }
}

void NdbWriter::emitZeros(std::uint64_t count) {
    m_buffer.resize(m_buffer.size() + count, 0);
    m_pos += count;
    if (m_buffer.size() >= kFlushThreshold) {
        flush();
    }
}

void NdbWriter::flush() {
    if (m_buffer.empty()) {
        return;
    }
    if (std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size()) {
        fail(std::strerror(errno));
    }
    m_bufferStart += m_buffer.size();
    m_buffer.clear();
}

void NdbWriter::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (offset >= m_bufferStart) {
        std::memcpy(m_buffer.data() + (offset - m_bufferStart), bytes.data(), bytes.size());
        return;
    }
    flush();
    if (seekTo(m_file, offset) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        fail(std::strerror(errno));
    }
    if (seekTo(m_file, m_bufferStart) != 0) {
        fail(std::strerror(errno));
    }
}

void NdbWriter::putId(std::uint8_t* at, std::uint64_t value) const {
    if (m_sizes.unicode) {
        put64(at, value);
    } else {
        put32(at, static_cast<std::uint32_t>(value));
    }
}

std::uint64_t NdbWriter::reservedPrefix(std::uint64_t k) const {
    std::uint64_t pages = 1;
    pages += isPMapRange(k) ? 1u : 0u;
    pages += isFMapRange(k) ? 1u : 0u;
    pages += isFPMapRange(k) ? 1u : 0u;
    return kPageSize * pages;
}

// Moves the write position to a place where `size` bytes fit inside one AMap range, after
// its map pages, at the given alignment. Skipped bytes become free space.
std::uint64_t NdbWriter::allocate(std::uint64_t size, std::uint64_t alignment) {
    for (;;) {
        const std::uint64_t k = (m_pos - kFirstAMap) / kAMapRange;
        const std::uint64_t start = kFirstAMap + k * kAMapRange;
        const std::uint64_t prefixEnd = start + reservedPrefix(k);
        if (m_pos < prefixEnd) {
            emitZeros(prefixEnd - m_pos); // the map pages, filled in by finish()
        }
        const std::uint64_t aligned = roundUp(m_pos, alignment);
        const std::uint64_t next = start + kAMapRange;
        if (aligned + size > next) {
            m_gaps.emplace_back(m_pos, next);
            emitZeros(next - m_pos);
            continue;
        }
        if (aligned > m_pos) {
            m_gaps.emplace_back(m_pos, aligned);
            emitZeros(aligned - m_pos);
        }
        if (!m_sizes.unicode && m_pos + size > 0xFFFFFFFFull) {
            fail("an ANSI file cannot grow beyond 4 GB");
        }
        return m_pos;
    }
}

std::uint64_t NdbWriter::writeBlock(std::span<const std::uint8_t> data, bool internal) {
    if (data.size() > m_sizes.maxBlockData) {
        fail("block too large");
    }
    const std::uint64_t total = roundUp(data.size() + m_sizes.blockTrailer, 64);
    const std::uint64_t bid = m_nextBid | (internal ? 2u : 0u);
    m_nextBid += 4;
    const std::uint64_t ib = allocate(total, 64);

    m_scratch.assign(total, 0);
    std::memcpy(m_scratch.data(), data.data(), data.size());
    std::span<std::uint8_t> payload(m_scratch.data(), data.size());
    if (!internal) {
        ndb::encodeBlock(payload, m_crypt, bid);
    }
    std::uint8_t* trailer = m_scratch.data() + total - m_sizes.blockTrailer;
    const std::uint32_t crc = ndb::crc32(payload);
    put16(trailer, static_cast<std::uint16_t>(data.size()));
    put16(trailer + 2, ndb::blockSignature(ib, bid));
    if (m_sizes.unicode) {
        put32(trailer + 4, crc);
        put64(trailer + 8, bid);
    } else {
        put32(trailer + 4, static_cast<std::uint32_t>(bid));
        put32(trailer + 8, crc);
    }
    emit(m_scratch);
    m_bbt.push_back({bid, ib, static_cast<std::uint16_t>(data.size())});
    return bid;
}

std::uint64_t NdbWriter::writeDataBlock(std::span<const std::uint8_t> data) {
    return writeBlock(data, false);
}

std::uint64_t NdbWriter::writeInternalBlock(std::span<const std::uint8_t> data) {
    return writeBlock(data, true);
}

std::uint64_t NdbWriter::writeData(std::span<const std::uint8_t> data) {
    if (data.empty()) {
        return 0;
    }
    if (data.size() <= m_sizes.maxBlockData) {
        return writeDataBlock(data);
    }
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::size_t off = 0; off < data.size(); off += m_sizes.maxBlockData) {
        const std::size_t n = std::min(m_sizes.maxBlockData, data.size() - off);
        blocks.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(off),
                            data.begin() + static_cast<std::ptrdiff_t>(off + n));
    }
    return writeBlocks(blocks);
}

std::uint64_t NdbWriter::writeBlocks(const std::vector<std::vector<std::uint8_t>>& blocks) {
    if (blocks.empty()) {
        return 0;
    }
    if (blocks.size() == 1) {
        return writeDataBlock(blocks.front());
    }
    struct Ref {
        std::uint64_t bid;
        std::uint64_t bytes;
    };
    std::vector<Ref> refs;
    refs.reserve(blocks.size());
    for (const auto& b : blocks) {
        refs.push_back({writeDataBlock(b), b.size()});
    }
    const std::size_t perBlock = (m_sizes.maxBlockData - 8) / m_sizes.idSize;
    auto makeX = [&](std::uint8_t level, std::span<const Ref> children) -> Ref {
        std::vector<std::uint8_t> x(8 + children.size() * m_sizes.idSize, 0);
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < children.size(); ++i) {
            putId(x.data() + 8 + i * m_sizes.idSize, children[i].bid);
            total += children[i].bytes;
        }
        if (total > 0xFFFFFFFFull) {
            fail("a single value is larger than 4 GB");
        }
        x[0] = ndb::block_type::kData;
        x[1] = level;
        put16(x.data() + 2, static_cast<std::uint16_t>(children.size()));
        put32(x.data() + 4, static_cast<std::uint32_t>(total));
        return {writeInternalBlock(x), total};
    };
    if (refs.size() <= perBlock) {
        return makeX(1, refs).bid;
    }
    std::vector<Ref> xs;
    for (std::size_t i = 0; i < refs.size(); i += perBlock) {
        const std::size_t n = std::min(perBlock, refs.size() - i);
        xs.push_back(makeX(1, std::span<const Ref>(refs).subspan(i, n)));
    }
    if (xs.size() > perBlock) {
        fail("a single value is too large for a data tree");
    }
    return makeX(2, xs).bid;
}

std::uint64_t NdbWriter::writeSubnodes(std::vector<SubnodeEntry> entries) {
    if (entries.empty()) {
        return 0;
    }
    std::sort(entries.begin(), entries.end(),
              [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
    const std::size_t header = m_sizes.unicode ? 8 : 4;
    const std::size_t leafEntry = 3 * m_sizes.idSize;
    const std::size_t perLeaf = (m_sizes.maxBlockData - header) / leafEntry;
    struct Leaf {
        std::uint32_t firstNid;
        std::uint64_t bid;
    };
    std::vector<Leaf> leaves;
    for (std::size_t i = 0; i < entries.size(); i += perLeaf) {
        const std::size_t n = std::min(perLeaf, entries.size() - i);
        std::vector<std::uint8_t> b(header + n * leafEntry, 0);
        b[0] = ndb::block_type::kSubnode;
        b[1] = 0;
        put16(b.data() + 2, static_cast<std::uint16_t>(n));
        for (std::size_t j = 0; j < n; ++j) {
            std::uint8_t* e = b.data() + header + j * leafEntry;
            putId(e, entries[i + j].nid);
            putId(e + m_sizes.idSize, entries[i + j].bidData);
            putId(e + 2 * m_sizes.idSize, entries[i + j].bidSub);
        }
        leaves.push_back({entries[i].nid, writeInternalBlock(b)});
    }
    if (leaves.size() == 1) {
        return leaves.front().bid;
    }
    const std::size_t indexEntry = 2 * m_sizes.idSize;
    if (leaves.size() > (m_sizes.maxBlockData - header) / indexEntry) {
        fail("too many subnodes in one node");
    }
    std::vector<std::uint8_t> b(header + leaves.size() * indexEntry, 0);
    b[0] = ndb::block_type::kSubnode;
    b[1] = 1;
    put16(b.data() + 2, static_cast<std::uint16_t>(leaves.size()));
    for (std::size_t j = 0; j < leaves.size(); ++j) {
        putId(b.data() + header + j * indexEntry, leaves[j].firstNid);
        putId(b.data() + header + j * indexEntry + m_sizes.idSize, leaves[j].bid);
    }
    return writeInternalBlock(b);
}

void NdbWriter::addNode(std::uint32_t nid, std::uint64_t bidData, std::uint64_t bidSub,
                        std::uint32_t parentNid) {
    m_nbt.push_back({nid, bidData, bidSub, parentNid});
    noteNid(nid);
}

void NdbWriter::noteNid(std::uint32_t nid) {
    const std::uint32_t type = nid & 0x1F;
    const std::uint32_t index = nid >> 5;
    m_rgnid[type] = std::max(m_rgnid[type], index);
}

// Writes one 512-byte page with its trailer. `signature` selects the BID/wSig scheme of
// B-tree and density-list pages; map pages carry their own offset as BID and no signature.
std::uint64_t NdbWriter::writePage(std::vector<std::uint8_t>& page, std::uint8_t ptype,
                                   bool signature, std::uint64_t fixedOffset) {
    page.resize(kPageSize, 0);
    const std::uint64_t ib = fixedOffset != 0 ? fixedOffset : allocate(kPageSize, kPageSize);
    const std::uint64_t bid = signature ? m_nextPageBid++ : ib;
    std::uint8_t* t = page.data() + kPageSize - m_sizes.pageTrailer;
    t[0] = ptype;
    t[1] = ptype;
    put16(t + 2, signature ? ndb::blockSignature(ib, bid) : 0);
    const std::uint32_t crc =
        ndb::crc32(std::span<const std::uint8_t>(page.data(), kPageSize - m_sizes.pageTrailer));
    if (m_sizes.unicode) {
        put32(t + 4, crc);
        put64(t + 8, bid);
    } else {
        put32(t + 4, static_cast<std::uint32_t>(bid));
        put32(t + 8, crc);
    }
    if (fixedOffset != 0) {
        writeAt(ib, page);
    } else {
        emit(page);
    }
    return ib;
}

std::pair<std::uint64_t, std::uint64_t>
NdbWriter::writeBTree(std::uint8_t ptype, std::size_t leafSize,
                      std::vector<std::vector<std::uint8_t>> entries,
                      std::vector<std::uint64_t> keys) {
    std::uint8_t level = 0;
    std::size_t entrySize = leafSize;
    for (;;) {
        const std::size_t perPage = m_sizes.btEntryArea / entrySize;
        std::vector<std::vector<std::uint8_t>> next;
        std::vector<std::uint64_t> nextKeys;
        std::pair<std::uint64_t, std::uint64_t> last{0, 0};
        std::size_t i = 0;
        do {
            const std::size_t n = std::min(perPage, entries.size() - i);
            std::vector<std::uint8_t> page(kPageSize, 0);
            for (std::size_t j = 0; j < n; ++j) {
                std::memcpy(page.data() + j * entrySize, entries[i + j].data(), entrySize);
            }
            std::uint8_t* meta = page.data() + m_sizes.btEntryArea;
            meta[0] = static_cast<std::uint8_t>(n);
            meta[1] = static_cast<std::uint8_t>(perPage);
            meta[2] = static_cast<std::uint8_t>(entrySize);
            meta[3] = level;
            const std::uint64_t bid = m_nextPageBid;
            const std::uint64_t ib = writePage(page, ptype, true, 0);
            last = {bid, ib};
            std::vector<std::uint8_t> idx(m_sizes.btIndexEntry, 0);
            putId(idx.data(), keys.empty() ? 0 : keys[i]);
            putId(idx.data() + m_sizes.idSize, bid);
            putId(idx.data() + 2 * m_sizes.idSize, ib);
            next.push_back(std::move(idx));
            nextKeys.push_back(keys.empty() ? 0 : keys[i]);
            i += n;
        } while (i < entries.size());
        if (next.size() == 1) {
            return last;
        }
        entries = std::move(next);
        keys = std::move(nextKeys);
        entrySize = m_sizes.btIndexEntry;
        ++level;
    }
}

void NdbWriter::writeMaps(std::uint64_t fileEnd, std::uint64_t& amapFree, std::uint64_t& amapLast) {
    const std::uint64_t ranges = (fileEnd - kFirstAMap) / kAMapRange;
    amapFree = 0;
    std::size_t gapIndex = 0;
    std::vector<std::uint8_t> longestFree(ranges, 0);
    const std::size_t bitsOffset = m_sizes.unicode ? 0 : 4;
    for (std::uint64_t k = 0; k < ranges; ++k) {
        const std::uint64_t start = kFirstAMap + k * kAMapRange;
        const std::uint64_t end = start + kAMapRange;
        std::vector<std::uint8_t> page(kPageSize, 0);
        std::uint8_t* bits = page.data() + bitsOffset;
        std::memset(bits, 0xFF, 496);
        while (gapIndex < m_gaps.size() && m_gaps[gapIndex].second <= start) {
            ++gapIndex;
        }
        for (std::size_t g = gapIndex; g < m_gaps.size() && m_gaps[g].first < end; ++g) {
            const std::uint64_t a = std::max(m_gaps[g].first, start);
            const std::uint64_t b = std::min(m_gaps[g].second, end);
            // Only whole 64-byte slots are free; gaps always start and end on slot bounds.
            for (std::uint64_t slot = (a - start) / 64; slot < (b - start) / 64; ++slot) {
                bits[slot / 8] = static_cast<std::uint8_t>(bits[slot / 8] & ~(0x80u >> (slot % 8)));
                amapFree += 64;
            }
        }
        std::uint64_t run = 0;
        std::uint64_t best = 0;
        for (std::size_t slot = 0; slot < 496 * 8; ++slot) {
            if ((bits[slot / 8] & (0x80u >> (slot % 8))) == 0) {
                best = std::max(best, ++run);
            } else {
                run = 0;
            }
        }
        longestFree[k] = static_cast<std::uint8_t>(std::min<std::uint64_t>(best, 255));
        writePage(page, ndb::page_type::kAllocationMap, false, start);
        amapLast = start;
        std::uint64_t at = start + kPageSize;
        if (isPMapRange(k)) {
            std::vector<std::uint8_t> pmap(kPageSize, 0);
            std::memset(pmap.data() + bitsOffset, 0xFF, 496);
            writePage(pmap, ndb::page_type::kPageMap, false, at);
            at += kPageSize;
        }
        if (isFMapRange(k)) {
            at += kPageSize; // written below, once every range's free run is known
        }
        if (isFPMapRange(k)) {
            std::vector<std::uint8_t> fpmap(kPageSize, 0);
            std::memset(fpmap.data() + bitsOffset, 0xFF, 496);
            writePage(fpmap, ndb::page_type::kFreePageMap, false, at);
        }
    }
    // FMap pages: the longest free run of each AMap they cover.
    for (std::uint64_t k = kFMapFirst; k < ranges; k += kFMapInterval) {
        std::vector<std::uint8_t> fmap(kPageSize, 0);
        for (std::uint64_t j = 0; j < 496 && k + j < ranges; ++j) {
            fmap[bitsOffset + j] = longestFree[k + j];
        }
        const std::uint64_t at = kFirstAMap + k * kAMapRange + kPageSize * (isPMapRange(k) ? 2 : 1);
        writePage(fmap, ndb::page_type::kFreeMap, false, at);
    }
}

void NdbWriter::writeHeader(std::uint64_t fileEnd, std::uint64_t amapLast, std::uint64_t amapFree,
                            std::pair<std::uint64_t, std::uint64_t> nbt,
                            std::pair<std::uint64_t, std::uint64_t> bbt) {
    std::vector<std::uint8_t> h(m_sizes.unicode ? 564 : 512, 0);
    std::memcpy(h.data(), "!BDN", 4);
    put16(h.data() + 8, 0x4D53);
    put16(h.data() + 10, m_sizes.unicode ? 23 : 14);
    put16(h.data() + 12, 19);
    h[14] = 0x01;
    h[15] = 0x01;
    std::size_t rgnidAt = 0;
    std::size_t rootAt = 0;
    std::size_t fmAt = 0;
    if (m_sizes.unicode) {
        put64(h.data() + 32, m_nextPageBid);
        put32(h.data() + 40, 1); // dwUnique
        rgnidAt = 44;
        rootAt = 180;
        fmAt = 256;
    } else {
        put32(h.data() + 24, static_cast<std::uint32_t>(m_nextBid));
        put32(h.data() + 28, static_cast<std::uint32_t>(m_nextPageBid));
        put32(h.data() + 32, 1);
        rgnidAt = 36;
        rootAt = 164;
        fmAt = 204;
    }
    for (std::size_t i = 0; i < 32; ++i) {
        put32(h.data() + rgnidAt + 4 * i, m_rgnid[i]);
    }
    std::uint8_t* r = h.data() + rootAt + 4;
    putId(r, fileEnd);
    putId(r + m_sizes.idSize, amapLast);
    putId(r + 2 * m_sizes.idSize, amapFree);
    putId(r + 3 * m_sizes.idSize, 0); // cbPMapFree
    putId(r + 4 * m_sizes.idSize, nbt.first);
    putId(r + 5 * m_sizes.idSize, nbt.second);
    putId(r + 6 * m_sizes.idSize, bbt.first);
    putId(r + 7 * m_sizes.idSize, bbt.second);
    r[8 * m_sizes.idSize] = 0x02;            // fAMapValid: VALID_AMAP2
    std::memset(h.data() + fmAt, 0xFF, 256); // rgbFM and rgbFP: deprecated, all 0xFF
    const std::size_t tail = fmAt + 256;
    h[tail] = 0x80; // bSentinel
    h[tail + 1] = static_cast<std::uint8_t>(m_crypt);
    if (m_sizes.unicode) {
        put64(h.data() + tail + 4, m_nextBid);
    }
    put32(h.data() + 4, ndb::crc32(std::span<const std::uint8_t>(h.data() + 8, 471)));
    if (m_sizes.unicode) {
        put32(h.data() + 524, ndb::crc32(std::span<const std::uint8_t>(h.data() + 8, 516)));
    }
    writeAt(0, h);
}

void NdbWriter::finish() {
    if (m_finished) {
        return;
    }
    m_finished = true;

    // Node B-tree.
    std::sort(m_nbt.begin(), m_nbt.end(),
              [](const NbtEntry& a, const NbtEntry& b) { return a.nid < b.nid; });
    std::vector<std::vector<std::uint8_t>> entries;
    std::vector<std::uint64_t> keys;
    entries.reserve(m_nbt.size());
    for (const auto& n : m_nbt) {
        std::vector<std::uint8_t> e(m_sizes.nbtEntry, 0);
        putId(e.data(), n.nid);
        putId(e.data() + m_sizes.idSize, n.bidData);
        putId(e.data() + 2 * m_sizes.idSize, n.bidSub);
        put32(e.data() + 3 * m_sizes.idSize, n.parent);
        entries.push_back(std::move(e));
        keys.push_back(n.nid);
    }
    const auto nbt = writeBTree(ndb::page_type::kNodeBTree, m_sizes.nbtEntry, std::move(entries),
                                std::move(keys));

    // Block B-tree: blocks were made in BID order already, but sort to be sure.
    std::sort(m_bbt.begin(), m_bbt.end(),
              [](const BbtEntry& a, const BbtEntry& b) { return a.bid < b.bid; });
    entries.clear();
    keys.clear();
    entries.reserve(m_bbt.size());
    for (const auto& b : m_bbt) {
        std::vector<std::uint8_t> e(m_sizes.bbtEntry, 0);
        putId(e.data(), b.bid);
        putId(e.data() + m_sizes.idSize, b.ib);
        put16(e.data() + 2 * m_sizes.idSize, b.cb);
        put16(e.data() + 2 * m_sizes.idSize + 2, 2); // cRef
        entries.push_back(std::move(e));
        keys.push_back(b.bid);
    }
    const auto bbt = writeBTree(ndb::page_type::kBlockBTree, m_sizes.bbtEntry, std::move(entries),
                                std::move(keys));

    // The file ends on an AMap boundary; the tail is free space.
    const std::uint64_t ranges = (m_pos - kFirstAMap + kAMapRange - 1) / kAMapRange;
    const std::uint64_t fileEnd = kFirstAMap + ranges * kAMapRange;
    if (fileEnd > m_pos) {
        m_gaps.emplace_back(m_pos, fileEnd);
        emitZeros(fileEnd - m_pos);
    }
    flush();

    std::uint64_t amapFree = 0;
    std::uint64_t amapLast = kFirstAMap;
    writeMaps(fileEnd, amapFree, amapLast);

    std::vector<std::uint8_t> dlist(kPageSize, 0);
    writePage(dlist, ndb::page_type::kDensityList, true, kDListOffset);

    writeHeader(fileEnd, amapLast, amapFree, nbt, bbt);
    flush();
    if (std::fclose(m_file) != 0) {
        m_file = nullptr;
        fail(std::strerror(errno));
    }
    m_file = nullptr;
}

} // namespace tvn::tools
