#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "archive/settings_store.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

namespace fs = std::filesystem;
using archive::testing::readFileText;
using archive::testing::writeBytes;
using testing::Logged;

class StartUp : public ::testing::Test {
protected:
    FrmMain& load(const fs::path& dir = "Tallyvane") {
        root = temp / dir;
        FrmMainOptions options;
        options.root = root;
        options.opener = [](const fs::path&, store::PasswordPrompt*) {
            return std::shared_ptr<store::Folder>();
        };
        model = std::make_unique<FrmMain>(view, boxes, settings, std::move(options));
        view.model = model.get();
        model->Form_Load();
        return *model;
    }
    std::string logText() const { return readFileText(root / "TVN Error Log.txt"); }

    archive::testing::TempFolder temp;
    fs::path root;
    testing::RecordingView view;
    testing::RecordingBoxes boxes;
    archive::MemorySettingsStore settings;
    std::unique_ptr<FrmMain> model;
};

TEST_F(StartUp, AbsentRootIsCreatedWithAnEmptyLogThatTakesEachEntryAtOnce) {
    FrmMain& m = load();
    EXPECT_TRUE(fs::is_directory(root));
    ASSERT_TRUE(fs::is_regular_file(root / "TVN Error Log.txt"));
    EXPECT_EQ(logText(), "");
    EXPECT_EQ(m.appPath, root);
    EXPECT_NE(m.TextStream99(), nullptr);
    EXPECT_FALSE(m.reporter().boolError);
    EXPECT_TRUE(m.boolContact);
    EXPECT_TRUE(boxes.shown.empty());
    // The window is shown, then given its caption and zero counts.
    ASSERT_GE(view.calls.size(), 2U);
    EXPECT_EQ(view.calls[0], "show");
    EXPECT_EQ(view.calls[1], "caption");
    EXPECT_EQ(view.caption, "Tallyvane 2.81");
    EXPECT_EQ(view.listed, "0 Folder(s)");
    EXPECT_EQ(view.selected, "0 Folder(s)");
    EXPECT_FALSE(m.lstSource.enabled());
    EXPECT_TRUE(m.lstDestination.enabled());

    m.reporter().ErrorMessages(76, "Path not found", "info", "N/A.");
    EXPECT_EQ(logText(), "Error Description: Path not found\r\nError Nbr: 76\r\n"
                         "Error Info: info\r\nError Subject: N/A.\r\n");
}

TEST_F(StartUp, PresentRootKeepsItsContentsAndTheOldLogIsReplacedByAnEmptyOne) {
    fs::create_directories(temp / "Tallyvane" / "Inbox");
    writeBytes(temp / "Tallyvane" / "Inbox" / "mail.rtf", "From: a\r\n");
    writeBytes(temp / "Tallyvane" / "notes.txt", "keep me");
    writeBytes(temp / "Tallyvane" / "TVN Error Log.txt", "Error Description: old\r\n");
    load();
    EXPECT_EQ(readFileText(root / "notes.txt"), "keep me");
    EXPECT_EQ(readFileText(root / "Inbox" / "mail.rtf"), "From: a\r\n");
    EXPECT_EQ(logText(), "");
    EXPECT_TRUE(boxes.shown.empty());
}

// A root whose parent is missing, or a file in the root's place: creating the root and the
// log fail, and start-up still does every other step. Nothing can be logged yet.
TEST_F(StartUp, RootThatCannotBeMadeDoesNotStopStartUp) {
    writeBytes(temp / "file", "not a directory");
    for (const char* dir : {"missing/Tallyvane", "file"}) {
        SCOPED_TRACE(dir);
        view.caption.clear();
        FrmMain& m = load(dir);
        EXPECT_EQ(fs::exists(root), std::string(dir) == "file");
        EXPECT_EQ(m.TextStream99(), nullptr);
        EXPECT_TRUE(m.boolContact);
        EXPECT_EQ(view.caption, "Tallyvane 2.81");
        EXPECT_EQ(m.strErrLogPath99, root / "TVN Error Log.txt");
        EXPECT_TRUE(boxes.shown.empty());
    }
    EXPECT_EQ(readFileText(temp / "file"), "not a directory");
}

