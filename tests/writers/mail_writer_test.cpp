// The mail writer on in-memory folders.

#include <gtest/gtest.h>

#include "tests/writers/writer_test_support.h"
#include "writers/mail_item_file.h"

namespace tvn::writers {
namespace {

using namespace testing;
using store::ItemType;

// The log entry of a failure the mail writer reports, naming the item in hand.
std::string entry(std::int32_t number, const std::string& description, const std::string& folder,
                  const std::string& subject = "", const std::string& sender = "",
                  const std::string& stamp = "") {
    return logEntry(number, description, " Error in SaveText function or a sub-function therein.",
                    mailFailureText(folder, subject, sender, stamp, number, description));
}

// Subfolders of any kind first, each in a directory of its own; only mails written, byte
// for byte; items and attachments of one name numbered, never replaced; an unnamed
// attachment left out without a word. Damage is reported and counted and the walk goes on:
// a folder without a name or whose items cannot be listed, an item that cannot be opened, a
// property or attachment that cannot be read (reported with what is known of the item so
// far, never the item before), the automation layer's unspecified failure (dropped without
// a report), and files the system refuses (a first item without a stream yet, 91; a later
// one finding the previous item's closed, 54: nothing goes into another item's file).
TEST(MailWriter, WritesEachItemFileAndGoesOnAfterDamage) {
    // 42 characters, multi-byte, with characters a name cannot hold: the subject line keeps
    // them all, the name loses the forbidden ones and is cut to 39 characters.
    const std::string subject = "Re: Ünïcödé ßubjéct <wïth> fórty-twö chârs? ok";
    WriterRun w;
    auto inbox = MemoryFolder::make("Inbox");
    auto deep = inbox->addFolder("Projects")->addFolder("Deep", ItemType::Appointment);
    addMail(*deep, "Long", std::string(300, 'x')).addAttachment("kept.txt", "still saved");
    addMail(*deep, "deep").fail("Body", Failure(13, "in Deep"));
    deep->addItem("IPM.Appointment").set("Class", 26);
    addMail(*inbox->addFolder("..", ItemType::Task), "dots").fail("Body", Failure(13, "in .."));
    inbox->addFolder("Lost")->failName(Failure(-2147221221, "no name"));
    inbox->addFolder("Broken")->failItems(Failure(-2147221221, "no items"));
    setAll(addMail(*inbox, subject, "\"Smith, Jane\""), "To=Bob: Jones|SentOn=2010-01-31 12:00:09");
    // Empty and missing values: the file's name and a line they change.
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"Subject=A|Body=", "2003-11-05_090702_A_Jane Smith",
         "\r\n<This item contained no email text.>\r\n\r\n"},
        {"Subject=B|To=", "2003-11-05_090702_B_Jane Smith", "\r\nTo: Unknown Recipient\r\n"},
        {"Subject=C|SenderName=?<>", "2003-11-05_090702_C_Unknown Sender", "From: Unknown Sender"},
        {"Subject=", "2003-11-05_090702__Jane Smith", "\r\nSubject: \r\n"},
        {"Subject=D|SentOn=2003-11-05 00:00:00", "2003-11-05_000000_D_Jane Smith",
         "Sent: 11/5/2003\r\n"},
        {"Subject=E|SentOn=none", "4501-01-01_000000_E_Jane Smith", "Sent: 1/1/4501\r\n"},
    };
    for (const auto& [values, name, line] : cases) {
        setAll(addMail(*inbox), values);
    }
    addMail(*inbox).set("Body", "first").addAttachment("report.pdf", "one");
    addMail(*inbox).set("Body", "second").addAttachment("report.pdf", "two");
    auto& mail = addMail(*inbox, "Budget", "Other");
    mail.addAttachment("Jane Smith.rtf", "named like the first item file");
    mail.addAttachment("broken.bin", "x").failSave(Failure(61, "Disk full"));
    mail.addAttachment("", "no name: left out");
    mail.addAttachment("../../escape.txt", "kept inside");
    mail.addAttachment("unnamed.txt", "").failFileName(Failure(-2147221221, "damaged"));
    mail.addAttachment("forwarded", "", store::AttachmentType::EmbeddedItem);
    addMail(*inbox, "own").fail("Body", Failure(13, "in Inbox"));
    inbox->addDamagedItem(Failure(-2147221221, "damaged item"));
    addMail(*inbox, "Quiet").fail("Body", Failure(-2147467259, "unspecified"));
    addMail(*inbox, "Long again", std::string(300, 'y'));
    w.write(&SaveText, inbox, "Inbox");

