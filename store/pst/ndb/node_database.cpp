// Node database layer: the header, B-tree pages, blocks, data trees and subnode trees of
// [MS-PST] section 2.2 (NDB layer), for the ANSI, Unicode and 4K-page Unicode formats.

#include "store/pst/ndb/node_database.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <list>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include <zlib.h>

#include "store/pst/byte_reader.h"

#if defined(__linux__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define TALLYVANE_HAVE_PREAD 1
#else
#include <fstream>
#endif

namespace tvn::store::pst::ndb {

// --- names and layouts -------------------------------------------------------------------

std::string_view formatName(Format format) noexcept {
    switch (format) {
    case Format::Ansi:
        return "ansi";
    case Format::Unicode:
        return "unicode";
    case Format::Unicode4k:
        return "unicode-4k";
    }
    return "unicode";
}

std::string_view encryptionName(CryptMethod method) noexcept {
    switch (method) {
    case CryptMethod::None:
        return "none";
    case CryptMethod::Compressible:
        return "compressible";
    case CryptMethod::High:
        return "high";
    }
    return "none";
}

Layout Layout::forFormat(Format format) noexcept {
    Layout l;
    l.format = format;
    switch (format) {
    case Format::Ansi:
        l.idSize = 4;
        l.pageSize = 512;
        l.pageEntryArea = 496;
        l.pageTrailerSize = 12;
        l.blockTrailerSize = 12;
        l.blockAlignment = 64;
        l.maxBlockSize = 8192;
        l.nbtEntrySize = 16;
        l.bbtEntrySize = 12;
        l.btEntrySize = 12;
        break;
    case Format::Unicode:
        break; // the defaults
    case Format::Unicode4k:
        l.pageSize = 4096;
        l.pageEntryArea = 4056;
        l.pageTrailerSize = 24;
        l.blockTrailerSize = 24;
        l.blockAlignment = 512;
        l.maxBlockSize = 65536;
        break;
    }
    return l;
}

// --- storage: a file read through a window cache, or bytes in memory ---------------------

// The file is read in aligned windows of kWindowSize bytes, the most recently used kept up
// to kMaxCachedWindows. A window handed out stays alive through its shared owner after it
// leaves the cache. Nothing is mapped: a file cut short under the reader gives short reads,
// which are errors, not signals.
struct NodeDatabase::Storage {
    static constexpr std::size_t kSpareWindows = 8;

    // Bytes read from the file; left uninitialised until read (a window is filled whole).
    struct Chunk {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t size = 0;
        explicit Chunk(std::size_t n) : bytes(new std::uint8_t[n]), size(n) {}
        std::span<std::uint8_t> span() { return {bytes.get(), size}; }
    };
    using Buffer = std::shared_ptr<Chunk>;

    std::vector<std::uint8_t> memory; // openMemory(), and builds without positioned reads
    bool inMemory = true;
    std::string path;
    std::uint64_t size = 0;
#ifdef TALLYVANE_HAVE_PREAD
    int fd = -1;
    struct stat opened {}; // size and modification time seen at open
#endif
    bool changed = false; // once seen, every later read of the file fails
    std::list<std::pair<std::uint64_t, Buffer>> order; // front = most recent
    std::unordered_map<std::uint64_t, decltype(order)::iterator> index;
    // Windows dropped from the cache that nobody holds, kept for the next reads: reusing
    // them spares the allocator and the kernel fresh pages for every window read.
    std::vector<Buffer> spare;

    Storage() = default;
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;
    ~Storage() {
#ifdef TALLYVANE_HAVE_PREAD
        if (fd >= 0) {
            ::close(fd);
        }
#endif
    }

