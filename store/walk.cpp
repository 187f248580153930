#include "store/walk.h"

#include <exception>
#include <optional>
#include <string>

namespace tvn::store {

namespace {

class Walk {
public:
    Walk(FolderVisitor& visitor, const WalkOptions& options, std::optional<std::uint64_t> budget)
        : m_visitor(visitor), m_options(options), m_budget(budget) {}

    void folder(const std::shared_ptr<Folder>& folder, std::size_t depth) {
        if (!spend(WalkStep::Subfolder)) {
            return;
        }
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
        for (std::int32_t i = 1; i <= count && spend(WalkStep::Item); ++i) {
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

    // Takes one unit of the walk's budget; once it is spent the walk reports that, once,
    // and opens nothing more.
    bool spend(WalkStep step) {
        if (!m_budget) {
            return true;
        }
        if (m_spent < *m_budget) {
            ++m_spent;
            return true;
        }
        if (!m_overBudget) {
            m_overBudget = true;
            m_visitor.failed(
                Failure(err::kCorruptData, "The data file lists more folders and items than it "
                                           "holds; the walk stops after " +
                                               std::to_string(*m_budget) + " of them."),
                step, 0);
        }
        return false;
    }

    FolderVisitor& m_visitor;
    const WalkOptions& m_options;
    std::optional<std::uint64_t> m_budget;
    std::uint64_t m_spent = 0;
    bool m_overBudget = false;
};

} // namespace

void walkFolderTree(const std::shared_ptr<Folder>& top, FolderVisitor& visitor,
                    const WalkOptions& options) {
    if (top) {
        std::optional<std::uint64_t> budget = options.budget;
        if (!budget) {
            try {
                budget = top->walkBudget();
            } catch (const Failure&) {
                // A file whose size cannot be told is walked without a bound of its own.
            }
        }
        Walk(visitor, options, budget).folder(top, 0);
    }
}

} // namespace tvn::store
