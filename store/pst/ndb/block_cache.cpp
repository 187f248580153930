#include "store/pst/ndb/block_cache.h"

namespace tvn::store::pst::ndb {

BlockCache::Buffer BlockCache::find(std::uint64_t key) {
    const auto it = m_index.find(key);
    if (it == m_index.end()) {
        return nullptr;
    }
    m_order.splice(m_order.begin(), m_order, it->second);
    return it->second->second;
}

void BlockCache::put(std::uint64_t key, Buffer buffer) {
    m_bytes += buffer->size();
    m_order.emplace_front(key, std::move(buffer));
    m_index[key] = m_order.begin();
    while (m_order.size() > 1 && (m_order.size() > m_maxEntries || m_bytes > m_maxBytes)) {
        m_bytes -= m_order.back().second->size();
        m_index.erase(m_order.back().first);
        m_order.pop_back();
    }
}

} // namespace tvn::store::pst::ndb
