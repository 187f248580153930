#pragma once

// Subnode trees: the SLBLOCK/SIBLOCK tree that gives a node its own nodes (a message's
// recipient and attachment tables, an attachment's data, large property values).

#include <optional>
#include <vector>

#include "store/pst/ndb/block.h"

namespace tvn::store::pst::ndb {

// Every subnode of the tree rooted at `root` (not 0), in NID order.
std::vector<NodeRef> readSubnodes(const BlockSource& blocks, const Layout& layout, BlockId root);

// One subnode by NID, found by descending the tree rooted at `root` (not 0).
std::optional<NodeRef> findSubnode(const BlockSource& blocks, const Layout& layout, BlockId root,
                                   NodeId subnode);

} // namespace tvn::store::pst::ndb
