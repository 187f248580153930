#pragma once

// An Outlook message as a .msg file holds it: the message's properties, its recipients'
// and attachments' properties, an embedded message under each attachment that carries one,
// and the names of the named properties used anywhere in the tree. Both the .msg writer and
// the .msg reader work on this form; the .pst reader and the object model are turned into
// it (msg_sources.h).
//
// Property values are kept as the file stores them: fixed-size values as their
// little-endian bytes, strings as UTF-16LE without a terminator, binary values as their
// bytes. A binary value that may be large (an attachment's data) is kept as a size and a
// producer instead, so that it passes from the source file to the .msg file in pieces.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/msg/cfb_writer.h"
#include "store/pst/ltp/property_value.h"

namespace tvn::store::msg {

// Property type codes: the .pst reader's, which are MAPI's.
namespace ptype = pst::ltp::prop_type;

// Whether a value of this type sits in the property stream itself (8 bytes at most).
bool isFixedType(std::uint16_t type);
// Whether this is a type a .msg file can hold at all.
bool isStorableType(std::uint16_t type);

struct MsgProperty {
    std::uint32_t tag = 0; // id << 16 | type
    std::uint32_t flags = 0x6;
    std::vector<std::uint8_t> bytes;              // single values (and packed fixed multi-values)
    std::vector<std::vector<std::uint8_t>> items; // variable-size multi-values
    // A large binary value: written through `producer`, `size` bytes.
    std::uint64_t size = 0;
    StreamProducer producer;

    std::uint16_t id() const { return static_cast<std::uint16_t>(tag >> 16); }
    std::uint16_t type() const { return static_cast<std::uint16_t>(tag & 0xFFFF); }
    std::uint64_t valueSize() const { return producer ? size : bytes.size(); }
};

using PropertyList = std::vector<MsgProperty>;

// The name of a named property: a property set and a number or a name.
struct PropertyName {
    std::array<std::uint8_t, 16> set{}; // GUID as stored: Data1-3 little-endian
    std::optional<std::uint32_t> lid;   // numeric names
    std::string name;                   // string names (UTF-8)
    friend bool operator==(const PropertyName&, const PropertyName&) = default;
};

struct MsgMessage;

class CfbReader;

struct MsgAttachment {
    PropertyList properties;
    std::unique_ptr<MsgMessage> embedded;
    // An OLE object's storage (method 6): storage `oleRoot` of `ole`.
    std::shared_ptr<const CfbReader> ole;
    std::uint32_t oleRoot = 0;
};

struct MsgMessage {
    PropertyList properties;
    std::vector<PropertyList> recipients;
    std::vector<MsgAttachment> attachments;
};

struct MsgDocument {
    MsgMessage message;
    // Named property 0x8000 + i has names[i].
    std::vector<PropertyName> names;
};

// The property with this id in a list, or nullptr.
const MsgProperty* findProperty(const PropertyList& list, std::uint16_t id);

// How deep embedded messages may nest inside one another; deeper is taken as damage.
inline constexpr int kMaxNesting = 32;

} // namespace tvn::store::msg
