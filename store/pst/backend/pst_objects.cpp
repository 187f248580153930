#include "store/pst/backend/pst_objects.h"

#include <algorithm>
#include <stdexcept>

#include "store/failure.h"
#include "store/msg/msg_sources.h"
#include "store/msg/msg_writer.h"
#include "store/pst/backend/item_properties.h"
#include "store/pst/folder_walk.h"

namespace tvn::store::pst::backend {

namespace {

// Runs f, turning anything thrown that is not already a tvn::Failure (a std::out_of_range
// from a table, a length error from a damaged count) into err::kCorruptData naming `what`.
template <typename F> auto guarded(const std::string& what, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const Failure&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw Failure(err::kCorruptData, what + ": a stored size is too large to read");
    } catch (const std::exception& e) {
        throw Failure(err::kCorruptData, what + ": " + e.what());
    }
}

std::int32_t countOf(std::size_t n) {
    return static_cast<std::int32_t>(std::min<std::size_t>(n, INT32_MAX));
}

// Deeper folder trees are taken as damage (Outlook itself stops far sooner).
constexpr std::size_t kMaxFolderDepth = 256;

// A folder's subfolders. Each is opened only through the folder that holds it (see
// FolderClaims): a subfolder already reached through another folder, or an ancestor listed
// again, throws err::kCorruptData once for this listing and is not read again, so a walk
// visits every folder node at most once however the hierarchy tables share them.
class PstFolders final : public Folders {
public:
    PstFolders(std::shared_ptr<const messaging::MessageStore> store, std::vector<ndb::NodeId> nids,
               std::vector<ndb::NodeId> path, std::shared_ptr<FolderClaims> claims)
        : m_store(std::move(store)), m_nids(std::move(nids)), m_path(std::move(path)),
          m_claims(std::move(claims)) {}

    std::int32_t count() const override { return countOf(m_nids.size()); }

    std::shared_ptr<Folder> item(std::int32_t i) const override {
        const auto nid = m_nids[collectionPosition(i, m_nids.size())];
        const std::string what = "folder " + hexText(ndb::raw(nid));
        if (std::find(m_path.begin(), m_path.end(), nid) != m_path.end()) {
            throw Failure(err::kCorruptData, what + " is listed inside itself");
        }
        if (m_path.size() >= kMaxFolderDepth) {
            throw Failure(err::kCorruptData, what + " lies deeper than any real folder tree");
        }
        const ndb::NodeId parent = m_path.back();
        if (const auto holder = m_claims->claim(nid, parent); holder != parent) {
            throw Failure(err::kCorruptData,
                          what + " is listed by folder " + hexText(ndb::raw(parent)) +
                              " but already belongs to " +
                              (ndb::raw(holder) == 0 ? std::string("the top of the file")
                                                     : "folder " + hexText(ndb::raw(holder))) +
                              "; it is read once");
        }
        return guarded(what, [&] {
            return std::make_shared<PstFolder>(
                std::make_shared<const messaging::FolderObject>(m_store, nid), std::nullopt, m_path,
                m_claims);
        });
    }
    using Folders::item;

private:
    std::shared_ptr<const messaging::MessageStore> m_store;
    std::vector<ndb::NodeId> m_nids;
    std::vector<ndb::NodeId> m_path; // the parent and its ancestors
    std::shared_ptr<FolderClaims> m_claims;
};

class PstItems final : public Items {
public:
    explicit PstItems(std::shared_ptr<const messaging::FolderObject> folder)
        : m_folder(std::move(folder)), m_count(m_folder->itemCount()) {}

    std::int32_t count() const override { return countOf(m_count); }

