#include <ostream>

#include <gtest/gtest.h>

#include "app/data_files.h"
#include "app/frm_main.h"
#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

using store::memory::MemoryFolder;
using testing::ShownMessage;
using Paths = std::vector<std::filesystem::path>;

class DataFilesTest : public testing::ModelTest {
protected:
    std::string remembered(const std::string& key) const { return settings.get("DataFiles", key); }
    std::string droppedMessage(const std::string& path, const std::string& reason) const {
        return "The data file " + path +
               " could not be opened and was removed from the list: " + reason + ".";
    }
};

TEST_F(DataFilesTest, RememberedFilesAreReopenedInOrderWhenTheSessionIsCreated) {
    auto second = MemoryFolder::make("Archive");
    files["/data/archive.pst"] = second;
    settings.set("DataFiles", "Count", "2");
    settings.set("DataFiles", "File2", "/data/archive.pst");
    store::Session& session = model->application();
    EXPECT_EQ(session.dataFiles(), (std::vector<std::shared_ptr<store::Folder>>{personal, second}));
    EXPECT_EQ(model->dataFiles().paths(), (Paths{"/data/personal.pst", "/data/archive.pst"}));
    EXPECT_EQ(model->dataFiles().pathOf(second), "/data/archive.pst");
    EXPECT_TRUE(boxes.shown.empty());
    // Asking again gives the same session; nothing is reopened.
    EXPECT_EQ(&model->application(), &session);
    EXPECT_EQ(opened, 2);
}

struct DroppedCase {
    const char* name;
    bool present; // the opener knows the file
    bool protect; // it has a password the prompt does not give
    const char* reason;
    friend void PrintTo(const DroppedCase& c, std::ostream* out) { *out << c.name; }
};

class DroppedFile : public DataFilesTest, public ::testing::WithParamInterface<DroppedCase> {};

