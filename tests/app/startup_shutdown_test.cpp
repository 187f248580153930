#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;
using archive::testing::readFileText;
using archive::testing::writeBytes;
using testing::Logged;

class StartUp : public testing::ModelTest {
protected:
    // Starts a model over temp/dir with no log open yet, as the program starts.
    FrmMain& load(const fs::path& dir = "Tallyvane") {
        makeModel(root = temp / dir);
        model->reporter().log().reset();
        model->Form_Load();
        return *model;
    }
    std::string logText() const { return readFileText(root / "TVN Error Log.txt"); }

    archive::testing::TempFolder temp;
    fs::path root;
};

// The root is made or kept with its contents; its log starts empty and takes each entry
// at once.
TEST_F(StartUp, RootIsMadeOrKeptAndTheLogStartsEmpty) {
    fs::create_directories(temp / "Old" / "Inbox");
    writeBytes(temp / "Old" / "Inbox" / "mail.rtf", "From: a\r\n");
    writeBytes(temp / "Old" / "TVN Error Log.txt", "Error Description: old\r\n");
    for (const char* dir : {"Tallyvane", "Old"}) {
        SCOPED_TRACE(dir);
        FrmMain& m = load(dir);
        EXPECT_EQ(view.calls.at(0) + "|" + view.caption + "|" + view.listed + "|" + view.location,
                  "show|Tallyvane 2.81|0 Folder(s)|" + root.string());
        EXPECT_EQ(m.openLogPath(), root / "TVN Error Log.txt");
        m.reporter().ErrorMessages(76, "Path not found", "info", "N/A.");
        EXPECT_EQ(logText(), "Error Description: Path not found\r\nError Nbr: 76\r\n"
                             "Error Info: info\r\nError Subject: N/A.\r\n");
    }
    EXPECT_EQ(readFileText(temp / "Old" / "Inbox" / "mail.rtf"), "From: a\r\n");
}

// A root that cannot be made (nothing can be logged yet), or a failing step, which is
// logged when a log is open: start-up still does every other step.
TEST_F(StartUp, AFailingStepDoesNotStopStartUp) {
    writeBytes(temp / "file", "not a directory");
    for (const char* dir : {"missing/Tallyvane", "file"}) {
        SCOPED_TRACE(dir);
        view.caption.clear();
        EXPECT_EQ(load(dir).reporter().log(), nullptr);
        EXPECT_EQ(view.caption, "Tallyvane 2.81");
    }
    EXPECT_EQ(readFileText(temp / "file"), "not a directory");
    EXPECT_TRUE(boxes.shown.empty());

    makeModel(temp / "Tallyvane");
    view.caption.clear();
    view.failShow = true;
    model->Form_Load();
    EXPECT_EQ(*log,
              (std::vector<Logged>{{err::kInvalidProcedureCall, std::string(info::kFormLoad)}}));
    EXPECT_EQ(view.caption, "Tallyvane 2.81");
    EXPECT_TRUE(fs::is_directory(temp / "Tallyvane"));
    EXPECT_FALSE(model->reporter().boolError);
}

struct RecordingWindow final : LoadedWindow {
    RecordingWindow(std::string n, std::vector<std::string>& o) : name(std::move(n)), order(o) {}
    void unloadWindow() override { order.push_back(name); }
    std::string name;
    std::vector<std::string>& order;
};

// Exit only closes the window, unloading the other windows last loaded first; Close
// Program also releases everything and closes the log, as the end of the program does.
TEST_F(StartUp, ExitUnloadsTheOtherWindowsAndCloseProgramAlsoReleases) {
    FrmMain& m = load();
    std::vector<std::string> order;
    RecordingWindow location{"dlgSaveLocation", order}, progress{"frmProgressBar", order},
        about{"frmAbout", order};
    for (RecordingWindow* window : {&location, &progress, &about, &location}) {
        m.windows().loaded(*window);
    }
    m.windows().unloaded(about);
    m.mnuFileExit_Click();
    EXPECT_EQ(view.calls.back(), "close");
    EXPECT_EQ(order, (std::vector<std::string>{"frmProgressBar", "dlgSaveLocation"}));
    EXPECT_EQ(m.windows().count(), 0);
    EXPECT_NE(m.reporter().log(), nullptr);
    EXPECT_FALSE(m.released());

    m.application();
    m.reporter().ErrorMessages(61, "Disk full", "second", "a\r\nb");
    m.btnExit_Click();
    EXPECT_TRUE(m.released());
    EXPECT_EQ(m.reporter().log(), nullptr);
    EXPECT_EQ(logText(), "Error Description: Disk full\r\nError Nbr: 61\r\nError Info: second\r\n"
                         "Error Subject: a\r\nb\r\n");

    const auto memoryLog = testing::attachMemoryLogTo(load().reporter());
    model.reset();
    EXPECT_EQ(memoryLog->back(), testing::MemoryLog::kClosed);
}

} // namespace
} // namespace tvn::app
