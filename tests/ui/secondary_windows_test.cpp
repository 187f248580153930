// The archive-location dialog and the progress window on screen, offscreen.

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "app/frm_main.h"
#include "archive/settings_store.h"
#include "store/failure.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/qt_text.h"
#include "ui/save_location_dialog.h"

namespace tvn::ui {
namespace {

namespace fs = std::filesystem;

class SecondaryWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_dir = toPath(m_root.path());
    }
    void makeWindow() {
        app::FrmMainOptions options;
        options.root = m_dir / "Tallyvane";
        m_window = std::make_unique<MainWindow>(m_boxes, m_settings, std::move(options));
        m_window->start();
    }
    void TearDown() override {
        m_window.reset();
        QApplication::processEvents();
    }
    QString location() const {
        return m_window->findChild<QLabel*>(QStringLiteral("lblArchiveLocation"))->text();
    }

    QTemporaryDir m_root;
    fs::path m_dir;
    testing::RecordingBoxes m_boxes;
    archive::MemorySettingsStore m_settings;
    std::unique_ptr<MainWindow> m_window;
};

// File > Select Archive Location: the dialog is modal over the window, opens at the
// remembered place, and OK moves the archive location shown in the status bar; Escape is
// Cancel and leaves it.
TEST_F(SecondaryWindows, LocationDialogIsModalAndTheStatusBarFollowsOk) {
    fs::create_directories(m_dir / "Archives/2024");
    m_settings.set("FilePathSettings", "Save File Path",
                   archive::pathToUtf8(m_dir / "Archives/2024/Mail"));
    makeWindow();
    EXPECT_EQ(location(), QStringLiteral("Archive location: ") + fromPath(m_dir / "Tallyvane"));

    bool answered = false;
    testing::answerNextModal([&](QWidget* modal) {
        answered = true;
        EXPECT_EQ(modal->objectName(), QStringLiteral("dlgSaveLocation"));
        EXPECT_TRUE(modal->isModal());
        // Opening re-created the remembered path's missing last directory.
        EXPECT_TRUE(fs::is_directory(m_dir / "Archives/2024/Mail"));
        auto* path = modal->findChild<QLineEdit*>(QStringLiteral("Text4"));
        EXPECT_EQ(path->text(), fromPath(m_dir / "Archives/2024/Mail"));
        auto* dirs = modal->findChild<QListWidget*>(QStringLiteral("Dir1"));
        EXPECT_EQ(dirs->currentItem()->text().trimmed(), QStringLiteral("Mail"));
        QApplication::processEvents();
        EXPECT_TRUE(
            modal->grab().save(fromPath(testing::screenshotPath("save_location_dialog")), "PNG"));
        // Up to the parent and into the sibling, by double-click as a user would.
        QListWidgetItem* parent = dirs->item(dirs->currentRow() - 1);
        dirs->itemActivated(parent);
        EXPECT_EQ(path->text(), fromPath(m_dir / "Archives/2024"));
        path->setText(fromPath(m_dir / "Typed Place"));
        modal->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    m_window->findChild<QAction*>(QStringLiteral("mnuFileOpen"))->trigger();
    ASSERT_TRUE(answered);
    EXPECT_EQ(location(), QStringLiteral("Archive location: ") + fromPath(m_dir / "Typed Place"));
    EXPECT_EQ(m_window->model().saveLocation().getPath(), m_dir / "Typed Place");

    testing::answerNextModal([](QWidget* modal) {
        modal->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("/x"));
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    m_window->findChild<QAction*>(QStringLiteral("mnuFileOpen"))->trigger();
    EXPECT_EQ(m_window->model().saveLocation().getPath(), m_dir / "Typed Place");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(m_boxes.shown.empty());
}

// A folder that cannot be made: the dialog stays open and usable and says why.
TEST_F(SecondaryWindows, NewFolderThatCannotBeMadeIsExplainedInTheDialog) {
    makeWindow();
    app::DlgSaveLocation& model = m_window->model().saveLocation();
    SaveLocationDialog dialog(model, m_window.get());
    dialog.show();
    ASSERT_TRUE(model.Dir1_Change(archive::pathToUtf8(m_dir)));
    auto* problem = dialog.findChild<QLabel*>(QStringLiteral("lblProblem"));
    EXPECT_TRUE(problem->isHidden());

    for (const QString& name : {QStringLiteral("Tallyvane"), QStringLiteral("New One")}) {
        testing::answerNextModal([&](QWidget* modal) {
            auto* input = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(input, nullptr);
            input->setTextValue(name);
            input->accept();
        });
        dialog.findChild<QPushButton*>(QStringLiteral("cmdNewFldr"))->click();
        QApplication::processEvents();
        if (name == QStringLiteral("Tallyvane")) {
            EXPECT_FALSE(problem->isHidden());
            EXPECT_TRUE(problem->text().contains(QStringLiteral("could not be created")))
                << toUtf8(problem->text());
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_TRUE(dialog.grab().save(
                fromPath(testing::screenshotPath("save_location_problem")), "PNG"));
        } else {
            EXPECT_TRUE(problem->isHidden());
            EXPECT_TRUE(fs::is_directory(m_dir / "New One"));
            EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("Text4"))->text(),
                      fromPath(m_dir / "New One"));
        }
    }
}

// The window's outer rectangle in twips, as the settings keep it.
app::TwipsRect twipsOf(const ProgressBarWindow& window) {
    const QRect outer = window.frameGeometry();
    const double perTwip = window.pixelsPerTwip();
    return {std::round(outer.x() / perTwip), std::round(outer.y() / perTwip),
            std::round(outer.width() / perTwip), std::round(outer.height() / perTwip)};
}

// Loaded by the first use at the default place; its place is stored when it is unloaded
// and restored by the next window; a minimised window stores nothing; an unused one
// neither.
TEST_F(SecondaryWindows, ProgressWindowKeepsItsPlaceInTwipsBetweenRuns) {
    app::LoadedWindows windows;
    {
        ProgressBarWindow unused(m_settings, windows);
        windows.unloadAllInReverse();
    }
    EXPECT_EQ(m_settings.get("ProgBarSettings", "MainLeft", "absent"), "absent");

    {
        ProgressBarWindow window(m_settings, windows);
        window.setMinimum(0);
        ASSERT_TRUE(window.loaded());
        EXPECT_TRUE(windows.isLoaded(window));
        EXPECT_EQ(twipsOf(window), (app::TwipsRect{3285, 4275, 3450, 1455}));
        window.setMaximum(3);
        window.setValue(2);
        QApplication::processEvents();
        EXPECT_TRUE(
            window.grab().save(fromPath(testing::screenshotPath("progress_window")), "PNG"));
        // An outer rectangle of 150, 300, 300 by 80 pixels.
        const QMargins frame = window.windowHandle()->frameMargins();
        window.move(150, 300);
        window.resize(300 - frame.left() - frame.right(), 80 - frame.top() - frame.bottom());
        QApplication::processEvents();
        windows.unloadAllInReverse();
        EXPECT_FALSE(window.loaded());
        EXPECT_FALSE(window.isVisible());
    }
    const app::TwipsRect stored{2250, 4500, 4500, 1200};
    EXPECT_EQ(app::loadProgressPlace(m_settings), stored);
    EXPECT_EQ(m_settings.get("ProgBarSettings", "MainLeft"), "2250");

    {
        ProgressBarWindow window(m_settings, windows);
        window.showModeless();
        EXPECT_EQ(twipsOf(window), stored);
        window.move(0, 0);
        window.showMinimized();
        QApplication::processEvents();
        windows.unloadAllInReverse();
    }
    EXPECT_EQ(app::loadProgressPlace(m_settings), stored);

    m_settings.set("ProgBarSettings", "MainTop", "top");
    ProgressBarWindow damaged(m_settings, windows);
    app::testing::expectFailure(13, [&] { damaged.setMinimum(0); });
}

// The main window unloads the progress window when it closes, which stores its place.
TEST_F(SecondaryWindows, ClosingTheMainWindowStoresTheProgressWindowsPlace) {
    makeWindow();
    ProgressBarWindow& progress = m_window->progressWindow();
    progress.setMinimum(0);
    progress.move(30, 45);
    QApplication::processEvents();
    m_window->close();
    EXPECT_EQ(m_settings.get("ProgBarSettings", "MainLeft"), "450");
    EXPECT_EQ(m_settings.get("ProgBarSettings", "MainTop"), "675");
}

} // namespace
} // namespace tvn::ui