TEST_P(DroppedFile, IsRemovedFromTheListWithAMessageNamingItAndWhy) {
    const DroppedCase& c = GetParam();
    if (c.present) {
        files["/data/bad.pst"] = c.protect ? MemoryFolder::make("Bad") : nullptr;
    }
    if (c.protect) {
        protectedFiles["/data/bad.pst"] = "secret";
        passwords.answer = "wrong";
    }
    settings.set("DataFiles", "Count", "2");
    settings.set("DataFiles", "File1", "/data/bad.pst");
    settings.set("DataFiles", "File2", "/data/personal.pst");

    model->application();

    EXPECT_EQ(boxes.shown,
              (std::vector<ShownMessage>{{droppedMessage("/data/bad.pst", c.reason),
                                          archive::MessageIcon::Exclamation, "Tallyvane"}}));
    EXPECT_EQ(model->golApp->dataFiles(), (std::vector<std::shared_ptr<store::Folder>>{personal}));
    EXPECT_EQ(remembered("Count"), "1");
    EXPECT_EQ(remembered("File1"), "/data/personal.pst");
    EXPECT_EQ(remembered("File2"), "");
    // Nothing is logged: the message told the user.
    EXPECT_TRUE(log->lines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    DataFiles, DroppedFile,
    ::testing::Values(DroppedCase{"Gone", false, false, "the file does not exist"},
                      DroppedCase{"NotADataFile", true, false, "not an Outlook data file"},
                      DroppedCase{"WrongPassword", true, true,
                                  "its password was not given or is wrong"}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(DataFilesTest, ProtectedFileAsksTheSessionsPasswordPrompt) {
    auto locked = MemoryFolder::make("Locked");
    files["/data/locked.pst"] = locked;
    protectedFiles["/data/locked.pst"] = "secret";
    passwords.answer = "secret";
    store::Session& session = model->application();
    EXPECT_EQ(model->dataFiles().open(session, "/data/locked.pst"), locked);
    EXPECT_EQ(passwords.asked, (Paths{"/data/locked.pst"}));
}

TEST_F(DataFilesTest, OpenedFileIsAddedRememberedAndNotOpenedTwice) {
    auto second = MemoryFolder::make("Archive");
    files["/data/archive.pst"] = second;
    store::Session& session = model->application();
    EXPECT_EQ(model->dataFiles().open(session, "/data/./archive.pst"), second);
    EXPECT_EQ(model->dataFiles().open(session, "/data/archive.pst"), second);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(session.dataFiles().size(), 2U);
    EXPECT_EQ(remembered("Count"), "2");
    EXPECT_EQ(remembered("File2"), "/data/archive.pst");

    model->dataFiles().close(session, personal);
    EXPECT_EQ(session.dataFiles(), (std::vector<std::shared_ptr<store::Folder>>{second}));
    EXPECT_EQ(remembered("Count"), "1");
    EXPECT_EQ(remembered("File1"), "/data/archive.pst");
    EXPECT_EQ(remembered("File2"), "");
}

TEST_F(DataFilesTest, FailedOpenChangesNothingAndPassesTheFailureOn) {
    store::Session& session = model->application();
    try {
        model->dataFiles().open(session, "/data/missing.pst");
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), err::kFileNotFound);
    }
    EXPECT_EQ(session.dataFiles().size(), 1U);
    EXPECT_EQ(remembered("Count"), "1");
}

TEST_F(DataFilesTest, DamagedSettingsAreReadAsFewerFilesNotACrash) {
    for (const char* count : {"abc", "-3", "", "99999999999999999999", "2x"}) {
        archive::MemorySettingsStore stored;
        stored.set("DataFiles", "Count", count);
        stored.set("DataFiles", "File1", "/data/personal.pst");
        DataFiles dataFiles(stored, boxes,
                            [](const std::filesystem::path&, store::PasswordPrompt*) {
                                return std::shared_ptr<store::Folder>(MemoryFolder::make("X"));
                            });
        store::Session session;
        dataFiles.restore(session);
        EXPECT_TRUE(session.dataFiles().empty()) << count;
    }
    // A huge count reads at most the capped number of keys.
    archive::MemorySettingsStore stored;
    stored.set("DataFiles", "Count", "2000000000");
    int calls = 0;
    DataFiles dataFiles(stored, boxes, [&](const std::filesystem::path&, store::PasswordPrompt*) {
        ++calls;
        return std::shared_ptr<store::Folder>(MemoryFolder::make("X"));
    });
    store::Session session;
    dataFiles.restore(session);
    EXPECT_EQ(calls, 0);
}

TEST_F(DataFilesTest, ReleasingTheApplicationKeepsTheRememberedList) {
    model->application();
    model->btnExit_Click();
    EXPECT_TRUE(model->dataFiles().paths().empty());
    EXPECT_EQ(remembered("Count"), "1");
    EXPECT_EQ(remembered("File1"), "/data/personal.pst");
}

struct ReasonCase {
    const char* name;
    std::int32_t number;
    const char* description;
    const char* expected;
    friend void PrintTo(const ReasonCase& c, std::ostream* out) { *out << c.name; }
};

class OpenFailureReason : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(OpenFailureReason, IsAShortLowerCaseClause) {
    const ReasonCase& c = GetParam();
    EXPECT_EQ(describeOpenFailure(Failure(c.number, c.description)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    DataFiles, OpenFailureReason,
    ::testing::Values(ReasonCase{"NotFound", 53, "x", "the file does not exist"},
                      ReasonCase{"PathNotFound", 76, "x", "the file does not exist"},
                      ReasonCase{"NotADataFile", err::kCorruptStore, "x",
                                 "not an Outlook data file"},
                      ReasonCase{"Refused", 287, "x", "its password was not given or is wrong"},
                      ReasonCase{"Permission", 70, "x", "permission denied"},
                      ReasonCase{"Other", err::kCorruptData, "Damaged node 0x21.",
                                 "Damaged node 0x21 (error -2147221221)"},
                      ReasonCase{"OtherWithoutText", 61, "", "error 61"}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace tvn::app
