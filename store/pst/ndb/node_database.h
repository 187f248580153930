#pragma once

// The node database (NDB) layer of Outlook data files (.pst/.ost): the header, the node and
// block B-trees, data blocks (decoded and inflated), data trees (XBLOCK/XXBLOCK) and subnode
// trees (SLBLOCK/SIBLOCK). It knows nothing of heaps, properties or messages (see ltp/).
//
// Reading: the file is mapped read-only; nothing reads the whole file. Blocks that need
// decoding (encrypted or compressed) are decoded into buffers held by a small bounded cache;
// plain blocks are handed out as views of the mapping. Each lookup costs the depth of one
// B-tree; reading a node costs its own blocks.
//
// Errors: every function throws ReadError (see read_error.h). open*() throws
// err::kFileNotFound, err::kPermissionDenied, err::kPathFileAccess or err::kCorruptStore; all
// other functions throw err::kCorruptData for damage. Untrusted counts are capped, cycles and
// repeated blocks are errors, and no claimed size larger than the file (or block) justifies
// is allocated. The mapping assumes nobody truncates the file while it is open.
//
// Threads: a NodeDatabase is not safe for concurrent use (its cache is shared state); use one
// per thread.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "store/pst/ndb/read_error.h"
#include "store/pst/ndb/types.h"

namespace tvn::store::pst::ndb {

// Caps on untrusted structure, named so that the limits are visible in one place.
// B-tree page levels above the leaves. Real files use 1-4; eight levels of even the
// smallest pages would index far more entries than any file can hold.
inline constexpr std::size_t kMaxBTreeDepth = 8;
inline constexpr std::size_t kMaxDataTreeDepth = 4; // XBLOCK levels above data blocks (real: 2)
inline constexpr std::size_t kMaxSubnodeDepth = 4;  // SIBLOCK levels above SLBLOCKs (real: 1)
inline constexpr std::size_t kMaxInflatedSize = 1U << 20U; // one inflated 4K-format block

// The decoded bytes of one data block. The bytes stay valid as long as this object (or a
// copy) exists, whatever the block cache does meanwhile, but never beyond the lifetime of
// the NodeDatabase that produced it (plain blocks are views of its file mapping).
class BlockBytes {
public:
    BlockBytes() = default;
    BlockBytes(std::span<const std::uint8_t> bytes, std::shared_ptr<const void> owner)
        : m_bytes(bytes), m_owner(std::move(owner)) {}
    std::span<const std::uint8_t> bytes() const noexcept { return m_bytes; }
    std::size_t size() const noexcept { return m_bytes.size(); }

private:
    std::span<const std::uint8_t> m_bytes;
    std::shared_ptr<const void> m_owner; // keeps decoded bytes alive; empty for mapped ones
};

class NodeDatabase;

// A node's data stream: the leaf data blocks of its data tree, in order. Made cheaply (the
// XBLOCKs are read, the leaves are not); leaves are fetched one at a time, so a stream of
// many megabytes is read with memory for one block. Lives no longer than its NodeDatabase.
class DataStream {
public:
    DataStream() = default;

    // Total bytes as the data tree records it (lcbTotal; for a single block its size).
    std::uint64_t size() const noexcept { return m_size; }
    std::size_t blockCount() const noexcept { return m_leaves.size(); }
    BlockId blockId(std::size_t index) const { return m_leaves.at(index); }
    // Leaf `index`, decoded. Throws on damage.
    BlockBytes block(std::size_t index) const;

    // Calls `sink` with each block's bytes in order (the streaming read of attachment data);
    // checks that the blocks add up to size().
    void forEachBlock(const std::function<void(std::span<const std::uint8_t>)>& sink) const;
    // The whole stream in one buffer.
    std::vector<std::uint8_t> readAll() const;

private:
    friend class NodeDatabase;
    const NodeDatabase* m_db = nullptr;
    std::vector<BlockId> m_leaves;
    std::uint64_t m_size = 0;
};

class NodeDatabase {
public:
    // Opens and maps a .pst/.ost file and checks its header and B-tree roots.
    static std::shared_ptr<NodeDatabase> open(const std::filesystem::path& path);
    // The same over bytes in memory (the fuzz target and tests); the database keeps them.
    static std::shared_ptr<NodeDatabase> openMemory(std::vector<std::uint8_t> bytes);

    ~NodeDatabase();
    NodeDatabase(const NodeDatabase&) = delete;
    NodeDatabase& operator=(const NodeDatabase&) = delete;

    const Header& header() const noexcept { return m_header; }
    const Layout& layout() const noexcept { return m_layout; }
    std::uint64_t fileSize() const noexcept { return m_file.size(); }

    // --- node B-tree ---------------------------------------------------------------------
    std::optional<NodeEntry> findNode(NodeId nid) const;
    // Throws err::kCorruptData "node 0x... not found" when absent.
    NodeEntry node(NodeId nid) const;
    NodeRef nodeRef(NodeId nid) const {
        const auto e = node(nid);
        return {e.nid, e.data, e.subnodes};
    }
    // Every node in key order. Stops early when `visit` returns false.
    void forEachNode(const std::function<bool(const NodeEntry&)>& visit) const;

    // --- block B-tree --------------------------------------------------------------------
    std::optional<BlockEntry> findBlock(BlockId bid) const;
    // Every block in key order. Stops early when `visit` returns false.
    void forEachBlock(const std::function<bool(const BlockEntry&)>& visit) const;

    // Every page of both B-trees (node tree first), parents before children. For tools that
    // check or repair structures. Stops early when `visit` returns false.
    struct PageInfo {
        BlockRef ref;
        bool nodeTree = false; // node B-tree page, else block B-tree page
        std::size_t level = 0; // cLevel: 0 for leaves
    };
    void forEachPage(const std::function<bool(const PageInfo&)>& visit) const;

    // One data block, trailer checked (bid, size, CRC), decrypted and inflated. Internal
    // blocks are returned as stored (they are never encoded).
    BlockBytes readBlock(BlockId bid) const;

    // --- node contents -------------------------------------------------------------------
    // The data stream of a data BID (a data block or an XBLOCK/XXBLOCK tree). BID 0 gives
    // an empty stream.
    DataStream dataStream(BlockId data) const;
    DataStream dataStream(const NodeRef& node) const { return dataStream(node.data); }
    std::vector<std::uint8_t> readAll(const NodeRef& node) const {
        return dataStream(node.data).readAll();
    }

    // The subnodes of a node (its SLBLOCK/SIBLOCK tree), in NID order; empty when none.
    std::vector<NodeRef> subnodes(const NodeRef& node) const;
    // One subnode by NID, found by descending the subnode tree.
    std::optional<NodeRef> findSubnode(const NodeRef& node, NodeId subnode) const;
    // Throws err::kCorruptData "subnode 0x... of node 0x... not found" when absent.
    NodeRef subnode(const NodeRef& node, NodeId subnode) const;

    // Raw bytes of the file (for tools that verify structures); bounds-checked.
    std::span<const std::uint8_t> fileBytes(std::uint64_t offset, std::size_t size) const;

    class Impl; // private decoding helpers (node_database.cpp)

private:
    struct Storage;
    NodeDatabase(std::unique_ptr<Storage> storage);
    void readHeader();
    void readHeaderFields();

    std::unique_ptr<Storage> m_storage;
    std::span<const std::uint8_t> m_file;
    Header m_header;
    Layout m_layout;

    struct Cache;
    std::unique_ptr<Cache> m_cache; // decoded blocks (bounded) and verified pages
};

} // namespace tvn::store::pst::ndb
