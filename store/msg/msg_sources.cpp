#include "store/msg/msg_sources.h"

#include <algorithm>
#include <ctime>

#include "store/failure.h"
#include "store/msg/cfb_reader.h"
#include "store/property_names.h"
#include "store/text/utf.h"

namespace tvn::store::msg {

namespace {

namespace messaging = pst::messaging;
namespace ltp = pst::ltp;

constexpr std::uint16_t kAttachData = 0x3701;
constexpr std::uint16_t kAttachMethod = 0x3705;
// OLE objects are copied storage by storage up to this size; larger ones are kept as
// plain data.
constexpr std::uint64_t kMaxOleObject = 64ULL << 20;

[[noreturn]] void tooDeep() {
    throw Failure(err::kCorruptData, "Attached messages are nested more than " +
                                         std::to_string(kMaxNesting) + " levels deep.");
}

std::vector<std::uint8_t> utf16(std::string_view utf8) {
    return text::utf8ToUtf16le(utf8);
}

MsgProperty makeProperty(std::uint16_t id, std::uint16_t type, std::vector<std::uint8_t> bytes) {
    MsgProperty p;
    p.tag = (std::uint32_t{id} << 16) | type;
    p.bytes = std::move(bytes);
    return p;
}

// Tells readers that the file's strings are Unicode (STORE_UNICODE_OK), as every string
// written is.
void markUnicode(PropertyList& props) {
    constexpr std::uint16_t kStoreSupportMask = 0x340D;
    if (findProperty(props, kStoreSupportMask) == nullptr) {
        props.push_back(makeProperty(kStoreSupportMask, ptype::kInt32, {0x00, 0x00, 0x04, 0x00}));
    }
}

// --- from a data file -------------------------------------------------------------------

class PstConverter {
public:
    explicit PstConverter(std::shared_ptr<const messaging::MessageStore> store)
        : m_store(std::move(store)) {}

    MsgDocument convert(const messaging::MessageObject& message) {
        MsgDocument document;
        message_(document.message, message, 0);
        markUnicode(document.message.properties);
        document.names = std::move(m_names);
        return document;
    }

private:
    void message_(MsgMessage& out, const messaging::MessageObject& message, int depth) {
        if (depth > kMaxNesting) {
            tooDeep();
        }
        const auto reader = message.properties();
        for (const auto& v : message.context().properties()) {
            copy(out.properties, reader, v);
        }
        if (const auto* table = message.recipientTable()) {
            for (std::size_t i = 0; i < table->rowCount(); ++i) {
                const auto row = table->row(i);
                const messaging::PropertyReader cells(*table, row, message.codePage());
                PropertyList recipient;
                for (std::size_t c = 0; c < table->columns().size(); ++c) {
                    const auto id = table->columns()[c].id();
                    // The row id and version are the data file's bookkeeping.
                    if (id == 0x67F2 || id == 0x67F3) {
                        continue;
                    }
                    copy(recipient, cells, row.cell(c));
                }
                out.recipients.push_back(std::move(recipient));
            }
        }
        for (std::size_t i = 0; i < message.attachmentCount(); ++i) {
            out.attachments.push_back(attachment(message.attachment(i), depth));
        }
    }

    MsgAttachment attachment(messaging::AttachmentObject source, int depth) {
        MsgAttachment out;
        const auto reader = source.properties();
        const auto& pc = source.context();
        for (const auto& v : pc.properties()) {
            if (v.id != kAttachData) {
                copy(out.properties, reader, v);
            }
        }
        const ltp::PropertyValue* data = pc.find(kAttachData);
        if (data == nullptr) {
            return out;
        }
        if (source.isEmbeddedMessage()) {
            const auto inner = source.embeddedMessage();
            out.embedded = std::make_unique<MsgMessage>();
            message_(*out.embedded, *inner, depth + 1);
            return out;
        }
        std::uint64_t size = 0;
        if (data->type == ltp::prop_type::kObject) {
            // An OLE object is a storage of its own, which the .msg file holds as one.
            const auto stream = pc.database()->dataStream(pc.objectNode(*data));
            size = stream.size();
            if (size <= kMaxOleObject) {
                if (auto ole = tryCompoundFile(stream.readAll())) {
                    out.ole = std::move(ole);
                    return out;
                }
            }
        } else if (data->type != ltp::prop_type::kBinary) {
            return out;
        } else if (data->storage == ltp::ValueStorage::Subnode) {
            size = pc.stream(*data).size();
        } else {
            out.properties.push_back(
                makeProperty(kAttachData, ltp::prop_type::kBinary, reader.bytes(*data)));
            return out;
        }
        // Large data is read again, a block at a time, when the file is written.
        MsgProperty p = makeProperty(kAttachData, ltp::prop_type::kBinary, {});
        p.size = size;
        auto keep = std::make_shared<const messaging::AttachmentObject>(std::move(source));
        p.producer = [keep](ByteSink& sink) {
            keep->readData([&](std::span<const std::uint8_t> bytes) { sink.write(bytes); });
        };
        out.properties.push_back(std::move(p));
        return out;
    }

