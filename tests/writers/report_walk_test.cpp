// The walk, the account and the failures that the calendar, task and note writers share.

#include <gtest/gtest.h>

#include "tests/writers/report_test_support.h"

namespace tvn::writers {
namespace {

using namespace testing;
using store::DateTime;
using store::ItemType;
using store::memory::MemoryFolder;

struct LogEntry {
    std::string description;
    std::int32_t number;
    std::string info;
};

std::vector<LogEntry> entries(const std::string& log) {
    std::vector<LogEntry> out;
    const std::string start = "Error Description: ";
    for (auto at = log.find(start); at != std::string::npos;) {
        const auto next = log.find(start, at + 1);
        const std::string entry = log.substr(at, next == std::string::npos ? next : next - at);
        const auto field = [&](const std::string& label) {
            const auto from = entry.find(label) + label.size();
            return entry.substr(from, entry.find("\r\n", from) - from);
        };
        out.push_back({field(start), std::stoi(field("Error Nbr: ")), field("Error Info: ")});
        at = next;
    }
    return out;
}

TEST(ReportWalk, SubfoldersOfAnyKindComeFirstAndOtherKindsAreSkippedAndReported) {
    WriterRun w;
    auto top = MemoryFolder::make("Calendar", ItemType::Appointment);
    auto tasks = top->addFolder("Tasks", ItemType::Task);
    auto deep = tasks->addFolder("Deep", ItemType::Appointment);
    auto odd = top->addFolder("a/b", ItemType::Mail);
    const DateTime start{2004, 2, 29, 23, 59, 59};
    top->addItem("IPM.Appointment").set("Subject", "Top").set("Start", start);
    top->addItem("IPM.Note.Top");
    tasks->addItem("IPM.Task.Kept");
    deep->addItem("IPM.Note.Deep");
    deep->addItem("ipm.appointment.custom").set("Subject", "Deep").set("Start", start);
    odd->addItem("IPM.Note.Odd");
    runOn(w, &SaveCalendar, top);

    EXPECT_EQ(w.directories(), (std::vector<std::string>{"Folder", "Folder/Tasks",
                                                         "Folder/Tasks/Deep", "Folder/a_b"}));
    const auto files = w.files();
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(files.count("Folder/2004-02-29 23.59.59 - Top.rtf"), 1u);
    EXPECT_EQ(files.count("Folder/Tasks/Deep/2004-02-29 23.59.59 - Deep.rtf"), 1u);

    // The log shows the walk's order: the deepest subfolder first, the top folder's own
    // items last.
    std::vector<std::string> skipped;
    for (const auto& e : entries(w.log())) {
        EXPECT_EQ(e.number, 13);
        EXPECT_EQ(e.info, " Error in SaveCalendar sub or a sub-function therein.");
        skipped.push_back(e.description);
    }
    EXPECT_EQ(skipped, (std::vector<std::string>{
                           "Type mismatch: item 1 is of class \"IPM.Note.Deep\", not an "
                           "appointment; it was skipped.",
                           "Type mismatch: item 1 is of class \"IPM.Task.Kept\", not an "
                           "appointment; it was skipped.",
                           "Type mismatch: item 1 is of class \"IPM.Note.Odd\", not an "
                           "appointment; it was skipped.",
                           "Type mismatch: item 2 is of class \"IPM.Note.Top\", not an "
                           "appointment; it was skipped.",
                       }));

    const auto& accounts = w.run.accounts();
    ASSERT_EQ(accounts.size(), 4u);
    EXPECT_EQ(accounts[0]->path, "Folder");
    EXPECT_EQ(accounts[1]->path, "Folder/Tasks");
    EXPECT_EQ(accounts[2]->path, "Folder/Tasks/Deep");
    EXPECT_EQ(accounts[3]->path, "Folder/a_b");
    EXPECT_EQ(accounts[0]->found, 2);
    EXPECT_EQ(accounts[0]->written, 1);
    EXPECT_EQ(accounts[0]->skipped, (std::map<std::string, std::int64_t>{{"IPM.Note.Top", 1}}));
    EXPECT_EQ(accounts[2]->found, 2);
    EXPECT_EQ(accounts[2]->written, 1);
    EXPECT_EQ(accounts[2]->skippedCount(), 1);
    // These writers record nothing in the settings store.
    EXPECT_EQ(w.settings.get("Settings", "Error File Path"), "");
}

TEST(ReportWalk, SameNamesInOneRunAreNumberedNotLost) {
    WriterRun w;
    auto folder = MemoryFolder::make("Calendar", ItemType::Appointment);
    for (const char* text : {"first", "second"}) {
        auto& a = folder->addItem("IPM.Appointment");
        a.set("Subject", "Standup").set("Start", DateTime{2005, 1, 3, 9, 0, 0}).set("Body", text);
        a.addAttachment("notes.txt", text);
    }
    runOn(w, &SaveCalendar, folder);
    const auto files = w.files();
    ASSERT_EQ(files.size(), 4u);
    EXPECT_NE(files.at("Folder/2005-01-03 09.00.00 - Standup.rtf").find("\r\nfirst\r\n"),
              std::string::npos);
    EXPECT_NE(files.at("Folder/2005-01-03 09.00.00 - Standup (2).rtf").find("\r\nsecond\r\n"),
              std::string::npos);
    EXPECT_EQ(files.at("Folder/notes.txt"), "first");
    EXPECT_EQ(files.at("Folder/notes (2).txt"), "second");
    EXPECT_EQ(w.run.accounts()[0]->attachmentsSaved, 2);
}

struct WriterKind {
    std::string name;
    Writer writer;
    ItemType type;
    std::string messageClass;
    std::string walkInfo;
    std::string printInfo;
    std::string fileInfo;
    // A property whose line keeps its label alone when it cannot be read.
    std::string property;
    std::string labelAlone;
    // The report name of an item with subject "C" and no dates.
    std::string blockedName;
};

const std::vector<WriterKind> kKinds = {
    {"calendar", &SaveCalendar, ItemType::Appointment, "IPM.Appointment",
     " Error in SaveCalendar sub or a sub-function therein.",
     " Error in PrintCalendar function or a sub-function therein.",
     " Error in PrintCalendarEvent sub or a sub-function therein.", "Location",
     "Location: ", "4501-01-01 00.00.00 - C.rtf"},
    {"tasks", &SaveTasks, ItemType::Task, "IPM.Task",
     " Error in SaveTasks function or a sub-function therein.",
     " Error in PrintTasks function or a sub-function therein.",
     " Error in PrintEachTask sub or a sub-function therein.", "Delegator",
     "Delegator: ", "4501-01-01 - C.rtf"},
    {"notes", &SaveNotes, ItemType::Note, "IPM.StickyNote",
     " Error in SaveNotes function or a sub-function therein.",
     " Error in PrintNotes function or a sub-function therein.",
     " Error in PrintNoteItem sub or a sub-function therein.", "Categories",
     "Category assigned: ", "4501-01-01 00.00.00 - C.rtf"},
};

TEST(ReportWalk, EachWritersFailuresAreReportedWithItsTextsAndTheWalkGoesOn) {
    for (const auto& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        WriterRun w;
        auto folder = MemoryFolder::make("F", kind.type);
        folder->addDamagedItem(Failure(err::kCorruptData, "damaged item"));
        folder->addItem("IPM.Contact");
        folder->addItem(kind.messageClass)
            .set("Subject", "A")
            .fail(kind.property, Failure(err::kCorruptData, "unreadable"));
        // Number 9 is cleared silently by the report builders.
        folder->addItem(kind.messageClass)
            .set("Subject", "B")
            .fail(kind.property, Failure(err::kSubscriptOutOfRange, "no such index"));
        folder->addItem(kind.messageClass).set("Subject", "C");
        std::filesystem::create_directories(w.root.path() / kDirectory / kind.blockedName);
        runOn(w, kind.writer, folder);

        const auto log = entries(w.log());
        ASSERT_EQ(log.size(), 7u) << w.log();
        EXPECT_EQ(log[0].number, err::kCorruptData);
        EXPECT_EQ(log[0].info, kind.walkInfo);
        EXPECT_EQ(log[1].number, 13);
        EXPECT_EQ(log[1].info, kind.walkInfo);
        EXPECT_EQ(log[2].number, err::kCorruptData);
        EXPECT_EQ(log[2].description, "unreadable");
        EXPECT_EQ(log[2].info, kind.printInfo);
        // The report whose file cannot be made: the creation and each write that follows.
        EXPECT_EQ(log[3].info, kind.fileInfo);
        for (std::size_t i = 4; i < 7; ++i) {
            EXPECT_EQ(log[i].number, err::kObjectNotSet);
            EXPECT_EQ(log[i].info, kind.fileInfo);
        }

        const auto files = w.files();
        ASSERT_EQ(files.size(), 2u);
        for (const auto& [name, text] : files) {
            EXPECT_NE(text.find("\r\n" + kind.labelAlone + "\r\n"), std::string::npos) << name;
        }
        const auto& account = *w.run.accounts().at(0);
        EXPECT_EQ(account.found, 5);
        EXPECT_EQ(account.written, 2);
        EXPECT_EQ(account.skipped, (std::map<std::string, std::int64_t>{{"IPM.Contact", 1}}));
        EXPECT_EQ(account.failed, 2);
    }
}

TEST(ReportWalk, AttachmentsThatCannotBeSavedAreReportedAndCounted) {
    const std::vector<std::pair<Writer, std::string>> kinds = {
        {&SaveCalendar, " Error in SaveCalendarAttachments or a sub-function therein."},
        {&SaveTasks, " Error in SaveTaskAttachments sub or a sub-function therein."}};
    for (const auto& [writer, info] : kinds) {
        WriterRun w;
        auto folder = MemoryFolder::make("F");
        auto& item = folder->addItem(writer == &SaveTasks ? "IPM.Task" : "IPM.Appointment")
                         .set("Subject", "S");
        item.addAttachment("full.bin", "x").failSave(Failure(err::kDiskFull, "disk full"));
        item.addAttachment("gone.bin", "x").failSave(Failure(err::kSubscriptOutOfRange, "gone"));
        item.addAttachment("..", "x");
        item.addAttachment("sub/../../escape.txt", "kept");
        runOn(w, writer, folder);
        const auto log = entries(w.log());
        ASSERT_EQ(log.size(), 2u) << w.log();
        EXPECT_EQ(log[0].number, err::kDiskFull);
        EXPECT_EQ(log[0].info, info);
        EXPECT_EQ(log[1].number, err::kPathFileAccess);
        const auto& account = *w.run.accounts().at(0);
        EXPECT_EQ(account.written, 1);
        EXPECT_EQ(account.attachmentsSaved, 1);
        EXPECT_EQ(account.attachmentsFailed, 3);
        // Nothing is written outside the folder's directory.
        EXPECT_EQ(w.files().count("Folder/sub....escape.txt"), 1u);
        EXPECT_EQ(w.directories(), std::vector<std::string>{"Folder"});
    }
}

} // namespace
} // namespace tvn::writers
