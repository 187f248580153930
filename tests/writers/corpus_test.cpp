// Every writer end to end on a whole data file (the corpus's, and the bundled sample in ANSI
// and Unicode for the tasks and notes the corpus lacks): nothing fails, and what it writes
// says what pffexport (Debian's pff-tools) reads.

#include <algorithm>
#include <ctime>
#include <regex>

#include <gtest/gtest.h>

#include "archive/names.h"
#include "store/fixed_password_prompt.h"
#include "store/pst/pst_file.h"
#include "tests/support/corpus.h"
#include "tests/support/utc_zone.h"
#include "tests/writers/writer_test_support.h"
#include "tools/pstwriter/description.h"

namespace tvn::writers {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using test_support::readFileText;

// One item pffexport exported: its directory and its text file of "Label:<tabs>value"
// lines; a label's first line gives its field.
struct PffItem {
    fs::path dir;
    std::string lines;

    std::string operator[](const std::string& label) const {
        const auto at = ("\n" + lines).find("\n" + label + ":\t");
        const auto value = lines.find_first_not_of('\t', at + label.size() + 1);
        return at == std::string::npos ? "" : lines.substr(value, lines.find('\n', value) - value);
    }
    // A time field ("Aug 02, 2016 15:00:00.000000000 UTC") in local time.
    DateTime localTime(const std::string& label) const {
        std::tm tm{};
        if (::strptime((*this)[label].c_str(), "%b %d, %Y %H:%M:%S", &tm) == nullptr) {
            return DateTime::none();
        }
        const std::time_t t = ::timegm(&tm);
        ::localtime_r(&t, &tm);
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }
    // A template's text: "{Label}" the field; "{~Label}" the field as a report's subject;
    // "{@Label}" a time field's general date; "{?Label}" a yes/no field as "Yes."/"No.";
    // "{!Label}" a name as a mail's sender; "{<File}" the text of the item's file, if any.
    std::string expand(const std::string& text) const {
        const auto open = text.find('{');
        const auto close = text.find('}');
        const char op = text[open + 1];
        const std::string label = text.substr(open + 2, close - open - 2);
        const auto sender = archive::CleanName((*this)[label]);
        const std::string value =
            op == '~'   ? archive::cleanSubject((*this)[label])
            : op == '@' ? archive::generalDate(localTime(label))
            : op == '?' ? ((*this)[label] == "yes" ? "Yes." : "No.")
            : op == '!' ? (sender.empty() ? std::string(archive::kUnknownSender) : sender)
            : op == '<' ? test_support::readFileText(dir / label)
                        : (*this)[text.substr(open + 1, close - open - 1)];
        return text.substr(0, open) + value + text.substr(close + 1);
    }
};

// The items of one kind ("Message", "Appointment", ...) of pffexport's export of a file,
// but for the items attached to others.
std::vector<PffItem> exported(const fs::path& root, const std::string& kind) {
    const std::string text = kind == "Message" ? "OutlookHeaders.txt" : kind + ".txt";
    std::vector<PffItem> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
        if (it->path().filename() == "Attachments") {
            it.disable_recursion_pending();
        } else if (it->path().filename().string().starts_with(kind) &&
                   fs::exists(it->path() / text)) {
            out.push_back({it->path(), readFileText(it->path() / text)});
        }
    }
    return out;
}

// How many of our reports (or rows) hold the lines that an exported item's fields give,
// each matched by one exported item: reports of one content may repeat.
std::int64_t matched(const std::vector<PffItem>& items, std::vector<std::string> ours,
                     const std::string& lines) {
    const auto before = ours.size();
    for (const auto& item : items) {
        const auto match = std::ranges::find_if(ours, [&](const auto& report) {
            return std::ranges::all_of(split(lines, "|"), [&](const auto& line) {
                return ("\r\n" + report).find("\r\n" + item.expand(line) + "\r\n") !=
                       std::string::npos;
            });
        });
        if (match != ours.end()) {
            ours.erase(match);
        }
    }
    return static_cast<std::int64_t>(before - ours.size());
}

// Each writer, the directory it writes into, the kind pffexport exports for it, and the
// lines ("|" between them) an exported item gives; for the contacts table, a "Header: value"
// line a column.
const std::tuple<Writer, std::string, std::string, std::string> kKinds[] = {
    {&SaveText, "Mail", "Message",
     "From: {!Sender name}|Sent: {@Client submit time}|Subject: {Subject}|{<Message.txt}"},
    {&SaveCalendar, "Calendar", "Appointment",
     "Subject: {~Subject}|Start date: {@Start time}|End Date: {@End time}|Reminder set: {?Is a "
     "reminder}"},
    {&SaveContacts, "Contacts", "Contact",
     "First Name: {Given name}|Last Name: {Surname}|Title: {Title}|Company: {Company "
     "name}|E-mail Address: {Email address 1}"},
    {&SaveTasks, "Tasks", "Task",
     "Subject: {Subject}|Date created: {@Creation time}|Task complete: {?Is complete}"},
    {&SaveNotes, "Notes", "Note",
     "Subject: {~Subject}|Date created: {@Creation time}|Date last modified: {@Modification "
     "time}"},
};

