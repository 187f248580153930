// `tallyvane-cli archive`: the folders it chooses, its exit statuses, and an account that
// adds up, on in-memory data files and on corpus files.

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "archive/error_messages.h"
#include "cli/archive_command.h"
#include "store/memory/memory_store.h"
#include "tests/archive/temp_folder.h"
#include "tests/support/corpus.h"

namespace tvn::cli {
namespace {

namespace fs = std::filesystem;
using store::ItemType;
using store::memory::MemoryFolder;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome runWith(ArchiveOptions options, const app::DataFileOpener& opener) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runArchiveCommand(options, out, err, opener);
    return {status, out.str(), err.str()};
}

app::DataFileOpener memoryOpener(std::shared_ptr<MemoryFolder> top) {
    return [top](const fs::path&, store::PasswordPrompt*) -> std::shared_ptr<store::Folder> {
        return top;
    };
}

// Two top-level "Inbox" folders (a real file has them), a calendar and a journal.
std::shared_ptr<MemoryFolder> twoInboxes() {
    auto top = MemoryFolder::make("Personal Folders");
    top->addFolder("Inbox", ItemType::Mail);
    top->addFolder("Calendar", ItemType::Appointment);
    top->addFolder("Inbox", ItemType::Mail);
    top->addFolder("Journal", ItemType::Journal);
    top->addItem("IPM.Note").set("Subject", "stray");
    return top;
}

TEST(ArchiveCommand, UsageAndSelectionFailuresExitTwoBeforeWritingAnything) {
    archive::testing::TempFolder dir;
    const auto root = dir.path() / "out";
    ArchiveOptions options;
    options.file = "file.pst";
    options.root = root;
    auto outcome = runWith(options, memoryOpener(twoInboxes()));
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.err.find("--all"), std::string::npos) << outcome.err;

    options.folders = {"Inbox", "Outbox"};
    outcome = runWith(options, memoryOpener(twoInboxes()));
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err,
              "tallyvane-cli archive: file.pst: the data file has no folder named \"Outbox\"\n");
    EXPECT_FALSE(fs::exists(root)) << "no partial run";

    const app::DataFileOpener refusing =
        [](const fs::path&, store::PasswordPrompt*) -> std::shared_ptr<store::Folder> {
        throw Failure(err::kAccessRefused, "wrong password");
    };
    outcome = runWith(options, refusing);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err,
              "tallyvane-cli archive: file.pst: its password was not given or is wrong\n");
    EXPECT_FALSE(fs::exists(root));
}

TEST(ArchiveCommand, EveryFolderOfAChosenNameIsArchivedAndTheTopItemsAreNamed) {
    archive::testing::TempFolder dir;
    ArchiveOptions options;
    options.file = "file.pst";
    options.root = dir.path() / "deep" / "out";
    options.folders = {"Inbox"};
    auto outcome = runWith(options, memoryOpener(twoInboxes()));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(fs::is_directory(*options.root / "Inbox"));
    EXPECT_FALSE(fs::exists(*options.root / "Calendar"));
    EXPECT_NE(outcome.out.find("1 item(s) stand directly in the top folder"), std::string::npos)
        << outcome.out;
    EXPECT_NE(outcome.out.find("IPM.Note  \"stray\""), std::string::npos) << outcome.out;
    const auto log = archive::testing::readFileText(*options.root / archive::kErrorLogName);
    EXPECT_TRUE(std::regex_match(log, std::regex("Date: [0-9/]+( [0-9:]+ [AP]M)?   No errors "
                                                 "were reported\\.\r\n\r\n\r\n")))
        << log;

    // --all: what Get Folder List lists (no journal).
    options.folders.clear();
    options.all = true;
    outcome = runWith(options, memoryOpener(twoInboxes()));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(fs::is_directory(*options.root / "Calendar"));
    EXPECT_FALSE(fs::exists(*options.root / "Journal"));
}

TEST(ArchiveCommand, ARootWhereNoLogCanBeMadeExitsTwo) {
    archive::testing::TempFolder dir;
    archive::testing::writeBytes(dir.path() / "file", "not a directory");
    ArchiveOptions options;
    options.file = "file.pst";
    options.root = dir.path() / "file";
    options.all = true;
    const auto outcome = runWith(options, memoryOpener(twoInboxes()));
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.err.find("no error log can be made there"), std::string::npos) << outcome.err;
}

TEST(ArchiveCommand, ErrorsLoggedExitOneAndNameTheLog) {
    archive::testing::TempFolder dir;
    auto top = MemoryFolder::make("Personal Folders");
    top->addFolder("Inbox", ItemType::Mail)->failType(Failure(err::kCorruptData, "damaged"));
    ArchiveOptions options;
    options.file = "file.pst";
    options.root = dir.path();
    options.folders = {"Inbox"};
    const auto outcome = runWith(options, memoryOpener(top));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(
        outcome.out.find("Errors were logged: " + (dir.path() / archive::kErrorLogName).string()),
        std::string::npos)
        << outcome.out;
}

// A folder of loose .msg files is archived as a data file's folder is.
TEST(ArchiveCommand, AFolderOfMsgFilesIsArchivedLikeAFolder) {
    archive::testing::TempFolder dir;
    const auto loose = dir.path() / "loose";
    fs::create_directories(loose);
    auto holder = std::make_shared<store::memory::MemoryItem>("IPM.Note");
    auto& attachment = holder->addAttachment("a.msg", "", store::AttachmentType::EmbeddedItem);
    auto message = std::make_shared<store::memory::MemoryItem>("IPM.Note");
    message->set("Subject", "Loose").set("SenderName", "Ann").set("Body", "Hello");
    attachment.setEmbedded(message);
    archive::FileSystem().SaveAttachment(attachment, loose / "a.msg");

    ArchiveOptions options;
    options.file = loose;
    options.root = dir.path() / "out";
    options.all = true;
    options.quiet = true;
    const auto outcome = runWith(options, app::dataFileOpener());
    EXPECT_EQ(outcome.status, 0) << outcome.err << outcome.out;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(*options.root / "loose")) {
        EXPECT_NE(entry.path().filename().string().find("_Loose_Ann.rtf"), std::string::npos);
        ++files;
    }
    EXPECT_EQ(files, 1);
}

// The account's rows add up: found = written + skipped + failed, and the total is the sum.
TEST(ArchiveCommand, TheAccountOfACorpusFileAddsUp) {
    const auto file = test_support::corpusFile("enron.pst");
    if (!file) {
        GTEST_SKIP() << "corpus not found: set TALLYVANE_CORPUS to the corpus folder";
    }
    archive::testing::TempFolder dir;
    ArchiveOptions options;
    options.file = *file;
    options.root = dir.path();
    options.all = true;
    options.quiet = true;
    const auto outcome = runWith(options, app::dataFileOpener());
    EXPECT_LE(outcome.status, 1) << outcome.err;
    std::istringstream lines(outcome.out);
    std::string line;
    const std::regex row(R"((.*\S)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+))");
    long long sum = 0;
    int rows = 0;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, row)) {
            continue;
        }
        const long long found = std::stoll(m[2]);
        EXPECT_EQ(found, std::stoll(m[3]) + std::stoll(m[4]) + std::stoll(m[5])) << line;
        if (m[1] == "total") {
            EXPECT_EQ(found, sum) << outcome.out;
        } else {
            sum += found;
            ++rows;
        }
    }
    EXPECT_GT(rows, 0) << outcome.out;
    EXPECT_TRUE(fs::exists(dir.path() / archive::kErrorLogName));
}

} // namespace
} // namespace tvn::cli
