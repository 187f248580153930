// The archive-location dialog and the progress window on screen, offscreen.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QWindow>

#include "tests/ui/ui_test_support.h"
#include "ui/progress_window.h"

namespace tvn::ui {
namespace {

namespace fs = std::filesystem;

using SecondaryWindows = testing::WindowTest;

// File > Select Archive Location: the dialog is modal over the window, opens at the
// remembered place, and OK moves the archive location shown in the status bar.
TEST_F(SecondaryWindows, LocationDialogIsModalAndTheStatusBarFollowsOk) {
    const fs::path dir = toPath(root.path());
    fs::create_directories(dir / "Archives/2024");
    settings.set("FilePathSettings", "Save File Path",
                 archive::pathToUtf8(dir / "Archives/2024/Mail"));
    makeWindow();
    bool answered = false;
    testing::answerNextModal([&](QWidget* modal) {
        answered = true;
        EXPECT_EQ(modal->objectName(), QStringLiteral("dlgSaveLocation"));
        EXPECT_TRUE(modal->isModal());
        auto* path = modal->findChild<QLineEdit*>(QStringLiteral("Text4"));
        EXPECT_EQ(path->text(), fromPath(dir / "Archives/2024/Mail"));
        auto* dirs = modal->findChild<QListWidget*>(QStringLiteral("Dir1"));
        EXPECT_EQ(dirs->currentItem()->text().trimmed(), QStringLiteral("Mail"));
        testing::saveScreenshot(*modal, "save_location_dialog");
        // Up to the parent, by double-click as a user would.
        dirs->itemActivated(dirs->item(dirs->currentRow() - 1));
        EXPECT_EQ(path->text(), fromPath(dir / "Archives/2024"));
        path->setText(fromPath(dir / "Typed Place"));
        modal->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    choose("mnuFileOpen");
    ASSERT_TRUE(answered);
    EXPECT_EQ(child<QLabel>("lblArchiveLocation")->text(),
              QStringLiteral("Archive location: ") + fromPath(dir / "Typed Place"));
    EXPECT_EQ(window->model().saveLocation().getPath(), dir / "Typed Place");
    EXPECT_TRUE(boxes.shown.empty());
}

// The window's outer rectangle in twips, as the settings keep it.
app::TwipsRect twipsOf(const ProgressBarWindow& bar) {
    const QRect outer = bar.frameGeometry();
    const double perTwip = bar.pixelsPerTwip();
    return {std::round(outer.x() / perTwip), std::round(outer.y() / perTwip),
            std::round(outer.width() / perTwip), std::round(outer.height() / perTwip)};
}

// Loaded by the first use at the default place; its place is stored when it is unloaded
// (also by the main window closing) and restored by the next window; an unused one stores
// nothing.
TEST_F(SecondaryWindows, ProgressWindowKeepsItsPlaceInTwipsBetweenRuns) {
    app::LoadedWindows windows;
    {
        ProgressBarWindow unused(settings, windows);
        windows.unloadAllInReverse();
    }
    EXPECT_EQ(settings.get("ProgBarSettings", "MainLeft", "absent"), "absent");
    {
        ProgressBarWindow bar(settings, windows);
        bar.setMinimum(0);
        ASSERT_TRUE(bar.loaded());
        EXPECT_EQ(twipsOf(bar), (app::TwipsRect{3285, 4275, 3450, 1455}));
        bar.setMaximum(3);
        bar.setValue(2);
        testing::saveScreenshot(bar, "progress_window");
        // An outer rectangle of 150, 300, 300 by 80 pixels.
        const QMargins frame = bar.windowHandle()->frameMargins();
        bar.move(150, 300);
        bar.resize(300 - frame.left() - frame.right(), 80 - frame.top() - frame.bottom());
        QApplication::processEvents();
        windows.unloadAllInReverse();
        EXPECT_FALSE(bar.loaded());
        EXPECT_FALSE(bar.isVisible());
    }
    const app::TwipsRect stored{2250, 4500, 4500, 1200};
    EXPECT_EQ(app::loadProgressPlace(settings), stored);
    // The main window's own progress window opens there, and closing the main window
    // unloads it, which stores its place.
    ProgressBarWindow& mainBar = window->progressWindow();
    mainBar.showModeless();
    EXPECT_EQ(twipsOf(mainBar), stored);
    mainBar.move(30, 45);
    QApplication::processEvents();
    window->close();
    EXPECT_EQ(settings.get("ProgBarSettings", "MainLeft") + "," +
                  settings.get("ProgBarSettings", "MainTop"),
              "450,675");

    settings.set("ProgBarSettings", "MainTop", "top");
    ProgressBarWindow damaged(settings, windows);
    app::testing::expectFailure(13, [&] { damaged.setMinimum(0); });
}

} // namespace
} // namespace tvn::ui
