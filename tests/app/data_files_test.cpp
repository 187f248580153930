#include <gtest/gtest.h>

#include "app/data_files.h"
#include "app/frm_main.h"
#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

using store::memory::MemoryFolder;
using testing::ShownMessage;
using Paths = std::vector<std::filesystem::path>;
using Folders = std::vector<std::shared_ptr<store::Folder>>;

class DataFilesTest : public testing::ModelTest {
protected:
    std::string remembered(const std::string& key) const { return settings.get("DataFiles", key); }
};

TEST_F(DataFilesTest, RememberedFilesAreReopenedInOrderWhenTheSessionIsCreated) {
    auto second = MemoryFolder::make("Archive");
    files["/data/archive.pst"] = second;
    settings.set("DataFiles", "Count", "2");
    settings.set("DataFiles", "File2", "/data/archive.pst");
    store::Session& session = model->application();
    EXPECT_EQ(session.dataFiles(), (Folders{personal, second}));
    EXPECT_EQ(model->dataFiles().paths(), (Paths{"/data/personal.pst", "/data/archive.pst"}));
    EXPECT_TRUE(boxes.shown.empty());
    // Asking again gives the same session; nothing is reopened.
    EXPECT_EQ(&model->application(), &session);
    EXPECT_EQ(opened, 2);
    // Releasing the application keeps the remembered list.
    model->btnExit_Click();
    EXPECT_TRUE(model->dataFiles().paths().empty());
    EXPECT_EQ(remembered("Count"), "2");
}

// A remembered file that cannot be opened now is named with the reason and kept: a drive
// that is not plugged in or a cancelled password prompt must not lose it for good. Nothing
// is logged, the message told the user.
TEST_F(DataFilesTest, UnopenableRememberedFileIsKeptAsUnavailable) {
    struct Case {
        const char* name;
        bool present; // the opener knows the file
        bool protect; // it has a password the prompt does not give
        const char* reason;
    };
    const Case cases[] = {
        {"gone", false, false, "the file does not exist"},
        {"not a data file", true, false, "not an Outlook data file"},
        {"wrong password", true, true, "its password was not given or is wrong"},
    };
    passwords.answer = "wrong";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files.erase("/data/bad.pst");
        if (c.present) {
            files["/data/bad.pst"] = c.protect ? MemoryFolder::make("Bad") : nullptr;
        }
        protectedFiles.clear();
        if (c.protect) {
            protectedFiles["/data/bad.pst"] = "secret";
        }
        archive::MemorySettingsStore stored;
        stored.set("DataFiles", "Count", "2");
        stored.set("DataFiles", "File1", "/data/bad.pst");
        stored.set("DataFiles", "File2", "/data/personal.pst");
        testing::RecordingBoxes shown;
        DataFiles dataFiles(stored, shown, opener);
        store::Session session;
        session.setPasswordPrompt(&passwords);
        dataFiles.restore(session);
        EXPECT_EQ(
            shown.shown,
            (std::vector<ShownMessage>{
                {"The data file /data/bad.pst cannot be opened now: " + std::string(c.reason) +
                     ". It stays in the list of data files; close it there to forget it.",
                 archive::MessageIcon::Exclamation}}));
        EXPECT_EQ(session.dataFiles(), Folders{personal});
        EXPECT_EQ(dataFiles.paths(), Paths{"/data/personal.pst"});
        EXPECT_EQ(dataFiles.unavailable(),
                  (std::vector<DataFiles::Unavailable>{{"/data/bad.pst", c.reason}}));
        EXPECT_EQ(stored.get("DataFiles", "Count"), "2");
        EXPECT_EQ(stored.get("DataFiles", "File1"), "/data/bad.pst");
    }
}

