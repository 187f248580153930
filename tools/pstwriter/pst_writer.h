#pragma once

// Writes an Outlook data file (.pst) from folders and items given one at a time. Items are
// written to the file as they are added; what stays in memory until finish() is the B-tree
// entries, the folder tree, the named-property map and, per folder, one compact contents-
// table row per item (released early by finishFolderContents()).
//
// Layout mirrors what Outlook creates: the message store (NID 0x21), the name-to-id map
// (0x61), the table templates, the root folder (0x122) holding "Top of Personal Folders"
// (the IPM subtree) and "Search Root", and "Deleted Items" inside the IPM subtree.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/pstwriter/message.h"
#include "tools/pstwriter/ndb_writer.h"

namespace tvn::tools {

struct StoreOptions {
    std::string displayName = "Personal Folders";
    std::optional<std::string> password; // stored as its CRC-32 in PidTagPstPassword
    FileFormat format = FileFormat::Unicode;
    CryptMethod crypt = CryptMethod::Compressible;
    // Store subjects with the two-character marker Outlook writes in front (U+0001 U+0001).
    bool subjectMarker = true;
    // Name of the IPM subtree folder and of the wastebasket.
    std::string subtreeName = "Top of Personal Folders";
    std::string deletedItemsName = "Deleted Items";
};

// The CRC-32 stored for a password: over its Windows-1252 bytes.
std::uint32_t passwordChecksum(std::string_view password);

class PstWriter {
public:
    using FolderId = std::uint32_t; // the folder's NID

    static constexpr FolderId kRootFolder = store::pst::ndb::raw(store::pst::ndb::nid::kRootFolder);

    PstWriter(const std::filesystem::path& path, StoreOptions options);
    ~PstWriter();
    PstWriter(const PstWriter&) = delete;
    PstWriter& operator=(const PstWriter&) = delete;

    FolderId ipmSubtree() const noexcept { return m_subtree; }
    FolderId deletedItems() const noexcept { return m_deletedItems; }

    // A new folder below `parent`. An empty container class writes none.
    FolderId addFolder(FolderId parent, const std::string& name,
                       const std::string& containerClass = {});

    // Writes one item into the folder; returns its NID.
    std::uint32_t addMessage(FolderId folder, const Message& message);

    // Writes the folder's contents table now and frees its rows; later items of the folder
    // are refused.
    void finishFolderContents(FolderId folder);

    // Writes the folders, tables, maps and header. The writer is unusable afterwards.
    void finish();

    std::uint64_t bytesWritten() const noexcept { return m_ndb.position(); }

private:
    struct Folder {
        std::string name;
        std::string containerClass;
        FolderId parent = 0;
        std::vector<FolderId> children;
        std::vector<std::vector<std::uint8_t>> rows; // packed contents-table rows
        std::vector<std::uint32_t> rowIds;
        std::uint32_t count = 0;
        std::uint32_t unread = 0;
        bool contentsWritten = false;
    };
    struct NodeRefs {
        std::uint64_t bidData = 0;
        std::uint64_t bidSub = 0;
        std::uint64_t size = 0;
    };

    // Writes an item's property context and subnodes (recipients, attachments, embedded
    // items, large values); reports its message flags and its packed contents-table row.
    NodeRefs writeMessageNode(const Message& message, std::uint32_t* flagsOut,
                              std::vector<std::uint8_t>* rowOut);
    std::vector<struct StoredProperty> storeProps(const std::vector<Property>& props);
    std::uint16_t namedId(const NamedKey& key);
    void writeFolder(FolderId id);
    void writeContents(FolderId id, Folder& folder);
    void writeStore();
    void writeNameMap();
    void writeTemplates();
    std::vector<std::uint8_t> entryId(std::uint32_t nid) const;
    FolderId newFolder(FolderId parent, const std::string& name, const std::string& cls,
                       std::uint32_t nidIndex);

    NdbWriter m_ndb;
    StoreOptions m_options;
    std::map<FolderId, Folder> m_folders;
    FolderId m_subtree = 0;
    FolderId m_searchRoot = 0;
    FolderId m_deletedItems = 0;
    std::uint32_t m_nextFolderIndex = 0x401;
    std::uint32_t m_nextMessageIndex = 0x10001;
    std::vector<NamedKey> m_named; // index i has id 0x8000 + i
    std::array<std::uint8_t, 16> m_storeUid{};
    bool m_finished = false;
};

} // namespace tvn::tools
