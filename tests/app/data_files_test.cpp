#include "app/data_files.h"
#include "tests/app/app_test_support.h"

namespace tvn::app {
namespace {

using store::memory::MemoryFolder;
using Texts = std::vector<std::string>;
using Paths = std::vector<std::filesystem::path>;
using Folders = std::vector<std::shared_ptr<store::Folder>>;

class DataFilesTest : public testing::ModelTest {
protected:
    // The count, then every file key that holds something.
    Texts remembered() const {
        Texts out{settings.get("DataFiles", "Count")};
        for (int i = 1; i <= 9; ++i) {
            if (auto file = settings.get("DataFiles", "File" + std::to_string(i)); !file.empty()) {
                out.push_back(file);
            }
        }
        return out;
    }
};

// Remembered files are reopened once, in order. One that cannot be opened now (a stick
// not plugged in) is named with the reason and keeps its place until the user closes it.
TEST_F(DataFilesTest, RememberedFilesAreReopenedAndUnavailableOnesKeepTheirPlace) {
    auto second = MemoryFolder::make("Archive");
    files["/data/archive.pst"] = second;
    files["/data/damaged.pst"] = nullptr;
    files["/data/locked.pst"] = MemoryFolder::make("Locked");
    protectedFiles["/data/locked.pst"] = "secret";
    answers.password = "wrong";
    const Texts all{"/data/usb.pst", "/data/damaged.pst", "/data/locked.pst", "/data/personal.pst",
                    "/data/archive.pst"};
    settings.set("DataFiles", "Count", "5");
    for (std::size_t i = 0; i < all.size(); ++i) {
        settings.set("DataFiles", "File" + std::to_string(i + 1), all[i]);
    }
    store::Session& session = model->application();
    DataFiles& dataFiles = model->dataFiles();
    EXPECT_EQ(session.dataFiles(), (Folders{personal, second}));
    EXPECT_EQ(opened, 5);
    EXPECT_EQ(dataFiles.unavailable(),
              (std::vector<DataFiles::Unavailable>{
                  {"/data/usb.pst", "the file does not exist"},
                  {"/data/damaged.pst", "not an Outlook data file"},
                  {"/data/locked.pst", "its password was not given or is wrong"}}));
    ASSERT_EQ(boxes.shown.size(), 3U);
    EXPECT_EQ(boxes.shown[0].text,
              "The data file /data/usb.pst cannot be opened now: the file does "
              "not exist. It stays in the list of data files; close it there "
              "to forget it.");
    EXPECT_TRUE(log->empty());

    auto back = MemoryFolder::make("Stick");
    files["/data/usb.pst"] = back;
    EXPECT_EQ(dataFiles.open(session, "/data/usb.pst"), back);
    EXPECT_EQ(dataFiles.unavailable().size(), 2U);
    EXPECT_EQ(dataFiles.paths(),
              (Paths{"/data/usb.pst", "/data/personal.pst", "/data/archive.pst"}));

    // Releasing the application keeps the list; next session the stick is gone again.
    files.erase("/data/usb.pst");
    model->btnExit_Click();
    EXPECT_TRUE(dataFiles.paths().empty());
    model->application();
    dataFiles.forget("/data/personal.pst");
    EXPECT_EQ(remembered().size(), 6U) << "an open file is closed, not forgotten";
    for (const char* file : {"/data/usb.pst", "/data/damaged.pst", "/data/locked.pst"}) {
        dataFiles.forget(file);
    }
    EXPECT_TRUE(dataFiles.unavailable().empty());
    EXPECT_EQ(remembered(), (Texts{"2", "/data/personal.pst", "/data/archive.pst"}));
}

TEST_F(DataFilesTest, OpenedFileIsAskedForItsPasswordAddedRememberedAndNotOpenedTwice) {
    auto second = MemoryFolder::make("Archive");
    files["/data/archive.pst"] = second;
    protectedFiles["/data/archive.pst"] = "secret";
    answers.password = "secret";
    store::Session& session = model->application();
    EXPECT_EQ(model->dataFiles().openOrExplain(session, "/data/missing.pst"), nullptr);
    EXPECT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(model->dataFiles().open(session, "/data/./archive.pst"), second);
    EXPECT_EQ(model->dataFiles().open(session, "/data/archive.pst"), second);
    EXPECT_EQ(answers.asked, (Paths{"/data/archive.pst"}));
    EXPECT_EQ(opened, 3);
    EXPECT_EQ(remembered(), (Texts{"2", "/data/personal.pst", "/data/archive.pst"}));
    model->dataFiles().close(session, personal);
    EXPECT_EQ(session.dataFiles(), Folders{second});
    EXPECT_EQ(remembered(), (Texts{"1", "/data/archive.pst"}));
}

// A damaged count reads as no files; a huge one reads at most the capped number of keys.
TEST_F(DataFilesTest, DamagedSettingsAreReadAsNoFilesNotACrash) {
    for (const std::string count : {"abc", "-3", "", "99999999999999999999", "2x", "2000000000"}) {
        archive::MemorySettingsStore stored;
        stored.set("DataFiles", "Count", count);
        stored.set("DataFiles", count == "2000000000" ? "File1001" : "File1", "/data/personal.pst");
        opened = 0;
        store::Session session;
        DataFiles(stored, boxes, opener).restore(session);
        EXPECT_EQ(opened, 0) << count;
    }
}

TEST(DataFiles, OpenFailureReasonIsAShortLowerCaseClause) {
    EXPECT_EQ(describeOpenFailure(Failure(70, "x")), "permission denied");
    EXPECT_EQ(describeOpenFailure(Failure(err::kCorruptData, "Damaged node 0x21.")),
              "Damaged node 0x21 (error -2147221221)");
    EXPECT_EQ(describeOpenFailure(Failure(61, "")), "error 61");
}

} // namespace
} // namespace tvn::app