    // `n` bytes at `offset`, which the caller has checked lie inside the file as opened.
    BlockBytes range(std::uint64_t offset, std::size_t n) {
        if (inMemory) {
            return {
                std::span<const std::uint8_t>(memory).subspan(static_cast<std::size_t>(offset), n),
                nullptr};
        }
        const std::uint64_t first = offset / kWindowSize;
        if ((offset + n - (n > 0 ? 1 : 0)) / kWindowSize == first) {
            Buffer w = window(first);
            const auto at = static_cast<std::size_t>(offset - first * kWindowSize);
            if (at > w->size || n > w->size - at) {
                changedUnder(offset);
            }
            const std::span<const std::uint8_t> view(w->bytes.get() + at, n);
            return {view, std::move(w)};
        }
        // A range across windows (a large block of the 4K format) is read on its own.
        auto buffer = std::make_shared<Chunk>(n);
        readFile(offset, buffer->span());
        const std::span<const std::uint8_t> view(buffer->span());
        return {view, std::move(buffer)};
    }

private:
    Buffer window(std::uint64_t number) {
        if (const auto it = index.find(number); it != index.end()) {
            order.splice(order.begin(), order, it->second);
            return it->second->second;
        }
        const std::uint64_t start = number * kWindowSize;
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kWindowSize, size - start));
        Buffer buffer;
        if (!spare.empty() && n == kWindowSize) {
            buffer = std::move(spare.back());
            spare.pop_back();
        } else {
            buffer = std::make_shared<Chunk>(n);
        }
        readFile(start, buffer->span());
        order.emplace_front(number, buffer);
        index[number] = order.begin();
        while (order.size() > kMaxCachedWindows) {
            index.erase(order.back().first);
            if (order.back().second.use_count() == 1 && order.back().second->size == kWindowSize &&
                spare.size() < kSpareWindows) {
                spare.push_back(std::move(order.back().second));
            }
            order.pop_back();
        }
        return buffer;
    }

    [[noreturn]] void changedUnder(std::uint64_t offset) {
        changed = true;
        throwCorrupt("the data file " + path +
                         " was changed or cut short by another program while it was open",
                     offset);
    }

    void readFile(std::uint64_t offset, std::span<std::uint8_t> out) {
#ifdef TALLYVANE_HAVE_PREAD
        if (changed) {
            changedUnder(offset);
        }
        // Checked on every read from the file: a copy over it or a sync client rewriting
        // it leaves the size or the modification time different from what was opened.
        struct stat now {};
        if (::fstat(fd, &now) != 0 || now.st_size != opened.st_size ||
            now.st_mtim.tv_sec != opened.st_mtim.tv_sec ||
            now.st_mtim.tv_nsec != opened.st_mtim.tv_nsec) {
            changedUnder(offset);
        }
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t got = ::pread(fd, out.data() + done, out.size() - done,
                                        static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                const int e = errno;
                throwCorrupt("cannot read " + path + ": " + std::strerror(e), offset + done);
            }
            if (got == 0) {
                changedUnder(offset + done);
            }
            done += static_cast<std::size_t>(got);
        }
#else
        (void)offset;
        (void)out;
#endif
    }
};

// --- the block cache ---------------------------------------------------------------------

// Decoded blocks, least recently used dropped first. Bounded by count and bytes; a block
// handed out stays alive through its shared owner after it leaves the cache.
struct NodeDatabase::Cache {
    static constexpr std::size_t kMaxEntries = 256;
    static constexpr std::size_t kMaxBytes = kMaxDecodedBytes;

    // A decoded block; left uninitialised until it is written whole.
    struct Decoded {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t n = 0;
        explicit Decoded(std::size_t size) : bytes(new std::uint8_t[size]), n(size) {}
        std::size_t size() const noexcept { return n; }
        std::span<std::uint8_t> span() noexcept { return {bytes.get(), n}; }
        std::span<const std::uint8_t> view() const noexcept { return {bytes.get(), n}; }
    };
    using Buffer = std::shared_ptr<const Decoded>;
    std::list<std::pair<std::uint64_t, Buffer>> order; // front = most recent
    std::unordered_map<std::uint64_t, decltype(order)::iterator> index;
    std::size_t bytes = 0;
    // Offsets of B-tree pages whose trailer (type, BID, CRC) has been checked.
    std::unordered_set<std::uint64_t> verifiedPages;

    Buffer find(std::uint64_t key) {
        const auto it = index.find(key);
        if (it == index.end()) {
            return nullptr;
        }
        order.splice(order.begin(), order, it->second);
        return it->second->second;
    }
    void put(std::uint64_t key, Buffer buffer) {
        bytes += buffer->size();
        order.emplace_front(key, std::move(buffer));
        index[key] = order.begin();
        while (order.size() > 1 && (order.size() > kMaxEntries || bytes > kMaxBytes)) {
            bytes -= order.back().second->size();
            index.erase(order.back().first);
            order.pop_back();
        }
    }
};

// --- private decoding helpers ------------------------------------------------------------

namespace {

// Fuzzing builds skip the checksums so that mutated inputs reach the decoders behind them
// (the libFuzzer convention); every other build verifies them.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr bool kVerifyChecksums = false;
#else
constexpr bool kVerifyChecksums = true;
#endif

// A decoded B-tree page: where its entries are and how they are laid out.
struct Page {
    BlockBytes holder; // keeps the page's bytes alive
    std::uint64_t offset = 0;
    std::span<const std::uint8_t> entries; // cEnt * cbEnt bytes
    std::size_t count = 0;
    std::size_t entrySize = 0;
    std::size_t level = 0;
    std::span<const std::uint8_t> entry(std::size_t i) const {
        return entries.subspan(i * entrySize, entrySize);
    }
};

} // namespace

class NodeDatabase::Impl {
public:
    static std::uint64_t readId(const NodeDatabase& db, std::span<const std::uint8_t> s,
                                std::size_t off) {
        return db.m_layout.idSize == 4 ? loadLe<std::uint32_t>(s, off)
                                       : loadLe<std::uint64_t>(s, off);
    }

