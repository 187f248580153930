#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/frm_main.h"
#include "archive/settings_store.h"
#include "store/failure.h"
#include "store/memory/memory_store.h"
#include "tests/ui/ui_test_support.h"
#include "ui/data_file_picker.h"
#include "ui/main_window.h"
#include "ui/qt_message_boxes.h"
#include "ui/qt_text.h"

namespace tvn::ui {
namespace {

using store::ItemType;
using store::memory::MemoryFolder;
using testing::listTexts;
using testing::RecordingBoxes;

// A window over a temporary archive root, with data files served from memory by path.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        makeWindow();
    }

    void makeWindow() {
        m_window.reset();
        m_boxes.shown.clear();
        app::FrmMainOptions options;
        options.root = toPath(m_root.path()) / "Tallyvane";
        options.opener = [this](const std::filesystem::path& file,
                                store::PasswordPrompt*) -> std::shared_ptr<store::Folder> {
            const auto found = m_files.find(file.string());
            if (found == m_files.end()) {
                throw Failure(err::kFileNotFound, "File not found", file.string());
            }
            return found->second;
        };
        m_window = std::make_unique<MainWindow>(m_boxes, m_settings, std::move(options));
    }

    void TearDown() override {
        m_window.reset();
        QApplication::processEvents();
    }

    // Starts the window with "Personal Folders" open: a journal that is never listed and a
    // deeper folder that is never listed either (the list holds one level).
    void startWithMailFile() {
        auto top = MemoryFolder::make("Personal Folders");
        top->addFolder("Inbox", ItemType::Mail)->addFolder("Receipts", ItemType::Mail);
        top->addFolder("Calendar", ItemType::Appointment);
        top->addFolder("Journal", ItemType::Journal);
        top->addFolder("Contacts", ItemType::Contact);
        top->addFolder("Deleted Items", ItemType::Mail);
        m_files["/data/mail.pst"] = top;
        m_window->start();
        m_window->openDataFile("/data/mail.pst");
        ASSERT_TRUE(m_boxes.shown.empty());
    }

    template <typename W> W* child(const char* name) const {
        W* widget = m_window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QListWidget* source() const { return child<QListWidget>("lstSource"); }
    QListWidget* destination() const { return child<QListWidget>("lstDestination"); }

    // The widget shows exactly the model's list: texts, selection, current entry, enabled.
    void expectMirrors(QListWidget* widget, const app::FolderList& list) const {
        SCOPED_TRACE(list.name());
        ASSERT_EQ(widget->count(), list.count());
        for (int i = 0; i < list.count(); ++i) {
            EXPECT_EQ(toUtf8(widget->item(i)->text()), list.text(i)) << i;
            EXPECT_EQ(widget->item(i)->isSelected(), list.isSelected(i)) << i;
        }
        EXPECT_EQ(widget->currentRow(), list.current());
        EXPECT_EQ(widget->isEnabled(), list.enabled());
    }

    void expectBothMirror() const {
        expectMirrors(source(), m_window->model().lstSource);
        expectMirrors(destination(), m_window->model().lstDestination);
    }

    void click(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
    }

    void doubleClick(QListWidget* list, int row) {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    }

    // Get Folder List with the picker answered: the current tree entry (a data file's top
    // folder unless pickRow says which child of the first top folder), or cancel.
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
        const QPixmap shot = m_window->grab();
        ASSERT_FALSE(shot.isNull());
        ASSERT_TRUE(shot.save(fromPath(testing::screenshotPath(name)), "PNG"));
    }

    QTemporaryDir m_root;
    RecordingBoxes m_boxes;
    archive::MemorySettingsStore m_settings;
    std::map<std::string, std::shared_ptr<MemoryFolder>> m_files;
    std::unique_ptr<MainWindow> m_window;
};

struct ControlCase {
    const char* name;
    const char* caption; // nullptr: the control has no caption
    const char* tooltip;
};

// The control table of the main window, caption and tooltip exactly as the user sees them.
const ControlCase kControls[] = {
    {"lstSource", nullptr, "Click any Folder Name to select it for archival."},
    {"lstDestination", nullptr,
     "Click any Folder Name to remove it from the list of folders to be archived."},
    {"txtListed", nullptr, "Display of the total Folders listed above."},
    {"txtSelected", nullptr, "Display of the total Folders listed above."},
    {"btnGetPST", "&Get Folder List", "\"Gets your .pst folder list\""},
    {"btnSelect1", ">", "Move selected Folder(s) to archive list"},
    {"btnSelectAll", ">>", "Move ALL Folders to archive list"},
    {"btnRemove1", "<", "Remove selected Folder(s) from archive list"},
    {"btnRemoveAll", "<<", "Remove ALL Folders from archive list"},
    {"btnCreate", "&Create",
     "\"Creates a copy of all items and attachments in the Folders to be Archived list at "
     "your selected location.\" "},
    {"btnClearAll", "Clear &All", "\"Clears both folder lists\""},
    {"btnExit", "C&lose Program", "\"Exit from the program\""},
    {"Label1", "PST Folder List", "Select a Folder to archive by double-clicking it"},
    {"Label2", "Folders to be Archived", "Displays a list of Folders to be archived"},
};

