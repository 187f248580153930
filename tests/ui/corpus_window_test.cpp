// The window over real Outlook files from the corpus (TALLYVANE_CORPUS), read by the .pst
// reader. Skips when the corpus or the file is absent.

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QInputDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/frm_main.h"
#include "tests/support/corpus.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace tvn::ui {
namespace {

class CorpusWindowTest : public testing::WindowTest {
protected:
    void SetUp() override {
        TALLYVANE_REQUIRE_CORPUS(corpus);
        m_corpus = corpus;
        WindowTest::SetUp();
    }
    // Opens the file and lists it with Get Folder List.
    void openAndList(const std::filesystem::path& file) {
        window->openDataFile(file);
        getFolderList();
    }

    std::filesystem::path m_corpus;
};

#define TALLYVANE_CORPUS_FILE(file, name)                                                          \
    const std::filesystem::path file = m_corpus / name;                                            \
    if (!std::filesystem::exists(file)) {                                                          \
        GTEST_SKIP() << name << " is not in the corpus";                                           \
    }

// Select All fills the archive list from the data file and empties the source list,
// although nothing was clicked in it.
TEST_F(CorpusWindowTest, EnronIsListedAndAllOfItMovedToTheArchiveList) {
    TALLYVANE_CORPUS_FILE(file, "enron.pst");
    openAndList(file);
    ASSERT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
    const std::vector<std::string> folders{"Deleted Items", "lokay-m"};
    EXPECT_EQ(listed("lstSource"), folders);
    click("btnSelectAll");
    EXPECT_EQ(listed("lstDestination"), folders);
    EXPECT_TRUE(listed("lstSource").empty());
    testing::saveScreenshot(*window, "main_window_enron");
}

// Create from the window on a real file, into the location chosen in the dialog: the tree
// of the chosen folders, the log's dated line, the progress window full and hidden again,
// and every command back on.
TEST_F(CorpusWindowTest, CreateArchivesEnronIntoTheChosenLocation) {
    TALLYVANE_CORPUS_FILE(file, "enron.pst");
    const std::filesystem::path chosen = toPath(root.path()) / "Chosen";
    testing::answerNextModal([&](QWidget* modal) {
        modal->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(fromPath(chosen));
        modal->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    choose("mnuFileOpen");

    openAndList(file);
    click("btnSelectAll");
    click("btnCreate");

    for (const char* dir : {"Deleted Items", "lokay-m"}) {
        EXPECT_TRUE(std::filesystem::is_directory(chosen / dir)) << dir;
    }
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].text, "Your files have been created!");
    // The log of this session stays where start-up opened it, under the first root.
    const std::string log = test_support::readFileText(window->model().openLogPath());
    static const std::regex dated(
        "Date: \\d{1,2}/\\d{1,2}/\\d{4}( \\d{1,2}:\\d{2}:\\d{2} [AP]M)?   No errors were "
        "reported\\.\\r\\n\\r\\n\\r\\n$");
    EXPECT_TRUE(std::regex_search(log, dated)) << log;

    ProgressBarWindow& progress = window->progressWindow();
    EXPECT_TRUE(progress.loaded());
    EXPECT_FALSE(progress.isVisible());
    EXPECT_EQ(progress.bar()->maximum(), 2);
    EXPECT_EQ(progress.bar()->value(), 2);
    for (const auto command : app::FrmMain::runCommands()) {
        const QString name = toQString(command);
        QWidget* widget = window->findChild<QWidget*>(name);
        QAction* action = window->findChild<QAction*>(name);
        EXPECT_TRUE(widget != nullptr ? widget->isEnabled() : action->isEnabled()) << command;
    }
}

// Another program cuts the open data file short (a sync client, a copy over it): listing
// it again and archiving it end in logged damage and the errors message, never a crash.
TEST_F(CorpusWindowTest, AFileCutShortUnderTheWindowIsReportedNotFatal) {
    TALLYVANE_CORPUS_FILE(file, "enron.pst");
    const std::filesystem::path copy = toPath(root.path()) / "enron-copy.pst";
    std::filesystem::copy_file(file, copy);
    openAndList(copy);
    ASSERT_EQ(listed("lstSource").size(), 2U);

    std::filesystem::resize_file(copy, 4096);
    getFolderList();
    click("btnSelectAll");
    click("btnCreate");

    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_NE(boxes.shown.front().text.find("TVN encountered errors"), std::string::npos)
        << boxes.shown.front().text;
    const std::string log = test_support::readFileText(window->model().openLogPath());
    EXPECT_NE(log.find("Error Nbr: -2147221221"), std::string::npos) << log;
}

// The reader asks the window's password dialog, which names the file; a right password
// opens the file, a wrong or refused one is named in a message and opens nothing.
TEST_F(CorpusWindowTest, AProtectedFileAsksForItsPasswordThroughTheDialog) {
    TALLYVANE_CORPUS_FILE(file, "aspose-password.pst");
    const std::pair<const char*, bool> cases[] = {
        {"password1", false}, {nullptr, false}, {"Password1", true}}; // nullptr: cancelled
    for (const auto& [typed, opens] : cases) {
        SCOPED_TRACE(typed ? typed : "cancelled");
        boxes.shown.clear();
        int asked = 0;
        testing::answerNextModal([&, typed = typed](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            ++asked;
            EXPECT_NE(toUtf8(dialog->labelText()).find("aspose-password.pst"), std::string::npos);
            if (typed == nullptr) {
                dialog->reject();
            } else {
                dialog->setTextValue(QString::fromLatin1(typed));
                dialog->accept();
            }
        });
        window->openDataFile(file);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(window->model().dataFiles().paths().size(), opens ? 1u : 0u);
        ASSERT_EQ(boxes.shown.size(), opens ? 0u : 1u);
        if (!opens) {
            EXPECT_NE(boxes.shown[0].text.find("its password was not given or is wrong"),
                      std::string::npos);
        }
    }
}

} // namespace
} // namespace tvn::ui