    // Reads and checks one B-tree page: trailer type, BID and CRC (once per page), then
    // cEnt/cbEnt/cLevel against the layout.
    static Page readPage(const NodeDatabase& db, const BlockRef& ref, std::uint8_t type,
                         std::optional<std::size_t> expectedLevel) {
        const Layout& l = db.m_layout;
        const char* name = type == page_type::kNodeBTree ? "node B-tree page" : "block B-tree page";
        if (ref.offset > db.m_fileSize || l.pageSize > db.m_fileSize - ref.offset) {
            throwCorrupt(std::string(name) + " offset " + hexText(ref.offset) +
                         " beyond the end of the file");
        }
        BlockBytes holder = db.m_storage->range(ref.offset, l.pageSize);
        const auto bytes = holder.bytes();
        const std::size_t t = l.pageSize - l.pageTrailerSize;
        const std::uint8_t ptype = bytes[t];
        const std::uint8_t ptypeRepeat = bytes[t + 1];
        if (ptype != type || ptypeRepeat != type) {
            throwCorrupt(std::string("invalid ") + name + " ptype " + hexText(ptype) + " (repeat " +
                             hexText(ptypeRepeat) + ")",
                         ref.offset);
        }
        if (db.m_cache->verifiedPages.count(ref.offset) == 0) {
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
            db.m_cache->verifiedPages.insert(ref.offset);
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
            throwCorrupt(std::string("invalid ") + name + " cbEnt " + hexText(entrySize),
                         ref.offset);
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

    // BTENTRY of an intermediate page: key, then the child's BREF.
    static BlockRef childRef(const NodeDatabase& db, const Page& page, std::size_t i) {
        const auto e = page.entry(i);
        const std::size_t id = db.m_layout.idSize;
        return {BlockId{readId(db, e, id)}, readId(db, e, 2 * id)};
    }

    // Index of the last entry whose key is <= `key`, or nothing. Entries are sorted by key;
    // in a damaged page they may not be, which gives a wrong answer but never a bad read.
    template <typename KeyOf>
    static std::optional<std::size_t> lastAtOrBelow(const Page& page, std::uint64_t key,
                                                    KeyOf keyOf) {
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

    // Descends a B-tree to the leaf entry with `key`; returns the entry bytes.
    static std::optional<std::span<const std::uint8_t>> lookup(const NodeDatabase& db,
                                                               const BlockRef& root,
                                                               std::uint8_t type, std::uint64_t key,
                                                               std::uint64_t keyMask) {
        const auto keyOf = [&](std::span<const std::uint8_t> e) {
            return readId(db, e, 0) & keyMask;
        };
        Page page = readPage(db, root, type, std::nullopt);
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
            page = readPage(db, childRef(db, page, *i), type, page.level - 1);
        }
        throwCorrupt("B-tree deeper than " + std::to_string(kMaxBTreeDepth) + " levels",
                     root.offset);
    }

    // Walks a whole B-tree in key order; a page reached twice is an error (a cycle or a
    // shared subtree would otherwise multiply the work).
    static bool walk(const NodeDatabase& db, const BlockRef& ref, std::uint8_t type,
                     std::optional<std::size_t> level, std::unordered_set<std::uint64_t>& seen,
                     const std::function<bool(std::span<const std::uint8_t>)>& leaf,
                     const std::function<bool(const PageInfo&)>* onPage = nullptr) {
        if (!seen.insert(ref.offset).second) {
            throwCorrupt("B-tree page referenced twice", ref.offset);
        }
        const Page page = readPage(db, ref, type, level);
        if (onPage != nullptr &&
            !(*onPage)(PageInfo{ref, type == page_type::kNodeBTree, page.level})) {
            return false;
        }
        for (std::size_t i = 0; i < page.count; ++i) {
            if (page.level == 0) {
                if (!leaf(page.entry(i))) {
                    return false;
                }
            } else if (!walk(db, childRef(db, page, i), type, page.level - 1, seen, leaf, onPage)) {
                return false;
            }
        }
        return true;
    }

    static NodeEntry nodeEntry(const NodeDatabase& db, std::span<const std::uint8_t> e) {
        const std::size_t id = db.m_layout.idSize;
        NodeEntry n;
        n.nid = NodeId{static_cast<std::uint32_t>(readId(db, e, 0))};
        n.data = BlockId{readId(db, e, id)};
        n.subnodes = BlockId{readId(db, e, 2 * id)};
        n.parent = NodeId{loadLe<std::uint32_t>(e, 3 * id)};
        return n;
    }

    static BlockEntry blockEntry(const NodeDatabase& db, std::span<const std::uint8_t> e) {
        const std::size_t id = db.m_layout.idSize;
        BlockEntry b;
        b.ref = {BlockId{readId(db, e, 0)}, readId(db, e, id)};
        b.size = loadLe<std::uint16_t>(e, 2 * id);
        if (db.m_layout.format == Format::Unicode4k) {
            b.inflatedSize = loadLe<std::uint16_t>(e, 2 * id + 2);
            b.refCount = loadLe<std::uint32_t>(e, 2 * id + 4);
        } else {
            b.inflatedSize = b.size;
            b.refCount = loadLe<std::uint16_t>(e, 2 * id + 2);
        }
        return b;
    }

    // Inflates a zlib stream that must fill `out` exactly.
    static void inflateBlock(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                             const BlockEntry& b) {
        const std::size_t expected = out.size();
        z_stream z{};
        if (inflateInit(&z) != Z_OK) {
            throwCorrupt("cannot start inflating block " + hexText(raw(b.ref.bid)));
        }
        z.next_in = const_cast<Bytef*>(in.data()); // zlib does not write through next_in
        z.avail_in = static_cast<uInt>(in.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        const int rc = ::inflate(&z, Z_FINISH);
        const auto produced = z.total_out;
        inflateEnd(&z);
        if (rc != Z_STREAM_END || produced != expected) {
            throwCorrupt("damaged compressed block " + hexText(raw(b.ref.bid)) + " (inflated " +
                             std::to_string(produced) + " of " + std::to_string(expected) +
                             " bytes)",
                         b.ref.offset);
        }
    }

    // Reads a block's stored bytes and checks its trailer.
    static BlockBytes storedBlock(const NodeDatabase& db, const BlockEntry& b, BlockId asked) {
        const Layout& l = db.m_layout;
        if (std::size_t{b.size} + l.blockTrailerSize > l.maxBlockSize) {
            throwCorrupt("invalid block size " + hexText(b.size) + " of block " +
                             hexText(raw(asked)),
                         b.ref.offset);
        }
        const std::size_t footprint = l.blockFootprint(b.size);
        if (b.ref.offset > db.m_fileSize || footprint > db.m_fileSize - b.ref.offset) {
            throwCorrupt("block " + hexText(raw(asked)) + " offset " + hexText(b.ref.offset) +
                         " beyond the end of the file");
        }
        const BlockBytes holder = db.m_storage->range(b.ref.offset, footprint);
        const auto all = holder.bytes();
        const auto trailer = all.subspan(footprint - l.blockTrailerSize);
        const std::uint16_t cb = loadLe<std::uint16_t>(trailer, 0);
        std::uint32_t crc = 0;
        std::uint64_t bid = 0;
        if (l.format == Format::Ansi) {
            bid = loadLe<std::uint32_t>(trailer, 4);
            crc = loadLe<std::uint32_t>(trailer, 8);
        } else {
            crc = loadLe<std::uint32_t>(trailer, 4);
            bid = loadLe<std::uint64_t>(trailer, 8);
        }
        if (cb != b.size || (bid & ~std::uint64_t{1}) != blockKey(asked)) {
            throwCorrupt("damaged block " + hexText(raw(asked)) + ": trailer cb " + hexText(cb) +
                             " BID " + hexText(bid),
                         b.ref.offset);
        }
        const auto data = all.first(b.size);
        if (crc32(data) != crc && kVerifyChecksums) {
            throwCorrupt("damaged block " + hexText(raw(asked)) + " (CRC mismatch)", b.ref.offset);
        }
        return {data, holder.owner()};
    }

    // An internal block after its header has been checked; entries() slices the entry
    // array once the caller knows the entry size (which depends on the level).
    struct Internal {
        std::uint8_t type = 0;
        std::size_t level = 0;
        std::size_t count = 0;
        std::uint32_t total = 0; // lcbTotal of XBLOCKs
        BlockBytes holder;
        std::span<const std::uint8_t> bytes;
        std::size_t headerSize = 0;
        std::uint64_t offset = kNoOffset;
        std::span<const std::uint8_t> entries(std::size_t entrySize) const {
            return ByteReader(bytes, offset, "internal block").slice(headerSize, count * entrySize);
        }
    };
    static Internal internalBlock(const NodeDatabase& db, BlockId bid, std::uint8_t type) {
        const auto entry = db.findBlock(bid);
        if (!entry) {
            throwCorrupt("block " + hexText(raw(bid)) + " not found");
        }
        Internal in;
        in.holder = db.readBlock(*entry, bid); // never encoded, but may be compressed (4K format)
        in.bytes = in.holder.bytes();
        in.offset = entry->ref.offset;
        ByteReader r(in.bytes, in.offset, "internal block");
        in.type = r.read<std::uint8_t>();
        in.level = r.read<std::uint8_t>();
        in.count = r.read<std::uint16_t>();
        if (in.type != type) {
            throwCorrupt("invalid block type " + hexText(in.type) + " of block " +
                             hexText(raw(bid)),
                         in.offset);
        }
        in.headerSize = 4;
        if (type == block_type::kData) {
            in.total = r.read<std::uint32_t>();
            in.headerSize = 8;
        } else if (db.m_layout.format != Format::Ansi) {
            in.headerSize = 8; // dwPadding
        }
        return in;
    }

    // The leaves of a data tree, each looked up in the block B-tree: a leaf that is not
    // there is kept (its position matters) but marked missing, so that no size is taken
    // from it.
    static void collectLeaves(const NodeDatabase& db, BlockId bid, std::size_t level,
                              std::unordered_set<std::uint64_t>& seen,
                              std::vector<BlockEntry>& leaves) {
        const std::size_t id = db.m_layout.idSize;
        const Internal in = internalBlock(db, bid, block_type::kData);
        const auto entries = in.entries(id);
        if (in.level != level) {
            throwCorrupt("invalid XBLOCK cLevel " + hexText(in.level) + " in block " +
                         hexText(raw(bid)));
        }
        for (std::size_t i = 0; i < in.count; ++i) {
            const BlockId child{readId(db, entries, i * id)};
            if (!seen.insert(blockKey(child)).second) {
                throwCorrupt("block " + hexText(raw(child)) + " appears twice in a data tree");
            }
            if (level == 1) {
                if (isInternal(child)) {
                    throwCorrupt("XBLOCK entry " + hexText(raw(child)) + " is not a data block");
                }
                if (const auto found = db.findBlock(child)) {
                    leaves.push_back(*found);
                } else {
                    BlockEntry missing;
                    missing.ref = {child, kNoOffset};
                    leaves.push_back(missing);
                }
            } else {
                if (!isInternal(child)) {
                    throwCorrupt("XXBLOCK entry " + hexText(raw(child)) +
                                 " is not an internal block");
                }
                collectLeaves(db, child, level - 1, seen, leaves);
            }
        }
    }

    // Subnode tree entries: SLENTRY (nid, data, subnodes) and SIENTRY (nid, child block).
    static NodeRef slEntry(const NodeDatabase& db, std::span<const std::uint8_t> e, std::size_t i) {
        const std::size_t id = db.m_layout.idSize;
        const std::size_t base = i * 3 * id;
        return {NodeId{static_cast<std::uint32_t>(readId(db, e, base))},
                BlockId{readId(db, e, base + id)}, BlockId{readId(db, e, base + 2 * id)}};
    }

    static void collectSubnodes(const NodeDatabase& db, BlockId bid,
                                std::optional<std::size_t> level,
                                std::unordered_set<std::uint64_t>& seen,
                                std::vector<NodeRef>& out) {
        if (!isInternal(bid)) {
            throwCorrupt("subnode tree block " + hexText(raw(bid)) + " is not an internal block");
        }
        if (!seen.insert(blockKey(bid)).second) {
            throwCorrupt("block " + hexText(raw(bid)) + " appears twice in a subnode tree");
        }
        const std::size_t id = db.m_layout.idSize;
        const Internal in = internalBlock(db, bid, block_type::kSubnode);
        if (in.level > kMaxSubnodeDepth || (level && in.level != *level)) {
            throwCorrupt("invalid SIBLOCK/SLBLOCK cLevel " + hexText(in.level) + " in block " +
                         hexText(raw(bid)));
        }
        if (in.level == 0) {
            const auto entries = in.entries(3 * id);
            for (std::size_t i = 0; i < in.count; ++i) {
                out.push_back(slEntry(db, entries, i));
            }
            return;
        }
        const auto entries = in.entries(2 * id);
        for (std::size_t i = 0; i < in.count; ++i) {
            collectSubnodes(db, BlockId{readId(db, entries, i * 2 * id + id)}, in.level - 1, seen,
                            out);
        }
    }
};

// --- NodeDatabase ------------------------------------------------------------------------

NodeDatabase::NodeDatabase(std::unique_ptr<Storage> storage)
    : m_storage(std::move(storage)), m_cache(std::make_unique<Cache>()) {
    m_fileSize = m_storage->inMemory ? m_storage->memory.size() : m_storage->size;
}

NodeDatabase::~NodeDatabase() = default;

std::shared_ptr<NodeDatabase> NodeDatabase::open(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
        // The path could not be looked at (a folder on the way that may not be searched):
        // that is not a missing file.
        throw ReadError(ec == std::errc::permission_denied ? tvn::err::kPermissionDenied
                                                           : tvn::err::kPathFileAccess,
                        "cannot open " + path.string() + ": " + ec.message());
    }
    if (!std::filesystem::exists(status)) {
        throw ReadError(tvn::err::kFileNotFound, "file not found: " + path.string());
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw ReadError(tvn::err::kPathFileAccess, "not a regular file: " + path.string());
    }
    auto storage = std::make_unique<Storage>();
    storage->path = path.string();
#ifdef TALLYVANE_HAVE_PREAD
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        throw ReadError(e == EACCES || e == EPERM ? tvn::err::kPermissionDenied
                                                  : tvn::err::kPathFileAccess,
                        "cannot open " + path.string() + ": " + std::strerror(e));
    }
    storage->fd = fd; // closed by the storage from here on
    if (::fstat(fd, &storage->opened) != 0 || storage->opened.st_size < 0) {
        throw ReadError(tvn::err::kPathFileAccess, "cannot read the size of " + path.string());
    }
    storage->size = static_cast<std::uint64_t>(storage->opened.st_size);
    storage->inMemory = false;
#else
    // Without positioned reads the bytes are read once.
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ReadError(tvn::err::kPathFileAccess, "cannot open " + path.string());
    }
    storage->memory.assign(std::istreambuf_iterator<char>(in), {});
#endif
    std::shared_ptr<NodeDatabase> db(new NodeDatabase(std::move(storage)));
    db->readHeader();
    return db;
}

