#pragma once

// The one walk over a folder tree: each folder, its subfolders and its items, the items
// opened one at a time so that a walk never holds more than the item in hand. A failure
// of one element (a subfolder that cannot be opened, a damaged item) is handed to the
// visitor and the walk goes on with the next element.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "store/failure.h"
#include "store/object_model.h"

namespace tvn::store {

// Which element of the walk failed.
enum class WalkStep {
    // Reading a folder's subfolder collection or its count.
    Subfolders,
    // Opening the subfolder at index.
    Subfolder,
    // Reading a folder's item collection or its count.
    Items,
    // Opening the item at index, or the visitor's work on it.
    Item,
};

class FolderVisitor {
public:
    virtual ~FolderVisitor() = default;
    // A folder is reached (the top folder at depth 0). Returning false skips the folder's
    // subfolders and items; leaveFolder is still called.
    virtual bool enterFolder(const std::shared_ptr<Folder>& folder, std::size_t depth) = 0;
    // The item at index (from 1) of the folder entered last and not yet left.
    virtual void visitItem(const std::shared_ptr<Item>& /*item*/, std::int32_t /*index*/) {}
    virtual void leaveFolder(const std::shared_ptr<Folder>& /*folder*/) {}
    // An element failed; index is the element's position where there is one, else 0.
    virtual void failed(const Failure& failure, WalkStep step, std::int32_t index) = 0;
};

struct WalkOptions {
    // Subfolders before the folder's own items (the writers' order), or after them.
    bool subfoldersFirst = true;
    // Open the items at all (a walk of the tree alone leaves them).
    bool items = true;
    // Deeper trees are taken as damage and reported, never followed.
    std::size_t maxDepth = 256;
    // How many folders and items the walk may open in all; nothing: the top folder's own
    // walkBudget(). Past it the walk reports the damage once and stops.
    std::optional<std::uint64_t> budget;
};

// Walks top and everything below it. Failures reach the visitor only: the walk itself
// throws nothing but what the visitor's enterFolder, leaveFolder or failed throw.
void walkFolderTree(const std::shared_ptr<Folder>& top, FolderVisitor& visitor,
                    const WalkOptions& options = {});

} // namespace tvn::store