// When the file is back it opens in its old place; when the user closes it, it is gone.
TEST_F(DataFilesTest, UnavailableFileComesBackInItsPlaceOrIsForgottenOnRequest) {
    settings.set("DataFiles", "Count", "2");
    settings.set("DataFiles", "File1", "/data/usb.pst");
    settings.set("DataFiles", "File2", "/data/personal.pst");
    store::Session& session = model->application();
    ASSERT_EQ(model->dataFiles().unavailable().size(), 1U);

    auto back = MemoryFolder::make("Stick");
    files["/data/usb.pst"] = back;
    EXPECT_EQ(model->dataFiles().open(session, "/data/usb.pst"), back);
    EXPECT_TRUE(model->dataFiles().unavailable().empty());
    EXPECT_EQ(model->dataFiles().paths(), (Paths{"/data/usb.pst", "/data/personal.pst"}));
    EXPECT_EQ(remembered("File1"), "/data/usb.pst");

    // Next session the stick is gone again; closing it in the picker forgets it.
    files.erase("/data/usb.pst");
    model->btnExit_Click();
    model->application();
    ASSERT_EQ(model->dataFiles().unavailable().size(), 1U);
    model->dataFiles().forget("/data/personal.pst");
    EXPECT_EQ(remembered("Count"), "2") << "an open file is closed, not forgotten";
    model->dataFiles().forget("/data/usb.pst");
    EXPECT_TRUE(model->dataFiles().unavailable().empty());
    EXPECT_EQ(remembered("Count"), "1");
    EXPECT_EQ(remembered("File1"), "/data/personal.pst");
    EXPECT_EQ(remembered("File2"), "");
}

TEST_F(DataFilesTest, OpenedFileIsAskedForItsPasswordAddedRememberedAndNotOpenedTwice) {
    auto second = MemoryFolder::make("Archive");
    files["/data/archive.pst"] = second;
    protectedFiles["/data/archive.pst"] = "secret";
    passwords.answer = "secret";
    store::Session& session = model->application();
    EXPECT_EQ(model->dataFiles().openOrExplain(session, "/data/missing.pst"), nullptr);
    EXPECT_EQ(boxes.shown, (std::vector<ShownMessage>{
                               {"The data file /data/missing.pst could not be opened: the file "
                                "does not exist.",
                                archive::MessageIcon::Exclamation}}));
    EXPECT_EQ(remembered("Count"), "1");
    EXPECT_EQ(model->dataFiles().open(session, "/data/./archive.pst"), second);
    EXPECT_EQ(model->dataFiles().open(session, "/data/archive.pst"), second);
    EXPECT_EQ(passwords.asked, (Paths{"/data/archive.pst"}));
    EXPECT_EQ(opened, 3);
    EXPECT_EQ(session.dataFiles().size(), 2U);
    EXPECT_EQ(remembered("Count"), "2");
    EXPECT_EQ(remembered("File2"), "/data/archive.pst");

    model->dataFiles().close(session, personal);
    EXPECT_EQ(session.dataFiles(), Folders{second});
    EXPECT_EQ(remembered("Count"), "1");
    EXPECT_EQ(remembered("File1"), "/data/archive.pst");
    EXPECT_EQ(remembered("File2"), "");
}

// A damaged count reads as fewer files, and a huge one reads at most the capped number of
// keys, none of which is here.
TEST_F(DataFilesTest, DamagedSettingsAreReadAsFewerFilesNotACrash) {
    for (const char* count : {"abc", "-3", "", "99999999999999999999", "2x", "2000000000"}) {
        archive::MemorySettingsStore stored;
        stored.set("DataFiles", "Count", count);
        if (std::string(count) != "2000000000") {
            stored.set("DataFiles", "File1", "/data/personal.pst");
        }
        opened = 0;
        DataFiles dataFiles(stored, boxes, opener);
        store::Session session;
        dataFiles.restore(session);
        EXPECT_TRUE(session.dataFiles().empty()) << count;
        EXPECT_EQ(opened, 0) << count;
    }
}

// The other reasons are in the messages above.
TEST(DataFiles, OpenFailureReasonIsAShortLowerCaseClause) {
    const std::tuple<std::int32_t, const char*, const char*> cases[] = {
        {76, "x", "the file does not exist"},
        {70, "x", "permission denied"},
        {err::kCorruptData, "Damaged node 0x21.", "Damaged node 0x21 (error -2147221221)"},
        {61, "", "error 61"},
    };
    for (const auto& [number, description, expected] : cases) {
        EXPECT_EQ(describeOpenFailure(Failure(number, description)), expected) << number;
    }
}

} // namespace
} // namespace tvn::app
