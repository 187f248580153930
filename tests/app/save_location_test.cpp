#include "app/dlg_save_location.h"
#include "app/drives.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;
using archive::pathToUtf8;

class RecordingLocationView final : public SaveLocationView, public UserPrompts {
public:
    void setCaption(std::string_view) override {}
    void showDrives(const std::vector<Drive>&, int current) override { currentDrive = current; }
    void showDirectory(const DirectoryListing&) override {}
    void setPathText(std::string_view text) override { pathBox = text; }
    std::string pathText() const override { return pathBox; }
    void showProblem(std::string_view text) override { problem = text; }
    void makeVisible() override {}
    void closeDialog() override {}
    std::string inputBox(std::string_view, std::string_view, std::string_view) override {
        return answer;
    }
    bool okCancel(std::string_view, std::string_view) override { return true; }
    std::string pathBox, problem, answer;
    int currentDrive = -2;
};

class SaveLocation : public ::testing::Test {
protected:
    SaveLocation() { log = testing::attachMemoryLogTo(reporter); }

    DlgSaveLocation& load(bool ignoresCase = false) {
        const std::vector<Drive> drives{{"/", "/"}, {pathToUtf8(temp.path()), "Temp"}};
        dialog = std::make_unique<DlgSaveLocation>(
            settings, reporter, temp / "Home/Tallyvane",
            DlgSaveLocationOptions{[=] { return drives; }, ignoresCase});
        dialog->bind(&view, &view);
        dialog->Form_Load();
        return *dialog;
    }
    std::string remembered() const { return settings.get("FilePathSettings", "Save File Path"); }
    std::string under(const std::string& rel) const { return pathToUtf8(temp.path() / rel); }

    archive::testing::TempFolder temp;
    archive::MemorySettingsStore settings;
    testing::RecordingBoxes boxes;
    archive::ErrorReporter reporter{boxes};
    testing::MemoryLog::Entries log;
    RecordingLocationView view;
    std::unique_ptr<DlgSaveLocation> dialog;
};

// The walk re-creates what is missing of the remembered path, however its separators are
// repeated; remembering only places the dialog, runs still go to the default.
TEST_F(SaveLocation, RememberedPathIsWalkedAndItsMissingDirectoriesRecreated) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"a", "a/b", "a/b/c"}, "a/b/c"},
        {{"a", "a/b"}, "a/b/c"},
        {{}, "a/b/c/"},
        {{}, "a//b///c"}};
    for (const auto& [existing, path] : cases) {
        SCOPED_TRACE(path);
        fs::remove_all(temp / "a");
        for (const auto& dir : existing) {
            fs::create_directory(temp / dir);
        }
        settings.set("FilePathSettings", "Save File Path", under(path));
        DlgSaveLocation& d = load();
        EXPECT_EQ(d.currentDirectory() + "|" + view.pathBox, under("a/b/c") + "|" + under("a/b/c"));
        EXPECT_EQ(view.currentDrive, 1) << "the temporary directory's drive";
        EXPECT_EQ(d.getPath(), temp / "Home/Tallyvane");
    }
    EXPECT_TRUE(log->empty());

    // A directory that cannot be made is logged and said, and the walk stops there.
    archive::testing::writeBytes(temp / "file", "x");
    settings.set("FilePathSettings", "Save File Path", under("file/b/c"));
    EXPECT_EQ(load().currentDirectory(), pathToUtf8(temp.path()));
    EXPECT_EQ(*log, (std::vector<testing::Logged>{
                        {err::kFileExists, std::string(location::kFormLoadInfo)}}));
    EXPECT_FALSE(fs::exists(temp / "b"));
    EXPECT_NE(view.problem.find("could not be opened"), std::string::npos) << view.problem;
}

