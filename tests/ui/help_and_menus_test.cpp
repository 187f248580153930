// The menus, the help viewer and the About box on screen; the help's pages and pictures.

#include <fstream>
#include <regex>
#include <set>

#include <QProgressBar>
#include <QRegularExpression>
#include <QTextBrowser>

#include "tests/support/corpus.h"
#include "tests/ui/ui_test_support.h"
#include "ui/help_window.h"

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
// effect is looked for in "dialog seen|listed|selected|message|help shown, window closed".
TEST_F(HelpAndMenus, EveryMenuEntryForwardsToItsCommand) {
    std::string modalSeen;
    const auto closeNextModal = [&] {
        testing::answerNextModal([&](QWidget* modal) {
            modalSeen = toUtf8(modal->objectName());
            if (modalSeen == "frmAbout") {
                testing::saveScreenshot(*modal, "about_box");
            }
            qobject_cast<QDialog*>(modal)->reject();
        });
    };
    const auto none = [] {};
    const std::tuple<const char*, std::function<void()>, const char*> entries[] = {
        {"mnuFileOpen", closeNextModal, "dlgSaveLocation|0|0||"},
        {"mnuGetFolderList", [&] { testing::answerPicker(window->folderPicker()); }, "|4|0||"},
        {"mnuToolsmn_SelectAll", none, "|0|4||"},
        {"mnuCreateFiles", none, "|0|4|Your files have been created!|"},
        // Remove Selected Item lists the data file again after the removal.
        {"mnuToolsmn_RemoveOne", [&] { window->model().archiveList().setCurrent(-1); }, "|4|4||"},
        {"mnuClearAll", none, "|0|0||"},
        {"mnuHelpContents", none, "|0|0||help"},
        {"mnuHelpAbout", closeNextModal, "frmAbout|0|0||help"},
        // Closing the main window closes the help with it.
        {"mnuFileExit", none, "|0|0||closed"},
    };
    for (const auto& [name, before, expected] : entries) {
        boxes.shown.clear();
        modalSeen.clear();
        before();
        choose(name);
        window->folderPicker().setDialogHook({});
        const auto count = [&](const char* list) { return std::to_string(listed(list).size()); };
        EXPECT_EQ(modalSeen + "|" + count("lstSource") + "|" + count("lstDestination") + "|" +
                      (messages().empty() ? "" : messages()[0]) + "|" +
                      (window->helpWindow().isVisible() ? "help" : "") +
                      (window->isVisible() ? "" : "closed"),
                  expected)
            << name;
    }
}

// During a run the list and run commands are off and Exit and Help stay on; afterwards,
// everything but the two entries that are never switched on. The Tools menu's entries are
// reached only through the menu, which is switched as a whole.
TEST_F(HelpAndMenus, CommandsDuringAndAfterARun) {
    const auto commands = [&](bool enabled) {
        std::set<std::string> found;
        for (QObject* object :
             window->findChildren<QObject*>(QRegularExpression("^(btn|mnu(?!Toolsmn_))"))) {
            if ((qobject_cast<QAction*>(object) || qobject_cast<QPushButton*>(object)) &&
                object->property("enabled").toBool() == enabled) {
                found.insert(toUtf8(object->objectName()));
            }
        }
        return found;
    };
    getFolderList();
    click("btnSelectAll");
    std::vector<std::set<std::string>> during;
    QObject::connect(window->progressWindow().bar(), &QProgressBar::valueChanged, window.get(),
                     [&] { during.push_back(commands(true)); });
    click("btnCreate");
    ASSERT_FALSE(during.empty());
    for (const auto& seen : during) {
        EXPECT_EQ(seen,
                  (std::set<std::string>{"btnExit", "mnuFileAction", "mnuFileExit", "mnuHelpAction",
                                         "mnuHelpContents", "mnuHelpAbout"}));
    }
    EXPECT_EQ(commands(false), (std::set<std::string>{"mnuViewContacts", "mnuViewErrorLog"}));
}

// Every link of every help page leads to a page or picture that ships; the viewer opens
// at the first topic. Help that
// is missing, a directory, or an empty file (what a failed copy leaves) is said once and
// opens nothing.
TEST_F(HelpAndMenus, HelpOpensAtItsFirstTopicAndEveryLinkAndPictureIsThere) {
    const std::regex reference(R"re((href|src)="([^"#:]+)")re");
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(kHelpDir)) {
        const std::string html =
            entry.path().extension() == ".html" ? test_support::readFileText(entry.path()) : "";
        pages += html.empty() ? 0 : 1;
        for (auto it = std::sregex_iterator(html.begin(), html.end(), reference);
             it != std::sregex_iterator(); ++it) {
            EXPECT_TRUE(fs::is_regular_file(kHelpDir / (*it)[2].str())) << entry.path();
        }
    }
    EXPECT_GE(pages, 7);

    choose("mnuHelpContents");
    QTextBrowser* browser = window->helpWindow().browser();
    ASSERT_TRUE(window->helpWindow().isVisible());
    EXPECT_EQ(browser->documentTitle(), QStringLiteral("Welcome"));
    window->helpWindow().resize(760, 560);
    testing::saveScreenshot(window->helpWindow(), "help_viewer");
    window->helpWindow().close();

    QTemporaryDir dir;
    const fs::path base = toPath(dir.path());
    fs::create_directories(base / "dir/index.html");
    std::ofstream(base / "index.html").flush();
    for (const fs::path& file :
         {base / "missing/index.html", base / "dir/index.html", base / "index.html"}) {
        boxes.shown.clear();
        window->model().setHelp(&window->helpWindow(), file);
        choose("mnuHelpContents");
        EXPECT_EQ(messages().size(), 1U) << file;
        EXPECT_FALSE(window->helpWindow().isVisible());
    }
}

} // namespace
} // namespace tvn::ui
