#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include "app/data_files.h"
#include "archive/settings_store.h"
#include "store/failure.h"
#include "store/memory/memory_store.h"
#include "store/session.h"
#include "tests/ui/ui_test_support.h"
#include "ui/data_file_picker.h"
#include "ui/password_dialog.h"
#include "ui/qt_message_boxes.h"
#include "ui/qt_text.h"

namespace tvn::ui {
namespace {

using store::ItemType;
using store::memory::MemoryFolder;
using testing::RecordingBoxes;

// A folder whose subfolder collection claims more folders than anyone could show, every
// one of which fails to open: what a damaged hierarchy may look like.
class EndlesslyDamagedFolder final : public store::Folder {
public:
    class AllFail final : public store::Folders {
    public:
        std::int32_t count() const override { return 2'000'000'000; }
        std::shared_ptr<store::Folder> item(std::int32_t) const override {
            ++opened;
            throw Failure(err::kCorruptData, "The hierarchy row is damaged.");
        }
        using store::Folders::item;
        mutable std::int64_t opened = 0;
    };
    std::string name() const override { return "Damaged"; }
    store::ItemType defaultItemType() const override { return ItemType::Mail; }
    std::shared_ptr<store::Folders> folders() const override { return m_folders; }
    std::shared_ptr<store::Items> items() const override { return nullptr; }
    std::shared_ptr<AllFail> m_folders = std::make_shared<AllFail>();
};

class PickerTest : public ::testing::Test {
protected:
    PickerTest()
        : m_dataFiles(m_settings, m_boxes,
                      [this](const std::filesystem::path& file,
                             store::PasswordPrompt*) -> std::shared_ptr<store::Folder> {
                          const auto found = m_files.find(file.string());
                          if (found == m_files.end()) {
                              throw Failure(err::kCorruptStore, "Not a data file");
                          }
                          return found->second;
                      }) {}

    std::shared_ptr<MemoryFolder> addFile(const std::string& path, const std::string& top) {
        auto folder = MemoryFolder::make(top);
        m_files[path] = folder;
        return folder;
    }

    static QTreeWidget* treeOf(QWidget& dialog) {
        return dialog.findChild<QTreeWidget*>(QStringLiteral("tvwFolders"));
    }

