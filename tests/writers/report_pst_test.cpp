// The three report writers on a .pst file written with the project's own .pst writer:
// appointments of every recurrence type, tasks and notes (the corpus holds no tasks or
// notes Outlook wrote). The values travel through the .pst reader as Outlook gives them,
// and pffexport reads the same values from the same file.

#include <cmath>

#include <gtest/gtest.h>

#include "archive/names.h"
#include "store/pst/pst_file.h"
#include "tests/writers/report_pffexport.h"
#include "tests/writers/report_test_support.h"
#include "tools/pstwriter/description.h"

namespace tvn::writers {
namespace {

using namespace testing;

constexpr std::string_view kDescription = R"({"folders": [
 {"name": "Calendar", "class": "IPF.Appointment", "items": [
  {"class": "IPM.Appointment", "subject": "Daily",
   "fields": {"Start": "2024-01-15T14:00:00Z", "End": "2024-01-15T14:30:00Z"},
   "recurrence": {"type": "daily", "occurrences": 5}},
  {"class": "IPM.Appointment", "subject": "Weekly",
   "fields": {"Start": "2024-01-16T14:00:00Z", "End": "2024-01-16T14:30:00Z"},
   "recurrence": {"type": "weekly", "days": ["Tu", "Th"]}},
  {"class": "IPM.Appointment", "subject": "Monthly",
   "fields": {"Start": "2024-01-17T14:00:00Z", "End": "2024-01-17T14:30:00Z"},
   "recurrence": {"type": "monthly", "until": "2024-12-31"}},
  {"class": "IPM.Appointment", "subject": "MonthNth",
   "fields": {"Start": "2024-01-18T14:00:00Z", "End": "2024-01-18T14:30:00Z"},
   "recurrence": {"type": "monthNth", "days": ["Th"], "instance": 3}},
  {"class": "IPM.Appointment", "subject": "Yearly",
   "fields": {"Start": "2024-01-19T14:00:00Z", "End": "2024-01-19T14:30:00Z"},
   "recurrence": {"type": "yearly"}},
  {"class": "IPM.Appointment", "subject": "YearNth",
   "fields": {"Start": "2024-01-20T14:00:00Z", "End": "2024-01-20T14:30:00Z"},
   "recurrence": {"type": "yearNth", "days": ["Sa"], "instance": 5}},
  {"class": "IPM.Appointment", "subject": "Summer review", "created": "2024-07-01T12:00:00Z",
   "importance": 2, "sensitivity": 2, "categories": ["Blue", "Red"],
   "to": ["Ben Carter <ben@example.com>", "Carla Diaz <carla@example.com>"], "cc": ["David"],
   "fields": {"Start": "2024-07-02T13:00:00Z", "End": "2024-07-02T14:45:00Z",
              "Location": "Room 5", "BusyStatus": 3, "ReminderSet": true,
              "Companies": ["Acme", "Beta"], "Organizer": "Anna Berg"},
   "attachments": [{"name": "agenda.txt", "text": "1. Budget"}]}
 ]},
 {"name": "Odd appointments", "class": "IPF.Appointment", "items": [
  {"class": "IPM.Appointment", "subject": "Short pattern",
   "fields": {"Start": "2024-02-01T14:00:00Z", "End": "2024-02-01T15:00:00Z",
              "IsRecurring": true, "AppointmentRecur": "04 30 04 30"}},
  {"class": "IPM.Appointment", "subject": "Unknown pattern",
   "fields": {"Start": "2024-02-02T14:00:00Z", "End": "2024-02-02T15:00:00Z",
              "IsRecurring": true, "AppointmentRecur": "04 30 04 30 0C 20 01 00"}},
  {"class": "IPM.Appointment", "subject": "Coarse type only",
   "fields": {"Start": "2024-02-03T14:00:00Z", "End": "2024-02-03T15:00:00Z",
              "IsRecurring": true, "RecurrenceType": 4}},
  {"class": "IPM.Appointment", "subject": "Ends before it starts",
   "fields": {"Start": "2024-02-04T14:00:00Z", "End": "2024-02-04T13:00:00Z"}},
  {"class": "IPM.Appointment", "subject": "No end", "fields": {"Start": "2024-02-06T14:00:00Z"}},
  {"class": "IPM.Appointment", "subject": "Stored duration",
   "fields": {"Start": "2024-02-05T14:00:00Z", "End": "2024-02-05T15:00:00Z", "Duration": 45}}
 ]},
 {"name": "Tasks", "class": "IPF.Task", "items": [
  {"class": "IPM.Task", "subject": "Submit claim", "body": "Receipts.",
   "created": "2024-03-01T10:00:00Z", "modified": "2024-03-02T11:00:00Z",
   "categories": ["Work", "Urgent"],
   "to": ["Ben Carter <ben@example.com>", "Carla Diaz <carla@example.com>"],
   "bcc": ["Anna Berg <anna@example.com>"],
   "fields": {"StartDate": "2024-03-04T00:00:00Z", "DueDate": "2024-03-08T00:00:00Z",
              "Status": 4, "PercentComplete": 0.29, "DateCompleted": "2024-03-07T05:00:00Z",
              "Complete": true, "Owner": "Anna Berg", "Delegator": "Ben Carter",
              "DelegationState": 2, "Ownership": 1, "ResponseState": 2, "Role": "Lead",
              "TeamTask": true, "TotalWork": 480, "ActualWork": 300, "Mileage": "12",
              "BillingInformation": "Acct 7", "ContactNames": ["Ben Carter", "Carla Diaz"],
              "ReminderSet": true, "ReminderTime": "2024-03-08T08:00:00Z",
              "Companies": ["Acme"]}},
  {"class": "IPM.Task", "subject": "Someday", "created": "2024-03-01T10:00:00Z",
   "fields": {"Status": 0}}
 ]},
 {"name": "Notes", "class": "IPF.StickyNote", "items": [
  {"class": "IPM.StickyNote", "subject": "Wi-Fi: guest", "body": "Wi-Fi: guest\r\npw",
   "created": "2024-03-10T15:04:05Z", "modified": "2024-03-11T09:00:00Z",
   "categories": ["Home"]}
 ]}
]})";

