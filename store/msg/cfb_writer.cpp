#include "store/msg/cfb_writer.h"

#include <algorithm>
#include <array>
#include <limits>

#include "store/failure.h"
#include "store/text/utf.h"

namespace tvn::store::msg {

namespace {

using namespace cfb;

void putLe(std::uint8_t* at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) {
    return (a + b - 1) / b;
}

// One directory entry as the file will hold it.
struct Node {
    std::vector<std::uint8_t> name; // UTF-16LE without the terminator
    std::uint8_t type = kTypeStream;
    std::uint32_t left = kNoEntry;
    std::uint32_t right = kNoEntry;
    std::uint32_t child = kNoEntry;
    bool red = false;
    std::array<std::uint8_t, 16> classId{};
    const CfbEntry* entry = nullptr;
    bool mini = false;
    std::uint64_t start = 0; // mini sector (mini streams) or logical sector (others)
};

std::uint16_t unitAt(const std::vector<std::uint8_t>& name, std::size_t i) {
    return static_cast<std::uint16_t>(name[2 * i] | (name[2 * i + 1] << 8));
}

std::uint16_t upper(std::uint16_t unit) {
    return (unit >= 'a' && unit <= 'z') ? static_cast<std::uint16_t>(unit - 'a' + 'A') : unit;
}

// The order siblings are kept in: shorter names first, then unit by unit ignoring case.
bool nameLess(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    for (std::size_t i = 0; i < a.size() / 2; ++i) {
        const auto ua = upper(unitAt(a, i));
        const auto ub = upper(unitAt(b, i));
        if (ua != ub) {
            return ua < ub;
        }
    }
    return false;
}

class Flattener {
public:
    explicit Flattener(std::vector<Node>& nodes) : m_nodes(nodes) {}

    void addChildren(const CfbStorage& storage, std::uint32_t parent) {
        std::vector<std::uint32_t> ids;
        for (const auto& entry : storage.entries()) {
            Node node;
            node.name = text::utf8ToUtf16le(entry.name);
            if (node.name.size() / 2 > 31 || node.name.empty()) {
                throw Failure(err::kCorruptData,
                              "The compound-file name \"" + entry.name + "\" is not usable.");
            }
            node.type = entry.storage ? kTypeStorage : kTypeStream;
            if (entry.storage) {
                node.classId = entry.storage->classId;
            }
            node.entry = &entry;
            ids.push_back(static_cast<std::uint32_t>(m_nodes.size()));
            m_nodes.push_back(std::move(node));
        }
        std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
            return nameLess(m_nodes[a].name, m_nodes[b].name);
        });
        for (std::size_t i = 1; i < ids.size(); ++i) {
            if (!nameLess(m_nodes[ids[i - 1]].name, m_nodes[ids[i]].name)) {
                throw Failure(err::kCorruptData, "Two compound-file entries are named \"" +
                                                     m_nodes[ids[i]].entry->name + "\".");
            }
        }
        if (!ids.empty()) {
            std::vector<int> depth(ids.size(), 0);
            m_nodes[parent].child = build(ids, depth, 0, ids.size(), 0);
            colour(ids, depth);
        }
        for (const auto id : ids) {
            if (m_nodes[id].entry->storage) {
                addChildren(*m_nodes[id].entry->storage, id);
            }
        }
    }

private:
    // A balanced binary search tree over ids[lo, hi); returns its root.
    std::uint32_t build(const std::vector<std::uint32_t>& ids, std::vector<int>& depth,
                        std::size_t lo, std::size_t hi, int level) {
        if (lo >= hi) {
            return kNoEntry;
        }
        const std::size_t mid = lo + (hi - lo) / 2;
        depth[mid] = level;
        const auto id = ids[mid];
        m_nodes[id].left = build(ids, depth, lo, mid, level + 1);
        m_nodes[id].right = build(ids, depth, mid + 1, hi, level + 1);
        return id;
    }

