#include "store/pst/messaging/property_reader.h"

#include <cstring>

#include "store/text/utf.h"

namespace tvn::store::pst::messaging {

namespace {

namespace pt = ltp::prop_type;

std::int64_t signedLe(std::span<const std::uint8_t> b) {
    std::uint64_t v = 0;
    for (std::size_t i = b.size(); i-- > 0;) {
        v = (v << 8U) | b[i];
    }
    // Sign-extend from the stored width.
    if (!b.empty() && b.size() < 8 && (b.back() & 0x80U) != 0) {
        v |= ~std::uint64_t{0} << (8 * b.size());
    }
    return static_cast<std::int64_t>(v);
}

} // namespace

std::string PropertyReader::decodeString(std::uint16_t type, std::span<const std::uint8_t> bytes,
                                         std::uint32_t codePage) {
    if (type == pt::kUnicode) {
        std::size_t n = bytes.size() & ~std::size_t{1};
        while (n >= 2 && bytes[n - 1] == 0 && bytes[n - 2] == 0) {
            n -= 2;
        }
        return store::text::utf16leToUtf8(bytes.first(n));
    }
    std::size_t n = bytes.size();
    while (n > 0 && bytes[n - 1] == 0) {
        --n;
    }
    return store::text::decodeCodePage(bytes.first(n), codePage);
}

std::optional<ltp::PropertyValue> PropertyReader::find(std::uint16_t id) const {
    if (m_pc != nullptr) {
        const ltp::PropertyValue* v = m_pc->find(id);
        if (v == nullptr) {
            return std::nullopt;
        }
        return *v;
    }
    auto v = m_row->find(id);
    if (!v || v->storage == ltp::ValueStorage::Absent) {
        return std::nullopt;
    }
    return v;
}

std::vector<std::uint8_t> PropertyReader::bytes(const ltp::PropertyValue& value) const {
    if (value.storage == ltp::ValueStorage::Inline) {
        const auto s = value.inlineSpan();
        return {s.begin(), s.end()};
    }
    return m_pc != nullptr ? m_pc->read(value) : m_table->read(value);
}

std::optional<std::string> PropertyReader::string(std::uint16_t id) const {
    const auto v = find(id);
    if (!v || (v->type != pt::kUnicode && v->type != pt::kString8)) {
        return std::nullopt;
    }
    return decodeString(v->type, bytes(*v), m_codePage);
}

std::optional<std::int64_t> PropertyReader::integer(std::uint16_t id) const {
    const auto v = find(id);
    if (!v) {
        return std::nullopt;
    }
    switch (v->type) {
    case pt::kInt16:
    case pt::kInt32:
    case pt::kInt64: {
        const auto b = bytes(*v);
        const std::size_t width = v->type == pt::kInt16 ? 2 : v->type == pt::kInt32 ? 4 : 8;
        if (b.size() < width) {
            return std::nullopt;
        }
        return signedLe(std::span(b).first(width));
    }
    case pt::kBoolean: {
        const auto b = bytes(*v);
        return !b.empty() && b[0] != 0 ? 1 : 0;
    }
    default:
        return std::nullopt;
    }
}

std::optional<bool> PropertyReader::boolean(std::uint16_t id) const {
    const auto n = integer(id);
    if (!n) {
        return std::nullopt;
    }
    return *n != 0;
}

std::optional<double> PropertyReader::real(std::uint16_t id) const {
    const auto v = find(id);
    if (!v) {
        return std::nullopt;
    }
    if (v->type == pt::kDouble || v->type == pt::kFloat) {
        const auto b = bytes(*v);
        if (v->type == pt::kDouble && b.size() >= 8) {
            std::uint64_t raw = 0;
            for (std::size_t i = 8; i-- > 0;) {
                raw = (raw << 8U) | b[i];
            }
            double d = 0;
            std::memcpy(&d, &raw, sizeof d);
            return d;
        }
        if (v->type == pt::kFloat && b.size() >= 4) {
            std::uint32_t raw = 0;
            for (std::size_t i = 4; i-- > 0;) {
                raw = (raw << 8U) | b[i];
            }
            float f = 0;
            std::memcpy(&f, &raw, sizeof f);
            return static_cast<double>(f);
        }
        return std::nullopt;
    }
    if (const auto n = integer(id)) {
        return static_cast<double>(*n);
    }
    return std::nullopt;
}

std::optional<std::int64_t> PropertyReader::fileTime(std::uint16_t id) const {
    const auto v = find(id);
    if (!v || v->type != pt::kSysTime) {
        return std::nullopt;
    }
    const auto b = bytes(*v);
    if (b.size() < 8) {
        return std::nullopt;
    }
    return signedLe(std::span(b).first(8));
}

std::optional<std::vector<std::uint8_t>> PropertyReader::binary(std::uint16_t id) const {
    const auto v = find(id);
    if (!v || (v->type != pt::kBinary && v->type != pt::kObject)) {
        return std::nullopt;
    }
    return bytes(*v);
}

std::optional<std::vector<std::string>> PropertyReader::strings(std::uint16_t id) const {
    const auto v = find(id);
    if (!v) {
        return std::nullopt;
    }
    if (v->type == pt::kUnicode || v->type == pt::kString8) {
        return std::vector<std::string>{decodeString(v->type, bytes(*v), m_codePage)};
    }
    if (v->type != (pt::kUnicode | pt::kMultiValue) &&
        v->type != (pt::kString8 | pt::kMultiValue)) {
        return std::nullopt;
    }
    const auto b = bytes(*v);
    const auto base = static_cast<std::uint16_t>(v->type & ~pt::kMultiValue);
    std::vector<std::string> out;
    for (const auto& part : ltp::splitMultiValue(v->type, b)) {
        out.push_back(decodeString(base, part, m_codePage));
    }
    return out;
}

} // namespace tvn::store::pst::messaging
