#pragma once

// Property values as a description gives them: typed, with text in UTF-8. The writer turns
// them into the bytes of the file's format (UTF-16LE in Unicode files, Windows-1252 in ANSI
// files) only when it stores them.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::tools {

// Property types (the low 16 bits of a property tag).
namespace prop_type {
inline constexpr std::uint16_t kShort = 0x0002;
inline constexpr std::uint16_t kLong = 0x0003;
inline constexpr std::uint16_t kFloat = 0x0004;
inline constexpr std::uint16_t kDouble = 0x0005;
inline constexpr std::uint16_t kCurrency = 0x0006;
inline constexpr std::uint16_t kAppTime = 0x0007;
inline constexpr std::uint16_t kError = 0x000A;
inline constexpr std::uint16_t kBoolean = 0x000B;
inline constexpr std::uint16_t kObject = 0x000D;
inline constexpr std::uint16_t kLongLong = 0x0014;
inline constexpr std::uint16_t kString8 = 0x001E;
inline constexpr std::uint16_t kUnicode = 0x001F;
inline constexpr std::uint16_t kSysTime = 0x0040;
inline constexpr std::uint16_t kGuid = 0x0048;
inline constexpr std::uint16_t kBinary = 0x0102;
inline constexpr std::uint16_t kMultiple = 0x1000;
inline constexpr std::uint16_t kMvShort = 0x1002;
inline constexpr std::uint16_t kMvLong = 0x1003;
inline constexpr std::uint16_t kMvDouble = 0x1005;
inline constexpr std::uint16_t kMvLongLong = 0x1014;
inline constexpr std::uint16_t kMvString8 = 0x101E;
inline constexpr std::uint16_t kMvUnicode = 0x101F;
inline constexpr std::uint16_t kMvSysTime = 0x1040;
inline constexpr std::uint16_t kMvGuid = 0x1048;
inline constexpr std::uint16_t kMvBinary = 0x1102;
} // namespace prop_type

// Fixed width of a single-valued type in a table row or heap, 0 for variable-length types.
std::size_t fixedSize(std::uint16_t type);

// A GUID in its on-disk (Windows) byte order.
using Guid = std::array<std::uint8_t, 16>;
// Parses "{00062002-0000-0000-C000-000000000046}" (braces optional).
std::optional<Guid> parseGuid(std::string_view text);

namespace guids {
extern const Guid kPsMapi;
extern const Guid kPsPublicStrings;
extern const Guid kAppointment;
extern const Guid kTask;
extern const Guid kAddress;
extern const Guid kCommon;
extern const Guid kLog;
extern const Guid kNote;
extern const Guid kMeeting;
} // namespace guids
// A property set by its short name ("Appointment", "Task", "Address", "Common", "Log",
// "Note", "Meeting", "PublicStrings", "Mapi") or by GUID text.
std::optional<Guid> propertySet(std::string_view nameOrGuid);

struct PropValue {
    std::uint16_t type = prop_type::kUnicode;
    std::int64_t integer = 0;           // short, long, long long, currency, boolean, error, time
    double real = 0;                    // float, double, application time
    std::string text;                   // single strings, UTF-8
    std::vector<std::uint8_t> bytes;    // binary, GUID
    std::vector<std::int64_t> integers; // multi-valued integers and times
    std::vector<double> reals;          // multi-valued doubles
    std::vector<std::string> texts;     // multi-valued strings
    std::vector<std::vector<std::uint8_t>> blobs; // multi-valued binary and GUID

    static PropValue unicode(std::string s);
    static PropValue int16(std::int16_t v);
    static PropValue int32(std::int32_t v);
    static PropValue int64(std::int64_t v);
    static PropValue boolean(bool v);
    static PropValue floating(double v);
    static PropValue time(std::uint64_t fileTime);
    static PropValue binary(std::vector<std::uint8_t> v);
    static PropValue mvUnicode(std::vector<std::string> v);
    static PropValue mvInt32(std::vector<std::int32_t> v);
    static PropValue mvBinary(std::vector<std::vector<std::uint8_t>> v);
};

// A named property: a property set plus a numeric id (LID) or a string name.
struct NamedKey {
    Guid set{};
    bool isString = false;
    std::uint32_t lid = 0;
    std::string name;
    bool operator==(const NamedKey&) const = default;
};

struct Property {
    std::uint16_t id = 0; // tagged property id; ignored when `named` is set
    std::optional<NamedKey> named;
    PropValue value;

    static Property tagged(std::uint16_t id, PropValue value);
    static Property lid(const Guid& set, std::uint32_t lid, PropValue value);
    static Property string(const Guid& set, std::string name, PropValue value);
};

// FILETIME (100 ns ticks since 1601-01-01 UTC) of a UTC calendar time.
std::uint64_t fileTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// Parses "YYYY-MM-DD", "YYYY-MM-DDTHH:MM[:SS][Z]" (always UTC). Nothing on a malformed text.
std::optional<std::uint64_t> parseFileTime(std::string_view text);

} // namespace tvn::tools
