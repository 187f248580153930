#pragma once

// Helpers the window tests share: answering a modal dialog or the picker, a list view's
// texts, screenshots, and a started main window to drive.

#include <functional>
#include <ranges>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "tests/app/app_test_support.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace tvn::ui::testing {

using app::testing::RecordingBoxes; // records every message instead of showing it

// Runs answer on the next modal dialog once it is up (polling the event loop the dialog
// runs), so that a test can call something that blocks in exec(). The answer must close
// the dialog.
inline void answerNextModal(std::function<void(QWidget*)> answer, int triesLeft = 500) {
    QTimer::singleShot(10, [answer = std::move(answer), triesLeft]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            answer(modal);
        } else if (triesLeft > 0) {
            answerNextModal(std::move(answer), triesLeft - 1);
        }
    });
}

// Makes the picker's next dialogs answer OK at once, on the first data file's top folder.
inline void answerPicker(DataFilePicker& picker) {
    picker.setDialogHook([](DataFilePickerDialog& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.accept(); });
    });
}

inline std::vector<std::string> listTexts(const QAbstractItemView* list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list->model()->rowCount(); ++i) {
        texts.push_back(toUtf8(list->model()->index(i, 0).data().toString()));
    }
    return texts;
}

// Screenshots are written to the build directory, never to the source tree.
inline void saveScreenshot(QWidget& widget, std::string_view name) {
    const std::filesystem::path dir(TALLYVANE_SCREENSHOT_DIR);
    std::filesystem::create_directories(dir);
    QApplication::processEvents();
    EXPECT_TRUE(widget.grab().save(fromPath(dir / (std::string(name) + ".png")), "PNG")) << name;
}

// A started main window over a temporary archive root. Files named in `files` come from
// memory; any other goes to the program's own opener (the reader).
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        makeWindow();
    }
    void TearDown() override {
        window.reset();
        QApplication::processEvents();
    }
    void makeWindow() {
        window.reset();
        app::FrmMainOptions options;
        options.root = toPath(root.path()) / "Tallyvane";
        options.opener = [this](const std::filesystem::path& file,
                                store::PasswordPrompt* prompt) -> std::shared_ptr<store::Folder> {
            const auto found = files.find(file.string());
            return found != files.end() ? found->second : app::dataFileOpener()(file, prompt);
        };
        window = std::make_unique<MainWindow>(boxes, settings, std::move(options));
        window->start();
    }
    // "/data/mail.pst" in memory, opened: four listable folders, a journal that is never
    // listed and a deeper folder that is never listed either.
    void openMailFile() {
        auto top = store::memory::MemoryFolder::make("Personal Folders");
        top->addFolder("Inbox")->addFolder("Receipts");
        top->addFolder("Calendar", store::ItemType::Appointment);
        top->addFolder("Journal", store::ItemType::Journal);
        top->addFolder("Contacts", store::ItemType::Contact);
        top->addFolder("Deleted Items");
        files["/data/mail.pst"] = top;
        window->openDataFile("/data/mail.pst");
    }

    template <typename W = QWidget> W* child(const char* name) const {
        W* widget = window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void click(const char* button) const { child<QPushButton>(button)->click(); }
    void choose(const char* entry) const { child<QAction>(entry)->trigger(); }
    std::vector<std::string> listed(const char* list) const {
        return listTexts(child<QAbstractItemView>(list));
    }
    std::vector<std::string> messages() const {
        const auto texts = boxes.shown | std::views::transform(&app::testing::ShownMessage::text);
        return {texts.begin(), texts.end()};
    }
    // Get Folder List with the first data file's top folder picked.
    void getFolderList() {
        answerPicker(window->folderPicker());
        click("btnGetPST");
        window->folderPicker().setDialogHook({});
    }

    QTemporaryDir root;
    RecordingBoxes boxes;
    archive::MemorySettingsStore settings;
    std::map<std::string, std::shared_ptr<store::Folder>> files;
    std::unique_ptr<MainWindow> window;
};

} // namespace tvn::ui::testing