// Our files of one writer; a contacts table as one file a row, a line a column.
std::vector<std::string> written(const WriterRun& w, const std::string& writer) {
    std::vector<std::string> out;
    for (const auto& [name, bytes] : w.files()) {
        if (name.starts_with(writer + "/") && writer != "Contacts") {
            out.push_back(bytes);
        }
        const auto rows = split(bytes, "\r\n");
        for (std::size_t i = 1;
             writer == "Contacts" && name.starts_with("Contacts/") && i + 1 < rows.size(); ++i) {
            const auto values = split(rows[i], "\t");
            std::string text;
            for (std::size_t at = 0; at < values.size() && at < contacts::kColumns.size(); ++at) {
                text += std::string(contacts::kColumns[at].header) + ": " + values[at] + "\r\n";
            }
            out.push_back(text);
        }
    }
    return out;
}

struct Case {
    std::string file;
    std::optional<std::string> password;
    // Mails, appointments, contacts, tasks and notes written, and attachments saved.
    std::array<std::int64_t, 6> counts;
    // Of each kind, those pffexport shows otherwise (it cannot read 12 of one file's
    // contacts: a property of type 0).
    std::array<std::int64_t, 5> unmatched = {};

    friend void PrintTo(const Case& c, std::ostream* out) { *out << c.file; }
};

class Corpus : public ::testing::TestWithParam<Case> {};

TEST_P(Corpus, EveryWriterWritesWhatPffexportReads) {
    const Case& c = GetParam();
    archive::testing::TempFolder temp;
    fs::path file = temp / c.file;
    if (c.file.starts_with("bundled")) {
        auto description = tools::loadDescription(TALLYVANE_SAMPLE_DESCRIPTION);
        description.store.format =
            c.file == "bundled-ansi.pst" ? tools::FileFormat::Ansi : tools::FileFormat::Unicode;
        tools::writeDescription(description, file);
    } else {
        TALLYVANE_REQUIRE_CORPUS(dir);
        file = dir / c.file;
    }
    const auto command = fmt::format("pffexport -q -m items -f text -t '{}' '{}' > /dev/null 2>&1",
                                     (temp / "x").string(), file.string());
    if (std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "pffexport is not installed or cannot read " << file;
    }
    test_support::ZoneGuard zone("EST5EDT,M3.2.0,M11.1.0");
    WriterRun w;
    store::FixedPasswordPrompt prompt(c.password);
    const auto top = store::pst::openDataFile(file, &prompt);
    std::array<std::int64_t, 6> counts{};
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        const auto& [writer, dir, kind, lines] = kKinds[i];
        SCOPED_TRACE(dir);
        const auto first = std::ssize(w.run.accounts());
        w.write(writer, top, dir);
        for (const auto& account : w.run.accounts() | std::views::drop(first)) {
            EXPECT_EQ(account->failed + account->attachmentsFailed, 0) << account->path;
            EXPECT_EQ(account->found, account->written + account->skippedCount()) << account->path;
            counts[i] += account->written;
            counts[5] += account->attachmentsSaved;
        }
        EXPECT_EQ(matched(exported(temp / "x.export", kind), written(w, dir), lines),
                  counts[i] - c.unmatched[i]);
    }
    EXPECT_EQ(counts, c.counts);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Corpus,
    ::testing::Values(Case{"enron.pst", {}, {71, 0, 0, 0, 0, 70}},
                      Case{"aspose-chunk.pst", {}, {31, 9, 21, 0, 0, 43}, {0, 0, 12, 0, 0}},
                      Case{"aspose-outlook.pst", {}, {14, 1, 1, 0, 0, 34}},
                      Case{"aspose-password.pst", "Password1", {11, 0, 0, 0, 0, 6}},
                      Case{"aspose-contacts.ost", {}, {0, 0, 18, 0, 0, 0}},
                      Case{"outlookcom-2013.ost", {}, {8, 169, 0, 0, 0, 25}},
                      Case{"dist-list.pst", {}, {0, 1, 1, 0, 0, 0}},
                      Case{"msg-in-msg.pst", {}, {1, 0, 0, 0, 0, 2}},
                      Case{"sample2-ansi.pst", {}, {1, 0, 0, 0, 0, 1}},
                      Case{"bundled-unicode.pst", {}, {4, 3, 2, 2, 2, 5}},
                      Case{"bundled-ansi.pst", {}, {4, 3, 2, 2, 2, 5}}),
    [](const auto& param) { return std::regex_replace(param.param.file, std::regex("\\W"), "_"); });

} // namespace
} // namespace tvn::writers
