// Every writer end to end: each archives a whole data file, nothing fails, and what it
// writes says what pffexport reads from the same file. The files are the corpus's real
// Outlook files and one the project's own .pst writer makes, in its ANSI and its Unicode
// format, with the tasks, notes and recurrence patterns the corpus lacks. Times are shown
// in a zone with daylight saving time, so that summer and winter dates are converted.

#include <regex>

#include <gtest/gtest.h>

#include "archive/names.h"
#include "store/fixed_password_prompt.h"
#include "store/pst/pst_file.h"
#include "tests/support/corpus.h"
#include "tests/support/utc_zone.h"
#include "tests/writers/pffexport_support.h"
#include "tests/writers/writer_test_support.h"
#include "tools/pstwriter/description.h"
#include "writers/mail_item_file.h"

namespace tvn::writers {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using archive::cleanSubject;
using archive::generalDate;
using test_support::readFileText;
using Files = std::vector<std::pair<fs::path, std::string>>;

constexpr std::string_view kMadeFile = R"({"folders": [
 {"name": "Calendar", "class": "IPF.Appointment", "items": [
  {"class": "IPM.Appointment", "subject": "Short pattern", "fields": {"Start":
   "2024-02-01T14:00:00Z", "IsRecurring": true, "AppointmentRecur": "04 30 04 30"}},
  {"class": "IPM.Appointment", "subject": "Café review", "fields": {"Start":
   "2024-07-02T13:00:00Z", "End": "2024-07-02T14:45:00Z", "Location": "Room 5",
   "ReminderSet": true}, "attachments": [{"name": "agenda.txt", "text": "1. Budget"}]}]},
 {"name": "Tasks", "class": "IPF.Task", "items": [
  {"class": "IPM.Task", "subject": "Submit claim", "created": "2024-03-01T10:00:00Z",
   "fields": {"StartDate": "2024-03-04T00:00:00Z", "DueDate": "2024-03-08T00:00:00Z",
   "Complete": true}}]},
 {"name": "Notes", "class": "IPF.StickyNote", "items": [
  {"class": "IPM.StickyNote", "subject": "Wi-Fi: guest", "created": "2024-03-10T15:04:05Z",
   "modified": "2024-03-11T09:00:00Z"}]},
 {"name": "Contacts", "class": "IPF.Contact", "items": [
  {"class": "IPM.Contact", "fields": {"FirstName": "Zoë", "LastName": "Doe", "Title": "Dr.",
   "CompanyName": "Acme", "Email1Address": "zoe@example.com"}}]}
]})";

// What pffexport does not show of the made file: the task's dates, kept as stored (local
// dates, not shifted), and a recurrence pattern too short to read, reported.
void expectMadeReports(const WriterRun& w) {
    EXPECT_NE(w.files()["Tasks/Tasks/2024-03-08 - Submit claim.rtf"].find(
                  "Start date: 3/4/2024\r\nDue date: 3/8/2024\r\n"),
              std::string::npos);
    EXPECT_NE(w.log().find("The recurrence pattern is 4 bytes long, too short to hold its "
                           "type.\r\nError Nbr: -2147221221\r\nError Info:  Error in "
                           "PrintCalendar function"),
              std::string::npos);
}

bool hasLine(const std::string& text, const std::string& line) {
    return ("\r\n" + text).find("\r\n" + line + "\r\n") != std::string::npos;
}

