#include <algorithm>
#include <cstdlib>
#include <sstream>

#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "cli/list_command.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"
#include "tests/support/corpus.h"

namespace tvn::cli {
namespace {

using archive::testing::TempFolder;
using archive::testing::writeBytes;
using store::ItemType;
using store::memory::MemoryFolder;

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result run(const ListOptions& options, const app::DataFileOpener& opener) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runListCommand(options, out, err, opener);
    return Result{status, out.str(), err.str()};
}

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// ---- With the in-memory backend -----------------------------------------------------------

class ListCommand : public app::testing::ModelTest {
protected:
    std::shared_ptr<store::Folder> openerFor(const std::filesystem::path& file,
                                             store::PasswordPrompt* prompt) {
        if (protectedFiles.count(file.string()) != 0) {
            const auto password = prompt ? prompt->askPassword(file) : std::nullopt;
            if (!password || *password != protectedFiles[file.string()]) {
                throw Failure(err::kAccessRefused, "The password is wrong");
            }
        }
        const auto found = files.find(file.string());
        if (found == files.end()) {
            throw Failure(err::kFileNotFound, "File not found");
        }
        return found->second;
    }
    app::DataFileOpener direct() {
        return [this](const std::filesystem::path& file, store::PasswordPrompt* prompt) {
            return openerFor(file, prompt);
        };
    }
    TempFolder temp;
};

TEST_F(ListCommand, ListsWhatGetFolderListListsWithTypeAndItemCount) {
    personal->subfolders()[0]->addItem("IPM.Note");
    personal->subfolders()[0]->addItem("IPM.Note");
    personal->subfolders()[5]->addItem("IPM.StickyNote");
    const Result result = run({"/data/personal.pst", std::nullopt}, direct());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "Inbox\t0\t2\nCalendar\t1\t0\nContacts\t2\t0\nTasks\t3\t0\nNotes\t5\t1\n");
    EXPECT_EQ(result.err, "");
}

// One rule for both: the command line and the window list the same names in the same order.
TEST_F(ListCommand, SameNamesInTheSameOrderAsTheWindow) {
    personal->addFolder("Diary", ItemType::Journal);
    personal->addFolder("Inbox", ItemType::Mail);
    personal->addFolder("Odd", static_cast<ItemType>(0x10004));
    personal->addFolder("Posts", ItemType::Post);
    listPersonal();
    const Result result = run({"/data/personal.pst", std::nullopt}, direct());
    std::string names;
    for (const auto& name : model->lstSource.texts()) {
        names += name + "\n";
    }
    std::string printed;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        printed += line.substr(0, line.find('\t')) + "\n";
    }
    EXPECT_EQ(printed, names);
}

TEST_F(ListCommand, UnreadableFolderIsLeftOutNamedOnStderrAndTheRestListed) {
    personal->subfolders()[1]->failName(Failure(err::kCorruptData, "Damaged\nname"));
    personal->subfolders()[4]->failItems(Failure(err::kCorruptData, "Damaged contents"));
    const Result result = run({"/data/personal.pst", std::nullopt}, direct());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Inbox\t0\t0\nContacts\t2\t0\nNotes\t5\t0\n");
    EXPECT_EQ(lineCount(result.err), 2U);
    EXPECT_NE(result.err.find("folder 2 left out: Damaged name (error -2147221221)"),
              std::string::npos);
    EXPECT_NE(result.err.find("folder 5 left out"), std::string::npos);
}

struct RefusedCase {
    const char* name;
    const char* file;
    const char* passwordFileText; // nullptr: no --password-file
    const char* reason;
    friend void PrintTo(const RefusedCase& c, std::ostream* out) { *out << c.name; }
};

class ListRefused : public ListCommand, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(ListRefused, ExitsTwoWithOneLineOnStderrAndNothingOnStdout) {
    const RefusedCase& c = GetParam();
    protectedFiles["/data/personal.pst"] = "secret";
    ListOptions options{c.file, std::nullopt};
    if (c.passwordFileText != nullptr) {
        options.passwordFile = temp / "password.txt";
        writeBytes(*options.passwordFile, c.passwordFileText);
    }
    const Result result = run(options, direct());
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(lineCount(result.err), 1U);
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    EXPECT_EQ(result.err.rfind("tallyvane-cli list: ", 0), 0U) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    ListCommand, ListRefused,
    ::testing::Values(RefusedCase{"Missing", "/data/missing.pst", nullptr,
                                  "the file does not exist"},
                      RefusedCase{"NoPassword", "/data/personal.pst", nullptr,
                                  "its password was not given or is wrong"},
                      RefusedCase{"WrongPassword", "/data/personal.pst", "guess\n",
                                  "its password was not given or is wrong"},
                      RefusedCase{"PasswordOnTheSecondLine", "/data/personal.pst", "\nsecret\n",
                                  "its password was not given or is wrong"}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(ListCommand, PasswordIsTheFirstLineOfThePasswordFile) {
    protectedFiles["/data/personal.pst"] = "secret";
    for (const char* text : {"secret", "secret\n", "secret\r\nsomething else\n"}) {
        const auto passwordFile = temp / "password.txt";
        writeBytes(passwordFile, text);
        const Result result = run({"/data/personal.pst", passwordFile}, direct());
        EXPECT_EQ(result.status, 0) << text;
        EXPECT_EQ(lineCount(result.out), 5U) << text;
    }
}

TEST_F(ListCommand, UnreadablePasswordFileExitsTwo) {
    const Result missing = run({"/data/personal.pst", temp / "none.txt"}, direct());
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(lineCount(missing.err), 1U);
    const auto huge = temp / "huge.txt";
    writeBytes(huge, std::string(100000, 'x'));
    const Result tooLong = run({"/data/personal.pst", huge}, direct());
    EXPECT_EQ(tooLong.status, 2);
    EXPECT_EQ(tooLong.out, "");
}

TEST_F(ListCommand, UnreadableTopFolderExitsTwo) {
    personal->failFolders(Failure(err::kCorruptData, "Damaged hierarchy"));
    const Result result = run({"/data/personal.pst", std::nullopt}, direct());
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("Damaged hierarchy"), std::string::npos);
}

// ---- With the .pst reader on the corpus ------------------------------------------------------

class ListWithReader : public ::testing::Test {
protected:
    TempFolder temp;
};

TEST_F(ListWithReader, FilesThatAreNotDataFilesExitTwo) {
    writeBytes(temp / "notes.pst", "These are not the folders you are looking for.\n");
    writeBytes(temp / "empty.pst", "");
    std::filesystem::create_directory(temp / "folder.pst");
    for (const auto& path :
         {temp / "notes.pst", temp / "empty.pst", temp / "absent.pst", temp / "folder.pst"}) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runListCommand({path, std::nullopt}, out, err), 2) << path;
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(lineCount(err.str()), 1U) << err.str();
    }
}