    // Copies one stored value, strings turned into Unicode; values a .msg file cannot hold
    // and named properties without a name are left out.
    void copy(PropertyList& out, const messaging::PropertyReader& reader,
              const ltp::PropertyValue& v) {
        namespace pt = ltp::prop_type;
        if (v.storage == ltp::ValueStorage::Absent || v.type == pt::kObject ||
            !isStorableType(v.type)) {
            return;
        }
        const auto id = mapId(v.id);
        if (!id) {
            return;
        }
        const auto base = static_cast<std::uint16_t>(v.type & ~pt::kMultiValue & 0xFFFF);
        if (v.type == pt::kString8 || v.type == pt::kUnicode) {
            auto text =
                messaging::PropertyReader::decodeString(v.type, reader.bytes(v), reader.codePage());
            if (v.id == messaging::tag::kSubject) {
                // The prefix marker is how data files store a subject, not part of it.
                text = messaging::stripSubjectMarker(std::move(text));
            }
            out.push_back(makeProperty(*id, pt::kUnicode, utf16(text)));
            return;
        }
        if (ltp::isMultiValued(v.type) && (base == pt::kString8 || base == pt::kUnicode)) {
            MsgProperty p = makeProperty(*id, pt::kUnicode | pt::kMultiValue, {});
            for (const auto& s : reader.strings(v.id).value_or(std::vector<std::string>{})) {
                p.items.push_back(utf16(s));
            }
            out.push_back(std::move(p));
            return;
        }
        auto bytes = reader.bytes(v);
        if (ltp::isMultiValued(v.type) && base == pt::kBinary) {
            MsgProperty p = makeProperty(*id, v.type, {});
            for (const auto part : ltp::splitMultiValue(v.type, bytes)) {
                p.items.emplace_back(part.begin(), part.end());
            }
            out.push_back(std::move(p));
            return;
        }
        out.push_back(makeProperty(*id, v.type, std::move(bytes)));
    }

    // The .msg id of a property: its own below 0x8000, else the next free named id.
    std::optional<std::uint16_t> mapId(std::uint16_t id) {
        if (id < 0x8000) {
            return id;
        }
        const auto found = m_store->names().nameOf(id);
        if (!found) {
            return std::nullopt;
        }
        PropertyName name;
        name.set = found->set.bytes;
        name.lid = found->lid;
        name.name = found->name;
        auto it = std::find(m_names.begin(), m_names.end(), name);
        if (it == m_names.end()) {
            if (m_names.size() >= 0x7FFF) {
                return std::nullopt;
            }
            m_names.push_back(std::move(name));
            it = m_names.end() - 1;
        }
        return static_cast<std::uint16_t>(0x8000 + (it - m_names.begin()));
    }

