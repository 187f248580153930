#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTest>

#include "tests/ui/ui_test_support.h"
#include "ui/qt_message_boxes.h"

namespace tvn::ui {
namespace {

using Texts = std::vector<std::string>;

class MainWindowTest : public testing::WindowTest {
protected:
    QListView* source() const { return child<QListView>("lstSource"); }
    QListView* destination() const { return child<QListView>("lstDestination"); }
    // What the window shows, "source entries|archive entries|listed count|selected count",
    // after checking that both views show the model's lists: texts, selection, current
    // entry, enabled.
    std::string shown() const {
        std::string out;
        for (auto [view, list] : {std::pair{source(), &window->model().sourceList()},
                                  std::pair{destination(), &window->model().archiveList()}}) {
            SCOPED_TRACE(list->name());
            EXPECT_EQ(testing::listTexts(view), list->texts());
            for (int i = 0; i < list->count(); ++i) {
                EXPECT_EQ(view->selectionModel()->isRowSelected(i, {}), list->isSelected(i)) << i;
                out += (i > 0 ? "," : "") + list->text(i);
            }
            EXPECT_EQ(view->currentIndex().row(), list->current());
            EXPECT_EQ(view->isEnabled(), list->enabled());
            out += '|';
        }
        return out + toUtf8(child<QLineEdit>("txtListed")->text() + u'|' +
                            child<QLineEdit>("txtSelected")->text());
    }
    void clickRow(QListView* list, int row, Qt::KeyboardModifiers modifiers = {}, bool twice = {}) {
        const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, at);
        if (twice) {
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, modifiers, at);
        }
    }
};

// The whole path a user takes: open a data file, list it, select with the mouse (a range
// picked with Shift reaches the model whole), move, move back by double-click, move all,
// clear; every step leaves the views showing the model, and both item models keep Qt's
// rules for announcing rows (a broken one ends the program). The status strip names the
// data file the folders were listed from, until Clear All forgets it. Close Program
// closes the window and releases the model's objects, the error log too.
TEST_F(MainWindowTest, DrivenThroughOpenListSelectAndRemove) {
    using Tester = QAbstractItemModelTester;
    Tester sourceModel(source()->model(), Tester::FailureReportingMode::Fatal);
    Tester archiveModel(destination()->model(), Tester::FailureReportingMode::Fatal);
    EXPECT_EQ(shown(), "||0 Folder(s)|0 Folder(s)");
    auto* dataFile = child<QLabel>("lblDataFile");
    EXPECT_TRUE(dataFile->isHidden());
    openMailFile();
    getFolderList();
    EXPECT_EQ(shown(), "Inbox,Calendar,Contacts,Deleted Items||4 Folder(s)|0 Folder(s)");
    EXPECT_EQ(dataFile->text(), QStringLiteral("Folders from: /data/mail.pst"));
    EXPECT_FALSE(dataFile->isHidden());
    // Rows 0 and 2 selected, row 2 clicked last: both move, the higher index first.
    clickRow(source(), 0);
    clickRow(source(), 2, Qt::ControlModifier);
    EXPECT_EQ(window->model().sourceList().current(), 2);
    click("btnSelect1");
    EXPECT_EQ(shown(), "Calendar,Deleted Items|Contacts,Inbox|2 Folder(s)|2 Folder(s)");
    // A double-click in the source list moves the entry under the mouse; one in the archive
    // list puts "Inbox" back at the end of the source list.
    clickRow(source(), 1, {}, true);
    EXPECT_EQ(shown(), "Calendar|Contacts,Inbox,Deleted Items|1 Folder(s)|3 Folder(s)");
    clickRow(destination(), 1, {}, true);
    EXPECT_EQ(shown(), "Calendar,Inbox|Contacts,Deleted Items|2 Folder(s)|2 Folder(s)");
    testing::saveScreenshot(*window, "main_window_listed");
    click("btnRemoveAll");
    clickRow(source(), 0);
    clickRow(source(), 3, Qt::ShiftModifier);
    click("btnSelect1");
    EXPECT_EQ(shown(), "|Deleted Items,Contacts,Calendar,Inbox|0 Folder(s)|4 Folder(s)");
    click("btnRemoveAll");
    click("btnSelectAll");
    EXPECT_EQ(shown(), "|Inbox,Calendar,Contacts,Deleted Items|0 Folder(s)|4 Folder(s)");
    click("btnClearAll");
    EXPECT_EQ(shown(), "||0 Folder(s)|0 Folder(s)");
    EXPECT_TRUE(dataFile->isHidden());
    // A double-click on the empty archive list is one on the list: nothing is listed.
    QTest::mouseDClick(destination()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    EXPECT_EQ(messages(), Texts{"No Folders are listed!"});
    click("btnExit");
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->model().released());
    EXPECT_EQ(window->model().reporter().log(), nullptr);
}

// Files named when the program starts are opened once the window is on the screen, so that
// a message about one of them stands over the window: a warning with the program's title
// and only an OK button.
TEST_F(MainWindowTest, MessageAboutAStartUpFileStandsOverTheWindow) {
    QtMessageBoxes realBoxes(window.get());
    MainWindow started(realBoxes, settings,
                       {.root = toPath(root.path()) / "Tallyvane", .opener = {}});
    realBoxes.setParent(&started);
    started.move(300, 200);
    started.openDataFilesWhenShown({"/nowhere/missing.pst"});
    QRect shownAt;
    testing::answerNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        EXPECT_EQ(toUtf8(box->windowTitle()), "Tallyvane");
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        shownAt = box->frameGeometry();
        box->button(QMessageBox::Ok)->click();
    });
    started.start();
    EXPECT_TRUE(shownAt.isNull()) << "opened before the window was on the screen";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shownAt.isNull(); }, 2000)) << "no message";
    EXPECT_TRUE(started.frameGeometry().contains(shownAt.center()));
}

} // namespace
} // namespace tvn::ui
