#include "store/pst/messaging/message.h"

#include "store/pst/body/html_text.h"
#include "store/pst/body/lzfu.h"
#include "store/pst/body/rtf_text.h"

namespace tvn::store::pst::messaging {

namespace {

namespace pt = ltp::prop_type;

// PidTagNativeBody values.
constexpr std::int64_t kNativeRtf = 2;

std::uint32_t chooseCodePage(const PropertyReader& props) {
    for (const std::uint16_t id : {tag::kMessageCodepage, tag::kInternetCodepage}) {
        if (const auto cp = props.integer(id); cp && *cp > 0 && *cp <= 0xFFFF) {
            const auto value = static_cast<std::uint32_t>(*cp);
            if (store::text::isKnownCodePage(value)) {
                return value;
            }
        }
    }
    return store::text::kDefaultCodePage;
}

std::optional<std::string> htmlBody(const PropertyReader& props) {
    const auto v = props.find(tag::kHtml);
    if (!v) {
        return std::nullopt;
    }
    if (v->type == pt::kUnicode || v->type == pt::kString8) {
        return body::htmlToText(
            PropertyReader::decodeString(v->type, props.bytes(*v), props.codePage()));
    }
    if (v->type != pt::kBinary) {
        return std::nullopt;
    }
    // The bytes are in PidTagInternetCodepage; failing that, in what the HTML declares;
    // failing that, in the message's code page.
    const auto bytes = props.bytes(*v);
    std::uint32_t cp = props.codePage();
    if (const auto internet = props.integer(tag::kInternetCodepage);
        internet && *internet > 0 && *internet <= 0xFFFF &&
        store::text::isKnownCodePage(static_cast<std::uint32_t>(*internet))) {
        cp = static_cast<std::uint32_t>(*internet);
    } else if (const auto declared = body::declaredCodePage(bytes);
               declared != 0 && store::text::isKnownCodePage(declared)) {
        cp = declared;
    }
    return body::htmlToText(store::text::decodeCodePage(bytes, cp));
}

std::optional<std::string> rtfBody(const PropertyReader& props) {
    const auto compressed = props.binary(tag::kRtfCompressed);
    if (!compressed) {
        return std::nullopt;
    }
    auto rtf = body::decompressRtf(*compressed);
    if (!rtf.ok()) {
        throwCorrupt(rtf.error);
    }
    return body::rtfToText(rtf.rtf);
}

} // namespace

std::string stripSubjectMarker(std::string subject) {
    if (subject.empty() || subject[0] != '\x01') {
        return subject;
    }
    // The length character is one code point, one to four bytes in UTF-8.
    std::size_t n = 1;
    if (subject.size() > 1) {
        ++n;
        while (n < subject.size() && (static_cast<unsigned char>(subject[n]) & 0xC0U) == 0x80U) {
            ++n;
        }
    }
    return subject.substr(n);
}

// --- attachments ------------------------------------------------------------------------

AttachmentObject::AttachmentObject(std::shared_ptr<const MessageStore> store,
                                   const ndb::NodeRef& node, std::uint32_t codePage)
    : m_store(std::move(store)), m_pc(m_store->database(), node), m_codePage(codePage) {}

std::int32_t AttachmentObject::method() const {
    return static_cast<std::int32_t>(properties().integer(tag::kAttachMethod).value_or(0));
}

std::string AttachmentObject::fileName() const {
    if (auto name = properties().string(tag::kAttachLongFilename); name && !name->empty()) {
        return *name;
    }
    return properties().string(tag::kAttachFilename).value_or("");
}

std::string AttachmentObject::displayName() const {
    return properties().string(tag::kDisplayName).value_or("");
}

bool AttachmentObject::isEmbeddedMessage() const {
    const auto v = properties().find(tag::kAttachDataBinary);
    return v && v->type == pt::kObject && method() == attach_method::kEmbeddedMessage;
}

std::shared_ptr<const MessageObject> AttachmentObject::embeddedMessage() const {
    if (!isEmbeddedMessage()) {
        return nullptr;
    }
    const auto v = properties().find(tag::kAttachDataBinary);
    return std::make_shared<const MessageObject>(m_store, m_pc.objectNode(*v));
}

std::uint64_t
AttachmentObject::readData(const std::function<void(std::span<const std::uint8_t>)>& sink) const {
    const auto v = properties().find(tag::kAttachDataBinary);
    if (!v) {
        return 0;
    }
    if (v->type == pt::kObject) {
        if (method() == attach_method::kEmbeddedMessage) {
            return 0; // a message, not bytes: see embeddedMessage()
        }
        // An OLE object: its storage is the data of the object's own node.
        const auto stream = m_store->database()->dataStream(m_pc.objectNode(*v));
        stream.forEachBlock(sink);
        return stream.size();
    }
    if (v->type != pt::kBinary) {
        return 0;
    }
    if (v->storage == ltp::ValueStorage::Subnode) {
        const auto stream = m_pc.stream(*v);
        stream.forEachBlock(sink);
        return stream.size();
    }
    const auto bytes = properties().bytes(*v);
    if (!bytes.empty()) {
        sink(bytes);
    }
    return bytes.size();
}

// --- messages ---------------------------------------------------------------------------

MessageObject::MessageObject(std::shared_ptr<const MessageStore> store, const ndb::NodeRef& node)
    : m_store(std::move(store)), m_pc(m_store->database(), node) {
    m_codePage = chooseCodePage(PropertyReader(m_pc));
}

std::optional<std::uint16_t> MessageObject::namedId(const Guid& set, std::uint32_t lid) const {
    checkNames();
    return m_store->names().find(set, lid);
}

std::optional<std::uint16_t> MessageObject::namedId(const Guid& set, std::string_view name) const {
    checkNames();
    return m_store->names().find(set, name);
}

void MessageObject::checkNames() const {
    if (!m_store->namesDamage().empty()) {
        throwCorrupt("the named-property map is damaged: " + m_store->namesDamage());
    }
}

std::string MessageObject::messageClass() const {
    return properties().string(tag::kMessageClass).value_or("");
}

std::string MessageObject::subject() const {
    return stripSubjectMarker(properties().string(tag::kSubject).value_or(""));
}

std::string MessageObject::body() const {
    if (auto plain = properties().string(tag::kBody)) {
        return std::move(*plain);
    }
    // Without a plain-text body, the native format decides which of the others was the
    // original; HTML first otherwise, since RTF bodies generated from HTML only wrap it.
    const bool rtfFirst = properties().integer(tag::kNativeBody).value_or(0) == kNativeRtf;
    if (rtfFirst) {
        if (auto text = rtfBody(properties())) {
            return std::move(*text);
        }
    }
    if (auto text = htmlBody(properties())) {
        return std::move(*text);
    }
    if (!rtfFirst) {
        if (auto text = rtfBody(properties())) {
            return std::move(*text);
        }
    }
    return {};
}

const ltp::TableContext* MessageObject::subtable(ndb::NodeId nid, bool& opened,
                                                 std::unique_ptr<ltp::TableContext>& table) const {
    if (!opened) {
        const auto& db = m_store->database();
        if (const auto sub = db->findSubnode(node(), nid)) {
            table = std::make_unique<ltp::TableContext>(db, *sub);
        }
        opened = true;
    }
    return table.get();
}

const ltp::TableContext* MessageObject::recipientTable() const {
    return subtable(ndb::nid::kRecipientTable, m_recipientsOpened, m_recipients);
}

const ltp::TableContext* MessageObject::attachmentTable() const {
    return subtable(ndb::nid::kAttachmentTable, m_attachmentsOpened, m_attachments);
}

std::size_t MessageObject::recipientCount() const {
    const auto* table = recipientTable();
    return table != nullptr ? table->rowCount() : 0;
}

RecipientRow MessageObject::recipient(std::size_t index) const {
    const auto* table = recipientTable();
    if (table == nullptr || index >= table->rowCount()) {
        throwCorrupt("recipient " + std::to_string(index) + " does not exist");
    }
    const auto row = table->row(index);
    const PropertyReader props(*table, row, codePage());
    RecipientRow r;
    r.name = props.string(tag::kDisplayName).value_or("");
    r.address = props.string(tag::kEmailAddress).value_or("");
    if (r.address.empty()) {
        r.address = props.string(tag::kSmtpAddress).value_or("");
    }
    r.addressType = props.string(tag::kAddressType).value_or("");
    r.type = static_cast<std::int32_t>(props.integer(tag::kRecipientType).value_or(0) & 0x0F);
    return r;
}

std::size_t MessageObject::attachmentCount() const {
    const auto* table = attachmentTable();
    return table != nullptr ? table->rowCount() : 0;
}

AttachmentObject MessageObject::attachment(std::size_t index) const {
    const auto* table = attachmentTable();
    if (table == nullptr || index >= table->rowCount()) {
        throwCorrupt("attachment " + std::to_string(index) + " does not exist");
    }
    const ndb::NodeId nid{table->row(index).rowId()};
    const auto& db = m_store->database();
    return AttachmentObject(m_store, db->subnode(node(), nid), codePage());
}

} // namespace tvn::store::pst::messaging
