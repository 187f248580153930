#include "store/memory/memory_store.h"

#include "store/msg/msg_sources.h"
#include "store/msg/msg_writer.h"
#include "store/property_names.h"

namespace tvn::store::memory {

namespace {

template <typename T> const T& at(const std::vector<T>& v, std::int32_t i) {
    return v[collectionPosition(i, v.size())];
}

void raiseIf(const std::optional<Failure>& failure) {
    if (failure) {
        throw *failure;
    }
}

class MemoryAttachments final : public Attachments {
public:
    explicit MemoryAttachments(std::vector<std::shared_ptr<MemoryAttachment>> list)
        : m_list(std::move(list)) {}
    std::int32_t count() const override { return static_cast<std::int32_t>(m_list.size()); }
    std::shared_ptr<Attachment> item(std::int32_t i) const override { return at(m_list, i); }

private:
    std::vector<std::shared_ptr<MemoryAttachment>> m_list;
};

class MemoryRecipients final : public Recipients {
public:
    explicit MemoryRecipients(std::vector<std::shared_ptr<MemoryRecipient>> list)
        : m_list(std::move(list)) {}
    std::int32_t count() const override { return static_cast<std::int32_t>(m_list.size()); }
    std::shared_ptr<Recipient> item(std::int32_t i) const override { return at(m_list, i); }

private:
    std::vector<std::shared_ptr<MemoryRecipient>> m_list;
};

class MemoryFolders final : public Folders {
public:
    explicit MemoryFolders(std::vector<std::shared_ptr<MemoryFolder>> list)
        : m_list(std::move(list)) {}
    std::int32_t count() const override { return static_cast<std::int32_t>(m_list.size()); }
    std::shared_ptr<Folder> item(std::int32_t i) const override { return at(m_list, i); }
    using Folders::item;

private:
    std::vector<std::shared_ptr<MemoryFolder>> m_list;
};

} // namespace

class MemoryItems final : public Items {
public:
    explicit MemoryItems(std::shared_ptr<const MemoryFolder> folder)
        : m_folder(std::move(folder)) {}
    std::int32_t count() const override {
        return static_cast<std::int32_t>(m_folder->m_items.size());
    }
    std::shared_ptr<Item> item(std::int32_t i) const override {
        const auto& slot = at(m_folder->m_items, i);
        raiseIf(slot.damage);
        return slot.item;
    }

private:
    std::shared_ptr<const MemoryFolder> m_folder;
};

// Attachment

std::string MemoryAttachment::fileName() const {
    raiseIf(m_fileNameFailure);
    return m_fileName;
}

void MemoryAttachment::writeTo(ByteSink& sink) const {
    raiseIf(m_saveFailure);
    if (m_type == AttachmentType::EmbeddedItem && m_embedded) {
        msg::writeMsg(msg::documentFromItem(*m_embedded), sink);
        return;
    }
    if (m_type == AttachmentType::EmbeddedItem || m_type == AttachmentType::ByReference) {
        throw Failure(err::kInvalidProcedureCall, "The attachment has no content of its own.");
    }
    sink.write({reinterpret_cast<const std::uint8_t*>(m_content.data()), m_content.size()});
}

std::shared_ptr<Item> MemoryAttachment::embeddedItem() const {
    return m_embedded;
}

MemoryAttachment& MemoryAttachment::failFileName(Failure failure) {
    m_fileNameFailure = std::move(failure);
    return *this;
}

MemoryAttachment& MemoryAttachment::failSave(Failure failure) {
    m_saveFailure = std::move(failure);
    return *this;
}

MemoryAttachment& MemoryAttachment::setEmbedded(std::shared_ptr<MemoryItem> item) {
    m_embedded = std::move(item);
    m_type = AttachmentType::EmbeddedItem;
    return *this;
}

// Item

Variant MemoryItem::get(std::string_view name) const {
    if (auto f = m_failures.find(name); f != m_failures.end()) {
        throw f->second;
    }
    if (auto v = m_values.find(name); v != m_values.end()) {
        return v->second;
    }
    if (name == "MessageClass") {
        return Variant(m_class);
    }
    return absentValue(name);
}

std::shared_ptr<Attachments> MemoryItem::attachments() const {
    return std::make_shared<MemoryAttachments>(m_attachments);
}

std::shared_ptr<Recipients> MemoryItem::recipients() const {
    return std::make_shared<MemoryRecipients>(m_recipients);
}

MemoryItem& MemoryItem::set(std::string name, Variant value) {
    m_failures.erase(name);
    m_values.insert_or_assign(std::move(name), std::move(value));
    return *this;
}

MemoryItem& MemoryItem::fail(std::string name, Failure failure) {
    m_failures.insert_or_assign(std::move(name), std::move(failure));
    return *this;
}

MemoryAttachment& MemoryItem::addAttachment(std::string fileName, std::string content,
                                            AttachmentType type) {
    m_attachments.push_back(
        std::make_shared<MemoryAttachment>(std::move(fileName), std::move(content), type));
    return *m_attachments.back();
}

MemoryItem& MemoryItem::addRecipient(std::string name, std::string address, RecipientType type) {
    m_recipients.push_back(
        std::make_shared<MemoryRecipient>(std::move(name), std::move(address), type));
    return *this;
}

// Folder

std::shared_ptr<MemoryFolder> MemoryFolder::make(std::string name, ItemType type) {
    return std::make_shared<MemoryFolder>(std::move(name), type);
}

std::string MemoryFolder::name() const {
    raiseIf(m_nameFailure);
    return m_name;
}

ItemType MemoryFolder::defaultItemType() const {
    raiseIf(m_typeFailure);
    return m_type;
}

std::shared_ptr<Folders> MemoryFolder::folders() const {
    raiseIf(m_foldersFailure);
    return std::make_shared<MemoryFolders>(m_folders);
}

std::shared_ptr<Items> MemoryFolder::items() const {
    raiseIf(m_itemsFailure);
    return std::make_shared<MemoryItems>(shared_from_this());
}

std::shared_ptr<MemoryFolder> MemoryFolder::addFolder(std::string name, ItemType type) {
    m_folders.push_back(make(std::move(name), type));
    return m_folders.back();
}

MemoryItem& MemoryFolder::addItem(std::string messageClass) {
    m_items.push_back(Slot{std::make_shared<MemoryItem>(std::move(messageClass)), std::nullopt});
    return *m_items.back().item;
}

void MemoryFolder::addDamagedItem(Failure failure) {
    m_items.push_back(Slot{nullptr, std::move(failure)});
}

} // namespace tvn::store::memory
