// `tallyvane-cli archive`: the folders it chooses, its exit statuses and messages, and an
// account that adds up, on in-memory data files and on a corpus file.

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "archive/error_messages.h"
#include "cli/archive_command.h"
#include "store/memory/memory_store.h"
#include "tests/archive/temp_folder.h"

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

Outcome runWith(const ArchiveOptions& options, const app::DataFileOpener& opener) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runArchiveCommand(options, out, err, opener);
    return {status, out.str(), err.str()};
}

ArchiveOptions optionsFor(const fs::path& file, const std::vector<std::string>& folders, bool all,
                          const fs::path& root) {
    ArchiveOptions options{file, folders, all, root, "utf-8", {}, false, false};
    return options;
}

// Two top-level "Inbox" folders (a real file has them), a calendar, a journal, and an item
// directly in the top folder.
app::DataFileOpener memoryFile(bool damagedInbox = false) {
    auto top = MemoryFolder::make("Personal Folders");
    auto inbox = top->addFolder("Inbox", ItemType::Mail);
    if (damagedInbox) {
        inbox->failType(Failure(err::kCorruptData, "damaged"));
    }
    inbox->addItem("IPM.Note").set("Class", 43).addAttachment("a.txt", "a");
    inbox->addItem("IPM.Contact");
    top->addFolder("Calendar", ItemType::Appointment);
    top->addFolder("Inbox", ItemType::Mail);
    top->addFolder("Journal", ItemType::Journal);
    top->addItem("IPM.Note").set("Subject", "stray");
    return [top](const fs::path&, store::PasswordPrompt*) -> std::shared_ptr<store::Folder> {
        return top;
    };
}

// Status 2 comes with one line on stderr, before anything is written.
TEST(ArchiveCommand, UsageAndOpeningFailuresExitTwoBeforeWritingAnything) {
    const app::DataFileOpener refusing =
        [](const fs::path&, store::PasswordPrompt*) -> std::shared_ptr<store::Folder> {
        throw Failure(err::kAccessRefused, "wrong password");
    };
    const std::string prefix = "tallyvane-cli archive: file.pst: ";
    // Folders, opener, root (below the test's folder; "file" is a file) and the message.
    const std::tuple<std::vector<std::string>, app::DataFileOpener, const char*, std::string>
        cases[] = {
            {{}, memoryFile(), "out", "--all"},
            {{"Inbox", "Outbox"},
             memoryFile(),
             "out",
             prefix + "the data file has no folder named \"Outbox\"\n"},
            {{"Inbox"}, refusing, "out", prefix + "its password was not given or is wrong\n"},
            {{"Inbox"}, memoryFile(), "file", "no error log can be made there"},
        };
    for (const auto& [folders, opener, root, message] : cases) {
        archive::testing::TempFolder dir;
        archive::testing::writeBytes(dir / "file", "not a directory");
        const auto options = optionsFor("file.pst", folders, false, dir / root);
        const auto outcome = runWith(options, opener);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
}

TEST(ArchiveCommand, ChosenFoldersAreArchivedAndTheOutcomeIsPrinted) {
    archive::testing::TempFolder dir;
    auto options = optionsFor("file.pst", {"Inbox"}, false, dir.path() / "deep" / "out");
    auto outcome = runWith(options, memoryFile());
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(fs::is_directory(*options.root / "Inbox"));
    EXPECT_FALSE(fs::exists(*options.root / "Calendar"));
    // The account: found, written, skipped, failed and attachments saved, and a total.
    for (const char* line : {"1 item(s) stand directly in the top folder", "IPM.Note  \"stray\"",
                             "\nInbox                                           2        1        "
                             "1        0            1\n"
                             "  skipped 1 item(s) of class IPM.Contact\n",
                             "\ntotal                                           2        1        "
                             "1        0            1\n"}) {
        EXPECT_NE(outcome.out.find(line), std::string::npos) << outcome.out;
    }
    const auto log = archive::testing::readFileText(*options.root / archive::kErrorLogName);
    EXPECT_TRUE(std::regex_match(log, std::regex("Date: [0-9/]+( [0-9:]+ [AP]M)?   No errors "
                                                 "were reported\\.\r\n\r\n\r\n")))
        << log;

    // --all: what Get Folder List lists (no journal).
    options.folders.clear();
    options.all = true;
    outcome = runWith(options, memoryFile());
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(fs::is_directory(*options.root / "Calendar"));
    EXPECT_FALSE(fs::exists(*options.root / "Journal"));

    options.folders = {"Inbox"};
    options.all = false;
    outcome = runWith(options, memoryFile(true));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.out.find("Errors were logged: " +
                               (*options.root / archive::kErrorLogName).string()),
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
    const auto options = optionsFor(loose, {}, true, dir.path() / "out");
    const auto outcome = runWith(options, app::dataFileOpener());
    EXPECT_EQ(outcome.status, 0) << outcome.err << outcome.out;
    const auto written = fs::directory_iterator(*options.root / "loose")->path().filename();
    EXPECT_NE(written.string().find("_Loose_Ann.rtf"), std::string::npos) << written;
}

} // namespace
} // namespace tvn::cli