std::shared_ptr<NodeDatabase> NodeDatabase::openMemory(std::vector<std::uint8_t> bytes) {
    auto storage = std::make_unique<Storage>();
    storage->memory = std::move(bytes);
    std::shared_ptr<NodeDatabase> db(new NodeDatabase(std::move(storage)));
    db->readHeader();
    return db;
}

void NodeDatabase::readHeader() {
    // Whatever is wrong with the header or the roots, the file cannot be used at all.
    try {
        readHeaderFields();
    } catch (const ReadError& e) {
        if (e.number() == tvn::err::kCorruptStore) {
            throw;
        }
        // The description already names the offset.
        throw ReadError(tvn::err::kCorruptStore, "not an Outlook data file: " + e.description(),
                        e.offset());
    }
}

void NodeDatabase::readHeaderFields() {
    // Every header field lies in the first kHeaderBytes bytes.
    constexpr std::size_t kHeaderBytes = 1024;
    const BlockBytes head = m_storage->range(
        0, static_cast<std::size_t>(std::min<std::uint64_t>(m_fileSize, kHeaderBytes)));
    ByteReader r(head.bytes(), 0, "header");
    if (head.size() < 4 || std::memcmp(head.bytes().data(), "!BDN", 4) != 0) {
        throwCorruptStore("no \"!BDN\" signature", 0);
    }
    if (head.size() < 512) {
        throwCorruptStore(
            "file of " + std::to_string(m_fileSize) + " bytes is too short for a header", 0);
    }
    const auto magic = r.readAt<std::uint16_t>(8);
    if (magic != 0x4D53 && magic != 0x4F53) { // "SM", "SO"
        throwCorruptStore("invalid wMagicClient " + hexText(magic), 8);
    }
    m_header.offlineClient = magic == 0x4F53;
    m_header.version = r.readAt<std::uint16_t>(10);
    m_header.clientVersion = r.readAt<std::uint16_t>(12);
    if (m_header.version == 14 || m_header.version == 15) {
        m_header.format = Format::Ansi;
    } else if (m_header.version >= 20 && m_header.version <= 23) {
        m_header.format = Format::Unicode;
    } else if (m_header.version == 36) {
        m_header.format = Format::Unicode4k;
    } else {
        throwCorruptStore("unsupported wVer " + hexText(m_header.version), 10);
    }
    m_layout = Layout::forFormat(m_header.format);

    std::size_t cryptOffset = 0;
    if (m_header.format == Format::Ansi) {
        m_header.fileEof = r.readAt<std::uint32_t>(0xA8);
        m_header.nodeBTreeRoot = {BlockId{r.readAt<std::uint32_t>(0xB8)},
                                  r.readAt<std::uint32_t>(0xBC)};
        m_header.blockBTreeRoot = {BlockId{r.readAt<std::uint32_t>(0xC0)},
                                   r.readAt<std::uint32_t>(0xC4)};
        cryptOffset = 0x1CD;
    } else {
        m_header.fileEof = r.readAt<std::uint64_t>(0xB8);
        m_header.nodeBTreeRoot = {BlockId{r.readAt<std::uint64_t>(0xD8)},
                                  r.readAt<std::uint64_t>(0xE0)};
        m_header.blockBTreeRoot = {BlockId{r.readAt<std::uint64_t>(0xE8)},
                                   r.readAt<std::uint64_t>(0xF0)};
        cryptOffset = 0x201;
    }
    const auto crypt = r.readAt<std::uint8_t>(cryptOffset);
    if (crypt > 2) {
        throwCorruptStore("invalid bCryptMethod " + hexText(crypt), cryptOffset);
    }
    m_header.crypt = static_cast<CryptMethod>(crypt);

    // The roots must be readable B-tree pages of the right kind, or nothing else can be.
    try {
        (void)Impl::readPage(*this, m_header.nodeBTreeRoot, page_type::kNodeBTree, std::nullopt);
        (void)Impl::readPage(*this, m_header.blockBTreeRoot, page_type::kBlockBTree, std::nullopt);
    } catch (const ReadError& e) {
        throw ReadError(tvn::err::kCorruptStore,
                        "not an Outlook data file: unusable B-tree root (" + e.description() + ")",
                        e.offset());
    }
}

