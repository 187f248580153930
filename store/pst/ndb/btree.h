#pragma once

// The node and block B-trees: their pages (BTPAGE), the lookup of one key and the walk of a
// whole tree. Pages are read from the file as they are needed; a page's trailer (type, BID,
// CRC) is checked once and remembered.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <unordered_set>

#include "store/pst/ndb/file_layout.h"

namespace tvn::store::pst::ndb {

// File offsets of the pages whose trailer has been checked.
using VerifiedPages = std::unordered_set<std::uint64_t>;

// One page of either B-tree as a walk meets it.
struct PageInfo {
    BlockRef ref;
    bool nodeTree = false; // node B-tree page, else block B-tree page
    std::size_t level = 0; // cLevel: 0 for leaves
};

// A decoded B-tree page: where its entries are and how they are laid out. The entries are
// a view into `holder`.
struct Page {
    BlockBytes holder; // keeps the page's bytes alive
    std::uint64_t offset = 0;
    std::span<const std::uint8_t> entries; // cEnt * cbEnt bytes
    std::size_t count = 0;
    std::size_t entrySize = 0;
    std::size_t level = 0;
    std::span<const std::uint8_t> entry(std::size_t i) const {
        return entries.subspan(i * entrySize, entrySize);
    }
};

// Reads and checks one page: trailer type, BID and CRC (once per page), then
// cEnt/cbEnt/cLevel against the layout; `expectedLevel` is the level its parent implies.
Page readPage(const FileView& file, VerifiedPages& verified, const BlockRef& ref, std::uint8_t type,
              std::optional<std::size_t> expectedLevel);

// Descends a B-tree to the leaf entry whose key (masked with `keyMask`) is `key`; returns
// the entry's bytes, which live as long as the file's storage keeps them.
std::optional<std::span<const std::uint8_t>> lookup(const FileView& file, VerifiedPages& verified,
                                                    const BlockRef& root, std::uint8_t type,
                                                    std::uint64_t key, std::uint64_t keyMask);

// Walks a whole B-tree in key order, calling `leaf` with each leaf entry and `onPage` (when
// given) with each page, parents first; either stops the walk by returning false, and then
// so does walk. A page reached twice is an error (a cycle or a shared subtree would
// otherwise multiply the work).
bool walk(const FileView& file, VerifiedPages& verified, const BlockRef& root, std::uint8_t type,
          const std::function<bool(std::span<const std::uint8_t>)>& leaf,
          const std::function<bool(const PageInfo&)>* onPage = nullptr);

// Leaf entries: NBTENTRY and BBTENTRY.
NodeEntry nodeEntry(const FileView& file, std::span<const std::uint8_t> e);
BlockEntry blockEntry(const FileView& file, std::span<const std::uint8_t> e);

} // namespace tvn::store::pst::ndb
