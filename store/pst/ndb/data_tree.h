#pragma once

// Data trees: a node's data as one data block, or as an XBLOCK/XXBLOCK tree of them.

#include <cstdint>
#include <vector>

#include "store/pst/ndb/block.h"

namespace tvn::store::pst::ndb {

// The leaves of a data tree in order, each looked up in the block B-tree: a leaf that is
// not there is kept (its position matters) with ref.offset == kNoOffset, so that no size
// is taken from it.
struct DataTree {
    std::vector<BlockEntry> leaves;
    std::uint64_t size = 0;    // lcbTotal as recorded (for a single block its size)
    std::uint64_t present = 0; // the decoded bytes of the leaves that exist
};

// The data tree of data BID `data` (not 0). The leaves themselves are not read.
DataTree readDataTree(const BlockSource& blocks, const Layout& layout, BlockId data);

} // namespace tvn::store::pst::ndb
