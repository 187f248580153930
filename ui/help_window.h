#pragma once

// The help viewer: the HTML help that ships with the program, in a browser of its own
// (QTextBrowser: links between topics, back and forward, no web engine). Modeless, so the
// help can stay open beside the main window.

#include <filesystem>

#include <QWidget>

#include "app/help_and_about.h"
#include "app/main_view.h"

class QTextBrowser;

namespace tvn::ui {

class HelpWindow final : public QWidget, public app::HelpViewer, public app::LoadedWindow {
    Q_OBJECT
public:
    // windows: where the shown help registers, so that it closes with the main window.
    // Not owned; it must outlive the help window.
    explicit HelpWindow(app::LoadedWindows& windows, QWidget* parent = nullptr);
    ~HelpWindow() override;

    // Opens firstTopic and shows the window; false, with nothing shown, when the file
    // cannot be read.
    bool showHelp(const std::filesystem::path& firstTopic) override;

    QTextBrowser* browser() const { return m_browser; }

    void unloadWindow() override;

private:
    app::LoadedWindows& m_windows;
    QTextBrowser* m_browser = nullptr;
};

} // namespace tvn::ui