    std::shared_ptr<const messaging::MessageStore> m_store;
    std::vector<PropertyName> m_names;
};

// --- from an object-model item ----------------------------------------------------------

std::vector<std::uint8_t> le(std::uint64_t value, int bytes) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    return out;
}

// A local date-time as a FILETIME (UTC).
std::int64_t fileTimeOf(const DateTime& d) {
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    tm.tm_hour = d.hour;
    tm.tm_min = d.minute;
    tm.tm_sec = d.second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    return (static_cast<std::int64_t>(t) + 11644473600LL) * 10000000LL;
}

struct ItemField {
    std::string_view name;
    std::uint16_t id;
};

// Where each object-model property goes; dates as PT_SYSTIME, numbers as PT_LONG.
constexpr ItemField kItemFields[] = {
    {"Subject", 0x0037},      {"Body", 0x1000},
    {"SenderName", 0x0C1A},   {"SenderEmailAddress", 0x0C1F},
    {"SentOn", 0x0039},       {"ReceivedTime", 0x0E06},
    {"CreationTime", 0x3007}, {"LastModificationTime", 0x3008},
    {"Importance", 0x0017},   {"Sensitivity", 0x0036},
    {"To", 0x0E04},           {"CC", 0x0E03},
    {"BCC", 0x0E02},
};

void itemMessage(MsgMessage& out, const Item& item, int depth) {
    if (depth > kMaxNesting) {
        tooDeep();
    }
    out.properties.push_back(makeProperty(0x001A, ptype::kUnicode, utf16(item.messageClass())));
    for (const auto& field : kItemFields) {
        Variant value;
        try {
            value = item.get(field.name);
        } catch (const Failure& f) {
            if (f.number() == err::kNotFound) {
                continue; // a backend that does not have it
            }
            throw;
        }
        switch (value.kind()) {
        case Variant::Kind::Text:
            if (!value.text().empty()) {
                out.properties.push_back(
                    makeProperty(field.id, ptype::kUnicode, utf16(value.text())));
            }
            break;
        case Variant::Kind::Date:
            if (!value.date().isNone()) {
                out.properties.push_back(
                    makeProperty(field.id, ptype::kSysTime,
                                 le(static_cast<std::uint64_t>(fileTimeOf(value.date())), 8)));
            }
            break;
        case Variant::Kind::Integer:
            out.properties.push_back(makeProperty(
                field.id, ptype::kInt32, le(static_cast<std::uint64_t>(value.integer()), 4)));
            break;
        default:
            break;
        }
    }
    if (const auto recipients = item.recipients()) {
        for (std::int32_t i = 1; i <= recipients->count(); ++i) {
            const auto r = recipients->item(i);
            PropertyList list;
            list.push_back(makeProperty(0x3001, ptype::kUnicode, utf16(r->name())));
            list.push_back(makeProperty(0x3003, ptype::kUnicode, utf16(r->address())));
            list.push_back(makeProperty(0x3002, ptype::kUnicode, utf16("SMTP")));
            list.push_back(
                makeProperty(0x0C15, ptype::kInt32, le(static_cast<std::uint32_t>(r->type()), 4)));
            out.recipients.push_back(std::move(list));
        }
    }
    if (const auto attachments = item.attachments()) {
        for (std::int32_t i = 1; i <= attachments->count(); ++i) {
            const auto a = attachments->item(i);
            MsgAttachment att;
            const auto type = a->type();
            const std::int32_t method = type == AttachmentType::EmbeddedItem  ? 5
                                        : type == AttachmentType::Ole         ? 6
                                        : type == AttachmentType::ByReference ? 2
                                                                              : 1;
            att.properties.push_back(makeProperty(kAttachMethod, ptype::kInt32,
                                                  le(static_cast<std::uint32_t>(method), 4)));
            att.properties.push_back(makeProperty(0x3707, ptype::kUnicode, utf16(a->fileName())));
            att.properties.push_back(
                makeProperty(0x3001, ptype::kUnicode, utf16(a->displayName())));
            if (type == AttachmentType::EmbeddedItem) {
                if (const auto inner = a->embeddedItem()) {
                    att.embedded = std::make_unique<MsgMessage>();
                    itemMessage(*att.embedded, *inner, depth + 1);
                }
            } else if (type != AttachmentType::ByReference) {
                StringSink data;
                a->writeTo(data);
                const auto& b = data.bytes();
                std::vector<std::uint8_t> bytes(b.begin(), b.end());
                if (type == AttachmentType::Ole) {
                    att.ole = tryCompoundFile(bytes);
                }
                if (!att.ole) {
                    att.properties.push_back(
                        makeProperty(kAttachData, ptype::kBinary, std::move(bytes)));
                }
            }
            out.attachments.push_back(std::move(att));
        }
    }
}

} // namespace

MsgDocument documentFromPst(std::shared_ptr<const pst::messaging::MessageObject> message) {
    return PstConverter(message->store()).convert(*message);
}

MsgDocument documentFromItem(const Item& item) {
    MsgDocument document;
    itemMessage(document.message, item, 0);
    markUnicode(document.message.properties);
    return document;
}

} // namespace tvn::store::msg