// Each mail we wrote is one pffexport exported (mails of one name are numbered, " (2)";
// of those, the one of a folder of the same name): its header lines, body and attachments.
std::int64_t compareMails(const Files& ours, const PffExport& pff) {
    std::multimap<std::string, PffItem> byName;
    for (const auto& m : pff.items("Message")) {
        const auto sender = archive::CleanName(m["Sender name"]);
        byName.emplace(mailFileName(archive::mailStamp(m.localTime("Client submit time")),
                                    cleanSubject(m["Subject"]),
                                    sender.empty() ? archive::kUnknownSender : sender),
                       m);
    }
    std::int64_t compared = 0;
    for (const auto& [path, text] : ours) {
        static const std::regex numbered(R"( \(\d+\)\.rtf$)");
        auto [found, end] =
            byName.equal_range(std::regex_replace(path.filename().string(), numbered, ".rtf"));
        if (path.extension() != ".rtf" || found == end) {
            EXPECT_NE(path.extension(), ".rtf") << "pffexport exported no mail " << path;
            continue;
        }
        for (auto it = found; it != end; ++it) {
            const auto folder = it->second.dir.parent_path().filename().string();
            found = archive::directoryName(folder) == path.parent_path().filename() ? it : found;
        }
        const PffItem& m = found->second;
        const auto sent = m.localTime("Client submit time");
        EXPECT_TRUE(hasLine(text, "Sent: " + generalDate(sent))) << path;
        EXPECT_TRUE(hasLine(text, "Subject: " + m["Subject"])) << path;
        if (fs::exists(m.dir / "Message.txt")) {
            EXPECT_NE(text.find("\r\n\r\n" + readFileText(m.dir / "Message.txt")),
                      std::string::npos)
                << path;
        }
        const auto prefix =
            mailAttachmentName(archive::mailStamp(sent), cleanSubject(m["Subject"]), "");
        if (fs::is_directory(m.dir / "Attachments")) {
            for (const auto& a : fs::directory_iterator(m.dir / "Attachments")) {
                bool saved = !a.is_regular_file();
                for (const auto& file : fs::directory_iterator(path.parent_path())) {
                    saved = saved || (file.path().filename().string().starts_with(prefix) &&
                                      readFileText(file.path()) == readFileText(a.path()));
                }
                EXPECT_TRUE(saved) << a.path();
            }
        }
        ++compared;
    }
    return compared;
}

// Each item pffexport exported of a kind has a report (or row) of ours that holds the lines
// its fields give; reports of one content may repeat, so each exported item takes one.
std::int64_t compareItems(const PffExport& pff, const std::string& kind, Files ours,
                          const std::function<std::vector<std::string>(const PffItem&)>& lines) {
    std::int64_t compared = 0;
    for (const auto& item : pff.items(kind)) {
        const auto expected = lines(item);
        const auto match = std::find_if(ours.begin(), ours.end(), [&](const auto& report) {
            return std::all_of(expected.begin(), expected.end(),
                               [&](const auto& line) { return hasLine(report.second, line); });
        });
        if (match == ours.end()) {
            ADD_FAILURE() << "no report holds " << ::testing::PrintToString(expected);
            continue;
        }
        ours.erase(match);
        ++compared;
    }
    return compared;
}

// Each writer, the directory it writes into, the kind of item pffexport exports for it, and
// the lines (for the contacts table, "Header: value" of the columns) an exported item gives.
struct Kind {
    Writer writer;
    std::string dir;
    std::string exported;
    std::function<std::vector<std::string>(const PffItem&)> lines;
};
const std::vector<Kind> kKinds = {
    {&SaveText, "Mail", "Message", {}},
    {&SaveCalendar, "Calendar", "Appointment",
     [](const PffItem& a) {
         const auto minutes = a["Duration"].substr(0, a["Duration"].find(' '));
         std::vector<std::string> lines = {
             "Subject: " + cleanSubject(a["Subject"]),
             "Start date: " + generalDate(a.localTime("Start time")),
             "End Date: " + generalDate(a.localTime("End time")),
             "Location: " + (a["Location"].empty()
                                 ? "No location was listed for this calendar event."
                                 : a["Location"] + "."),
             std::string("Reminder set: ") + (a["Is a reminder"] == "yes" ? "Yes." : "No.")};
         if (!minutes.empty()) {
             lines.push_back("Duration: " + (minutes == "0" ? "N/A." : minutes + " minutes."));
         }
         return lines;
     }},
    {&SaveContacts, "Contacts", "Contact",
     [](const PffItem& p) -> std::vector<std::string> {
         return {"First Name: " + p["Given name"], "Last Name: " + p["Surname"],
                 "Title: " + p["Title"], "Company: " + p["Company name"],
                 "E-mail Address: " + p["Email address 1"]};
     }},
    {&SaveTasks, "Tasks", "Task",
     [](const PffItem& t) -> std::vector<std::string> {
         return {"Subject: " + t["Subject"],
                 "Date created: " + generalDate(t.localTime("Creation time")),
                 std::string("Task complete: ") + (t["Is complete"] == "yes" ? "Yes." : "No.")};
     }},
    {&SaveNotes, "Notes", "Note",
     [](const PffItem& n) -> std::vector<std::string> {
         return {"Subject: " + cleanSubject(n["Subject"]),
                 "Date created: " + generalDate(n.localTime("Creation time")),
                 "Date last modified: " + generalDate(n.localTime("Modification time"))};
     }},
};

