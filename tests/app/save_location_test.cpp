// The archive-location dialog's model: the walk of the remembered path, the new folder, OK
// and Cancel, the drives, and the archive root the run is given.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/dlg_save_location.h"
#include "app/drives.h"
#include "archive/settings_store.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;
using archive::pathToUtf8;

class RecordingLocationView final : public SaveLocationView {
public:
    void setCaption(std::string_view text) override { caption = text; }
    void showDrives(const std::vector<Drive>& shown, int current) override {
        drives = shown;
        currentDrive = current;
    }
    void showDirectory(const DirectoryListing& shown) override { listing = shown; }
    void setPathText(std::string_view text) override { pathBox = text; }
    std::string pathText() const override { return pathBox; }
    void showProblem(std::string_view text) override { problem = text; }
    void makeVisible() override { ++madeVisible; }
    void closeDialog() override { ++closed; }

    std::string caption, pathBox, problem;
    std::vector<Drive> drives;
    int currentDrive = -2;
    DirectoryListing listing;
    int madeVisible = 0;
    int closed = 0;
};

class ScriptedPrompts final : public UserPrompts {
public:
    std::string inputBox(std::string_view prompt, std::string_view title,
                         std::string_view defaultText) override {
        asked.push_back(std::string(prompt) + "|" + std::string(title) + "|" +
                        std::string(defaultText));
        return answer;
    }
    bool okCancel(std::string_view text, std::string_view title) override {
        messages.push_back(std::string(text) + "|" + std::string(title));
        return true;
    }
    std::string answer;
    std::vector<std::string> asked, messages;
};

class SaveLocation : public ::testing::Test {
protected:
    SaveLocation() { log = testing::attachMemoryLogTo(reporter); }

    DlgSaveLocation& load(std::optional<bool> ignoresCase = false) {
        DlgSaveLocationOptions options;
        options.ignoresCase = ignoresCase;
        const std::string tempRoot = pathToUtf8(temp.path());
        options.drives = [tempRoot] { return std::vector<Drive>{{"/", "/"}, {tempRoot, "Temp"}}; };
        dialog = std::make_unique<DlgSaveLocation>(settings, reporter, temp / "Home/Tallyvane",
                                                   std::move(options));
        dialog->bind(&view, &prompts);
        dialog->Form_Load();
        return *dialog;
    }
    void remember(const std::string& path) {
        settings.set("FilePathSettings", "Save File Path", path);
    }
    std::string under(const std::string& relative) const {
        return pathToUtf8(temp.path() / relative);
    }

    archive::testing::TempFolder temp;
    archive::MemorySettingsStore settings;
    testing::RecordingBoxes boxes;
    archive::ErrorReporter reporter{boxes};
    std::shared_ptr<testing::MemoryLog::Shared> log;
    RecordingLocationView view;
    ScriptedPrompts prompts;
    std::unique_ptr<DlgSaveLocation> dialog;
};