    // All levels of a balanced tree but the last are full, so colouring the last level red
    // (when it is not full itself) gives every path the same number of black nodes.
    void colour(const std::vector<std::uint32_t>& ids, const std::vector<int>& depth) {
        const int deepest = *std::max_element(depth.begin(), depth.end());
        const bool full = ids.size() + 1 == (std::size_t{1} << (deepest + 1));
        for (std::size_t i = 0; i < ids.size(); ++i) {
            m_nodes[ids[i]].red = !full && depth[i] == deepest;
        }
    }

    std::vector<Node>& m_nodes;
};

// Where everything goes, in logical sectors (the sector numbers before the range-lock
// sector is skipped).
struct Layout {
    std::uint32_t sectorSize = 512;
    std::uint32_t perSector = 128; // 32-bit entries per sector
    std::uint64_t fat = 0;
    std::uint64_t difat = 0;
    std::uint64_t dir = 0;
    std::uint64_t miniFat = 0;
    std::uint64_t miniStream = 0;
    std::uint64_t dirStart = 0;
    std::uint64_t miniFatStart = 0;
    std::uint64_t miniStreamStart = 0;
    std::uint64_t logicalCount = 0;
    std::uint64_t physicalCount = 0;
    std::uint64_t lockSector = std::numeric_limits<std::uint64_t>::max(); // physical
    std::uint64_t fileSize = 0;

    std::uint64_t phys(std::uint64_t logical) const {
        return logical >= lockSector ? logical + 1 : logical;
    }
    std::uint32_t phys32(std::uint64_t logical) const {
        return static_cast<std::uint32_t>(phys(logical));
    }
};

Layout computeLayout(std::vector<Node>& nodes, std::uint64_t miniSectors, std::uint32_t sectorSize,
                     const CfbLimits& limits) {
    Layout l;
    l.sectorSize = sectorSize;
    l.perSector = sectorSize / 4;
    l.dir = ceilDiv(nodes.size() * kEntrySize, sectorSize);
    l.miniFat = ceilDiv(miniSectors * 4, sectorSize);
    l.miniStream = ceilDiv(miniSectors * kMiniSectorSize, sectorSize);
    std::uint64_t large = 0;
    for (const auto& n : nodes) {
        if (n.type == kTypeStream && !n.mini) {
            large += ceilDiv(n.entry->size, sectorSize);
        }
    }
    const std::uint64_t data = l.dir + l.miniFat + l.miniStream + large;
    const std::uint64_t lockCandidate = limits.rangeLockOffset / sectorSize - 1;
    l.fat = std::max<std::uint64_t>(1, ceilDiv(data, l.perSector));
    for (;;) {
        l.difat =
            l.fat > kHeaderDifatEntries ? ceilDiv(l.fat - kHeaderDifatEntries, l.perSector - 1) : 0;
        l.logicalCount = l.fat + l.difat + data;
        l.physicalCount = l.logicalCount + (l.logicalCount > lockCandidate ? 1 : 0);
        if (l.fat * l.perSector >= l.physicalCount) {
            break;
        }
        ++l.fat;
    }
    if (l.physicalCount > lockCandidate) {
        l.lockSector = lockCandidate;
    }
    if (l.physicalCount > kMaxRegularSector) {
        throw Failure(err::kCorruptData, "The compound file would be too large to write.");
    }
    l.dirStart = l.fat + l.difat;
    l.miniFatStart = l.dirStart + l.dir;
    l.miniStreamStart = l.miniFatStart + l.miniFat;
    std::uint64_t next = l.miniStreamStart + l.miniStream;
    for (auto& n : nodes) {
        if (n.type == kTypeStream && !n.mini) {
            n.start = next;
            next += ceilDiv(n.entry->size, sectorSize);
        }
    }
    l.fileSize = (l.physicalCount + 1) * std::uint64_t{sectorSize};
    return l;
}

