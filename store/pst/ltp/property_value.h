#pragma once

// Property types and the raw typed value the LTP layer hands out for a property of a
// property context (PC) or a cell of a table context (TC). Values are not interpreted here
// (strings are not decoded, times not converted): that is the messaging layer's job.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "store/pst/ndb/types.h"

namespace tvn::store::pst::ltp {

// Property type codes (the low 16 bits of a property tag).
namespace prop_type {
inline constexpr std::uint16_t kUnspecified = 0x0000;
inline constexpr std::uint16_t kNull = 0x0001;
inline constexpr std::uint16_t kInt16 = 0x0002;
inline constexpr std::uint16_t kInt32 = 0x0003;
inline constexpr std::uint16_t kFloat = 0x0004;
inline constexpr std::uint16_t kDouble = 0x0005;
inline constexpr std::uint16_t kCurrency = 0x0006;
inline constexpr std::uint16_t kAppTime = 0x0007;
inline constexpr std::uint16_t kError = 0x000A;
inline constexpr std::uint16_t kBoolean = 0x000B;
inline constexpr std::uint16_t kObject = 0x000D;
inline constexpr std::uint16_t kInt64 = 0x0014;
inline constexpr std::uint16_t kString8 = 0x001E; // 8-bit string in a code page
inline constexpr std::uint16_t kUnicode = 0x001F; // UTF-16LE string
inline constexpr std::uint16_t kSysTime = 0x0040; // FILETIME, UTC
inline constexpr std::uint16_t kGuid = 0x0048;
inline constexpr std::uint16_t kServerId = 0x00FB;
inline constexpr std::uint16_t kRestriction = 0x00FD;
inline constexpr std::uint16_t kRuleAction = 0x00FE;
inline constexpr std::uint16_t kBinary = 0x0102;
inline constexpr std::uint16_t kMultiValue = 0x1000; // flag: multi-valued form of the base type
} // namespace prop_type

constexpr std::uint32_t makeTag(std::uint16_t id, std::uint16_t type) noexcept {
    return (std::uint32_t{id} << 16U) | type;
}
constexpr std::uint16_t tagId(std::uint32_t tag) noexcept {
    return static_cast<std::uint16_t>(tag >> 16U);
}
constexpr std::uint16_t tagType(std::uint32_t tag) noexcept {
    return static_cast<std::uint16_t>(tag & 0xFFFFU);
}
constexpr bool isMultiValued(std::uint16_t type) noexcept {
    return (type & prop_type::kMultiValue) != 0;
}

// Size of one value of a fixed-size type (the base type for multi-valued ones), or 0 for a
// variable-size type (strings, binary, object, ...) and for unknown types.
std::size_t fixedTypeSize(std::uint16_t type) noexcept;

// Where a value's bytes live.
enum class ValueStorage {
    Inline,  // in the record / row itself (fixed types up to 4 bytes in a PC, 8 in a TC)
    Heap,    // in the heap of the PC/TC node
    Subnode, // in a subnode of the PC/TC node (big values)
    Absent,  // a table cell whose existence bit is clear
    Damaged, // the value's reference is unusable; reading it throws the reason
};

// One property value as stored. Heap bytes are a view whose lifetime is that of the
// PropertyContext / TableContext that produced the value.
struct PropertyValue {
    std::uint16_t id = 0;
    std::uint16_t type = 0;
    ValueStorage storage = ValueStorage::Absent;
    std::array<std::uint8_t, 8> inlineBytes{}; // Inline: little-endian value
    std::uint8_t inlineSize = 0;               // Inline: bytes used of inlineBytes
    std::span<const std::uint8_t> heapBytes;   // Heap
    ndb::NodeId subnode{};                     // Subnode
    std::uint32_t hnid = 0; // Heap/Subnode/Damaged: the stored HNID (for diagnostics)

    std::uint32_t tag() const noexcept { return makeTag(id, type); }
    std::span<const std::uint8_t> inlineSpan() const noexcept {
        return std::span<const std::uint8_t>(inlineBytes).first(inlineSize);
    }
};

// A PT_OBJECT value: the subnode holding the object (an embedded message's PC, or attachment
// data stored as an object) and the size the file records for it.
struct ObjectRef {
    ndb::NodeId subnode{};
    std::uint32_t size = 0;
};

// Splits the bytes of a multi-valued property into its values. Fixed base types: the bytes
// are count * size; variable base types (strings, binary, GUID arrays count as fixed):
// ulCount, ulCount 32-bit offsets, then the data. Throws err::kCorruptData on damage. The
// returned spans point into `bytes`.
std::vector<std::span<const std::uint8_t>> splitMultiValue(std::uint16_t type,
                                                           std::span<const std::uint8_t> bytes);

} // namespace tvn::store::pst::ltp
