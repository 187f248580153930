#include "store/pst/messaging/named_properties.h"

#include <set>
#include <unordered_map>

#include "store/pst/byte_reader.h"
#include "store/pst/messaging/property_reader.h"
#include "store/text/utf.h"

namespace tvn::store::pst::messaging {

namespace {

// Properties of the map's PC.
constexpr std::uint16_t kGuidStream = 0x0002;
constexpr std::uint16_t kEntryStream = 0x0003;
constexpr std::uint16_t kStringStream = 0x0004;

constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kGuidSize = 16;

} // namespace

void NamedPropertyMap::add(const Guid& set, std::uint32_t lid, std::uint16_t id) {
    m_byLid.emplace(std::pair(set, lid), id);
}

void NamedPropertyMap::add(const Guid& set, std::string name, std::uint16_t id) {
    m_byName.emplace(std::pair(set, std::move(name)), id);
}

NamedPropertyMap NamedPropertyMap::read(const ltp::PropertyContext& pc) {
    const PropertyReader props(pc);
    const auto guids = props.binary(kGuidStream).value_or(std::vector<std::uint8_t>{});
    const auto entries = props.binary(kEntryStream).value_or(std::vector<std::uint8_t>{});
    const auto strings = props.binary(kStringStream).value_or(std::vector<std::uint8_t>{});

    NamedPropertyMap map;
    // Names are decoded once per offset, however many entries name the same string, and
    // the bytes of the names decoded and stored add up to no more than the string stream
    // holds (the names of a sound map neither overlap nor repeat), so the work is bounded
    // by the streams' sizes.
    std::unordered_map<std::size_t, std::string> decoded;
    std::set<std::pair<Guid, std::size_t>> stored;
    std::size_t budget = strings.size();
    const std::size_t guidCount = guids.size() / kGuidSize;
    const std::size_t entryCount = entries.size() / kEntrySize;
    for (std::size_t i = 0; i < entryCount; ++i) {
        const auto e = std::span(entries).subspan(i * kEntrySize, kEntrySize);
        const auto propertyId = loadLe<std::uint32_t>(e, 0);
        const auto kindAndGuid = loadLe<std::uint16_t>(e, 4);
        const auto propIndex = loadLe<std::uint16_t>(e, 6);
        const bool isString = (kindAndGuid & 1U) != 0;
        const std::size_t guidIndex = kindAndGuid >> 1U;
        if (propIndex > 0x7FFF) {
            continue;
        }
        const auto id = static_cast<std::uint16_t>(0x8000U + propIndex);

        Guid set;
        if (guidIndex == 1) {
            set = property_set::kMapi;
        } else if (guidIndex == 2) {
            set = property_set::kPublicStrings;
        } else if (guidIndex >= 3 && guidIndex - 3 < guidCount) {
            const auto g = std::span(guids).subspan((guidIndex - 3) * kGuidSize, kGuidSize);
            std::copy(g.begin(), g.end(), set.bytes.begin());
        } else {
            continue; // no GUID, or one past the stream: nothing can look it up
        }

        if (!isString) {
            map.add(set, propertyId, id);
            continue;
        }
        const std::size_t at = propertyId;
        if (at > strings.size() || strings.size() - at < 4) {
            continue;
        }
        if (stored.count({set, at}) != 0) {
            continue; // the first entry for this name holds it
        }
        const auto length = loadLe<std::uint32_t>(std::span(strings), at);
        if (length > strings.size() - at - 4 || length > budget) {
            continue;
        }
        budget -= length;
        auto it = decoded.find(at);
        if (it == decoded.end()) {
            it = decoded
                     .emplace(
                         at, store::text::utf16leToUtf8(std::span(strings).subspan(at + 4, length)))
                     .first;
        }
        stored.insert({set, at});
        map.add(set, it->second, id);
    }
    return map;
}

std::optional<NamedPropertyMap::Name> NamedPropertyMap::nameOf(std::uint16_t id) const {
    for (const auto& [key, value] : m_byLid) {
        if (value == id) {
            return Name{key.first, key.second, {}};
        }
    }
    for (const auto& [key, value] : m_byName) {
        if (value == id) {
            return Name{key.first, std::nullopt, key.second};
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> NamedPropertyMap::find(const Guid& set, std::uint32_t lid) const {
    const auto it = m_byLid.find(std::pair(set, lid));
    if (it == m_byLid.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::uint16_t> NamedPropertyMap::find(const Guid& set, std::string_view name) const {
    const auto it = m_byName.find(std::pair(set, std::string(name)));
    if (it == m_byName.end()) {
        return std::nullopt;
    }
    return it->second;
}

} // namespace tvn::store::pst::messaging
