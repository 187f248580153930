#pragma once

// The plain value types of the node database (NDB) layer of an Outlook data file: typed
// ids, the header facts, the run-time layout of the three on-disk formats, and the entries
// of the two B-trees. Decoding lives in the .cpp files; these types carry no bytes.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "store/pst/ndb/crypt.h"

namespace tvn::store::pst::ndb {

// A node id (NID): low 5 bits are the node type, the rest the index.
enum class NodeId : std::uint32_t {};
// A block id (BID): bit 1 set means an internal block (XBLOCK, SLBLOCK, ...); bit 0 is
// reserved and ignored when blocks are looked up. Stored in 32 bits in ANSI files.
enum class BlockId : std::uint64_t {};

constexpr std::uint32_t raw(NodeId nid) noexcept {
    return static_cast<std::uint32_t>(nid);
}
constexpr std::uint64_t raw(BlockId bid) noexcept {
    return static_cast<std::uint64_t>(bid);
}
constexpr std::uint32_t nodeType(NodeId nid) noexcept {
    return raw(nid) & 0x1FU;
}
constexpr std::uint32_t nodeIndex(NodeId nid) noexcept {
    return raw(nid) >> 5U;
}
constexpr NodeId makeNodeId(std::uint32_t type, std::uint32_t index) noexcept {
    return NodeId{(index << 5U) | (type & 0x1FU)};
}
constexpr bool isInternal(BlockId bid) noexcept {
    return (raw(bid) & 0x2U) != 0;
}
// The key a BID is filed under in the block B-tree (reserved bit cleared).
constexpr std::uint64_t blockKey(BlockId bid) noexcept {
    return raw(bid) & ~std::uint64_t{1};
}

// Node types (low 5 bits of a NID) the upper layers meet.
namespace nid_type {
inline constexpr std::uint32_t kHid = 0x00; // a heap id, not a node (see ltp)
inline constexpr std::uint32_t kInternal = 0x01;
inline constexpr std::uint32_t kNormalFolder = 0x02;
inline constexpr std::uint32_t kSearchFolder = 0x03;
inline constexpr std::uint32_t kNormalMessage = 0x04;
inline constexpr std::uint32_t kAttachment = 0x05;
inline constexpr std::uint32_t kSearchUpdateQueue = 0x06;
inline constexpr std::uint32_t kSearchCriteriaObject = 0x07;
inline constexpr std::uint32_t kAssocMessage = 0x08;
inline constexpr std::uint32_t kContentsTableIndex = 0x0A;
inline constexpr std::uint32_t kReceiveFolderTable = 0x0B;
inline constexpr std::uint32_t kOutgoingQueueTable = 0x0C;
inline constexpr std::uint32_t kHierarchyTable = 0x0D;
inline constexpr std::uint32_t kContentsTable = 0x0E;
inline constexpr std::uint32_t kAssocContentsTable = 0x0F;
inline constexpr std::uint32_t kSearchContentsTable = 0x10;
inline constexpr std::uint32_t kAttachmentTable = 0x11;
inline constexpr std::uint32_t kRecipientTable = 0x12;
inline constexpr std::uint32_t kSearchTableIndex = 0x13;
inline constexpr std::uint32_t kLtp = 0x1F;
} // namespace nid_type

// ptype of a page's trailer: the two B-trees and the allocation maps.
namespace page_type {
inline constexpr std::uint8_t kBlockBTree = 0x80;
inline constexpr std::uint8_t kNodeBTree = 0x81;
inline constexpr std::uint8_t kFreeMap = 0x82;
inline constexpr std::uint8_t kPageMap = 0x83;
inline constexpr std::uint8_t kAllocationMap = 0x84;
inline constexpr std::uint8_t kFreePageMap = 0x85;
inline constexpr std::uint8_t kDensityList = 0x86;
} // namespace page_type

// btype, the first byte of an internal block.
namespace block_type {
inline constexpr std::uint8_t kData = 0x01;    // XBLOCK / XXBLOCK
inline constexpr std::uint8_t kSubnode = 0x02; // SLBLOCK / SIBLOCK
} // namespace block_type

// Well-known nodes.
namespace nid {
inline constexpr NodeId kMessageStore{0x21};
inline constexpr NodeId kNameToIdMap{0x61};
inline constexpr NodeId kRootFolder{0x122};
// Subnodes of a message.
inline constexpr NodeId kRecipientTable{0x692};
inline constexpr NodeId kAttachmentTable{0x671};
} // namespace nid

// A folder's tables are the nodes with the folder's index and these types
// (folder nid + 0xB hierarchy, + 0xC contents, + 0xD associated contents).
constexpr NodeId hierarchyTableOf(NodeId folder) noexcept {
    return makeNodeId(nid_type::kHierarchyTable, nodeIndex(folder));
}
constexpr NodeId contentsTableOf(NodeId folder) noexcept {
    return makeNodeId(nid_type::kContentsTable, nodeIndex(folder));
}
constexpr NodeId assocContentsTableOf(NodeId folder) noexcept {
    return makeNodeId(nid_type::kAssocContentsTable, nodeIndex(folder));
}

enum class Format {
    Ansi,      // wVer 14/15: 32-bit ids and offsets, 512-byte pages
    Unicode,   // wVer 23: 64-bit, 512-byte pages
    Unicode4k, // wVer 36: 64-bit, 4096-byte pages, zlib-compressed blocks (newer .ost)
};

// "ansi" | "unicode" | "unicode-4k" (the spelling of `tree --json`).
std::string_view formatName(Format format) noexcept;
// "none" | "compressible" | "high" (the spelling of `tree --json`).
std::string_view encryptionName(CryptMethod method) noexcept;

// Sizes and offsets that differ between the formats, chosen once at open.
struct Layout {
    Format format = Format::Unicode;
    std::size_t idSize = 8;            // BID / offset width in B-tree entries and blocks
    std::size_t pageSize = 512;        // B-tree pages
    std::size_t pageEntryArea = 488;   // bytes of rgentries in a BTPAGE
    std::size_t pageTrailerSize = 16;  // PAGETRAILER
    std::size_t blockTrailerSize = 16; // BLOCKTRAILER
    std::size_t blockAlignment = 64;   // blocks occupy a multiple of this in the file
    std::size_t maxBlockSize = 8192;   // largest on-disk block including its trailer
    std::size_t nbtEntrySize = 32;     // NBTENTRY
    std::size_t bbtEntrySize = 24;     // BBTENTRY
    std::size_t btEntrySize = 24;      // BTENTRY (intermediate pages)

