// The calendar, task and note writers on in-memory items.

#include <gtest/gtest.h>

#include "tests/writers/writer_test_support.h"

namespace tvn::writers {
namespace {

using namespace testing;

struct Kind {
    Writer writer;
    const char* messageClass;
    const char* values;
    std::string fileName;
    // The report's lines, the body last; the file ends with three empty lines after it.
    std::string report;
    // Attachments or recipients the item has.
    std::function<void(MemoryItem&)> extra = [](MemoryItem&) {};
};

// One base item of each kind: filled and empty values side by side, so that its report
// shows labels, substitutes and date formats together (a task's subject is cut to 39
// characters in its title only).
const Kind kCalendar = {
    &SaveCalendar, "IPM.Appointment",
    "Subject=Budget review|Body=Line one\r\nLine two|BusyStatus=3|ReminderSet=true|"
    "CreationTime=2003-11-05 09:07:02|Start=2003-11-06 14:30:00|End=2003-11-06 16:00:00|"
    "AllDayEvent=false|Duration=90|Location=|IsRecurring=true|RecurrenceType=3|Importance=2|"
    "Organizer=Jane Smith|RequiredAttendees=Ann Lee; Bob Ray|OptionalAttendees=|Sensitivity=1|"
    "Companies=|Categories=Blue, Red",
    "2003-11-06 14.30.00 - Budget review.rtf",
    "Subject: Budget review\r\nDate created: 11/5/2003 9:07:02 AM\r\n\r\nStart date: 11/6/2003 "
    "2:30:00 PM\r\nEnd Date: 11/6/2003 4:00:00 PM\r\nDuration: 90 minutes.\r\nAll day event: "
    "No.\r\n\r\nLocation: No location was listed for this calendar event.\r\nOrganized by: Jane "
    "Smith\r\nCompany: No companies were listed for this calendar event.\r\nImportance: "
    "High.\r\nSensitivity level: Personal.\r\nCategory assigned: Blue, Red.\r\nRecurring "
    "appointment: Yes - Monthly (see appointment for additional details).\r\nBusy status: Out of "
    "office.\r\nReminder set: Yes.\r\n\r\nRequired attendees: Ann Lee,  Bob Ray.\r\n\r\nOptional "
    "attendees: No optional attendees were listed for this calendar event.\r\n\r\nThis calendar "
    "event contained the following attachments: \r\n1.  agenda.txt.\r\n2.  say "
    "\"hi\".txt.\r\n\r\nCalendar message: \r\nLine "
    "one\r\nLine two",
    // Listed are the by-value attachments but "Untitled.msg"; saved are all but it.
    [](MemoryItem& a) {
        a.addAttachment("agenda.txt", "A");
        a.addAttachment("Untitled.msg", "U");
        a.addAttachment("Note.msg", "", store::AttachmentType::Ole);
        a.addAttachment("say \"hi\".txt", "Q");
    }};

const Kind kTask = {
    &SaveTasks,
    "IPM.Task",
    "BillingInformation=|ActualWork=120|LastModificationTime=2003-11-07 10:00:00|Complete=false|"
    "ContactNames=Ann Lee|DateCompleted=none|DelegationState=4|Delegator=|Mileage=12|"
    "Ownership=2|Owner=|PercentComplete=50|ReminderSet=true|ReminderTime=2003-11-09 08:00:00|"
    "ResponseState=0|Role=Lead|Status=4|StatusOnCompletionRecipients=Carl Dunn; Eve|"
    "TeamTask=false|TotalWork=0|Body=Do it|CreationTime=2003-11-05 09:07:02|"
    "StartDate=2003-11-06 00:00:00|DueDate=2003-11-10 00:00:00|Importance=1|Sensitivity=0|"
    "Companies=Acme; Beta|Categories=|Subject=Plan: 345678901234567890123456789012345678901",
    "2003-11-10 - Plan 3456789012345678901234567890123456.rtf",
    "Subject: Plan: 345678901234567890123456789012345678901\r\nDate created: 11/5/2003 9:07:02 "
    "AM\r\nDate last modified: 11/7/2003 10:00:00 AM.\r\n\r\nStart date: 11/6/2003\r\nDue date: "
    "11/10/2003\r\nPercent completed: 50%.\r\nDate completed: N/A\r\nTask complete: "
    "No.\r\n\r\nContact names: Ann Lee.\r\n4\r\nDelegator: N/A.\r\nTask ownership state: "
    "Own.\r\nTask owner: No owner is listed.\r\nCompanies: Acme; Beta.\r\nCategory: No category "
    "was selected for this task.\r\nImportance level: Normal.\r\nTask recipients: Ann Lee, Bob "
    "Ray.\r\nSensitivity level: Normal.\r\nReminder set: Yes.\r\nReminder time: 11/9/2003 8:00:00 "
    "AM.\r\nResponse state: Simple.\r\nRole:Lead.\r\nTask status: Deferred.\r\nStatus reports upon "
    "completion are to be sent to: Carl Dunn; Eve.\r\nTeam task: No.\r\nTotal work completed: "
    "None.\r\nBilling information: N/A.\r\nMileage: 12 miles.\r\nActual work: 120 minutes "
    "completed to date.\r\n\r\nAnn Lee, Bob Ray.\r\n\r\nThis task contained the following "
    "attachments: None.\r\n\r\nTask notes: Do it",
    [](MemoryItem& t) {
        t.addRecipient("Ann Lee", "ann@example.com", store::RecipientType::To);
        t.addRecipient("Bob Ray", "bob@example.com", store::RecipientType::Cc);
    }};

const Kind kNote = {&SaveNotes, "IPM.StickyNote",
                    "Subject=Call the bank|LastModificationTime=2003-11-07 18:05:09|"
                    "Body=Call the bank\r\nabout the loan|Categories=|"
                    "CreationTime=2003-11-05 00:00:00",
                    "2003-11-05 00.00.00 - Call the bank.rtf",
                    "Subject: Call the bank\r\nDate created: 11/5/2003\r\nDate last modified: "
                    "11/7/2003 6:05:09 PM\r\n\r\nCategory assigned: No category was selected for "
                    "this note entry.\r\n\r\nNote message: \r\nCall the bank\r\nabout the loan"};

TEST(ReportWriters, ReportsAreWrittenByteForByte) {
    // A kind's base item or a variation: the values it changes, its report's file name ("" for
    // the base's), and the texts of the base report it replaces (each the first occurrence).
    const std::vector<std::tuple<const Kind&, const char*, std::string,
                                 std::vector<std::pair<std::string, std::string>>>>
        cases = {
            {kCalendar, "", "", {}},
            {kTask, "", "", {}},
            {kNote, "", "", {}},
            // Placeholders for subjects without characters a name can hold, for empty bodies
            // and the empty date.
            {kCalendar,
             "Body=|Subject=?:/",
             "2003-11-06 14.30.00 - <This calendar event contained no subject.>.rtf",
             {{"Subject: Budget review", "Subject: "},
              {"Line one\r\nLine two", "<This calendar event contained no message body.>"}}},
            {kTask,
             "Subject=|Body=|StartDate=none|DueDate=none",
             "4501-01-01 - This task contained no subject.rtf",
             {{"Subject: Plan: 345678901234567890123456789012345678901",
               "Subject: This task has no subject."},
              {"Start date: 11/6/2003", "Start date: N/A"},
              {"Due date: 11/10/2003", "Due date: No due date was set for this task."},
              {"Task notes: Do it", "Task notes:\r\n<This task contained no message body.>"}}},
            {kNote,
             "Subject=|Body=",
             "2003-11-05 00.00.00 - <This note entry contained no subject.>.rtf",
             {{"Subject: Call the bank", "Subject: "},
              {"Call the bank\r\nabout the loan", "<This note entry contained no message body.>"}}},
        };
    for (const auto& [kind, values, fileName, changes] : cases) {
        const std::string name = "Folder/" + (fileName.empty() ? kind.fileName : fileName);
        SCOPED_TRACE(name);
        WriterRun w;
        // A report of an earlier run is replaced.
        std::filesystem::create_directories(w.root / "Folder");
        archive::testing::writeBytes(w.root / name, "an older, longer report text");
        auto folder = MemoryFolder::make("F");
        kind.extra(setAll(setAll(folder->addItem(kind.messageClass), kind.values), values));
        w.write(kind.writer, folder);
        std::string expected = kind.report + "\r\n\r\n\r\n\r\n";
        for (const auto& [from, to] : changes) {
            expected.replace(expected.find(from), from.size(), to);
        }
        const bool calendar = kind.writer == &SaveCalendar;
        auto files = w.files();
        EXPECT_EQ(fmt::format("{}", fmt::join(std::views::keys(files), "|")),
                  name + (calendar ? "|Folder/Note.msg|Folder/agenda.txt|Folder/say hi.txt" : ""));
        EXPECT_EQ(files[name], expected);
        EXPECT_EQ(files["Folder/agenda.txt"] + files["Folder/say hi.txt"], calendar ? "AQ" : "");
        EXPECT_EQ(w.log(), "");
    }
}

// The walk of each writer: subfolders of any kind first, each in a directory of its own;
// items of other kinds reported and skipped, the writer's own taken whatever the case of
// their class. Failures are reported with the writer's own texts and the walk goes on: a
// damaged item, an unreadable property (its line keeps its label alone; number 9 is dropped
// silently), attachments that cannot be saved, and a report whose file cannot be made (its
// creation and each write that follows).
TEST(ReportWriters, TheWalkReportsAndCountsWhatItSkipsAndWhatFails) {
    // The kind; its procedures; its name of what it takes, the property that fails, its label
    // and a class of its own; the start of its report names for items without dates.
    const std::vector<std::tuple<const Kind&, std::string, std::string, std::string>> kinds = {
        {kCalendar,
         "SaveCalendar sub|PrintCalendar function|PrintCalendarEvent sub|SaveCalendarAttachments",
         "an appointment|Location|Location: |ipm.appointment.custom", "4501-01-01 00.00.00 - "},
        {kTask, "SaveTasks function|PrintTasks function|PrintEachTask sub|SaveTaskAttachments sub",
         "a task|Delegator|Delegator: |ipm.task.custom", "4501-01-01 - "},
        {kNote, "SaveNotes function|PrintNotes function|PrintNoteItem sub|",
         "a note|Categories|Category assigned: |ipm.stickynote.custom", "4501-01-01 00.00.00 - "},
    };
    for (const auto& [kind, procedures, what, title] : kinds) {
        SCOPED_TRACE(kind.messageClass);
        const auto parts = split(what, "|");
        const auto info = split(procedures, "|");
        // A log entry of the writer's procedure `at` (its walk, report, item, attachments).
        const auto entry = [&](std::int32_t number, const std::string& text, std::size_t at) {
            return logEntry(number, text, " Error in " + info[at] + " or a sub-function therein.");
        };
        const auto mismatch = [&](int index, const char* cls) {
            const auto text = fmt::format("Type mismatch: item {} is of class \"{}\"", index, cls);
            return entry(13, text + ", not " + parts[0] + "; it was skipped.", 0);
        };
        const bool attachments = kind.writer != &SaveNotes;
        WriterRun w;
        auto folder = MemoryFolder::make("F");
        auto sub = folder->addFolder("a/b", store::ItemType::Mail);
        sub->addItem("IPM.Note.Deep");
        sub->addItem(parts[3]).set("Subject", "Deep");
        folder->addDamagedItem(Failure(err::kCorruptData, "damaged item"));
        folder->addItem("IPM.Contact");
        folder->addItem(kind.messageClass)
            .set("Subject", "A")
            .fail(parts[1], Failure(err::kCorruptData, "unreadable"));
        auto& b = folder->addItem(kind.messageClass).set("Subject", "B");
        b.fail(parts[1], Failure(err::kSubscriptOutOfRange, "no such index"));
        b.addAttachment("full.bin", "x").failSave(Failure(err::kDiskFull, "disk full"));
        b.addAttachment("..", "x");
        b.addAttachment("sub/../../escape.txt", "kept");
        folder->addItem(kind.messageClass).set("Subject", "C");
        std::filesystem::create_directories(w.root / "Folder" / (title + "C.rtf"));
        w.write(kind.writer, folder);

        std::string expected =
            mismatch(1, "IPM.Note.Deep") + entry(err::kCorruptData, "damaged item", 0) +
            mismatch(2, "IPM.Contact") + entry(err::kCorruptData, "unreadable", 1);
        const std::string dots =
            "The attachment name \"..\" names no file of its own; it was not saved.";
        if (attachments) {
            expected +=
                entry(err::kDiskFull, "disk full", 3) + entry(err::kPathFileAccess, dots, 3);
        }
        const auto noFile = entry(
            err::kObjectNotSet,
            "Object variable or With block variable not set: the report file was not created.", 2);
        const auto log = w.log();
        EXPECT_TRUE(log.starts_with(expected) && log.ends_with(noFile + noFile + noFile)) << log;
        auto files = w.files();
        EXPECT_EQ(fmt::format("{}", fmt::join(std::views::keys(files), "|")),
                  fmt::format("Folder/{0}A.rtf|Folder/{0}B.rtf|Folder/a_b/{0}Deep.rtf{1}", title,
                              attachments ? "|Folder/sub....escape.txt" : ""));
        for (const std::string subject : {"A", "B"}) {
            EXPECT_NE(files["Folder/" + title + subject + ".rtf"].find("\r\n" + parts[2] + "\r\n"),
                      std::string::npos);
        }
        EXPECT_EQ(counts(*w.run.accounts().at(0)),
                  attachments ? "Folder: 5 2 1 2; 1 2" : "Folder: 5 2 1 2; 0 0");
        EXPECT_EQ(w.run.accounts().at(0)->skipped.count("IPM.Contact"), 1u);
    }
}

} // namespace
} // namespace tvn::writers
