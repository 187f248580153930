// B-tree pages of [MS-PST] section 2.2.2.7 (NDB layer).

#include "store/pst/ndb/btree.h"

#include <string>

namespace tvn::store::pst::ndb {

namespace {

// BTENTRY of an intermediate page: key, then the child's BREF.
BlockRef childRef(const FileView& file, const Page& page, std::size_t i) {
    const auto e = page.entry(i);
    const std::size_t id = file.layout.idSize;
    return {BlockId{file.readId(e, id)}, file.readId(e, 2 * id)};
}

// Index of the last entry whose key is <= `key`, or nothing. Entries are sorted by key; in a
// damaged page they may not be, which gives a wrong answer but never a bad read.
template <typename KeyOf>
std::optional<std::size_t> lastAtOrBelow(const Page& page, std::uint64_t key, KeyOf keyOf) {
    std::size_t lo = 0;
    std::size_t hi = page.count;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (keyOf(page.entry(mid)) <= key) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    if (lo == 0) {
        return std::nullopt;
    }
    return lo - 1;
}

bool walkFrom(const FileView& file, VerifiedPages& verified, const BlockRef& ref, std::uint8_t type,
              std::optional<std::size_t> level, std::unordered_set<std::uint64_t>& seen,
              const std::function<bool(std::span<const std::uint8_t>)>& leaf,
              const std::function<bool(const PageInfo&)>* onPage) {
    if (!seen.insert(ref.offset).second) {
        throwCorrupt("B-tree page referenced twice", ref.offset);
    }
    const Page page = readPage(file, verified, ref, type, level);
    if (onPage != nullptr && !(*onPage)(PageInfo{ref, type == page_type::kNodeBTree, page.level})) {
        return false;
    }
    for (std::size_t i = 0; i < page.count; ++i) {
        if (page.level == 0) {
            if (!leaf(page.entry(i))) {
                return false;
            }
        } else if (!walkFrom(file, verified, childRef(file, page, i), type, page.level - 1, seen,
                             leaf, onPage)) {
            return false;
        }
    }
    return true;
}

} // namespace

Page readPage(const FileView& file, VerifiedPages& verified, const BlockRef& ref, std::uint8_t type,
              std::optional<std::size_t> expectedLevel) {
    const Layout& l = file.layout;
    const char* name = type == page_type::kNodeBTree ? "node B-tree page" : "block B-tree page";
    if (ref.offset > file.size() || l.pageSize > file.size() - ref.offset) {
        throwCorrupt(std::string(name) + " offset " + hexText(ref.offset) +
                     " beyond the end of the file");
    }
    BlockBytes holder = file.storage.range(ref.offset, l.pageSize);
    const auto bytes = holder.bytes();
    const std::size_t t = l.pageSize - l.pageTrailerSize;
    const std::uint8_t ptype = bytes[t];
    const std::uint8_t ptypeRepeat = bytes[t + 1];
    if (ptype != type || ptypeRepeat != type) {
        throwCorrupt(std::string("invalid ") + name + " ptype " + hexText(ptype) + " (repeat " +
                         hexText(ptypeRepeat) + ")",
                     ref.offset);
    }
    if (verified.count(ref.offset) == 0) {
        std::uint32_t crc = 0;
        std::uint64_t bid = 0;
        if (l.format == Format::Ansi) {
            bid = loadLe<std::uint32_t>(bytes, t + 4);
            crc = loadLe<std::uint32_t>(bytes, t + 8);
        } else {
            crc = loadLe<std::uint32_t>(bytes, t + 4);
            bid = loadLe<std::uint64_t>(bytes, t + 8);
        }
        if ((bid & ~std::uint64_t{1}) != blockKey(ref.bid)) {
            throwCorrupt(std::string(name) + " trailer BID " + hexText(bid) +
                             " does not match the reference " + hexText(raw(ref.bid)),
                         ref.offset);
        }
        // The CRC covers the page up to its trailer.
        if (crc32(bytes.first(t)) != crc && kVerifyChecksums) {
            throwCorrupt(std::string("damaged ") + name + " (CRC mismatch)", ref.offset);
        }
        verified.insert(ref.offset);
    }
    std::size_t count = 0;
    std::size_t entrySize = 0;
    std::size_t level = 0;
    if (l.format == Format::Unicode4k) {
        count = loadLe<std::uint16_t>(bytes, l.pageEntryArea);
        entrySize = bytes[l.pageEntryArea + 4];
        level = bytes[l.pageEntryArea + 5];
    } else {
        count = bytes[l.pageEntryArea];
        entrySize = bytes[l.pageEntryArea + 2];
        level = bytes[l.pageEntryArea + 3];
    }
    if (level > kMaxBTreeDepth || (expectedLevel && level != *expectedLevel)) {
        throwCorrupt(std::string("invalid ") + name + " cLevel " + hexText(level), ref.offset);
    }
    const std::size_t minEntry =
        level > 0 ? l.btEntrySize
                  : (type == page_type::kNodeBTree ? l.nbtEntrySize : l.bbtEntrySize);
    if (entrySize < minEntry) {
        throwCorrupt(std::string("invalid ") + name + " cbEnt " + hexText(entrySize), ref.offset);
    }
    if (count * entrySize > l.pageEntryArea) {
        throwCorrupt(std::string("invalid ") + name + " cEnt " + hexText(count), ref.offset);
    }
    Page page;
    page.holder = std::move(holder);
    page.offset = ref.offset;
    page.entries = bytes.first(count * entrySize);
    page.count = count;
    page.entrySize = entrySize;
    page.level = level;
    return page;
}

std::optional<std::span<const std::uint8_t>> lookup(const FileView& file, VerifiedPages& verified,
                                                    const BlockRef& root, std::uint8_t type,
                                                    std::uint64_t key, std::uint64_t keyMask) {
    const auto keyOf = [&](std::span<const std::uint8_t> e) { return file.readId(e, 0) & keyMask; };
    Page page = readPage(file, verified, root, type, std::nullopt);
    for (std::size_t guard = 0; guard <= kMaxBTreeDepth; ++guard) {
        const auto i = lastAtOrBelow(page, key, keyOf);
        if (!i) {
            return std::nullopt;
        }
        if (page.level == 0) {
            const auto e = page.entry(*i);
            if (keyOf(e) != key) {
                return std::nullopt;
            }
            return e;
        }
        page = readPage(file, verified, childRef(file, page, *i), type, page.level - 1);
    }
    throwCorrupt("B-tree deeper than " + std::to_string(kMaxBTreeDepth) + " levels", root.offset);
}

bool walk(const FileView& file, VerifiedPages& verified, const BlockRef& root, std::uint8_t type,
          const std::function<bool(std::span<const std::uint8_t>)>& leaf,
          const std::function<bool(const PageInfo&)>* onPage) {
    std::unordered_set<std::uint64_t> seen;
    return walkFrom(file, verified, root, type, std::nullopt, seen, leaf, onPage);
}

NodeEntry nodeEntry(const FileView& file, std::span<const std::uint8_t> e) {
    const std::size_t id = file.layout.idSize;
    NodeEntry n;
    n.nid = NodeId{static_cast<std::uint32_t>(file.readId(e, 0))};
    n.data = BlockId{file.readId(e, id)};
    n.subnodes = BlockId{file.readId(e, 2 * id)};
    n.parent = NodeId{loadLe<std::uint32_t>(e, 3 * id)};
    return n;
}

BlockEntry blockEntry(const FileView& file, std::span<const std::uint8_t> e) {
    const std::size_t id = file.layout.idSize;
    BlockEntry b;
    b.ref = {BlockId{file.readId(e, 0)}, file.readId(e, id)};
    b.size = loadLe<std::uint16_t>(e, 2 * id);
    if (file.layout.format == Format::Unicode4k) {
        b.inflatedSize = loadLe<std::uint16_t>(e, 2 * id + 2);
        b.refCount = loadLe<std::uint32_t>(e, 2 * id + 4);
    } else {
        b.inflatedSize = b.size;
        b.refCount = loadLe<std::uint16_t>(e, 2 * id + 2);
    }
    return b;
}

} // namespace tvn::store::pst::ndb