// getPath gives the default until OK, then the path box's text, upper-cased only where the
// file system ignores case; Cancel changes nothing.
TEST_F(SaveLocation, GetPathFollowsOkOnlyAndUpperCasesOnlyWhereCaseIsIgnored) {
    const std::tuple<bool, std::string, std::string> cases[] = {
        {false, "/srv/Archive/mail", "/srv/Archive/mail"},
        {true, "c:\\Archive\\mail", "C:\\ARCHIVE\\MAIL"},
        {true, "/Users/ann/Köln", "/USERS/ANN/KöLN"}};
    for (const auto& [ignoresCase, typed, expected] : cases) {
        SCOPED_TRACE(typed);
        settings = {};
        DlgSaveLocation& d = load(ignoresCase);
        view.pathBox = "/somewhere/else";
        d.CancelButton_Click();
        EXPECT_EQ(d.getPath(), temp / "Home/Tallyvane");
        EXPECT_EQ(remembered(), "");

        view.pathBox = typed;
        d.OKButton_Click();
        EXPECT_EQ(d.getPath(), archive::pathFromUtf8(expected));
        EXPECT_EQ(remembered(), expected);
        view.pathBox = "/later/cancelled";
        d.CancelButton_Click();
        EXPECT_EQ(d.getPath(), archive::pathFromUtf8(expected));
    }
}

// A new folder that cannot be made, or a folder or drive that cannot be read: the dialog
// stays where it was and says why; nothing is logged.
TEST_F(SaveLocation, NewFolderAndUnreadableFoldersStayInTheDialog) {
    // The default root's parent is missing too: the dialog opens at the nearest directory.
    DlgSaveLocation& d = load();
    ASSERT_EQ(d.currentDirectory(), pathToUtf8(temp.path()));
    d.cmdNewFldr_Click();
    for (const std::string& name : {std::string(".."), std::string("x/y"), std::string(300, 'n')}) {
        view.answer = name;
        d.cmdNewFldr_Click();
        EXPECT_EQ(d.currentDirectory(), pathToUtf8(temp.path()));
        EXPECT_NE(view.problem.find("could not be created"), std::string::npos) << view.problem;
    }
    EXPECT_FALSE(fs::exists(temp / "x"));

    fs::remove_all(temp.path());
    d.Drive1_Change(1);
    EXPECT_EQ(d.currentDirectory(), pathToUtf8(temp.path()));
    EXPECT_NE(view.problem.find("cannot be read"), std::string::npos) << view.problem;
    EXPECT_FALSE(d.Dir1_Change(under("gone")));
    EXPECT_NE(view.problem.find("cannot be opened"), std::string::npos) << view.problem;
    d.Drive1_Change(0);
    EXPECT_EQ(d.currentDirectory() + "|" + view.problem, "/|");
    EXPECT_TRUE(log->empty());
    fs::create_directories(temp.path());
}

TEST(Drives, OnlyTheMountsAUserWouldSaveToAreListed) {
    const std::string mounts =
        "proc /proc proc rw,relatime 0 0\n/dev/sda2 / ext4 rw,relatime 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n/dev/sda3 /home ext4 rw 0 0\n"
        "/dev/loop3 /snap/core/123 squashfs ro 0 0\n/dev/sdb1 /media/ann/MY\\040STICK vfat rw 0 0\n"
        "/dev/sdc1 /run/media/ann/Backup ext4 rw 0 0\n/dev/sr0 /media/ann/CDROM iso9660 ro 0 0\n"
        "server:/x /mnt/nas nfs4 rw 0 0\n/dev/sda1 /boot/efi vfat rw 0 0\ngarbage\n";
    EXPECT_EQ(drivesFromMounts(mounts, "/home/ann/"),
              (std::vector<Drive>{{"/", "/ (ext4)"},
                                  {"/home/ann", "Home (/home/ann)"},
                                  {"/home", "/home (ext4)"},
                                  {"/media/ann/MY STICK", "/media/ann/MY STICK (vfat)"},
                                  {"/run/media/ann/Backup", "/run/media/ann/Backup (ext4)"},
                                  {"/mnt/nas", "/mnt/nas (nfs4)"}}));
    EXPECT_EQ(drivesFromMounts("", ""), (std::vector<Drive>{{"/", "/"}}));
}

} // namespace
} // namespace tvn::app
