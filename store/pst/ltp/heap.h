#pragma once

// The lower half of the lists-tables-properties (LTP) layer: the heap-on-node (HN) and the
// BTree-on-heap (BTH) built on it.
//
// A heap lives in a node's data stream; each data block is one heap page with its own page
// map. A heap id (HID) names an allocation by block index and allocation index. Every
// allocation's offsets are checked against its block's size and for order.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <unordered_set>
#include <vector>

#include "store/pst/ndb/node_database.h"

namespace tvn::store::pst::ltp {

enum class HeapId : std::uint32_t {};
constexpr std::uint32_t raw(HeapId hid) noexcept {
    return static_cast<std::uint32_t>(hid);
}

// HNID: a heap id when its low 5 bits are 0 (NID type HID), otherwise a subnode NID.
constexpr bool hnidIsHeapId(std::uint32_t hnid) noexcept {
    return (hnid & 0x1FU) == 0;
}

// bClientSig values of the heap header.
namespace heap_client {
inline constexpr std::uint8_t kTableContext = 0x7C;
inline constexpr std::uint8_t kBTreeOnHeap = 0xB5;
inline constexpr std::uint8_t kPropertyContext = 0xBC;
} // namespace heap_client

inline constexpr std::size_t kMaxHeapBlocks = 1U << 16U; // hidBlockIndex is 16 bits
inline constexpr std::size_t kMaxBthDepth = 8;           // bIdxLevels (real files: 0-2)

class Heap {
public:
    // Reads the heap header of `node`'s data (block 0). Throws err::kCorruptData when the
    // node has no data or the header is not a heap ("invalid HNHDR bSig 0x..").
    Heap(std::shared_ptr<const ndb::NodeDatabase> db, const ndb::NodeRef& node);

    const ndb::NodeRef& node() const noexcept { return m_node; }
    const std::shared_ptr<const ndb::NodeDatabase>& database() const noexcept { return m_db; }
    std::uint8_t clientSignature() const noexcept { return m_clientSig; }
    HeapId userRoot() const noexcept { return m_userRoot; }

    // The bytes of an allocation. HID 0 names no allocation and gives an empty span. The
    // span is valid as long as this Heap exists (the heap keeps each block it has read).
    std::span<const std::uint8_t> item(HeapId hid) const;

private:
    const ndb::BlockBytes& page(std::size_t index) const;

    std::shared_ptr<const ndb::NodeDatabase> m_db;
    ndb::NodeRef m_node;
    ndb::DataStream m_stream;
    mutable std::vector<std::optional<ndb::BlockBytes>> m_pages;
    std::uint8_t m_clientSig = 0;
    HeapId m_userRoot{};
};

// A BTree-on-heap: sorted records of (key, data) with key size 2, 4, 8 or 16 bytes.
class BTreeOnHeap {
public:
    // Reads the BTHHEADER at `header` (checking bType 0xB5, key/data sizes and depth).
    BTreeOnHeap(const Heap& heap, HeapId header);

    std::size_t keySize() const noexcept { return m_keySize; }
    std::size_t dataSize() const noexcept { return m_dataSize; }
    std::size_t depth() const noexcept { return m_levels; }
    bool empty() const noexcept { return raw(m_root) == 0; }

    // The data of the record whose key equals `key` (keySize() bytes, little-endian), or
    // nothing. Costs one allocation per level.
    std::optional<std::span<const std::uint8_t>> find(std::span<const std::uint8_t> key) const;
    // Convenience for keys of up to 8 bytes given as a number.
    std::optional<std::span<const std::uint8_t>> find(std::uint64_t key) const;

    // Every leaf record in key order; stops when `visit` returns false. Spans live as long
    // as the Heap.
    void forEach(const std::function<bool(std::span<const std::uint8_t> key,
                                          std::span<const std::uint8_t> data)>& visit) const;
    // Number of leaf records (walks the tree).
    std::size_t count() const;

private:
    bool walk(HeapId hid, std::size_t level, std::unordered_set<std::uint32_t>& visited,
              const std::function<bool(std::span<const std::uint8_t>,
                                       std::span<const std::uint8_t>)>& visit) const;

    const Heap* m_heap;
    std::size_t m_keySize = 0;
    std::size_t m_dataSize = 0;
    std::size_t m_levels = 0;
    HeapId m_root{};
};

} // namespace tvn::store::pst::ltp
