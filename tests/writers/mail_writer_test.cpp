// The mail writer on in-memory folders: item files byte for byte, the names of files and
// attachments, the walk over subfolders of every kind, numbered names for collisions within
// a run, and the error reports with the item they are about.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/settings_store.h"
#include "store/failure.h"
#include "tests/writers/writer_test_support.h"
#include "writers/mail_item_file.h"

namespace tvn::writers {
namespace {

using store::DateTime;
using store::ItemType;
using store::memory::MemoryFolder;
using store::memory::MemoryItem;
using testing::WriterRun;

constexpr DateTime kSent{2003, 11, 5, 9, 7, 2};
constexpr std::string_view kInfo = " Error in SaveText function or a sub-function therein.";

MemoryItem& addMail(MemoryFolder& folder, const std::string& subject = "Budget",
                    const std::string& sender = "Jane Smith", DateTime sent = kSent) {
    return folder.addItem("IPM.Note")
        .set("Class", 43)
        .set("Subject", subject)
        .set("SenderName", sender)
        .set("To", "Bob Jones; Carol King")
        .set("CC", "Dan Brown")
        .set("SentOn", sent)
        .set("Body", "Hello,\r\nthe figures.");
}

void archive(WriterRun& w, const std::shared_ptr<MemoryFolder>& folder,
             const std::string& entry = "Inbox") {
    SaveText(w.run, entry, w.root.path() / entry, folder);
}

// The log entry of one failure the mail writer reports.
std::string entry(std::int32_t number, const std::string& description, const std::string& folder,
                  const std::string& subject, const std::string& sender, const std::string& stamp) {
    return archive::formatLogEntry(
               number, description, kInfo,
               mailFailureText(folder, subject, sender, stamp, number, description)) +
           "\r\n";
}

std::string header(const std::string& from, const std::string& to, const std::string& sent,
                   const std::string& subject) {
    return "From: " + from + "\r\nTo: " + to + "\r\nCc: Dan Brown\r\nSent: " + sent +
           "\r\n\r\nSubject: " + subject + "\r\n\r\n";
}

struct ItemFileCase {
    const char* fault;
    std::string subject;
    std::string sender;
    std::string to;
    DateTime sent;
    std::string body;
    std::string fileName;
    std::string content;
};

TEST(MailWriter, WritesEachItemFileByteForByte) {
    const std::string fortyOne = "Ünïcödé ßubjéct wïth fórty-öne châráctèrs"; // 41 characters
    const std::vector<ItemFileCase> cases = {
        {"body with its three line ends", "Budget", "Jane Smith", "Bob Jones", kSent,
         "Hello,\r\nthe figures.", "2003-11-05_090702_Budget_Jane Smith.rtf",
         header("Jane Smith", "Bob Jones", "11/5/2003 9:07:02 AM", "Budget") +
             "Hello,\r\nthe figures.\r\n\r\n\r\n"},
        {"empty body gets the no-text line and one blank line", "Budget", "Jane Smith", "Bob Jones",
         kSent, "", "2003-11-05_090702_Budget_Jane Smith.rtf",
         header("Jane Smith", "Bob Jones", "11/5/2003 9:07:02 AM", "Budget") +
             "<This item contained no email text.>\r\n\r\n"},
        {"empty To", "Budget", "Jane Smith", "", kSent, "x",
         "2003-11-05_090702_Budget_Jane Smith.rtf",
         header("Jane Smith", "Unknown Recipient", "11/5/2003 9:07:02 AM", "Budget") +
             "x\r\n\r\n\r\n"},
        {"sender of forbidden characters only", "Budget", "?<>\"|", "Bob Jones", kSent, "x",
         "2003-11-05_090702_Budget_Unknown Sender.rtf",
         header("Unknown Sender", "Bob Jones", "11/5/2003 9:07:02 AM", "Budget") + "x\r\n\r\n\r\n"},
        {"41-character multi-byte subject cut to 39 in the name only", fortyOne, "Jane Smith",
         "Bob Jones", kSent, "x",
         "2003-11-05_090702_Ünïcödé ßubjéct wïth fórty-öne châráctè_Jane Smith.rtf",
         header("Jane Smith", "Bob Jones", "11/5/2003 9:07:02 AM", fortyOne) + "x\r\n\r\n\r\n"},
        {"midnight leaves the time out", "Budget", "Jane Smith", "Bob Jones",
         DateTime{2003, 11, 5, 0, 0, 0}, "x", "2003-11-05_000000_Budget_Jane Smith.rtf",
         header("Jane Smith", "Bob Jones", "11/5/2003", "Budget") + "x\r\n\r\n\r\n"},
        {"afternoon on the 12-hour clock", "Budget", "Jane Smith", "Bob Jones",
         DateTime{2010, 1, 31, 12, 0, 9}, "x", "2010-01-31_120009_Budget_Jane Smith.rtf",
         header("Jane Smith", "Bob Jones", "1/31/2010 12:00:09 PM", "Budget") + "x\r\n\r\n\r\n"},
        {"colon kept in the subject line, removed from the name", "Re: <urgent> \"plan\"?",
         "\"Smith, Jane\"", "Bob: Jones", kSent, "x",
         "2003-11-05_090702_Re urgent plan_Smith, Jane.rtf",
         header("Smith, Jane", "Bob Jones", "11/5/2003 9:07:02 AM", "Re: <urgent> \"plan\"?") +
             "x\r\n\r\n\r\n"},
        {"empty subject gives two underscores", "", "Jane Smith", "Bob Jones", kSent, "x",
         "2003-11-05_090702__Jane Smith.rtf",
         header("Jane Smith", "Bob Jones", "11/5/2003 9:07:02 AM", "") + "x\r\n\r\n\r\n"},
        {"no sent date is Outlook's empty date", "Draft", "Jane Smith", "Bob Jones",
         DateTime::none(), "x", "4501-01-01_000000_Draft_Jane Smith.rtf",
         header("Jane Smith", "Bob Jones", "1/1/4501", "Draft") + "x\r\n\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        WriterRun w;
        auto inbox = MemoryFolder::make("Inbox");
        addMail(*inbox, c.subject, c.sender, c.sent).set("To", c.to).set("Body", c.body);
        archive(w, inbox);
        const auto files = w.files();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files.begin()->first, "Inbox/" + c.fileName);
        EXPECT_EQ(files.begin()->second, c.content);
        EXPECT_EQ(w.log(), "");
    }
}

TEST(MailWriter, WalksSubfoldersOfEveryKindBeforeTheFolderAndWritesOnlyMails) {
    WriterRun w;
    auto inbox = MemoryFolder::make("Inbox");
    auto projects = inbox->addFolder("Projects");
    auto deep = projects->addFolder("Deep", ItemType::Appointment);
    auto dots = inbox->addFolder("..", ItemType::Task);
    // Every mail fails one read with its own number, so that the log shows the order.
    addMail(*inbox, "own").fail("Body", Failure(13, "first of Inbox"));
    addMail(*deep, "deep").fail("Body", Failure(13, "in Deep"));
    deep->addItem("IPM.Appointment").set("Class", 26).set("Subject", "meeting");
    addMail(*projects, "proj").fail("Body", Failure(13, "in Projects"));
    projects->addItem("IPM.Schedule.Meeting.Request").set("Class", 53);
    addMail(*dots, "dots").fail("Body", Failure(13, "in .."));
    archive(w, inbox);

    EXPECT_EQ(w.directories(), (std::vector<std::string>{"Inbox", "Inbox/Projects",
                                                         "Inbox/Projects/Deep", "Inbox/_.."}));
    EXPECT_EQ(w.files().size(), 4u);
    // The body is read before the date and the sender, so the reports name neither.
    EXPECT_EQ(w.log(), entry(13, "in Deep", "Deep", "deep", "", "") +
                           entry(13, "in Projects", "Projects", "proj", "", "") +
                           entry(13, "in ..", "..", "dots", "", "") +
                           entry(13, "first of Inbox", "Inbox", "own", "", ""));
    EXPECT_EQ(
        w.settings.get(archive::settings::kSettingsSection, archive::settings::kErrorFilePath),
        archive::pathToUtf8(w.root.path()));

    const auto& accounts = w.run.accounts();
    ASSERT_EQ(accounts.size(), 4u);
    EXPECT_EQ(accounts[0]->path, "Inbox");
    EXPECT_EQ(accounts[2]->path, "Inbox/Projects/Deep");
    EXPECT_EQ(accounts[2]->found, 2);
    EXPECT_EQ(accounts[2]->written, 1);
    EXPECT_EQ(accounts[2]->skipped, (std::map<std::string, std::int64_t>{{"IPM.Appointment", 1}}));
    EXPECT_EQ(accounts[1]->skipped,
              (std::map<std::string, std::int64_t>{{"IPM.Schedule.Meeting.Request", 1}}));
}

TEST(MailWriter, NumbersCollisionsOfItemsAndAttachmentsWithinTheRun) {
    WriterRun w;
    auto inbox = MemoryFolder::make("Inbox");
    addMail(*inbox).set("Body", "first").addAttachment("report.final.pdf", "one");
    addMail(*inbox).set("Body", "second").addAttachment("report.final.pdf", "two");
    // An attachment named like the item file does not replace it.
    addMail(*inbox, "Budget", "Other").addAttachment("Jane Smith.rtf", "three");
    archive(w, inbox);

    const auto files = w.files();
    const std::string base = "Inbox/2003-11-05_090702_Budget_";
    ASSERT_EQ(files.size(), 6u);
    EXPECT_NE(files.at(base + "Jane Smith.rtf").find("first"), std::string::npos);
    EXPECT_NE(files.at(base + "Jane Smith (2).rtf").find("second"), std::string::npos);
    EXPECT_EQ(files.at(base + "report.final.pdf"), "one");
    EXPECT_EQ(files.at(base + "report.final (2).pdf"), "two");
    EXPECT_TRUE(files.contains(base + "Other.rtf"));
    EXPECT_EQ(files.at(base + "Jane Smith (3).rtf"), "three");
}

TEST(MailWriter, SavesAttachmentsBesideTheItemAndGoesOnAfterOneFails) {
    WriterRun w;
    auto inbox = MemoryFolder::make("Inbox");
    auto& mail = addMail(*inbox, "Re: Budget");
    mail.addAttachment("broken.bin", "x").failSave(Failure(61, "Disk full"));
    mail.addAttachment("", "no name: left out");
    mail.addAttachment("../../escape.txt", "kept inside");
    mail.addAttachment("unnamed.txt", "").failFileName(Failure(-2147221221, "damaged"));
    mail.addAttachment("forwarded", "", store::AttachmentType::EmbeddedItem);
    mail.addAttachment("notes.txt", "the notes");
    archive(w, inbox);

    const std::string base = "Inbox/2003-11-05_090702_Re Budget_";
    const auto files = w.files();
    EXPECT_EQ(files.at(base + "....escape.txt"), "kept inside");
    EXPECT_EQ(files.at(base + "notes.txt"), "the notes");
    EXPECT_FALSE(files.contains(base));
    const std::string stamp = "2003-11-05_090702";
    EXPECT_EQ(w.log(),
              entry(61, "Disk full", "Inbox", "Re Budget", "Jane Smith", stamp) +
                  entry(-2147221221, "damaged", "Inbox", "Re Budget", "Jane Smith", stamp) +
                  entry(5, "The attachment has no content of its own.", "Inbox", "Re Budget",
                        "Jane Smith", stamp));
    const auto& account = *w.run.accounts().front();
    EXPECT_EQ(account.attachmentsSaved, 2);
    EXPECT_EQ(account.attachmentsFailed, 3);
    EXPECT_EQ(account.written, 1);
}

struct ReadFailureCase {
    const char* fault;
    const char* property;
    std::int32_t number;
    // The log entry's subject values at the moment of the failure.
    std::string subject;
    std::string sender;
    std::string stamp;
    // Which line of the item file ends up empty, as the file shows it.
    std::string line;
};

TEST(MailWriter, AnUnreadablePropertyIsReportedWithTheItemSoFarAndLeftEmpty) {
    const std::string stamp = "2003-11-05_090702";
    const std::vector<ReadFailureCase> cases = {
        {"class: taken for a mail", "Class", 13, "", "", "", "From: Alice A\r\n"},
        {"subject", "Subject", 13, "", "", "", "\r\nSubject: \r\n"},
        {"body: raw subject in the report", "Body", 13, "Re: Budget", "", "",
         "<This item contained no email text.>"},
        {"sent date", "SentOn", 13, "Re: Budget", "", "", "Sent: \r\n"},
        {"sender: empty, never the previous item's", "SenderName", 13, "Re: Budget", "", stamp,
         "From: Unknown Sender\r\n"},
        {"recipients: raw sender in the report", "To", 13, "Re: Budget", "Alice: A", stamp,
         "To: Unknown Recipient\r\n"},
        {"copies: the rest of the file stays", "CC", 13, "Re Budget", "Alice A", stamp,
         "Cc: \r\nSent: 11/5/2003 9:07:02 AM\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        WriterRun w;
        auto inbox = MemoryFolder::make("Inbox");
        addMail(*inbox, "First", "Previous Sender").set("To", "Previous To");
        addMail(*inbox, "Re: Budget", "Alice: A")
            .set("Body", "")
            .fail(c.property, Failure(c.number, "cannot read"));
        archive(w, inbox);
        EXPECT_EQ(w.log(), entry(c.number, "cannot read", "Inbox", c.subject, c.sender, c.stamp));
        std::string second;
        for (const auto& [name, text] : w.files()) {
            if (name.find("First") == std::string::npos) {
                second = text;
            }
        }
        EXPECT_NE(second.find(c.line), std::string::npos) << second;
        EXPECT_EQ(second.find("Previous"), std::string::npos) << second;
        EXPECT_EQ(w.run.accounts().front()->written, 2);
    }
}

TEST(MailWriter, TheUnspecifiedAutomationFailureIsClearedSilently) {
    for (const std::int32_t number : {-2147467259, 13, -2147221221}) {
        SCOPED_TRACE(number);
        WriterRun w;
        auto inbox = MemoryFolder::make("Inbox");
        addMail(*inbox).fail("Body", Failure(number, "failed"));
        addMail(*inbox, "Other").addAttachment("a.txt", "").failSave(Failure(number, "failed"));
        archive(w, inbox);
        const bool silent = number == -2147467259;
        EXPECT_EQ(w.log().empty(), silent);
        EXPECT_EQ(w.reporter.boolError, !silent);
        // The item's other steps went on.
        EXPECT_EQ(w.run.accounts().front()->written, 2);
    }
}

TEST(MailWriter, AFileTheSystemRefusesFailsItsItemAndItsWritesAreReported) {
    WriterRun w;
    auto inbox = MemoryFolder::make("Inbox");
    // A name longer than any file system takes.
    addMail(*inbox, "Long", std::string(300, 'x')).addAttachment("kept.txt", "still saved");
    addMail(*inbox, "Fine");
    addMail(*inbox, "Long again", std::string(300, 'y'));
    archive(w, inbox);

    const auto files = w.files();
    EXPECT_EQ(files.size(), 2u);
    EXPECT_TRUE(files.contains("Inbox/2003-11-05_090702_Long_kept.txt"));
    const auto& account = *w.run.accounts().front();
    EXPECT_EQ(account.found, 3);
    EXPECT_EQ(account.written, 1);
    EXPECT_EQ(account.failed, 2);
    // The first failed item has no stream yet (91); the later one finds the previous item's
    // stream closed (54). Nothing is ever written into another item's file.
    const auto log = w.log();
    const auto count = [&](const std::string& number) {
        // The entry's own number line (the subject repeats the number, without the info).
        const std::string what = number + "Error Info:";
        std::size_t n = 0;
        for (auto at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("Error Nbr: 91\r\n"), 3u);
    EXPECT_EQ(count("Error Nbr: 54\r\n"), 2u);
    EXPECT_EQ(count("Error Nbr: 75\r\n") + count("Error Nbr: 76\r\n"), 2u);
    EXPECT_EQ(files.at("Inbox/2003-11-05_090702_Fine_Jane Smith.rtf").find("Long"),
              std::string::npos);
}

TEST(MailWriter, FailuresOfTheFolderAreReportedAndTheWalkGoesOn) {
    WriterRun w;
    auto inbox = MemoryFolder::make("Inbox");
    auto lost = inbox->addFolder("Lost");
    lost->failName(Failure(-2147221221, "no name"));
    addMail(*lost, "never");
    auto broken = inbox->addFolder("Broken");
    broken->failItems(Failure(-2147221221, "no items"));
    inbox->addDamagedItem(Failure(-2147221221, "damaged item"));
    addMail(*inbox);
    archive(w, inbox);

    EXPECT_EQ(w.directories(), (std::vector<std::string>{"Inbox", "Inbox/Broken"}));
    EXPECT_EQ(w.log(), entry(-2147221221, "no name", "Inbox", "", "", "") +
                           entry(-2147221221, "no items", "Broken", "", "", "") +
                           entry(-2147221221, "damaged item", "Inbox", "", "", ""));
    const auto& account = *w.run.accounts().front();
    EXPECT_EQ(account.found, 2);
    EXPECT_EQ(account.written, 1);
    EXPECT_EQ(account.failed, 1);
}

} // namespace
} // namespace tvn::writers
