#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/frm_main.h"
#include "archive/settings_store.h"
#include "store/failure.h"
#include "store/memory/memory_store.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_window.h"
#include "ui/qt_message_boxes.h"
#include "ui/qt_text.h"

namespace tvn::ui {
namespace {

using store::ItemType;
using store::memory::MemoryFolder;
using testing::listTexts;
using Texts = std::vector<std::string>;

// A window over a temporary archive root, with one data file served from memory: a
// journal that is never listed and a deeper folder that is never listed either.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        auto top = MemoryFolder::make("Personal Folders");
        top->addFolder("Inbox", ItemType::Mail)->addFolder("Receipts", ItemType::Mail);
        top->addFolder("Calendar", ItemType::Appointment);
        top->addFolder("Journal", ItemType::Journal);
        top->addFolder("Contacts", ItemType::Contact);
        top->addFolder("Deleted Items", ItemType::Mail);
        m_top = top;
        makeWindow();
    }
    void makeWindow() {
        m_window.reset();
        app::FrmMainOptions options;
        options.root = toPath(m_root.path()) / "Tallyvane";
        options.opener = [this](const std::filesystem::path& file,
                                store::PasswordPrompt*) -> std::shared_ptr<store::Folder> {
            if (file != "/data/mail.pst") {
                throw Failure(err::kFileNotFound, "File not found", file.string());
            }
            return m_top;
        };
        m_window = std::make_unique<MainWindow>(m_boxes, m_settings, std::move(options));
        m_window->start();
    }
    void TearDown() override {
        m_window.reset();
        QApplication::processEvents();
    }

    template <typename W> W* child(const char* name) const {
        W* widget = m_window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QListView* source() const { return child<QListView>("lstSource"); }
    QListView* destination() const { return child<QListView>("lstDestination"); }
    std::string counts() const {
        return toUtf8(child<QLineEdit>("txtListed")->text() + u'|' +
                      child<QLineEdit>("txtSelected")->text());
    }

    // The view shows the model's list: texts, selection, current entry, enabled.
    static void expectShows(QListView* view, app::FolderList& list) {
        SCOPED_TRACE(list.name());
        ASSERT_EQ(listTexts(view), list.texts());
        for (int i = 0; i < list.count(); ++i) {
            EXPECT_EQ(view->selectionModel()->isRowSelected(i, {}), list.isSelected(i)) << i;
        }
        EXPECT_EQ(view->currentIndex().row(), list.current());
        EXPECT_EQ(view->isEnabled(), list.enabled());
    }
    void expectBothShown() const {
        expectShows(source(), m_window->model().sourceList());
        expectShows(destination(), m_window->model().archiveList());
    }

    static QPoint centre(QListView* list, int row) {
        return list->visualRect(list->model()->index(row, 0)).center();
    }
    void click(QListView* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, centre(list, row));
    }
    void doubleClick(QListView* list, int row) {
        click(list, row);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre(list, row));
    }

    // Get Folder List with the picker answered: the data file's top folder, its child
    // pickRow, or cancel.
    void getFolderList(bool accept = true, int pickRow = -1, bool viaMenu = false) {
        testing::answerPicker(m_window->folderPicker(), accept, pickRow);
        if (viaMenu) {
            child<QAction>("mnuGetFolderList")->trigger();
        } else {
            child<QPushButton>("btnGetPST")->click();
        }
        m_window->folderPicker().setDialogHook({});
    }

    void saveScreenshot(const char* name) {
        QApplication::processEvents();
        ASSERT_TRUE(m_window->grab().save(fromPath(testing::screenshotPath(name)), "PNG"));
    }

    QTemporaryDir m_root;
    testing::RecordingBoxes m_boxes;
    archive::MemorySettingsStore m_settings;
    std::shared_ptr<MemoryFolder> m_top;
    std::unique_ptr<MainWindow> m_window;
};

