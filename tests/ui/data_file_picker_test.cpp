#include <cstdint>

#include <QInputDialog>
#include <QLineEdit>
#include <QTreeWidget>

#include "tests/ui/ui_test_support.h"
#include "ui/password_dialog.h"

namespace tvn::ui {
namespace {

using store::ItemType;
using Texts = std::vector<std::string>;

Texts childTexts(const QTreeWidgetItem* item) {
    Texts texts;
    for (int i = 0; i < item->childCount(); ++i) {
        texts.push_back(toUtf8(item->child(i)->text(0)));
    }
    return texts;
}

// A folder whose subfolder collection claims more folders than anyone could show, every
// one of which fails to open: what a damaged hierarchy may look like.
struct AllFail final : store::Folders {
    std::int32_t count() const override { return 2'000'000'000; }
    std::shared_ptr<store::Folder> item(std::int32_t) const override {
        ++opened;
        throw Failure(err::kCorruptData, "The hierarchy row is damaged.");
    }
    using store::Folders::item;
    mutable std::int64_t opened = 0;
};
struct EndlesslyDamagedFolder final : store::Folder {
    std::string name() const override { return "Damaged"; }
    ItemType defaultItemType() const override { return ItemType::Mail; }
    std::shared_ptr<store::Folders> folders() const override { return m_folders; }
    std::shared_ptr<store::Items> items() const override { return nullptr; }
    std::shared_ptr<AllFail> m_folders = std::make_shared<AllFail>();
};

class PickerTest : public testing::WindowTest {
protected:
    std::shared_ptr<store::memory::MemoryFolder> addFile(const std::string& path,
                                                         const std::string& top) {
        auto folder = store::memory::MemoryFolder::make(top);
        files[path] = folder;
        return folder;
    }
    template <typename W> W* find(const char* name) const {
        return m_dialog->findChild<W*>(QString::fromLatin1(name));
    }
    QTreeWidget* openDialog() {
        m_dialog = std::make_unique<DataFilePickerDialog>(session(), window->model().dataFiles());
        return find<QTreeWidget>("tvwFolders");
    }
    store::Session& session() { return window->model().application(); }

    std::unique_ptr<DataFilePickerDialog> m_dialog;
};

// Each data file shows with its first level, every folder, journals too: the picker shows
// the file as it is. Deeper levels are read only when expanded, and once. Damage shows as
// greyed entries that cannot be picked; the rest of the tree is usable, and a collection
// that claims two billion folders, all failing, ends in a few entries and quickly, instead
// of filling memory.
TEST_F(PickerTest, TreeShowsEachFileAsItIsReadsDeeperOnlyWhenExpandedAndShowsDamage) {
    auto mail = addFile("/data/mail.pst", "Personal Folders");
    mail->addFolder("Inbox")->addFolder("Receipts")->addFolder("2003");
    mail->addFolder("Journal", ItemType::Journal);
    mail->addFolder("Unnamed")->failName(Failure(err::kCorruptData, "Name unreadable."));
    mail->addFolder("Closed")->failFolders(Failure(err::kCorruptData, "Hierarchy unreadable."));
    addFile("/data/old.ost", "Archive Folders")->addFolder("2001");
    auto damaged = std::make_shared<EndlesslyDamagedFolder>();
    files["/data/huge.pst"] = damaged;
    for (const char* file : {"/data/mail.pst", "/data/old.ost", "/data/huge.pst"}) {
        window->openDataFile(file);
    }
    QTreeWidget* tree = openDialog();
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    QTreeWidgetItem* top = tree->topLevelItem(0);
    EXPECT_EQ(toUtf8(top->text(1)), "/data/mail.pst");
    EXPECT_EQ(childTexts(top),
              (Texts{"Inbox", "Journal", "(could not be read: Name unreadable. [-2147221221])",
                     "Closed"}));
    QTreeWidgetItem* inbox = top->child(0);
    EXPECT_EQ(inbox->childCount(), 0);
    for (bool expanded : {true, false, true}) {
        inbox->setExpanded(expanded);
    }
    EXPECT_EQ(childTexts(inbox), Texts{"Receipts"});
    top->child(3)->setExpanded(true);
    EXPECT_EQ(childTexts(top->child(3)),
              Texts{"(could not be read: Hierarchy unreadable. [-2147221221])"});
    tree->setCurrentItem(top->child(2));
    EXPECT_NE(tree->currentItem(), top->child(2));
    // The first data file's top folder is current, and OK picks exactly that object.
    EXPECT_EQ(m_dialog->currentFolder(), session().dataFiles()[0]);
    tree->setCurrentItem(inbox->child(0));
    EXPECT_EQ(m_dialog->currentFolder()->name(), "Receipts");

    QTreeWidgetItem* huge = tree->topLevelItem(2);
    EXPECT_LE(huge->childCount(), 22);
    EXPECT_LE(damaged->m_folders->opened, 21);
    EXPECT_NE(toUtf8(huge->child(huge->childCount() - 1)->text(0)).find("more folders"),
              std::string::npos);
    m_dialog->show();
    testing::saveScreenshot(*m_dialog, "data_file_picker");
}

// A remembered file that cannot be opened now shows greyed with the reason and cannot be
// picked. Open Data File names a file that is no data file, opens nothing when cancelled,
// and adds a data file, making it current. Close Data File forgets an unavailable
// file or closes an open one, never a folder inside a file.
TEST_F(PickerTest, OpenAndCloseDataFilesAndAnUnavailableOne) {
    addFile("/data/mail.pst", "Personal Folders")->addFolder("Inbox");
    addFile("/data/second.pst", "Second");
    settings.set("DataFiles", "Count", "1");
    settings.set("DataFiles", "File1", "/media/usb/old.pst");
    makeWindow();
    session();
    boxes.shown.clear();
    QTreeWidget* tree = openDialog();
    auto* close = find<QPushButton>("btnCloseDataFile");
    QTreeWidgetItem* gone = tree->topLevelItem(0);
    EXPECT_EQ(toUtf8(gone->text(0) + u'|' + gone->text(1)),
              "old.pst (unavailable)|/media/usb/old.pst");
    EXPECT_NE(toUtf8(gone->toolTip(0)).find("does not exist"), std::string::npos);
    tree->setCurrentItem(gone);
    EXPECT_FALSE(find<QPushButton>("btnOK")->isEnabled());
    EXPECT_EQ(m_dialog->currentFolder(), nullptr);

    std::filesystem::path chosen;
    m_dialog->setFileChooser([&](QWidget*) { return chosen; });
    for (const char* file : {"/tmp/notes.txt", "", "/data/mail.pst", "/data/second.pst"}) {
        chosen = file;
        find<QPushButton>("btnOpenDataFile")->click();
    }
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("/tmp/notes.txt"), std::string::npos);
    EXPECT_EQ(toUtf8(tree->currentItem()->text(0)), "Second");

    tree->setCurrentItem(tree->topLevelItem(1)->child(0));
    EXPECT_FALSE(close->isEnabled());
    for (const char* name : {"old.pst (unavailable)", "Personal Folders"}) {
        tree->setCurrentItem(tree->findItems(QString::fromUtf8(name), Qt::MatchExactly)[0]);
        ASSERT_TRUE(close->isEnabled()) << name;
        close->click();
    }
    EXPECT_EQ(childTexts(tree->invisibleRootItem()), Texts{"Second"});
    EXPECT_TRUE(window->model().dataFiles().unavailable().empty());
    EXPECT_EQ(session().dataFiles().size(), 1U);
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

} // namespace
} // namespace tvn::ui