TEST_F(MainWindowTest, EveryControlHasItsNameCaptionTooltipAndState) {
    m_window->start();
    for (const ControlCase& c : kControls) {
        SCOPED_TRACE(c.name);
        auto* widget = child<QWidget>(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(toUtf8(widget->toolTip()), c.tooltip);
        EXPECT_TRUE(widget->isVisible());
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            ASSERT_NE(c.caption, nullptr);
            EXPECT_EQ(toUtf8(button->text()), c.caption);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            ASSERT_NE(c.caption, nullptr);
            EXPECT_EQ(toUtf8(label->text()), c.caption);
        } else {
            EXPECT_EQ(c.caption, nullptr);
        }
    }
    EXPECT_NE(child<QStatusBar>("sbStatusBar"), nullptr);
    for (QListWidget* list : {source(), destination()}) {
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    }
    for (const char* name : {"txtListed", "txtSelected"}) {
        EXPECT_TRUE(child<QLineEdit>(name)->isReadOnly()) << name;
        EXPECT_EQ(toUtf8(child<QLineEdit>(name)->text()), "0 Folder(s)") << name;
    }
    // lstSource starts disabled until Get Folder List lists something.
    EXPECT_FALSE(source()->isEnabled());
    EXPECT_TRUE(destination()->isEnabled());
    // Start-up sets the caption and creates the root with an empty log.
    EXPECT_EQ(toUtf8(m_window->windowTitle()), "Tallyvane 2.81");
    const auto log = toPath(m_root.path()) / "Tallyvane" / "TVN Error Log.txt";
    ASSERT_TRUE(std::filesystem::exists(log));
    EXPECT_EQ(std::filesystem::file_size(log), 0u);
    EXPECT_TRUE(m_boxes.shown.empty());
    // The access keys of the captions work: Alt plus the letter after the ampersand.
    EXPECT_EQ(child<QPushButton>("btnExit")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_L));
    EXPECT_EQ(child<QPushButton>("btnClearAll")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_A));
}

// The menu bar in order: each menu's object name and title, then its entries' object
// names and captions, "(off)" for a switched-off entry.
TEST_F(MainWindowTest, MenuBarHasTheMenusAndEntriesInOrderWithTheirStates) {
    m_window->start();
    const std::vector<std::string> expected = {
        "mnuFile &File",
        "  mnuFileOpen Select Archive &Location",
        "  mnuGetFolderList &Get Folder List",
        "  mnuCreateFiles &Create Files",
        "  mnuFileExit E&xit",
        "mnuTools &Tools",
        "  mnuViewContacts View Co&ntacts (off)",
        "  mnuViewErrorLog View Error Log (off)",
        "  mnuClearAll Clear &All Lists",
        "  mnuToolsmn_SelectAll Select All &PST Folders",
        "  mnuToolsmn_RemoveOne Remove Selected &Item",
        "mnuHelp &Help",
        "  mnuHelpContents C&ontents",
        "  mnuHelpAbout A&bout ",
    };
    std::vector<std::string> shown;
    for (const QAction* bar : m_window->menuBar()->actions()) {
        ASSERT_NE(bar->menu(), nullptr);
        shown.push_back(toUtf8(bar->menu()->objectName() + u' ' + bar->menu()->title()));
        for (const QAction* entry : bar->menu()->actions()) {
            if (!entry->isSeparator()) {
                shown.push_back(
                    toUtf8(QStringLiteral("  ") + entry->objectName() + u' ' + entry->text() +
                           (entry->isEnabled() ? QString() : QStringLiteral(" (off)"))));
            }
        }
    }
    EXPECT_EQ(shown, expected);
}

TEST_F(MainWindowTest, ScreenshotsOfTheIdleWindowAndTheToolsMenu) {
    m_window->start();
    saveScreenshot("main_window_idle");
    // Every control lies inside the window and none covers another.
    std::vector<QRect> areas;
    for (const ControlCase& c : kControls) {
        auto* widget = child<QWidget>(c.name);
        const QRect area(widget->mapTo(m_window.get(), QPoint(0, 0)), widget->size());
        EXPECT_TRUE(m_window->rect().contains(area)) << c.name;
        for (const QRect& other : areas) {
            EXPECT_FALSE(area.intersects(other)) << c.name;
        }
        areas.push_back(area);
    }
    // The Tools menu shows its switched-off entries.
    QMenu* tools = child<QMenu>("mnuTools");
    tools->popup(m_window->mapToGlobal(QPoint(40, 20)));
    QApplication::processEvents();
    EXPECT_TRUE(
        tools->grab().save(fromPath(testing::screenshotPath("main_window_tools_menu")), "PNG"));
    tools->hide();
}

