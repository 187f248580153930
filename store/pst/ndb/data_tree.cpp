// Data trees of [MS-PST] section 2.2.2.8.3.2 (NDB layer), and the data stream over one.

#include "store/pst/ndb/data_tree.h"

#include <string>
#include <unordered_set>

#include "store/pst/ndb/node_database.h"

namespace tvn::store::pst::ndb {

namespace {

void collectLeaves(const BlockSource& blocks, const Layout& layout, BlockId bid, std::size_t level,
                   std::unordered_set<std::uint64_t>& seen, std::vector<BlockEntry>& leaves) {
    const std::size_t id = layout.idSize;
    const InternalBlock in = internalBlock(blocks, layout, bid, block_type::kData);
    const auto entries = in.entries(id);
    if (in.level != level) {
        throwCorrupt("invalid XBLOCK cLevel " + hexText(in.level) + " in block " +
                     hexText(raw(bid)));
    }
    for (std::size_t i = 0; i < in.count; ++i) {
        const BlockId child{readId(layout, entries, i * id)};
        if (!seen.insert(blockKey(child)).second) {
            throwCorrupt("block " + hexText(raw(child)) + " appears twice in a data tree");
        }
        if (level == 1) {
            if (isInternal(child)) {
                throwCorrupt("XBLOCK entry " + hexText(raw(child)) + " is not a data block");
            }
            if (const auto found = blocks.findBlock(child)) {
                leaves.push_back(*found);
            } else {
                BlockEntry missing;
                missing.ref = {child, kNoOffset};
                leaves.push_back(missing);
            }
        } else {
            if (!isInternal(child)) {
                throwCorrupt("XXBLOCK entry " + hexText(raw(child)) + " is not an internal block");
            }
            collectLeaves(blocks, layout, child, level - 1, seen, leaves);
        }
    }
}

} // namespace

DataTree readDataTree(const BlockSource& blocks, const Layout& layout, BlockId data) {
    DataTree tree;
    if (!isInternal(data)) {
        const auto entry = blocks.findBlock(data);
        if (!entry) {
            throwCorrupt("block " + hexText(raw(data)) + " not found");
        }
        tree.leaves.push_back(*entry);
        tree.size = entry->inflatedSize;
        tree.present = entry->inflatedSize;
        return tree;
    }
    const InternalBlock top = internalBlock(blocks, layout, data, block_type::kData);
    if (top.level < 1 || top.level > kMaxDataTreeDepth) {
        throwCorrupt("invalid XBLOCK cLevel " + hexText(top.level) + " in block " +
                     hexText(raw(data)));
    }
    std::unordered_set<std::uint64_t> seen{blockKey(data)};
    collectLeaves(blocks, layout, data, top.level, seen, tree.leaves);
    tree.size = top.total;
    for (const auto& leaf : tree.leaves) {
        tree.present += leaf.inflatedSize;
    }
    return tree;
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
    if (m_blocks == nullptr || index >= m_leaves.size()) {
        throwCorrupt("block " + std::to_string(index) + " of a data tree of " +
                     std::to_string(m_leaves.size()) + " blocks");
    }
    const BlockEntry& leaf = m_leaves[index];
    if (leaf.ref.offset == kNoOffset) {
        throwCorrupt("block " + hexText(raw(leaf.ref.bid)) + " not found");
    }
    return m_blocks->readBlock(leaf, leaf.ref.bid);
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
    if (m_blocks == nullptr) {
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
