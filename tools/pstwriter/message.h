#pragma once

// What the writer stores for one item: its properties, recipients and attachments. Built
// by tests directly, by the JSON description reader and by the synthetic generator.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/pstwriter/property.h"

namespace tvn::tools {

// Tagged property ids the writer itself fills in.
namespace tag {
inline constexpr std::uint16_t kImportance = 0x0017;
inline constexpr std::uint16_t kMessageClass = 0x001A;
inline constexpr std::uint16_t kSensitivity = 0x0036;
inline constexpr std::uint16_t kSubject = 0x0037;
inline constexpr std::uint16_t kClientSubmitTime = 0x0039;
inline constexpr std::uint16_t kSentRepresentingName = 0x0042;
inline constexpr std::uint16_t kSenderName = 0x0C1A;
inline constexpr std::uint16_t kSenderEmailAddress = 0x0C1F;
inline constexpr std::uint16_t kSenderAddressType = 0x0C1E;
inline constexpr std::uint16_t kRecipientType = 0x0C15;
inline constexpr std::uint16_t kDisplayBcc = 0x0E02;
inline constexpr std::uint16_t kDisplayCc = 0x0E03;
inline constexpr std::uint16_t kDisplayTo = 0x0E04;
inline constexpr std::uint16_t kMessageDeliveryTime = 0x0E06;
inline constexpr std::uint16_t kMessageFlags = 0x0E07;
inline constexpr std::uint16_t kMessageSize = 0x0E08;
inline constexpr std::uint16_t kMessageStatus = 0x0E17;
inline constexpr std::uint16_t kAttachSize = 0x0E20;
inline constexpr std::uint16_t kAttachNumber = 0x0E21;
inline constexpr std::uint16_t kBody = 0x1000;
inline constexpr std::uint16_t kNativeBody = 0x1016;
inline constexpr std::uint16_t kRowId = 0x3000;
inline constexpr std::uint16_t kDisplayName = 0x3001;
inline constexpr std::uint16_t kAddressType = 0x3002;
inline constexpr std::uint16_t kEmailAddress = 0x3003;
inline constexpr std::uint16_t kCreationTime = 0x3007;
inline constexpr std::uint16_t kLastModificationTime = 0x3008;
inline constexpr std::uint16_t kSearchKey = 0x300B;
inline constexpr std::uint16_t kDisplayType = 0x3900;
inline constexpr std::uint16_t kSmtpAddress = 0x39FE;
inline constexpr std::uint16_t kObjectType = 0x0FFE;
inline constexpr std::uint16_t kRecordKey = 0x0FF9;
inline constexpr std::uint16_t kAttachDataBinary = 0x3701;
inline constexpr std::uint16_t kAttachExtension = 0x3703;
inline constexpr std::uint16_t kAttachFilename = 0x3704;
inline constexpr std::uint16_t kAttachMethod = 0x3705;
inline constexpr std::uint16_t kAttachLongFilename = 0x3707;
inline constexpr std::uint16_t kRenderingPosition = 0x370B;
inline constexpr std::uint16_t kAttachMimeTag = 0x370E;
inline constexpr std::uint16_t kContentCount = 0x3602;
inline constexpr std::uint16_t kContentUnreadCount = 0x3603;
inline constexpr std::uint16_t kSubfolders = 0x360A;
inline constexpr std::uint16_t kContainerClass = 0x3613;
inline constexpr std::uint16_t kRecipientFlags = 0x5FFD;
inline constexpr std::uint16_t kRecipientDisplayName = 0x5FF6;
inline constexpr std::uint16_t kMessageCodepage = 0x3FFD;
inline constexpr std::uint16_t kPstPassword = 0x67FF;
} // namespace tag

enum class RecipientType : std::int32_t { To = 1, Cc = 2, Bcc = 3 };

struct Recipient {
    std::vector<Property> props;
};

struct Message;

struct Attachment {
    std::vector<Property> props;
    std::vector<std::uint8_t> data;    // by-value content
    std::shared_ptr<Message> embedded; // set for an embedded message (method 5)
};

struct Message {
    std::vector<Property> props;
    std::vector<Recipient> recipients;
    std::vector<Attachment> attachments;

    Message() = default;
    explicit Message(std::string messageClass);

    // Sets (or replaces) a property.
    Message& set(Property p);
    Message& set(std::uint16_t id, PropValue v) { return set(Property::tagged(id, std::move(v))); }
    // The value of a tagged or named property, or nullptr.
    const PropValue* find(std::uint16_t id) const;
    const PropValue* find(const NamedKey& key) const;

    // Common fields. Times are FILETIMEs (UTC).
    Message& subject(std::string s) { return set(tag::kSubject, PropValue::unicode(std::move(s))); }
    Message& body(std::string s) { return set(tag::kBody, PropValue::unicode(std::move(s))); }
    Message& sender(std::string name, std::string email = {});
    Message& sent(std::uint64_t t) { return set(tag::kClientSubmitTime, PropValue::time(t)); }
    Message& received(std::uint64_t t) {
        return set(tag::kMessageDeliveryTime, PropValue::time(t));
    }
    Message& categories(std::vector<std::string> values);
    Message& addRecipient(std::string name, std::string email,
                          RecipientType type = RecipientType::To);
    Attachment& addAttachment(std::string fileName, std::vector<std::uint8_t> data);
    Attachment& addEmbedded(Message message, std::string displayName = {});

    // Sets a property by its object-model field name ("Start", "Location", "FirstName",
    // "PercentComplete", ...). Returns false for an unknown name or a value that does not
    // fit the field's type. See fields.h.
    bool setField(std::string_view name, const PropValue& value);
};

} // namespace tvn::tools
