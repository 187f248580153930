// The names the archive makes from an item's own text, its date texts, and the register
// that keeps two items of one run from sharing a file.

#include <string>

#include <gtest/gtest.h>

#include "archive/names.h"
#include "archive/run_context.h"
#include "tests/archive/temp_folder.h"

namespace tvn::archive {
namespace {

namespace fs = std::filesystem;
using store::DateTime;

TEST(Names, CleaningCuttingAndDirectoryNames) {
    std::string accents;
    for (int i = 0; i < 41; ++i) {
        accents += "\xC3\xA9";
    }
    const std::pair<std::string, std::string> cases[] = {
        {CleanName("a\\b/c:d*e?f<g>h|i\"j"), "abcdefghij"},
        {cutSubject(std::string(40, 'a')), std::string(40, 'a')},
        {cutSubject(std::string(40, 'a') + "b"), std::string(39, 'a')},
        // Cut by characters, never inside one: 39 two-byte characters stay.
        {cutSubject(accents), accents.substr(0, 78)},
        {cutSubject(accents.substr(0, 80)), accents.substr(0, 80)},
        // The cut comes after cleaning: the removed characters do not count.
        {cleanSubject(std::string(39, 'a') + "::b"), std::string(39, 'a') + "b"},
        {directoryName("a/b\\c"), "a_b_c"},
        {directoryName("."), "_."},
        {directoryName(".."), "_.."},
        {directoryName(""), "_"},
        {directoryName("...x"), "...x"},
        {directoryName("../../etc"), ".._.._etc"},
    };
    for (const auto& [made, expected] : cases) {
        EXPECT_EQ(made, expected);
    }
    EXPECT_EQ(characterCount("\xE2\x82\xAC\xF0\x9F\x98\x80x"), 3u);
}

TEST(Names, StampsAndGeneralDates) {
    const DateTime morning{2003, 11, 5, 9, 7, 2};
    const std::pair<DateTime, std::string> dates[] = {
        {morning, "11/5/2003 9:07:02 AM"},
        {DateTime{2003, 11, 5, 0, 0, 0}, "11/5/2003"},
        {DateTime{2003, 11, 5, 12, 0, 1}, "11/5/2003 12:00:01 PM"},
        {DateTime{2003, 11, 5, 0, 30, 0}, "11/5/2003 12:30:00 AM"},
        {DateTime{2003, 11, 5, 23, 59, 59}, "11/5/2003 11:59:59 PM"},
        {DateTime::none(), "1/1/4501"},
    };
    for (const auto& [date, text] : dates) {
        EXPECT_EQ(generalDate(date), text);
    }
    EXPECT_EQ(mailStamp(morning) + "|" + reportStamp(morning) + "|" + taskStamp(morning),
              "2003-11-05_090702|2003-11-05 09.07.02|2003-11-05");
}

struct NullBoxes final : MessageBoxes {
    void show(std::string_view, MessageIcon, std::string_view) override {}
};

struct Archive {
    testing::TempFolder dir;
    NullBoxes boxes;
    ErrorReporter reporter{boxes};
    MemorySettingsStore settings;
    RunContext run{dir.path(), reporter, settings};
};

TEST(RunContext, NamesWrittenInTheRunAreNumberedOthersReplaced) {
    Archive r;
    const fs::path d = r.dir.path();
    const auto file = d / "Budget_Jane.rtf";
    testing::writeBytes(file, "from an earlier run");
    // An earlier run's file is replaced; a numbered name taken by an item of its own is not
    // handed out again.
    const std::pair<fs::path, fs::path> claims[] = {
        {file, file},
        {file, d / "Budget_Jane (2).rtf"},
        {file, d / "Budget_Jane (3).rtf"},
        {d / "README", d / "README"},
        {d / "README", d / "README (2)"},
        {d / "a (2).pdf", d / "a (2).pdf"},
        {d / "a.pdf", d / "a.pdf"},
        {d / "a.pdf", d / "a (3).pdf"},
    };
    for (const auto& [asked, given] : claims) {
        EXPECT_EQ(r.run.claimFileName(asked), given);
    }
    // The item file: mode 2 over an existing file empties it, a new one is created.
    auto stream = r.run.openItemFile(file);
    stream->WriteLine("new");
    stream->Close();
    EXPECT_EQ(testing::readFileText(file), "new\r\n");
}

} // namespace
} // namespace tvn::archive
