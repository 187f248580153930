#pragma once

// Helpers shared by the window tests: a message-box recorder, answering a modal dialog
// that a call is about to run, and where screenshots go.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "archive/error_messages.h"

namespace tvn::ui::testing {

// Records every message instead of showing it, so that nothing blocks.
class RecordingBoxes final : public archive::MessageBoxes {
public:
    struct Shown {
        std::string text;
        archive::MessageIcon icon;
        std::string title;
    };
    void show(std::string_view text, archive::MessageIcon icon, std::string_view title) override {
        shown.push_back({std::string(text), icon, std::string(title)});
    }
    std::vector<Shown> shown;
};

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

// Screenshots are written to the build directory, never to the source tree.
inline std::filesystem::path screenshotPath(std::string_view name) {
    const std::filesystem::path dir(TALLYVANE_SCREENSHOT_DIR);
    std::filesystem::create_directories(dir);
    return dir / (std::string(name) + ".png");
}

} // namespace tvn::ui::testing
