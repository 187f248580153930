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

TEST(Names, CleaningRemovesTheNineCharactersAndNothingElse) {
    EXPECT_EQ(CleanName("Re: <urgent> \"now\"?"), "Re urgent now");
    EXPECT_EQ(CleanName("a\\b/c:d*e?f<g>h|i\"j"), "abcdefghij");
    EXPECT_EQ(CleanName("Minutes 1.5\t\x01"), "Minutes 1.5\t\x01");
    EXPECT_EQ(CleanName("??"), "");
}

TEST(Names, SubjectsAreCutByCharactersNeverInsideOne) {
    const std::string forty(40, 'a');
    EXPECT_EQ(cutSubject(forty), forty);
    EXPECT_EQ(cutSubject(forty + "b"), std::string(39, 'a'));
    // 41 two-byte characters: 39 of them stay, 78 bytes, no broken sequence.
    std::string accents;
    for (int i = 0; i < 41; ++i) {
        accents += "\xC3\xA9";
    }
    EXPECT_EQ(cutSubject(accents), accents.substr(0, 78));
    EXPECT_EQ(cutSubject(accents.substr(0, 80)), accents.substr(0, 80)) << "40 stay whole";
    EXPECT_EQ(characterCount("\xE2\x82\xAC\xF0\x9F\x98\x80x"), 3u);
    // The cut comes after cleaning: the removed characters do not count.
    EXPECT_EQ(cleanSubject(std::string(39, 'a') + "::b"), std::string(39, 'a') + "b");
}

TEST(Names, StampsAndGeneralDates) {
    const DateTime morning{2003, 11, 5, 9, 7, 2};
    EXPECT_EQ(mailStamp(morning), "2003-11-05_090702");
    EXPECT_EQ(reportStamp(morning), "2003-11-05 09.07.02");
    EXPECT_EQ(taskStamp(morning), "2003-11-05");
    EXPECT_EQ(generalDate(morning), "11/5/2003 9:07:02 AM");
    EXPECT_EQ(generalDate(DateTime{2003, 11, 5, 0, 0, 0}), "11/5/2003");
    EXPECT_EQ(generalDate(DateTime{2003, 11, 5, 12, 0, 1}), "11/5/2003 12:00:01 PM");
    EXPECT_EQ(generalDate(DateTime{2003, 11, 5, 0, 30, 0}), "11/5/2003 12:30:00 AM");
    EXPECT_EQ(generalDate(DateTime{2003, 11, 5, 23, 59, 59}), "11/5/2003 11:59:59 PM");
    EXPECT_EQ(generalDate(DateTime::none()), "1/1/4501");
}

TEST(Names, DirectoryNamesCannotLeaveTheirParent) {
    EXPECT_EQ(directoryName("Inbox"), "Inbox");
    EXPECT_EQ(directoryName("a/b\\c"), "a_b_c");
    EXPECT_EQ(directoryName("."), "_.");
    EXPECT_EQ(directoryName(".."), "_..");
    EXPECT_EQ(directoryName(""), "_");
    EXPECT_EQ(directoryName("...x"), "...x");
    EXPECT_EQ(fs::path("/root") / directoryName("../../etc"), fs::path("/root/.._.._etc"));
}

class RecordingBoxes final : public MessageBoxes {
public:
    void show(std::string_view text, MessageIcon, std::string_view) override {
        shown.emplace_back(text);
    }
    std::vector<std::string> shown;
};

TEST(RunContext, NamesWrittenInTheRunAreNumberedOthersReplaced) {
    testing::TempFolder dir;
    RecordingBoxes boxes;
    ErrorReporter reporter(boxes);
    MemorySettingsStore settings;
    RunContext run(dir.path(), reporter, settings);
    const auto file = dir.path() / "2003-11-05_090702_Budget_Jane.rtf";
    testing::writeBytes(file, "from an earlier run");
    EXPECT_EQ(run.claimFileName(file), file) << "an earlier run's file is replaced";
    EXPECT_EQ(run.claimFileName(file), dir.path() / "2003-11-05_090702_Budget_Jane (2).rtf");
    EXPECT_EQ(run.claimFileName(file), dir.path() / "2003-11-05_090702_Budget_Jane (3).rtf");
    const auto plain = dir.path() / "README";
    EXPECT_EQ(run.claimFileName(plain), plain);
    EXPECT_EQ(run.claimFileName(plain), dir.path() / "README (2)");
    // A numbered name taken by an item of its own is not handed out again.
    const auto numbered = dir.path() / "a (2).pdf";
    EXPECT_EQ(run.claimFileName(numbered), numbered);
    EXPECT_EQ(run.claimFileName(dir.path() / "a.pdf"), dir.path() / "a.pdf");
    EXPECT_EQ(run.claimFileName(dir.path() / "a.pdf"), dir.path() / "a (3).pdf");

    // The item file: mode 2 over an existing file empties it, a new one is created.
    auto stream = run.openItemFile(file);
    stream->WriteLine("new");
    stream->Close();
    EXPECT_EQ(testing::readFileText(file), "new\r\n");
}

TEST(RunContext, CreateFolderReportsItsFailureAndTheRunGoesOn) {
    testing::TempFolder dir;
    RecordingBoxes boxes;
    ErrorReporter reporter(boxes);
    MemorySettingsStore settings;
    RunContext run(dir.path(), reporter, settings);
    reporter.log() = run.files().CreateTextFile(dir.path() / "log.txt", true, Buffering::EveryLine);
    run.CreateFolder(dir.path() / "Inbox");
    run.CreateFolder(dir.path() / "Inbox"); // exists: nothing to do
    EXPECT_TRUE(fs::is_directory(dir.path() / "Inbox"));
    EXPECT_FALSE(reporter.boolError);
    run.CreateFolder(dir.path() / "missing" / "Inbox");
    EXPECT_TRUE(reporter.boolError);
    const auto log = testing::readFileText(dir.path() / "log.txt");
    EXPECT_NE(log.find("Error Nbr: 76"), std::string::npos) << log;
    EXPECT_NE(log.find(std::string(kCreateFolderInfo)), std::string::npos) << log;
}

} // namespace
} // namespace tvn::archive