std::optional<NodeEntry> NodeDatabase::findNode(NodeId nid) const {
    const auto e =
        Impl::lookup(*this, m_header.nodeBTreeRoot, page_type::kNodeBTree, raw(nid), 0xFFFFFFFFU);
    if (!e) {
        return std::nullopt;
    }
    return Impl::nodeEntry(*this, *e);
}

NodeEntry NodeDatabase::node(NodeId nid) const {
    auto e = findNode(nid);
    if (!e) {
        throwCorrupt("node " + hexText(raw(nid)) + " not found");
    }
    return *e;
}

void NodeDatabase::forEachNode(const std::function<bool(const NodeEntry&)>& visit) const {
    std::unordered_set<std::uint64_t> seen;
    Impl::walk(*this, m_header.nodeBTreeRoot, page_type::kNodeBTree, std::nullopt, seen,
               [&](std::span<const std::uint8_t> e) { return visit(Impl::nodeEntry(*this, e)); });
}

std::optional<BlockEntry> NodeDatabase::findBlock(BlockId bid) const {
    const auto e = Impl::lookup(*this, m_header.blockBTreeRoot, page_type::kBlockBTree,
                                blockKey(bid), ~std::uint64_t{1});
    if (!e) {
        return std::nullopt;
    }
    return Impl::blockEntry(*this, *e);
}