    EXPECT_EQ(fmt::format("{}", fmt::join(std::views::keys(w.files(true)), "|")),
              "Inbox|Inbox/Broken|Inbox/Projects|Inbox/Projects/Deep|Inbox/_..");
    auto files = w.files();
    EXPECT_EQ(files.size(), 19u);
    EXPECT_EQ(files["Inbox/2010-01-31_120009_Re Ünïcödé ßubjéct wïth fórty-twö chârs_Smith, "
                    "Jane.rtf"],
              "From: Smith, Jane\r\nTo: Bob Jones\r\nCc: Dan Brown\r\nSent: 1/31/2010 12:00:09 "
              "PM\r\n\r\nSubject: " +
                  subject + "\r\n\r\nHello,\r\nthe figures.\r\n\r\n\r\n");
    for (const auto& [values, name, line] : cases) {
        EXPECT_NE(files["Inbox/" + name + ".rtf"].find(line), std::string::npos) << values;
    }
    const std::string base = "Inbox/2003-11-05_090702_Budget_";
    EXPECT_NE(files[base + "Jane Smith.rtf"].find("first"), std::string::npos);
    EXPECT_NE(files[base + "Jane Smith (2).rtf"].find("second"), std::string::npos);
    EXPECT_EQ(files[base + "report.pdf"] + files[base + "report (2).pdf"], "onetwo");
    EXPECT_EQ(files[base + "Jane Smith (3).rtf"], "named like the first item file");
    EXPECT_EQ(files[base + "....escape.txt"], "kept inside");
    EXPECT_EQ(files["Inbox/Projects/Deep/2003-11-05_090702_Long_kept.txt"], "still saved");
    EXPECT_EQ(files["Inbox/2003-11-05_090702_Quiet_Jane Smith.rtf"].find("Long"),
              std::string::npos);
    const auto log = w.log();
    const std::string stamp = "2003-11-05_090702";
    EXPECT_NE(log.find(entry(13, "in Deep", "Deep", "deep") + entry(13, "in ..", "..", "dots") +
                       entry(-2147221221, "no name", "Inbox") +
                       entry(-2147221221, "no items", "Broken") +
                       entry(61, "Disk full", "Inbox", "Budget", "Other", stamp) +
                       entry(-2147221221, "damaged", "Inbox", "Budget", "Other", stamp) +
                       entry(5, "The attachment has no content of its own.", "Inbox", "Budget",
                             "Other", stamp) +
                       entry(13, "in Inbox", "Inbox", "own") +
                       entry(-2147221221, "damaged item", "Inbox")),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("unspecified"), std::string::npos);
    EXPECT_EQ(split(log, "Error Nbr: 91\r\nError Info:").size(), 4u);
    EXPECT_EQ(split(log, "Error Nbr: 54\r\nError Info:").size(), 3u);
    EXPECT_EQ(counts(*w.run.accounts().front()), "Inbox: 14 12 0 2; 4 3");
    EXPECT_EQ(counts(*w.run.accounts().at(2)), "Inbox/Projects/Deep: 3 1 1 1; 1 0");
    EXPECT_EQ(w.settings.get("Settings", "Error File Path"), archive::pathToUtf8(w.root.path()));
}

} // namespace
} // namespace tvn::writers
