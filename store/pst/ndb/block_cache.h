#pragma once

// Decoded blocks, least recently used dropped first, bounded by count and bytes. A block
// handed out stays alive through its shared owner after it leaves the cache, so the bounds
// limit what the cache keeps, not what callers hold.

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>

#include "store/pst/ndb/file_storage.h"

namespace tvn::store::pst::ndb {

class BlockCache {
public:
    using Buffer = std::shared_ptr<const OwnedBytes>;

    BlockCache(std::size_t maxEntries, std::size_t maxBytes)
        : m_maxEntries(maxEntries), m_maxBytes(maxBytes) {}

    // The block filed under `key`, made the most recent; nullptr when not cached.
    Buffer find(std::uint64_t key);
    // Files a block, dropping the least recent ones beyond the bounds (never the new one).
    void put(std::uint64_t key, Buffer buffer);

private:
    std::size_t m_maxEntries;
    std::size_t m_maxBytes;
    std::list<std::pair<std::uint64_t, Buffer>> m_order; // front = most recent
    std::unordered_map<std::uint64_t, decltype(m_order)::iterator> m_index;
    std::size_t m_bytes = 0;
};

} // namespace tvn::store::pst::ndb
