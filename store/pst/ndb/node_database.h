#pragma once

// The node database (NDB) layer of Outlook data files (.pst/.ost): the header, the node and
// block B-trees, data blocks (decoded and inflated), data trees (XBLOCK/XXBLOCK) and subnode
// trees (SLBLOCK/SIBLOCK). It knows nothing of heaps, properties or messages (see ltp/).
//
// Reading: the file is read with positioned reads into a bounded cache of file windows
// (never mapped), so resident memory does not grow with the file, and a file that another
// program truncates or rewrites while it is open gives err::kCorruptData for what can no
// longer be read instead of a signal. Every read that goes to the file checks that the
// file's size and modification time are still those seen at open. Blocks are copied out of
// their window (decrypted and inflated where they need it) into buffers held by a second
// bounded cache, so a block kept by a caller holds its own bytes and not a whole window.
// Each lookup costs the depth of one B-tree; reading a node costs its own blocks.
//
// Errors: every function throws ReadError (see read_error.h) and nothing else. open*()
// throws err::kFileNotFound, err::kPermissionDenied, err::kPathFileAccess or
// err::kCorruptStore; all other functions throw err::kCorruptData for damage. Untrusted
// counts are capped, cycles and repeated blocks are errors, the blocks a data tree lists
// are looked up before the sizes they imply are trusted, and no claimed size larger than
// the blocks present justify is allocated.
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

#include "store/pst/ndb/block.h"
#include "store/pst/ndb/btree.h"
#include "store/pst/ndb/file_layout.h"
#include "store/pst/ndb/file_storage.h"
#include "store/pst/ndb/types.h"
#include "store/pst/read_error.h"

namespace tvn::store::pst::ndb {

class NodeDatabase;

// A node's data stream: the leaf data blocks of its data tree, in order. Made cheaply (the
// XBLOCKs are read and each leaf is looked up in the block B-tree, the leaves themselves
// are not read); leaves are fetched one at a time, so a stream of many megabytes is read
// with memory for one block. Lives no longer than its NodeDatabase.
class DataStream {
public:
    DataStream() = default;

    // Total bytes as the data tree records it (lcbTotal; for a single block its size).
    std::uint64_t size() const noexcept { return m_size; }
    std::size_t blockCount() const noexcept { return m_leaves.size(); }
    BlockId blockId(std::size_t index) const;
    // Whether leaf `index` exists in the block B-tree (a damaged tree may list blocks that
    // do not), and its decoded size as the block B-tree records it (0 when it does not).
    bool blockExists(std::size_t index) const;
    std::size_t blockSize(std::size_t index) const;
    // The decoded bytes of the leaves that exist: what the stream can really hold.
    std::uint64_t presentSize() const noexcept { return m_present; }
    // Leaf `index`, decoded. Throws err::kCorruptData on damage, for a leaf that does not
    // exist and for an index past the end.
    BlockBytes block(std::size_t index) const;

    // Calls `sink` with each block's bytes in order (the streaming read of attachment data);
    // checks that the blocks add up to size().
    void forEachBlock(const std::function<void(std::span<const std::uint8_t>)>& sink) const;
    // The whole stream in one buffer.
    std::vector<std::uint8_t> readAll() const;

private:
    friend class NodeDatabase;
    const BlockSource* m_blocks = nullptr; // the NodeDatabase that made the stream
    std::vector<BlockEntry> m_leaves;      // ref.offset == kNoOffset: listed but not in the B-tree
    std::uint64_t m_size = 0;
    std::uint64_t m_present = 0;
};

// The database reads its data and subnode trees through its own blocks (BlockSource), a
// private base so that the public interface stays the functions below.
class NodeDatabase : private BlockSource {
public:
    // Opens a .pst/.ost file and checks its header and B-tree roots.
    static std::shared_ptr<NodeDatabase> open(const std::filesystem::path& path);
    // The same over bytes in memory (the fuzz target and tests); the database keeps them.
    static std::shared_ptr<NodeDatabase> openMemory(std::vector<std::uint8_t> bytes);

    ~NodeDatabase() override;
    NodeDatabase(const NodeDatabase&) = delete;
    NodeDatabase& operator=(const NodeDatabase&) = delete;

    const Header& header() const noexcept { return m_header; }
    const Layout& layout() const noexcept { return m_layout; }
    std::uint64_t fileSize() const noexcept { return m_fileSize; }

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
    std::optional<BlockEntry> findBlock(BlockId bid) const override;
    // Every block in key order. Stops early when `visit` returns false.
    void forEachBlock(const std::function<bool(const BlockEntry&)>& visit) const;

    // Every page of both B-trees (node tree first), parents before children. For tools that
    // check or repair structures. Stops early when `visit` returns false.
    using PageInfo = ndb::PageInfo;
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

    // Raw bytes of the file (for tools that verify structures); bounds-checked. The bytes
    // stay valid as long as the returned object exists.
    BlockBytes fileBytes(std::uint64_t offset, std::size_t size) const;

    // Bounds of the two caches: file windows read from disk, and decoded blocks.
    static constexpr std::size_t kWindowSize = kFileWindowSize;
    static constexpr std::size_t kMaxCachedWindows = kMaxFileWindows;
    static constexpr std::size_t kMaxDecodedBytes = 16U << 20U;

private:
    explicit NodeDatabase(std::unique_ptr<FileStorage> storage);
    void readRoots();
    FileView file() const noexcept { return {*m_storage, m_layout}; }
    BlockBytes readBlock(const BlockEntry& entry, BlockId asked) const override;

    std::unique_ptr<FileStorage> m_storage;
    std::uint64_t m_fileSize = 0;
    Header m_header;
    Layout m_layout;

    struct Cache;
    std::unique_ptr<Cache> m_cache; // decoded blocks (bounded) and verified pages
};

} // namespace tvn::store::pst::ndb