// With a log already open (as after an earlier start-up step), a failing step is logged
// with the Form_Load text and the next steps still run.
TEST_F(StartUp, FailingStepIsLoggedWithTheFormLoadTextAndStartUpGoesOn) {
    root = temp / "Tallyvane";
    FrmMainOptions options;
    options.root = root;
    FrmMain m(view, boxes, settings, std::move(options));
    auto log = testing::attachMemoryLog(m);
    view.failShow = true;
    m.Form_Load();
    EXPECT_EQ(log->entries, (std::vector<Logged>{{err::kInvalidProcedureCall,
                                                  "Error in Form_Load sub or a sub-function "
                                                  "therein.",
                                                  "N/A."}}));
    EXPECT_EQ(view.caption, "Tallyvane 2.81");
    EXPECT_TRUE(fs::is_directory(root));
    EXPECT_FALSE(fs::exists(root / "TVN Error Log.txt"));
    // Start-up clears boolError after the failure was logged.
    EXPECT_FALSE(m.reporter().boolError);
}

class RecordingWindow final : public LoadedWindow {
public:
    RecordingWindow(std::string name, std::vector<std::string>& order)
        : m_name(std::move(name)), m_order(order) {}
    void unloadWindow() override { m_order.push_back(m_name); }

private:
    std::string m_name;
    std::vector<std::string>& m_order;
};

// Exit and the close box only close the window, unloading the other windows last loaded
// first; the log and the objects stay until the program ends.
TEST_F(StartUp, ExitClosesTheWindowAndUnloadsTheOthersLastLoadedFirst) {
    FrmMain& m = load();
    std::vector<std::string> order;
    RecordingWindow location("dlgSaveLocation", order);
    RecordingWindow progress("frmProgressBar", order);
    RecordingWindow about("frmAbout", order);
    m.windows().loaded(location);
    m.windows().loaded(progress);
    m.windows().loaded(about);
    m.windows().loaded(location);
    m.windows().unloaded(about);
    m.mnuFileExit_Click();
    EXPECT_EQ(view.calls.back(), "close");
    EXPECT_EQ(order, (std::vector<std::string>{"frmProgressBar", "dlgSaveLocation"}));
    EXPECT_EQ(m.windows().count(), 0);
    EXPECT_NE(m.TextStream99(), nullptr);
    EXPECT_TRUE(m.fso.has_value());
    EXPECT_FALSE(m.released());
    // The model closes the log when the program ends.
    auto log = testing::attachMemoryLog(m);
    model.reset();
    EXPECT_TRUE(log->closed);
}

TEST_F(StartUp, CloseProgramReleasesEverythingAndLeavesACompleteClosedLog) {
    FrmMain& m = load();
    m.application();
    m.reporter().ErrorMessages(53, "File not found", "first", "N/A.");
    m.reporter().ErrorMessages(61, "Disk full", "second", "a\r\nb");
    m.btnExit_Click();
    EXPECT_EQ(view.calls.back(), "close");
    EXPECT_TRUE(m.released());
    EXPECT_EQ(m.golApp, nullptr);
    EXPECT_EQ(m.gnspNameSpace, nullptr);
    EXPECT_EQ(m.fldFolder, nullptr);
    EXPECT_EQ(m.objItem, nullptr);
    EXPECT_FALSE(m.fso99.has_value());
    EXPECT_FALSE(m.fso9.has_value());
    EXPECT_FALSE(m.fso.has_value());
    EXPECT_EQ(m.TextStream99(), nullptr);
    EXPECT_EQ(logText(),
              "Error Description: File not found\r\nError Nbr: 53\r\nError Info: first\r\n"
              "Error Subject: N/A.\r\n"
              "Error Description: Disk full\r\nError Nbr: 61\r\nError Info: second\r\n"
              "Error Subject: a\r\nb\r\n");
}

} // namespace
} // namespace tvn::app
