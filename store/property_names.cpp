#include "store/property_names.h"

#include <algorithm>
#include <array>
#include <string>

#include "store/failure.h"

namespace tvn::store {

namespace {

using K = Variant::Kind;

struct Known {
    std::string_view name;
    K kind;
};

// Sorted by name for binary search; a test checks the order.
constexpr std::array kKnown = {
    Known{"Account", K::Text},
    Known{"ActualWork", K::Integer},
    Known{"AllDayEvent", K::Boolean},
    Known{"Anniversary", K::Date},
    Known{"AssistantName", K::Text},
    Known{"AssistantTelephoneNumber", K::Text},
    Known{"BCC", K::Text},
    Known{"BillingInformation", K::Text},
    Known{"Birthday", K::Date},
    Known{"Body", K::Text},
    Known{"Business2TelephoneNumber", K::Text},
    Known{"BusinessAddressCity", K::Text},
    Known{"BusinessAddressCountry", K::Text},
    Known{"BusinessAddressPostOfficeBox", K::Text},
    Known{"BusinessAddressPostalCode", K::Text},
    Known{"BusinessAddressState", K::Text},
    Known{"BusinessAddressStreet", K::Text},
    Known{"BusinessFaxNumber", K::Text},
    Known{"BusinessHomePage", K::Text},
    Known{"BusinessTelephoneNumber", K::Text},
    Known{"BusyStatus", K::Integer},
    Known{"CC", K::Text},
    Known{"CallbackTelephoneNumber", K::Text},
    Known{"CarTelephoneNumber", K::Text},
    Known{"Categories", K::Text},
    Known{"Children", K::Text},
    Known{"Class", K::Integer},
    Known{"Color", K::Integer},
    Known{"Companies", K::Text},
    Known{"CompanyMainTelephoneNumber", K::Text},
    Known{"CompanyName", K::Text},
    Known{"Complete", K::Boolean},
    Known{"ContactNames", K::Text},
    Known{"CreationTime", K::Date},
    Known{"DateCompleted", K::Date},
    Known{"DelegationState", K::Integer},
    Known{"Delegator", K::Text},
    Known{"Department", K::Text},
    Known{"DueDate", K::Date},
    Known{"Duration", K::Integer},
    Known{"Email1Address", K::Text},
    Known{"Email1AddressType", K::Text},
    Known{"Email1DisplayName", K::Text},
    Known{"Email2Address", K::Text},
    Known{"Email2AddressType", K::Text},
    Known{"Email2DisplayName", K::Text},
    Known{"Email3Address", K::Text},
    Known{"Email3AddressType", K::Text},
    Known{"Email3DisplayName", K::Text},
    Known{"End", K::Date},
    Known{"FileAs", K::Text},
    Known{"FirstName", K::Text},
    Known{"FullName", K::Text},
    Known{"Gender", K::Integer},
    Known{"GovernmentIDNumber", K::Text},
    Known{"Height", K::Integer},
    Known{"Hobby", K::Text},
    Known{"Home2TelephoneNumber", K::Text},
    Known{"HomeAddressCity", K::Text},
    Known{"HomeAddressCountry", K::Text},
    Known{"HomeAddressPostOfficeBox", K::Text},
    Known{"HomeAddressPostalCode", K::Text},
    Known{"HomeAddressState", K::Text},
    Known{"HomeAddressStreet", K::Text},
    Known{"HomeFaxNumber", K::Text},
    Known{"HomeTelephoneNumber", K::Text},
    Known{"ISDNNumber", K::Text},
    Known{"Importance", K::Integer},
    Known{"Initials", K::Text},
    Known{"InternetFreeBusyAddress", K::Text},
    Known{"IsRecurring", K::Boolean},
    Known{"JobTitle", K::Text},
    Known{"Language", K::Text},
    Known{"LastModificationTime", K::Date},
    Known{"LastName", K::Text},
    Known{"LastNameAndFirstName", K::Text},
    Known{"Left", K::Integer},
    Known{"Location", K::Text},
    Known{"MailingAddressCity", K::Text},
    Known{"MailingAddressCountry", K::Text},
    Known{"MailingAddressPostOfficeBox", K::Text},
    Known{"MailingAddressPostalCode", K::Text},
    Known{"MailingAddressState", K::Text},
    Known{"MailingAddressStreet", K::Text},
    Known{"ManagerName", K::Text},
    Known{"MessageClass", K::Text},
    Known{"MiddleName", K::Text},
    Known{"Mileage", K::Text},
    Known{"MobileTelephoneNumber", K::Text},
    Known{"NickName", K::Text},
    Known{"OfficeLocation", K::Text},
    Known{"OptionalAttendees", K::Text},
    Known{"OrganizationalIDNumber", K::Text},
    Known{"Organizer", K::Text},
    Known{"OtherAddressCity", K::Text},
    Known{"OtherAddressCountry", K::Text},
    Known{"OtherAddressPostOfficeBox", K::Text},
    Known{"OtherAddressPostalCode", K::Text},
    Known{"OtherAddressState", K::Text},
    Known{"OtherAddressStreet", K::Text},
    Known{"OtherFaxNumber", K::Text},
    Known{"OtherTelephoneNumber", K::Text},
    Known{"Owner", K::Text},
    Known{"Ownership", K::Integer},
    Known{"PagerNumber", K::Text},
    Known{"PercentComplete", K::Integer},
    Known{"PersonalHomePage", K::Text},
    Known{"PrimaryTelephoneNumber", K::Text},
    Known{"Profession", K::Text},
    Known{"RadioTelephoneNumber", K::Text},
    Known{"ReceivedTime", K::Date},
    Known{"ReferredBy", K::Text},
    Known{"ReminderMinutesBeforeStart", K::Integer},
    Known{"ReminderSet", K::Boolean},
    Known{"ReminderTime", K::Date},
    Known{"RequiredAttendees", K::Text},
    Known{"Resources", K::Text},
    Known{"ResponseState", K::Integer},
    Known{"Role", K::Text},
    Known{"SenderEmailAddress", K::Text},
    Known{"SenderName", K::Text},
    Known{"Sensitivity", K::Integer},
    Known{"SentOn", K::Date},
    Known{"Spouse", K::Text},
    Known{"Start", K::Date},
    Known{"StartDate", K::Date},
    Known{"Status", K::Integer},
    Known{"StatusOnCompletionRecipients", K::Text},
    Known{"StatusUpdateRecipients", K::Text},
    Known{"Subject", K::Text},
    Known{"Suffix", K::Text},
    Known{"TTYTDDTelephoneNumber", K::Text},
    Known{"TeamTask", K::Boolean},
    Known{"TelexNumber", K::Text},
    Known{"Title", K::Text},
    Known{"To", K::Text},
    Known{"Top", K::Integer},
    Known{"TotalWork", K::Integer},
    Known{"User1", K::Text},
    Known{"User2", K::Text},
    Known{"User3", K::Text},
    Known{"User4", K::Text},
    Known{"WebPage", K::Text},
    Known{"Width", K::Integer},
};

constexpr bool sortedByName() {
    for (std::size_t i = 1; i < kKnown.size(); ++i) {
        if (!(kKnown[i - 1].name < kKnown[i].name)) {
            return false;
        }
    }
    return true;
}
static_assert(sortedByName(), "kKnown must stay sorted by name");

} // namespace

std::optional<Variant::Kind> propertyKind(std::string_view name) {
    auto it = std::lower_bound(kKnown.begin(), kKnown.end(), name,
                               [](const Known& k, std::string_view n) { return k.name < n; });
    if (it == kKnown.end() || it->name != name) {
        return std::nullopt;
    }
    return it->kind;
}

std::vector<std::string_view> knownPropertyNames() {
    std::vector<std::string_view> names;
    names.reserve(kKnown.size());
    for (const auto& known : kKnown) {
        names.push_back(known.name);
    }
    return names;
}

Variant absentValue(std::string_view name) {
    const auto kind = propertyKind(name);
    if (!kind) {
        throw Failure(err::kNotFound, "The property \"" + std::string(name) + "\" is unknown.");
    }
    if (name == "Importance") {
        return Variant(1);
    }
    switch (*kind) {
    case K::Text:
        return Variant(std::string{});
    case K::Integer:
        return Variant(0);
    case K::Boolean:
        return Variant(false);
    case K::Double:
        return Variant(0.0);
    case K::Date:
        return Variant(DateTime::none());
    }
    return Variant{};
}

} // namespace tvn::store
