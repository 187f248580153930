// The window over real Outlook files from the corpus (TALLYVANE_CORPUS), read by the .pst
// backend. Skips when the corpus or the backend is absent.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include "app/data_files.h"
#include "app/frm_main.h"
#include "archive/settings_store.h"
#include "store/failure.h"
#include "tests/support/corpus.h"
#include "tests/ui/ui_test_support.h"
#include "ui/data_file_picker.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace tvn::ui {
namespace {

using testing::RecordingBoxes;

class CorpusWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto corpus = test_support::corpusDir();
        if (!corpus) {
            GTEST_SKIP() << "no corpus folder (TALLYVANE_CORPUS)";
        }
        m_corpus = *corpus;
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

    // The corpus file, or a skip when it or the backend is missing.
    std::filesystem::path corpusFile(const char* name) {
        const std::filesystem::path file = m_corpus / name;
        if (!std::filesystem::exists(file)) {
            return {};
        }
        try {
            app::pstDataFileOpener()(file, nullptr);
        } catch (const Failure& failure) {
            if (failure.description().find("no .pst reader") != std::string::npos) {
                return {};
            }
        }
        return file;
    }

    std::vector<std::string> shownTexts(const char* name) const {
        auto* list = m_window->findChild<QListWidget*>(QString::fromLatin1(name));
        std::vector<std::string> texts;
        for (int i = 0; i < list->count(); ++i) {
            texts.push_back(toUtf8(list->item(i)->text()));
        }
        return texts;
    }

    void getFolderListPickingTheFirstTop() {
        m_window->folderPicker().setDialogHook([](DataFilePickerDialog& dialog) {
            auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("tvwFolders"));
            tree->setCurrentItem(tree->topLevelItem(0));
            QTimer::singleShot(0, &dialog, [&dialog] { dialog.accept(); });
        });
        m_window->findChild<QPushButton*>(QStringLiteral("btnGetPST"))->click();
        m_window->folderPicker().setDialogHook({});
    }

    std::filesystem::path m_corpus;
    QTemporaryDir m_root;
    RecordingBoxes m_boxes;
    archive::MemorySettingsStore m_settings;
    std::unique_ptr<MainWindow> m_window;
};

TEST_F(CorpusWindowTest, EnronIsListedAndAllOfItMovedToTheArchiveList) {
    const auto file = corpusFile("enron.pst");
    if (file.empty()) {
        GTEST_SKIP() << "enron.pst or the .pst backend is absent";
    }
    m_window->openDataFile(file);
    ASSERT_TRUE(m_boxes.shown.empty()) << m_boxes.shown[0].text;
    getFolderListPickingTheFirstTop();
    ASSERT_TRUE(m_boxes.shown.empty()) << m_boxes.shown[0].text;
    const std::vector<std::string> listed{"Deleted Items", "lokay-m"};
    EXPECT_EQ(shownTexts("lstSource"), listed);

    // Select All fills the archive list from the data file and empties the source list,
    // although nothing was clicked in it.
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
    const auto file = corpusFile("enron.pst");
    if (file.empty()) {
        GTEST_SKIP() << "enron.pst or the .pst backend is absent";
    }
    m_window->openDataFile(file);
    app::FrmMain& model = m_window->model();
    DataFilePickerDialog dialog(model.application(), model.dataFiles(), m_boxes, m_window.get());
    auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("tvwFolders"));
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree->topLevelItem(0);
    ASSERT_EQ(top->childCount(), 2);
    EXPECT_EQ(toUtf8(top->child(0)->text(0)), "Deleted Items");
    QTreeWidgetItem* lokay = top->child(1);
    EXPECT_EQ(toUtf8(lokay->text(0)), "lokay-m");
    lokay->setExpanded(true);
    ASSERT_EQ(lokay->childCount(), 1);
    QTreeWidgetItem* mlokay = lokay->child(0);
    EXPECT_EQ(toUtf8(mlokay->text(0)), "MLOKAY (Non-Privileged)");
    mlokay->setExpanded(true);
    std::vector<std::string> deepest;
    for (int i = 0; i < mlokay->childCount(); ++i) {
        deepest.push_back(toUtf8(mlokay->child(i)->text(0)));
    }
    EXPECT_EQ(deepest, (std::vector<std::string>{"TW-Commercial Group", "Systems", "Sent Items",
                                                 "Personal"}));
    tree->setCurrentItem(top);
    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(
        dialog.grab().save(fromPath(testing::screenshotPath("data_file_picker_enron")), "PNG"));
    EXPECT_TRUE(m_boxes.shown.empty());
}

struct PasswordCase {
    const char* name;
    const char* typed; // nullptr: the user cancels
    bool opens;
};

// The backend asks the window's password dialog, which names the file; a right password
// opens the file, a wrong or refused one is named in a message and opens nothing.
TEST_F(CorpusWindowTest, AProtectedFileAsksForItsPasswordThroughTheDialog) {
    const auto file = corpusFile("aspose-password.pst");
    if (file.empty()) {
        GTEST_SKIP() << "aspose-password.pst or the .pst backend is absent";
    }
    const PasswordCase cases[] = {
        {"wrong password", "password1", false},
        {"cancelled", nullptr, false},
        {"right password", "Password1", true},
    };
    for (const PasswordCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxes.shown.clear();
        int asked = 0;
        testing::answerNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            ++asked;
            EXPECT_NE(toUtf8(dialog->labelText()).find("aspose-password.pst"), std::string::npos);
            if (c.typed == nullptr) {
                dialog->reject();
            } else {
                dialog->setTextValue(QString::fromLatin1(c.typed));
                dialog->accept();
            }
        });
        m_window->openDataFile(file);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(m_window->model().dataFiles().paths().size(), c.opens ? 1u : 0u);
        if (c.opens) {
            EXPECT_TRUE(m_boxes.shown.empty());
        } else {
            ASSERT_EQ(m_boxes.shown.size(), 1u);
            EXPECT_NE(m_boxes.shown[0].text.find("its password was not given or is wrong"),
                      std::string::npos);
        }
    }
}

} // namespace
} // namespace tvn::ui