    std::shared_ptr<Item> item(std::int32_t i) const override {
        const std::size_t index = collectionPosition(i, m_count);
        return guarded(
            "item " + std::to_string(i) + " of folder \"" + m_folder->displayName() + "\"", [&] {
                const auto& store = m_folder->store();
                const auto nid = m_folder->itemNode(index);
                return std::make_shared<PstItem>(std::make_shared<const messaging::MessageObject>(
                    store, store->database()->nodeRef(nid)));
            });
    }

private:
    std::shared_ptr<const messaging::FolderObject> m_folder;
    std::size_t m_count;
};

class PstRecipient final : public Recipient {
public:
    explicit PstRecipient(messaging::RecipientRow row) : m_row(std::move(row)) {}
    std::string name() const override { return m_row.name; }
    std::string address() const override { return m_row.address; }
    RecipientType type() const override { return static_cast<RecipientType>(m_row.type); }

private:
    messaging::RecipientRow m_row;
};

class PstRecipients final : public Recipients {
public:
    explicit PstRecipients(std::shared_ptr<const messaging::MessageObject> message)
        : m_message(std::move(message)), m_count(m_message->recipientCount()) {}

    std::int32_t count() const override { return countOf(m_count); }
    std::shared_ptr<Recipient> item(std::int32_t i) const override {
        const std::size_t index = collectionPosition(i, m_count);
        return guarded("recipient " + std::to_string(i),
                       [&] { return std::make_shared<PstRecipient>(m_message->recipient(index)); });
    }

private:
    std::shared_ptr<const messaging::MessageObject> m_message;
    std::size_t m_count;
};

class PstAttachments final : public Attachments {
public:
    explicit PstAttachments(std::shared_ptr<const messaging::MessageObject> message)
        : m_message(std::move(message)), m_count(m_message->attachmentCount()) {}

    std::int32_t count() const override { return countOf(m_count); }
    std::shared_ptr<Attachment> item(std::int32_t i) const override {
        const std::size_t index = collectionPosition(i, m_count);
        return guarded("attachment " + std::to_string(i), [&] {
            return std::make_shared<PstAttachment>(m_message, m_message->attachment(index));
        });
    }

private:
    std::shared_ptr<const messaging::MessageObject> m_message;
    std::size_t m_count;
};

} // namespace

ItemType itemTypeOfContainerClass(std::string_view cls) {
    struct Entry {
        std::string_view cls;
        ItemType type;
    };
    static constexpr Entry kTypes[] = {
        {"IPF.Note", ItemType::Mail},       {"IPF.Appointment", ItemType::Appointment},
        {"IPF.Contact", ItemType::Contact}, {"IPF.Task", ItemType::Task},
        {"IPF.Journal", ItemType::Journal}, {"IPF.StickyNote", ItemType::Note},
    };
    for (const auto& e : kTypes) {
        if (isClassOrSubclass(cls, e.cls)) {
            return e.type;
        }
    }
    return ItemType::Mail;
}

// --- folders ----------------------------------------------------------------------------

FolderClaims::FolderClaims(ndb::NodeId top) {
    m_parentOf.emplace(ndb::raw(top), 0);
}

ndb::NodeId FolderClaims::claim(ndb::NodeId child, ndb::NodeId parent) {
    const std::lock_guard lock(m_mutex);
    const auto [it, inserted] = m_parentOf.emplace(ndb::raw(child), ndb::raw(parent));
    (void)inserted;
    return ndb::NodeId{it->second};
}

PstFolder::PstFolder(std::shared_ptr<const messaging::FolderObject> folder,
                     std::optional<std::string> name, std::vector<ndb::NodeId> ancestors,
                     std::shared_ptr<FolderClaims> claims)
    : m_folder(std::move(folder)), m_name(std::move(name)), m_ancestors(std::move(ancestors)),
      m_claims(claims ? std::move(claims) : std::make_shared<FolderClaims>(m_folder->nid())) {}

std::string PstFolder::name() const {
    return m_name ? *m_name : m_folder->displayName();
}

ItemType PstFolder::defaultItemType() const {
    return itemTypeOfContainerClass(m_folder->containerClass());
}

std::shared_ptr<Folders> PstFolder::folders() const {
    return guarded("subfolders of \"" + m_folder->displayName() + "\"", [&] {
        auto path = m_ancestors;
        path.push_back(m_folder->nid());
        return std::make_shared<PstFolders>(m_folder->store(), m_folder->subfolders(),
                                            std::move(path), m_claims);
    });
}

bool PstFolder::sameFolder(const Folder& other) const {
    const auto* pst = dynamic_cast<const PstFolder*>(&other);
    return pst != nullptr && pst->m_folder->store() == m_folder->store() &&
           pst->m_folder->nid() == m_folder->nid();
}

