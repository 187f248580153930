#pragma once

// What the writer stores for one item: its properties, recipients and attachments. Built
// by tests directly, by the JSON description reader and by the synthetic generator.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/pst/ltp/property_tags.h"
#include "tools/pstwriter/property.h"

namespace tvn::tools {

// Tagged property ids the writer itself fills in: the reader's own list.
namespace tag = store::pst::ltp::tag;

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
