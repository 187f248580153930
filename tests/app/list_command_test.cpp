#include <sstream>

#include "cli/list_command.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"
#include "tests/support/corpus.h"

namespace tvn::cli {
namespace {

using store::ItemType;

// The exit status, then stdout, then stderr, one after the other.
std::string run(const ListOptions& options,
                const app::DataFileOpener& opener = app::dataFileOpener()) {
    std::ostringstream out, err;
    const int status = runListCommand(options, out, err, opener);
    return std::to_string(status) + "\n" + out.str() + err.str();
}

using ListCommand = app::testing::ModelTest;

// One rule for both: the command line and the window list the same names in the same
// order. A journal is known by its sixteen-bit kind, so 0x10004 is one too.
TEST_F(ListCommand, SameNamesInTheSameOrderAsTheWindow) {
    personal->addFolder("Diary", ItemType::Journal);
    personal->addFolder("Inbox", ItemType::Mail);
    personal->addFolder("Odd", static_cast<ItemType>(0x10004));
    personal->addFolder("Posts", ItemType::Post);
    pick(personal);
    std::string names = "0\n";
    for (const auto& name : source()) {
        names += name + "\n";
    }
    EXPECT_EQ(std::regex_replace(run({"/data/personal.pst", std::nullopt}, opener),
                                 std::regex("\t[^\n]*"), ""),
              names);
    EXPECT_EQ(names, "0\nInbox\nCalendar\nContacts\nTasks\nNotes\nInbox\nPosts\n");
}

// An unreadable folder is left out, named on stderr, and the rest listed (exit one).
TEST_F(ListCommand, UnreadableFoldersAreNamedOnStderr) {
    personal->subfolders()[1]->failName(Failure(err::kCorruptData, "Damaged\nname"));
    personal->subfolders()[4]->failItems(Failure(err::kCorruptData, "Damaged contents"));
    EXPECT_EQ(run({"/data/personal.pst", std::nullopt}, opener),
              "1\nInbox\t0\t0\nContacts\t2\t0\nNotes\t5\t0\n"
              "tallyvane-cli list: /data/personal.pst: folder 2 left out: Damaged name "
              "(error -2147221221)\n"
              "tallyvane-cli list: /data/personal.pst: folder 5 left out: Damaged "
              "contents (error -2147221221)\n");
}

// A password file too long to hold a password, and a folder named like a data file, are
// refused with one line.
TEST(ListCorpus, ListsRealFilesAndRefusesWhatCannotBeOpened) {
    TALLYVANE_REQUIRE_CORPUS(corpus);
    archive::testing::TempFolder temp;
    archive::testing::writeBytes(temp / "huge.txt", std::string(100000, 'x'));
    std::filesystem::create_directory(temp / "folder.pst");
    const std::tuple<std::filesystem::path, std::optional<std::filesystem::path>, const char*>
        cases[] = {
            {corpus / "enron.pst", std::nullopt, "0\nDeleted Items\t0\t0\nlokay-m\t0\t0\n"},
            {corpus / "dist-list.pst", std::nullopt,
             "0\nDeleted Items\t0\t0\nInbox\t0\t0\nOutbox\t0\t0\nSent Items\t0\t0\nCalendar\t1\t1\n"
             "Contacts\t2\t2\nNotes\t5\t0\nTasks\t3\t0\nDrafts\t0\t0\nRSS Feeds\t0\t0\n"
             "Junk E-mail\t0\t0\n"},
            {corpus / "aspose-password.pst", temp / "huge.txt", "2\n*"},
            {temp / "folder.pst", std::nullopt, "2\n*"},
        };
    for (const auto& [file, passwordFile, expected] : cases) {
        // Each line on stderr shows as "*".
        EXPECT_EQ(std::regex_replace(run({file, passwordFile}),
                                     std::regex("tallyvane-cli list: [^\n]*\n"), "*"),
                  expected);
    }
}

} // namespace
} // namespace tvn::cli