void NodeDatabase::forEachBlock(const std::function<bool(const BlockEntry&)>& visit) const {
    std::unordered_set<std::uint64_t> seen;
    Impl::walk(*this, m_header.blockBTreeRoot, page_type::kBlockBTree, std::nullopt, seen,
               [&](std::span<const std::uint8_t> e) { return visit(Impl::blockEntry(*this, e)); });
}

void NodeDatabase::forEachPage(const std::function<bool(const PageInfo&)>& visit) const {
    const std::function<bool(std::span<const std::uint8_t>)> noLeaves =
        [](std::span<const std::uint8_t>) { return true; };
    std::unordered_set<std::uint64_t> seen;
    if (!Impl::walk(*this, m_header.nodeBTreeRoot, page_type::kNodeBTree, std::nullopt, seen,
                    noLeaves, &visit)) {
        return;
    }
    seen.clear();
    Impl::walk(*this, m_header.blockBTreeRoot, page_type::kBlockBTree, std::nullopt, seen, noLeaves,
               &visit);
}

BlockBytes NodeDatabase::readBlock(BlockId bid) const {
    if (auto cached = m_cache->find(blockKey(bid))) {
        const auto view = cached->view();
        return {view, std::move(cached)};
    }
    const auto entry = findBlock(bid);
    if (!entry) {
        throwCorrupt("block " + hexText(raw(bid)) + " not found");
    }
    return readBlock(*entry, bid);
}

