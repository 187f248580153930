#include "store/pst/backend/item_properties.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "store/failure.h"
#include "store/property_names.h"
#include "store/pst/backend/date_time.h"
#include "store/pst/byte_reader.h"
#include "store/pst/ltp/property_tags.h"

namespace tvn::store::pst::backend {

namespace {

using messaging::Guid;
using messaging::MessageObject;
namespace ps = messaging::property_set;

// Where a value lives: a fixed property id, or a named property by (set, LID) or
// (set, name).
struct Prop {
    std::uint16_t id = 0;
    const Guid* set = nullptr;
    std::uint32_t lid = 0;
    std::string_view name;
    constexpr bool empty() const { return id == 0 && set == nullptr; }
};

constexpr Prop tagged(std::uint16_t id) {
    return Prop{id, nullptr, 0, {}};
}
constexpr Prop named(const Guid& set, std::uint32_t lid) {
    return Prop{0, &set, lid, {}};
}
constexpr Prop namedString(const Guid& set, std::string_view name) {
    return Prop{0, &set, 0, name};
}

enum class How {
    Copy,      // as the property's kind says
    Civil,     // a date stored as local time: not shifted
    Percent,   // a fraction 0.0-1.0 shown as a whole percentage
    JoinSemi,  // a multi-valued string joined with "; "
    JoinComma, // a multi-valued string joined with ", " (the list separator)
    First,     // the first value of a string that may be stored multi-valued
};

struct Mapping {
    constexpr Mapping(std::string_view n, Prop p, Prop f = Prop{}, How h = How::Copy)
        : name(n), primary(p), fallback(f), how(h) {}
    std::string_view name;
    Prop primary;
    Prop fallback;
    How how;
};

// Sorted by name; a static_assert checks it.
constexpr std::array kMappings = {
    Mapping{"Account", tagged(0x3A00)},
    Mapping{"ActualWork", named(ps::kTask, 0x8110)},
    Mapping{"AllDayEvent", named(ps::kAppointment, 0x8215)},
    Mapping{"AssistantName", tagged(0x3A30)},
    Mapping{"AssistantTelephoneNumber", tagged(0x3A2E)},
    Mapping{"BillingInformation", named(ps::kCommon, 0x8535)},
    Mapping{"Business2TelephoneNumber", tagged(0x3A1B), Prop{}, How::First},
    Mapping{"BusinessAddressCity", named(ps::kAddress, 0x8046)},
    Mapping{"BusinessAddressCountry", named(ps::kAddress, 0x8049)},
    Mapping{"BusinessAddressPostOfficeBox", named(ps::kAddress, 0x804A)},
    Mapping{"BusinessAddressPostalCode", named(ps::kAddress, 0x8048)},
    Mapping{"BusinessAddressState", named(ps::kAddress, 0x8047)},
    Mapping{"BusinessAddressStreet", named(ps::kAddress, 0x8045)},
    Mapping{"BusinessFaxNumber", tagged(0x3A24)},
    Mapping{"BusinessHomePage", tagged(0x3A51)},
    Mapping{"BusinessTelephoneNumber", tagged(0x3A08)},
    Mapping{"BusyStatus", named(ps::kAppointment, 0x8205)},
    Mapping{"CallbackTelephoneNumber", tagged(0x3A02)},
    Mapping{"CarTelephoneNumber", tagged(0x3A1E)},
    Mapping{"Categories", namedString(ps::kPublicStrings, "Keywords"), Prop{}, How::JoinComma},
    Mapping{"Children", tagged(0x3A58), Prop{}, How::JoinSemi},
    Mapping{"Color", named(ps::kNote, 0x8B00)},
    Mapping{"Companies", named(ps::kCommon, 0x8539), Prop{}, How::JoinSemi},
    Mapping{"CompanyMainTelephoneNumber", tagged(0x3A57)},
    Mapping{"CompanyName", tagged(0x3A16)},
    Mapping{"Complete", named(ps::kTask, 0x811C)},
    Mapping{"ContactNames", named(ps::kCommon, 0x853A), Prop{}, How::JoinSemi},
    Mapping{"CreationTime", tagged(0x3007)},
    Mapping{"DateCompleted", named(ps::kTask, 0x810F)},
    Mapping{"DelegationState", named(ps::kTask, 0x812A)},
    Mapping{"Delegator", named(ps::kTask, 0x8121)},
    Mapping{"Department", tagged(0x3A18)},
    Mapping{"DueDate", named(ps::kTask, 0x8105), Prop{}, How::Civil},
    Mapping{"Email1Address", named(ps::kAddress, 0x8083)},
    Mapping{"Email1AddressType", named(ps::kAddress, 0x8082)},
    Mapping{"Email1DisplayName", named(ps::kAddress, 0x8080)},
    Mapping{"Email2Address", named(ps::kAddress, 0x8093)},
    Mapping{"Email2AddressType", named(ps::kAddress, 0x8092)},
    Mapping{"Email2DisplayName", named(ps::kAddress, 0x8090)},
    Mapping{"Email3Address", named(ps::kAddress, 0x80A3)},
    Mapping{"Email3AddressType", named(ps::kAddress, 0x80A2)},
    Mapping{"Email3DisplayName", named(ps::kAddress, 0x80A0)},
    Mapping{"End", named(ps::kAppointment, 0x820E), tagged(0x0061)},
    Mapping{"FileAs", named(ps::kAddress, 0x8005)},
    Mapping{"FirstName", tagged(0x3A06)},
    Mapping{"FullName", tagged(0x3001)},
    Mapping{"Gender", tagged(0x3A4D)},
    Mapping{"GovernmentIDNumber", tagged(0x3A07)},
    Mapping{"Height", named(ps::kNote, 0x8B03)},
    Mapping{"Hobby", tagged(0x3A43)},
    Mapping{"Home2TelephoneNumber", tagged(0x3A2F), Prop{}, How::First},
    Mapping{"HomeAddressCity", tagged(0x3A59)},
    Mapping{"HomeAddressCountry", tagged(0x3A5A)},
    Mapping{"HomeAddressPostOfficeBox", tagged(0x3A5E)},
    Mapping{"HomeAddressPostalCode", tagged(0x3A5B)},
    Mapping{"HomeAddressState", tagged(0x3A5C)},
    Mapping{"HomeAddressStreet", tagged(0x3A5D)},
    Mapping{"HomeFaxNumber", tagged(0x3A25)},
    Mapping{"HomeTelephoneNumber", tagged(0x3A09)},
    Mapping{"ISDNNumber", tagged(0x3A2D)},
    Mapping{"Importance", tagged(0x0017)},
    Mapping{"Initials", tagged(0x3A0A)},
    Mapping{"InternetFreeBusyAddress", named(ps::kAddress, 0x80D8)},
    Mapping{"JobTitle", tagged(0x3A17)},
    Mapping{"Language", tagged(0x3A0C)},
    Mapping{"LastModificationTime", tagged(0x3008)},
    Mapping{"LastName", tagged(0x3A11)},
    Mapping{"Left", named(ps::kNote, 0x8B04)},
    Mapping{"Location", named(ps::kAppointment, 0x8208)},
    Mapping{"MailingAddressCity", tagged(0x3A27)},
    Mapping{"MailingAddressCountry", tagged(0x3A26)},
    Mapping{"MailingAddressPostOfficeBox", tagged(0x3A2B)},
    Mapping{"MailingAddressPostalCode", tagged(0x3A2A)},
    Mapping{"MailingAddressState", tagged(0x3A28)},
    Mapping{"MailingAddressStreet", tagged(0x3A29)},
    Mapping{"ManagerName", tagged(0x3A4E)},
    Mapping{"MessageClass", tagged(0x001A)},
    Mapping{"MiddleName", tagged(0x3A44)},
    Mapping{"Mileage", named(ps::kCommon, 0x8534)},
    Mapping{"MobileTelephoneNumber", tagged(0x3A1C)},
    Mapping{"NickName", tagged(0x3A4F)},
    Mapping{"OfficeLocation", tagged(0x3A19)},
    Mapping{"OrganizationalIDNumber", tagged(0x3A10)},
    Mapping{"Organizer", tagged(0x0042)},
    Mapping{"OtherAddressCity", tagged(0x3A5F)},
    Mapping{"OtherAddressCountry", tagged(0x3A60)},
    Mapping{"OtherAddressPostOfficeBox", tagged(0x3A64)},
    Mapping{"OtherAddressPostalCode", tagged(0x3A61)},
    Mapping{"OtherAddressState", tagged(0x3A62)},
    Mapping{"OtherAddressStreet", tagged(0x3A63)},
    Mapping{"OtherFaxNumber", tagged(0x3A23)},
    Mapping{"OtherTelephoneNumber", tagged(0x3A1F)},
    Mapping{"Owner", named(ps::kTask, 0x811F)},
    Mapping{"Ownership", named(ps::kTask, 0x8129)},
    Mapping{"PagerNumber", tagged(0x3A21)},
    Mapping{"PercentComplete", named(ps::kTask, 0x8102), Prop{}, How::Percent},
    Mapping{"PersonalHomePage", tagged(0x3A50)},
    Mapping{"PrimaryTelephoneNumber", tagged(0x3A1A)},
    Mapping{"Profession", tagged(0x3A46)},
    Mapping{"RadioTelephoneNumber", tagged(0x3A1D)},
    Mapping{"ReceivedTime", tagged(0x0E06)},
    Mapping{"ReferredBy", tagged(0x3A47)},
    Mapping{"ReminderMinutesBeforeStart", named(ps::kCommon, 0x8501)},
    Mapping{"ReminderSet", named(ps::kCommon, 0x8503)},
    Mapping{"ReminderTime", named(ps::kCommon, 0x8502)},
    Mapping{"ResponseState", named(ps::kCommon, 0x8518)},
    Mapping{"Role", named(ps::kTask, 0x8127)},
    Mapping{"SenderEmailAddress", tagged(0x0C1F)},
    Mapping{"SenderName", tagged(0x0C1A)},
    Mapping{"Sensitivity", tagged(0x0036)},
    Mapping{"SentOn", tagged(0x0039)},
    Mapping{"Spouse", tagged(0x3A48)},
    Mapping{"Start", named(ps::kAppointment, 0x820D), tagged(0x0060)},
    Mapping{"StartDate", named(ps::kTask, 0x8104), Prop{}, How::Civil},
    Mapping{"Status", named(ps::kTask, 0x8101)},
    Mapping{"Suffix", tagged(0x3A05)},
    Mapping{"TTYTDDTelephoneNumber", tagged(0x3A4B)},
    Mapping{"TeamTask", named(ps::kTask, 0x8103)},
    Mapping{"TelexNumber", tagged(0x3A2C)},
    Mapping{"Title", tagged(0x3A45)},
    Mapping{"Top", named(ps::kNote, 0x8B05)},
    Mapping{"TotalWork", named(ps::kTask, 0x8111)},
    Mapping{"User1", named(ps::kAddress, 0x804F)},
    Mapping{"User2", named(ps::kAddress, 0x8050)},
    Mapping{"User3", named(ps::kAddress, 0x8051)},
    Mapping{"User4", named(ps::kAddress, 0x8052)},
    Mapping{"WebPage", named(ps::kAddress, 0x802B), tagged(0x3A51)},
    Mapping{"Width", named(ps::kNote, 0x8B02)},
};

constexpr bool sortedByName() {
    for (std::size_t i = 1; i < kMappings.size(); ++i) {
        if (!(kMappings[i - 1].name < kMappings[i].name)) {
            return false;
        }
    }
    return true;
}
static_assert(sortedByName(), "kMappings must stay sorted by name");

const Mapping* findMapping(std::string_view name) {
    const auto it =
        std::lower_bound(kMappings.begin(), kMappings.end(), name,
                         [](const Mapping& m, std::string_view n) { return m.name < n; });
    return it != kMappings.end() && it->name == name ? &*it : nullptr;
}

std::optional<std::uint16_t> resolve(const ItemSource& m, const Prop& p) {
    if (p.set == nullptr) {
        return p.id;
    }
    return p.name.empty() ? m.namedId(*p.set, p.lid) : m.namedId(*p.set, p.name);
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (const auto& s : parts) {
        if (!out.empty()) {
            out += separator;
        }
        out += s;
    }
    return out;
}

// The value of one property as kind `kind`, or nothing when it is absent or stored in a
// type that cannot be read as that kind.
std::optional<Variant> readAs(const ItemSource& m, std::uint16_t id, Variant::Kind kind, How how) {
    const auto& props = m;
    switch (kind) {
    case Variant::Kind::Text: {
        if (how == How::JoinSemi || how == How::JoinComma || how == How::First) {
            auto list = props.strings(id);
            if (!list) {
                return std::nullopt;
            }
            if (how == How::First) {
                return Variant(list->empty() ? std::string{} : list->front());
            }
            return Variant(join(*list, how == How::JoinSemi ? "; " : ", "));
        }
        if (auto s = props.string(id)) {
            return Variant(std::move(*s));
        }
        if (auto n = props.integer(id)) {
            return Variant(std::to_string(*n));
        }
        return std::nullopt;
    }
    case Variant::Kind::Integer: {
        if (how == How::Percent) {
            if (auto d = props.real(id)) {
                return Variant(
                    static_cast<std::int64_t>(std::lround(std::clamp(*d, 0.0, 1.0) * 100.0)));
            }
            return std::nullopt;
        }
        if (auto n = props.integer(id)) {
            return Variant(*n);
        }
        if (auto d = props.real(id); d && std::isfinite(*d)) {
            return Variant(static_cast<std::int64_t>(std::llround(*d)));
        }
        return std::nullopt;
    }
    case Variant::Kind::Boolean:
        if (auto b = props.boolean(id)) {
            return Variant(*b);
        }
        return std::nullopt;
    case Variant::Kind::Double:
        if (auto d = props.real(id)) {
            return Variant(*d);
        }
        return std::nullopt;
    case Variant::Kind::Date:
        if (auto ft = props.fileTime(id)) {
            return Variant(how == How::Civil ? fileTimeAsCivil(*ft) : fileTimeToLocal(*ft));
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<Variant> readMapping(const ItemSource& m, const Mapping& map, Variant::Kind kind) {
    for (const Prop* p : {&map.primary, &map.fallback}) {
        if (p->empty()) {
            continue;
        }
        if (const auto id = resolve(m, *p)) {
            if (auto v = readAs(m, *id, kind, map.how)) {
                return v;
            }
        }
    }
    return std::nullopt;
}

// PidTagDisplayTo/Cc/Bcc, rebuilt from the recipient rows of that type when absent.
std::string displayList(const ItemSource& m, std::uint16_t id, std::int32_t type) {
    if (auto s = m.string(id)) {
        return std::move(*s);
    }
    return join(m.recipientNames(type), "; ");
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const auto a = static_cast<unsigned char>(s[i]);
        const auto b = static_cast<unsigned char>(prefix[i]);
        if (std::tolower(a) != std::tolower(b)) {
            return false;
        }
    }
    return true;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWithNoCase(a, b);
}

// OlRecurrenceType from the recurrence pattern at the start of PidLidAppointmentRecur (or a
// task's PidLidTaskRecurrence): its frequency and its pattern type.
std::int32_t recurrenceTypeOf(std::span<const std::uint8_t> blob) {
    constexpr std::size_t kPatternTypeEnd = 8;
    if (blob.size() < kPatternTypeEnd) {
        throw Failure(err::kCorruptData, "The recurrence pattern is " +
                                             std::to_string(blob.size()) +
                                             " bytes long, too short to hold its type.");
    }
    const std::uint16_t frequency = loadLe<std::uint16_t>(blob, 4);
    const std::uint16_t pattern = loadLe<std::uint16_t>(blob, 6);
    constexpr std::uint16_t kDaily = 0x200A, kWeekly = 0x200B, kMonthly = 0x200C, kYearly = 0x200D;
    const bool nth = pattern == 0x3 || pattern == 0xB;
    const bool dayOfMonth = pattern == 0x2 || pattern == 0x4 || pattern == 0xA || pattern == 0xC;
    if (pattern == 0x0 && frequency >= kDaily && frequency <= kYearly) {
        return 0; // daily
    }
    if (pattern == 0x1 && (frequency == kWeekly || frequency == kDaily)) {
        return 1; // weekly, or daily on every weekday
    }
    if (frequency == kMonthly && (nth || dayOfMonth)) {
        return nth ? 3 : 2;
    }
    if (frequency == kYearly && (nth || dayOfMonth)) {
        return nth ? 6 : 5;
    }
    char text[80];
    std::snprintf(text, sizeof text,
                  "The recurrence pattern has frequency 0x%04X and pattern type 0x%04X.", frequency,
                  pattern);
    throw Failure(err::kCorruptData, text);
}

// The coarse recurrence kind of an appointment (PidLidRecurrenceType: 1 daily, 2 weekly,
// 3 monthly, 4 yearly) as OlRecurrenceType, for items without a pattern.
std::optional<std::int32_t> coarseRecurrenceType(std::int64_t kind) {
    switch (kind) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 3:
        return 2;
    case 4:
        return 5;
    default:
        return std::nullopt;
    }
}

// The minutes from one FILETIME to a later one, when both are set dates and the difference
// fits a 32-bit count.
std::optional<std::int64_t> minutesBetween(std::int64_t start, std::int64_t end) {
    constexpr std::int64_t kTicksPerMinute = 600'000'000;
    if (start < 0 || end < start || end >= kNoDateFileTime) {
        return std::nullopt;
    }
    const std::int64_t minutes = (end - start) / kTicksPerMinute; // both >= 0: no overflow
    if (minutes > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return minutes;
}

// A contact's birthday or wedding anniversary: a day, without a time. Outlook keeps the
// day at local midnight unconverted (PidLidBirthdayLocal / PidLidWeddingAnniversaryLocal)
// beside the UTC value (PidTagBirthday / PidTagWeddingAnniversary) that other clients
// write alone; converting that to this machine's zone would move the day.
DateTime contactDay(const ItemSource& m, bool birthday) {
    if (const auto id = m.namedId(ps::kAddress, birthday ? 0x80DE : 0x80DF)) {
        if (const auto ft = m.fileTime(*id)) {
            auto day = fileTimeAsCivil(*ft);
            if (!day.isNone()) {
                day.hour = day.minute = day.second = 0;
                return day;
            }
        }
    }
    if (const auto ft = m.fileTime(birthday ? 0x3A42 : 0x3A41)) {
        return fileTimeAsDay(*ft);
    }
    return DateTime::none();
}

std::string firstLine(const std::string& text) {
    const auto end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

} // namespace

// Names read by code of their own in readItemProperty rather than through kMappings.
constexpr std::array<std::string_view, 17> kDerivedNames = {
    "Anniversary",
    "BCC",
    "Birthday",
    "Body",
    "CC",
    "Class",
    "Duration",
    "IsRecurring",
    "LastNameAndFirstName",
    "OptionalAttendees",
    "RecurrenceType",
    "RequiredAttendees",
    "Resources",
    "StatusOnCompletionRecipients",
    "StatusUpdateRecipients",
    "Subject",
    "To",
};

std::vector<std::string_view> mappedPropertyNames() {
    std::vector<std::string_view> names;
    for (const auto& m : kMappings) {
        names.push_back(m.name);
    }
    names.insert(names.end(), kDerivedNames.begin(), kDerivedNames.end());
    std::sort(names.begin(), names.end());
    return names;
}

std::int32_t objectClassOf(std::string_view cls) {
    struct Exact {
        std::string_view cls;
        std::int32_t number;
    };
    static constexpr std::array kExact = {
        Exact{"IPM.Schedule.Meeting.Request", 53},
        Exact{"IPM.Schedule.Meeting.Canceled", 54},
        Exact{"IPM.Schedule.Meeting.Resp.Neg", 55},
        Exact{"IPM.Schedule.Meeting.Resp.Pos", 56},
        Exact{"IPM.Schedule.Meeting.Resp.Tent", 57},
        Exact{"IPM.Schedule.Meeting.Notification.Forward", 181},
        Exact{"IPM.DistList", 69},
        Exact{"IPM.TaskRequest", 49},
        Exact{"IPM.TaskRequest.Update", 50},
        Exact{"IPM.TaskRequest.Accept", 51},
        Exact{"IPM.TaskRequest.Decline", 52},
        Exact{"IPM.StickyNote", 44},
        Exact{"IPM.Activity", 42},
        Exact{"IPM.Remote", 47},
        Exact{"IPM.Recall.Report", 46},
    };
    for (const auto& e : kExact) {
        if (equalsNoCase(cls, e.cls)) {
            return e.number;
        }
    }
    static constexpr std::array kFamilies = {
        Exact{"IPM.Note", 43},     Exact{"IPM.Post", 45},     Exact{"IPM.Appointment", 26},
        Exact{"IPM.Contact", 40},  Exact{"IPM.Task", 48},     Exact{"REPORT", 46},
        Exact{"IPM.Document", 41}, Exact{"IPM.Sharing", 104},
    };
    for (const auto& e : kFamilies) {
        if (isClassOrSubclass(cls, e.cls)) {
            return e.number;
        }
    }
    if (startsWithNoCase(cls, "IPM.OLE.CLASS.{00061055-")) {
        return 26; // an exception of a recurring appointment
    }
    return 43;
}

Variant readItemProperty(const ItemSource& m, std::string_view name) {
    const auto kind = propertyKind(name);
    if (!kind) {
        return absentValue(name); // throws err::kNotFound
    }

    if (name == "Subject") {
        if (auto s = m.string(messaging::tag::kSubject)) {
            return Variant(messaging::stripSubjectMarker(std::move(*s)));
        }
        // A note keeps no subject of its own: Outlook shows the first line of its text.
        if (equalsNoCase(m.messageClass(), "IPM.StickyNote")) {
            return Variant(firstLine(m.body()));
        }
        return absentValue(name);
    }
    if (name == "Body") {
        return Variant(m.body());
    }
    if (name == "Class") {
        return Variant(objectClassOf(m.messageClass()));
    }
    if (name == "To" || name == "RequiredAttendees") {
        return Variant(displayList(m, ltp::tag::kDisplayTo, 1));
    }
    if (name == "CC" || name == "OptionalAttendees" || name == "StatusUpdateRecipients") {
        return Variant(displayList(m, ltp::tag::kDisplayCc, 2));
    }
    if (name == "BCC" || name == "Resources" || name == "StatusOnCompletionRecipients") {
        return Variant(displayList(m, ltp::tag::kDisplayBcc, 3));
    }
    if (name == "IsRecurring") {
        const bool task = isClassOrSubclass(m.messageClass(), "IPM.Task");
        const auto id = task ? m.namedId(ps::kTask, 0x8126) : m.namedId(ps::kAppointment, 0x8223);
        if (id) {
            if (auto b = m.boolean(*id)) {
                return Variant(*b);
            }
        }
        return absentValue(name);
    }
    if (name == "Duration") {
        if (const auto id = m.namedId(ps::kAppointment, 0x8213)) {
            if (auto n = m.integer(*id)) {
                return Variant(*n);
            }
        }
        // Without a stored duration, the minutes between start and end, each read where
        // Start and End read it.
        const auto fileTimeOf = [&](const Prop& primary, std::uint16_t fallback) {
            std::optional<std::int64_t> t;
            if (const auto id = resolve(m, primary)) {
                t = m.fileTime(*id);
            }
            return t ? t : m.fileTime(fallback);
        };
        const auto start = fileTimeOf(named(ps::kAppointment, 0x820D), 0x0060);
        const auto end = fileTimeOf(named(ps::kAppointment, 0x820E), 0x0061);
        if (start && end) {
            if (const auto minutes = minutesBetween(*start, *end)) {
                return Variant(*minutes);
            }
        }
        return absentValue(name);
    }
    if (name == "RecurrenceType") {
        const bool task = isClassOrSubclass(m.messageClass(), "IPM.Task");
        const auto blobId =
            task ? m.namedId(ps::kTask, 0x8116) : m.namedId(ps::kAppointment, 0x8216);
        if (blobId) {
            if (auto blob = m.binary(*blobId)) {
                return Variant(recurrenceTypeOf(*blob));
            }
        }
        if (const auto id = m.namedId(ps::kAppointment, 0x8231)) {
            if (const auto coarse = m.integer(*id)) {
                if (const auto type = coarseRecurrenceType(*coarse)) {
                    return Variant(*type);
                }
            }
        }
        return absentValue(name);
    }
    if (name == "Birthday" || name == "Anniversary") {
        return Variant(contactDay(m, name == "Birthday"));
    }
    if (name == "LastNameAndFirstName") {
        const auto last = readItemProperty(m, "LastName").text();
        const auto first = readItemProperty(m, "FirstName").text();
        if (last.empty() || first.empty()) {
            return Variant(last + first);
        }
        return Variant(last + ", " + first);
    }

    const Mapping* map = findMapping(name);
    if (map == nullptr) {
        return absentValue(name);
    }
    if (auto v = readMapping(m, *map, *kind)) {
        return std::move(*v);
    }
    return absentValue(name);
}

namespace {

// A message of a data file, read through its property reader.
class MessageSource final : public ItemSource {
public:
    explicit MessageSource(const MessageObject& m) : m_message(m), m_props(m.properties()) {}
    std::optional<std::string> string(std::uint16_t id) const override {
        return m_props.string(id);
    }
    std::optional<std::int64_t> integer(std::uint16_t id) const override {
        return m_props.integer(id);
    }
    std::optional<bool> boolean(std::uint16_t id) const override { return m_props.boolean(id); }
    std::optional<double> real(std::uint16_t id) const override { return m_props.real(id); }
    std::optional<std::int64_t> fileTime(std::uint16_t id) const override {
        return m_props.fileTime(id);
    }
    std::optional<std::vector<std::string>> strings(std::uint16_t id) const override {
        return m_props.strings(id);
    }
    std::optional<std::vector<std::uint8_t>> binary(std::uint16_t id) const override {
        return m_props.binary(id);
    }
    std::optional<std::uint16_t> namedId(const Guid& set, std::uint32_t lid) const override {
        return m_message.namedId(set, lid);
    }
    std::optional<std::uint16_t> namedId(const Guid& set, std::string_view name) const override {
        return m_message.namedId(set, name);
    }
    std::string messageClass() const override { return m_message.messageClass(); }
    std::string body() const override { return m_message.body(); }
    std::vector<std::string> recipientNames(std::int32_t type) const override {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < m_message.recipientCount(); ++i) {
            auto r = m_message.recipient(i);
            if (r.type == type) {
                names.push_back(std::move(r.name));
            }
        }
        return names;
    }

private:
    const MessageObject& m_message;
    messaging::PropertyReader m_props;
};

} // namespace

Variant readItemProperty(const MessageObject& message, std::string_view name) {
    return readItemProperty(MessageSource(message), name);
}

bool isClassOrSubclass(std::string_view cls, std::string_view base) {
    return equalsNoCase(cls, base) ||
           (cls.size() > base.size() && startsWithNoCase(cls, base) && cls[base.size()] == '.');
}

} // namespace tvn::store::pst::backend
