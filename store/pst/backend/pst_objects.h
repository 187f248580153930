#pragma once

// The object model over a data file: folders, items, attachments and recipients backed by
// the messaging layer. Every object holds what it reads from (and so keeps the file open);
// collections open their elements on demand, one at a time.
//
// Failures: a damaged folder, item, attachment or recipient throws err::kCorruptData for
// that object only; whatever the lower layers throw that is not already a tvn::Failure is
// turned into one, so no other exception leaves the backend.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/object_model.h"
#include "store/pst/backend/item_properties.h"
#include "store/pst/ltp/property_value.h"
#include "store/pst/messaging/folder.h"
#include "store/pst/messaging/message.h"

namespace tvn::store::pst::backend {

// The object-model item type of a container class (IPF.Note, IPF.Appointment, ...).
ItemType itemTypeOfContainerClass(std::string_view containerClass);

// Which folder each folder node of one open data file is reached through, shared by every
// folder object of that file. A folder belongs to the first folder that lists it; a damaged
// hierarchy where other folders list it too (or it lists an ancestor) would otherwise make
// every walk of the tree visit it, and everything below it, once per listing.
class FolderClaims {
public:
    // The top folder of the walk belongs to no folder: no folder may list it.
    explicit FolderClaims(ndb::NodeId top);
    // Records that `child` is reached through `parent` unless another folder already holds
    // it; returns the folder that holds it (`parent` when the claim stands).
    ndb::NodeId claim(ndb::NodeId child, ndb::NodeId parent);

private:
    std::mutex m_mutex;
    std::unordered_map<std::uint32_t, std::uint32_t> m_parentOf;
};

class PstFolder final : public Folder {
public:
    // `name` replaces the folder's own display name (the data file's top folder shows the
    // store's name). `ancestors` are the folders above this one, outermost first. `claims`
    // is the file's record of which folder holds which (a fresh one with this folder as
    // its top when not given).
    PstFolder(std::shared_ptr<const messaging::FolderObject> folder,
              std::optional<std::string> name = std::nullopt,
              std::vector<ndb::NodeId> ancestors = {},
              std::shared_ptr<FolderClaims> claims = nullptr);

    std::string name() const override;
    ItemType defaultItemType() const override;
    std::shared_ptr<Folders> folders() const override;
    std::shared_ptr<Items> items() const override;
    bool sameFolder(const Folder& other) const override;
    // Proportional to the number of nodes in the file.
    std::optional<std::uint64_t> walkBudget() const override;

    const messaging::FolderObject& object() const { return *m_folder; }

private:
    std::shared_ptr<const messaging::FolderObject> m_folder;
    std::optional<std::string> m_name;
    std::vector<ndb::NodeId> m_ancestors;
    std::shared_ptr<FolderClaims> m_claims;
};

class PstItem final : public Item {
public:
    explicit PstItem(std::shared_ptr<const messaging::MessageObject> message);

    Variant get(std::string_view name) const override;
    std::string messageClass() const override;
    std::shared_ptr<Attachments> attachments() const override;
    std::shared_ptr<Recipients> recipients() const override;

    const messaging::MessageObject& object() const { return *m_message; }

private:
    std::shared_ptr<const messaging::MessageObject> m_message;
    ItemPropertyReader m_properties;
};

class PstAttachment final : public Attachment {
public:
    PstAttachment(std::shared_ptr<const messaging::MessageObject> message,
                  messaging::AttachmentObject attachment);

    std::string fileName() const override;
    std::string displayName() const override;
    AttachmentType type() const override;
    // By value: the bytes, streamed a block at a time. OLE: the stored object.
    void writeTo(ByteSink& sink) const override;
    std::shared_ptr<Item> embeddedItem() const override;

    // The attachment's bytes to `sink` without a file (the bench's null sink, tests).
    std::uint64_t readData(const std::function<void(std::span<const std::uint8_t>)>& sink) const;

private:
    std::shared_ptr<const messaging::MessageObject> m_message; // keeps the tables alive
    messaging::AttachmentObject m_attachment;
};

} // namespace tvn::store::pst::backend
