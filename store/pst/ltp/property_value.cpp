#include "store/pst/ltp/property_value.h"

#include <string>

#include "store/pst/byte_reader.h"

namespace tvn::store::pst::ltp {

std::size_t fixedTypeSize(std::uint16_t type) noexcept {
    switch (static_cast<std::uint16_t>(type & ~prop_type::kMultiValue)) {
    case prop_type::kBoolean:
        return 1;
    case prop_type::kInt16:
        return 2;
    case prop_type::kInt32:
    case prop_type::kFloat:
    case prop_type::kError:
        return 4;
    case prop_type::kDouble:
    case prop_type::kCurrency:
    case prop_type::kAppTime:
    case prop_type::kInt64:
    case prop_type::kSysTime:
        return 8;
    case prop_type::kGuid:
        return 16;
    default:
        return 0;
    }
}

std::vector<std::span<const std::uint8_t>> splitMultiValue(std::uint16_t type,
                                                           std::span<const std::uint8_t> bytes) {
    std::vector<std::span<const std::uint8_t>> values;
    const std::size_t size = fixedTypeSize(type);
    if (size > 0) {
        if (bytes.size() % size != 0) {
            throwCorrupt("multi-valued property of type " + hexText(type) + " has " +
                         std::to_string(bytes.size()) + " bytes, not a multiple of " +
                         std::to_string(size));
        }
        values.reserve(bytes.size() / size);
        for (std::size_t off = 0; off < bytes.size(); off += size) {
            values.push_back(bytes.subspan(off, size));
        }
        return values;
    }
    if (bytes.empty()) {
        return values;
    }
    ByteReader r(bytes, kNoOffset, "multi-valued property");
    const std::uint32_t count = r.read<std::uint32_t>();
    // Each value needs a 4-byte offset, so the count is bounded by the bytes present.
    if (count > (bytes.size() - 4) / 4) {
        throwCorrupt("multi-valued property count " + hexText(count) + " exceeds its " +
                     std::to_string(bytes.size()) + " bytes");
    }
    std::vector<std::uint32_t> offsets(count);
    for (auto& off : offsets) {
        off = r.read<std::uint32_t>();
    }
    values.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t start = offsets[i];
        const std::size_t end = i + 1 < count ? offsets[i + 1] : bytes.size();
        if (start < 4 + std::size_t{count} * 4 || start > end || end > bytes.size()) {
            throwCorrupt("multi-valued property value " + std::to_string(i) + " offset " +
                         hexText(start) + " out of order or range");
        }
        values.push_back(bytes.subspan(start, end - start));
    }
    return values;
}

} // namespace tvn::store::pst::ltp