// The output, which puts an empty range-lock sector where it belongs.
class Output {
public:
    Output(ByteSink& sink, const Layout& layout) : m_sink(sink), m_lockSize(layout.sectorSize) {
        if (layout.lockSector != std::numeric_limits<std::uint64_t>::max()) {
            m_lockPending = true;
            m_lockStart = (layout.lockSector + 1) * layout.sectorSize;
        }
    }

    void write(std::span<const std::uint8_t> bytes) {
        while (!bytes.empty()) {
            if (m_lockPending && m_pos == m_lockStart) {
                m_lockPending = false;
                for (std::uint64_t left = m_lockSize; left > 0;) {
                    const auto k = static_cast<std::size_t>(std::min<std::uint64_t>(left, 4096));
                    m_sink.write(std::span(kZeros).first(k));
                    m_pos += k;
                    left -= k;
                }
            }
            std::size_t n = bytes.size();
            if (m_lockPending && m_pos < m_lockStart) {
                n = static_cast<std::size_t>(std::min<std::uint64_t>(n, m_lockStart - m_pos));
            }
            m_sink.write(bytes.first(n));
            m_pos += n;
            bytes = bytes.subspan(n);
        }
    }

    void zeros(std::uint64_t n) {
        while (n > 0) {
            const auto k = static_cast<std::size_t>(std::min<std::uint64_t>(n, kZeros.size()));
            write(std::span(kZeros).first(k));
            n -= k;
        }
    }

    // Zeros up to the next multiple of `unit` bytes of what was written since `from`.
    void padFrom(std::uint64_t from, std::uint64_t unit) {
        const std::uint64_t used = (m_pos - from) % unit;
        if (used != 0) {
            zeros(unit - used);
        }
    }

    std::uint64_t position() const { return m_pos; }

private:
    static constexpr std::array<std::uint8_t, 4096> kZeros{};
    ByteSink& m_sink;
    std::uint64_t m_pos = 0;
    bool m_lockPending = false;
    std::uint64_t m_lockStart = 0;
    std::uint64_t m_lockSize;
};

// Passes a producer's bytes on and checks it gives exactly its stream's size.
class CheckedSink final : public ByteSink {
public:
    CheckedSink(Output& out, const CfbEntry& entry) : m_out(out), m_entry(entry) {}
    void write(std::span<const std::uint8_t> bytes) override {
        if (bytes.size() > m_entry.size - m_written) {
            fail("longer");
        }
        m_out.write(bytes);
        m_written += bytes.size();
    }
    void finish() const {
        if (m_written != m_entry.size) {
            fail("shorter");
        }
    }

private:
    [[noreturn]] void fail(const char* how) const {
        throw Failure(err::kCorruptData, "The data of \"" + m_entry.name + "\" is " + how +
                                             " than its recorded size.");
    }
    Output& m_out;
    const CfbEntry& m_entry;
    std::uint64_t m_written = 0;
};

void writeStream(Output& out, const CfbEntry& entry) {
    CheckedSink sink(out, entry);
    if (entry.size > 0 && entry.producer) {
        entry.producer(sink);
    }
    sink.finish();
}

// Collects 32-bit entries and writes them a sector at a time.
class EntryWriter {
public:
    EntryWriter(Output& out, std::uint32_t perSector) : m_out(out), m_buffer(perSector * 4) {}
    void put(std::uint32_t value) {
        putLe(m_buffer.data() + 4 * m_used, value, 4);
        if (++m_used * 4 == m_buffer.size()) {
            m_out.write(m_buffer);
            m_used = 0;
            ++m_sectors;
        }
    }
    // Fills the last sector, and further ones up to `sectors`, with free entries.
    void finish(std::uint64_t sectors) {
        while (m_used != 0 || m_sectors < sectors) {
            put(kFreeSector);
        }
    }
    std::uint64_t count() const { return m_sectors * (m_buffer.size() / 4) + m_used; }

private:
    Output& m_out;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_used = 0;
    std::uint64_t m_sectors = 0;
};

