#pragma once

// The node-database layer of the .pst writer: blocks, data trees, subnode trees, the two
// B-trees, the allocation maps and the header. Blocks are streamed to the file as they are
// made; only the B-tree entries (24-32 bytes per block or node) stay in memory until
// finish() writes the B-tree pages and patches the header and the maps.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "store/pst/ndb/crypt.h"
#include "store/pst/ndb/types.h"

namespace tvn::tools {

enum class FileFormat { Unicode, Ansi };
using CryptMethod = tvn::store::pst::ndb::CryptMethod;

// Node id types (the low five bits of a NID): the reader's.
namespace nid_type = tvn::store::pst::ndb::nid_type;

// A NID as the writer stores it: a plain 32-bit value.
constexpr std::uint32_t makeNid(std::uint32_t type, std::uint32_t index) {
    return store::pst::ndb::raw(store::pst::ndb::makeNodeId(type, index));
}

// One entry of a subnode tree: a node that lives inside another node.
struct SubnodeEntry {
    std::uint32_t nid = 0;
    std::uint64_t bidData = 0;
    std::uint64_t bidSub = 0;
};

// Sizes that differ between the two on-disk formats.
struct FormatSizes {
    bool unicode = true;
    std::size_t idSize = 8;          // BID and IB width
    std::size_t blockTrailer = 16;   // BLOCKTRAILER
    std::size_t maxBlockData = 8176; // largest payload of one block
    std::size_t pageTrailer = 16;    // PAGETRAILER
    std::size_t btEntryArea = 488;   // rgentries of a BTPAGE
    std::size_t nbtEntry = 32;
    std::size_t bbtEntry = 24;
    std::size_t btIndexEntry = 24;
    std::size_t rowIndexValue = 4; // dwRowIndex of a table's row-index BTH

    static FormatSizes of(FileFormat format);
};

class NdbWriter {
public:
    // Creates (replaces) the file. Throws tvn::Failure when it cannot be written.
    NdbWriter(const std::filesystem::path& path, FileFormat format, CryptMethod crypt);
    ~NdbWriter();
    NdbWriter(const NdbWriter&) = delete;
    NdbWriter& operator=(const NdbWriter&) = delete;

    const FormatSizes& sizes() const noexcept { return m_sizes; }
    FileFormat format() const noexcept { return m_format; }

    // One data block holding `data` (at most sizes().maxBlockData bytes), encoded with the
    // file's method. Returns its BID.
    std::uint64_t writeDataBlock(std::span<const std::uint8_t> data);

    // A data tree holding `data`: one block, or data blocks under an XBLOCK or XXBLOCK.
    // Returns 0 for empty data (a node without data).
    std::uint64_t writeData(std::span<const std::uint8_t> data);

    // A data tree whose blocks are given one by one (heap pages, table row blocks): each
    // element becomes exactly one data block. Returns 0 when `blocks` is empty.
    std::uint64_t writeBlocks(const std::vector<std::vector<std::uint8_t>>& blocks);

    // A subnode tree (SLBLOCK, or SIBLOCK over SLBLOCKs). Sorts the entries. Returns 0 for
    // none.
    std::uint64_t writeSubnodes(std::vector<SubnodeEntry> entries);

    // Records a node of the node B-tree.
    void addNode(std::uint32_t nid, std::uint64_t bidData, std::uint64_t bidSub,
                 std::uint32_t parentNid);

    // Last allocated nidIndex per NID type, kept in the header's rgnid.
    void noteNid(std::uint32_t nid);

    // Writes both B-trees, the allocation maps and the header, and closes the file.
    void finish();

    // Bytes written so far (the end of the allocated area).
    std::uint64_t position() const noexcept { return m_pos; }

private:
    struct BbtEntry {
        std::uint64_t bid;
        std::uint64_t ib;
        std::uint16_t cb;
    };
    struct NbtEntry {
        std::uint32_t nid;
        std::uint64_t bidData;
        std::uint64_t bidSub;
        std::uint32_t parent;
    };

    std::uint64_t writeInternalBlock(std::span<const std::uint8_t> data);
    std::uint64_t writeBlock(std::span<const std::uint8_t> data, bool internal);
    std::uint64_t allocate(std::uint64_t size, std::uint64_t alignment);
    std::uint64_t reservedPrefix(std::uint64_t amapIndex) const;
    void emit(std::span<const std::uint8_t> bytes);
    void emitZeros(std::uint64_t count);
    void flush();
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    void putId(std::uint8_t* at, std::uint64_t value) const;
    std::uint64_t writePage(std::vector<std::uint8_t>& page, std::uint8_t ptype, bool signature,
                            std::uint64_t fixedOffset);
    std::pair<std::uint64_t, std::uint64_t>
    writeBTree(std::uint8_t ptype, std::size_t leafSize,
               std::vector<std::vector<std::uint8_t>> leaves, std::vector<std::uint64_t> keys);
    void writeMaps(std::uint64_t fileEnd, std::uint64_t& amapFree, std::uint64_t& amapLast);
    void writeHeader(std::uint64_t fileEnd, std::uint64_t amapLast, std::uint64_t amapFree,
                     std::pair<std::uint64_t, std::uint64_t> nbt,
                     std::pair<std::uint64_t, std::uint64_t> bbt);
    [[noreturn]] void fail(const std::string& what) const;

    std::filesystem::path m_path;
    FileFormat m_format;
    CryptMethod m_crypt;
    FormatSizes m_sizes;
    std::FILE* m_file = nullptr;
    std::vector<std::uint8_t> m_buffer; // bytes from m_bufferStart up to m_pos
    std::uint64_t m_bufferStart = 0;
    std::uint64_t m_pos = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_gaps; // free [start, end)
    std::uint64_t m_nextBid = 4;
    std::uint64_t m_nextPageBid = 1;
    std::vector<BbtEntry> m_bbt;
    std::vector<NbtEntry> m_nbt;
    std::uint32_t m_rgnid[32] = {};
    std::vector<std::uint8_t> m_scratch;
    bool m_finished = false;
};

} // namespace tvn::tools
