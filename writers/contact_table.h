#pragma once

// The contacts table: one tab-separated "Contacts.rtf" per contacts folder, a header row of
// 80 column names and one row per contact. This header holds the columns, in table order,
// and the rules that turn each property into the text of its column; contacts_writer.cpp
// walks the folders and writes the files.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "store/properties.h"
#include "store/variant.h"

namespace tvn::writers::contacts {

// How a column's property becomes its text.
enum class Rule {
    Text,        // as it is
    Street,      // CR removed, each LF becomes ", "
    Postal,      // a number as "00000" or, longer than five characters, "00000-0000"
    Date,        // empty when later than now; else the short date and the time unless midnight
    Gender,      // 0 empty, else the number
    Priority,    // 0 Low, 1 Normal, 2 High, else the number
    Sensitivity, // 0 Normal, 1 Personal, 2 Private, 3 Confidential, else the number
    Mileage,     // a number as "###,###" (zero empty)
    Notes,       // every line, CR removed, followed by one blank
};

struct Column {
    std::string_view header;
    std::string_view property;
    Rule rule;
};

inline constexpr std::array<Column, 80> kColumns = {{
    {"Title", store::prop::Title.name, Rule::Text},
    {"First Name", store::prop::FirstName.name, Rule::Text},
    {"Middle Name", store::prop::MiddleName.name, Rule::Text},
    {"Last Name", store::prop::LastName.name, Rule::Text},
    {"Suffix", store::prop::Suffix.name, Rule::Text},
    {"Company", store::prop::CompanyName.name, Rule::Text},
    {"Department", store::prop::Department.name, Rule::Text},
    {"Job Title", store::prop::JobTitle.name, Rule::Text},
    {"Business Street", store::prop::BusinessAddressStreet.name, Rule::Street},
    {"Business City", store::prop::BusinessAddressCity.name, Rule::Text},
    {"Business State", store::prop::BusinessAddressState.name, Rule::Text},
    {"Business Postal Code", store::prop::BusinessAddressPostalCode.name, Rule::Postal},
    {"Business Country", store::prop::BusinessAddressCountry.name, Rule::Text},
    {"Home Street", store::prop::HomeAddressStreet.name, Rule::Street},
    {"Home City", store::prop::HomeAddressCity.name, Rule::Text},
    {"Home State", store::prop::HomeAddressState.name, Rule::Text},
    {"Home Postal Code", store::prop::HomeAddressPostalCode.name, Rule::Postal},
    {"Home Country", store::prop::HomeAddressCountry.name, Rule::Text},
    {"Other Street", store::prop::OtherAddressStreet.name, Rule::Street},
    {"Other City", store::prop::OtherAddressCity.name, Rule::Text},
    {"Other State", store::prop::OtherAddressState.name, Rule::Text},
    {"Other Postal Code", store::prop::OtherAddressPostalCode.name, Rule::Postal},
    {"Other Country", store::prop::OtherAddressCountry.name, Rule::Text},
    {"Assistant's Phone", store::prop::AssistantTelephoneNumber.name, Rule::Text},
    {"Business Fax", store::prop::BusinessFaxNumber.name, Rule::Text},
    {"Business Phone", store::prop::BusinessTelephoneNumber.name, Rule::Text},
    {"Business Phone 2", store::prop::Business2TelephoneNumber.name, Rule::Text},
    {"Callback Car Phone", store::prop::CallbackTelephoneNumber.name, Rule::Text},
    {"Car Phone", store::prop::CarTelephoneNumber.name, Rule::Text},
    {"Company Main Phone", store::prop::CompanyMainTelephoneNumber.name, Rule::Text},
    {"Home Fax", store::prop::HomeFaxNumber.name, Rule::Text},
    {"Home Phone", store::prop::HomeTelephoneNumber.name, Rule::Text},
    {"Home Phone 2", store::prop::Home2TelephoneNumber.name, Rule::Text},
    {"ISDN", store::prop::ISDNNumber.name, Rule::Text},
    {"Mobile Phone", store::prop::MobileTelephoneNumber.name, Rule::Text},
    {"Other Fax", store::prop::OtherFaxNumber.name, Rule::Text},
    {"Other Phone", store::prop::OtherTelephoneNumber.name, Rule::Text},
    {"Pager", store::prop::PagerNumber.name, Rule::Text},
    {"Primary Phone", store::prop::PrimaryTelephoneNumber.name, Rule::Text},
    {"Radio Phone", store::prop::RadioTelephoneNumber.name, Rule::Text},
    {"TTY/TDD Phone", store::prop::TTYTDDTelephoneNumber.name, Rule::Text},
    {"Telex", store::prop::TelexNumber.name, Rule::Text},
    {"Account", store::prop::Account.name, Rule::Text},
    {"Anniversary", store::prop::Anniversary.name, Rule::Date},
    {"Assistant's Name", store::prop::AssistantName.name, Rule::Text},
    {"Billing Information", store::prop::BillingInformation.name, Rule::Text},
    {"Birthday", store::prop::Birthday.name, Rule::Date},
    {"Categories", store::prop::Categories.name, Rule::Street},
    {"Children", store::prop::Children.name, Rule::Text},
    {"E-mail Address", store::prop::Email1Address.name, Rule::Text},
    {"E-mail Type", store::prop::Email1AddressType.name, Rule::Text},
    {"E-mail Display Name", store::prop::Email1DisplayName.name, Rule::Text},
    {"E-mail 2 Address", store::prop::Email2Address.name, Rule::Text},
    {"E-mail 2 Type", store::prop::Email2AddressType.name, Rule::Text},
    {"E-mail 2 Display Name", store::prop::Email2DisplayName.name, Rule::Text},
    {"E-mail 3 Address", store::prop::Email3Address.name, Rule::Text},
    {"E-mail 3 Type", store::prop::Email3AddressType.name, Rule::Text},
    {"E-mail 3 Display Name", store::prop::Email3DisplayName.name, Rule::Text},
    {"Gender", store::prop::Gender.name, Rule::Gender},
    {"Government ID Number", store::prop::GovernmentIDNumber.name, Rule::Text},
    {"Hobby", store::prop::Hobby.name, Rule::Text},
    {"Initials", store::prop::Initials.name, Rule::Text},
    {"Internet Free Busy", store::prop::InternetFreeBusyAddress.name, Rule::Text},
    {"Language", store::prop::Language.name, Rule::Text},
    {"Manager's Name", store::prop::ManagerName.name, Rule::Text},
    {"Mileage", store::prop::Mileage.name, Rule::Mileage},
    {"Notes", store::prop::Body.name, Rule::Notes},
    {"Office Location", store::prop::OfficeLocation.name, Rule::Text},
    {"Organizational ID Number", store::prop::OrganizationalIDNumber.name, Rule::Text},
    {"Other Address PO Box", store::prop::OtherAddressPostOfficeBox.name, Rule::Text},
    {"Priority", store::prop::Importance.name, Rule::Priority},
    {"Profession", store::prop::Profession.name, Rule::Text},
    {"Referred By", store::prop::ReferredBy.name, Rule::Text},
    {"Sensitivity", store::prop::Sensitivity.name, Rule::Sensitivity},
    {"Spouse", store::prop::Spouse.name, Rule::Text},
    {"User 1", store::prop::User1.name, Rule::Text},
    {"User 2", store::prop::User2.name, Rule::Text},
    {"User 3", store::prop::User3.name, Rule::Text},
    {"User 4", store::prop::User4.name, Rule::Text},
    {"Web Page", store::prop::WebPage.name, Rule::Text},
}};

inline constexpr std::string_view kContactsFileName = "Contacts.rtf";

inline constexpr std::string_view kSaveContactsInfo =
    " Error in SaveContacts function or a sub-function therein.";
inline constexpr std::string_view kPrintContactsInfo =
    " Error in PrintContacts sub or a sub-function therein.";

// The 80 column names joined by tabs, without a line end.
std::string PrintContactHeaders();

// The text of a column of this rule for the property's value, with nothing left in it
// that would shift the row's columns or split the row: a tab becomes a blank, a CR goes
// and an LF becomes ", ". Dates later than `now` stand for "no date".
std::string columnText(Rule rule, const store::Variant& value, const store::DateTime& now);

// The whole number a text reads as in the US English number syntax (blanks around it, a
// sign, thousands separators, a decimal point, an exponent), rounded half away from zero;
// nothing for a text that is not a number or one too large to be a whole number here.
std::optional<long long> readWholeNumber(std::string_view text);

// The number pictures of the postal and mileage rules; a text that is not a number is
// given back unchanged.
std::string formatPostal(std::string_view text);
std::string formatMileage(std::string_view text);

} // namespace tvn::writers::contacts
