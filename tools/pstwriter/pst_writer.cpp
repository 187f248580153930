#include "tools/pstwriter/pst_writer.h"

#include <algorithm>
#include <cstring>

#include "store/failure.h"
#include "store/pst/ltp/property_tags.h"
#include "store/pst/ltp/property_value.h"
#include "store/text/code_page.h"
#include "store/text/utf.h"
#include "tools/pstwriter/bytes.h"
#include "tools/pstwriter/fields.h"
#include "tools/pstwriter/ltp_writer.h"

namespace tvn::tools {

namespace ndb = tvn::store::pst::ndb;
namespace pt = tvn::store::pst::ltp::prop_type;
using tvn::store::pst::ltp::makeTag;

namespace {

constexpr std::uint32_t kNidMessageStore = ndb::raw(ndb::nid::kMessageStore);
constexpr std::uint32_t kNidNameToIdMap = ndb::raw(ndb::nid::kNameToIdMap);
constexpr std::uint32_t kNidHierarchyTemplate = 0x60D;
constexpr std::uint32_t kNidContentsTemplate = 0x60E;
constexpr std::uint32_t kNidAssocContentsTemplate = 0x60F;
constexpr std::uint32_t kNidSearchContentsTemplate = 0x610;
// The templates of a message's subnode tables have the subnodes' own NIDs.
constexpr std::uint32_t kNidAttachmentTemplate = ndb::raw(ndb::nid::kAttachmentTable);
constexpr std::uint32_t kNidRecipientTemplate = ndb::raw(ndb::nid::kRecipientTable);
// Search-related internal nodes Outlook creates empty in a new file.
constexpr std::uint32_t kEmptyInternalNodes[] = {0x1E1, 0x201, 0x261, 0x281, 0x2A1, 0x321};

constexpr std::uint32_t kMsgFlagRead = 0x0001;
constexpr std::uint32_t kMsgFlagHasAttach = 0x0010;
constexpr std::uint32_t kNameIdBuckets = 251;

// Columns of the contents table (and its templates), as Outlook writes them in part.
const std::vector<std::uint32_t> kContentsColumns = {
    makeTag(tag::kImportance, pt::kInt32),
    makeTag(tag::kMessageClass, pt::kUnicode),
    makeTag(tag::kSensitivity, pt::kInt32),
    makeTag(tag::kSubject, pt::kUnicode),
    makeTag(tag::kClientSubmitTime, pt::kSysTime),
    makeTag(tag::kSentRepresentingName, pt::kUnicode),
    makeTag(tag::kDisplayCc, pt::kUnicode),
    makeTag(tag::kDisplayTo, pt::kUnicode),
    makeTag(tag::kMessageDeliveryTime, pt::kSysTime),
    makeTag(tag::kMessageFlags, pt::kInt32),
    makeTag(tag::kMessageSize, pt::kInt32),
    makeTag(tag::kMessageStatus, pt::kInt32),
    makeTag(tag::kLastModificationTime, pt::kSysTime),
};
const std::vector<std::uint32_t> kHierarchyColumns = {
    makeTag(tag::kDisplayName, pt::kUnicode),      makeTag(tag::kContentCount, pt::kInt32),
    makeTag(tag::kContentUnreadCount, pt::kInt32), makeTag(tag::kSubfolders, pt::kBoolean),
    makeTag(tag::kContainerClass, pt::kUnicode),
};
const std::vector<std::uint32_t> kAssocContentsColumns = {
    makeTag(tag::kMessageClass, pt::kUnicode),
    makeTag(tag::kMessageFlags, pt::kInt32),
    makeTag(tag::kLastModificationTime, pt::kSysTime),
};
const std::vector<std::uint32_t> kAttachmentColumns = {
    makeTag(tag::kAttachSize, pt::kInt32),
    makeTag(tag::kAttachFilename, pt::kUnicode),
    makeTag(tag::kAttachMethod, pt::kInt32),
    makeTag(tag::kRenderingPosition, pt::kInt32),
};
const std::vector<std::uint32_t> kRecipientColumns = {
    makeTag(tag::kRecipientType, pt::kInt32),
    makeTag(tag::kResponsibility, pt::kBoolean),
    makeTag(tag::kObjectType, pt::kInt32),
    makeTag(tag::kRowId, pt::kInt32),
    makeTag(tag::kDisplayName, pt::kUnicode),
    makeTag(tag::kAddressType, pt::kUnicode),
    makeTag(tag::kEmailAddress, pt::kUnicode),
    makeTag(tag::kSearchKey, pt::kBinary),
    makeTag(tag::kDisplayType, pt::kInt32),
    makeTag(tag::kSmtpAddress, pt::kUnicode),
    makeTag(tag::kRecipientDisplayName, pt::kUnicode),
    makeTag(tag::kRecipientFlags, pt::kInt32),
};

std::uint32_t tableNid(std::uint32_t folderNid, std::uint32_t type) {
    return (folderNid & ~0x1Fu) | type;
}

const StoredValue* findStored(const std::vector<StoredProperty>& props, std::uint16_t id) {
    for (const auto& p : props) {
        if (p.id == id) {
            return &p.value;
        }
    }
    return nullptr;
}

void setStored(std::vector<StoredProperty>& props, std::uint16_t id, StoredValue v) {
    for (auto& p : props) {
        if (p.id == id) {
            p.value = std::move(v);
            return;
        }
    }
    props.push_back({id, std::move(v)});
}

// Cells of one table row for the given columns, taken from stored properties by id.
std::vector<std::optional<StoredValue>> cellsFor(const std::vector<std::uint32_t>& columns,
                                                 const std::vector<StoredProperty>& props) {
    std::vector<std::optional<StoredValue>> cells(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const auto id = static_cast<std::uint16_t>(columns[i] >> 16);
        if (const StoredValue* v = findStored(props, id)) {
            const auto type = static_cast<std::uint16_t>(columns[i] & 0xFFFF);
            // A column of a string type takes either string encoding; others must match.
            const bool stringColumn = type == prop_type::kUnicode || type == prop_type::kString8;
            const bool stringValue =
                v->type == prop_type::kUnicode || v->type == prop_type::kString8;
            if (v->type == type || (stringColumn && stringValue)) {
                cells[i] = *v;
            }
        }
    }
    return cells;
}

// Packs row cells compactly: per column a presence byte, then length and bytes.
std::vector<std::uint8_t> packRow(const std::vector<std::optional<StoredValue>>& cells) {
    std::vector<std::uint8_t> out;
    for (const auto& c : cells) {
        out.push_back(c ? 1 : 0);
        if (c) {
            append16(out, c->type);
            append32(out, static_cast<std::uint32_t>(c->bytes.size()));
            out.insert(out.end(), c->bytes.begin(), c->bytes.end());
        }
    }
    return out;
}

std::vector<std::optional<StoredValue>> unpackRow(const std::vector<std::uint8_t>& in,
                                                  std::size_t columns) {
    std::vector<std::optional<StoredValue>> cells(columns);
    std::size_t at = 0;
    for (std::size_t i = 0; i < columns && at < in.size(); ++i) {
        if (in[at++] == 0) {
            continue;
        }
        StoredValue v;
        v.type = static_cast<std::uint16_t>(in[at] | in[at + 1] << 8);
        const std::uint32_t n = static_cast<std::uint32_t>(in[at + 2]) |
                                static_cast<std::uint32_t>(in[at + 3]) << 8 |
                                static_cast<std::uint32_t>(in[at + 4]) << 16 |
                                static_cast<std::uint32_t>(in[at + 5]) << 24;
        at += 6;
        v.bytes.assign(in.begin() + static_cast<std::ptrdiff_t>(at),
                       in.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        cells[i] = std::move(v);
    }
    return cells;
}

StoredValue storedLong(std::uint32_t v) {
    StoredValue s{prop_type::kInt32, {}};
    append32(s.bytes, v);
    return s;
}

std::uint32_t storedAsLong(const StoredValue* v, std::uint32_t fallback) {
    if (v == nullptr || v->bytes.size() < 4) {
        return fallback;
    }
    return static_cast<std::uint32_t>(v->bytes[0]) | static_cast<std::uint32_t>(v->bytes[1]) << 8 |
           static_cast<std::uint32_t>(v->bytes[2]) << 16 |
           static_cast<std::uint32_t>(v->bytes[3]) << 24;
}

} // namespace

std::uint32_t passwordChecksum(std::string_view password) {
    const std::string ansi = store::text::toWindows1252(password);
    return ndb::crc32(std::span(reinterpret_cast<const std::uint8_t*>(ansi.data()), ansi.size()));
}

PstWriter::PstWriter(const std::filesystem::path& path, StoreOptions options)
    : m_ndb(path, options.format, options.crypt), m_options(std::move(options)) {
    // A provider UID for the store's entry ids, derived from the name so output is
    // reproducible.
    const auto name = store::text::utf8ToUtf16le(m_options.displayName);
    std::uint32_t seed = ndb::crc32(name, 0x5441564E);
    for (std::size_t i = 0; i < 16; i += 4) {
        seed = ndb::crc32(std::span<const std::uint8_t>(m_storeUid.data(), i), seed + 0x9E3779B9u);
        put32(m_storeUid.data() + i, seed);
    }
    m_folders[kRootFolder] = Folder{"", "", kRootFolder, {}, {}, {}, 0, 0, false};
    m_subtree = newFolder(kRootFolder, m_options.subtreeName, "", m_nextFolderIndex++);
    m_searchRoot = newFolder(kRootFolder, "Search Root", "", m_nextFolderIndex++);
    m_deletedItems = newFolder(m_subtree, m_options.deletedItemsName, "", m_nextFolderIndex++);
    // The named properties of the object-model fields get their ids up front, so that every
    // file has a populated name-to-id map as Outlook's files do (readers refuse an empty
    // one) and the ids do not depend on which items come first.
    for (const auto& f : allFields()) {
        if (f.set != nullptr) {
            namedId(NamedKey{*f.set, !f.stringName.empty(), f.stringName.empty() ? f.id : 0,
                             std::string(f.stringName)});
        }
    }
}

PstWriter::~PstWriter() = default;

PstWriter::FolderId PstWriter::newFolder(FolderId parent, const std::string& name,
                                         const std::string& cls, std::uint32_t nidIndex) {
    const FolderId id = makeNid(nid_type::kNormalFolder, nidIndex);
    Folder f;
    f.name = name;
    f.containerClass = cls;
    f.parent = parent;
    m_folders[id] = std::move(f);
    m_folders.at(parent).children.push_back(id);
    return id;
}

PstWriter::FolderId PstWriter::addFolder(FolderId parent, const std::string& name,
                                         const std::string& containerClass) {
    if (m_folders.count(parent) == 0 || m_finished) {
        throw Failure(err::kInvalidProcedureCall, "addFolder: no such parent folder");
    }
    if (m_nextFolderIndex >= (1u << 26)) {
        throw Failure(err::kInvalidProcedureCall, "too many folders");
    }
    return newFolder(parent, name, containerClass, m_nextFolderIndex++);
}

std::uint16_t PstWriter::namedId(const NamedKey& key) {
    for (std::size_t i = 0; i < m_named.size(); ++i) {
        if (m_named[i] == key) {
            return static_cast<std::uint16_t>(0x8000 + i);
        }
    }
    if (m_named.size() >= 0x7FFF) {
        throw Failure(err::kInvalidProcedureCall, "too many named properties");
    }
    m_named.push_back(key);
    return static_cast<std::uint16_t>(0x8000 + m_named.size() - 1);
}

std::vector<StoredProperty> PstWriter::storeProps(const std::vector<Property>& props) {
    std::vector<StoredProperty> out;
    out.reserve(props.size() + 8);
    for (const auto& p : props) {
        const std::uint16_t id = p.named ? namedId(*p.named) : p.id;
        setStored(out, id, storeValue(p.value, m_options.format));
    }
    return out;
}

std::vector<std::uint8_t> PstWriter::entryId(std::uint32_t nid) const {
    // rgbFlags (zero), the store's record key, the node id. Sized up front: growing the
    // vector by insert() trips a false array-bounds warning in GCC 12 at -O3.
    std::vector<std::uint8_t> e(4 + m_storeUid.size() + 4, 0);
    std::copy(m_storeUid.begin(), m_storeUid.end(), e.begin() + 4);
    put32(e.data() + 4 + m_storeUid.size(), nid);
    return e;
}

PstWriter::NodeRefs PstWriter::writeMessageNode(const Message& message, std::uint32_t* flagsOut,
                                                std::vector<std::uint8_t>* rowOut) {
    const FileFormat format = m_options.format;
    SubnodeSink sink;
    std::vector<StoredProperty> props = storeProps(message.props);
    std::uint64_t size = 0;

    auto defaultProp = [&](std::uint16_t id, const PropValue& v) {
        if (findStored(props, id) == nullptr) {
            props.push_back({id, storeValue(v, format)});
        }
    };
    defaultProp(tag::kMessageClass, PropValue::unicode("IPM.Note"));
    defaultProp(tag::kImportance, PropValue::int32(1));
    defaultProp(tag::kSensitivity, PropValue::int32(0));
    defaultProp(tag::kMessageStatus, PropValue::int32(0));
    if (format == FileFormat::Ansi) {
        defaultProp(tag::kMessageCodepage, PropValue::int32(1252));
    }
    // Times Outlook always has: fall back on the sent time, else a fixed date.
    std::uint64_t when = fileTime(2020, 1, 1, 12, 0, 0);
    if (const PropValue* t = message.find(tag::kClientSubmitTime)) {
        when = static_cast<std::uint64_t>(t->integer);
    }
    defaultProp(tag::kCreationTime, PropValue::time(when));
    defaultProp(tag::kLastModificationTime, PropValue::time(when));
    // Subject marker: U+0001 and a length character in front of the stored subject.
    if (m_options.subjectMarker) {
        if (const PropValue* s = message.find(tag::kSubject)) {
            if (s->text.empty() || s->text[0] != '\x01') {
                setStored(props, tag::kSubject,
                          storeValue(PropValue::unicode("\x01\x01" + s->text), format));
            }
        }
    }
    // Display lists from the recipient rows when the description gives none.
    std::string lists[4];
    for (const auto& r : message.recipients) {
        std::int64_t type = 1;
        std::string name;
        for (const auto& p : r.props) {
            if (!p.named && p.id == tag::kRecipientType) {
                type = p.value.integer & 0x0F;
            } else if (!p.named && p.id == tag::kDisplayName) {
                name = p.value.text;
            }
        }
        if (type >= 1 && type <= 3) {
            auto& l = lists[type];
            l += (l.empty() ? "" : "; ") + name;
        }
    }
    defaultProp(tag::kDisplayTo, PropValue::unicode(lists[1]));
    defaultProp(tag::kDisplayCc, PropValue::unicode(lists[2]));
    defaultProp(tag::kDisplayBcc, PropValue::unicode(lists[3]));

    // Recipient table: the usual columns plus any other tagged property a recipient has.
    {
        std::vector<std::uint32_t> columns = kRecipientColumns;
        std::vector<std::vector<StoredProperty>> stored;
        for (std::size_t i = 0; i < message.recipients.size(); ++i) {
            auto rp = storeProps(message.recipients[i].props);
            if (findStored(rp, tag::kRowId) == nullptr) {
                rp.push_back({tag::kRowId, storedLong(static_cast<std::uint32_t>(i))});
            }
            for (const auto& p : rp) {
                const std::uint32_t t = static_cast<std::uint32_t>(p.id) << 16 | p.value.type;
                const bool known = std::any_of(columns.begin(), columns.end(),
                                               [&](auto c) { return (c >> 16) == p.id; });
                if (!known) {
                    columns.push_back(t);
                }
            }
            stored.push_back(std::move(rp));
        }
        std::vector<TableRow> rows;
        for (std::size_t i = 0; i < stored.size(); ++i) {
            rows.push_back({static_cast<std::uint32_t>(i), cellsFor(columns, stored[i])});
        }
        sink.add({kNidRecipientTemplate, writeTableContext(m_ndb, columns, rows, sink), 0});
    }

    // Attachments: each one a subnode with its own property context and subnodes.
    if (!message.attachments.empty()) {
        std::vector<TableRow> rows;
        std::uint32_t number = 0;
        for (const auto& a : message.attachments) {
            SubnodeSink attSink;
            std::vector<StoredProperty> ap = storeProps(a.props);
            const std::uint32_t attNid = makeNid(nid_type::kAttachment, sink.nextIndex());
            std::uint64_t attSize = 0;
            if (a.embedded) {
                std::uint32_t innerFlags = 0;
                const NodeRefs inner = writeMessageNode(*a.embedded, &innerFlags, nullptr);
                const std::uint32_t embNid = makeNid(nid_type::kNormalMessage, attSink.nextIndex());
                attSink.add({embNid, inner.bidData, inner.bidSub});
                StoredValue obj{prop_type::kObject, {}};
                append32(obj.bytes, embNid);
                append32(obj.bytes, static_cast<std::uint32_t>(inner.size));
                setStored(ap, tag::kAttachDataBinary, std::move(obj));
                attSize = inner.size;
                if (findStored(ap, tag::kAttachMethod) == nullptr) {
                    ap.push_back({tag::kAttachMethod, storedLong(5)});
                }
            } else {
                StoredValue bin{prop_type::kBinary, a.data};
                setStored(ap, tag::kAttachDataBinary, std::move(bin));
                attSize = a.data.size();
                if (findStored(ap, tag::kAttachMethod) == nullptr) {
                    ap.push_back({tag::kAttachMethod, storedLong(1)});
                }
            }
            if (findStored(ap, tag::kRenderingPosition) == nullptr) {
                ap.push_back({tag::kRenderingPosition, storedLong(0xFFFFFFFFu)});
            }
            if (findStored(ap, tag::kAttachNumber) == nullptr) {
                ap.push_back({tag::kAttachNumber, storedLong(number)});
            }
            for (const auto& p : ap) {
                attSize += p.value.bytes.size() + 8;
            }
            attSize = std::min<std::uint64_t>(attSize, 0x7FFFFFFF);
            if (findStored(ap, tag::kAttachSize) == nullptr) {
                ap.push_back({tag::kAttachSize, storedLong(static_cast<std::uint32_t>(attSize))});
            }
            // The short name column falls back on the long name.
            std::vector<StoredProperty> rowProps = ap;
            if (findStored(rowProps, tag::kAttachFilename) == nullptr) {
                if (const StoredValue* l = findStored(rowProps, tag::kAttachLongFilename)) {
                    rowProps.push_back({tag::kAttachFilename, *l});
                }
            }
            rows.push_back({attNid, cellsFor(kAttachmentColumns, rowProps)});
            const std::uint64_t bidData = writePropertyContext(m_ndb, std::move(ap), attSink);
            sink.add({attNid, bidData, attSink.write(m_ndb)});
            size += attSize;
            ++number;
        }
        sink.add(
            {kNidAttachmentTemplate, writeTableContext(m_ndb, kAttachmentColumns, rows, sink), 0});
    }

    std::uint32_t flags = storedAsLong(findStored(props, tag::kMessageFlags), kMsgFlagRead);
    if (findStored(props, tag::kMessageFlags) == nullptr) {
        if (!message.attachments.empty()) {
            flags |= kMsgFlagHasAttach;
        }
        props.push_back({tag::kMessageFlags, storedLong(flags)});
    }
    for (const auto& p : props) {
        size += p.value.bytes.size() + 8;
    }
    size = std::min<std::uint64_t>(size, 0x7FFFFFFF);
    if (findStored(props, tag::kMessageSize) == nullptr) {
        props.push_back({tag::kMessageSize, storedLong(static_cast<std::uint32_t>(size))});
    }
    if (flagsOut != nullptr) {
        *flagsOut = flags;
    }
    if (rowOut != nullptr) {
        *rowOut = packRow(cellsFor(kContentsColumns, props));
    }
    NodeRefs refs;
    refs.bidData = writePropertyContext(m_ndb, std::move(props), sink);
    refs.bidSub = sink.write(m_ndb);
    refs.size = size;
    return refs;
}

std::uint32_t PstWriter::addMessage(FolderId folderId, const Message& message) {
    auto it = m_folders.find(folderId);
    if (it == m_folders.end() || it->second.contentsWritten || m_finished ||
        folderId == kRootFolder) {
        throw Failure(err::kInvalidProcedureCall, "addMessage: folder not open for items");
    }
    if (m_nextMessageIndex >= (1u << 26)) {
        throw Failure(err::kInvalidProcedureCall, "too many items");
    }
    const std::uint32_t nid = makeNid(nid_type::kNormalMessage, m_nextMessageIndex++);
    std::uint32_t flags = 0;
    std::vector<std::uint8_t> row;
    const NodeRefs refs = writeMessageNode(message, &flags, &row);
    m_ndb.addNode(nid, refs.bidData, refs.bidSub, folderId);
    Folder& f = it->second;
    f.rows.push_back(std::move(row));
    f.rowIds.push_back(nid);
    ++f.count;
    if ((flags & kMsgFlagRead) == 0) {
        ++f.unread;
    }
    return nid;
}

void PstWriter::writeContents(FolderId id, Folder& f) {
    if (f.contentsWritten) {
        return;
    }
    std::vector<TableRow> rows;
    rows.reserve(f.rows.size());
    for (std::size_t i = 0; i < f.rows.size(); ++i) {
        rows.push_back({f.rowIds[i], unpackRow(f.rows[i], kContentsColumns.size())});
        std::vector<std::uint8_t>().swap(f.rows[i]);
    }
    SubnodeSink sink;
    const std::uint64_t data = writeTableContext(m_ndb, kContentsColumns, rows, sink);
    m_ndb.addNode(tableNid(id, nid_type::kContentsTable), data, sink.write(m_ndb), 0);
    f.rows.clear();
    f.rows.shrink_to_fit();
    f.rowIds.clear();
    f.rowIds.shrink_to_fit();
    f.contentsWritten = true;
}

void PstWriter::finishFolderContents(FolderId id) {
    auto it = m_folders.find(id);
    if (it == m_folders.end()) {
        throw Failure(err::kInvalidProcedureCall, "finishFolderContents: no such folder");
    }
    writeContents(id, it->second);
}

void PstWriter::writeFolder(FolderId id) {
    Folder& f = m_folders.at(id);
    const FileFormat format = m_options.format;
    std::vector<StoredProperty> props;
    props.push_back({tag::kDisplayName, storeValue(PropValue::unicode(f.name), format)});
    props.push_back({tag::kContentCount, storedLong(f.count)});
    props.push_back({tag::kContentUnreadCount, storedLong(f.unread)});
    props.push_back(
        {tag::kSubfolders, storeValue(PropValue::boolean(!f.children.empty()), format)});
    if (!f.containerClass.empty()) {
        props.push_back(
            {tag::kContainerClass, storeValue(PropValue::unicode(f.containerClass), format)});
    }
    SubnodeSink pcSink;
    const std::uint64_t pc = writePropertyContext(m_ndb, props, pcSink);
    m_ndb.addNode(id, pc, pcSink.write(m_ndb), f.parent);

    // Hierarchy table: one row per child folder, from the child's own properties.
    std::vector<TableRow> rows;
    for (FolderId c : f.children) {
        const Folder& child = m_folders.at(c);
        std::vector<StoredProperty> cp;
        cp.push_back({tag::kDisplayName, storeValue(PropValue::unicode(child.name), format)});
        cp.push_back({tag::kContentCount, storedLong(child.count)});
        cp.push_back({tag::kContentUnreadCount, storedLong(child.unread)});
        cp.push_back(
            {tag::kSubfolders, storeValue(PropValue::boolean(!child.children.empty()), format)});
        if (!child.containerClass.empty()) {
            cp.push_back({tag::kContainerClass,
                          storeValue(PropValue::unicode(child.containerClass), format)});
        }
        rows.push_back({c, cellsFor(kHierarchyColumns, cp)});
    }
    SubnodeSink hSink;
    const std::uint64_t h = writeTableContext(m_ndb, kHierarchyColumns, rows, hSink);
    m_ndb.addNode(tableNid(id, nid_type::kHierarchyTable), h, hSink.write(m_ndb), 0);

    writeContents(id, f);

    SubnodeSink aSink;
    const std::uint64_t a = writeTableContext(m_ndb, kAssocContentsColumns, {}, aSink);
    m_ndb.addNode(tableNid(id, nid_type::kAssocContentsTable), a, aSink.write(m_ndb), 0);
}

void PstWriter::writeStore() {
    const FileFormat format = m_options.format;
    std::vector<StoredProperty> props;
    props.push_back(
        {tag::kDisplayName, storeValue(PropValue::unicode(m_options.displayName), format)});
    props.push_back(
        {tag::kRecordKey, StoredValue{prop_type::kBinary, {m_storeUid.begin(), m_storeUid.end()}}});
    props.push_back({0x35E0, StoredValue{prop_type::kBinary, entryId(m_subtree)}});
    props.push_back({0x35E3, StoredValue{prop_type::kBinary, entryId(m_deletedItems)}});
    props.push_back({0x35E7, StoredValue{prop_type::kBinary, entryId(m_searchRoot)}});
    // PidTagValidFolderMask: IPM subtree, wastebasket and finder are valid.
    props.push_back({0x35DF, storedLong(0x01 | 0x08 | 0x80)});
    if (m_options.password && !m_options.password->empty()) {
        props.push_back({tag::kPstPassword, storedLong(passwordChecksum(*m_options.password))});
    }
    SubnodeSink sink;
    const std::uint64_t pc = writePropertyContext(m_ndb, std::move(props), sink);
    m_ndb.addNode(kNidMessageStore, pc, sink.write(m_ndb), 0);
}

void PstWriter::writeNameMap() {
    // The usual property sets are listed even when unused, as in Outlook's files (a reader
    // may refuse an empty GUID stream).
    std::vector<Guid> guidList = {guids::kAppointment, guids::kTask, guids::kAddress,
                                  guids::kCommon,      guids::kLog,  guids::kNote,
                                  guids::kMeeting};
    std::vector<std::uint8_t> guidStream;
    for (const auto& g : guidList) {
        guidStream.insert(guidStream.end(), g.begin(), g.end());
    }
    std::vector<std::uint8_t> entryStream;
    std::vector<std::uint8_t> stringStream;
    std::vector<std::vector<std::uint8_t>> buckets(kNameIdBuckets);
    for (std::size_t i = 0; i < m_named.size(); ++i) {
        const NamedKey& k = m_named[i];
        std::uint16_t wGuid = 0;
        if (k.set == guids::kPsMapi) {
            wGuid = 1;
        } else if (k.set == guids::kPsPublicStrings) {
            wGuid = 2;
        } else {
            auto it = std::find(guidList.begin(), guidList.end(), k.set);
            if (it == guidList.end()) {
                guidList.push_back(k.set);
                guidStream.insert(guidStream.end(), k.set.begin(), k.set.end());
                it = guidList.end() - 1;
            }
            wGuid = static_cast<std::uint16_t>(3 + (it - guidList.begin()));
        }
        std::uint32_t propertyId = k.lid;
        std::uint32_t hash = k.lid;
        if (k.isString) {
            const auto name = store::text::utf8ToUtf16le(k.name);
            propertyId = static_cast<std::uint32_t>(stringStream.size());
            append32(stringStream, static_cast<std::uint32_t>(name.size()));
            stringStream.insert(stringStream.end(), name.begin(), name.end());
            while (stringStream.size() % 4 != 0) {
                stringStream.push_back(0);
            }
            hash = ndb::crc32(name);
        }
        const auto kind = static_cast<std::uint16_t>((wGuid << 1) | (k.isString ? 1 : 0));
        append32(entryStream, propertyId);
        append16(entryStream, kind);
        append16(entryStream, static_cast<std::uint16_t>(i));
        auto& bucket = buckets[(hash ^ kind) % kNameIdBuckets];
        append32(bucket, hash);
        append16(bucket, kind);
        append16(bucket, static_cast<std::uint16_t>(i));
    }
    std::vector<StoredProperty> props;
    props.push_back({0x0001, storedLong(kNameIdBuckets)});
    props.push_back({0x0002, StoredValue{prop_type::kBinary, guidStream}});
    props.push_back({0x0003, StoredValue{prop_type::kBinary, entryStream}});
    props.push_back({0x0004, StoredValue{prop_type::kBinary, stringStream}});
    for (std::uint32_t b = 0; b < kNameIdBuckets; ++b) {
        props.push_back({static_cast<std::uint16_t>(0x1000 + b),
                         StoredValue{prop_type::kBinary, std::move(buckets[b])}});
    }
    SubnodeSink sink;
    const std::uint64_t pc = writePropertyContext(m_ndb, std::move(props), sink);
    m_ndb.addNode(kNidNameToIdMap, pc, sink.write(m_ndb), 0);
}

void PstWriter::writeTemplates() {
    const std::pair<std::uint32_t, const std::vector<std::uint32_t>*> templates[] = {
        {kNidHierarchyTemplate, &kHierarchyColumns},
        {kNidContentsTemplate, &kContentsColumns},
        {kNidAssocContentsTemplate, &kAssocContentsColumns},
        {kNidSearchContentsTemplate, &kContentsColumns},
        {kNidAttachmentTemplate, &kAttachmentColumns},
        {kNidRecipientTemplate, &kRecipientColumns},
    };
    for (const auto& [nid, columns] : templates) {
        SubnodeSink sink;
        const std::uint64_t data = writeTableContext(m_ndb, *columns, {}, sink);
        m_ndb.addNode(nid, data, sink.write(m_ndb), 0);
    }
    for (std::uint32_t nid : kEmptyInternalNodes) {
        m_ndb.addNode(nid, 0, 0, 0);
    }
}

void PstWriter::finish() {
    if (m_finished) {
        return;
    }
    writeStore();
    writeNameMap();
    writeTemplates();
    for (auto& [id, f] : m_folders) {
        (void)f;
        writeFolder(id);
    }
    m_ndb.noteNid(makeNid(nid_type::kNormalMessage, m_nextMessageIndex - 1));
    m_ndb.finish();
    m_finished = true;
}

} // namespace tvn::tools
