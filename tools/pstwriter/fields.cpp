#include "tools/pstwriter/fields.h"

#include <array>
#include <span>

namespace tvn::tools {

namespace {

using namespace prop_type;
const Guid* const kAppt = &guids::kAppointment;
const Guid* const kTask = &guids::kTask;
const Guid* const kAddr = &guids::kAddress;
const Guid* const kCommon = &guids::kCommon;
const Guid* const kNote = &guids::kNote;
const Guid* const kLog = &guids::kLog;
const Guid* const kPublic = &guids::kPsPublicStrings;

// Sources: the object-model to property reference of this project (outlook-properties.md).
const FieldInfo kFields[] = {
    // Every item.
    {"Subject", nullptr, 0x0037, kUnicode, {}},
    {"Body", nullptr, 0x1000, kUnicode, {}},
    {"MessageClass", nullptr, 0x001A, kUnicode, {}},
    {"CreationTime", nullptr, 0x3007, kSysTime, {}},
    {"LastModificationTime", nullptr, 0x3008, kSysTime, {}},
    {"Importance", nullptr, 0x0017, kInt32, {}},
    {"Sensitivity", nullptr, 0x0036, kInt32, {}},
    {"Categories", kPublic, 0, kMvUnicode, "Keywords"},
    {"Companies", kCommon, 0x8539, kMvUnicode, {}},
    {"Mileage", kCommon, 0x8534, kUnicode, {}},
    {"BillingInformation", kCommon, 0x8535, kUnicode, {}},
    {"ReminderSet", kCommon, 0x8503, kBoolean, {}},
    {"ReminderMinutesBeforeStart", kCommon, 0x8501, kInt32, {}},
    {"ReminderTime", kCommon, 0x8502, kSysTime, {}},
    {"ContactNames", kCommon, 0x853A, kMvUnicode, {}},
    // Mail.
    {"SentOn", nullptr, 0x0039, kSysTime, {}},
    {"ReceivedTime", nullptr, 0x0E06, kSysTime, {}},
    {"SenderName", nullptr, 0x0C1A, kUnicode, {}},
    {"SenderEmailAddress", nullptr, 0x0C1F, kUnicode, {}},
    {"SentOnBehalfOfName", nullptr, 0x0042, kUnicode, {}},
    {"To", nullptr, 0x0E04, kUnicode, {}},
    {"CC", nullptr, 0x0E03, kUnicode, {}},
    {"BCC", nullptr, 0x0E02, kUnicode, {}},
    // Appointment.
    {"Start", kAppt, 0x820D, kSysTime, {}},
    {"End", kAppt, 0x820E, kSysTime, {}},
    {"Duration", kAppt, 0x8213, kInt32, {}},
    {"Location", kAppt, 0x8208, kUnicode, {}},
    {"BusyStatus", kAppt, 0x8205, kInt32, {}},
    {"AllDayEvent", kAppt, 0x8215, kBoolean, {}},
    {"IsRecurring", kAppt, 0x8223, kBoolean, {}},
    {"RecurrenceType", kAppt, 0x8231, kInt32, {}},
    {"RecurrencePattern", kAppt, 0x8232, kUnicode, {}},
    {"AppointmentRecur", kAppt, 0x8216, kBinary, {}},
    {"Organizer", nullptr, 0x0042, kUnicode, {}},
    {"RequiredAttendees", nullptr, 0x0E04, kUnicode, {}},
    {"OptionalAttendees", nullptr, 0x0E03, kUnicode, {}},
    {"Resources", nullptr, 0x0E02, kUnicode, {}},
    {"ToAttendeesString", kAppt, 0x823B, kUnicode, {}},
    {"CcAttendeesString", kAppt, 0x823C, kUnicode, {}},
    {"StartDate", kTask, 0x8104, kSysTime, {}},
    // Task.
    {"DueDate", kTask, 0x8105, kSysTime, {}},
    {"PercentComplete", kTask, 0x8102, kDouble, {}},
    {"DateCompleted", kTask, 0x810F, kSysTime, {}},
    {"Complete", kTask, 0x811C, kBoolean, {}},
    {"Status", kTask, 0x8101, kInt32, {}},
    {"DelegationState", kTask, 0x812A, kInt32, {}},
    {"Delegator", kTask, 0x8121, kUnicode, {}},
    {"Ownership", kTask, 0x8129, kInt32, {}},
    {"Owner", kTask, 0x811F, kUnicode, {}},
    {"ResponseState", kCommon, 0x8518, kInt32, {}},
    {"Role", kTask, 0x8127, kUnicode, {}},
    {"StatusOnCompletion", kTask, 0x8119, kBoolean, {}},
    {"TeamTask", kTask, 0x8103, kBoolean, {}},
    {"TotalWork", kTask, 0x8111, kInt32, {}},
    {"ActualWork", kTask, 0x8110, kInt32, {}},
    {"TaskIsRecurring", kTask, 0x8126, kBoolean, {}},
    {"CommonStart", kCommon, 0x8516, kSysTime, {}},
    {"CommonEnd", kCommon, 0x8517, kSysTime, {}},
    // Note.
    {"Color", kNote, 0x8B00, kInt32, {}},
    {"Width", kNote, 0x8B02, kInt32, {}},
    {"Height", kNote, 0x8B03, kInt32, {}},
    {"Left", kNote, 0x8B04, kInt32, {}},
    {"Top", kNote, 0x8B05, kInt32, {}},
    // Journal.
    {"JournalType", kLog, 0x8700, kUnicode, {}},
    {"JournalStart", kLog, 0x8706, kSysTime, {}},
    {"JournalEnd", kLog, 0x8708, kSysTime, {}},
    {"JournalDuration", kLog, 0x8707, kInt32, {}},
    // Contact.
    {"FullName", nullptr, 0x3001, kUnicode, {}},
    {"Title", nullptr, 0x3A45, kUnicode, {}},
    {"FirstName", nullptr, 0x3A06, kUnicode, {}},
    {"MiddleName", nullptr, 0x3A44, kUnicode, {}},
    {"LastName", nullptr, 0x3A11, kUnicode, {}},
    {"Suffix", nullptr, 0x3A05, kUnicode, {}},
    {"CompanyName", nullptr, 0x3A16, kUnicode, {}},
    {"Department", nullptr, 0x3A18, kUnicode, {}},
    {"JobTitle", nullptr, 0x3A17, kUnicode, {}},
    {"BusinessAddressStreet", kAddr, 0x8045, kUnicode, {}},
    {"BusinessAddressCity", kAddr, 0x8046, kUnicode, {}},
    {"BusinessAddressState", kAddr, 0x8047, kUnicode, {}},
    {"BusinessAddressPostalCode", kAddr, 0x8048, kUnicode, {}},
    {"BusinessAddressCountry", kAddr, 0x8049, kUnicode, {}},
    {"BusinessAddressPostOfficeBox", kAddr, 0x804A, kUnicode, {}},
    {"HomeAddressStreet", nullptr, 0x3A5D, kUnicode, {}},
    {"HomeAddressCity", nullptr, 0x3A59, kUnicode, {}},
    {"HomeAddressState", nullptr, 0x3A5C, kUnicode, {}},
    {"HomeAddressPostalCode", nullptr, 0x3A5B, kUnicode, {}},
    {"HomeAddressCountry", nullptr, 0x3A5A, kUnicode, {}},
    {"HomeAddressPostOfficeBox", nullptr, 0x3A5E, kUnicode, {}},
    {"OtherAddressStreet", nullptr, 0x3A63, kUnicode, {}},
    {"OtherAddressCity", nullptr, 0x3A5F, kUnicode, {}},
    {"OtherAddressState", nullptr, 0x3A62, kUnicode, {}},
    {"OtherAddressPostalCode", nullptr, 0x3A61, kUnicode, {}},
    {"OtherAddressCountry", nullptr, 0x3A60, kUnicode, {}},
    {"OtherAddressPostOfficeBox", nullptr, 0x3A64, kUnicode, {}},
    {"AssistantTelephoneNumber", nullptr, 0x3A2E, kUnicode, {}},
    {"BusinessFaxNumber", nullptr, 0x3A24, kUnicode, {}},
    {"BusinessTelephoneNumber", nullptr, 0x3A08, kUnicode, {}},
    {"Business2TelephoneNumber", nullptr, 0x3A1B, kUnicode, {}},
    {"CallbackTelephoneNumber", nullptr, 0x3A02, kUnicode, {}},
    {"CarTelephoneNumber", nullptr, 0x3A1E, kUnicode, {}},
    {"CompanyMainTelephoneNumber", nullptr, 0x3A57, kUnicode, {}},
    {"HomeFaxNumber", nullptr, 0x3A25, kUnicode, {}},
    {"HomeTelephoneNumber", nullptr, 0x3A09, kUnicode, {}},
    {"Home2TelephoneNumber", nullptr, 0x3A2F, kUnicode, {}},
    {"ISDNNumber", nullptr, 0x3A2D, kUnicode, {}},
    {"MobileTelephoneNumber", nullptr, 0x3A1C, kUnicode, {}},
    {"OtherFaxNumber", nullptr, 0x3A23, kUnicode, {}},
    {"OtherTelephoneNumber", nullptr, 0x3A1F, kUnicode, {}},
    {"PagerNumber", nullptr, 0x3A21, kUnicode, {}},
    {"PrimaryTelephoneNumber", nullptr, 0x3A1A, kUnicode, {}},
    {"RadioTelephoneNumber", nullptr, 0x3A1D, kUnicode, {}},
    {"TTYTDDTelephoneNumber", nullptr, 0x3A4B, kUnicode, {}},
    {"TelexNumber", nullptr, 0x3A2C, kUnicode, {}},
    {"Account", nullptr, 0x3A00, kUnicode, {}},
    {"Anniversary", nullptr, 0x3A41, kSysTime, {}},
    {"AssistantName", nullptr, 0x3A30, kUnicode, {}},
    {"Birthday", nullptr, 0x3A42, kSysTime, {}},
    {"Children", nullptr, 0x3A58, kMvUnicode, {}},
    {"Email1Address", kAddr, 0x8083, kUnicode, {}},
    {"Email1AddressType", kAddr, 0x8082, kUnicode, {}},
    {"Email1DisplayName", kAddr, 0x8080, kUnicode, {}},
    {"Email2Address", kAddr, 0x8093, kUnicode, {}},
    {"Email2AddressType", kAddr, 0x8092, kUnicode, {}},
    {"Email2DisplayName", kAddr, 0x8090, kUnicode, {}},
    {"Email3Address", kAddr, 0x80A3, kUnicode, {}},
    {"Email3AddressType", kAddr, 0x80A2, kUnicode, {}},
    {"Email3DisplayName", kAddr, 0x80A0, kUnicode, {}},
    {"Gender", nullptr, 0x3A4D, kInt16, {}},
    {"GovernmentIDNumber", nullptr, 0x3A07, kUnicode, {}},
    {"Hobby", nullptr, 0x3A43, kUnicode, {}},
    {"Initials", nullptr, 0x3A0A, kUnicode, {}},
    {"InternetFreeBusyAddress", kAddr, 0x80D8, kUnicode, {}},
    {"Language", nullptr, 0x3A0C, kUnicode, {}},
    {"ManagerName", nullptr, 0x3A4E, kUnicode, {}},
    {"OfficeLocation", nullptr, 0x3A19, kUnicode, {}},
    {"OrganizationalIDNumber", nullptr, 0x3A10, kUnicode, {}},
    {"Profession", nullptr, 0x3A46, kUnicode, {}},
    {"ReferredBy", nullptr, 0x3A47, kUnicode, {}},
    {"Spouse", nullptr, 0x3A48, kUnicode, {}},
    {"User1", kAddr, 0x804F, kUnicode, {}},
    {"User2", kAddr, 0x8050, kUnicode, {}},
    {"User3", kAddr, 0x8051, kUnicode, {}},
    {"User4", kAddr, 0x8052, kUnicode, {}},
    {"WebPage", kAddr, 0x802B, kUnicode, {}},
    {"BusinessHomePage", nullptr, 0x3A51, kUnicode, {}},
    {"PersonalHomePage", nullptr, 0x3A50, kUnicode, {}},
    {"FileAs", kAddr, 0x8005, kUnicode, {}},
    {"PostalAddressId", kAddr, 0x8022, kInt32, {}},
    {"MailingAddressStreet", nullptr, 0x3A29, kUnicode, {}},
    {"MailingAddressCity", nullptr, 0x3A27, kUnicode, {}},
    {"MailingAddressState", nullptr, 0x3A28, kUnicode, {}},
    {"MailingAddressPostalCode", nullptr, 0x3A2A, kUnicode, {}},
    {"MailingAddressCountry", nullptr, 0x3A26, kUnicode, {}},
};

} // namespace

const FieldInfo* findField(std::string_view name) {
    for (const auto& f : kFields) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

std::span<const FieldInfo> allFields() {
    return kFields;
}

std::optional<PropValue> coerceToType(const PropValue& v, std::uint16_t type) {
    if (v.type == type) {
        return v;
    }
    PropValue out = v;
    out.type = type;
    const bool fromInteger =
        v.type == prop_type::kInt32 || v.type == prop_type::kInt64 || v.type == prop_type::kInt16;
    switch (type) {
    case prop_type::kInt16:
        if (fromInteger && v.integer >= -32768 && v.integer <= 32767) {
            return out;
        }
        break;
    case prop_type::kInt32:
        if (fromInteger && v.integer >= INT32_MIN && v.integer <= 0xFFFFFFFFll) {
            return out;
        }
        break;
    case prop_type::kInt64:
        if (fromInteger) {
            return out;
        }
        break;
    case prop_type::kDouble:
    case prop_type::kFloat:
        if (fromInteger) {
            out.real = static_cast<double>(v.integer);
            return out;
        }
        break;
    case prop_type::kBoolean:
        if (fromInteger) {
            out.integer = v.integer != 0 ? 1 : 0;
            return out;
        }
        break;
    case prop_type::kMvUnicode:
        if (v.type == prop_type::kUnicode) {
            out.texts = {v.text};
            return out;
        }
        break;
    default:
        break;
    }
    return std::nullopt;
}

} // namespace tvn::tools