void writeHeader(Output& out, const Layout& l, std::uint64_t miniSectors) {
    std::array<std::uint8_t, 512> h{};
    static constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                               0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(kSignature.begin(), kSignature.end(), h.begin());
    const bool v4 = l.sectorSize == 4096;
    putLe(&h[24], 0x003E, 2);
    putLe(&h[26], v4 ? 4 : 3, 2);
    putLe(&h[28], 0xFFFE, 2);
    putLe(&h[30], v4 ? 12 : 9, 2);
    putLe(&h[32], 6, 2);
    putLe(&h[40], v4 ? l.dir : 0, 4);
    putLe(&h[44], l.fat, 4);
    putLe(&h[48], l.phys(l.dirStart), 4);
    putLe(&h[56], kMiniStreamCutoff, 4);
    putLe(&h[60], miniSectors > 0 ? l.phys32(l.miniFatStart) : kEndOfChain, 4);
    putLe(&h[64], l.miniFat, 4);
    putLe(&h[68], l.difat > 0 ? l.phys32(l.fat) : kEndOfChain, 4);
    putLe(&h[72], l.difat, 4);
    for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i) {
        putLe(&h[76 + 4 * i], i < l.fat ? l.phys32(i) : kFreeSector, 4);
    }
    out.write(h);
    out.zeros(l.sectorSize - h.size());
}

struct Segment {
    std::uint64_t start = 0;
    std::uint64_t count = 0;
    std::uint32_t mark = 0; // kFatSector, kDifatSector, or 0 for a chain
};

void writeFat(Output& out, const Layout& l, const std::vector<Node>& nodes) {
    std::vector<Segment> segments = {{0, l.fat, kFatSector},
                                     {l.fat, l.difat, kDifatSector},
                                     {l.dirStart, l.dir, 0},
                                     {l.miniFatStart, l.miniFat, 0},
                                     {l.miniStreamStart, l.miniStream, 0}};
    for (const auto& n : nodes) {
        if (n.type == kTypeStream && !n.mini) {
            segments.push_back({n.start, ceilDiv(n.entry->size, l.sectorSize), 0});
        }
    }
    EntryWriter fat(out, l.perSector);
    for (const auto& s : segments) {
        for (std::uint64_t i = 0; i < s.count; ++i) {
            const std::uint64_t logical = s.start + i;
            if (fat.count() == l.lockSector) {
                fat.put(kEndOfChain); // the range-lock sector belongs to no chain
            }
            if (s.mark != 0) {
                fat.put(s.mark);
            } else {
                fat.put(i + 1 == s.count ? kEndOfChain : l.phys32(logical + 1));
            }
        }
    }
    fat.finish(l.fat);
}

void writeDifat(Output& out, const Layout& l) {
    EntryWriter difat(out, l.perSector);
    std::uint64_t next = kHeaderDifatEntries;
    for (std::uint64_t k = 0; k < l.difat; ++k) {
        for (std::uint32_t j = 0; j + 1 < l.perSector; ++j, ++next) {
            difat.put(next < l.fat ? l.phys32(next) : kFreeSector);
        }
        difat.put(k + 1 < l.difat ? l.phys32(l.fat + k + 1) : kEndOfChain);
    }
}

void writeDirectory(Output& out, const Layout& l, const std::vector<Node>& nodes,
                    std::uint64_t miniSectors) {
    const std::uint64_t from = out.position();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const Node& n = nodes[i];
        std::array<std::uint8_t, kEntrySize> e{};
        std::copy(n.name.begin(), n.name.end(), e.begin());
        putLe(&e[64], n.name.size() + 2, 2);
        e[66] = n.type;
        e[67] = n.red ? 0 : 1;
        putLe(&e[68], n.left, 4);
        putLe(&e[72], n.right, 4);
        putLe(&e[76], n.child, 4);
        std::copy(n.classId.begin(), n.classId.end(), e.begin() + 80);
        std::uint64_t start = 0;
        std::uint64_t size = 0;
        if (n.type == kTypeRoot) {
            start = miniSectors > 0 ? l.phys(l.miniStreamStart) : kEndOfChain;
            size = miniSectors * kMiniSectorSize;
        } else if (n.type == kTypeStream) {
            size = n.entry->size;
            start = size == 0 ? kEndOfChain : n.mini ? n.start : l.phys(n.start);
        }
        putLe(&e[116], start, 4);
        putLe(&e[120], size, 8);
        out.write(e);
    }
    // Unused entries: no name, no siblings, no child.
    std::array<std::uint8_t, kEntrySize> unused{};
    putLe(&unused[68], kNoEntry, 4);
    putLe(&unused[72], kNoEntry, 4);
    putLe(&unused[76], kNoEntry, 4);
    while ((out.position() - from) % l.sectorSize != 0) {
        out.write(unused);
    }
}

