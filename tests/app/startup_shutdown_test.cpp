#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "archive/settings_store.h"
#include "tests/app/app_test_support.h"
#include "tests/archive/temp_folder.h"

namespace tvn::app {
namespace {

using archive::testing::readFileText;
using archive::testing::TempFolder;
using archive::testing::writeBytes;
using testing::RecordingBoxes;
using testing::RecordingView;

class StartUp : public ::testing::Test {
protected:
    FrmMain& make(std::filesystem::path root) {
        FrmMainOptions options;
        options.root = std::move(root);
        options.opener = [](const std::filesystem::path&, store::PasswordPrompt*) {
            return std::shared_ptr<store::Folder>();
        };
        model = std::make_unique<FrmMain>(view, boxes, settings, std::move(options));
        view.model = model.get();
        return *model;
    }
    std::filesystem::path logOf(const std::filesystem::path& root) const {
        return root / "TVN Error Log.txt";
    }

    TempFolder temp;
    RecordingView view;
    RecordingBoxes boxes;
    archive::MemorySettingsStore settings;
    std::unique_ptr<FrmMain> model;
};

TEST_F(StartUp, AbsentRootIsCreatedWithAnEmptyLogInIt) {
    const auto root = temp / "Tallyvane";
    FrmMain& m = make(root);
    m.Form_Load();

    EXPECT_TRUE(std::filesystem::is_directory(root));
    ASSERT_TRUE(std::filesystem::is_regular_file(logOf(root)));
    EXPECT_EQ(std::filesystem::file_size(logOf(root)), 0U);
    EXPECT_EQ(m.appPath, root);
    EXPECT_EQ(m.strErrLogPath99, logOf(root));
    EXPECT_NE(m.TextStream99(), nullptr);
    EXPECT_TRUE(m.fso.has_value());
    EXPECT_TRUE(m.fso99.has_value());
    EXPECT_FALSE(m.fso9.has_value());
    EXPECT_FALSE(m.reporter().boolError);
    EXPECT_TRUE(m.boolContact);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(StartUp, ShowsTheWindowThenTheCaptionAndZeroCounts) {
    FrmMain& m = make(temp / "Tallyvane");
    m.Form_Load();
    ASSERT_GE(view.calls.size(), 2U);
    EXPECT_EQ(view.calls[0], "show");
    EXPECT_EQ(view.calls[1], "caption");
    EXPECT_EQ(view.caption, "Tallyvane 2.81");
    EXPECT_EQ(m.caption(), "Tallyvane 2.81");
    EXPECT_EQ(view.listed, "0 Folder(s)");
    EXPECT_EQ(view.selected, "0 Folder(s)");
    EXPECT_EQ(m.txtListed, "0 Folder(s)");
    EXPECT_EQ(m.txtSelected, "0 Folder(s)");
    EXPECT_FALSE(m.lstSource.enabled());
    EXPECT_TRUE(m.lstDestination.enabled());
}

TEST_F(StartUp, PresentRootKeepsItsContentsAndTheOldLogIsReplacedByAnEmptyOne) {
    const auto root = temp / "Tallyvane";
    std::filesystem::create_directory(root);
    std::filesystem::create_directory(root / "Inbox");
    writeBytes(root / "Inbox" / "mail.rtf", "From: a\r\n");
    writeBytes(root / "notes.txt", "keep me");
    writeBytes(logOf(root), "Error Description: old\r\nError Nbr: 5\r\n");

    FrmMain& m = make(root);
    m.Form_Load();

    EXPECT_EQ(readFileText(root / "notes.txt"), "keep me");
    EXPECT_EQ(readFileText(root / "Inbox" / "mail.rtf"), "From: a\r\n");
    EXPECT_EQ(readFileText(logOf(root)), "");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(StartUp, TheLogTakesEachEntryAtOnce) {
    const auto root = temp / "Tallyvane";
    FrmMain& m = make(root);
    m.Form_Load();
    m.reporter().ErrorMessages(76, "Path not found", "info", "N/A.");
    EXPECT_EQ(readFileText(logOf(root)), "Error Description: Path not found\r\nError Nbr: 76\r\n"
                                      "Error Info: info\r\nError Subject: N/A.\r\n");
    EXPECT_TRUE(m.reporter().boolError);
}

// The root's parent is missing: creating the root and the log both fail, and start-up
// still does every other step. Nothing can be logged yet.
TEST_F(StartUp, RootThatCannotBeCreatedDoesNotStopStartUp) {
    const auto root = temp / "missing" / "Tallyvane";
    FrmMain& m = make(root);
    EXPECT_NO_THROW(m.Form_Load());
    EXPECT_FALSE(std::filesystem::exists(root));
    EXPECT_EQ(m.TextStream99(), nullptr);
    EXPECT_EQ(view.caption, "Tallyvane 2.81");
    EXPECT_EQ(m.strErrLogPath99, logOf(root));
    EXPECT_TRUE(m.boolContact);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(StartUp, RootThatIsAFileDoesNotStopStartUp) {
    const auto root = temp / "Tallyvane";
    writeBytes(root, "not a directory");
    FrmMain& m = make(root);
    EXPECT_NO_THROW(m.Form_Load());
    EXPECT_EQ(readFileText(root), "not a directory");
    EXPECT_EQ(m.TextStream99(), nullptr);
    EXPECT_EQ(view.caption, "Tallyvane 2.81");
}

// With a log already open (as after an earlier start-up step), a failing step is logged
// with the Form_Load text and the next steps still run; the open log is kept.
TEST_F(StartUp, FailingStepIsLoggedWithTheFormLoadTextAndStartUpGoesOn) {
    const auto root = temp / "Tallyvane";
    FrmMain& m = make(root);
    auto log = testing::attachMemoryLog(m);
    view.failShow = true;
    m.Form_Load();

    EXPECT_EQ(testing::loggedInfoAndSubject(*log),
              (std::vector<std::pair<std::string, std::string>>{
                  {"Error in Form_Load sub or a sub-function therein.", "N/A."}}));
    EXPECT_EQ(testing::loggedNumbers(*log),
              (std::vector<std::int32_t>{err::kInvalidProcedureCall}));
    EXPECT_EQ(view.caption, "Tallyvane 2.81");
    EXPECT_TRUE(std::filesystem::is_directory(root));
    EXPECT_FALSE(std::filesystem::exists(logOf(root)));
    // Start-up clears boolError after the failure was logged, as its step 6 says.
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

TEST_F(StartUp, ClosingTheWindowUnloadsTheOtherWindowsLastLoadedFirst) {
    FrmMain& m = make(temp / "Tallyvane");
    m.Form_Load();
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
    EXPECT_EQ(order, (std::vector<std::string>{"frmProgressBar", "dlgSaveLocation"}));
    EXPECT_EQ(m.windows().count(), 0);
}

TEST_F(StartUp, ExitAndCloseBoxOnlyCloseTheWindow) {
    FrmMain& m = make(temp / "Tallyvane");
    m.Form_Load();
    m.mnuFileExit_Click();
    EXPECT_EQ(view.calls.back(), "close");
    EXPECT_NE(m.TextStream99(), nullptr);
    EXPECT_TRUE(m.fso.has_value());
    EXPECT_FALSE(m.released());
}

TEST_F(StartUp, CloseProgramReleasesEverythingAndLeavesACompleteReadableLog) {
    const auto root = temp / "Tallyvane";
    FrmMain& m = make(root);
    m.Form_Load();
    m.application();
    m.reporter().ErrorMessages(53, "File not found", "first", "N/A.");
    m.reporter().ErrorMessages(61, "Disk full", "second", "a\r\nb");
    std::vector<std::string> order;
    RecordingWindow progress("frmProgressBar", order);
    m.windows().loaded(progress);

    m.btnExit_Click();

    EXPECT_EQ(view.calls.back(), "close");
    EXPECT_EQ(order, (std::vector<std::string>{"frmProgressBar"}));
    EXPECT_TRUE(m.released());
    EXPECT_EQ(m.golApp, nullptr);
    EXPECT_EQ(m.gnspNameSpace, nullptr);
    EXPECT_EQ(m.fldFolder, nullptr);
    EXPECT_EQ(m.objItem, nullptr);
    EXPECT_FALSE(m.fso99.has_value());
    EXPECT_FALSE(m.fso9.has_value());
    EXPECT_FALSE(m.fso.has_value());
    EXPECT_EQ(m.TextStream99(), nullptr);
    EXPECT_EQ(readFileText(logOf(root)),
              "Error Description: File not found\r\nError Nbr: 53\r\nError Info: first\r\n"
              "Error Subject: N/A.\r\n"
              "Error Description: Disk full\r\nError Nbr: 61\r\nError Info: second\r\n"
              "Error Subject: a\r\nb\r\n");
    // The file is free: it can be replaced at once.
    writeBytes(logOf(root), "x");
    EXPECT_EQ(readFileText(logOf(root)), "x");
}

TEST_F(StartUp, TheModelClosesTheLogWhenTheProgramEnds) {
    const auto root = temp / "Tallyvane";
    {
        FrmMain& m = make(root);
        m.Form_Load();
        auto log = testing::attachMemoryLog(m);
        model.reset();
        EXPECT_TRUE(log->closed);
    }
}

TEST_F(StartUp, MouseOverCloseProgramResetsThePointer) {
    FrmMain& m = make(temp / "Tallyvane");
    m.btnExit_MouseMove();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"arrow"}));
}

TEST(DefaultArchiveRoot, IsTallyvaneInTheHomeFolder) {
#ifndef _WIN32
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        EXPECT_EQ(defaultArchiveRoot(), std::filesystem::path(home) / "Tallyvane");
    }
#else
    EXPECT_EQ(defaultArchiveRoot(), std::filesystem::path("c:\\Tallyvane"));
#endif
}

} // namespace
} // namespace tvn::app
