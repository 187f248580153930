// The menus, the help viewer and the About box on screen; the help's pages and pictures.

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>

#include "app/frm_main.h"
#include "tests/support/corpus.h"
#include "tests/ui/ui_test_support.h"
#include "ui/about_box.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace tvn::ui {
namespace {

namespace fs = std::filesystem;

// The help as it is in the source tree (the build copies it beside the program).
const fs::path kHelpDir = fs::path(TALLYVANE_SOURCE_DIR) / "ui" / "help";

class HelpAndMenus : public testing::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        openMailFile();
        window->model().setHelp(&window->helpWindow(), kHelpDir / "index.html");
    }
};

// Every entry of the menu bar reaches its command: each is chosen and the command's own
// effect is looked for.
TEST_F(HelpAndMenus, EveryMenuEntryForwardsToItsCommand) {
    struct Entry {
        const char* name;
        std::function<void()> before;
        std::function<void()> expectDone;
    };
    std::string modalSeen;
    const auto closeNextModal = [&] {
        testing::answerNextModal([&](QWidget* modal) {
            modalSeen = toUtf8(modal->objectName());
            qobject_cast<QDialog*>(modal)->reject();
        });
    };
    const std::vector<Entry> entries = {
        {"mnuFileOpen", closeNextModal, [&] { EXPECT_EQ(modalSeen, "dlgSaveLocation"); }},
        {"mnuGetFolderList", [&] { testing::answerPicker(window->folderPicker(), true); },
         [&] { EXPECT_EQ(listed("lstSource"), kMailListed); }},
        {"mnuToolsmn_SelectAll", {}, [&] { EXPECT_EQ(listed("lstDestination"), kMailListed); }},
        {"mnuCreateFiles",
         {},
         [&] { EXPECT_EQ(messages(), std::vector<std::string>{"Your files have been created!"}); }},
        {"mnuToolsmn_RemoveOne", [&] { window->model().archiveList().setCurrent(-1); },
         [&] { EXPECT_EQ(listed("lstSource"), kMailListed) << "listed again after the removal"; }},
        {"mnuClearAll",
         {},
         [&] {
             EXPECT_TRUE(listed("lstSource").empty());
             EXPECT_TRUE(listed("lstDestination").empty());
         }},
        {"mnuHelpContents",
         {},
         [&] {
             EXPECT_TRUE(window->helpWindow().isVisible());
             EXPECT_TRUE(messages().empty());
         }},
        {"mnuHelpAbout", closeNextModal, [&] { EXPECT_EQ(modalSeen, "frmAbout"); }},
        {"mnuFileExit", {}, [&] { EXPECT_FALSE(window->isVisible()); }},
    };
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.name);
        boxes.shown.clear();
        modalSeen.clear();
        if (entry.before) {
            entry.before();
        }
        ASSERT_TRUE(child<QAction>(entry.name)->isEnabled());
        choose(entry.name);
        window->folderPicker().setDialogHook({});
        entry.expectDone();
    }
    // Closing the main window closed the help with it.
    EXPECT_FALSE(window->helpWindow().isVisible());
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
            QAction* entry = window->findChild<QAction*>(qname);
            QWidget* widget = window->findChild<QPushButton*>(qname);
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
    getFolderList();
    click("btnSelectAll");
    EXPECT_EQ(enabledOnes(), idle);

    std::vector<std::set<std::string>> during;
    QObject::connect(window->progressWindow().bar(), &QProgressBar::valueChanged, window.get(),
                     [&] { during.push_back(enabledOnes()); });
    click("btnCreate");
    const std::set<std::string> running{"btnExit", "mnuFileExit", "mnuHelpAction",
                                        "mnuHelpContents", "mnuHelpAbout"};
    ASSERT_FALSE(during.empty());
    for (const auto& seen : during) {
        EXPECT_EQ(seen, running);
    }
    EXPECT_EQ(enabledOnes(), idle);
}

// Every link of every help page leads to a page or picture that ships, and every page
// says what it is about; the viewer opens at the first topic and follows links. Help that
// is missing, a directory, or an empty file (what a failed copy leaves) is said once and
// opens nothing.
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

    choose("mnuHelpContents");
    HelpWindow& help = window->helpWindow();
    ASSERT_TRUE(help.isVisible());
    EXPECT_EQ(help.browser()->documentTitle(), QStringLiteral("Welcome"));
    EXPECT_TRUE(help.browser()->toPlainText().contains(QStringLiteral("Outlook")));
    help.browser()->setSource(QUrl(QStringLiteral("output.html")));
    EXPECT_EQ(help.browser()->documentTitle(), QStringLiteral("What each kind of folder becomes"));
    EXPECT_TRUE(help.findChild<QPushButton*>(QStringLiteral("cmdBack"))->isEnabled());
    help.resize(760, 560);
    QApplication::processEvents();
    EXPECT_TRUE(help.grab().save(fromPath(testing::screenshotPath("help_viewer")), "PNG"));
    help.close();

    QTemporaryDir dir;
    const fs::path base = toPath(dir.path());
    fs::create_directories(base / "dir/index.html");
    { std::ofstream(base / "index.html"); }
    for (const fs::path& file :
         {base / "missing/index.html", base / "dir/index.html", base / "index.html"}) {
        boxes.shown.clear();
        window->model().setHelp(&help, file);
        choose("mnuHelpContents");
        EXPECT_EQ(messages(),
                  std::vector<std::string>{"TVN was unable to display your Help file. Please "
                                           "place TVN_Help.CHM in the Tallyvane Program Folder "
                                           "and try again!"})
            << file;
        EXPECT_FALSE(help.isVisible());
    }
}

TEST_F(HelpAndMenus, AboutBoxClosesWithOk) {
    QtProgramStarter starter;
    AboutBox about(boxes, starter, window.get());
    about.show();
    testing::saveScreenshot(about, "about_box");
    about.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    EXPECT_FALSE(about.isVisible());
}

} // namespace
} // namespace tvn::ui
