#pragma once

// A message of a data file (or a message embedded in an attachment): its property context,
// its recipient table (subnode 0x692) and its attachment table (subnode 0x671), each
// attachment's own property context, and the derived values every reader of a message
// needs: the subject without its stored prefix marker and the plain-text body.
//
// 8-bit strings are decoded with the message's code page: PidTagMessageCodepage, else
// PidTagInternetCodepage, else Windows-1252.
//
// Objects keep their store (and so the open file) alive. They are not safe for concurrent
// use.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "store/pst/ltp/property_context.h"
#include "store/pst/ltp/property_tags.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/messaging/message_store.h"
#include "store/pst/messaging/property_reader.h"

namespace tvn::store::pst::messaging {

namespace tag = ltp::tag;

// PidTagAttachMethod values.
namespace attach_method {
inline constexpr std::int32_t kNone = 0;
inline constexpr std::int32_t kByValue = 1;
inline constexpr std::int32_t kByReference = 2;
inline constexpr std::int32_t kByRefResolve = 3;
inline constexpr std::int32_t kByRefOnly = 4;
inline constexpr std::int32_t kEmbeddedMessage = 5;
inline constexpr std::int32_t kOle = 6;
inline constexpr std::int32_t kByWebReference = 7;
} // namespace attach_method

struct RecipientRow {
    std::string name;
    std::string address;     // PidTagEmailAddress, else PidTagSmtpAddress
    std::string addressType; // "SMTP", "EX", ...
    std::int32_t type = 0;   // PidTagRecipientType & 0x0F: 1 To, 2 Cc, 3 Bcc
};

class MessageObject;

class AttachmentObject {
public:
    AttachmentObject(std::shared_ptr<const MessageStore> store, const ndb::NodeRef& node,
                     std::uint32_t codePage);

    // A reader of the attachment's properties; it lives no longer than this object.
    PropertyReader properties() const { return PropertyReader(m_pc, m_codePage); }
    // The property context itself, for copying every property (the .msg writer).
    const ltp::PropertyContext& context() const { return m_pc; }
    std::int32_t method() const;
    // PidTagAttachLongFilename, else PidTagAttachFilename ("" when neither).
    std::string fileName() const;
    std::string displayName() const;

    // Whether the data property holds an embedded message.
    bool isEmbeddedMessage() const;
    // The embedded message; nullptr unless isEmbeddedMessage(). Throws on damage.
    std::shared_ptr<const MessageObject> embeddedMessage() const;

    // The attachment's bytes (PidTagAttachDataBinary; for an OLE attachment the object's
    // storage), handed to `sink` a block at a time, so that a large attachment is never held
    // whole. Returns the number of bytes; 0 and no call when the attachment has no data or
    // holds an embedded message.
    std::uint64_t readData(const std::function<void(std::span<const std::uint8_t>)>& sink) const;

private:
    std::shared_ptr<const MessageStore> m_store;
    ltp::PropertyContext m_pc;
    std::uint32_t m_codePage;
};

class MessageObject {
public:
    // Reads the message's property context and chooses its code page. Throws ReadError
    // (err::kCorruptData) when the node is missing or unreadable.
    MessageObject(std::shared_ptr<const MessageStore> store, const ndb::NodeRef& node);

    const std::shared_ptr<const MessageStore>& store() const { return m_store; }
    const ndb::NodeRef& node() const { return m_pc.node(); }
    // A reader of the message's properties; it lives no longer than this object.
    PropertyReader properties() const { return PropertyReader(m_pc, m_codePage); }
    std::uint32_t codePage() const { return m_codePage; }
    // The property context itself, for copying every property (the .msg writer).
    const ltp::PropertyContext& context() const { return m_pc; }

    // The file's id of a named property, or nothing when the file has none. Throws
    // err::kCorruptData when the file's named-property map could not be read.
    std::optional<std::uint16_t> namedId(const Guid& set, std::uint32_t lid) const;
    std::optional<std::uint16_t> namedId(const Guid& set, std::string_view name) const;

    std::string messageClass() const;
    // PidTagSubject without the leading U+0001 and length character ("" when absent).
    std::string subject() const;
    // The plain-text body: PidTagBody; when absent, the text of the HTML body or of the
    // compressed RTF body (which may itself wrap HTML or text); "" when there is none.
    // Throws err::kCorruptData when the only body there is cannot be decoded.
    std::string body() const;

    // The recipient table, nullptr when the message has none (for copying whole rows).
    const ltp::TableContext* recipientTable() const;
    std::size_t recipientCount() const;
    RecipientRow recipient(std::size_t index) const;

    std::size_t attachmentCount() const;
    AttachmentObject attachment(std::size_t index) const;

private:
    void checkNames() const;
    const ltp::TableContext* attachmentTable() const;
    const ltp::TableContext* subtable(ndb::NodeId nid, bool& opened,
                                      std::unique_ptr<ltp::TableContext>& table) const;

    std::shared_ptr<const MessageStore> m_store;
    ltp::PropertyContext m_pc;
    std::uint32_t m_codePage = store::text::kDefaultCodePage;
    mutable bool m_recipientsOpened = false;
    mutable std::unique_ptr<ltp::TableContext> m_recipients;
    mutable bool m_attachmentsOpened = false;
    mutable std::unique_ptr<ltp::TableContext> m_attachments;
};

// Removes the U+0001 marker and its length character that the file may put before a
// subject (the length counts the prefix such as "RE: " that follows).
std::string stripSubjectMarker(std::string subject);

} // namespace tvn::store::pst::messaging
