#pragma once

// Limits for one walk of a data file's folder tree, for walkers that want more than the
// backend already guarantees.
//
// What every walk gets without this: a hierarchy table that lists one subfolder many times
// yields it once, and a folder listed by a second folder (or by one of its own descendants)
// is opened only through the first folder that listed it: Folders::item() of every other
// listing throws err::kCorruptData naming both folders, and the subtree is not read again.
// So a plain recursive folders() walk reaches each folder node at most once.
//
// What a FolderWalkGuard adds, per walk and per data file: a record of the folders the walk
// has entered (so a walker that reaches folders by other routes, such as a picker that
// re-opens a branch, can tell a second visit), and a work budget proportional to the
// number of nodes in the file, which a walker spends one unit per folder entered and one
// per item opened. A walk of a sound file never comes near the budget; a file whose tables
// list the same objects over and over runs out of it and the walk can stop with a report.
//
// Usage:
//   auto guard = pst::FolderWalkGuard::forFolder(*top);   // nothing for other backends
//   if (guard && !guard->enter(*folder)) { /* already visited or over budget: skip */ }
//   if (guard && !guard->spend()) { /* over budget: stop the walk */ }

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>

#include "store/object_model.h"

namespace tvn::store::pst {

class FolderWalkGuard {
public:
    // Budget units per node of the file, and a floor for tiny files.
    static constexpr std::uint64_t kUnitsPerNode = 4;
    static constexpr std::uint64_t kMinimumBudget = 4096;

    // A guard for a walk of the data file `folder` belongs to; nothing when the folder is
    // not one of this backend's. Counts the file's nodes on the first call per file.
    static std::optional<FolderWalkGuard> forFolder(const Folder& folder);

    // Enters a folder: false when the walk has entered this folder's node before, or the
    // budget is spent (one unit per folder entered). Folders of other files or backends
    // are always entered.
    bool enter(const Folder& folder);
    // Whether the walk has entered this folder's node already (spends nothing).
    bool visited(const Folder& folder) const;
    // Takes `units` from the budget (one per item opened); false once it is spent, and
    // every call after that.
    bool spend(std::uint64_t units = 1);

    std::uint64_t nodeCount() const noexcept { return m_nodes; }
    std::uint64_t budget() const noexcept { return m_budget; }
    std::uint64_t spent() const noexcept { return m_spent; }
    bool exhausted() const noexcept { return m_spent > m_budget; }

private:
    FolderWalkGuard(const void* file, std::uint64_t nodes);

    const void* m_file; // the message store of the file walked
    std::uint64_t m_nodes;
    std::uint64_t m_budget;
    std::uint64_t m_spent = 0;
    std::unordered_set<std::uint32_t> m_entered;
};

} // namespace tvn::store::pst
