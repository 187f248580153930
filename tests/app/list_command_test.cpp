#include <algorithm>
#include <sstream>

#include "cli/list_command.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"
#include "tests/support/corpus.h"

namespace tvn::cli {
namespace {

using archive::testing::writeBytes;
using store::ItemType;

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result run(const ListOptions& options, const app::DataFileOpener& opener = app::dataFileOpener()) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runListCommand(options, out, err, opener);
    return Result{status, out.str(), err.str()};
}

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class ListCommand : public app::testing::ModelTest {
protected:
    Result list() { return run({"/data/personal.pst", std::nullopt}, opener); }
};

// One rule for both: the command line and the window list the same names in the same order.
TEST_F(ListCommand, SameNamesInTheSameOrderAsTheWindow) {
    personal->addFolder("Diary", ItemType::Journal);
    personal->addFolder("Inbox", ItemType::Mail);
    personal->addFolder("Odd", static_cast<ItemType>(0x10004));
    personal->addFolder("Posts", ItemType::Post);
    listPersonal();
    std::string names;
    for (const auto& name : model->sourceList().texts()) {
        names += name + "\n";
    }
    std::string printed;
    std::istringstream lines(list().out);
    for (std::string line; std::getline(lines, line);) {
        printed += line.substr(0, line.find('\t')) + "\n";
    }
    EXPECT_EQ(printed, names);
    // A journal is known by its sixteen-bit kind, so 0x10004 is one too.
    EXPECT_EQ(names, "Inbox\nCalendar\nContacts\nTasks\nNotes\nInbox\nPosts\n");
}

// An unreadable folder is left out, named on stderr, and the rest listed (exit one).
TEST_F(ListCommand, UnreadableFoldersAreNamedOnStderr) {
    personal->subfolders()[1]->failName(Failure(err::kCorruptData, "Damaged\nname"));
    personal->subfolders()[4]->failItems(Failure(err::kCorruptData, "Damaged contents"));
    const Result result = list();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Inbox\t0\t0\nContacts\t2\t0\nNotes\t5\t0\n");
    EXPECT_EQ(lineCount(result.err), 2U);
    EXPECT_NE(result.err.find("folder 2 left out: Damaged name (error -2147221221)"),
              std::string::npos);
    EXPECT_NE(result.err.find("folder 5 left out"), std::string::npos);
}

TEST(ListCorpus, ListsRealFilesAndRefusesWhatCannotBeOpened) {
    TALLYVANE_REQUIRE_CORPUS(corpus);
    archive::testing::TempFolder temp;
    writeBytes(temp / "right.txt", "Password1\r\nsomething else\n");
    writeBytes(temp / "huge.txt", std::string(100000, 'x'));
    std::filesystem::create_directory(temp / "folder.pst");
    struct Case {
        std::filesystem::path file; // in the corpus unless absolute
        const char* passwordFile;   // nullptr: none
        int status;
        const char* out;
    };
    const Case cases[] = {
        {"enron.pst", nullptr, 0, "Deleted Items\t0\t0\nlokay-m\t0\t0\n"},
        // The journal is left out and the kinds are numbered.
        {"dist-list.pst", nullptr, 0,
         "Deleted Items\t0\t0\nInbox\t0\t0\nOutbox\t0\t0\nSent Items\t0\t0\nCalendar\t1\t1\n"
         "Contacts\t2\t2\nNotes\t5\t0\nTasks\t3\t0\nDrafts\t0\t0\nRSS Feeds\t0\t0\n"
         "Junk E-mail\t0\t0\n"},
        // A password file too long to hold a password, or a folder, is refused.
        {"aspose-password.pst", "huge.txt", 2, ""},
        {temp / "folder.pst", nullptr, 2, ""},
        {"aspose-password.pst", "right.txt", 0, "Deleted Items\t0\t14\nInbox\t0\t4\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string() + " " + (c.passwordFile ? c.passwordFile : "-"));
        ASSERT_TRUE(std::filesystem::exists(corpus / c.file)) << "missing from the corpus";
        ListOptions options{corpus / c.file, std::nullopt};
        if (c.passwordFile != nullptr) {
            options.passwordFile = temp / c.passwordFile;
        }
        const Result result = run(options);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(lineCount(result.err), c.status == 2 ? 1U : 0U) << result.err;
    }
}

} // namespace
} // namespace tvn::cli
