#pragma once

// The file's map of named properties (node 0x61): which property id the file gave to each
// (property set, numeric id) and (property set, name) pair. Named properties (the PidLid...
// and PidName... ones: appointment times, task fields, contact addresses, categories) have
// ids from 0x8000 up that differ from file to file, so every read of one goes through here.
// Embedded messages share the map of their file.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/pst/ltp/property_context.h"

namespace tvn::store::pst::messaging {

// A GUID in the byte order the file stores it (Data1-3 little-endian, Data4 as written).
struct Guid {
    std::array<std::uint8_t, 16> bytes{};
    friend bool operator==(const Guid&, const Guid&) = default;
    friend auto operator<=>(const Guid&, const Guid&) = default;
};

constexpr Guid makeGuid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3,
                        std::array<std::uint8_t, 8> d4) {
    Guid g;
    for (std::size_t i = 0; i < 4; ++i) {
        g.bytes[i] = static_cast<std::uint8_t>(d1 >> (8 * i));
    }
    g.bytes[4] = static_cast<std::uint8_t>(d2);
    g.bytes[5] = static_cast<std::uint8_t>(d2 >> 8);
    g.bytes[6] = static_cast<std::uint8_t>(d3);
    g.bytes[7] = static_cast<std::uint8_t>(d3 >> 8);
    for (std::size_t i = 0; i < 8; ++i) {
        g.bytes[8 + i] = d4[i];
    }
    return g;
}

// The property sets the object model reads.
namespace property_set {
inline constexpr std::array<std::uint8_t, 8> kOle = {0xC0, 0, 0, 0, 0, 0, 0, 0x46};
inline constexpr Guid kMapi = makeGuid(0x00020328, 0, 0, kOle);
inline constexpr Guid kPublicStrings = makeGuid(0x00020329, 0, 0, kOle);
inline constexpr Guid kAppointment = makeGuid(0x00062002, 0, 0, kOle);
inline constexpr Guid kTask = makeGuid(0x00062003, 0, 0, kOle);
inline constexpr Guid kAddress = makeGuid(0x00062004, 0, 0, kOle);
inline constexpr Guid kCommon = makeGuid(0x00062008, 0, 0, kOle);
inline constexpr Guid kLog = makeGuid(0x0006200A, 0, 0, kOle);
inline constexpr Guid kNote = makeGuid(0x0006200E, 0, 0, kOle);
inline constexpr Guid kMeeting =
    makeGuid(0x6ED8DA90, 0x450B, 0x101B, {0x98, 0xDA, 0x00, 0xAA, 0x00, 0x3F, 0x13, 0x05});
} // namespace property_set

class NamedPropertyMap {
public:
    NamedPropertyMap() = default;

    // Reads the map from the PC of node 0x61. Entries whose name lies outside the string
    // stream, or that name a GUID the GUID stream does not hold, are left out, and so are
    // names past the point where the names decoded add up to more than the string stream
    // holds (only overlapping names get there); a stream that cannot be read at all throws
    // ReadError. Each name is decoded once, so the work grows with the streams' sizes.
    static NamedPropertyMap read(const ltp::PropertyContext& pc);

    // The file's property id of a numeric named property, or nothing when no item of the
    // file has it.
    std::optional<std::uint16_t> find(const Guid& set, std::uint32_t lid) const;
    // The same for a named property identified by its name (UTF-8).
    std::optional<std::uint16_t> find(const Guid& set, std::string_view name) const;

    // Which name the file gave property id `id` (0x8000 and up): the set and the number, or
    // the set and the name; nothing when the map has no such id.
    struct Name {
        Guid set;
        std::optional<std::uint32_t> lid;
        std::string name;
    };
    std::optional<Name> nameOf(std::uint16_t id) const;

    std::size_t size() const { return m_byLid.size() + m_byName.size(); }

    // Adds one entry (used by read() and by tests that build a map by hand).
    void add(const Guid& set, std::uint32_t lid, std::uint16_t id);
    void add(const Guid& set, std::string name, std::uint16_t id);

private:
    std::map<std::pair<Guid, std::uint32_t>, std::uint16_t> m_byLid;
    std::map<std::pair<Guid, std::string>, std::uint16_t, std::less<>> m_byName;
};

} // namespace tvn::store::pst::messaging
