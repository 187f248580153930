// Heap-on-node and BTree-on-heap: [MS-PST] sections 2.3.1 and 2.3.2 (LTP layer).

#include "store/pst/ltp/heap.h"

#include <algorithm>
#include <string>

#include "store/pst/byte_reader.h"

namespace tvn::store::pst::ltp {

namespace {

constexpr std::uint8_t kHeapSignature = 0xEC;
constexpr std::size_t kFirstHeaderSize = 12;  // HNHDR
constexpr std::size_t kPageHeaderSize = 2;    // HNPAGEHDR
constexpr std::size_t kBitmapHeaderSize = 66; // HNBITMAPHDR
constexpr std::uint8_t kBthType = 0xB5;

std::string nodeText(const ndb::NodeRef& node) {
    return "node " + hexText(ndb::raw(node.nid));
}

// Size of the page header of heap block `index`: block 0 has the heap header, every 128th
// block from block 8 on has a fill-level bitmap, the others a bare page map offset.
std::size_t pageHeaderSize(std::size_t index) {
    if (index == 0) {
        return kFirstHeaderSize;
    }
    return index % 128 == 8 ? kBitmapHeaderSize : kPageHeaderSize;
}

} // namespace

Heap::Heap(std::shared_ptr<const ndb::NodeDatabase> db, const ndb::NodeRef& node)
    : m_db(std::move(db)), m_node(node) {
    if (ndb::raw(node.data) == 0) {
        throwCorrupt(nodeText(node) + " has no data for a heap");
    }
    m_stream = m_db->dataStream(node.data);
    if (m_stream.blockCount() == 0 || m_stream.blockCount() > kMaxHeapBlocks) {
        throwCorrupt(nodeText(node) + " heap of " + std::to_string(m_stream.blockCount()) +
                     " blocks");
    }
    m_pages.resize(m_stream.blockCount());
    const auto& first = page(0);
    ByteReader r(first.bytes(), kNoOffset, "heap header");
    (void)r.read<std::uint16_t>(); // ibHnpm, checked by page()
    const auto sig = r.read<std::uint8_t>();
    if (sig != kHeapSignature) {
        throwCorrupt("invalid HNHDR bSig " + hexText(sig) + " in " + nodeText(node));
    }
    m_clientSig = r.read<std::uint8_t>();
    m_userRoot = HeapId{r.read<std::uint32_t>()};
}

const ndb::BlockBytes& Heap::page(std::size_t index) const {
    if (index >= m_pages.size()) {
        throwCorrupt("heap block " + std::to_string(index) + " of " + nodeText(m_node) + " of " +
                     std::to_string(m_pages.size()) + " blocks");
    }
    auto& slot = m_pages[index];
    if (!slot) {
        ndb::BlockBytes b = m_stream.block(index);
        // The page map must lie inside the block, after the page header.
        ByteReader r(b.bytes(), kNoOffset, "heap page");
        const std::size_t ibHnpm = r.readAt<std::uint16_t>(0);
        if (ibHnpm < pageHeaderSize(index) || ibHnpm + 4 > b.size()) {
            throwCorrupt("invalid heap ibHnpm " + hexText(ibHnpm) + " in block " +
                         std::to_string(index) + " of " + nodeText(m_node));
        }
        slot = std::move(b);
    }
    return *slot;
}

std::span<const std::uint8_t> Heap::item(HeapId hid) const {
    const std::uint32_t value = raw(hid);
    if (value == 0) {
        return {};
    }
    if ((value & 0x1FU) != 0) {
        throwCorrupt("invalid HID " + hexText(value) + " (not a heap id) in " + nodeText(m_node));
    }
    const std::size_t index = (value >> 5U) & 0x7FFU;
    const std::size_t block = value >> 16U;
    if (index == 0 || block >= m_pages.size()) {
        throwCorrupt("invalid HID " + hexText(value) + " in " + nodeText(m_node) + " of " +
                     std::to_string(m_pages.size()) + " heap blocks");
    }
    const auto bytes = page(block).bytes();
    ByteReader r(bytes, kNoOffset, "heap page map");
    const std::size_t ibHnpm = r.readAt<std::uint16_t>(0);
    const std::size_t cAlloc = r.readAt<std::uint16_t>(ibHnpm);
    if (index > cAlloc) {
        throwCorrupt("HID " + hexText(value) + " beyond the " + std::to_string(cAlloc) +
                     " allocations of heap block " + std::to_string(block) + " of " +
                     nodeText(m_node));
    }
    const std::size_t start = r.readAt<std::uint16_t>(ibHnpm + 4 + 2 * (index - 1));
    const std::size_t end = r.readAt<std::uint16_t>(ibHnpm + 4 + 2 * index);
    // Allocations lie between the page header and the page map, in order.
    if (start < pageHeaderSize(block) || start > end || end > ibHnpm) {
        throwCorrupt("invalid heap allocation " + hexText(start) + ".." + hexText(end) +
                     " for HID " + hexText(value) + " in " + nodeText(m_node));
    }
    return bytes.subspan(start, end - start);
}

// --- BTree-on-heap -----------------------------------------------------------------------

namespace {

// Keys are little-endian unsigned numbers of the same size: compare from the top byte.
int compareKeys(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    for (std::size_t i = a.size(); i-- > 0;) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return 0;
}

} // namespace

BTreeOnHeap::BTreeOnHeap(const Heap& heap, HeapId header) : m_heap(&heap) {
    const auto bytes = heap.item(header);
    ByteReader r(bytes, kNoOffset, "BTHHEADER");
    const auto type = r.read<std::uint8_t>();
    m_keySize = r.read<std::uint8_t>();
    m_dataSize = r.read<std::uint8_t>();
    m_levels = r.read<std::uint8_t>();
    m_root = HeapId{r.read<std::uint32_t>()};
    const std::string where = " in node " + hexText(ndb::raw(heap.node().nid));
    if (type != kBthType) {
        throwCorrupt("invalid BTHHEADER bType " + hexText(type) + where);
    }
    if (m_keySize != 2 && m_keySize != 4 && m_keySize != 8 && m_keySize != 16) {
        throwCorrupt("invalid BTHHEADER cbKey " + hexText(m_keySize) + where);
    }
    if (m_dataSize == 0 || m_dataSize > 32) {
        throwCorrupt("invalid BTHHEADER cbEnt " + hexText(m_dataSize) + where);
    }
    if (m_levels > kMaxBthDepth) {
        throwCorrupt("invalid BTHHEADER bIdxLevels " + hexText(m_levels) + where);
    }
}

namespace {

// The records of one BTH allocation; its size must be a whole number of records.
std::span<const std::uint8_t> records(const Heap& heap, HeapId hid, std::size_t recordSize) {
    const auto bytes = heap.item(hid);
    if (bytes.size() % recordSize != 0) {
        throwCorrupt("BTH allocation " + hexText(raw(hid)) + " of " + std::to_string(bytes.size()) +
                     " bytes is not a multiple of its " + std::to_string(recordSize) +
                     "-byte records in node " + hexText(ndb::raw(heap.node().nid)));
    }
    return bytes;
}

} // namespace

std::optional<std::span<const std::uint8_t>>
BTreeOnHeap::find(std::span<const std::uint8_t> key) const {
    if (key.size() != m_keySize) {
        throwCorrupt("BTH key of " + std::to_string(key.size()) + " bytes sought in a tree of " +
                     std::to_string(m_keySize) + "-byte keys in node " +
                     hexText(ndb::raw(m_heap->node().nid)));
    }
    HeapId hid = m_root;
    for (std::size_t level = m_levels;; --level) {
        if (raw(hid) == 0) {
            return std::nullopt;
        }
        const std::size_t recordSize = m_keySize + (level > 0 ? 4 : m_dataSize);
        const auto recs = records(*m_heap, hid, recordSize);
        const std::size_t n = recs.size() / recordSize;
        // Last record whose key is <= the one sought.
        std::size_t lo = 0;
        std::size_t hi = n;
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (compareKeys(recs.subspan(mid * recordSize, m_keySize), key) <= 0) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        if (lo == 0) {
            return std::nullopt;
        }
        const auto rec = recs.subspan((lo - 1) * recordSize, recordSize);
        if (level == 0) {
            if (compareKeys(rec.first(m_keySize), key) != 0) {
                return std::nullopt;
            }
            return rec.subspan(m_keySize);
        }
        hid = HeapId{loadLe<std::uint32_t>(rec, m_keySize)};
    }
}

std::optional<std::span<const std::uint8_t>> BTreeOnHeap::find(std::uint64_t key) const {
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[i] = static_cast<std::uint8_t>(key >> (8 * i));
    }
    if (m_keySize < 8 && (key >> (8 * m_keySize)) != 0) {
        return std::nullopt; // cannot be a key of this tree
    }
    return find(std::span<const std::uint8_t>(bytes).first(m_keySize));
}