struct Expected {
    std::string report;
    std::vector<std::string> lines;
};

class ReportPst : public ::testing::Test {
protected:
    void SetUp() override {
        tools::writeDescription(tools::parseDescription(kDescription), file());
        top = store::pst::openDataFile(file(), nullptr);
    }
    fs::path file() const { return w.root.path() / "made.pst"; }
    std::string report(const std::string& name) {
        const auto files = w.files();
        const auto found = files.find(name);
        return found == files.end() ? std::string{} : found->second;
    }
    void expectLines(const std::string& name, const std::vector<std::string>& lines) {
        SCOPED_TRACE(name);
        const std::string text = "\r\n" + report(name);
        ASSERT_GT(text.size(), 2u) << "no report";
        for (const auto& line : lines) {
            EXPECT_NE(text.find("\r\n" + line + "\r\n"), std::string::npos) << line;
        }
    }

    PinnedTimeZone zone;
    WriterRun w;
    std::shared_ptr<store::Folder> top;
};

TEST_F(ReportPst, AppointmentsShowTheirRecurrenceTypeDurationAndJoinedLists) {
    SaveCalendar(w.run, "Calendar", w.root.path() / "Calendar", top->folders()->item("Calendar"));
    EXPECT_EQ(w.log(), "");
    const std::vector<std::pair<std::string, std::string>> recurrences = {
        {"2024-01-15 09.00.00 - Daily", "Yes - Daily."},
        {"2024-01-16 09.00.00 - Weekly", "Yes - Weekly."},
        {"2024-01-17 09.00.00 - Monthly", "Yes - Monthly."},
        {"2024-01-18 09.00.00 - MonthNth",
         "Yes - Monthly (see appointment for additional details)."},
        {"2024-01-19 09.00.00 - Yearly", "Yes - Yearly."},
        {"2024-01-20 09.00.00 - YearNth", "Yes - Yearly (see appointment for additional details)."},
    };
    for (const auto& [title, words] : recurrences) {
        expectLines("Calendar/" + title + ".rtf",
                    {"Recurring appointment: " + words, "Duration: 30 minutes."});
    }
    expectLines("Calendar/2024-07-02 09.00.00 - Summer review.rtf",
                {"Date created: 7/1/2024 8:00:00 AM", "Start date: 7/2/2024 9:00:00 AM",
                 "End Date: 7/2/2024 10:45:00 AM", "Duration: 105 minutes.", "Location: Room 5.",
                 "Organized by: Anna Berg", "Company: Acme; Beta", "Importance: High.",
                 "Sensitivity level: Private.", "Category assigned: Blue, Red.",
                 "Recurring appointment: No.", "Busy status: Out of office.", "Reminder set: Yes.",
                 "Required attendees: Ben Carter,  Carla Diaz.", "Optional attendees: David.",
                 "This calendar event contained the following attachments: ", "1.  agenda.txt."});
    EXPECT_EQ(report("Calendar/agenda.txt"), "1. Budget");
}

