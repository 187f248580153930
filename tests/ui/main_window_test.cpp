#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/frm_main.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_window.h"
#include "ui/qt_message_boxes.h"
#include "ui/qt_text.h"

namespace tvn::ui {
namespace {

using Texts = std::vector<std::string>;

class MainWindowTest : public testing::WindowTest {
protected:
    QListView* source() const { return child<QListView>("lstSource"); }
    QListView* destination() const { return child<QListView>("lstDestination"); }
    std::string counts() const {
        return toUtf8(child<QLineEdit>("txtListed")->text() + u'|' +
                      child<QLineEdit>("txtSelected")->text());
    }
    // Both views show the model's lists: texts, selection, current entry, enabled.
    void expectShown() const {
        for (auto [view, list] : {std::pair{source(), &window->model().sourceList()},
                                  std::pair{destination(), &window->model().archiveList()}}) {
            SCOPED_TRACE(list->name());
            ASSERT_EQ(testing::listTexts(view), list->texts());
            for (int i = 0; i < list->count(); ++i) {
                EXPECT_EQ(view->selectionModel()->isRowSelected(i, {}), list->isSelected(i)) << i;
            }
            EXPECT_EQ(view->currentIndex().row(), list->current());
            EXPECT_EQ(view->isEnabled(), list->enabled());
        }
    }
    void clickRow(QListView* list, int row, Qt::KeyboardModifiers modifiers = {}) {
        const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, at);
    }
    void doubleClickRow(QListView* list, int row) {
        clickRow(list, row);
        const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
};

// The whole path a user takes: open a data file, list it, select with the mouse, move,
// move back by double-click, clear; every step leaves the views showing the model.
TEST_F(MainWindowTest, DrivenThroughOpenListSelectAndRemove) {
    EXPECT_EQ(toUtf8(window->windowTitle()), "Tallyvane 2.81");
    EXPECT_EQ(counts(), "0 Folder(s)|0 Folder(s)");
    EXPECT_FALSE(source()->isEnabled()) << "until Get Folder List lists something";
    testing::saveScreenshot(*window, "main_window_idle");
    openMailFile();
    getFolderList();
    EXPECT_EQ(listed("lstSource"), kMailListed);
    EXPECT_EQ(counts(), "4 Folder(s)|0 Folder(s)");
    expectShown();

    // Rows 0 and 2 selected, row 2 clicked last: both move, the higher index first.
    clickRow(source(), 0);
    clickRow(source(), 2, Qt::ControlModifier);
    EXPECT_EQ(window->model().sourceList().current(), 2);
    expectShown();
    click("btnSelect1");
    EXPECT_EQ(listed("lstDestination"), (Texts{"Contacts", "Inbox"}));
    EXPECT_EQ(listed("lstSource"), (Texts{"Calendar", "Deleted Items"}));
    EXPECT_EQ(counts(), "2 Folder(s)|2 Folder(s)");
    expectShown();

    // A double-click in the source list moves the entry under the mouse; one in the archive
    // list puts "Inbox" back at the end of the source list.
    doubleClickRow(source(), 1);
    EXPECT_EQ(listed("lstDestination"), (Texts{"Contacts", "Inbox", "Deleted Items"}));
    expectShown();
    doubleClickRow(destination(), 1);
    EXPECT_EQ(listed("lstSource"), (Texts{"Calendar", "Inbox"}));
    EXPECT_EQ(listed("lstDestination"), (Texts{"Contacts", "Deleted Items"}));
    expectShown();
    testing::saveScreenshot(*window, "main_window_listed");

    click("btnClearAll");
    EXPECT_EQ(counts(), "0 Folder(s)|0 Folder(s)");
    expectShown();
    // A double-click on the empty archive list is one on the list: nothing is listed.
    QTest::mouseDClick(destination()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    EXPECT_EQ(messages(), Texts{"No Folders are listed!"});
}

// A range picked with Shift reaches the model whole, and Select moves it from its
// last-clicked (current) entry upwards. Select All reads the data file and Remove All
// lists it again; listing twice gives doubles.
TEST_F(MainWindowTest, ShiftRangeAndTheAllCommands) {
    // Both item models keep Qt's rules for announcing rows (a broken one ends the program).
    QAbstractItemModelTester sourceModel(source()->model(),
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester archiveModel(destination()->model(),
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    openMailFile();
    getFolderList();
    clickRow(source(), 0);
    clickRow(source(), 3, Qt::ShiftModifier);
    EXPECT_EQ(window->model().sourceList().current(), 3);
    expectShown();
    click("btnSelect1");
    EXPECT_EQ(listed("lstDestination"), (Texts{"Deleted Items", "Contacts", "Calendar", "Inbox"}));
    expectShown();
    click("btnRemoveAll");
    EXPECT_EQ(listed("lstSource"), kMailListed);
    click("btnSelectAll");
    EXPECT_EQ(listed("lstDestination"), kMailListed);
    expectShown();
    click("btnClearAll");
    getFolderList();
    getFolderList();
    EXPECT_EQ(listed("lstSource").size(), 8U);
    expectShown();
    EXPECT_TRUE(boxes.shown.empty());
}

// A wrong or cancelled pick is explained and lists nothing; a file that cannot be opened
// is named with the reason.
TEST_F(MainWindowTest, WrongPickOrMissingFileIsExplained) {
    openMailFile();
    getFolderList(false);
    getFolderList(true, 0);
    window->openDataFile("/nowhere/gone.pst");
    EXPECT_EQ(messages(), (Texts{"TVN was unable to open your Outlook data file! Please try again.",
                                 "You selected a Folder within an Outlook data (PST) file. Please "
                                 "select an Outlook data file!",
                                 "The data file /nowhere/gone.pst could not be opened: the file "
                                 "does not exist."}));
    EXPECT_TRUE(listed("lstSource").empty());
}

// Close Program, File > Exit and the close box all close the window (running Form_Unload
// once); only Close Program releases the model's objects and closes the error log.
TEST_F(MainWindowTest, EveryWayOfClosingClosesTheWindow) {
    const std::pair<std::function<void()>, bool> cases[] = {
        {[this] { click("btnExit"); }, true},
        {[this] { choose("mnuFileExit"); }, false},
        {[this] { window->close(); }, false},
    };
    for (const auto& [close, releases] : cases) {
        makeWindow();
        ASSERT_TRUE(window->isVisible());
        close();
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->model().released(), releases);
        EXPECT_EQ(window->model().reporter().log() == nullptr, releases);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

// The status strip names the data file the folders were listed from, and where the files
// go; Clear All forgets the data file.
TEST_F(MainWindowTest, StatusStripShowsTheListedDataFileAndTheArchiveLocation) {
    auto* dataFile = child<QLabel>("lblDataFile");
    EXPECT_TRUE(dataFile->isHidden());
    EXPECT_EQ(child<QLabel>("lblArchiveLocation")->text(),
              QStringLiteral("Archive location: ") + root.path() + QStringLiteral("/Tallyvane"));
    openMailFile();
    getFolderList();
    EXPECT_EQ(dataFile->text(), QStringLiteral("Folders from: /data/mail.pst"));
    EXPECT_FALSE(dataFile->isHidden());
    click("btnClearAll");
    EXPECT_TRUE(dataFile->isHidden());
}

// Files named when the program starts are opened once the window is on the screen, so that
// a message about one of them stands over the window.
TEST_F(MainWindowTest, MessageAboutAStartUpFileStandsOverTheWindow) {
    QtMessageBoxes realBoxes(window.get());
    app::FrmMainOptions options;
    options.root = toPath(root.path()) / "Tallyvane";
    MainWindow started(realBoxes, settings, std::move(options));
    realBoxes.setParent(&started);
    started.move(300, 200);
    started.openDataFilesWhenShown({"/nowhere/missing.pst"});
    QRect shownAt;
    bool answered = false;
    testing::answerNextModal([&](QWidget* modal) {
        answered = true;
        shownAt = modal->frameGeometry();
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    started.start();
    EXPECT_FALSE(answered) << "opened before the window was on the screen";
    for (int i = 0; i < 200 && !answered; ++i) {
        QTest::qWait(10);
    }
    ASSERT_TRUE(answered);
    EXPECT_TRUE(started.frameGeometry().contains(shownAt.center()));
}

TEST_F(MainWindowTest, MovingOverCloseProgramResetsTheMousePointer) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    auto* exit = child<QPushButton>("btnExit");
    const QPointF centre(exit->rect().center());
    QMouseEvent move(QEvent::MouseMove, centre, exit->mapToGlobal(centre), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(exit, &move);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace tvn::ui
