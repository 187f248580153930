// The menus, the help viewer and the About box on screen; the help's pages and pictures.

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>

#include "app/frm_main.h"
#include "archive/settings_store.h"
#include "store/memory/memory_store.h"
#include "tests/support/corpus.h"
#include "tests/ui/ui_test_support.h"
#include "ui/about_box.h"
#include "ui/app_icon.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace tvn::ui {
namespace {

namespace fs = std::filesystem;
using store::ItemType;
using store::memory::MemoryFolder;

// The help as it is in the source tree (the build copies it beside the program).
const fs::path kHelpDir = fs::path(TALLYVANE_SOURCE_DIR) / "ui" / "help";

class HelpAndMenus : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        auto top = MemoryFolder::make("Personal Folders");
        top->addFolder("Inbox", ItemType::Mail);
        top->addFolder("Calendar", ItemType::Appointment);
        top->addFolder("Tasks", ItemType::Task);
        m_top = top;
        app::FrmMainOptions options;
        options.root = toPath(m_root.path()) / "Tallyvane";
        options.opener = [this](const fs::path&, store::PasswordPrompt*) {
            return std::shared_ptr<store::Folder>(m_top);
        };
        m_window = std::make_unique<MainWindow>(m_boxes, m_settings, std::move(options));
        m_window->start();
        m_window->openDataFile("/data/mail.pst");
        m_window->model().setHelp(&m_window->helpWindow(), kHelpDir / "index.html");
    }
    void TearDown() override {
        m_window.reset();
        QApplication::processEvents();
    }
    QAction* action(const char* name) const {
        return m_window->findChild<QAction*>(QString::fromLatin1(name));
    }
    QPushButton* button(const char* name) const {
        return m_window->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    void listAll() {
        testing::answerPicker(m_window->folderPicker(), true);
        button("btnGetPST")->click();
        m_window->folderPicker().setDialogHook({});
        button("btnSelectAll")->click();
    }
    std::vector<std::string> listed(const char* name) const {
        return testing::listTexts(m_window->findChild<QListView*>(QString::fromLatin1(name)));
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& shown : m_boxes.shown) {
            texts.push_back(shown.text);
        }
        return texts;
    }

    QTemporaryDir m_root;
    testing::RecordingBoxes m_boxes;
    archive::MemorySettingsStore m_settings;
    std::shared_ptr<MemoryFolder> m_top;
    std::unique_ptr<MainWindow> m_window;
};

// Every entry of the menu bar reaches its command: each is chosen and the command's own
// effect is looked for.
TEST_F(HelpAndMenus, EveryMenuEntryForwardsToItsCommand) {
    struct Entry {
        const char* name;
        std::function<void()> before;
        std::function<void()> expectDone;
    };
    const std::vector<std::string> all{"Inbox", "Calendar", "Tasks"};
    std::string modalSeen;
    const auto closeNextModal = [&] {
        testing::answerNextModal([&](QWidget* modal) {
            modalSeen = toUtf8(modal->objectName());
            qobject_cast<QDialog*>(modal)->reject();
        });
    };
    const std::vector<Entry> entries = {
        {"mnuFileOpen", closeNextModal, [&] { EXPECT_EQ(modalSeen, "dlgSaveLocation"); }},
        {"mnuGetFolderList", [&] { testing::answerPicker(m_window->folderPicker(), true); },
         [&] { EXPECT_EQ(listed("lstSource"), all); }},
        {"mnuToolsmn_SelectAll", {}, [&] { EXPECT_EQ(listed("lstDestination"), all); }},
        {"mnuCreateFiles",
         {},
         [&] { EXPECT_EQ(messages(), std::vector<std::string>{"Your files have been created!"}); }},
        {"mnuToolsmn_RemoveOne", [&] { m_window->model().archiveList().setCurrent(-1); },
         [&] { EXPECT_EQ(listed("lstSource"), all) << "listed again after the removal"; }},
        {"mnuClearAll",
         {},
         [&] {
             EXPECT_TRUE(listed("lstSource").empty());
             EXPECT_TRUE(listed("lstDestination").empty());
         }},
        {"mnuHelpContents",
         {},
         [&] {
             EXPECT_TRUE(m_window->helpWindow().isVisible());
             EXPECT_TRUE(messages().empty());
         }},
        {"mnuHelpAbout", closeNextModal, [&] { EXPECT_EQ(modalSeen, "frmAbout"); }},
        {"mnuFileExit", {}, [&] { EXPECT_FALSE(m_window->isVisible()); }},
    };
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.name);
        m_boxes.shown.clear();
        modalSeen.clear();
        if (entry.before) {
            entry.before();
        }
        ASSERT_TRUE(action(entry.name)->isEnabled());
        action(entry.name)->trigger();
        m_window->folderPicker().setDialogHook({});
        entry.expectDone();
    }
    // Closing the main window closed the help with it.
    EXPECT_FALSE(m_window->helpWindow().isVisible());
}