// The walk ends where the remembered path ends, re-creating whatever is missing on the
// way, whatever separators the remembered text repeats or ends with.
TEST_F(SaveLocation, RememberedPathIsWalkedAndItsMissingDirectoriesRecreated) {
    struct Case {
        const char* name;
        std::vector<std::string> existing;
        std::string remembered;
    };
    const std::vector<Case> cases = {
        {"all present", {"a", "a/b", "a/b/c"}, "a/b/c"},
        {"last missing", {"a", "a/b"}, "a/b/c"},
        {"all missing", {}, "a/b/c"},
        {"trailing separator", {"a"}, "a/b/c/"},
        {"doubled separators", {}, "a//b///c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(temp / "a");
        for (const auto& dir : c.existing) {
            fs::create_directory(temp / dir);
        }
        remember(under(c.remembered));
        DlgSaveLocation& d = load();
        EXPECT_TRUE(fs::is_directory(temp / "a/b/c"));
        EXPECT_EQ(d.currentDirectory(), under("a/b/c"));
        EXPECT_EQ(view.pathBox, under("a/b/c"));
        EXPECT_EQ(view.listing.ancestors.back(), under("a/b/c"));
        EXPECT_EQ(view.currentDrive, 1) << "the temporary directory's drive";
        EXPECT_EQ(view.caption, "Tallyvane");
        EXPECT_EQ(view.problem, "");
        EXPECT_EQ(d.strGetPrevPath1, under(c.remembered));
        EXPECT_TRUE(log->entries.empty());
        // Remembering only pre-positions the dialog: runs still go to the default.
        EXPECT_EQ(d.getPath(), temp / "Home/Tallyvane");
    }
}

// A directory that cannot be made is logged with the loading's texts; the walk stops there
// instead of making the rest of the path somewhere else, and the dialog says so.
TEST_F(SaveLocation, RememberedPathThatCannotBeMadeIsLoggedAndTheWalkStops) {
    archive::testing::writeBytes(temp / "file", "x");
    remember(under("file/b/c"));
    DlgSaveLocation& d = load();
    EXPECT_EQ(d.currentDirectory(), pathToUtf8(temp.path()));
    ASSERT_EQ(log->entries.size(), 1U);
    EXPECT_EQ(log->entries[0].info,
              " Error in dlgSaveLocation.Form_Load sub or a sub-function therein.");
    EXPECT_EQ(log->entries[0].subject, "N/A.");
    EXPECT_TRUE(reporter.boolError);
    EXPECT_FALSE(fs::exists(temp / "b"));
    EXPECT_NE(view.problem.find("could not be opened"), std::string::npos) << view.problem;
}

TEST_F(SaveLocation, FirstUseOpensBesideTheDefaultRootAndOkConfirmsIt) {
    fs::create_directory(temp / "Home");
    DlgSaveLocation& d = load();
    EXPECT_EQ(d.currentDirectory(), under("Home"));
    EXPECT_EQ(view.pathBox, under("Home/Tallyvane"));
    EXPECT_EQ(d.strSavePath, "");
    d.OKButton_Click();
    EXPECT_EQ(view.closed, 1);
    EXPECT_EQ(d.getPath(), temp / "Home/Tallyvane");
    EXPECT_EQ(settings.get("FilePathSettings", "Save File Path"), under("Home/Tallyvane"));
}

// getPath gives the default until OK, then what the path box held (upper-cased only where
// the file system ignores case, never tested for existence); Cancel changes nothing.
TEST_F(SaveLocation, GetPathFollowsOkOnlyAndUpperCasesOnlyWhereCaseIsIgnored) {
    struct Case {
        bool ignoresCase;
        std::string typed;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{{false, "/srv/Archive/mail", "/srv/Archive/mail"},
                                           {true, "c:\\Archive\\mail", "C:\\ARCHIVE\\MAIL"},
                                           {true, "/Users/ann/Köln", "/USERS/ANN/KöLN"}}) {
        SCOPED_TRACE(c.typed);
        settings = {};
        view = {};
        DlgSaveLocation& d = load(c.ignoresCase);
        const fs::path fallback = temp / "Home/Tallyvane";
        EXPECT_EQ(d.getPath(), fallback);
        view.pathBox = "/somewhere/else";
        d.CancelButton_Click();
        EXPECT_EQ(d.getPath(), fallback);
        EXPECT_EQ(settings.get("FilePathSettings", "Save File Path"), "");

        view.pathBox = c.typed;
        d.OKButton_Click();
        EXPECT_EQ(d.strSavePath, c.expected);
        EXPECT_EQ(d.getPath(), archive::pathFromUtf8(c.expected));
        EXPECT_EQ(settings.get("FilePathSettings", "Save File Path"), c.expected);

        view.pathBox = "/later/cancelled";
        d.CancelButton_Click();
        EXPECT_EQ(d.getPath(), archive::pathFromUtf8(c.expected));
        EXPECT_EQ(view.closed, 3);
    }
}

TEST_F(SaveLocation, NewFolderAsksForANameAndOpensTheFolderItMade) {
    // The default root's parent is missing too: the dialog opens at the nearest directory.
    DlgSaveLocation& d = load();
    ASSERT_EQ(d.currentDirectory(), pathToUtf8(temp.path()));

    prompts.answer = "";
    d.cmdNewFldr_Click();
    EXPECT_EQ(prompts.asked, std::vector<std::string>{"Please type a name for the new folder: "
                                                      "|New Folder|"});
    EXPECT_EQ(prompts.messages,
              std::vector<std::string>{"Type a name for the new folder.|Tallyvane"});
    EXPECT_EQ(view.madeVisible, 1);
    EXPECT_EQ(d.currentDirectory(), pathToUtf8(temp.path()));

    prompts.answer = "Mail 2003";
    d.cmdNewFldr_Click();
    EXPECT_TRUE(fs::is_directory(temp / "Mail 2003"));
    EXPECT_EQ(view.pathBox, under("Mail 2003"));

    // A name that exists, or one the file system refuses: the dialog stays where it was
    // and says why; nothing goes to the error log.
    for (const std::string& name : std::vector<std::string>{"..", "x/y", std::string(300, 'n')}) {
        SCOPED_TRACE(name.substr(0, 10));
        prompts.answer = name;
        d.cmdNewFldr_Click();
        EXPECT_EQ(d.currentDirectory(), under("Mail 2003"));
        EXPECT_NE(view.problem.find("could not be created"), std::string::npos) << view.problem;
    }
    EXPECT_TRUE(log->entries.empty());
    EXPECT_EQ(view.closed, 0);
}

TEST_F(SaveLocation, UnreadableDriveOrFolderLeavesTheListsWhereTheyWere) {
    DlgSaveLocation& d = load();
    ASSERT_TRUE(d.Dir1_Change(pathToUtf8(temp.path())));
    fs::remove_all(temp.path());
    d.Drive1_Change(1);
    EXPECT_EQ(view.currentDrive, 1);
    EXPECT_EQ(d.currentDirectory(), pathToUtf8(temp.path()));
    EXPECT_NE(view.problem.find("cannot be read"), std::string::npos) << view.problem;

    EXPECT_FALSE(d.Dir1_Change(under("gone")));
    EXPECT_NE(view.problem.find("cannot be opened"), std::string::npos) << view.problem;
    d.Drive1_Change(0);
    EXPECT_EQ(d.currentDirectory(), "/");
    EXPECT_EQ(view.problem, "");
    fs::create_directories(temp.path());
}

TEST(Drives, OnlyTheMountsAUserWouldSaveToAreListed) {
    const std::string mounts = "proc /proc proc rw,relatime 0 0\n"
                               "sysfs /sys sysfs rw 0 0\n"
                               "/dev/sda2 / ext4 rw,relatime 0 0\n"
                               "tmpfs /run tmpfs rw 0 0\n"
                               "/dev/sda3 /home ext4 rw 0 0\n"
                               "/dev/loop3 /snap/core/123 squashfs ro 0 0\n"
                               "/dev/sdb1 /media/ann/MY\\040STICK vfat rw,nosuid 0 0\n"
                               "/dev/sdc1 /run/media/ann/Backup ext4 rw 0 0\n"
                               "/dev/sr0 /media/ann/CDROM iso9660 ro 0 0\n"
                               "server:/x /mnt/nas nfs4 rw 0 0\n"
                               "/dev/sda1 /boot/efi vfat rw 0 0\n"
                               "devpts /dev/pts devpts rw 0 0\n"
                               "garbage\n";
    const std::vector<Drive> expected = {
        {"/", "/ (ext4)"},
        {"/home/ann", "Home (/home/ann)"},
        {"/home", "/home (ext4)"},
        {"/media/ann/MY STICK", "/media/ann/MY STICK (vfat)"},
        {"/run/media/ann/Backup", "/run/media/ann/Backup (ext4)"},
        {"/mnt/nas", "/mnt/nas (nfs4)"},
    };
    EXPECT_EQ(drivesFromMounts(mounts, "/home/ann/"), expected);
    EXPECT_EQ(drivesFromMounts("", ""), (std::vector<Drive>{{"/", "/"}}));
}

// File > Select Archive Location opens the dialog, and the window shows the location that
// was confirmed in it.
class LocationMenu : public testing::ModelTest, public WindowOpener {
protected:
    void open() override {
        ++opened;
        model->saveLocation().strSavePath = "/srv/archive";
    }
    int opened = 0;
};

TEST_F(LocationMenu, OpensTheDialogAndShowsTheConfirmedLocation) {
    model->mnuFileOpen_Click();
    EXPECT_EQ(view.location, "/nonexistent-tallyvane-test-root/Tallyvane");
    model->setLocationDialog(this);
    model->mnuFileOpen_Click();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(view.location, "/srv/archive");
    EXPECT_EQ(model->saveLocation().getPath(), fs::path("/srv/archive"));
}

} // namespace
} // namespace tvn::app
