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

#include "store/pst/ltp/property_value.h"

namespace tvn::tools {

// Property types (the low 16 bits of a property tag): the reader's codes, and the
// multi-valued forms descriptions use.
namespace prop_type {
using namespace store::pst::ltp::prop_type;
inline constexpr std::uint16_t kMvShort = kMultiValue | kInt16;
inline constexpr std::uint16_t kMvLong = kMultiValue | kInt32;
inline constexpr std::uint16_t kMvDouble = kMultiValue | kDouble;
inline constexpr std::uint16_t kMvLongLong = kMultiValue | kInt64;
inline constexpr std::uint16_t kMvString8 = kMultiValue | kString8;
inline constexpr std::uint16_t kMvUnicode = kMultiValue | kUnicode;
inline constexpr std::uint16_t kMvSysTime = kMultiValue | kSysTime;
inline constexpr std::uint16_t kMvGuid = kMultiValue | kGuid;
inline constexpr std::uint16_t kMvBinary = kMultiValue | kBinary;
} // namespace prop_type

// Fixed width of a single-valued type in a table row or heap; 0 for the types stored by
// reference (variable-length ones, GUIDs, multi-valued ones).
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