// The whole path a user takes: open a data file, list it, select with the mouse, move,
// move back by double-click, clear; every step leaves the widgets showing the model.
TEST_F(MainWindowTest, DrivenThroughOpenListSelectAndRemove) {
    startWithMailFile();

    getFolderList();
    EXPECT_EQ(listTexts(source()),
              (std::vector<std::string>{"Inbox", "Calendar", "Contacts", "Deleted Items"}));
    EXPECT_TRUE(source()->isEnabled());
    EXPECT_EQ(toUtf8(child<QLineEdit>("txtListed")->text()), "4 Folder(s)");
    expectBothMirror();

    // Rows 0 and 2 selected, row 2 clicked last: both move, the higher index first.
    click(source(), 0);
    click(source(), 2, Qt::ControlModifier);
    EXPECT_EQ(m_window->model().lstSource.current(), 2);
    EXPECT_TRUE(m_window->model().lstSource.isSelected(0));
    EXPECT_FALSE(m_window->model().lstSource.isSelected(1));
    child<QPushButton>("btnSelect1")->click();
    EXPECT_EQ(listTexts(destination()), (std::vector<std::string>{"Contacts", "Inbox"}));
    EXPECT_EQ(listTexts(source()), (std::vector<std::string>{"Calendar", "Deleted Items"}));
    EXPECT_EQ(toUtf8(child<QLineEdit>("txtListed")->text()), "2 Folder(s)");
    EXPECT_EQ(toUtf8(child<QLineEdit>("txtSelected")->text()), "2 Folder(s)");
    expectBothMirror();

    // A double-click in the source list moves the entry under the mouse.
    doubleClick(source(), 1);
    EXPECT_EQ(listTexts(destination()),
              (std::vector<std::string>{"Contacts", "Inbox", "Deleted Items"}));
    expectBothMirror();

    // A double-click in the archive list puts "Inbox" back at the end of the source list.
    doubleClick(destination(), 1);
    EXPECT_EQ(listTexts(source()), (std::vector<std::string>{"Calendar", "Inbox"}));
    EXPECT_EQ(listTexts(destination()), (std::vector<std::string>{"Contacts", "Deleted Items"}));
    expectBothMirror();
    saveScreenshot("main_window_listed");

    child<QPushButton>("btnClearAll")->click();
    EXPECT_EQ(source()->count(), 0);
    EXPECT_EQ(destination()->count(), 0);
    EXPECT_EQ(toUtf8(child<QLineEdit>("txtListed")->text()), "0 Folder(s)");
    EXPECT_EQ(toUtf8(child<QLineEdit>("txtSelected")->text()), "0 Folder(s)");
    expectBothMirror();

    // Remove on an empty archive list says so and changes nothing.
    child<QPushButton>("btnRemove1")->click();
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_EQ(m_boxes.shown[0].text, "No Folders are listed!");
    EXPECT_EQ(m_boxes.shown[0].icon, archive::MessageIcon::Exclamation);
    EXPECT_EQ(m_boxes.shown[0].title, "Tallyvane");
}

// A range picked with Shift reaches the model whole, and Select moves it from its
// last-clicked (current) entry upwards. Select All reads the data file (not the source
// list) and Remove All lists it again; the menu entries reach the same handlers as the
// buttons.
TEST_F(MainWindowTest, ShiftRangeAndTheAllCommandsThroughButtonsAndMenus) {
    const std::vector<std::string> listed{"Inbox", "Calendar", "Contacts", "Deleted Items"};
    startWithMailFile();
    getFolderList();
    click(source(), 0);
    click(source(), 3, Qt::ShiftModifier);
    EXPECT_EQ(m_window->model().lstSource.current(), 3);
    expectBothMirror();
    child<QPushButton>("btnSelect1")->click();
    EXPECT_EQ(listTexts(destination()),
              (std::vector<std::string>{"Deleted Items", "Contacts", "Calendar", "Inbox"}));
    EXPECT_EQ(source()->count(), 0);
    expectBothMirror();

    child<QPushButton>("btnRemoveAll")->click();
    EXPECT_EQ(destination()->count(), 0);
    EXPECT_EQ(listTexts(source()), listed);
    child<QAction>("mnuToolsmn_SelectAll")->trigger();
    EXPECT_EQ(listTexts(destination()), listed);
    expectBothMirror();
    child<QPushButton>("btnRemoveAll")->click();
    child<QPushButton>("btnSelectAll")->click();
    EXPECT_EQ(destination()->count(), 4);
    child<QAction>("mnuClearAll")->trigger();
    EXPECT_EQ(destination()->count(), 0);
    EXPECT_EQ(source()->count(), 0);

    // Listing again (File menu) appends; twice gives doubles.
    getFolderList(true, -1, true);
    getFolderList();
    EXPECT_EQ(source()->count(), 8);
    expectBothMirror();
    EXPECT_TRUE(m_boxes.shown.empty());
}

