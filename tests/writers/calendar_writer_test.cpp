#include <gtest/gtest.h>

#include "tests/writers/report_test_support.h"

namespace tvn::writers {
namespace {

using namespace testing;
using store::AttachmentType;
using store::DateTime;
using store::memory::MemoryItem;

const Values kBase = {{"Subject", "Budget review"},
                      {"Body", "Line one\r\nLine two"},
                      {"BusyStatus", 2},
                      {"ReminderSet", true},
                      {"CreationTime", DateTime{2003, 11, 5, 9, 7, 2}},
                      {"Start", DateTime{2003, 11, 6, 14, 30, 0}},
                      {"End", DateTime{2003, 11, 6, 16, 0, 0}},
                      {"AllDayEvent", false},
                      {"Duration", 90},
                      {"Location", "Room 4"},
                      {"IsRecurring", false},
                      {"Importance", 1},
                      {"Organizer", "Jane Smith"},
                      {"RequiredAttendees", "Ann Lee; Bob Ray"},
                      {"OptionalAttendees", ""},
                      {"Sensitivity", 0},
                      {"Companies", ""},
                      {"Categories", "Blue, Red"}};

const std::vector<std::string> kBaseReport = {
    "Subject: Budget review",
    "Date created: 11/5/2003 9:07:02 AM",
    "",
    "Start date: 11/6/2003 2:30:00 PM",
    "End Date: 11/6/2003 4:00:00 PM",
    "Duration: 90 minutes.",
    "All day event: No.",
    "",
    "Location: Room 4.",
    "Organized by: Jane Smith",
    "Company: No companies were listed for this calendar event.",
    "Importance: Normal.",
    "Sensitivity level: Normal.",
    "Category assigned: Blue, Red.",
    "Recurring appointment: No.",
    "Busy status: Busy.",
    "Reminder set: Yes.",
    "",
    "Required attendees: Ann Lee,  Bob Ray.",
    "",
    "Optional attendees: No optional attendees were listed for this calendar event.",
    "",
    "This calendar event contained the following attachments: None.",
    "",
    "Calendar message: ",
    "Line one\r\nLine two",
};
constexpr auto kBaseName = "Folder/2003-11-06 14.30.00 - Budget review.rtf";

enum Line : std::size_t {
    Subject = 0,
    Duration = 5,
    AllDay = 6,
    Location = 8,
    Organizer = 9,
    Company = 10,
    Importance = 11,
    Sensitivity = 12,
    Category = 13,
    Recurring = 14,
    Busy = 15,
    Reminder = 16,
    Required = 18,
    Optional = 20,
    Attachments = 22,
    Body = 25,
};

Values recurring(int type) {
    return {{"IsRecurring", true}, {"RecurrenceType", type}};
}

TEST(CalendarWriter, ReportsAreWrittenByteForByteForEveryWordAndSubstitute) {
    const std::string saved = "by-value attachments listed, all but the untitled one saved";
    const std::vector<ReportCase> cases = {
        {"base", {}, {}},
        {"free, low, personal, all day, no duration, empty texts",
         {{"BusyStatus", 0},
          {"Importance", 0},
          {"Sensitivity", 1},
          {"AllDayEvent", true},
          {"Duration", 0},
          {"ReminderSet", false},
          {"Location", ""},
          {"Organizer", ""},
          {"Companies", "Acme; Beta"},
          {"Categories", ""},
          {"RequiredAttendees", ""},
          {"OptionalAttendees", "Carl Dunn"}},
         {{Busy, "Busy status: Free."},
          {Importance, "Importance: Low."},
          {Sensitivity, "Sensitivity level: Personal."},
          {AllDay, "All day event: Yes"},
          {Duration, "Duration: N/A."},
          {Reminder, "Reminder set: No."},
          {Location, "Location: No location was listed for this calendar event."},
          {Organizer, "Organized by: "},
          {Company, "Company: Acme; Beta"},
          {Category, "Category assigned: No category was selected for this calendar event."},
          {Required,
           "Required attendees: No required attendees were listed for this calendar event."},
          {Optional, "Optional attendees: Carl Dunn."}}},
        {"tentative, high, private",
         {{"BusyStatus", 1}, {"Importance", 2}, {"Sensitivity", 2}},
         {{Busy, "Busy status: Tentative."},
          {Importance, "Importance: High."},
          {Sensitivity, "Sensitivity level: Private."}}},
        {"out of office, no importance, confidential",
         {{"BusyStatus", 3}, {"Importance", 3}, {"Sensitivity", 3}},
         {{Busy, "Busy status: Out of office."},
          {Importance, "Importance: No importance level was set for this calendar event."},
          {Sensitivity, "Sensitivity level: Confidential."}}},
        {"values past the tables",
         {{"BusyStatus", 4}, {"Importance", -1}, {"Sensitivity", 4}},
         {{Busy, "Busy status: N/A."},
          {Importance, "Importance: No importance level was set for this calendar event."},
          {Sensitivity,
           "Sensitivity level: No sensitivity level was set for this calendar event."}}},
        {"daily", recurring(0), {{Recurring, "Recurring appointment: Yes - Daily."}}},
        {"weekly", recurring(1), {{Recurring, "Recurring appointment: Yes - Weekly."}}},
        {"monthly", recurring(2), {{Recurring, "Recurring appointment: Yes - Monthly."}}},
        {"monthly on the nth weekday",
         recurring(3),
         {{Recurring, "Recurring appointment: Yes - Monthly (see appointment for additional "
                      "details)."}}},
        {"type outside the table",
         recurring(4),
         {{Recurring, "Recurring appointment: Yes - see appointment for additional details."}}},
        {"yearly", recurring(5), {{Recurring, "Recurring appointment: Yes - Yearly."}}},
        {"yearly on the nth weekday",
         recurring(6),
         {{Recurring, "Recurring appointment: Yes - Yearly (see appointment for additional "
                      "details)."}}},
        {"empty body, a subject that loses characters",
         {{"Body", ""}, {"Subject", "Re: <urgent> \"plan\"? v1.5"}},
         {{Body, "<This calendar event contained no message body.>"},
          {Subject, "Subject: Re urgent plan v1.5"}},
         "Folder/2003-11-06 14.30.00 - Re urgent plan v1.5.rtf"},
        {"subject made only of removed characters",
         {{"Subject", "?:/"}},
         {{Subject, "Subject: "}},
         "Folder/2003-11-06 14.30.00 - <This calendar event contained no subject.>.rtf"},
        {"cleaned subject of 41 characters",
         {{"Subject", "12345678901234567890123456789012345678901"}},
         {{Subject, "Subject: 123456789012345678901234567890123456789"}},
         "Folder/2003-11-06 14.30.00 - 123456789012345678901234567890123456789.rtf"},
        {"cleaned subject of 40 characters",
         {{"Subject", "1234567890123456789012345678901234567890?"}},
         {{Subject, "Subject: 1234567890123456789012345678901234567890"}},
         "Folder/2003-11-06 14.30.00 - 1234567890123456789012345678901234567890.rtf"},
        {"only an embedded item and an untitled message",
         {},
         {},
         "",
         [](MemoryItem& a) {
             a.addAttachment("Forwarded.msg", "", AttachmentType::EmbeddedItem);
             a.addAttachment("Untitled.msg", "x");
         }},
        {saved,
         {},
         {{Attachments, "This calendar event contained the following attachments: \r\n"
                        "1.  agenda.txt.\r\n2.  say \"hi\".txt."}},
         "",
         [](MemoryItem& a) {
             a.addAttachment("agenda.txt", "A");
             a.addAttachment("Untitled.msg", "U");
             a.addAttachment("Note.msg", "", AttachmentType::Ole);
             a.addAttachment("say \"hi\".txt", "Q");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriterRun w;
        const auto files = runCase(w, &SaveCalendar, "IPM.Appointment", kBase, c);
        const std::string name = c.fileName.empty() ? kBaseName : c.fileName;
        ASSERT_EQ(files.count(name), 1u);
        EXPECT_EQ(files.at(name), reportText(withChanges(kBaseReport, c)));
        EXPECT_EQ(w.log(), "");
        if (c.name == saved) {
            EXPECT_EQ(files.at("Folder/agenda.txt"), "A");
            EXPECT_EQ(files.at("Folder/say hi.txt"), "Q");
            EXPECT_EQ(files.count("Folder/Note.msg"), 1u);
        }
        EXPECT_EQ(files.size(), c.name == saved ? 4u : 1u);
    }
}

} // namespace
} // namespace tvn::writers
