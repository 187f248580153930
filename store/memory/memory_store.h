#pragma once

// An in-memory backend of the object model, for tests: folder trees and items of every
// kind are built in code, and any property read or collection access can be made to fail
// with a chosen error number.
//
//   auto top = MemoryFolder::make("Personal Folders");
//   auto inbox = top->addFolder("Inbox", ItemType::Mail);
//   inbox->addItem("IPM.Note").set("Subject", "Hello").set("SentOn", DateTime{...});

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/failure.h"
#include "store/object_model.h"

namespace tvn::store::memory {

class MemoryItem;

class MemoryRecipient final : public Recipient {
public:
    MemoryRecipient(std::string name, std::string address, RecipientType type)
        : m_name(std::move(name)), m_address(std::move(address)), m_type(type) {}
    std::string name() const override { return m_name; }
    std::string address() const override { return m_address; }
    RecipientType type() const override { return m_type; }

private:
    std::string m_name;
    std::string m_address;
    RecipientType m_type;
};

class MemoryAttachment final : public Attachment {
public:
    MemoryAttachment(std::string fileName, std::string content,
                     AttachmentType type = AttachmentType::ByValue)
        : m_fileName(std::move(fileName)), m_content(std::move(content)), m_type(type) {}

    std::string fileName() const override;
    std::string displayName() const override { return m_fileName; }
    AttachmentType type() const override { return m_type; }
    void writeTo(ByteSink& sink) const override;
    std::shared_ptr<Item> embeddedItem() const override;

    // Makes fileName() or writeTo() throw the given failure.
    MemoryAttachment& failFileName(Failure failure);
    MemoryAttachment& failSave(Failure failure);
    MemoryAttachment& setEmbedded(std::shared_ptr<MemoryItem> item);

private:
    std::string m_fileName;
    std::string m_content;
    AttachmentType m_type;
    std::shared_ptr<MemoryItem> m_embedded;
    std::optional<Failure> m_fileNameFailure;
    std::optional<Failure> m_saveFailure;
};

class MemoryItem final : public Item, public std::enable_shared_from_this<MemoryItem> {
public:
    explicit MemoryItem(std::string messageClass) : m_class(std::move(messageClass)) {}

    Variant get(std::string_view name) const override;
    std::string messageClass() const override { return m_class; }
    std::shared_ptr<Attachments> attachments() const override;
    std::shared_ptr<Recipients> recipients() const override;

    // Sets a property; any name is accepted, so tests may use names no backend maps yet.
    MemoryItem& set(std::string name, Variant value);
    // Reading the property throws this failure.
    MemoryItem& fail(std::string name, Failure failure);
    MemoryAttachment& addAttachment(std::string fileName, std::string content,
                                    AttachmentType type = AttachmentType::ByValue);
    MemoryItem& addRecipient(std::string name, std::string address,
                             RecipientType type = RecipientType::To);

private:
    std::string m_class;
    std::map<std::string, Variant, std::less<>> m_values;
    std::map<std::string, Failure, std::less<>> m_failures;
    std::vector<std::shared_ptr<MemoryAttachment>> m_attachments;
    std::vector<std::shared_ptr<MemoryRecipient>> m_recipients;
};

class MemoryFolder final : public Folder, public std::enable_shared_from_this<MemoryFolder> {
public:
    static std::shared_ptr<MemoryFolder> make(std::string name, ItemType type = ItemType::Mail);
    MemoryFolder(std::string name, ItemType type) : m_name(std::move(name)), m_type(type) {}

    std::string name() const override;
    ItemType defaultItemType() const override;
    std::shared_ptr<Folders> folders() const override;
    std::shared_ptr<Items> items() const override;

    std::shared_ptr<MemoryFolder> addFolder(std::string name, ItemType type = ItemType::Mail);
    MemoryItem& addItem(std::string messageClass);
    // An item position whose opening throws this failure (a damaged item).
    void addDamagedItem(Failure failure);

    // Makes name(), defaultItemType(), folders() or items() throw.
    void failName(Failure failure) { m_nameFailure = std::move(failure); }
    void failType(Failure failure) { m_typeFailure = std::move(failure); }
    void failFolders(Failure failure) { m_foldersFailure = std::move(failure); }
    void failItems(Failure failure) { m_itemsFailure = std::move(failure); }

    const std::vector<std::shared_ptr<MemoryFolder>>& subfolders() const { return m_folders; }

private:
    struct Slot {
        std::shared_ptr<MemoryItem> item;
        std::optional<Failure> damage;
    };
    friend class MemoryItems;

    std::string m_name;
    ItemType m_type;
    std::vector<std::shared_ptr<MemoryFolder>> m_folders;
    std::vector<Slot> m_items;
    std::optional<Failure> m_nameFailure;
    std::optional<Failure> m_typeFailure;
    std::optional<Failure> m_foldersFailure;
    std::optional<Failure> m_itemsFailure;
};

} // namespace tvn::store::memory
