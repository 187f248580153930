#include <gtest/gtest.h>

#include "tests/writers/report_test_support.h"

namespace tvn::writers {
namespace {

using namespace testing;
using store::AttachmentType;
using store::DateTime;
using store::ItemType;
using store::memory::MemoryFolder;
using store::memory::MemoryItem;

void baseAppointment(MemoryItem& a) {
    a.set("Subject", "Budget review")
        .set("Body", "Line one\r\nLine two")
        .set("BusyStatus", 2)
        .set("ReminderSet", true)
        .set("CreationTime", DateTime{2003, 11, 5, 9, 7, 2})
        .set("Start", DateTime{2003, 11, 6, 14, 30, 0})
        .set("End", DateTime{2003, 11, 6, 16, 0, 0})
        .set("AllDayEvent", false)
        .set("Duration", 90)
        .set("Location", "Room 4")
        .set("IsRecurring", false)
        .set("Importance", 1)
        .set("Organizer", "Jane Smith")
        .set("RequiredAttendees", "Ann Lee; Bob Ray")
        .set("OptionalAttendees", "")
        .set("Sensitivity", 0)
        .set("Companies", "")
        .set("Categories", "Blue, Red");
}

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

std::function<void(MemoryItem&)> recurring(int type) {
    return [type](MemoryItem& a) { a.set("IsRecurring", true).set("RecurrenceType", type); };
}

TEST(CalendarWriter, ReportsAreWrittenByteForByteForEveryWordAndSubstitute) {
    const std::vector<ReportCase> cases = {
        {"base", [](MemoryItem&) {}, {}},
        {"free, low, personal, all day, no duration, empty texts",
         [](MemoryItem& a) {
             a.set("BusyStatus", 0)
                 .set("Importance", 0)
                 .set("Sensitivity", 1)
                 .set("AllDayEvent", true)
                 .set("Duration", 0)
                 .set("ReminderSet", false)
                 .set("Location", "")
                 .set("Organizer", "")
                 .set("Companies", "Acme; Beta")
                 .set("Categories", "")
                 .set("RequiredAttendees", "")
                 .set("OptionalAttendees", "Carl Dunn");
         },
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
        {"tentative, high, private, daily",
         [](MemoryItem& a) {
             a.set("BusyStatus", 1).set("Importance", 2).set("Sensitivity", 2);
             recurring(0)(a);
         },
         {{Busy, "Busy status: Tentative."},
          {Importance, "Importance: High."},
          {Sensitivity, "Sensitivity level: Private."},
          {Recurring, "Recurring appointment: Yes - Daily."}}},
        {"out of office, no importance, confidential, weekly",
         [](MemoryItem& a) {
             a.set("BusyStatus", 3).set("Importance", 3).set("Sensitivity", 3);
             recurring(1)(a);
         },
         {{Busy, "Busy status: Out of office."},
          {Importance, "Importance: No importance level was set for this calendar event."},
          {Sensitivity, "Sensitivity level: Confidential."},
          {Recurring, "Recurring appointment: Yes - Weekly."}}},
        {"working elsewhere, no sensitivity, monthly",
         [](MemoryItem& a) {
             a.set("BusyStatus", 4).set("Importance", -1).set("Sensitivity", 4);
             recurring(2)(a);
         },
         {{Busy, "Busy status: N/A."},
          {Importance, "Importance: No importance level was set for this calendar event."},
          {Sensitivity, "Sensitivity level: No sensitivity level was set for this calendar event."},
          {Recurring, "Recurring appointment: Yes - Monthly."}}},
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
        {"empty body and a subject that loses characters",
         [](MemoryItem& a) { a.set("Body", "").set("Subject", "Re: <urgent> \"plan\"? v1.5"); },
         {{Body, "<This calendar event contained no message body.>"},
          {Subject, "Subject: Re urgent plan v1.5"}},
         "Folder/2003-11-06 14.30.00 - Re urgent plan v1.5.rtf"},
        {"subject made only of removed characters",
         [](MemoryItem& a) { a.set("Subject", "?:/"); },
         {{Subject, "Subject: "}},
         "Folder/2003-11-06 14.30.00 - <This calendar event contained no subject.>.rtf"},
        {"cleaned subject of 41 characters",
         [](MemoryItem& a) { a.set("Subject", "12345678901234567890123456789012345678901"); },
         {{Subject, "Subject: 123456789012345678901234567890123456789"}},
         "Folder/2003-11-06 14.30.00 - 123456789012345678901234567890123456789.rtf"},
        {"cleaned subject of 40 characters",
         [](MemoryItem& a) { a.set("Subject", "1234567890123456789012345678901234567890?"); },
         {{Subject, "Subject: 1234567890123456789012345678901234567890"}},
         "Folder/2003-11-06 14.30.00 - 1234567890123456789012345678901234567890.rtf"},
        {"only an embedded item and an untitled message",
         [](MemoryItem& a) {
             a.addAttachment("Forwarded.msg", "", AttachmentType::EmbeddedItem);
             a.addAttachment("Untitled.msg", "x");
         },
         {}},
        {"by-value attachments listed, embedded ones not",
         [](MemoryItem& a) {
             a.addAttachment("agenda.txt", "A");
             a.addAttachment("Untitled.msg", "U");
             a.addAttachment("Note.msg", "", AttachmentType::Ole);
             a.addAttachment("say \"hi\".txt", "Q");
         },
         {{Attachments, "This calendar event contained the following attachments: \r\n"
                        "1.  agenda.txt.\r\n2.  say \"hi\".txt."}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriterRun w;
        auto folder = MemoryFolder::make("Calendar", ItemType::Appointment);
        auto& item = folder->addItem("IPM.Appointment");
        baseAppointment(item);
        c.change(item);
        runOn(w, &SaveCalendar, folder);
        const auto files = w.files();
        const std::string name = c.fileName.empty() ? kBaseName : c.fileName;
        ASSERT_EQ(files.count(name), 1u) << "files: " << files.size();
        EXPECT_EQ(files.at(name), reportText(withChanges(kBaseReport, c)));
        if (c.name == "by-value attachments listed, embedded ones not") {
            // Every attachment but the untitled message is saved, whatever its type; the
            // OLE one has content of its own here.
            EXPECT_EQ(files.at("Folder/agenda.txt"), "A");
            EXPECT_EQ(files.at("Folder/say hi.txt"), "Q");
            EXPECT_EQ(files.count("Folder/Untitled.msg"), 0u);
            EXPECT_EQ(files.size(), 4u);
        } else {
            EXPECT_EQ(files.size(), 1u);
            EXPECT_EQ(w.log(), "");
        }
    }
}

} // namespace
} // namespace tvn::writers