TEST_F(ReportPst, DamagedRecurrencePatternsAreReportedAndDurationsStayInRange) {
    SaveCalendar(w.run, "Odd", w.root.path() / "Odd", top->folders()->item("Odd appointments"));
    const std::string recurring = "Recurring appointment: ";
    expectLines("Odd/2024-02-01 09.00.00 - Short pattern.rtf", {recurring});
    expectLines("Odd/2024-02-02 09.00.00 - Unknown pattern.rtf", {recurring});
    expectLines("Odd/2024-02-03 09.00.00 - Coarse type only.rtf", {recurring + "Yes - Yearly."});
    expectLines("Odd/2024-02-04 09.00.00 - Ends before it starts.rtf", {"Duration: N/A."});
    expectLines("Odd/2024-02-05 09.00.00 - Stored duration.rtf", {"Duration: 45 minutes."});
    expectLines("Odd/2024-02-06 09.00.00 - No end.rtf", {"End Date: 1/1/4501", "Duration: N/A."});
    const std::string log = w.log();
    EXPECT_NE(
        log.find("Error Description: The recurrence pattern is 4 bytes long, too short to "
                 "hold its type.\r\nError Nbr: -2147221221\r\nError Info:  Error in "
                 "PrintCalendar function or a sub-function therein.\r\nError Subject: N/A.\r\n"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("frequency 0x200C and pattern type 0x0001"), std::string::npos) << log;
    EXPECT_EQ(w.run.accounts().at(0)->written, 6);
}

TEST_F(ReportPst, TasksShowEveryValueAsOutlookGivesIt) {
    SaveTasks(w.run, "Tasks", w.root.path() / "Tasks", top->folders()->item("Tasks"));
    EXPECT_EQ(w.log(), "");
    expectLines(
        "Tasks/2024-03-08 - Submit claim.rtf",
        {"Date created: 3/1/2024 5:00:00 AM", "Date last modified: 3/2/2024 6:00:00 AM.",
         // Start and due dates are stored as local dates, not shifted.
         "Start date: 3/4/2024", "Due date: 3/8/2024", "Percent completed: 29%.",
         "Date completed: 3/7/2024", "Task complete: Yes.",
         "Contact names: Ben Carter; Carla Diaz.", "Delegation state: Accepted.",
         "Delegator: Ben Carter.", "Task ownership state: Delegated.", "Task owner: Anna Berg",
         "Companies: Acme.", "Category: Work, Urgent.", "Importance level: Normal.",
         "Task recipients: Ben Carter, Carla Diaz, Anna Berg.", "Sensitivity level: Normal.",
         "Reminder set: Yes.", "Reminder time: 3/8/2024 3:00:00 AM.", "Response state: Accepted.",
         "Role:Lead.", "Task status: Deferred.",
         "Status reports upon completion are to be sent to: Anna Berg.", "Team task:Yes.",
         "Total work completed: 480 minutes.", "Billing information: Acct 7.", "Mileage: 12 miles.",
         "Actual work: 300 minutes completed to date.", "Ben Carter, Carla Diaz, Anna Berg."});
    expectLines("Tasks/4501-01-01 - Someday.rtf",
                {"Start date: N/A", "Due date: No due date was set for this task.",
                 "Percent completed: 0%.", "Date completed: N/A", "Task status: Not started.",
                 "Task recipients: No recipients were listed for this task"});
}

TEST_F(ReportPst, NotesAreNamedByTheirLocalCreationTime) {
    SaveNotes(w.run, "Notes", w.root.path() / "Notes", top->folders()->item("Notes"));
    EXPECT_EQ(w.log(), "");
    // Created on the morning daylight saving time began.
    EXPECT_EQ(report("Notes/2024-03-10 11.04.05 - Wi-Fi guest.rtf"),
              reportText({"Subject: Wi-Fi guest", "Date created: 3/10/2024 11:04:05 AM",
                          "Date last modified: 3/11/2024 5:00:00 AM", "",
                          "Category assigned: Home.", "", "Note message: ", "Wi-Fi: guest\r\npw"}));
}

TEST_F(ReportPst, PffexportReadsTheSameTaskAndNoteValues) {
    if (!havePffexport()) {
        GTEST_SKIP() << "pffexport is not installed";
    }
    ASSERT_TRUE(pffexport(file(), w.root.path() / "x"));
    const fs::path exported = w.root.path() / "x.export" / "Top of Personal Folders";
    SaveTasks(w.run, "Tasks", w.root.path() / "Tasks", top->folders()->item("Tasks"));
    SaveNotes(w.run, "Notes", w.root.path() / "Notes", top->folders()->item("Notes"));

    auto task = pffFields(exported / "Tasks" / "Task00001" / "Task.txt", "Task");
    ASSERT_FALSE(task.empty());
    // pffexport prints the stored dates as they are: for these the date is the local one.
    const auto due = pffLocalTime(task["Due date"]);
    ASSERT_TRUE(due);
    EXPECT_EQ(task["Due date"].substr(0, 12), "Mar 08, 2024");
    EXPECT_EQ(task["Status"], "0x00000004");
    EXPECT_EQ(task["Is complete"], "yes");
    EXPECT_EQ(std::lround(std::stod(task["Percentage complete"]) * 100), 29);
    expectLines("Tasks/2024-03-08 - Submit claim.rtf",
                {"Due date: 3/8/2024", "Task status: Deferred.", "Task complete: Yes.",
                 "Percent completed: 29%."});

    auto note = pffFields(exported / "Notes" / "Note00001" / "Note.txt");
    const auto created = pffLocalTime(note["Creation time"]);
    const auto modified = pffLocalTime(note["Modification time"]);
    ASSERT_TRUE(created && modified);
    expectLines("Notes/" + archive::reportStamp(*created) + " - Wi-Fi guest.rtf",
                {"Subject: " + archive::cleanSubject(note["Subject"]),
                 "Date created: " + archive::generalDate(*created),
                 "Date last modified: " + archive::generalDate(*modified)});
}

} // namespace
} // namespace tvn::writers
