#include "store/pst/folder_walk.h"

#include <limits>

#include "store/pst/backend/pst_objects.h"

namespace tvn::store::pst {

namespace {

const backend::PstFolder* pstFolder(const Folder& folder) {
    return dynamic_cast<const backend::PstFolder*>(&folder);
}

} // namespace

FolderWalkGuard::FolderWalkGuard(const void* file, std::uint64_t nodes)
    : m_file(file), m_nodes(nodes) {
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    m_budget = nodes > (max - kMinimumBudget) / kUnitsPerNode
                   ? max
                   : nodes * kUnitsPerNode + kMinimumBudget;
}

std::optional<FolderWalkGuard> FolderWalkGuard::forFolder(const Folder& folder) {
    const auto* pst = pstFolder(folder);
    if (pst == nullptr) {
        return std::nullopt;
    }
    const auto& store = pst->object().store();
    return FolderWalkGuard(store.get(), store->nodeCount());
}

bool FolderWalkGuard::visited(const Folder& folder) const {
    const auto* pst = pstFolder(folder);
    if (pst == nullptr || pst->object().store().get() != m_file) {
        return false;
    }
    return m_entered.count(ndb::raw(pst->object().nid())) != 0;
}

bool FolderWalkGuard::enter(const Folder& folder) {
    const auto* pst = pstFolder(folder);
    if (pst == nullptr || pst->object().store().get() != m_file) {
        return true;
    }
    if (!m_entered.insert(ndb::raw(pst->object().nid())).second) {
        return false;
    }
    return spend();
}

bool FolderWalkGuard::spend(std::uint64_t units) {
    if (exhausted() || units > m_budget - m_spent) {
        m_spent = m_budget + 1;
        return false;
    }
    m_spent += units;
    return true;
}

} // namespace tvn::store::pst
