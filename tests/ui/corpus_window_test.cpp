// The window over real Outlook files from the corpus (TALLYVANE_CORPUS), read by the .pst
// reader. Skips when the corpus or the file is absent.

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "app/frm_main.h"
#include "archive/settings_store.h"
#include "tests/support/corpus.h"
#include "tests/ui/ui_test_support.h"
#include "ui/data_file_picker.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace tvn::ui {
namespace {

class CorpusWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        TALLYVANE_REQUIRE_CORPUS(corpus);
        m_corpus = corpus;
        ASSERT_TRUE(m_root.isValid());
        app::FrmMainOptions options;
        options.root = toPath(m_root.path()) / "Tallyvane";
        m_window = std::make_unique<MainWindow>(m_boxes, m_settings, std::move(options));
        m_window->start();
    }
    void TearDown() override {
        m_window.reset();
        QApplication::processEvents();
    }
    std::vector<std::string> shownTexts(const char* name) const {
        return testing::listTexts(m_window->findChild<QListView*>(QString::fromLatin1(name)));
    }

    std::filesystem::path m_corpus;
    QTemporaryDir m_root;
    testing::RecordingBoxes m_boxes;
    archive::MemorySettingsStore m_settings;
    std::unique_ptr<MainWindow> m_window;
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
    m_window->openDataFile(file);
    testing::answerPicker(m_window->folderPicker(), true);
    m_window->findChild<QPushButton*>(QStringLiteral("btnGetPST"))->click();
    ASSERT_TRUE(m_boxes.shown.empty()) << m_boxes.shown[0].text;
    const std::vector<std::string> listed{"Deleted Items", "lokay-m"};
    EXPECT_EQ(shownTexts("lstSource"), listed);
    m_window->findChild<QPushButton*>(QStringLiteral("btnSelectAll"))->click();
    EXPECT_EQ(shownTexts("lstDestination"), listed);
    EXPECT_TRUE(shownTexts("lstSource").empty());
    QApplication::processEvents();
    EXPECT_TRUE(
        m_window->grab().save(fromPath(testing::screenshotPath("main_window_enron")), "PNG"));
}

// The picker over a real file: the top folder, its first level at once, deeper levels read
// when expanded (enron.pst is three levels deep).
TEST_F(CorpusWindowTest, PickerShowsEnronsTreeLevelByLevel) {
    TALLYVANE_CORPUS_FILE(file, "enron.pst");
    m_window->openDataFile(file);
    app::FrmMain& model = m_window->model();
    DataFilePickerDialog dialog(model.application(), model.dataFiles(), m_boxes, m_window.get());
    auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("tvwFolders"));
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree->topLevelItem(0);
    EXPECT_EQ(testing::childTexts(top), (std::vector<std::string>{"Deleted Items", "lokay-m"}));
    QTreeWidgetItem* lokay = top->child(1);
    lokay->setExpanded(true);
    EXPECT_EQ(testing::childTexts(lokay), std::vector<std::string>{"MLOKAY (Non-Privileged)"});
    QTreeWidgetItem* mlokay = lokay->child(0);
    mlokay->setExpanded(true);
    EXPECT_EQ(
        testing::childTexts(mlokay),
        (std::vector<std::string>{"TW-Commercial Group", "Systems", "Sent Items", "Personal"}));
    tree->setCurrentItem(top);
    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(
        dialog.grab().save(fromPath(testing::screenshotPath("data_file_picker_enron")), "PNG"));
    EXPECT_TRUE(m_boxes.shown.empty());
}