    RecordingBoxes m_boxes;
    archive::MemorySettingsStore m_settings;
    std::map<std::string, std::shared_ptr<store::Folder>> m_files;
    app::DataFiles m_dataFiles;
    store::Session m_session;
};

TEST_F(PickerTest, TreeShowsEachDataFileWithItsFirstLevelAndReadsDeeperOnlyWhenExpanded) {
    auto mail = addFile("/data/mail.pst", "Personal Folders");
    auto inbox = mail->addFolder("Inbox");
    inbox->addFolder("Receipts")->addFolder("2003");
    mail->addFolder("Journal", ItemType::Journal);
    addFile("/data/old.ost", "Archive Folders")->addFolder("2001");
    m_dataFiles.open(m_session, "/data/mail.pst");
    m_dataFiles.open(m_session, "/data/old.ost");

    DataFilePickerDialog dialog(m_session, m_dataFiles);
    QTreeWidget* tree = treeOf(dialog);
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* top = tree->topLevelItem(0);
    EXPECT_EQ(toUtf8(top->text(1)), "/data/mail.pst");
    // Every folder is shown, journals too: the picker shows the file as it is.
    EXPECT_EQ(testing::childTexts(top), (std::vector<std::string>{"Inbox", "Journal"}));

    QTreeWidgetItem* inboxItem = top->child(0);
    EXPECT_EQ(inboxItem->childCount(), 0);
    inboxItem->setExpanded(true);
    EXPECT_EQ(testing::childTexts(inboxItem), (std::vector<std::string>{"Receipts"}));
    inboxItem->setExpanded(false);
    inboxItem->setExpanded(true);
    EXPECT_EQ(inboxItem->childCount(), 1) << "expanding again must not list twice";

    // The first data file's top folder is current, and OK picks exactly that object.
    EXPECT_EQ(dialog.currentFolder(), m_session.dataFiles()[0]);
    tree->setCurrentItem(inboxItem->child(0));
    EXPECT_EQ(dialog.currentFolder()->name(), "Receipts");

    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(dialog.grab().save(fromPath(testing::screenshotPath("data_file_picker")), "PNG"));
}

// Damage shows as greyed entries that cannot be picked; the rest of the tree is usable.
TEST_F(PickerTest, DamagedFoldersShowAsEntriesThatCannotBePicked) {
    auto top = addFile("/data/hurt.pst", "Personal Folders");
    top->addFolder("Unnamed")->failName(Failure(err::kCorruptData, "Name unreadable."));
    top->addFolder("Closed")->failFolders(Failure(err::kCorruptData, "Hierarchy unreadable."));
    top->addFolder("Fine");
    m_dataFiles.open(m_session, "/data/hurt.pst");

    DataFilePickerDialog dialog(m_session, m_dataFiles);
    QTreeWidgetItem* topItem = treeOf(dialog)->topLevelItem(0);
    ASSERT_EQ(topItem->childCount(), 3);
    QTreeWidgetItem* unnamed = topItem->child(0);
    EXPECT_EQ(toUtf8(unnamed->text(0)), "(could not be read: Name unreadable. [-2147221221])");
    EXPECT_FALSE(unnamed->flags() & Qt::ItemIsSelectable);
    treeOf(dialog)->setCurrentItem(unnamed);
    EXPECT_NE(treeOf(dialog)->currentItem(), unnamed);

    QTreeWidgetItem* closed = topItem->child(1);
    closed->setExpanded(true);
    ASSERT_EQ(closed->childCount(), 1);
    EXPECT_EQ(toUtf8(closed->child(0)->text(0)),
              "(could not be read: Hierarchy unreadable. [-2147221221])");
    EXPECT_EQ(toUtf8(topItem->child(2)->text(0)), "Fine");

    // A collection that claims two billion folders, all failing, ends in a few entries and
    // quickly, instead of filling memory.
    auto damaged = std::make_shared<EndlesslyDamagedFolder>();
    m_files["/data/huge.pst"] = damaged;
    m_dataFiles.open(m_session, "/data/huge.pst");
    DataFilePickerDialog again(m_session, m_dataFiles);
    QTreeWidgetItem* huge = treeOf(again)->topLevelItem(1);
    EXPECT_LE(huge->childCount(), 22);
    EXPECT_LE(damaged->m_folders->opened, 21);
    EXPECT_NE(toUtf8(huge->child(huge->childCount() - 1)->text(0)).find("more folders"),
              std::string::npos);
}

// With no data file open OK is off and nothing is current. Open Data File names a file
// that is no data file with the reason and adds nothing, opens nothing when cancelled, and
// adds a data file once, making it current.
TEST_F(PickerTest, OpenDataFileAddsAFileOnceAndNamesOneThatIsNoDataFile) {
    addFile("/data/mail.pst", "Personal Folders");
    addFile("/data/second.pst", "Second");
    DataFilePickerDialog dialog(m_session, m_dataFiles);
    EXPECT_EQ(dialog.currentFolder(), nullptr);
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("btnOK"))->isEnabled());
    std::filesystem::path chosen;
    dialog.setFileChooser([&](QWidget* parent) {
        EXPECT_EQ(parent, &dialog);
        return chosen;
    });
    QTreeWidget* tree = treeOf(dialog);
    for (const char* file : {"/tmp/notes.txt", "", "/data/second.pst"}) {
        chosen = file;
        dialog.findChild<QPushButton*>(QStringLiteral("btnOpenDataFile"))->click();
    }
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_EQ(m_boxes.shown[0].text,
              "The data file /tmp/notes.txt could not be opened: not an Outlook data file.");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(toUtf8(tree->currentItem()->text(0)), "Second");
    EXPECT_EQ(m_settings.get("DataFiles", "Count"), "1");

