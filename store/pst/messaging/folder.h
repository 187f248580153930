#pragma once

// A folder of a data file: its property context (name, container class, counts), its
// hierarchy table (the subfolders, in table order) and its contents table (the items, in
// table order). The tables are opened on first use; rows are read one at a time, so a
// folder of a hundred thousand items costs nothing until its items are walked.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/pst/ltp/property_context.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/messaging/message_store.h"

namespace tvn::store::pst::messaging {

class FolderObject {
public:
    // Reads the folder's property context. Throws ReadError (err::kCorruptData) when the
    // node is missing or unreadable.
    FolderObject(std::shared_ptr<const MessageStore> store, ndb::NodeId nid);

    const std::shared_ptr<const MessageStore>& store() const { return m_store; }
    ndb::NodeId nid() const { return m_nid; }
    // PidTagDisplayName and PidTagContainerClass ("" when absent).
    const std::string& displayName() const { return m_name; }
    const std::string& containerClass() const { return m_class; }
    // PidTagContentCount as stored (the contents table is the authority for walking).
    std::optional<std::int64_t> contentCount() const { return m_contentCount; }

    // The subfolders' node ids in hierarchy-table order, each once however often the table
    // lists it; empty when the folder has no hierarchy table.
    std::vector<ndb::NodeId> subfolders() const;

    // Rows of the contents table (0 when the folder has none).
    std::size_t itemCount() const;
    // The message node of row `index`.
    ndb::NodeId itemNode(std::size_t index) const;
    // PidTagMessageClass of row `index` as the contents table holds it, or nothing when the
    // table has no such column or the cell is empty.
    std::optional<std::string> itemClass(std::size_t index) const;

private:
    const ltp::TableContext* contents() const;

    std::shared_ptr<const MessageStore> m_store;
    ndb::NodeId m_nid;
    std::string m_name;
    std::string m_class;
    std::optional<std::int64_t> m_contentCount;
    mutable bool m_contentsOpened = false;
    mutable std::unique_ptr<ltp::TableContext> m_contents;
};

} // namespace tvn::store::pst::messaging
