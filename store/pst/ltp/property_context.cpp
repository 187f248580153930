// Property context: [MS-PST] section 2.3.3 (LTP layer).

#include "store/pst/ltp/property_context.h"

#include <algorithm>
#include <concepts>
#include <string>

#include "store/pst/byte_reader.h"

namespace tvn::store::pst::ltp {

namespace {

// Whether a PC stores a value of this type in its 4-byte record slot.
bool storedInline(std::uint16_t type) {
    if (isMultiValued(type)) {
        return false;
    }
    const std::size_t size = fixedTypeSize(type);
    if (size > 0) {
        return size <= 4;
    }
    switch (type) {
    case prop_type::kString8:
    case prop_type::kUnicode:
    case prop_type::kBinary:
    case prop_type::kObject:
    case prop_type::kServerId:
    case prop_type::kRestriction:
    case prop_type::kRuleAction:
        return false;
    default:
        // PT_NULL, PT_UNSPECIFIED and types this reader does not know: keep the raw slot
        // rather than follow it as a reference that may not be one.
        return true;
    }
}

std::string valueText(const PropertyValue& v) {
    return "property " + hexText(v.tag());
}

} // namespace

void locateByHnid(const Heap& heap, PropertyValue& v, std::uint32_t hnid) {
    v.hnid = hnid;
    if (hnidIsHeapId(hnid)) {
        try {
            v.heapBytes = heap.item(HeapId{hnid});
            v.storage = ValueStorage::Heap;
        } catch (const ReadError&) {
            v.storage = ValueStorage::Damaged;
        }
    } else {
        v.subnode = ndb::NodeId{hnid};
        v.storage = ValueStorage::Subnode;
    }
}

std::vector<std::uint8_t> readValueBytes(const Heap& heap, const PropertyValue& value) {
    switch (value.storage) {
    case ValueStorage::Inline: {
        const auto s = value.inlineSpan();
        return {s.begin(), s.end()};
    }
    case ValueStorage::Heap:
        return {value.heapBytes.begin(), value.heapBytes.end()};
    case ValueStorage::Subnode:
        return valueStream(heap, value).readAll();
    case ValueStorage::Absent:
        return {};
    case ValueStorage::Damaged:
        (void)heap.item(HeapId{value.hnid}); // throws the reason
        break;
    }
    throwCorrupt("unreadable " + valueText(value) + " (HNID " + hexText(value.hnid) + ")");
}

ndb::DataStream valueStream(const Heap& heap, const PropertyValue& value) {
    if (value.storage != ValueStorage::Subnode) {
        throwCorrupt(valueText(value) + " is not stored in a subnode");
    }
    const auto& db = heap.database();
    return db->dataStream(db->subnode(heap.node(), value.subnode));
}

ObjectRef readObjectRef(const Heap& heap, const PropertyValue& value) {
    if ((value.type & ~prop_type::kMultiValue) != prop_type::kObject) {
        throwCorrupt(valueText(value) + " is not an object");
    }
    if (value.storage == ValueStorage::Subnode) {
        // Some writers point the HNID straight at the object's subnode.
        return {value.subnode, 0};
    }
    const auto bytes = readValueBytes(heap, value);
    ByteReader r(bytes, kNoOffset, "object reference");
    ObjectRef ref;
    ref.subnode = ndb::NodeId{r.read<std::uint32_t>()};
    ref.size = r.read<std::uint32_t>();
    return ref;
}

PropertyContext::PropertyContext(std::shared_ptr<const ndb::NodeDatabase> db,
                                 const ndb::NodeRef& node)
    : m_heap(std::move(db), node) {
    if (m_heap.clientSignature() != heap_client::kPropertyContext) {
        throwCorrupt("invalid PC bClientSig " + hexText(m_heap.clientSignature()) + " in node " +
                     hexText(ndb::raw(node.nid)));
    }
    const BTreeOnHeap bth(m_heap, m_heap.userRoot());
    if (bth.keySize() != 2 || bth.dataSize() != 6) {
        throwCorrupt("invalid PC BTH key/data sizes " + std::to_string(bth.keySize()) + "/" +
                     std::to_string(bth.dataSize()) + " in node " + hexText(ndb::raw(node.nid)));
    }
    bth.forEach([&](std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
        PropertyValue v;
        v.id = loadLe<std::uint16_t>(key, 0);
        v.type = loadLe<std::uint16_t>(data, 0);
        const std::uint32_t slot = loadLe<std::uint32_t>(data, 2);
        if (storedInline(v.type)) {
            v.storage = ValueStorage::Inline;
            for (std::size_t i = 0; i < 4; ++i) {
                v.inlineBytes[i] = static_cast<std::uint8_t>(slot >> (8 * i));
            }
            const std::size_t size = fixedTypeSize(v.type);
            v.inlineSize = static_cast<std::uint8_t>(size > 0 ? size : 4);
        } else {
            locateByHnid(m_heap, v, slot);
        }
        m_props.push_back(v);
        return true;
    });
    // Records are sorted in a sound file; sort anyway so that find() is right on any input.
    std::stable_sort(m_props.begin(), m_props.end(),
                     [](const PropertyValue& a, const PropertyValue& b) { return a.id < b.id; });
}

const PropertyValue* PropertyContext::find(std::uint16_t id) const noexcept {
    const auto it =
        std::lower_bound(m_props.begin(), m_props.end(), id,
                         [](const PropertyValue& v, std::uint16_t k) { return v.id < k; });
    if (it == m_props.end() || it->id != id) {
        return nullptr;
    }
    return &*it;
}

std::vector<std::uint8_t> PropertyContext::read(const PropertyValue& value) const {
    return readValueBytes(m_heap, value);
}

ndb::DataStream PropertyContext::stream(const PropertyValue& value) const {
    return valueStream(m_heap, value);
}

ObjectRef PropertyContext::object(const PropertyValue& value) const {
    return readObjectRef(m_heap, value);
}

ndb::NodeRef PropertyContext::objectNode(const PropertyValue& value) const {
    const ObjectRef ref = object(value);
    return database()->subnode(node(), ref.subnode);
}

namespace {

template <std::unsigned_integral T>
T fixedValue(const PropertyContext& pc, const PropertyValue& v) {
    const auto bytes = pc.read(v);
    if (bytes.size() < sizeof(T)) {
        throwCorrupt(valueText(v) + " has " + std::to_string(bytes.size()) + " bytes, needs " +
                     std::to_string(sizeof(T)));
    }
    return loadLe<T>(bytes, 0);
}

} // namespace

std::optional<std::int32_t> PropertyContext::int32(std::uint16_t id) const {
    const auto* v = find(id);
    if (v == nullptr) {
        return std::nullopt;
    }
    if (v->type == prop_type::kInt16) {
        return static_cast<std::int16_t>(fixedValue<std::uint16_t>(*this, *v));
    }
    if (v->type != prop_type::kInt32 && v->type != prop_type::kError) {
        throwCorrupt(valueText(*v) + " is not a 32-bit integer");
    }
    return static_cast<std::int32_t>(fixedValue<std::uint32_t>(*this, *v));
}

std::optional<std::int64_t> PropertyContext::int64(std::uint16_t id) const {
    const auto* v = find(id);
    if (v == nullptr) {
        return std::nullopt;
    }
    if (v->type != prop_type::kInt64 && v->type != prop_type::kSysTime &&
        v->type != prop_type::kCurrency) {
        throwCorrupt(valueText(*v) + " is not a 64-bit integer");
    }
    return static_cast<std::int64_t>(fixedValue<std::uint64_t>(*this, *v));
}

std::optional<bool> PropertyContext::boolean(std::uint16_t id) const {
    const auto* v = find(id);
    if (v == nullptr) {
        return std::nullopt;
    }
    if (v->type != prop_type::kBoolean) {
        throwCorrupt(valueText(*v) + " is not a boolean");
    }
    return fixedValue<std::uint8_t>(*this, *v) != 0;
}

} // namespace tvn::store::pst::ltp