    dialog.openDataFile("/data/mail.pst");
    EXPECT_EQ(toUtf8(tree->currentItem()->text(0)), "Personal Folders");
    dialog.openDataFile("/data/second.pst");
    EXPECT_EQ(tree->topLevelItemCount(), 2) << "an open file is not listed twice";
    EXPECT_EQ(toUtf8(tree->currentItem()->text(0)), "Second");
    EXPECT_EQ(m_dataFiles.paths().size(), 2u);
    EXPECT_EQ(m_boxes.shown.size(), 1u);
}

// A remembered file that cannot be opened now shows greyed with the reason and cannot be
// picked; Close Data File forgets it, or closes an open file.
TEST_F(PickerTest, UnavailableFileIsShownAndClosedOnlyWhenAsked) {
    addFile("/data/mail.pst", "Personal Folders")->addFolder("Inbox");
    m_settings.set("DataFiles", "Count", "2");
    m_settings.set("DataFiles", "File1", "/media/usb/old.pst");
    m_settings.set("DataFiles", "File2", "/data/mail.pst");
    m_dataFiles.restore(m_session);
    ASSERT_EQ(m_boxes.shown.size(), 1U);

    DataFilePickerDialog dialog(m_session, m_dataFiles);
    QTreeWidget* tree = treeOf(dialog);
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("btnOK"));
    auto* close = dialog.findChild<QPushButton*>(QStringLiteral("btnCloseDataFile"));
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* gone = tree->topLevelItem(1);
    EXPECT_EQ(toUtf8(gone->text(0)), "old.pst (unavailable)");
    EXPECT_EQ(toUtf8(gone->text(1)), "/media/usb/old.pst");
    EXPECT_NE(toUtf8(gone->toolTip(0)).find("not an Outlook data file"), std::string::npos);

    tree->setCurrentItem(gone);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(dialog.currentFolder(), nullptr);
    ASSERT_TRUE(close->isEnabled());
    close->click();
    EXPECT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(m_settings.get("DataFiles", "Count"), "1");
    EXPECT_EQ(m_settings.get("DataFiles", "File1"), "/data/mail.pst");

    // A folder inside a file cannot be closed; the file's top entry can.
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    EXPECT_FALSE(close->isEnabled());
    tree->setCurrentItem(tree->topLevelItem(0));
    close->click();
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_TRUE(m_session.dataFiles().empty());
    EXPECT_EQ(m_settings.get("DataFiles", "Count"), "0");
}

// The prompt names the file, hides what is typed and gives it back; Cancel gives nothing.
// A path as long as a Windows path may be is shortened in the middle, so that the dialog
// stays narrow enough for its buttons to be reached.
TEST(PasswordDialogTest, AsksNamingTheFileWithHiddenTextAndGivesWhatWasTyped) {
    const std::string longPath = "/media/backup/" + std::string(220, 'd') + "/mailbox-2003.pst";
    PasswordDialog prompt;
    for (const std::string& path : {std::string("/data/secret files/locked.pst"), longPath}) {
        const bool cancel = path == longPath;
        testing::answerNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->textEchoMode(), QLineEdit::Password);
            EXPECT_EQ(toUtf8(dialog->windowTitle()), "Tallyvane");
            const std::string label = toUtf8(dialog->labelText());
            EXPECT_NE(label.find(path.substr(path.size() - 10)), std::string::npos) << label;
            EXPECT_LT(dialog->frameGeometry().width(), 640);
            dialog->setTextValue(QStringLiteral("p\u00e4ss word"));
            cancel ? dialog->reject() : dialog->accept();
        });
        EXPECT_EQ(prompt.askPassword(path),
                  cancel ? std::nullopt : std::optional<std::string>("p\xC3\xA4ss word"));
    }
}

TEST(QtMessageBoxesTest, ShowsTheTextTitleAndIconWithOnlyAnOkButton) {
    const std::pair<archive::MessageIcon, QMessageBox::Icon> cases[] = {
        {archive::MessageIcon::Information, QMessageBox::Information},
        {archive::MessageIcon::Exclamation, QMessageBox::Warning},
        {archive::MessageIcon::None, QMessageBox::NoIcon},
    };
    QtMessageBoxes boxes;
    for (const auto& [icon, qtIcon] : cases) {
        testing::answerNextModal([qtIcon = qtIcon](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(toUtf8(box->text()), "No Folders are listed!");
            EXPECT_EQ(toUtf8(box->windowTitle()), "Tallyvane");
            EXPECT_EQ(box->icon(), qtIcon);
            EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            box->button(QMessageBox::Ok)->click();
        });
        boxes.show("No Folders are listed!", icon, "Tallyvane");
    }
}

} // namespace
} // namespace tvn::ui