// During a run the list and run commands are off and Exit and Help stay on; before and
// after, everything but the two entries that are never switched on.
TEST_F(HelpAndMenus, CommandsBeforeDuringAndAfterARun) {
    const std::vector<std::string> names{
        "btnCreate",       "btnGetPST",    "btnClearAll",     "btnSelect1",     "btnSelectAll",
        "btnRemove1",      "btnRemoveAll", "btnExit",         "mnuFileOpen",    "mnuGetFolderList",
        "mnuCreateFiles",  "mnuFileExit",  "mnuToolsAction",  "mnuClearAll",    "mnuHelpAction",
        "mnuHelpContents", "mnuHelpAbout", "mnuViewContacts", "mnuViewErrorLog"};
    const auto enabledOnes = [&] {
        std::set<std::string> on;
        for (const std::string& name : names) {
            const QString qname = toQString(name);
            QAction* entry = m_window->findChild<QAction*>(qname);
            QWidget* widget = m_window->findChild<QPushButton*>(qname);
            if ((entry != nullptr && entry->isEnabled()) ||
                (widget != nullptr && widget->isEnabled())) {
                on.insert(name);
            }
        }
        return on;
    };
    std::set<std::string> idle(names.begin(), names.end());
    idle.erase("mnuViewContacts");
    idle.erase("mnuViewErrorLog");
    listAll();
    EXPECT_EQ(enabledOnes(), idle);

    std::vector<std::set<std::string>> during;
    QObject::connect(m_window->progressWindow().bar(), &QProgressBar::valueChanged, m_window.get(),
                     [&] { during.push_back(enabledOnes()); });
    button("btnCreate")->click();
    const std::set<std::string> running{"btnExit", "mnuFileExit", "mnuHelpAction",
                                        "mnuHelpContents", "mnuHelpAbout"};
    ASSERT_FALSE(during.empty());
    for (const auto& seen : during) {
        EXPECT_EQ(seen, running);
    }
    EXPECT_EQ(enabledOnes(), idle);
}

TEST_F(HelpAndMenus, MissingOrUnreadableHelpIsSaidOnceAndOpensNothing) {
    // Missing, a directory where the first page should be, an empty file (what a failed
    // copy leaves).
    QTemporaryDir dir;
    const fs::path base = toPath(dir.path());
    fs::create_directories(base / "dir/index.html");
    { std::ofstream(base / "index.html"); }
    for (const fs::path& file :
         {base / "missing/index.html", base / "dir/index.html", base / "index.html"}) {
        SCOPED_TRACE(file.string());
        m_boxes.shown.clear();
        m_window->model().setHelp(&m_window->helpWindow(), file);
        action("mnuHelpContents")->trigger();
        EXPECT_EQ(messages(),
                  std::vector<std::string>{"TVN was unable to display your Help file. Please "
                                           "place TVN_Help.CHM in the Tallyvane Program Folder "
                                           "and try again!"});
        EXPECT_FALSE(m_window->helpWindow().isVisible());
    }
}

// Every link of every help page leads to a page or picture that ships, and every page
// says what it is about; the viewer opens at the first topic and follows links.
TEST_F(HelpAndMenus, HelpOpensAtItsFirstTopicAndEveryLinkAndPictureIsThere) {
    const std::regex reference(R"re((href|src)="([^"#:]+)")re");
    const std::regex title(R"(<title>[^<]+</title>)");
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(kHelpDir)) {
        if (entry.path().extension() != ".html") {
            continue;
        }
        ++pages;
        const std::string html = test_support::readFileText(entry.path());
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_TRUE(std::regex_search(html, title));
        for (auto it = std::sregex_iterator(html.begin(), html.end(), reference);
             it != std::sregex_iterator(); ++it) {
            EXPECT_TRUE(fs::is_regular_file(kHelpDir / (*it)[2].str())) << (*it)[2].str();
        }
    }
    EXPECT_GE(pages, 7);

    action("mnuHelpContents")->trigger();
    HelpWindow& help = m_window->helpWindow();
    ASSERT_TRUE(help.isVisible());
    EXPECT_EQ(help.browser()->documentTitle(), QStringLiteral("Welcome"));
    EXPECT_TRUE(help.browser()->toPlainText().contains(QStringLiteral("Outlook")));
    help.browser()->setSource(QUrl(QStringLiteral("output.html")));
    EXPECT_EQ(help.browser()->documentTitle(), QStringLiteral("What each kind of folder becomes"));
    EXPECT_TRUE(help.findChild<QPushButton*>(QStringLiteral("cmdBack"))->isEnabled());
    help.resize(760, 560);
    QApplication::processEvents();
    EXPECT_TRUE(help.grab().save(fromPath(testing::screenshotPath("help_viewer")), "PNG"));
}

TEST_F(HelpAndMenus, AboutBoxShowsTheVersionAndFallsBackWithoutSystemInfo) {
    testing::RecordingBoxes boxes;
    QtProgramStarter starter;
    AboutBox about(boxes, starter, m_window.get());
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
              QStringLiteral("Version 2.81.6"));
    about.show();
    QApplication::processEvents();
    EXPECT_TRUE(about.grab().save(fromPath(testing::screenshotPath("about_box")), "PNG"));

    const QByteArray path = qgetenv("PATH");
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toLocal8Bit());
    about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
    qputenv("PATH", path);
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].text, "System Information Is Unavailable At This Time");
    about.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    EXPECT_FALSE(about.isVisible());
}

// The installed icon is the program's own picture.
TEST(AppIcon, PictureIsDrawnAtEverySizeAndSavedForInstalling) {
    for (const int size : {16, 48, 256}) {
        const QImage picture = appPicture(size).toImage();
        EXPECT_EQ(picture.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0) << "transparent corner";
        EXPECT_GT(qAlpha(picture.pixel(size / 2, size * 3 / 4)), 0) << "the box";
    }
    EXPECT_TRUE(appPicture(256).save(fromPath(testing::screenshotPath("tallyvane_icon")), "PNG"));
}

} // namespace
} // namespace tvn::ui
