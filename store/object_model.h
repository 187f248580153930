#pragma once

// The mail-store object model the rest of the program works with: an application, its
// namespace of open data files, folders, items, attachments and recipients. It offers the
// operations the archive needs and nothing of how a backend stores its data; the .pst
// reader (store/pst) and the in-memory backend (store/memory) both implement it.
//
// Every operation may throw tvn::Failure with any number: a damaged item gives
// err::kCorruptData, a refused data file err::kAccessRefused. Objects are shared
// references, like the automation objects they stand for: holding one keeps what it
// needs alive, and dropping the last reference releases it.
//
// Collections count from 1 in item(i), as the automation model does. A folder's items are
// opened one at a time by position, so that walking a folder never holds more than the
// item in hand.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/variant.h"

namespace tvn::store {

// Outlook's OlItemType numbers, as a folder's DefaultItemType gives them.
enum class ItemType : std::int32_t {
    Mail = 0,
    Appointment = 1,
    Contact = 2,
    Task = 3,
    Journal = 4,
    Note = 5,
    Post = 6,
    DistributionList = 7,
};

// Outlook's OlAttachmentType numbers.
enum class AttachmentType : std::int32_t {
    ByValue = 1,
    ByReference = 4,
    EmbeddedItem = 5,
    Ole = 6,
};

class Folder;
class Item;

// Where an attachment's bytes go, a piece at a time, so that a large attachment is never
// held whole. The archive layer's files are one kind of sink; a test's string is another.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // A failure of the sink (a full disk) is thrown as tvn::Failure and ends the transfer.
    virtual void write(std::span<const std::uint8_t> bytes) = 0;
};

// A sink that keeps everything in memory (small attachments, tests).
class StringSink final : public ByteSink {
public:
    void write(std::span<const std::uint8_t> bytes) override {
        m_bytes.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// MAPI recipient types: the line of the message a recipient stands on.
enum class RecipientType : std::int32_t {
    // The file gives none.
    Unknown = 0,
    To = 1,
    Cc = 2,
    Bcc = 3,
};

class Recipient {
public:
    virtual ~Recipient() = default;
    virtual std::string name() const = 0;
    virtual std::string address() const = 0;
    virtual RecipientType type() const = 0;
};

class Recipients {
public:
    virtual ~Recipients() = default;
    virtual std::int32_t count() const = 0;
    // i counts from 1; out of range throws err::kSubscriptOutOfRange.
    virtual std::shared_ptr<Recipient> item(std::int32_t i) const = 0;
};

class Attachment {
public:
    virtual ~Attachment() = default;
    virtual std::string fileName() const = 0;
    virtual std::string displayName() const = 0;
    virtual AttachmentType type() const = 0;
    // Hands the attachment's content to sink: the bytes of a file attachment, the stored
    // object of an OLE attachment, an embedded item as an Outlook .msg file. A link to an
    // outside file has no content of its own to give and throws err::kInvalidProcedureCall.
    virtual void writeTo(ByteSink& sink) const = 0;
    // The message inside an embedded-item attachment; nullptr for any other type.
    virtual std::shared_ptr<Item> embeddedItem() const = 0;
};

class Attachments {
public:
    virtual ~Attachments() = default;
    virtual std::int32_t count() const = 0;
    virtual std::shared_ptr<Attachment> item(std::int32_t i) const = 0;
};

class Item {
public:
    virtual ~Item() = default;
    // A property by its object-model name ("Subject", "SentOn", "Body", "Start", ...).
    // An absent property gives what Outlook gives; a name the backend does not know
    // throws err::kNotFound; a value that cannot be read throws its own number.
    virtual Variant get(std::string_view name) const = 0;
    virtual std::string messageClass() const = 0;
    virtual std::shared_ptr<Attachments> attachments() const = 0;
    virtual std::shared_ptr<Recipients> recipients() const = 0;
};

class Items {
public:
    virtual ~Items() = default;
    virtual std::int32_t count() const = 0;
    // Opens the i-th item (from 1) in the folder's order. A damaged item throws for
    // that item only; every other position stays readable.
    virtual std::shared_ptr<Item> item(std::int32_t i) const = 0;
};

class Folders {
public:
    virtual ~Folders() = default;
    virtual std::int32_t count() const = 0;
    virtual std::shared_ptr<Folder> item(std::int32_t i) const = 0;
    // The first folder whose name equals name exactly; throws err::kNotFound when none.
    virtual std::shared_ptr<Folder> item(std::string_view name) const;
};

class Folder {
public:
    virtual ~Folder() = default;
    virtual std::string name() const = 0;
    virtual ItemType defaultItemType() const = 0;
    virtual std::shared_ptr<Folders> folders() const = 0;
    virtual std::shared_ptr<Items> items() const = 0;
    // True when other stands for the same folder of the same open data file, however each
    // was reached (a collection hands out a new object at every call).
    virtual bool sameFolder(const Folder& other) const { return this == &other; }
};

// Shows the open data files' folder trees and lets the user pick one folder. The desktop
// window supplies a dialog; a command line supplies a fixed answer.
class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    // The picked folder, or nullptr when the user cancels.
    virtual std::shared_ptr<Folder> pickFolder() = 0;
};

// Asks the user for the password of a protected data file.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;
    // The password the user gave, or nothing when the user declined.
    virtual std::optional<std::string> askPassword(const std::filesystem::path& file) = 0;
};

// The open data files, each seen through its top folder.
class NameSpace {
public:
    virtual ~NameSpace() = default;
    virtual std::shared_ptr<Folders> folders() const = 0;
    virtual std::shared_ptr<Folder> pickFolder() = 0;
};

class Application {
public:
    virtual ~Application() = default;
    // Only "MAPI" is known; any other name throws err::kInvalidProcedureCall.
    virtual std::shared_ptr<NameSpace> getNamespace(std::string_view type) = 0;
};

// The 0-based position of element i (counting from 1) of a collection of count elements;
// throws err::kSubscriptOutOfRange when i is outside it.
std::size_t collectionPosition(std::int32_t i, std::size_t count);

// Calls f(i, folder) for each folder of a collection in order; i counts from 1.
template <typename F> void forEachFolder(const Folders& folders, F&& f) {
    const std::int32_t n = folders.count();
    for (std::int32_t i = 1; i <= n; ++i) {
        f(i, folders.item(i));
    }
}

} // namespace tvn::store
