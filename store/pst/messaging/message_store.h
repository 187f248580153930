#pragma once

// The messaging layer of the .pst/.ost reader: the message store object of a data file
// (node 0x21), its named-property map (node 0x61), and the entry to its folders. Built on
// the node database and the LTP layer; knows nothing of the object model (see backend/).
//
// Errors: ReadError throughout. Opening maps damage to the store's own structures to
// err::kCorruptStore (the file cannot be used); later reads report err::kCorruptData for
// the object they were reading.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "store/pst/messaging/named_properties.h"
#include "store/pst/ndb/node_database.h"

namespace tvn::store::pst::messaging {

class MessageStore {
public:
    // Opens a data file: header, B-trees, the store object and the named-property map.
    // Throws err::kFileNotFound, err::kPathFileAccess or err::kCorruptStore.
    static std::shared_ptr<const MessageStore> open(const std::filesystem::path& path);
    static std::shared_ptr<const MessageStore> open(std::shared_ptr<ndb::NodeDatabase> db);

    const std::shared_ptr<const ndb::NodeDatabase>& database() const { return m_db; }
    const ndb::Header& header() const { return m_db->header(); }

    // PidTagDisplayName of the store ("Personal Folders", "Outlook Data File", ...); may
    // be empty (offline files often have none).
    const std::string& displayName() const { return m_displayName; }
    // PidTagPstPassword: 0 when the file has no password (always for offline files).
    std::uint32_t passwordCrc() const { return m_passwordCrc; }
    // Whether `password` (UTF-8) is the file's password. Outlook keeps the CRC-32 of the
    // password's 8-bit bytes; a password with characters beyond ASCII is tried both as
    // Windows-1252 bytes and as UTF-8 bytes.
    bool checkPassword(std::string_view password) const;

    // The folder that Outlook shows as the data file's top (the IPM subtree), from
    // PidTagIpmSubtreeEntryId; when the store does not name one, the root folder's
    // subfolder called "IPM_SUBTREE" or "Top of ...", else node 0x8022, else the root.
    ndb::NodeId ipmSubtree() const { return m_ipmSubtree; }

    const NamedPropertyMap& names() const { return m_names; }

    // Nodes in the file's node B-tree (counted on first use; a damaged tree counts the
    // nodes reached). The measure of how much work a walk of the file may take.
    std::uint64_t nodeCount() const;
    // Why the named-property map could not be read; empty when it was. A damaged map
    // closes no folder or item, but every read of a named property then reports it.
    const std::string& namesDamage() const { return m_namesDamage; }

private:
    explicit MessageStore(std::shared_ptr<ndb::NodeDatabase> db);

    std::shared_ptr<const ndb::NodeDatabase> m_db;
    std::string m_displayName;
    std::uint32_t m_passwordCrc = 0;
    ndb::NodeId m_ipmSubtree{};
    NamedPropertyMap m_names;
    std::string m_namesDamage;
    mutable std::mutex m_nodeCountMutex;
    mutable std::optional<std::uint64_t> m_nodeCount;
};

} // namespace tvn::store::pst::messaging