bool BTreeOnHeap::walk(HeapId hid, std::size_t level, std::unordered_set<std::uint32_t>& visited,
                       const std::function<bool(std::span<const std::uint8_t>,
                                                std::span<const std::uint8_t>)>& visit) const {
    if (raw(hid) == 0) {
        return true;
    }
    if (!visited.insert(raw(hid)).second) {
        throwCorrupt("BTH allocation " + hexText(raw(hid)) + " referenced twice in node " +
                     hexText(ndb::raw(m_heap->node().nid)));
    }
    const std::size_t recordSize = m_keySize + (level > 0 ? 4 : m_dataSize);
    const auto recs = records(*m_heap, hid, recordSize);
    for (std::size_t off = 0; off < recs.size(); off += recordSize) {
        const auto rec = recs.subspan(off, recordSize);
        if (level == 0) {
            if (!visit(rec.first(m_keySize), rec.subspan(m_keySize))) {
                return false;
            }
        } else if (!walk(HeapId{loadLe<std::uint32_t>(rec, m_keySize)}, level - 1, visited,
                         visit)) {
            return false;
        }
    }
    return true;
}

void BTreeOnHeap::forEach(
    const std::function<bool(std::span<const std::uint8_t> key,
                             std::span<const std::uint8_t> data)>& visit) const {
    std::unordered_set<std::uint32_t> visited;
    walk(m_root, m_levels, visited, visit);
}

std::size_t BTreeOnHeap::count() const {
    std::size_t n = 0;
    forEach([&](auto, auto) {
        ++n;
        return true;
    });
    return n;
}

} // namespace tvn::store::pst::ltp
