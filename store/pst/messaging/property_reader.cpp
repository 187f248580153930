#include "store/pst/messaging/property_reader.h"

#include <bit>
#include <concepts>
#include <type_traits>

#include "store/pst/byte_reader.h"
#include "store/text/utf.h"

namespace tvn::store::pst::messaging {

namespace {

namespace pt = ltp::prop_type;

// The signed integer stored in the first sizeof(T) bytes, or nothing when the value is
// shorter than its type says.
template <std::unsigned_integral T>
std::optional<std::int64_t> signedLe(std::span<const std::uint8_t> b) {
    if (b.size() < sizeof(T)) {
        return std::nullopt;
    }
    return static_cast<std::make_signed_t<T>>(loadLe<T>(b, 0));
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
        return signedLe<std::uint16_t>(bytes(*v));
    case pt::kInt32:
        return signedLe<std::uint32_t>(bytes(*v));
    case pt::kInt64:
        return signedLe<std::uint64_t>(bytes(*v));
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
            return std::bit_cast<double>(loadLe<std::uint64_t>(b, 0));
        }
        if (v->type == pt::kFloat && b.size() >= 4) {
            return static_cast<double>(std::bit_cast<float>(loadLe<std::uint32_t>(b, 0)));
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
    return signedLe<std::uint64_t>(bytes(*v));
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