BlockBytes NodeDatabase::readBlock(const BlockEntry& entry, BlockId bid) const {
    const std::uint64_t key = blockKey(bid);
    if (auto cached = m_cache->find(key)) {
        const auto view = cached->view();
        return {view, std::move(cached)};
    }
    BlockBytes stored = Impl::storedBlock(*this, entry, bid);
    const bool compressed = entry.inflatedSize != entry.size;
    // Internal blocks are never encoded; any block of the 4K format may be compressed.
    const bool encoded = !isInternal(bid) && m_header.crypt != CryptMethod::None;
    if (!encoded && !compressed && !stored.owner()) {
        return stored; // a view of bytes the database holds in memory
    }
    // Bytes read from the file are copied out of their window even when they need no
    // decoding: a caller may hold a block for long (a heap keeps its pages), and a view
    // would keep the whole window alive with it.
    const CryptMethod method = encoded ? m_header.crypt : CryptMethod::None;
    std::shared_ptr<Cache::Decoded> buffer;
    if (compressed) {
        std::vector<std::uint8_t> plain(stored.size());
        decodeBlockInto(stored.bytes(), plain, method, raw(entry.ref.bid));
        buffer = std::make_shared<Cache::Decoded>(entry.inflatedSize);
        Impl::inflateBlock(plain, buffer->span(), entry);
    } else {
        buffer = std::make_shared<Cache::Decoded>(stored.size());
        decodeBlockInto(stored.bytes(), buffer->span(), method, raw(entry.ref.bid));
    }
    m_cache->put(key, buffer);
    const auto view = buffer->view();
    return {view, std::move(buffer)};
}

DataStream NodeDatabase::dataStream(BlockId data) const {
    DataStream s;
    s.m_db = this;
    if (raw(data) == 0) {
        return s;
    }
    if (!isInternal(data)) {
        const auto entry = findBlock(data);
        if (!entry) {
            throwCorrupt("block " + hexText(raw(data)) + " not found");
        }
        s.m_leaves.push_back(*entry);
        s.m_size = entry->inflatedSize;
        s.m_present = entry->inflatedSize;
        return s;
    }
    const Impl::Internal top = Impl::internalBlock(*this, data, block_type::kData);
    if (top.level < 1 || top.level > kMaxDataTreeDepth) {
        throwCorrupt("invalid XBLOCK cLevel " + hexText(top.level) + " in block " +
                     hexText(raw(data)));
    }
    std::unordered_set<std::uint64_t> seen{blockKey(data)};
    Impl::collectLeaves(*this, data, top.level, seen, s.m_leaves);
    s.m_size = top.total;
    for (const auto& leaf : s.m_leaves) {
        s.m_present += leaf.inflatedSize;
    }
    return s;
}

std::vector<NodeRef> NodeDatabase::subnodes(const NodeRef& node) const {
    std::vector<NodeRef> out;
    if (raw(node.subnodes) == 0) {
        return out;
    }
    std::unordered_set<std::uint64_t> seen;
    Impl::collectSubnodes(*this, node.subnodes, std::nullopt, seen, out);
    return out;
}

