#include "store/msg/msg_writer.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include <zlib.h>

#include "store/failure.h"
#include "store/text/utf.h"

namespace tvn::store::msg {

namespace {

constexpr std::uint32_t kEmbeddedTag = 0x3701000D;

// The property stream's header size: the top message also counts its recipients and
// attachments and reserves 8 more bytes; an embedded message counts them; recipients and
// attachments have only the reserved 8 bytes.
enum class Level { Top, Embedded, Child };

// The class of a storage holding a message.
constexpr std::array<std::uint8_t, 16> kMessageClassId = {
    0x0B, 0x0D, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

std::string hex8(std::uint32_t value) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", value);
    return buf;
}

std::string streamName(std::uint32_t tag) {
    return "__substg1.0_" + hex8(tag);
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::uint32_t clamp32(std::uint64_t n) {
    return n > 0xFFFFFFFEULL ? 0xFFFFFFFEU : static_cast<std::uint32_t>(n);
}

// Adds the stream of one variable-size value; the document outlives the tree.
void addValueStream(CfbStorage& storage, const std::string& name, const MsgProperty& p) {
    if (p.producer) {
        storage.addStream(name, p.size, p.producer);
    } else {
        const auto* bytes = &p.bytes;
        storage.addStream(name, bytes->size(), [bytes](ByteSink& sink) { sink.write(*bytes); });
    }
}

// Adds the stream(s) of property `p` and returns its 8-byte value field.
std::array<std::uint8_t, 8> addProperty(CfbStorage& storage, const MsgProperty& p) {
    std::array<std::uint8_t, 8> value{};
    const std::uint16_t type = p.type();
    auto setSize = [&](std::uint32_t size) {
        for (int i = 0; i < 4; ++i) {
            value[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
        }
    };
    if (isFixedType(type)) {
        std::copy_n(p.bytes.begin(), std::min<std::size_t>(p.bytes.size(), 8), value.begin());
        return value;
    }
    if (type == ptype::kObject) {
        setSize(0xFFFFFFFF);
        return value;
    }
    const std::string name = streamName(p.tag);
    if ((type & ptype::kMultiValue) != 0) {
        const auto base = static_cast<std::uint16_t>(type & ~ptype::kMultiValue & 0xFFFF);
        if (base != ptype::kUnicode && base != ptype::kString8 && base != ptype::kBinary) {
            addValueStream(storage, name, p); // fixed-size values, packed
            setSize(clamp32(p.bytes.size()));
            return value;
        }
        // A stream of lengths, then one stream per value (strings with their terminator).
        std::vector<std::uint8_t> lengths;
        for (std::size_t i = 0; i < p.items.size(); ++i) {
            std::vector<std::uint8_t> item = p.items[i];
            if (base == ptype::kUnicode) {
                item.insert(item.end(), 2, 0);
            } else if (base == ptype::kString8) {
                item.push_back(0);
            }
            put32(lengths, clamp32(item.size()));
            if (base == ptype::kBinary) {
                put32(lengths, 0);
            }
            storage.addStream(name + "-" + hex8(static_cast<std::uint32_t>(i)), std::move(item));
        }
        setSize(clamp32(lengths.size()));
        storage.addStream(name, std::move(lengths));
        return value;
    }
    addValueStream(storage, name, p);
    std::uint64_t size = p.valueSize();
    if (type == ptype::kUnicode) {
        size += 2; // the terminator a reader expects to add
    } else if (type == ptype::kString8) {
        size += 1;
    }
    setSize(clamp32(size));
    return value;
}

void addObject(CfbStorage& storage, const PropertyList& props, Level level, std::size_t recipients,
               std::size_t attachments, bool embedded) {
    std::vector<std::uint8_t> stream(8, 0);
    if (level != Level::Child) {
        put32(stream, static_cast<std::uint32_t>(recipients));  // next recipient id
        put32(stream, static_cast<std::uint32_t>(attachments)); // next attachment id
        put32(stream, static_cast<std::uint32_t>(recipients));
        put32(stream, static_cast<std::uint32_t>(attachments));
        if (level == Level::Top) {
            stream.insert(stream.end(), 8, 0);
        }
    }
    auto addEntry = [&](std::uint32_t tag, std::uint32_t flags,
                        const std::array<std::uint8_t, 8>& value) {
        put32(stream, tag);
        put32(stream, flags);
        stream.insert(stream.end(), value.begin(), value.end());
    };
    for (const auto& p : props) {
        if (p.tag == kEmbeddedTag || !isStorableType(p.type())) {
            continue;
        }
        addEntry(p.tag, p.flags, addProperty(storage, p));
    }
    if (embedded) {
        std::array<std::uint8_t, 8> value{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
        addEntry(kEmbeddedTag, 0x6, value);
    }
    storage.addStream("__properties_version1.0", std::move(stream));
}

void addMessage(CfbStorage& storage, const MsgMessage& message, Level level, int depth) {
    if (depth > kMaxNesting) {
        throw Failure(err::kCorruptData, "Attached messages are nested more than " +
                                             std::to_string(kMaxNesting) + " levels deep.");
    }
    addObject(storage, message.properties, level, message.recipients.size(),
              message.attachments.size(), false);
    for (std::size_t i = 0; i < message.recipients.size(); ++i) {
        auto& recip =
            storage.addStorage("__recip_version1.0_#" + hex8(static_cast<std::uint32_t>(i)));
        addObject(recip, message.recipients[i], Level::Child, 0, 0, false);
    }
    for (std::size_t i = 0; i < message.attachments.size(); ++i) {
        const auto& attachment = message.attachments[i];
        auto& attach =
            storage.addStorage("__attach_version1.0_#" + hex8(static_cast<std::uint32_t>(i)));
        addObject(attach, attachment.properties, Level::Child, 0, 0,
                  attachment.embedded != nullptr || attachment.ole != nullptr);
        if (attachment.ole) {
            copyStorage(attach.addStorage(streamName(kEmbeddedTag)), attachment.ole,
                        attachment.oleRoot);
        }
        if (attachment.embedded) {
            auto& inner = attach.addStorage(streamName(kEmbeddedTag));
            inner.classId = kMessageClassId;
            addMessage(inner, *attachment.embedded, Level::Embedded, depth + 1);
        }
    }
}

constexpr std::array<std::uint8_t, 16> kPsMapi = {0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                  0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::array<std::uint8_t, 16> kPsPublicStrings = {
    0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// The named-property mapping: GUIDs, one entry per name, the string names, and the hash
// buckets a reader may use to find a name's id.
void addNames(CfbStorage& root, const std::vector<PropertyName>& names) {
    auto& storage = root.addStorage("__nameid_version1.0");
    std::vector<std::uint8_t> guids;
    std::vector<std::uint8_t> entries;
    std::vector<std::uint8_t> strings;
    std::map<std::uint32_t, std::vector<std::uint8_t>> buckets;
    std::vector<std::array<std::uint8_t, 16>> known;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto& n = names[i];
        std::uint32_t guidIndex = 0;
        if (n.set == kPsMapi) {
            guidIndex = 1;
        } else if (n.set == kPsPublicStrings) {
            guidIndex = 2;
        } else {
            auto it = std::find(known.begin(), known.end(), n.set);
            if (it == known.end()) {
                known.push_back(n.set);
                guids.insert(guids.end(), n.set.begin(), n.set.end());
                it = known.end() - 1;
            }
            guidIndex = 3 + static_cast<std::uint32_t>(it - known.begin());
        }
        const std::uint32_t kind = n.lid ? 0 : 1;
        const std::uint32_t indexAndKind =
            (static_cast<std::uint32_t>(i) << 16) | (guidIndex << 1) | kind;
        std::uint32_t id = 0;
        if (n.lid) {
            id = *n.lid;
            put32(entries, id);
        } else {
            const auto utf16 = text::utf8ToUtf16le(n.name);
            put32(entries, static_cast<std::uint32_t>(strings.size()));
            put32(strings, static_cast<std::uint32_t>(utf16.size()));
            strings.insert(strings.end(), utf16.begin(), utf16.end());
            while (strings.size() % 4 != 0) {
                strings.push_back(0);
            }
            id =
                static_cast<std::uint32_t>(crc32(0, utf16.data(), static_cast<uInt>(utf16.size())));
        }
        put32(entries, indexAndKind);
        const std::uint32_t bucket = 0x1000 + ((id ^ ((guidIndex << 1) | kind)) % 0x1F);
        put32(buckets[bucket], id);
        put32(buckets[bucket], indexAndKind);
    }
    storage.addStream(streamName(0x00020102), std::move(guids));
    storage.addStream(streamName(0x00030102), std::move(entries));
    storage.addStream(streamName(0x00040102), std::move(strings));
    for (auto& [bucket, bytes] : buckets) {
        storage.addStream(streamName((bucket << 16) | 0x0102), std::move(bytes));
    }
}

void copyTree(CfbStorage& to, const std::shared_ptr<const CfbReader>& from, std::uint32_t id,
              int depth) {
    // The reader takes every entry once, so only a tree this deep can be this deep.
    if (depth > 256) {
        throw Failure(err::kCorruptData, "An attached object's storage is nested too deeply.");
    }
    to.classId = from->entries()[id].classId;
    for (const auto c : from->children(id)) {
        const auto& e = from->entries()[c];
        if (e.isStorage()) {
            copyTree(to.addStorage(e.name), from, c, depth + 1);
        } else if (e.isStream()) {
            to.addStream(e.name, e.size, [from, c](ByteSink& sink) {
                from->readTo(c, [&](std::span<const std::uint8_t> b) { sink.write(b); });
            });
        }
    }
}

} // namespace

void copyStorage(CfbStorage& to, const std::shared_ptr<const CfbReader>& from, std::uint32_t id) {
    copyTree(to, from, id, 0);
}

bool isFixedType(std::uint16_t type) {
    // Single values of at most eight bytes sit in the property stream; a GUID does not.
    const std::size_t size = pst::ltp::fixedTypeSize(type);
    return !pst::ltp::isMultiValued(type) && size != 0 && size <= 8;
}

bool isStorableType(std::uint16_t type) {
    const auto base = static_cast<std::uint16_t>(type & ~ptype::kMultiValue & 0xFFFF);
    if ((type & ptype::kMultiValue) != 0 &&
        (base == ptype::kBoolean || base == ptype::kError || base == ptype::kObject)) {
        return false;
    }
    return isFixedType(base) || base == ptype::kString8 || base == ptype::kUnicode ||
           base == ptype::kGuid || base == ptype::kBinary || type == ptype::kObject;
}

const MsgProperty* findProperty(const PropertyList& list, std::uint16_t id) {
    for (const auto& p : list) {
        if (p.id() == id) {
            return &p;
        }
    }
    return nullptr;
}

CfbStorage buildMsgTree(const MsgDocument& document) {
    CfbStorage root;
    root.classId = kMessageClassId;
    addMessage(root, document.message, Level::Top, 0);
    addNames(root, document.names);
    return root;
}

CfbWriteResult writeMsg(const MsgDocument& document, ByteSink& sink, const CfbLimits& limits) {
    return writeMsg(document.message, document.names, sink, limits);
}

CfbWriteResult writeMsg(const MsgMessage& message, const std::vector<PropertyName>& names,
                        ByteSink& sink, const CfbLimits& limits) {
    CfbStorage root;
    root.classId = kMessageClassId;
    addMessage(root, message, Level::Top, 0);
    addNames(root, names);
    return writeCompoundFile(root, sink, limits);
}

} // namespace tvn::store::msg