// Create from the window on a real file, into the location chosen in the dialog: the tree
// of the chosen folders, the log's dated line, the progress window full and hidden again,
// and every command back on.
TEST_F(CorpusWindowTest, CreateArchivesEnronIntoTheChosenLocation) {
    TALLYVANE_CORPUS_FILE(file, "enron.pst");
    const std::filesystem::path chosen = toPath(m_root.path()) / "Chosen";
    testing::answerNextModal([&](QWidget* modal) {
        modal->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(fromPath(chosen));
        modal->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    m_window->findChild<QAction*>(QStringLiteral("mnuFileOpen"))->trigger();

    m_window->openDataFile(file);
    testing::answerPicker(m_window->folderPicker(), true);
    m_window->findChild<QPushButton*>(QStringLiteral("btnGetPST"))->click();
    m_window->findChild<QPushButton*>(QStringLiteral("btnSelectAll"))->click();
    m_window->findChild<QPushButton*>(QStringLiteral("btnCreate"))->click();

    for (const char* dir : {"Deleted Items", "lokay-m"}) {
        EXPECT_TRUE(std::filesystem::is_directory(chosen / dir)) << dir;
    }
    ASSERT_EQ(m_boxes.shown.size(), 1U);
    EXPECT_EQ(m_boxes.shown[0].text, "Your files have been created!");
    // The log of this session stays where start-up opened it, under the first root.
    const std::string log = test_support::readFileText(m_window->model().openLogPath());
    static const std::regex dated(
        "Date: \\d{1,2}/\\d{1,2}/\\d{4}( \\d{1,2}:\\d{2}:\\d{2} [AP]M)?   No errors were "
        "reported\\.\\r\\n\\r\\n\\r\\n$");
    EXPECT_TRUE(std::regex_search(log, dated)) << log;

    ProgressBarWindow& progress = m_window->progressWindow();
    EXPECT_TRUE(progress.loaded());
    EXPECT_FALSE(progress.isVisible());
    EXPECT_EQ(progress.bar()->maximum(), 2);
    EXPECT_EQ(progress.bar()->value(), 2);
    for (const auto command : app::FrmMain::runCommands()) {
        const QString name = toQString(command);
        QWidget* widget = m_window->findChild<QWidget*>(name);
        QAction* action = m_window->findChild<QAction*>(name);
        EXPECT_TRUE(widget != nullptr ? widget->isEnabled() : action->isEnabled()) << command;
    }
}

// Another program cuts the open data file short (a sync client, a copy over it): listing
// it again and archiving it end in logged damage and the errors message, never a crash.
TEST_F(CorpusWindowTest, AFileCutShortUnderTheWindowIsReportedNotFatal) {
    TALLYVANE_CORPUS_FILE(file, "enron.pst");
    const std::filesystem::path copy = toPath(m_root.path()) / "enron-copy.pst";
    std::filesystem::copy_file(file, copy);
    m_window->openDataFile(copy);
    testing::answerPicker(m_window->folderPicker(), true);
    m_window->findChild<QPushButton*>(QStringLiteral("btnGetPST"))->click();
    ASSERT_EQ(shownTexts("lstSource").size(), 2U);

    std::filesystem::resize_file(copy, 4096);
    testing::answerPicker(m_window->folderPicker(), true);
    m_window->findChild<QPushButton*>(QStringLiteral("btnGetPST"))->click();
    m_window->findChild<QPushButton*>(QStringLiteral("btnSelectAll"))->click();
    m_window->findChild<QPushButton*>(QStringLiteral("btnCreate"))->click();

    ASSERT_FALSE(m_boxes.shown.empty());
    EXPECT_NE(m_boxes.shown.front().text.find("TVN encountered errors"), std::string::npos)
        << m_boxes.shown.front().text;
    const std::string log = test_support::readFileText(m_window->model().openLogPath());
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
        m_boxes.shown.clear();
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
        m_window->openDataFile(file);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(m_window->model().dataFiles().paths().size(), opens ? 1u : 0u);
        ASSERT_EQ(m_boxes.shown.size(), opens ? 0u : 1u);
        if (!opens) {
            EXPECT_NE(m_boxes.shown[0].text.find("its password was not given or is wrong"),
                      std::string::npos);
        }
    }
}

} // namespace
} // namespace tvn::ui