struct PickCase {
    const char* name;
    bool accept;
    int pickRow;
    const char* message;
};

TEST_F(MainWindowTest, GetFolderListReportsAWrongOrCancelledPick) {
    const PickCase cases[] = {
        {"cancel", false, -1, "TVN was unable to open your Outlook data file! Please try again."},
        {"a folder inside the data file", true, 0,
         "You selected a Folder within an Outlook data (PST) file. Please select an Outlook "
         "data file!"},
    };
    startWithMailFile();
    for (const PickCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxes.shown.clear();
        getFolderList(c.accept, c.pickRow);
        ASSERT_EQ(m_boxes.shown.size(), 1u);
        EXPECT_EQ(m_boxes.shown[0].text, c.message);
        EXPECT_EQ(m_boxes.shown[0].icon, archive::MessageIcon::Information);
        EXPECT_EQ(source()->count(), 0);
    }
}

TEST_F(MainWindowTest, OpeningAMissingDataFileSaysWhyAndChangesNothing) {
    m_window->start();
    m_window->openDataFile("/nowhere/gone.pst");
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_EQ(m_boxes.shown[0].text,
              "The data file /nowhere/gone.pst could not be opened: the file does not exist.");
    EXPECT_EQ(m_boxes.shown[0].icon, archive::MessageIcon::Exclamation);
    EXPECT_TRUE(m_window->model().dataFiles().paths().empty());
}

struct CloseCase {
    const char* name;
    std::function<void(MainWindow&)> close;
    bool releases;
};

// Close Program, File > Exit and the close box all close the window (running Form_Unload
// once); only Close Program releases the model's objects and closes the error log.
TEST_F(MainWindowTest, EveryWayOfClosingClosesTheWindow) {
    const CloseCase cases[] = {
        {"Close Program",
         [](MainWindow& w) { w.findChild<QPushButton*>(QStringLiteral("btnExit"))->click(); },
         true},
        {"File > Exit",
         [](MainWindow& w) { w.findChild<QAction*>(QStringLiteral("mnuFileExit"))->trigger(); },
         false},
        {"close box", [](MainWindow& w) { w.close(); }, false},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        makeWindow();
        m_window->start();
        ASSERT_TRUE(m_window->isVisible());
        ASSERT_NE(m_window->model().TextStream99(), nullptr);
        c.close(*m_window);
        EXPECT_FALSE(m_window->isVisible());
        EXPECT_EQ(m_window->model().released(), c.releases);
        EXPECT_EQ(m_window->model().TextStream99() == nullptr, c.releases);
        EXPECT_TRUE(m_boxes.shown.empty());
    }
}

// A double-click on the empty part of a list is a double-click on the list: on an empty
// archive list it says that no folders are listed.
TEST_F(MainWindowTest, DoubleClickOnAnEmptyArchiveListSaysNoFoldersAreListed) {
    m_window->start();
    m_window->show();
    QTest::mouseDClick(destination()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    ASSERT_EQ(m_boxes.shown.size(), 1U);
    EXPECT_EQ(m_boxes.shown[0].text, "No Folders are listed!");
}

// The status strip names the data file the folders were listed from, and where the files
// go; Clear All forgets the data file.
TEST_F(MainWindowTest, StatusStripShowsTheListedDataFileAndTheArchiveLocation) {
    startWithMailFile();
    auto* dataFile = child<QLabel>("lblDataFile");
    auto* location = child<QLabel>("lblArchiveLocation");
    EXPECT_TRUE(dataFile->isHidden());
    EXPECT_EQ(location->text(),
              QStringLiteral("Archive location: ") + m_root.path() + QStringLiteral("/Tallyvane"));
    getFolderList();
    EXPECT_FALSE(dataFile->isHidden());
    EXPECT_EQ(dataFile->text(), QStringLiteral("Folders from: /data/mail.pst"));
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
    EXPECT_TRUE(window.frameGeometry().contains(shownAt.center()))
        << shownAt.x() << "," << shownAt.y() << " outside the window";
    EXPECT_TRUE(window.model().dataFiles().paths().empty());
}

TEST_F(MainWindowTest, MovingOverCloseProgramResetsTheMousePointer) {
    m_window->start();
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
