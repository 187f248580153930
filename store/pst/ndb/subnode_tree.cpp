// Subnode trees of [MS-PST] section 2.2.2.8.3.3 (NDB layer).

#include "store/pst/ndb/subnode_tree.h"

#include <string>
#include <unordered_set>

namespace tvn::store::pst::ndb {

namespace {

// Subnode tree entries: SLENTRY (nid, data, subnodes) and SIENTRY (nid, child block).
NodeRef slEntry(const Layout& layout, std::span<const std::uint8_t> e, std::size_t i) {
    const std::size_t id = layout.idSize;
    const std::size_t base = i * 3 * id;
    return {NodeId{static_cast<std::uint32_t>(readId(layout, e, base))},
            BlockId{readId(layout, e, base + id)}, BlockId{readId(layout, e, base + 2 * id)}};
}

// The SLBLOCK or SIBLOCK `bid`, with its level checked against the one its parent implies.
InternalBlock subnodeBlock(const BlockSource& blocks, const Layout& layout, BlockId bid,
                           std::optional<std::size_t> level) {
    const InternalBlock in = internalBlock(blocks, layout, bid, block_type::kSubnode);
    if (in.level > kMaxSubnodeDepth || (level && in.level != *level)) {
        throwCorrupt("invalid SIBLOCK/SLBLOCK cLevel " + hexText(in.level) + " in block " +
                     hexText(raw(bid)));
    }
    return in;
}

void collectSubnodes(const BlockSource& blocks, const Layout& layout, BlockId bid,
                     std::optional<std::size_t> level, std::unordered_set<std::uint64_t>& seen,
                     std::vector<NodeRef>& out) {
    if (!isInternal(bid)) {
        throwCorrupt("subnode tree block " + hexText(raw(bid)) + " is not an internal block");
    }
    if (!seen.insert(blockKey(bid)).second) {
        throwCorrupt("block " + hexText(raw(bid)) + " appears twice in a subnode tree");
    }
    const std::size_t id = layout.idSize;
    const InternalBlock in = subnodeBlock(blocks, layout, bid, level);
    if (in.level == 0) {
        const auto entries = in.entries(3 * id);
        for (std::size_t i = 0; i < in.count; ++i) {
            out.push_back(slEntry(layout, entries, i));
        }
        return;
    }
    const auto entries = in.entries(2 * id);
    for (std::size_t i = 0; i < in.count; ++i) {
        collectSubnodes(blocks, layout, BlockId{readId(layout, entries, i * 2 * id + id)},
                        in.level - 1, seen, out);
    }
}

} // namespace

std::vector<NodeRef> readSubnodes(const BlockSource& blocks, const Layout& layout, BlockId root) {
    std::vector<NodeRef> out;
    std::unordered_set<std::uint64_t> seen;
    collectSubnodes(blocks, layout, root, std::nullopt, seen, out);
    return out;
}

std::optional<NodeRef> findSubnode(const BlockSource& blocks, const Layout& layout, BlockId root,
                                   NodeId subnode) {
    const std::size_t id = layout.idSize;
    BlockId bid = root;
    std::optional<std::size_t> level;
    for (std::size_t guard = 0; guard <= kMaxSubnodeDepth; ++guard) {
        if (!isInternal(bid)) {
            throwCorrupt("subnode tree block " + hexText(raw(bid)) + " is not an internal block");
        }
        const InternalBlock in = subnodeBlock(blocks, layout, bid, level);
        const std::size_t entrySize = in.level == 0 ? 3 * id : 2 * id;
        const auto entries = in.entries(entrySize);
        // Binary search for the last entry whose NID is <= the one sought.
        std::size_t lo = 0;
        std::size_t hi = in.count;
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            const auto key = static_cast<std::uint32_t>(readId(layout, entries, mid * entrySize));
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
            const NodeRef ref = slEntry(layout, entries, lo - 1);
            if (ref.nid != subnode) {
                return std::nullopt;
            }
            return ref;
        }
        bid = BlockId{readId(layout, entries, (lo - 1) * entrySize + id)};
        level = in.level - 1;
    }
    throwCorrupt("subnode tree deeper than " + std::to_string(kMaxSubnodeDepth) + " levels");
}

} // namespace tvn::store::pst::ndb
