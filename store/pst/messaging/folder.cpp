#include "store/pst/messaging/folder.h"

#include <unordered_set>

#include "store/pst/ltp/property_tags.h"
#include "store/pst/messaging/property_reader.h"

namespace tvn::store::pst::messaging {

FolderObject::FolderObject(std::shared_ptr<const MessageStore> store, ndb::NodeId nid)
    : m_store(std::move(store)), m_nid(nid) {
    const auto& db = m_store->database();
    const ltp::PropertyContext pc(db, db->nodeRef(nid));
    const PropertyReader props(pc);
    m_name = props.string(ltp::tag::kDisplayName).value_or("");
    m_class = props.string(ltp::tag::kContainerClass).value_or("");
    m_contentCount = props.integer(ltp::tag::kContentCount);
}

std::vector<ndb::NodeId> FolderObject::subfolders() const {
    const auto& db = m_store->database();
    const auto entry = db->findNode(ndb::hierarchyTableOf(m_nid));
    if (!entry) {
        return {};
    }
    const ltp::TableContext table(db, {entry->nid, entry->data, entry->subnodes});
    // A damaged table may list one child many times; it is one subfolder. The table's
    // rows are all in blocks that exist, so the list is bounded by the file.
    std::vector<ndb::NodeId> out;
    std::unordered_set<std::uint32_t> listed;
    for (std::size_t i = 0; i < table.rowCount(); ++i) {
        std::uint32_t child = 0;
        try {
            child = table.row(i).rowId();
        } catch (const ReadError&) {
            // An unreadable row stays in the list as node 0, which cannot be opened, so
            // the damage is reported for that one subfolder and its siblings stay readable.
            out.push_back(ndb::NodeId{0});
            continue;
        }
        if (listed.insert(child).second) {
            out.push_back(ndb::NodeId{child});
        }
    }
    return out;
}

const ltp::TableContext* FolderObject::contents() const {
    if (!m_contentsOpened) {
        const auto& db = m_store->database();
        if (const auto entry = db->findNode(ndb::contentsTableOf(m_nid))) {
            m_contents = std::make_unique<ltp::TableContext>(
                db, ndb::NodeRef{entry->nid, entry->data, entry->subnodes});
        }
        m_contentsOpened = true;
    }
    return m_contents.get();
}

std::size_t FolderObject::itemCount() const {
    const auto* table = contents();
    return table != nullptr ? table->rowCount() : 0;
}

ndb::NodeId FolderObject::itemNode(std::size_t index) const {
    const auto* table = contents();
    if (table == nullptr || index >= table->rowCount()) {
        throwCorrupt("contents-table row " + std::to_string(index) + " of folder " +
                     hexText(ndb::raw(m_nid)) + " does not exist");
    }
    return ndb::NodeId{table->row(index).rowId()};
}

std::optional<std::string> FolderObject::itemClass(std::size_t index) const {
    const auto* table = contents();
    if (table == nullptr || index >= table->rowCount()) {
        return std::nullopt;
    }
    const auto row = table->row(index);
    auto cls = PropertyReader(*table, row).string(ltp::tag::kMessageClass);
    if (cls && cls->empty()) {
        return std::nullopt;
    }
    return cls;
}

} // namespace tvn::store::pst::messaging
