#pragma once

// Helpers shared by the window tests: the app tests' message-box recorder, answering a modal dialog
// that a call is about to run, reading the texts of lists and trees, and where
// screenshots go.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <QAbstractItemView>
#include <QApplication>
#include <QString>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include "tests/app/app_test_support.h"
#include "ui/data_file_picker.h"
#include "ui/qt_text.h"

namespace tvn::ui::testing {

// Records every message instead of showing it, so that nothing blocks.
using app::testing::RecordingBoxes;

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

// Makes the picker's next dialogs answer at once: OK on the current tree entry (the first
// data file's top folder, or its child pickRow), or Cancel.
inline void answerPicker(DataFilePicker& picker, bool accept, int pickRow = -1) {
    picker.setDialogHook([accept, pickRow](DataFilePickerDialog& dialog) {
        auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("tvwFolders"));
        if (pickRow >= 0) {
            tree->setCurrentItem(tree->topLevelItem(0)->child(pickRow));
        }
        QTimer::singleShot(0, &dialog,
                           [&dialog, accept] { accept ? dialog.accept() : dialog.reject(); });
    });
}

// The texts a list view shows, top to bottom.
inline std::vector<std::string> listTexts(const QAbstractItemView* list) {
    std::vector<std::string> texts;
    const QAbstractItemModel* model = list->model();
    for (int i = 0; i < model->rowCount(); ++i) {
        texts.push_back(toUtf8(model->index(i, 0).data().toString()));
    }
    return texts;
}

inline std::vector<std::string> childTexts(const QTreeWidgetItem* item) {
    std::vector<std::string> texts;
    for (int i = 0; i < item->childCount(); ++i) {
        texts.push_back(toUtf8(item->child(i)->text(0)));
    }
    return texts;
}

// Screenshots are written to the build directory, never to the source tree.
inline std::filesystem::path screenshotPath(std::string_view name) {
    const std::filesystem::path dir(TALLYVANE_SCREENSHOT_DIR);
    std::filesystem::create_directories(dir);
    return dir / (std::string(name) + ".png");
}

} // namespace tvn::ui::testing
