#include "store/pst/messaging/folder.h"

#include "store/pst/messaging/property_reader.h"

namespace tvn::store::pst::messaging {

namespace {

constexpr std::uint16_t kDisplayName = 0x3001;
constexpr std::uint16_t kContentCount = 0x3602;
constexpr std::uint16_t kContainerClass = 0x3613;
constexpr std::uint16_t kMessageClass = 0x001A;

} // namespace

FolderObject::FolderObject(std::shared_ptr<const MessageStore> store, ndb::NodeId nid)
    : m_store(std::move(store)), m_nid(nid) {
    const auto& db = m_store->database();
    const ltp::PropertyContext pc(db, db->nodeRef(nid));
    const PropertyReader props(pc);
    m_name = props.string(kDisplayName).value_or("");
    m_class = props.string(kContainerClass).value_or("");
    m_contentCount = props.integer(kContentCount);
}

std::vector<ndb::NodeId> FolderObject::subfolders() const {
    const auto& db = m_store->database();
    const auto entry = db->findNode(ndb::hierarchyTableOf(m_nid));
    if (!entry) {
        return {};
    }
    const ltp::TableContext table(db, {entry->nid, entry->data, entry->subnodes});
    std::vector<ndb::NodeId> out;
    out.reserve(table.rowCount());
    for (std::size_t i = 0; i < table.rowCount(); ++i) {
        out.push_back(ndb::NodeId{table.row(i).rowId()});
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
    auto cls = PropertyReader(*table, row).string(kMessageClass);
    if (cls && cls->empty()) {
        return std::nullopt;
    }
    return cls;
}

} // namespace tvn::store::pst::messaging