void writeMiniFat(Output& out, const Layout& l, const std::vector<Node>& nodes) {
    EntryWriter miniFat(out, l.perSector);
    for (const auto& n : nodes) {
        if (n.type == kTypeStream && n.mini) {
            const std::uint64_t count = ceilDiv(n.entry->size, kMiniSectorSize);
            for (std::uint64_t i = 0; i < count; ++i) {
                miniFat.put(i + 1 == count ? kEndOfChain
                                           : static_cast<std::uint32_t>(n.start + i + 1));
            }
        }
    }
    miniFat.finish(l.miniFat);
}

} // namespace

CfbStorage& CfbStorage::addStorage(std::string name) {
    CfbEntry entry;
    entry.name = std::move(name);
    entry.storage = std::make_unique<CfbStorage>();
    m_entries.push_back(std::move(entry));
    return *m_entries.back().storage;
}

void CfbStorage::addStream(std::string name, std::vector<std::uint8_t> bytes) {
    const std::uint64_t size = bytes.size();
    addStream(std::move(name), size,
              [bytes = std::move(bytes)](ByteSink& sink) { sink.write(bytes); });
}

void CfbStorage::addStream(std::string name, std::uint64_t size, StreamProducer producer) {
    CfbEntry entry;
    entry.name = std::move(name);
    entry.size = size;
    entry.producer = std::move(producer);
    m_entries.push_back(std::move(entry));
}

CfbWriteResult writeCompoundFile(const CfbStorage& root, ByteSink& sink, const CfbLimits& limits) {
    std::vector<Node> nodes(1);
    nodes[0].name = text::utf8ToUtf16le("Root Entry");
    nodes[0].type = kTypeRoot;
    nodes[0].classId = root.classId;
    Flattener(nodes).addChildren(root, 0);

    std::uint64_t miniSectors = 0;
    for (auto& n : nodes) {
        if (n.type == kTypeStream && n.entry->size < kMiniStreamCutoff) {
            n.mini = true;
            n.start = miniSectors;
            miniSectors += ceilDiv(n.entry->size, kMiniSectorSize);
        }
    }
    Layout l = computeLayout(nodes, miniSectors, 512, limits);
    if (l.fileSize > limits.version3MaxFileSize) {
        l = computeLayout(nodes, miniSectors, 4096, limits);
    }

    Output out(sink, l);
    writeHeader(out, l, miniSectors);
    writeFat(out, l, nodes);
    writeDifat(out, l);
    writeDirectory(out, l, nodes, miniSectors);
    writeMiniFat(out, l, nodes);
    std::uint64_t from = out.position();
    for (const auto& n : nodes) {
        if (n.type == kTypeStream && n.mini) {
            const std::uint64_t at = out.position();
            writeStream(out, *n.entry);
            out.padFrom(at, kMiniSectorSize);
        }
    }
    out.padFrom(from, l.sectorSize);
    for (const auto& n : nodes) {
        if (n.type == kTypeStream && !n.mini) {
            from = out.position();
            writeStream(out, *n.entry);
            out.padFrom(from, l.sectorSize);
        }
    }
    return CfbWriteResult{l.sectorSize, out.position()};
}

} // namespace tvn::store::msg
