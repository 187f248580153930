#pragma once

// The property context (PC): the properties of one node (message store, folder, message,
// attachment, embedded message, name-to-id map) as a BTree-on-heap from property id to
// (type, value). Values up to 4 bytes are inline, larger ones live in the heap or, when big,
// in a subnode of the same node.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "store/pst/ltp/heap.h"
#include "store/pst/ltp/property_value.h"

namespace tvn::store::pst::ltp {

class PropertyContext {
public:
    // Reads the PC of `node` (a top-level node, or a subnode such as an attachment or an
    // embedded message). All properties are decoded into the list here; their values are
    // located but not read. Throws err::kCorruptData when the node is not a readable PC.
    PropertyContext(std::shared_ptr<const ndb::NodeDatabase> db, const ndb::NodeRef& node);

    const ndb::NodeRef& node() const noexcept { return m_heap.node(); }
    const std::shared_ptr<const ndb::NodeDatabase>& database() const noexcept {
        return m_heap.database();
    }

    // All properties, in property-id order. A property whose own record is damaged (an
    // HNID naming no allocation, say) is still listed; reading it throws.
    const std::vector<PropertyValue>& properties() const noexcept { return m_props; }
    // The property with this id, or nullptr.
    const PropertyValue* find(std::uint16_t id) const noexcept;

    // The bytes of a value: inline bytes, a copy of heap bytes, or the whole subnode stream.
    std::vector<std::uint8_t> read(const PropertyValue& value) const;
    // The bytes of a value as a stream of blocks (for a subnode value; a one-block stream is
    // not synthesised for inline/heap values: use read()). Throws unless storage is Subnode.
    ndb::DataStream stream(const PropertyValue& value) const;
    // A PT_OBJECT value's subnode and size.
    ObjectRef object(const PropertyValue& value) const;
    // The node of a PT_OBJECT value (e.g. an embedded message), ready for another
    // PropertyContext.
    ndb::NodeRef objectNode(const PropertyValue& value) const;

    // Convenience readers for fixed-size values; nothing when absent, throw when the stored
    // type or size does not fit.
    std::optional<std::int32_t> int32(std::uint16_t id) const;
    std::optional<std::int64_t> int64(std::uint16_t id) const; // PT_I8, PT_SYSTIME, PT_CURRENCY
    std::optional<bool> boolean(std::uint16_t id) const;

private:
    Heap m_heap;
    std::vector<PropertyValue> m_props;
};

// Locates a value stored by reference (HNID), in the heap or in a subnode, setting its
// storage, hnid and heapBytes or subnode. A heap id that names no usable allocation marks
// the value Damaged instead of failing the whole context. Shared by PC and TC.
void locateByHnid(const Heap& heap, PropertyValue& value, std::uint32_t hnid);

// Reads a value's bytes given the heap and node that hold it; shared by PC and TC.
std::vector<std::uint8_t> readValueBytes(const Heap& heap, const PropertyValue& value);
ndb::DataStream valueStream(const Heap& heap, const PropertyValue& value);
ObjectRef readObjectRef(const Heap& heap, const PropertyValue& value);

} // namespace tvn::store::pst::ltp