    static Layout forFormat(Format format) noexcept;
    // On-disk bytes a block of `dataSize` bytes occupies (data + trailer, aligned).
    std::size_t blockFootprint(std::size_t dataSize) const noexcept {
        const std::size_t n = dataSize + blockTrailerSize;
        return (n + blockAlignment - 1) / blockAlignment * blockAlignment;
    }
};

// A block reference: BID and file offset.
struct BlockRef {
    BlockId bid{};
    std::uint64_t offset = 0;
};

// The header facts the upper layers and `tree --json` use.
struct Header {
    Format format = Format::Unicode;
    std::uint16_t version = 0;       // wVer
    std::uint16_t clientVersion = 0; // wVerClient
    bool offlineClient = false;      // client magic "SO" (an .ost) rather than "SM"
    CryptMethod crypt = CryptMethod::None;
    std::uint64_t fileEof = 0; // ibFileEof as recorded (may be below the real file size)
    BlockRef nodeBTreeRoot;
    BlockRef blockBTreeRoot;
};

// An entry of the node B-tree: a top-level node.
struct NodeEntry {
    NodeId nid{};
    BlockId data{};     // the node's data (a data block or an XBLOCK/XXBLOCK tree); 0 if none
    BlockId subnodes{}; // the node's subnode tree (SLBLOCK/SIBLOCK); 0 if none
    NodeId parent{};    // the parent folder of folders and messages; 0 otherwise
};

// An entry of the block B-tree.
struct BlockEntry {
    BlockRef ref;
    std::uint16_t size = 0;         // stored bytes of data (without trailer)
    std::uint16_t inflatedSize = 0; // bytes after inflating; equals size unless compressed
    std::uint32_t refCount = 0;
};

// A node that can be read: a top-level node or a subnode of one. Subnodes have their own
// subnodes (an embedded message inside an attachment), so the pair of BIDs is all a reader
// of node contents needs.
struct NodeRef {
    NodeId nid{};
    BlockId data{};
    BlockId subnodes{};
};

} // namespace tvn::store::pst::ndb
