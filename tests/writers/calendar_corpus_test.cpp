// The calendar writer on real appointments, checked against pffexport's export of the same
// files: every appointment gets a report, the account adds up, and each report's values and
// saved attachments are the ones the independent tool reads.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "archive/names.h"
#include "store/pst/pst_file.h"
#include "tests/support/corpus.h"
#include "tests/writers/report_pffexport.h"
#include "tests/writers/report_test_support.h"

namespace tvn::writers {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// The report lines pffexport's fields of one appointment determine.
std::vector<std::string> expectedLines(std::map<std::string, std::string> f) {
    std::vector<std::string> lines;
    lines.push_back("Subject: " + archive::cleanSubject(f["Subject"]));
    if (const auto created = pffLocalTime(f["Creation time"])) {
        lines.push_back("Date created: " + archive::generalDate(*created));
    }
    lines.push_back("Start date: " + archive::generalDate(pffLocalTime(f["Start time"]).value()));
    lines.push_back("End Date: " + archive::generalDate(pffLocalTime(f["End time"]).value()));
    if (f.count("Duration")) {
        const int minutes = std::stoi(f["Duration"]);
        lines.push_back("Duration: " + (minutes == 0 ? std::string("N/A.") : f["Duration"] + "."));
    }
    if (f.count("Location")) {
        lines.push_back("Location: " + (f["Location"].empty()
                                            ? "No location was listed for this calendar event."
                                            : f["Location"] + "."));
    }
    const std::map<std::string, std::string> importance = {
        {"Low", "Low."}, {"Normal", "Normal."}, {"High", "High."}};
    if (importance.count(f["Importance"])) {
        lines.push_back("Importance: " + importance.at(f["Importance"]));
    }
    const std::map<std::string, std::string> sensitivity = {{"None", "Normal."},
                                                            {"Personal", "Personal."},
                                                            {"Private", "Private."},
                                                            {"Confidential", "Confidential."}};
    if (sensitivity.count(f["Sensitivity"])) {
        lines.push_back("Sensitivity level: " + sensitivity.at(f["Sensitivity"]));
    }
    const std::map<std::string, std::string> busy = {{"0x00000000", "Free."},
                                                     {"0x00000001", "Tentative."},
                                                     {"0x00000002", "Busy."},
                                                     {"0x00000003", "Out of office."}};
    if (busy.count(f["Busy status"])) {
        lines.push_back("Busy status: " + busy.at(f["Busy status"]));
    }
    lines.push_back(std::string("Reminder set: ") + (f["Is a reminder"] == "yes" ? "Yes." : "No."));
    // The pattern's own words tell its type: "every day", "every Monday", "every August 13".
    const std::string& pattern = f["Recurrence pattern"];
    static const std::regex weekly(R"(^every (Sun|Mon|Tues|Wednes|Thurs|Fri|Satur)day\b)");
    static const std::regex yearly(R"(^every [A-Z][a-z]+ \d+ )");
    if (pattern.rfind("every day", 0) == 0) {
        lines.push_back("Recurring appointment: Yes - Daily.");
    } else if (std::regex_search(pattern, weekly)) {
        lines.push_back("Recurring appointment: Yes - Weekly.");
    } else if (std::regex_search(pattern, yearly)) {
        lines.push_back("Recurring appointment: Yes - Yearly.");
    }
    return lines;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t at = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", at)) {
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

struct CorpusCalendar {
    std::string file;
    // pffexport's path of the file's calendar folder below its export root.
    std::string exportPath;
    std::size_t appointments;
    // Whether pffexport reads the same named properties (one file maps them wrongly).
    bool compareValues;
};

TEST(CalendarCorpus, EveryAppointmentGetsTheReportOfWhatPffexportReads) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    if (!havePffexport()) {
        GTEST_SKIP() << "pffexport is not installed";
    }
    PinnedTimeZone zone;
    const std::vector<CorpusCalendar> calendars = {
        {"outlookcom-2013.ost", "Root - Mailbox/IPM_SUBTREE/Calendar", 169, true},
        {"dist-list.pst", "Top of Personal Folders/Calendar", 1, true},
        {"aspose-outlook.pst", "Top of Personal Folders/Calendar", 1, true},
        {"aspose-chunk.pst", "Top of Personal Folders/Calendar", 9, false},
    };
    for (const auto& c : calendars) {
        SCOPED_TRACE(c.file);
        WriterRun w;
        const auto top = store::pst::openDataFile(dir / c.file, nullptr);
        SaveCalendar(w.run, "Calendar", w.root.path() / "Calendar",
                     top->folders()->item("Calendar"));

        std::int64_t found = 0;
        std::int64_t written = 0;
        for (const auto& account : w.run.accounts()) {
            EXPECT_EQ(account->found, account->written + account->skippedCount() + account->failed);
            EXPECT_EQ(account->failed, 0) << account->path;
            EXPECT_EQ(account->attachmentsFailed, 0) << account->path;
            found += account->found;
            written += account->written;
        }
        EXPECT_EQ(found, static_cast<std::int64_t>(c.appointments));
        EXPECT_EQ(written, found);
        EXPECT_EQ(w.log(), "");

        // Our reports by directory (relative to the calendar's), and the attachments saved.
        std::map<std::string, std::vector<std::vector<std::string>>> reports;
        std::multiset<std::string> saved;
        for (const auto& [name, bytes] : w.files()) {
            const fs::path path(name);
            const auto folder = path.parent_path().lexically_relative("Calendar").string();
            if (path.extension() == ".rtf") {
                reports[folder].push_back(splitLines(bytes));
            } else {
                saved.insert(bytes);
            }
        }
        std::size_t reportCount = 0;
        for (const auto& [folder, list] : reports) {
            reportCount += list.size();
        }
        EXPECT_EQ(reportCount, c.appointments);

        archive::testing::TempFolder tmp;
        ASSERT_TRUE(pffexport(dir / c.file, tmp.path() / "x"));
        const fs::path exported = tmp.path() / "x.export" / c.exportPath;
        std::size_t compared = 0;
        std::multiset<std::string> exportedAttachments;
        for (const auto& entry : fs::recursive_directory_iterator(exported)) {
            // Exceptions of a series are exported inside its Attachments folder.
            if (entry.path().filename() != "Appointment.txt" ||
                entry.path().string().find("/Attachments/") != std::string::npos) {
                continue;
            }
            const auto item = entry.path().parent_path();
            // Attached files only: attached messages are exported as folders of their own.
            if (fs::exists(item / "Attachments")) {
                for (const auto& a : fs::directory_iterator(item / "Attachments")) {
                    if (a.is_regular_file()) {
                        exportedAttachments.insert(test_support::readFileText(a.path()));
                    }
                }
            }
            if (!c.compareValues) {
                continue;
            }
            const auto folder = item.parent_path().lexically_relative(exported).string();
            const auto expected = expectedLines(pffFields(entry.path()));
            auto& candidates = reports[folder];
            // Appointments are matched by their subject and start lines; copies of one
            // appointment are interchangeable.
            const auto match =
                std::find_if(candidates.begin(), candidates.end(), [&](const auto& r) {
                    return r.size() > 3 && r[0] == expected[0] &&
                           std::find(r.begin(), r.end(), expected[2]) != r.end();
                });
            ASSERT_NE(match, candidates.end()) << expected[0] << " / " << expected[2];
            for (const auto& line : expected) {
                EXPECT_NE(std::find(match->begin(), match->end(), line), match->end())
                    << line << " in the report of " << expected[0];
            }
            candidates.erase(match);
            ++compared;
        }
        if (c.compareValues) {
            EXPECT_EQ(compared, c.appointments);
        }
        EXPECT_EQ(saved, exportedAttachments);
    }
}

// readpst writes each appointment as an iCalendar event whose RRULE gives the recurrence
// type that pffexport leaves out for most of the OST's recurring holidays.
TEST(CalendarCorpus, RecurrenceTypesAreTheOnesReadpstReads) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    if (std::system("command -v readpst > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "readpst is not installed";
    }
    PinnedTimeZone zone;
    WriterRun w;
    const auto file = dir / "outlookcom-2013.ost";
    SaveCalendar(w.run, "Calendar", w.root.path() / "Calendar",
                 store::pst::openDataFile(file, nullptr)->folders()->item("Calendar"));
    std::multiset<std::string> ours;
    for (const auto& [name, bytes] : w.files()) {
        const auto lines = splitLines(bytes);
        if (fs::path(name).extension() == ".rtf" && lines.size() > 14) {
            ours.insert(lines[0] + " | " + lines[3] + " | " + lines[14]);
        }
    }

    const auto out = w.root.path() / "readpst";
    fs::create_directories(out);
    ASSERT_EQ(std::system(("readpst -D -j 0 -S -8 -o '" + out.string() + "' '" + file.string() +
                           "' > /dev/null 2>&1")
                              .c_str()),
              0);
    static const std::regex freq(R"(RRULE:FREQ=(DAILY|WEEKLY|MONTHLY|YEARLY))");
    static const std::regex start(R"(DTSTART[^:]*:(\d{4})(\d\d)(\d\d)T(\d\d)(\d\d)(\d\d)Z)");
    const std::map<std::string, std::string> words = {{"DAILY", "Yes - Daily."},
                                                      {"WEEKLY", "Yes - Weekly."},
                                                      {"MONTHLY", "Yes - Monthly."},
                                                      {"YEARLY", "Yes - Yearly."}};
    std::multiset<std::string> theirs;
    for (const auto& entry :
         fs::recursive_directory_iterator(out / "outlookcom-2013.ost" / "Calendar")) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string text = test_support::readFileText(entry.path());
        const auto summary = text.find("\nSUMMARY:");
        std::smatch m;
        if (summary == std::string::npos || !std::regex_search(text, m, start)) {
            continue;
        }
        std::string subject;
        for (auto at = summary + 9; at < text.size() && text[at] != '\r' && text[at] != '\n';
             ++at) {
            if (text[at] == '\\' && at + 1 < text.size()) {
                ++at; // iCalendar escapes commas, semicolons and backslashes
            }
            subject += text[at];
        }
        std::tm utc{};
        utc.tm_year = std::stoi(m[1]) - 1900;
        utc.tm_mon = std::stoi(m[2]) - 1;
        utc.tm_mday = std::stoi(m[3]);
        utc.tm_hour = std::stoi(m[4]);
        utc.tm_min = std::stoi(m[5]);
        utc.tm_sec = std::stoi(m[6]);
        std::smatch f;
        const std::string recurrence =
            std::regex_search(text, f, freq) ? words.at(f[1]) : std::string("No.");
        theirs.insert("Subject: " + archive::cleanSubject(subject) +
                      " | Start date: " + archive::generalDate(localFromUtc(utc)) +
                      " | Recurring appointment: " + recurrence);
    }
    EXPECT_EQ(theirs.size(), 169u);
    EXPECT_EQ(ours, theirs);
}

} // namespace
} // namespace tvn::writers
