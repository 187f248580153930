#include "tools/pstwriter/property.h"

#include <cctype>

namespace tvn::tools {

std::size_t fixedSize(std::uint16_t type) {
    namespace ltp = store::pst::ltp;
    // The reader's sizes, except that a GUID (16 bytes) and multi-valued values are stored
    // by reference, like variable-length ones.
    if (ltp::isMultiValued(type)) {
        return 0;
    }
    const std::size_t size = ltp::fixedTypeSize(type);
    return size <= 8 ? size : 0;
}

std::optional<Guid> parseGuid(std::string_view t) {
    if (t.size() >= 2 && t.front() == '{' && t.back() == '}') {
        t = t.substr(1, t.size() - 2);
    }
    if (t.size() != 36 || t[8] != '-' || t[13] != '-' || t[18] != '-' || t[23] != '-') {
        return std::nullopt;
    }
    std::string hex;
    for (char c : t) {
        if (c != '-') {
            if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
                return std::nullopt;
            }
            hex.push_back(c);
        }
    }
    std::array<std::uint8_t, 16> be{};
    for (std::size_t i = 0; i < 16; ++i) {
        be[i] = static_cast<std::uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    }
    // Data1 (4), Data2 (2) and Data3 (2) are little-endian on disk; Data4 is as written.
    Guid g{be[3], be[2], be[1], be[0], be[5], be[4], be[7], be[6]};
    for (std::size_t i = 8; i < 16; ++i) {
        g[i] = be[i];
    }
    return g;
}

namespace guids {
const Guid kPsMapi = *parseGuid("{00020328-0000-0000-C000-000000000046}");
const Guid kPsPublicStrings = *parseGuid("{00020329-0000-0000-C000-000000000046}");
const Guid kAppointment = *parseGuid("{00062002-0000-0000-C000-000000000046}");
const Guid kTask = *parseGuid("{00062003-0000-0000-C000-000000000046}");
const Guid kAddress = *parseGuid("{00062004-0000-0000-C000-000000000046}");
const Guid kCommon = *parseGuid("{00062008-0000-0000-C000-000000000046}");
const Guid kLog = *parseGuid("{0006200A-0000-0000-C000-000000000046}");
const Guid kNote = *parseGuid("{0006200E-0000-0000-C000-000000000046}");
const Guid kMeeting = *parseGuid("{6ED8DA90-450B-101B-98DA-00AA003F1305}");
} // namespace guids

std::optional<Guid> propertySet(std::string_view n) {
    struct Entry {
        std::string_view name;
        const Guid* guid;
    };
    const Entry table[] = {
        {"Mapi", &guids::kPsMapi},
        {"PublicStrings", &guids::kPsPublicStrings},
        {"Appointment", &guids::kAppointment},
        {"Task", &guids::kTask},
        {"Address", &guids::kAddress},
        {"Common", &guids::kCommon},
        {"Log", &guids::kLog},
        {"Note", &guids::kNote},
        {"Meeting", &guids::kMeeting},
    };
    for (const auto& e : table) {
        if (e.name == n) {
            return *e.guid;
        }
    }
    return parseGuid(n);
}

PropValue PropValue::unicode(std::string s) {
    PropValue v;
    v.type = prop_type::kUnicode;
    v.text = std::move(s);
    return v;
}
PropValue PropValue::int16(std::int16_t x) {
    PropValue v;
    v.type = prop_type::kInt16;
    v.integer = x;
    return v;
}
PropValue PropValue::int32(std::int32_t x) {
    PropValue v;
    v.type = prop_type::kInt32;
    v.integer = x;
    return v;
}
PropValue PropValue::int64(std::int64_t x) {
    PropValue v;
    v.type = prop_type::kInt64;
    v.integer = x;
    return v;
}
PropValue PropValue::boolean(bool x) {
    PropValue v;
    v.type = prop_type::kBoolean;
    v.integer = x ? 1 : 0;
    return v;
}
PropValue PropValue::floating(double x) {
    PropValue v;
    v.type = prop_type::kDouble;
    v.real = x;
    return v;
}
PropValue PropValue::time(std::uint64_t ft) {
    PropValue v;
    v.type = prop_type::kSysTime;
    v.integer = static_cast<std::int64_t>(ft);
    return v;
}
PropValue PropValue::binary(std::vector<std::uint8_t> x) {
    PropValue v;
    v.type = prop_type::kBinary;
    v.bytes = std::move(x);
    return v;
}
PropValue PropValue::mvUnicode(std::vector<std::string> x) {
    PropValue v;
    v.type = prop_type::kMvUnicode;
    v.texts = std::move(x);
    return v;
}
PropValue PropValue::mvInt32(std::vector<std::int32_t> x) {
    PropValue v;
    v.type = prop_type::kMvLong;
    v.integers.assign(x.begin(), x.end());
    return v;
}
PropValue PropValue::mvBinary(std::vector<std::vector<std::uint8_t>> x) {
    PropValue v;
    v.type = prop_type::kMvBinary;
    v.blobs = std::move(x);
    return v;
}

Property Property::tagged(std::uint16_t id, PropValue value) {
    Property p;
    p.id = id;
    p.value = std::move(value);
    return p;
}
Property Property::lid(const Guid& set, std::uint32_t lid, PropValue value) {
    Property p;
    p.named = NamedKey{set, false, lid, {}};
    p.value = std::move(value);
    return p;
}
Property Property::string(const Guid& set, std::string name, PropValue value) {
    Property p;
    p.named = NamedKey{set, true, 0, std::move(name)};
    p.value = std::move(value);
    return p;
}

namespace {
// Days from 1601-01-01 to the given proleptic Gregorian date.
std::int64_t daysFrom1601(int y, int m, int d) {
    // Civil-from-days algorithm shifted to the 1601 epoch.
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days1970 = era * 146097 + doe - 719468;
    return days1970 + 134774; // 1601-01-01 .. 1970-01-01
}
} // namespace

std::uint64_t fileTime(int year, int month, int day, int hour, int minute, int second) {
    const std::int64_t secs =
        daysFrom1601(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return static_cast<std::uint64_t>(secs) * 10000000ull;
}

std::optional<std::uint64_t> parseFileTime(std::string_view t) {
    auto num = [&](std::size_t at, std::size_t n) -> int {
        int v = 0;
        for (std::size_t i = at; i < at + n; ++i) {
            if (i >= t.size() || std::isdigit(static_cast<unsigned char>(t[i])) == 0) {
                return -1;
            }
            v = v * 10 + (t[i] - '0');
        }
        return v;
    };
    if (t.size() < 10 || t[4] != '-' || t[7] != '-') {
        return std::nullopt;
    }
    const int y = num(0, 4), mo = num(5, 2), d = num(8, 2);
    int h = 0, mi = 0, s = 0;
    std::size_t end = 10;
    if (t.size() > 10) {
        if ((t[10] != 'T' && t[10] != ' ') || t.size() < 16 || t[13] != ':') {
            return std::nullopt;
        }
        h = num(11, 2);
        mi = num(14, 2);
        end = 16;
        if (t.size() >= 19 && t[16] == ':') {
            s = num(17, 2);
            end = 19;
        }
        if (end < t.size() && t[end] == 'Z') {
            ++end;
        }
    }
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (end != t.size() || y < 1601 || mo < 1 || mo > 12 || d < 1 ||
        d > kDays[mo - 1] - (mo == 2 && !leap ? 1 : 0) || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        s < 0 || s > 59) {
        return std::nullopt;
    }
    return fileTime(y, mo, d, h, mi, s);
}

} // namespace tvn::tools