std::optional<NodeRef> NodeDatabase::findSubnode(const NodeRef& node, NodeId subnode) const {
    if (raw(node.subnodes) == 0) {
        return std::nullopt;
    }
    const std::size_t id = m_layout.idSize;
    BlockId bid = node.subnodes;
    std::optional<std::size_t> level;
    for (std::size_t guard = 0; guard <= kMaxSubnodeDepth; ++guard) {
        if (!isInternal(bid)) {
            throwCorrupt("subnode tree block " + hexText(raw(bid)) + " is not an internal block");
        }
        const Impl::Internal in = Impl::internalBlock(*this, bid, block_type::kSubnode);
        if (in.level > kMaxSubnodeDepth || (level && in.level != *level)) {
            throwCorrupt("invalid SIBLOCK/SLBLOCK cLevel " + hexText(in.level) + " in block " +
                         hexText(raw(bid)));
        }
        const std::size_t entrySize = in.level == 0 ? 3 * id : 2 * id;
        const auto entries = in.entries(entrySize);
        // Binary search for the last entry whose NID is <= the one sought.
        std::size_t lo = 0;
        std::size_t hi = in.count;
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            const auto key =
                static_cast<std::uint32_t>(Impl::readId(*this, entries, mid * entrySize));
            if (key <= raw(subnode)) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        if (lo == 0) {
            return std::nullopt;
        }
        if (in.level == 0) {
            const NodeRef ref = Impl::slEntry(*this, entries, lo - 1);
            if (ref.nid != subnode) {
                return std::nullopt;
            }
            return ref;
        }
        bid = BlockId{Impl::readId(*this, entries, (lo - 1) * entrySize + id)};
        level = in.level - 1;
    }
    throwCorrupt("subnode tree deeper than " + std::to_string(kMaxSubnodeDepth) + " levels");
}

NodeRef NodeDatabase::subnode(const NodeRef& node, NodeId subnode) const {
    auto ref = findSubnode(node, subnode);
    if (!ref) {
        throwCorrupt("subnode " + hexText(raw(subnode)) + " of node " + hexText(raw(node.nid)) +
                     " not found");
    }
    return *ref;
}

BlockBytes NodeDatabase::fileBytes(std::uint64_t offset, std::size_t size) const {
    if (offset > m_fileSize || size > m_fileSize - offset) {
        throwCorrupt("read of " + std::to_string(size) + " bytes beyond the end of the file",
                     offset);
    }
    return m_storage->range(offset, size);
}

// --- DataStream --------------------------------------------------------------------------

BlockId DataStream::blockId(std::size_t index) const {
    if (index >= m_leaves.size()) {
        throwCorrupt("block " + std::to_string(index) + " of a data tree of " +
                     std::to_string(m_leaves.size()) + " blocks");
    }
    return m_leaves[index].ref.bid;
}

bool DataStream::blockExists(std::size_t index) const {
    return index < m_leaves.size() && m_leaves[index].ref.offset != kNoOffset;
}

std::size_t DataStream::blockSize(std::size_t index) const {
    return blockExists(index) ? m_leaves[index].inflatedSize : 0;
}

BlockBytes DataStream::block(std::size_t index) const {
    if (m_db == nullptr || index >= m_leaves.size()) {
        throwCorrupt("block " + std::to_string(index) + " of a data tree of " +
                     std::to_string(m_leaves.size()) + " blocks");
    }
    const BlockEntry& leaf = m_leaves[index];
    if (leaf.ref.offset == kNoOffset) {
        throwCorrupt("block " + hexText(raw(leaf.ref.bid)) + " not found");
    }
    return m_db->readBlock(leaf, leaf.ref.bid);
}

void DataStream::forEachBlock(
    const std::function<void(std::span<const std::uint8_t>)>& sink) const {
    if (m_size > m_present) {
        throwCorrupt("data tree of " + std::to_string(m_size) + " bytes lists blocks of " +
                     std::to_string(m_present));
    }
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < m_leaves.size(); ++i) {
        const auto b = block(i);
        total += b.size();
        if (total > m_size) {
            throwCorrupt("data tree of " + std::to_string(m_size) + " bytes holds more data");
        }
        sink(b.bytes());
    }
    if (total != m_size) {
        throwCorrupt("data tree of " + std::to_string(m_size) + " bytes holds " +
                     std::to_string(total));
    }
}

std::vector<std::uint8_t> DataStream::readAll() const {
    std::vector<std::uint8_t> out;
    if (m_db == nullptr) {
        return out;
    }
    // The size is untrusted: reserve only what the blocks present hold (each block's size
    // comes from the block B-tree and is checked against its trailer when it is read).
    if (m_size > m_present) {
        throwCorrupt("data tree claims " + std::to_string(m_size) + " bytes in " +
                     std::to_string(m_leaves.size()) + " blocks holding " +
                     std::to_string(m_present));
    }
    out.reserve(static_cast<std::size_t>(m_size));
    forEachBlock(
        [&](std::span<const std::uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); });
    return out;
}

} // namespace tvn::store::pst::ndb
