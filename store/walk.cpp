#include "store/walk.h"

#include <exception>
#include <string>

namespace tvn::store {

namespace {

class Walk {
public:
    Walk(FolderVisitor& visitor, const WalkOptions& options)
        : m_visitor(visitor), m_options(options) {}

    void folder(const std::shared_ptr<Folder>& folder, std::size_t depth) {
        if (m_visitor.enterFolder(folder, depth)) {
            if (m_options.subfoldersFirst) {
                subfolders(*folder, depth);
                items(*folder);
            } else {
                items(*folder);
                subfolders(*folder, depth);
            }
        }
        m_visitor.leaveFolder(folder);
    }

private:
    void subfolders(const Folder& parent, std::size_t depth) {
        std::shared_ptr<Folders> folders;
        std::int32_t count = 0;
        if (!attempt(WalkStep::Subfolders, 0, [&] {
                folders = parent.folders();
                count = folders ? folders->count() : 0;
            })) {
            return;
        }
        for (std::int32_t i = 1; i <= count; ++i) {
            if (depth + 1 > m_options.maxDepth) {
                m_visitor.failed(
                    Failure(err::kCorruptData, "The folder tree is nested deeper than " +
                                                   std::to_string(m_options.maxDepth) + " levels."),
                    WalkStep::Subfolder, i);
                return;
            }
            std::shared_ptr<Folder> child;
            if (attempt(WalkStep::Subfolder, i, [&] { child = folders->item(i); }) && child) {
                folder(child, depth + 1);
            }
        }
    }

    void items(const Folder& folder) {
        if (!m_options.items) {
            return;
        }
        std::shared_ptr<Items> items;
        std::int32_t count = 0;
        if (!attempt(WalkStep::Items, 0, [&] {
                items = folder.items();
                count = items ? items->count() : 0;
            })) {
            return;
        }
        for (std::int32_t i = 1; i <= count; ++i) {
            attempt(WalkStep::Item, i, [&] {
                // The item is released before the next one is opened.
                const auto item = items->item(i);
                m_visitor.visitItem(item, i);
            });
        }
    }

    template <typename F> bool attempt(WalkStep step, std::int32_t index, F&& body) {
        try {
            body();
            return true;
        } catch (const Failure& failure) {
            m_visitor.failed(failure, step, index);
        } catch (const std::bad_alloc&) {
            m_visitor.failed(Failure(err::kCorruptData, "A stored size is too large to read."),
                             step, index);
        } catch (const std::exception& e) {
            // Anything else from below the object model is damage the reader did not name;
            // it must reach the log, so it never takes the number some callers ignore.
            m_visitor.failed(Failure(err::kCorruptData, e.what()), step, index);
        }
        return false;
    }

    FolderVisitor& m_visitor;
    const WalkOptions& m_options;
};

} // namespace

void walkFolderTree(const std::shared_ptr<Folder>& top, FolderVisitor& visitor,
                    const WalkOptions& options) {
    if (top) {
        Walk(visitor, options).folder(top, 0);
    }
}

} // namespace tvn::store
