#pragma once

// Blocks: a block's stored bytes with its trailer checked, the inflating of the 4K format's
// compressed blocks, and the header of the internal blocks (XBLOCK/XXBLOCK,
// SLBLOCK/SIBLOCK) that data trees and subnode trees are made of.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "store/pst/ndb/file_layout.h"

namespace tvn::store::pst::ndb {

// A block's stored bytes (data without trailer, still encoded) after its trailer's cb, BID
// and CRC have been checked against the block B-tree's entry. `asked` is the BID the caller
// looked up, named in errors.
BlockBytes storedBlock(const FileView& file, const BlockEntry& b, BlockId asked);

// Inflates a zlib stream that must fill `out` exactly.
void inflateBlock(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                  const BlockEntry& b);

// Blocks by id, looked up in the block B-tree and decoded: what the readers of data trees
// and subnode trees read.
class BlockSource {
public:
    virtual ~BlockSource() = default;
    virtual std::optional<BlockEntry> findBlock(BlockId bid) const = 0;
    // The block of `entry`, decoded; `asked` is the BID the entry was found under.
    virtual BlockBytes readBlock(const BlockEntry& entry, BlockId asked) const = 0;
};

// An internal block after its header has been checked; entries() slices the entry array
// once the caller knows the entry size (which depends on the level).
struct InternalBlock {
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

// Reads internal block `bid` and checks that its btype is `type`.
InternalBlock internalBlock(const BlockSource& blocks, const Layout& layout, BlockId bid,
                            std::uint8_t type);

} // namespace tvn::store::pst::ndb