class ListCorpus : public ListWithReader {
protected:
    void SetUp() override {
        const auto corpus = test_support::corpusDir();
        if (!corpus) {
            GTEST_SKIP() << "TALLYVANE_CORPUS does not name the corpus folder";
        }
        m_corpus = *corpus;
    }
    std::filesystem::path file(const char* name) const { return m_corpus / name; }
    Result list(const char* name, const char* password = nullptr) {
        ListOptions options{file(name), std::nullopt};
        if (!std::filesystem::exists(options.file)) {
            ADD_FAILURE() << "missing from the corpus: " << name;
        }
        if (password != nullptr) {
            options.passwordFile = temp / "password.txt";
            writeBytes(*options.passwordFile, std::string(password) + "\n");
        }
        return run(options, app::pstDataFileOpener());
    }

private:
    std::filesystem::path m_corpus;
};

TEST_F(ListCorpus, Enron) {
    const Result result = list("enron.pst");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Deleted Items\t0\t0\nlokay-m\t0\t0\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(ListCorpus, JournalIsLeftOutAndKindsAreNumbered) {
    const Result result = list("dist-list.pst");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Deleted Items\t0\t0\n"
                          "Inbox\t0\t0\n"
                          "Outbox\t0\t0\n"
                          "Sent Items\t0\t0\n"
                          "Calendar\t1\t1\n"
                          "Contacts\t2\t2\n"
                          "Notes\t5\t0\n"
                          "Tasks\t3\t0\n"
                          "Drafts\t0\t0\n"
                          "RSS Feeds\t0\t0\n"
                          "Junk E-mail\t0\t0\n");
}

TEST_F(ListCorpus, OfflineFileWithFourKilobytePages) {
    const Result result = list("outlookcom-2013.ost");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Deleted Items\t0\t1\n"
                          "Inbox\t0\t10\n"
                          "Outbox\t0\t0\n"
                          "Sent Items\t0\t2\n"
                          "Archive\t0\t0\n"
                          "Yammer Root\t0\t0\n"
                          "Conversation History\t0\t0\n"
                          "Files\t0\t0\n"
                          "Conversation Action Settings\t0\t0\n"
                          "Junk Email\t0\t0\n"
                          "ExternalContacts\t2\t0\n"
                          "Tasks\t3\t0\n"
                          "Drafts\t0\t0\n"
                          "Contacts\t2\t0\n"
                          "Calendar\t1\t9\n"
                          "Notes\t5\t0\n"
                          "Sync Issues\t0\t1\n"
                          "RSS Feeds\t0\t0\n"
                          "Quick Step Settings\t0\t0\n");
}

TEST_F(ListCorpus, ProtectedFileNeedsItsPassword) {
    const Result without = list("aspose-password.pst");
    EXPECT_EQ(without.status, 2);
    EXPECT_EQ(without.out, "");
    EXPECT_NE(without.err.find("password"), std::string::npos) << without.err;

    const Result wrong = list("aspose-password.pst", "password1");
    EXPECT_EQ(wrong.status, 2);

    const Result right = list("aspose-password.pst", "Password1");
    EXPECT_EQ(right.status, 0) << right.err;
    EXPECT_EQ(right.out, "Deleted Items\t0\t14\nInbox\t0\t4\n");
}

// The window, through its data files and the reader, lists what the command line lists.
TEST_F(ListCorpus, GetFolderListOnARealFile) {
    app::testing::RecordingView view;
    app::testing::RecordingBoxes boxes;
    archive::MemorySettingsStore settings;
    settings.set("DataFiles", "Count", "1");
    settings.set("DataFiles", "File1", archive::pathToUtf8(file("enron.pst")));
    app::FrmMainOptions options;
    options.root = temp / "Tallyvane";
    app::FrmMain model(view, boxes, settings, std::move(options));
    model.Form_Load();
    app::testing::FixedPicker picker;
    model.setFolderPicker(&picker);
    ASSERT_EQ(model.application().dataFiles().size(), 1U);
    picker.answer = model.application().dataFiles().front();

    model.btnGetPST_Click();

    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(model.lstSource.texts(), (std::vector<std::string>{"Deleted Items", "lokay-m"}));
    const auto folder = model.GetFolderObject("lokay-m");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->folders()->count(), 1);
    EXPECT_EQ(model.GetFolderObject("Lokay-M"), nullptr);
    model.btnExit_Click();
    EXPECT_EQ(archive::testing::readFileText(temp / "Tallyvane" / "TVN Error Log.txt"), "");
}

} // namespace
} // namespace tvn::cli