// The whole path a user takes: open a data file, list it, select with the mouse, move,
// move back by double-click, clear; every step leaves the views showing the model.
TEST_F(MainWindowTest, DrivenThroughOpenListSelectAndRemove) {
    EXPECT_EQ(toUtf8(m_window->windowTitle()), "Tallyvane 2.81");
    EXPECT_EQ(counts(), "0 Folder(s)|0 Folder(s)");
    EXPECT_FALSE(source()->isEnabled()) << "until Get Folder List lists something";
    saveScreenshot("main_window_idle");
    m_window->openDataFile("/data/mail.pst");
    getFolderList();
    EXPECT_EQ(listTexts(source()), (Texts{"Inbox", "Calendar", "Contacts", "Deleted Items"}));
    EXPECT_EQ(counts(), "4 Folder(s)|0 Folder(s)");
    expectBothShown();

    // Rows 0 and 2 selected, row 2 clicked last: both move, the higher index first.
    click(source(), 0);
    click(source(), 2, Qt::ControlModifier);
    EXPECT_EQ(m_window->model().sourceList().current(), 2);
    expectBothShown();
    child<QPushButton>("btnSelect1")->click();
    EXPECT_EQ(listTexts(destination()), (Texts{"Contacts", "Inbox"}));
    EXPECT_EQ(listTexts(source()), (Texts{"Calendar", "Deleted Items"}));
    EXPECT_EQ(counts(), "2 Folder(s)|2 Folder(s)");
    expectBothShown();

    // A double-click in the source list moves the entry under the mouse; one in the archive
    // list puts "Inbox" back at the end of the source list.
    doubleClick(source(), 1);
    EXPECT_EQ(listTexts(destination()), (Texts{"Contacts", "Inbox", "Deleted Items"}));
    expectBothShown();
    doubleClick(destination(), 1);
    EXPECT_EQ(listTexts(source()), (Texts{"Calendar", "Inbox"}));
    EXPECT_EQ(listTexts(destination()), (Texts{"Contacts", "Deleted Items"}));
    expectBothShown();
    saveScreenshot("main_window_listed");

    child<QPushButton>("btnClearAll")->click();
    EXPECT_EQ(counts(), "0 Folder(s)|0 Folder(s)");
    expectBothShown();
    // A double-click on the empty archive list is one on the list: nothing is listed.
    QTest::mouseDClick(destination()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    EXPECT_EQ(m_boxes.shown.at(0).text, "No Folders are listed!");
}

// A range picked with Shift reaches the model whole, and Select moves it from its
// last-clicked (current) entry upwards. Select All reads the data file and Remove All
// lists it again; the menu entries reach the same handlers as the buttons.
TEST_F(MainWindowTest, ShiftRangeAndTheAllCommandsThroughButtonsAndMenus) {
    const Texts listed{"Inbox", "Calendar", "Contacts", "Deleted Items"};
    m_window->openDataFile("/data/mail.pst");
    getFolderList();
    click(source(), 0);
    click(source(), 3, Qt::ShiftModifier);
    EXPECT_EQ(m_window->model().sourceList().current(), 3);
    expectBothShown();
    child<QPushButton>("btnSelect1")->click();
    EXPECT_EQ(listTexts(destination()), (Texts{"Deleted Items", "Contacts", "Calendar", "Inbox"}));
    expectBothShown();

    child<QPushButton>("btnRemoveAll")->click();
    EXPECT_EQ(listTexts(source()), listed);
    child<QAction>("mnuToolsmn_SelectAll")->trigger();
    EXPECT_EQ(listTexts(destination()), listed);
    expectBothShown();
    child<QAction>("mnuClearAll")->trigger();
    EXPECT_TRUE(listTexts(destination()).empty());
    getFolderList(true, -1, true);
    getFolderList();
    EXPECT_EQ(listTexts(source()).size(), 8U);
    expectBothShown();
    EXPECT_TRUE(m_boxes.shown.empty());
}

// A wrong or cancelled pick is explained and lists nothing; a file that cannot be opened
// is named with the reason.
TEST_F(MainWindowTest, WrongPickOrMissingFileIsExplained) {
    m_window->openDataFile("/data/mail.pst");
    getFolderList(false);
    getFolderList(true, 0);
    m_window->openDataFile("/nowhere/gone.pst");
    std::vector<std::string> texts;
    for (const auto& shown : m_boxes.shown) {
        texts.push_back(shown.text);
    }
    EXPECT_EQ(texts, (Texts{"TVN was unable to open your Outlook data file! Please try again.",
                            "You selected a Folder within an Outlook data (PST) file. Please "
                            "select an Outlook data file!",
                            "The data file /nowhere/gone.pst could not be opened: the file does "
                            "not exist."}));
    EXPECT_TRUE(listTexts(source()).empty());
}

// Close Program, File > Exit and the close box all close the window (running Form_Unload
// once); only Close Program releases the model's objects and closes the error log.
TEST_F(MainWindowTest, EveryWayOfClosingClosesTheWindow) {
    const std::pair<std::function<void(MainWindow&)>, bool> cases[] = {
        {[](MainWindow& w) { w.findChild<QPushButton*>(QStringLiteral("btnExit"))->click(); },
         true},
        {[](MainWindow& w) { w.findChild<QAction*>(QStringLiteral("mnuFileExit"))->trigger(); },
         false},
        {[](MainWindow& w) { w.close(); }, false},
    };
    for (const auto& [close, releases] : cases) {
        makeWindow();
        ASSERT_TRUE(m_window->isVisible());
        close(*m_window);
        EXPECT_FALSE(m_window->isVisible());
        EXPECT_EQ(m_window->model().released(), releases);
        EXPECT_EQ(m_window->model().reporter().log() == nullptr, releases);
    }
    EXPECT_TRUE(m_boxes.shown.empty());
}

// The status strip names the data file the folders were listed from, and where the files
// go; Clear All forgets the data file.
TEST_F(MainWindowTest, StatusStripShowsTheListedDataFileAndTheArchiveLocation) {
    m_window->openDataFile("/data/mail.pst");
    auto* dataFile = child<QLabel>("lblDataFile");
    EXPECT_TRUE(dataFile->isHidden());
    EXPECT_EQ(child<QLabel>("lblArchiveLocation")->text(),
              QStringLiteral("Archive location: ") + m_root.path() + QStringLiteral("/Tallyvane"));
    getFolderList();
    EXPECT_EQ(dataFile->text(), QStringLiteral("Folders from: /data/mail.pst"));
    EXPECT_FALSE(dataFile->isHidden());
    child<QPushButton>("btnClearAll")->click();
    EXPECT_TRUE(dataFile->isHidden());
}

// Files named when the program starts are opened once the window is on the screen, so that
// a message about one of them stands over the window.
TEST_F(MainWindowTest, MessageAboutAStartUpFileStandsOverTheWindow) {
    QtMessageBoxes boxes(m_window.get());
    app::FrmMainOptions options;
    options.root = toPath(m_root.path()) / "Tallyvane";
    MainWindow window(boxes, m_settings, std::move(options));
    boxes.setParent(&window);
    window.move(300, 200);
    window.openDataFilesWhenShown({"/nowhere/missing.pst"});
    QRect shownAt;
    bool answered = false;
    testing::answerNextModal([&](QWidget* modal) {
        answered = true;
        shownAt = modal->frameGeometry();
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    window.start();
    EXPECT_FALSE(answered) << "opened before the window was on the screen";
    for (int i = 0; i < 200 && !answered; ++i) {
        QTest::qWait(10);
    }
    ASSERT_TRUE(answered);
    EXPECT_TRUE(window.frameGeometry().contains(shownAt.center()));
}

TEST_F(MainWindowTest, MovingOverCloseProgramResetsTheMousePointer) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    auto* exit = child<QPushButton>("btnExit");
    QMouseEvent move(QEvent::MouseMove, QPointF(exit->rect().center()),
                     exit->mapToGlobal(QPointF(exit->rect().center())), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(exit, &move);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace tvn::ui
