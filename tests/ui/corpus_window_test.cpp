// The window over real Outlook files from the corpus (TALLYVANE_CORPUS), read by the .pst
// reader. Skips when the corpus or the file is absent.

#include <QInputDialog>
#include <QLineEdit>
#include <QProgressBar>

#include "tests/support/corpus.h"
#include "tests/ui/ui_test_support.h"

namespace tvn::ui {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

using CorpusWindowTest = testing::WindowTest;

// Get Folder List and Select All on a copy of a real file, then Create into the location
// chosen in the dialog: the tree of the chosen folders, the log's line, the progress
// window full and hidden again. Then another program cuts the file short (a sync client, a copy
// over it): listing it again and archiving it end in logged damage and the errors message, never a
// crash.
TEST_F(CorpusWindowTest, EnronIsArchivedIntoTheChosenLocationAndACutShortCopyIsReported) {
    const auto enron = test_support::corpusFile("enron.pst");
    if (!enron) {
        GTEST_SKIP() << "enron.pst is not in the corpus (TALLYVANE_CORPUS)";
    }
    const fs::path chosen = toPath(root.path()) / "Chosen", copy = chosen / "enron.pst";
    fs::create_directories(chosen);
    fs::copy_file(*enron, copy);
    testing::answerNextModal([&](QWidget* modal) {
        modal->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(fromPath(chosen));
        modal->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    choose("mnuFileOpen");
    window->openDataFile(copy);
    getFolderList();
    ASSERT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
    const Texts folders{"Deleted Items", "lokay-m"};
    EXPECT_EQ(listed("lstSource"), folders);
    click("btnSelectAll");
    EXPECT_EQ(listed("lstDestination"), folders);
    click("btnCreate");
    for (const auto& dir : folders) {
        EXPECT_TRUE(fs::is_directory(chosen / dir)) << dir;
    }
    EXPECT_EQ(messages(), Texts{"Your files have been created!"});
    // The log of this session stays where start-up opened it, under the first root.
    const auto logText = [&] { return test_support::readFileText(window->model().openLogPath()); };
    EXPECT_NE(logText().find("No errors were reported"), std::string::npos) << logText();
    ProgressBarWindow& progress = window->progressWindow();
    EXPECT_TRUE(progress.loaded() && !progress.isVisible());
    EXPECT_EQ(std::pair(progress.bar()->value(), progress.bar()->maximum()), std::pair(2, 2));

    boxes.shown.clear();
    fs::resize_file(copy, 4096);
    getFolderList();
    click("btnSelectAll");
    click("btnCreate");
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_NE(messages().front().find("TVN encountered errors"), std::string::npos);
    EXPECT_NE(logText().find("Error Nbr: -2147221221"), std::string::npos) << logText();
}

// The reader asks the window's password dialog, which names the file; a right password
// opens the file, a wrong or refused one is named in a message and opens nothing.
TEST_F(CorpusWindowTest, AProtectedFileAsksForItsPasswordThroughTheDialog) {
    const auto file = test_support::corpusFile("aspose-password.pst");
    if (!file) {
        GTEST_SKIP() << "aspose-password.pst is not in the corpus (TALLYVANE_CORPUS)";
    }
    const std::string refused = "The data file " + file->string() +
                                " could not be opened: its password was not given or is wrong.";
    const std::pair<const char*, bool> cases[] = {
        {"password1", false}, {nullptr, false}, {"Password1", true}}; // nullptr: cancelled
    for (const auto& [typed, opens] : cases) {
        SCOPED_TRACE(typed ? typed : "cancelled");
        boxes.shown.clear();
        int asked = 0;
        testing::answerNextModal([&, typed = typed](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            ++asked;
            EXPECT_NE(toUtf8(dialog->labelText()).find("aspose-password.pst"), std::string::npos);
            dialog->setTextValue(QString::fromLatin1(typed ? typed : ""));
            typed ? dialog->accept() : dialog->reject();
        });
        window->openDataFile(*file);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(window->model().dataFiles().paths().size(), opens ? 1u : 0u);
        EXPECT_EQ(messages(), opens ? Texts{} : Texts{refused});
    }
}

} // namespace
} // namespace tvn::ui
