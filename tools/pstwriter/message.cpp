#include "tools/pstwriter/message.h"

#include "tools/pstwriter/fields.h"

namespace tvn::tools {

namespace {
bool sameKey(const Property& p, const Property& q) {
    if (p.named.has_value() != q.named.has_value()) {
        return false;
    }
    return p.named ? *p.named == *q.named : p.id == q.id;
}
} // namespace

Message::Message(std::string messageClass) {
    set(tag::kMessageClass, PropValue::unicode(std::move(messageClass)));
}

Message& Message::set(Property p) {
    for (auto& q : props) {
        if (sameKey(p, q)) {
            q = std::move(p);
            return *this;
        }
    }
    props.push_back(std::move(p));
    return *this;
}

const PropValue* Message::find(std::uint16_t id) const {
    for (const auto& p : props) {
        if (!p.named && p.id == id) {
            return &p.value;
        }
    }
    return nullptr;
}

const PropValue* Message::find(const NamedKey& key) const {
    for (const auto& p : props) {
        if (p.named && *p.named == key) {
            return &p.value;
        }
    }
    return nullptr;
}

Message& Message::sender(std::string name, std::string email) {
    set(tag::kSenderName, PropValue::unicode(name));
    set(tag::kSentRepresentingName, PropValue::unicode(std::move(name)));
    if (!email.empty()) {
        set(tag::kSenderEmailAddress, PropValue::unicode(std::move(email)));
        set(tag::kSenderAddressType, PropValue::unicode("SMTP"));
    }
    return *this;
}

Message& Message::categories(std::vector<std::string> values) {
    return set(Property::string(guids::kPsPublicStrings, "Keywords",
                                PropValue::mvUnicode(std::move(values))));
}

Message& Message::addRecipient(std::string name, std::string email, RecipientType type) {
    Recipient r;
    r.props.push_back(
        Property::tagged(tag::kRecipientType, PropValue::int32(static_cast<std::int32_t>(type))));
    r.props.push_back(Property::tagged(tag::kDisplayName, PropValue::unicode(name)));
    r.props.push_back(Property::tagged(tag::kRecipientDisplayName, PropValue::unicode(name)));
    if (!email.empty()) {
        r.props.push_back(Property::tagged(tag::kAddressType, PropValue::unicode("SMTP")));
        r.props.push_back(Property::tagged(tag::kEmailAddress, PropValue::unicode(email)));
        r.props.push_back(Property::tagged(tag::kSmtpAddress, PropValue::unicode(email)));
    }
    r.props.push_back(Property::tagged(tag::kObjectType, PropValue::int32(6)));  // MAPI_MAILUSER
    r.props.push_back(Property::tagged(tag::kDisplayType, PropValue::int32(0))); // DT_MAILUSER
    r.props.push_back(Property::tagged(tag::kRecipientFlags, PropValue::int32(1)));
    recipients.push_back(std::move(r));
    return *this;
}

Attachment& Message::addAttachment(std::string fileName, std::vector<std::uint8_t> data) {
    Attachment a;
    a.props.push_back(Property::tagged(tag::kAttachMethod, PropValue::int32(1)));
    a.props.push_back(Property::tagged(tag::kAttachLongFilename, PropValue::unicode(fileName)));
    a.props.push_back(Property::tagged(tag::kAttachFilename, PropValue::unicode(fileName)));
    a.props.push_back(Property::tagged(tag::kDisplayName, PropValue::unicode(fileName)));
    const auto dot = fileName.rfind('.');
    if (dot != std::string::npos) {
        a.props.push_back(
            Property::tagged(tag::kAttachExtension, PropValue::unicode(fileName.substr(dot))));
    }
    a.data = std::move(data);
    attachments.push_back(std::move(a));
    return attachments.back();
}

Attachment& Message::addEmbedded(Message message, std::string displayName) {
    Attachment a;
    a.props.push_back(Property::tagged(tag::kAttachMethod, PropValue::int32(5)));
    if (displayName.empty()) {
        if (const PropValue* s = message.find(tag::kSubject)) {
            displayName = s->text;
        }
    }
    a.props.push_back(Property::tagged(tag::kDisplayName, PropValue::unicode(displayName)));
    a.embedded = std::make_shared<Message>(std::move(message));
    attachments.push_back(std::move(a));
    return attachments.back();
}

bool Message::setField(std::string_view name, const PropValue& value) {
    const FieldInfo* f = findField(name);
    if (f == nullptr) {
        return false;
    }
    auto v = coerceToType(value, f->type);
    if (!v) {
        return false;
    }
    if (f->set == nullptr) {
        set(Property::tagged(static_cast<std::uint16_t>(f->id), std::move(*v)));
    } else if (!f->stringName.empty()) {
        set(Property::string(*f->set, std::string(f->stringName), std::move(*v)));
    } else {
        set(Property::lid(*f->set, f->id, std::move(*v)));
    }
    return true;
}

} // namespace tvn::tools
