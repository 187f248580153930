#include <gtest/gtest.h>

#include "tests/writers/report_test_support.h"

namespace tvn::writers {
namespace {

using namespace testing;
using store::DateTime;
using store::ItemType;
using store::memory::MemoryFolder;
using store::memory::MemoryItem;

void baseTask(MemoryItem& t) {
    t.set("BillingInformation", "Acct 7")
        .set("ActualWork", 120)
        .set("LastModificationTime", DateTime{2003, 11, 7, 10, 0, 0})
        .set("Complete", false)
        .set("ContactNames", "Ann Lee")
        .set("DateCompleted", DateTime::none())
        .set("DelegationState", 0)
        .set("Delegator", "")
        .set("Mileage", "12")
        .set("Ownership", 2)
        .set("Owner", "Jane Smith")
        .set("PercentComplete", 50)
        .set("ReminderSet", true)
        .set("ReminderTime", DateTime{2003, 11, 9, 8, 0, 0})
        .set("ResponseState", 0)
        .set("Role", "")
        .set("Status", 1)
        .set("StatusOnCompletionRecipients", "Carl Dunn")
        .set("TeamTask", false)
        .set("TotalWork", 0)
        .set("Body", "Do it")
        .set("CreationTime", DateTime{2003, 11, 5, 9, 7, 2})
        .set("StartDate", DateTime{2003, 11, 6, 0, 0, 0})
        .set("DueDate", DateTime{2003, 11, 10, 0, 0, 0})
        .set("Importance", 1)
        .set("Sensitivity", 0)
        .set("Companies", "")
        .set("Categories", "Work")
        .set("Subject", "Write plan");
}

const std::vector<std::string> kBaseReport = {
    "Subject: Write plan",
    "Date created: 11/5/2003 9:07:02 AM",
    "Date last modified: 11/7/2003 10:00:00 AM.",
    "",
    "Start date: 11/6/2003",
    "Due date: 11/10/2003",
    "Percent completed: 50%.",
    "Date completed: N/A",
    "Task complete: No.",
    "",
    "Contact names: Ann Lee.",
    "Delegation state: Not delegated.",
    "Delegator: N/A.",
    "Task ownership state: Own.",
    "Task owner: Jane Smith",
    "Companies: No companies were listed for this task.",
    "Category: Work.",
    "Importance level: Normal.",
    "Task recipients: No recipients were listed for this task",
    "Sensitivity level: Normal.",
    "Reminder set: Yes.",
    "Reminder time: 11/9/2003 8:00:00 AM.",
    "Response state: Simple.",
    "Role: N/A.",
    "Task status: In Progress.",
    "Status reports upon completion are to be sent to: N/A.",
    "Team task: No.",
    "Total work completed: None.",
    "Billing information: Acct 7.",
    "Mileage: 12 miles.",
    "Actual work: 120 minutes completed to date.",
    "",
    "No recipients were listed for this task.",
    "",
    "This task contained the following attachments: None.",
    "",
    "Task notes: Do it",
};
constexpr auto kBaseName = "Folder/2003-11-10 - Write plan.rtf";

enum Line : std::size_t {
    Subject = 0,
    Start = 4,
    Due = 5,
    Percent = 6,
    Completed = 7,
    Complete = 8,
    Contacts = 10,
    Delegation = 11,
    Delegator = 12,
    Ownership = 13,
    Owner = 14,
    Companies = 15,
    Category = 16,
    Importance = 17,
    Recipients = 18,
    Sensitivity = 19,
    Reminder = 20,
    Response = 22,
    Role = 23,
    Status = 24,
    StatusRecipients = 25,
    Team = 26,
    TotalWork = 27,
    Billing = 28,
    Mileage = 29,
    ActualWork = 30,
    RecipientsAgain = 32,
    Attachments = 34,
    Notes = 36,
};

TEST(TaskWriter, ReportsAreWrittenByteForByteForEveryWordAndSubstitute) {
    const std::vector<ReportCase> cases = {
        {"base", [](MemoryItem&) {}, {}},
        {"first words, labels without blanks, filled texts",
         [](MemoryItem& t) {
             t.set("DelegationState", 1)
                 .set("Ownership", 0)
                 .set("ResponseState", 1)
                 .set("Status", 0)
                 .set("Importance", 0)
                 .set("Sensitivity", 1)
                 .set("Complete", true)
                 .set("ReminderSet", false)
                 .set("TeamTask", true)
                 .set("Role", "Lead")
                 .set("Delegator", "Bob Ray")
                 .set("ContactNames", "")
                 .set("Companies", "Acme; Beta")
                 .set("Categories", "")
                 .set("Owner", "")
                 .set("TotalWork", 45)
                 .set("BillingInformation", "")
                 .set("ActualWork", 0)
                 .set("Mileage", "0")
                 .set("DateCompleted", DateTime{2003, 11, 8, 0, 0, 0});
         },
         {{Delegation, "Delegation state: Delegation unknown."},
          {Ownership, "Task ownership state: New."},
          {Response, "Response state: Assigned."},
          {Status, "Task status: Not started."},
          {Importance, "Importance level: Low."},
          {Sensitivity, "Sensitivity level: Personal."},
          {Complete, "Task complete: Yes."},
          {Reminder, "Reminder set: No."},
          {Team, "Team task:Yes."},
          {Role, "Role:Lead."},
          {Delegator, "Delegator: Bob Ray."},
          {Contacts, "Contact names: None listed for this task."},
          {Companies, "Companies: Acme; Beta."},
          {Category, "Category: No category was selected for this task."},
          {Owner, "Task owner: No owner is listed."},
          {TotalWork, "Total work completed: 45 minutes."},
          {Billing, "Billing information: N/A."},
          {ActualWork, "Actual work: None."},
          {Mileage, "Mileage: None."},
          {Completed, "Date completed: 11/8/2003"}}},
        {"second words, text mileage",
         [](MemoryItem& t) {
             t.set("DelegationState", 2)
                 .set("Ownership", 1)
                 .set("ResponseState", 2)
                 .set("Status", 2)
                 .set("Importance", 2)
                 .set("Sensitivity", 2)
                 .set("Mileage", "about 30")
                 .set("PercentComplete", 100);
         },
         {{Delegation, "Delegation state: Accepted."},
          {Ownership, "Task ownership state: Delegated."},
          {Response, "Response state: Accepted."},
          {Status, "Task status: Complete."},
          {Importance, "Importance level: High."},
          {Sensitivity, "Sensitivity level: Private."},
          {Mileage, "Mileage: about 30 miles."},
          {Percent, "Percent completed: 100%."}}},
        {"third words, empty mileage, negative work",
         [](MemoryItem& t) {
             t.set("DelegationState", 3)
                 .set("Ownership", 3)
                 .set("ResponseState", 3)
                 .set("Status", 3)
                 .set("Importance", 3)
                 .set("Sensitivity", 3)
                 .set("Mileage", "")
                 .set("ActualWork", -5);
         },
         {{Delegation, "Delegation state: Declined."},
          {Ownership, "Task ownership state: See the task for details."},
          {Response, "Response state: Declined."},
          {Status, "Task status: Waiting on someone else."},
          {Importance, "Importance level: Not set for this task."},
          {Sensitivity, "Sensitivity level: Confidential."},
          {Mileage, "Mileage: None."},
          {ActualWork, "Actual work: None."}}},
        {"deferred: completion reports have recipients; values past the tables",
         [](MemoryItem& t) {
             t.set("DelegationState", 4)
                 .set("Ownership", 4)
                 .set("ResponseState", 4)
                 .set("Status", 4)
                 .set("Sensitivity", 9)
                 .set("StatusOnCompletionRecipients", "Ann Lee; Bob Ray")
                 .set("Mileage", " -3 ");
         },
         {{Delegation, "4"},
          {Ownership, "Task ownership state: See the task for details."},
          {Response, "Response state: See the task for details."},
          {Status, "Task status: Deferred."},
          {Sensitivity, "Sensitivity level: Not set for this task."},
          {StatusRecipients, "Status reports upon completion are to be sent to: Ann Lee; Bob Ray."},
          {Mileage, "Mileage: None."}}},
        {"status past the table",
         [](MemoryItem& t) {
             t.set("DelegationState", -1).set("Status", 5).set("StatusOnCompletionRecipients", "");
         },
         {{Delegation, "-1"},
          {Status, "Task status: See the task for details."},
          {StatusRecipients, "Status reports upon completion are to be sent to: ."}}},
        {"no start and no due date",
         [](MemoryItem& t) {
             t.set("StartDate", DateTime::none()).set("DueDate", DateTime::none());
         },
         {{Start, "Start date: N/A"}, {Due, "Due date: No due date was set for this task."}},
         "Folder/4501-01-01 - Write plan.rtf"},
        {"due on the last date that counts, start after it",
         [](MemoryItem& t) {
             t.set("StartDate", DateTime{2500, 1, 2, 0, 0, 0})
                 .set("DueDate", DateTime{2500, 1, 1, 12, 0, 0});
         },
         {{Start, "Start date: N/A"}, {Due, "Due date: 1/1/2500 12:00:00 PM"}},
         "Folder/2500-01-01 - Write plan.rtf"},
        {"recipients by display name",
         [](MemoryItem& t) {
             t.addRecipient("Ann Lee", "ann@example.com", 1);
             t.addRecipient("Bob Ray", "bob@example.com", 2);
         },
         {{Recipients, "Task recipients: Ann Lee, Bob Ray."},
          {RecipientsAgain, "Ann Lee, Bob Ray."}}},
        {"no subject, no body",
         [](MemoryItem& t) { t.set("Subject", "").set("Body", ""); },
         {{Subject, "Subject: This task has no subject."},
          {Notes, "Task notes:\r\n<This task contained no message body.>"}},
         "Folder/2003-11-10 - This task contained no subject.rtf"},
        {"subject made only of removed characters shows as read",
         [](MemoryItem& t) { t.set("Subject", "<?>"); },
         {{Subject, "Subject: <?>"}},
         "Folder/2003-11-10 - This task contained no subject.rtf"},
        {"subject cut in the title only",
         [](MemoryItem& t) { t.set("Subject", "Plan: 345678901234567890123456789012345678901"); },
         {{Subject, "Subject: Plan: 345678901234567890123456789012345678901"}},
         "Folder/2003-11-10 - Plan 3456789012345678901234567890123456.rtf"},
        {"attachments",
         [](MemoryItem& t) {
             t.addAttachment("Untitled.msg", "U");
             t.addAttachment("list.csv", "a,b");
         },
         {{Attachments, "This task contained the following attachments: \r\n1.  list.csv."}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriterRun w;
        auto folder = MemoryFolder::make("Tasks", ItemType::Task);
        auto& item = folder->addItem("IPM.Task");
        baseTask(item);
        c.change(item);
        runOn(w, &SaveTasks, folder);
        const auto files = w.files();
        const std::string name = c.fileName.empty() ? kBaseName : c.fileName;
        ASSERT_EQ(files.count(name), 1u);
        EXPECT_EQ(files.at(name), reportText(withChanges(kBaseReport, c)));
        EXPECT_EQ(w.log(), "");
        EXPECT_EQ(files.size(), c.name == "attachments" ? 2u : 1u);
    }
}

TEST(TaskWriter, ReplacesAReportLeftByAnEarlierRun) {
    WriterRun w;
    std::filesystem::create_directories(w.root.path() / kDirectory);
    archive::testing::writeBytes(w.root.path() / kBaseName, "an older, longer report text");
    auto folder = MemoryFolder::make("Tasks", ItemType::Task);
    baseTask(folder->addItem("IPM.Task"));
    runOn(w, &SaveTasks, folder);
    EXPECT_EQ(w.files().at(kBaseName), reportText(kBaseReport));
}

} // namespace
} // namespace tvn::writers
