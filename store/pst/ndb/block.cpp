// Blocks of [MS-PST] section 2.2.2.8 (NDB layer).

#include "store/pst/ndb/block.h"

#include <string>

#include <zlib.h>

namespace tvn::store::pst::ndb {

BlockBytes storedBlock(const FileView& file, const BlockEntry& b, BlockId asked) {
    const Layout& l = file.layout;
    if (std::size_t{b.size} + l.blockTrailerSize > l.maxBlockSize) {
        throwCorrupt("invalid block size " + hexText(b.size) + " of block " + hexText(raw(asked)),
                     b.ref.offset);
    }
    const std::size_t footprint = l.blockFootprint(b.size);
    if (b.ref.offset > file.size() || footprint > file.size() - b.ref.offset) {
        throwCorrupt("block " + hexText(raw(asked)) + " offset " + hexText(b.ref.offset) +
                     " beyond the end of the file");
    }
    const BlockBytes holder = file.storage.range(b.ref.offset, footprint);
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

void inflateBlock(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
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
                         std::to_string(produced) + " of " + std::to_string(expected) + " bytes)",
                     b.ref.offset);
    }
}

InternalBlock internalBlock(const BlockSource& blocks, const Layout& layout, BlockId bid,
                            std::uint8_t type) {
    const auto entry = blocks.findBlock(bid);
    if (!entry) {
        throwCorrupt("block " + hexText(raw(bid)) + " not found");
    }
    InternalBlock in;
    in.holder = blocks.readBlock(*entry, bid); // never encoded, but may be compressed (4K format)
    in.bytes = in.holder.bytes();
    in.offset = entry->ref.offset;
    ByteReader r(in.bytes, in.offset, "internal block");
    in.type = r.read<std::uint8_t>();
    in.level = r.read<std::uint8_t>();
    in.count = r.read<std::uint16_t>();
    if (in.type != type) {
        throwCorrupt("invalid block type " + hexText(in.type) + " of block " + hexText(raw(bid)),
                     in.offset);
    }
    in.headerSize = 4;
    if (type == block_type::kData) {
        in.total = r.read<std::uint32_t>();
        in.headerSize = 8;
    } else if (layout.format != Format::Ansi) {
        in.headerSize = 8; // dwPadding
    }
    return in;
}

} // namespace tvn::store::pst::ndb