std::optional<std::uint64_t> PstFolder::walkBudget() const {
    if (const auto guard = FolderWalkGuard::forFolder(*this)) {
        return guard->budget();
    }
    return std::nullopt;
}

std::shared_ptr<Items> PstFolder::items() const {
    return guarded("items of \"" + m_folder->displayName() + "\"",
                   [&] { return std::make_shared<PstItems>(m_folder); });
}

// --- items ------------------------------------------------------------------------------

PstItem::PstItem(std::shared_ptr<const messaging::MessageObject> message)
    : m_message(std::move(message)) {}

Variant PstItem::get(std::string_view name) const {
    return guarded("property " + std::string(name),
                   [&] { return m_properties.get(*m_message, name); });
}

std::string PstItem::messageClass() const {
    return guarded("message class", [&] { return m_message->messageClass(); });
}

std::shared_ptr<Attachments> PstItem::attachments() const {
    return guarded("attachments", [&] { return std::make_shared<PstAttachments>(m_message); });
}

std::shared_ptr<Recipients> PstItem::recipients() const {
    return guarded("recipients", [&] { return std::make_shared<PstRecipients>(m_message); });
}

// --- attachments ------------------------------------------------------------------------

PstAttachment::PstAttachment(std::shared_ptr<const messaging::MessageObject> message,
                             messaging::AttachmentObject attachment)
    : m_message(std::move(message)), m_attachment(std::move(attachment)) {}

std::string PstAttachment::fileName() const {
    return guarded("attachment file name", [&] {
        if (m_attachment.method() != messaging::attach_method::kEmbeddedMessage) {
            return m_attachment.fileName();
        }
        // An attached message is named by its title as a .msg file, whatever file name it
        // carries.
        std::string title = m_attachment.displayName();
        if (title.empty()) {
            if (const auto inner = m_attachment.embeddedMessage()) {
                title = inner->subject();
            }
        }
        return (title.empty() ? std::string("Untitled") : title) + ".msg";
    });
}

std::string PstAttachment::displayName() const {
    return guarded("attachment display name", [&] {
        std::string name = m_attachment.displayName();
        return name.empty() ? fileName() : name;
    });
}

AttachmentType PstAttachment::type() const {
    namespace am = messaging::attach_method;
    const auto method = guarded("attachment method", [&] { return m_attachment.method(); });
    switch (method) {
    case am::kByReference:
    case am::kByRefResolve:
    case am::kByRefOnly:
    case am::kByWebReference:
        return AttachmentType::ByReference;
    case am::kEmbeddedMessage:
        return AttachmentType::EmbeddedItem;
    case am::kOle:
        return AttachmentType::Ole;
    default:
        return AttachmentType::ByValue;
    }
}

std::uint64_t
PstAttachment::readData(const std::function<void(std::span<const std::uint8_t>)>& sink) const {
    return guarded("attachment data", [&] { return m_attachment.readData(sink); });
}

void PstAttachment::writeTo(ByteSink& sink) const {
    const AttachmentType kind = type();
    if (kind == AttachmentType::ByReference) {
        throw Failure(err::kInvalidProcedureCall,
                      "The attachment is a link to a file outside the data file.");
    }
    if (kind == AttachmentType::EmbeddedItem) {
        guarded("attached message", [&] {
            const auto inner = m_attachment.embeddedMessage();
            if (!inner) {
                throw Failure(err::kCorruptData, "The attached message is missing.");
            }
            msg::writeMsg(msg::documentFromPst(inner), sink);
        });
        return;
    }
    guarded("attachment data", [&] {
        return m_attachment.readData([&](std::span<const std::uint8_t> b) { sink.write(b); });
    });
}

std::shared_ptr<Item> PstAttachment::embeddedItem() const {
    return guarded("embedded item", [&]() -> std::shared_ptr<Item> {
        auto inner = m_attachment.embeddedMessage();
        if (!inner) {
            return nullptr;
        }
        return std::make_shared<PstItem>(std::move(inner));
    });
}

} // namespace tvn::store::pst::backend