// Our files of one writer; a contacts table as one file per row, a line per column.
Files written(const WriterRun& w, const std::string& writer) {
    Files out;
    for (const auto& [name, bytes] : w.files()) {
        if (!name.starts_with(writer + "/")) {
            continue;
        }
        const auto rows = split(bytes, "\r\n");
        for (std::size_t i = 1; writer == "Contacts" && i + 1 < rows.size(); ++i) {
            const auto values = split(rows[i], "\t");
            std::string text;
            for (std::size_t at = 0; at < values.size() && at < contacts::kColumns.size(); ++at) {
                text += std::string(contacts::kColumns[at].header) + ": " + values[at] + "\r\n";
            }
            out.emplace_back(w.root / name, text);
        }
        if (writer != "Contacts") {
            out.emplace_back(w.root / name, bytes);
        }
    }
    return out;
}

struct Case {
    std::string file;
    std::optional<std::string> password;
    // Mails, appointments, contacts, tasks and notes written.
    std::array<std::int64_t, 5> counts;
    // Contacts pffexport cannot read (a property of type 0).
    std::int64_t unreadable = 0;
    // Whether pffexport reads the appointments' named properties (one file's it misreads).
    bool appointments = true;
};

class Corpus : public ::testing::TestWithParam<Case> {};

TEST_P(Corpus, EveryWriterWritesWhatPffexportReads) {
    const Case& c = GetParam();
    archive::testing::TempFolder made;
    fs::path file = made / c.file;
    if (c.file.starts_with("made")) {
        auto description = tools::parseDescription(kMadeFile);
        description.store.format =
            c.file == "made-ansi.pst" ? tools::FileFormat::Ansi : tools::FileFormat::Unicode;
        tools::writeDescription(description, file);
    } else {
        TALLYVANE_REQUIRE_CORPUS(dir);
        file = dir / c.file;
    }
    if (std::system("command -v pffexport > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "pffexport is not installed";
    }
    test_support::ZoneGuard zone("EST5EDT,M3.2.0,M11.1.0");
    WriterRun w;
    store::FixedPasswordPrompt prompt(c.password);
    const auto top = store::pst::openDataFile(file, &prompt);
    const PffExport pff(file);
    ASSERT_TRUE(pff.ok());
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
        SCOPED_TRACE(kKinds[i].dir);
        const auto first = w.run.accounts().size();
        w.write(kKinds[i].writer, top, kKinds[i].dir);
        std::int64_t count = 0;
        for (auto at = first; at < w.run.accounts().size(); ++at) {
            const auto& account = *w.run.accounts()[at];
            EXPECT_EQ(account.failed + account.attachmentsFailed, 0) << account.path;
            EXPECT_EQ(account.found, account.written + account.skippedCount()) << account.path;
            count += account.written;
        }
        EXPECT_EQ(count, c.counts[i]);
        const auto ours = written(w, kKinds[i].dir);
        if (i == 0) {
            EXPECT_EQ(compareMails(ours, pff), count);
        } else if (i != 1 || c.appointments) {
            EXPECT_EQ(compareItems(pff, kKinds[i].exported, ours, kKinds[i].lines),
                      count - (i == 2 ? c.unreadable : 0));
        }
    }
    if (c.file.starts_with("made")) {
        expectMadeReports(w);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Corpus,
    ::testing::Values(Case{"enron.pst", {}, {71, 0, 0, 0, 0}},
                      Case{"aspose-chunk.pst", {}, {31, 9, 21, 0, 0}, 12, false},
                      Case{"aspose-outlook.pst", {}, {14, 1, 1, 0, 0}},
                      Case{"aspose-password.pst", "Password1", {11, 0, 0, 0, 0}},
                      Case{"aspose-contacts.ost", {}, {0, 0, 18, 0, 0}},
                      Case{"outlookcom-2013.ost", {}, {8, 169, 0, 0, 0}},
                      Case{"dist-list.pst", {}, {0, 1, 1, 0, 0}},
                      Case{"msg-in-msg.pst", {}, {1, 0, 0, 0, 0}},
                      Case{"sample2-ansi.pst", {}, {1, 0, 0, 0, 0}},
                      Case{"made-unicode.pst", {}, {0, 2, 1, 1, 1}},
                      Case{"made-ansi.pst", {}, {0, 2, 1, 1, 1}}),
    [](const auto& param) { return std::regex_replace(param.param.file, std::regex("\\W"), "_"); });

} // namespace
} // namespace tvn::writers
