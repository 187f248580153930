#include "store/pst/messaging/message_store.h"

#include <utility>
#include <vector>

#include "store/pst/byte_reader.h"
#include "store/pst/ltp/property_tags.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/messaging/property_reader.h"
#include "store/text/code_page.h"

namespace tvn::store::pst::messaging {

namespace {

// The IPM subtree of the .pst files Outlook creates.
constexpr ndb::NodeId kUsualIpmSubtree{0x8022};

// An entry id in a .pst: 4 flag bytes, the store's 16-byte uid, then the NID.
constexpr std::size_t kEntryIdNidOffset = 20;

// The subfolders of a folder with their names; a damaged child is left out.
std::vector<std::pair<ndb::NodeId, std::string>>
namedSubfolders(const std::shared_ptr<const ndb::NodeDatabase>& db, ndb::NodeId folder) {
    std::vector<std::pair<ndb::NodeId, std::string>> out;
    const auto hierarchy = db->findNode(ndb::hierarchyTableOf(folder));
    if (!hierarchy) {
        return out;
    }
    const ltp::TableContext table(db, {hierarchy->nid, hierarchy->data, hierarchy->subnodes});
    for (std::size_t i = 0; i < table.rowCount(); ++i) {
        try {
            const ndb::NodeId child{table.row(i).rowId()};
            const ltp::PropertyContext pc(db, db->nodeRef(child));
            out.emplace_back(child, PropertyReader(pc).string(ltp::tag::kDisplayName).value_or(""));
        } catch (const ReadError&) {
            // A damaged sibling does not hide the folder wanted.
        }
    }
    return out;
}

bool isIpmSubtreeName(std::string_view name) {
    return name == "IPM_SUBTREE" || name.starts_with("Top of ");
}

// The IPM subtree of a store that does not name it (offline files do not): the folder
// called "IPM_SUBTREE" (or "Top of ...") directly under the root, or under the root's
// mailbox folder (offline files put the mailbox and the public folders side by side under
// the root, each with an IPM_SUBTREE of its own); else node 0x8022; else the root itself.
ndb::NodeId findIpmSubtree(const std::shared_ptr<const ndb::NodeDatabase>& db) {
    const auto top = namedSubfolders(db, ndb::nid::kRootFolder);
    for (const auto& [nid, name] : top) {
        if (isIpmSubtreeName(name)) {
            return nid;
        }
    }
    for (const auto& [nid, name] : top) {
        if (name == "Root - Public") {
            continue;
        }
        for (const auto& [child, childName] : namedSubfolders(db, nid)) {
            if (isIpmSubtreeName(childName)) {
                return child;
            }
        }
    }
    if (db->findNode(kUsualIpmSubtree)) {
        return kUsualIpmSubtree;
    }
    return ndb::nid::kRootFolder;
}

std::uint32_t crcOf(std::string_view s) {
    return ndb::crc32(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
}

} // namespace

std::shared_ptr<const MessageStore> MessageStore::open(const std::filesystem::path& path) {
    return open(ndb::NodeDatabase::open(path));
}

std::shared_ptr<const MessageStore> MessageStore::open(std::shared_ptr<ndb::NodeDatabase> db) {
    return std::shared_ptr<const MessageStore>(new MessageStore(std::move(db)));
}

MessageStore::MessageStore(std::shared_ptr<ndb::NodeDatabase> db) : m_db(std::move(db)) {
    try {
        const ltp::PropertyContext pc(m_db, m_db->nodeRef(ndb::nid::kMessageStore));
        const PropertyReader props(pc);
        m_displayName = props.string(ltp::tag::kDisplayName).value_or("");
        // Offline files carry a value here (0xFFFFFFFF) that is no password: Outlook does
        // not protect them.
        if (!m_db->header().offlineClient) {
            m_passwordCrc =
                static_cast<std::uint32_t>(props.integer(ltp::tag::kPstPassword).value_or(0));
        }
        if (const auto entryId = props.binary(ltp::tag::kIpmSubtreeEntryId);
            entryId && entryId->size() >= kEntryIdNidOffset + 4) {
            m_ipmSubtree = ndb::NodeId{loadLe<std::uint32_t>(*entryId, kEntryIdNidOffset)};
        } else {
            m_ipmSubtree = findIpmSubtree(m_db);
        }
    } catch (const ReadError& e) {
        throwCorruptStore("unreadable message store object: " + e.description());
    }
    // A damaged name map leaves named properties unreadable but every folder and item
    // readable, so it does not close the file.
    try {
        if (m_db->findNode(ndb::nid::kNameToIdMap)) {
            const ltp::PropertyContext pc(m_db, m_db->nodeRef(ndb::nid::kNameToIdMap));
            m_names = NamedPropertyMap::read(pc);
        }
    } catch (const ReadError& e) {
        m_names = NamedPropertyMap{};
        m_namesDamage = e.description();
    }
}

std::uint64_t MessageStore::nodeCount() const {
    const std::lock_guard lock(m_nodeCountMutex);
    if (!m_nodeCount) {
        std::uint64_t n = 0;
        try {
            m_db->forEachNode([&](const ndb::NodeEntry&) {
                ++n;
                return true;
            });
        } catch (const ReadError&) {
            // The nodes before the damage still count.
        }
        m_nodeCount = n;
    }
    return *m_nodeCount;
}

bool MessageStore::checkPassword(std::string_view password) const {
    if (m_passwordCrc == 0) {
        return true;
    }
    return crcOf(password) == m_passwordCrc ||
           crcOf(store::text::toWindows1252(password)) == m_passwordCrc;
}

} // namespace tvn::store::pst::messaging
