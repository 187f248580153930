// Node database layer: [MS-PST] section 2.2 (NDB layer), for the ANSI, Unicode and 4K-page
// Unicode formats. The structures are decoded in their own files (file_layout, btree, block,
// data_tree, subnode_tree); this file ties them to one open file and its caches.

#include "store/pst/ndb/node_database.h"

#include <unordered_set>
#include <utility>

#include "store/pst/ndb/block_cache.h"
#include "store/pst/ndb/data_tree.h"
#include "store/pst/ndb/subnode_tree.h"

namespace tvn::store::pst::ndb {

struct NodeDatabase::Cache {
    static constexpr std::size_t kMaxEntries = 256;

    BlockCache blocks{kMaxEntries, kMaxDecodedBytes};
    VerifiedPages verifiedPages;
};

NodeDatabase::NodeDatabase(std::unique_ptr<FileStorage> storage)
    : m_storage(std::move(storage)), m_fileSize(m_storage->size()),
      m_cache(std::make_unique<Cache>()) {}

NodeDatabase::~NodeDatabase() = default;

std::shared_ptr<NodeDatabase> NodeDatabase::open(const std::filesystem::path& path) {
    std::shared_ptr<NodeDatabase> db(new NodeDatabase(FileStorage::open(path)));
    db->readRoots();
    return db;
}

std::shared_ptr<NodeDatabase> NodeDatabase::openMemory(std::vector<std::uint8_t> bytes) {
    std::shared_ptr<NodeDatabase> db(new NodeDatabase(FileStorage::inMemory(std::move(bytes))));
    db->readRoots();
    return db;
}

void NodeDatabase::readRoots() {
    // Whatever is wrong with the header or the roots, the file cannot be used at all.
    try {
        m_header = readHeader(*m_storage);
        m_layout = Layout::forFormat(m_header.format);
        // The roots must be readable B-tree pages of the right kind, or nothing else can be.
        try {
            (void)readPage(file(), m_cache->verifiedPages, m_header.nodeBTreeRoot,
                           page_type::kNodeBTree, std::nullopt);
            (void)readPage(file(), m_cache->verifiedPages, m_header.blockBTreeRoot,
                           page_type::kBlockBTree, std::nullopt);
        } catch (const ReadError& e) {
            throw ReadError(tvn::err::kCorruptStore,
                            "not an Outlook data file: unusable B-tree root (" + e.description() +
                                ")",
                            e.offset());
        }
    } catch (const ReadError& e) {
        if (e.number() == tvn::err::kCorruptStore) {
            throw;
        }
        // The description already names the offset.
        throw ReadError(tvn::err::kCorruptStore, "not an Outlook data file: " + e.description(),
                        e.offset());
    }
}

std::optional<NodeEntry> NodeDatabase::findNode(NodeId nid) const {
    const auto e = lookup(file(), m_cache->verifiedPages, m_header.nodeBTreeRoot,
                          page_type::kNodeBTree, raw(nid), 0xFFFFFFFFU);
    if (!e) {
        return std::nullopt;
    }
    return nodeEntry(file(), *e);
}

NodeEntry NodeDatabase::node(NodeId nid) const {
    auto e = findNode(nid);
    if (!e) {
        throwCorrupt("node " + hexText(raw(nid)) + " not found");
    }
    return *e;
}

void NodeDatabase::forEachNode(const std::function<bool(const NodeEntry&)>& visit) const {
    walk(file(), m_cache->verifiedPages, m_header.nodeBTreeRoot, page_type::kNodeBTree,
         [&](std::span<const std::uint8_t> e) { return visit(nodeEntry(file(), e)); });
}

std::optional<BlockEntry> NodeDatabase::findBlock(BlockId bid) const {
    const auto e = lookup(file(), m_cache->verifiedPages, m_header.blockBTreeRoot,
                          page_type::kBlockBTree, blockKey(bid), ~std::uint64_t{1});
    if (!e) {
        return std::nullopt;
    }
    return blockEntry(file(), *e);
}

void NodeDatabase::forEachBlock(const std::function<bool(const BlockEntry&)>& visit) const {
    walk(file(), m_cache->verifiedPages, m_header.blockBTreeRoot, page_type::kBlockBTree,
         [&](std::span<const std::uint8_t> e) { return visit(blockEntry(file(), e)); });
}

void NodeDatabase::forEachPage(const std::function<bool(const PageInfo&)>& visit) const {
    const std::function<bool(std::span<const std::uint8_t>)> noLeaves =
        [](std::span<const std::uint8_t>) { return true; };
    if (!walk(file(), m_cache->verifiedPages, m_header.nodeBTreeRoot, page_type::kNodeBTree,
              noLeaves, &visit)) {
        return;
    }
    walk(file(), m_cache->verifiedPages, m_header.blockBTreeRoot, page_type::kBlockBTree, noLeaves,
         &visit);
}

BlockBytes NodeDatabase::readBlock(BlockId bid) const {
    if (auto cached = m_cache->blocks.find(blockKey(bid))) {
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
    if (auto cached = m_cache->blocks.find(key)) {
        const auto view = cached->view();
        return {view, std::move(cached)};
    }
    BlockBytes stored = storedBlock(file(), entry, bid);
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
    std::shared_ptr<OwnedBytes> buffer;
    if (compressed) {
        std::vector<std::uint8_t> plain(stored.size());
        decodeBlockInto(stored.bytes(), plain, method, raw(entry.ref.bid));
        buffer = std::make_shared<OwnedBytes>(entry.inflatedSize);
        inflateBlock(plain, buffer->span(), entry);
    } else {
        buffer = std::make_shared<OwnedBytes>(stored.size());
        decodeBlockInto(stored.bytes(), buffer->span(), method, raw(entry.ref.bid));
    }
    m_cache->blocks.put(key, buffer);
    const auto view = buffer->view();
    return {view, std::move(buffer)};
}

DataStream NodeDatabase::dataStream(BlockId data) const {
    DataStream s;
    s.m_blocks = this;
    if (raw(data) == 0) {
        return s;
    }
    DataTree tree = readDataTree(*this, m_layout, data);
    s.m_leaves = std::move(tree.leaves);
    s.m_size = tree.size;
    s.m_present = tree.present;
    return s;
}

std::vector<NodeRef> NodeDatabase::subnodes(const NodeRef& node) const {
    if (raw(node.subnodes) == 0) {
        return {};
    }
    return readSubnodes(*this, m_layout, node.subnodes);
}

std::optional<NodeRef> NodeDatabase::findSubnode(const NodeRef& node, NodeId subnode) const {
    if (raw(node.subnodes) == 0) {
        return std::nullopt;
    }
    return ndb::findSubnode(*this, m_layout, node.subnodes, subnode);
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

} // namespace tvn::store::pst::ndb
