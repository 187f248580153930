#pragma once

// frmProgressBar: the small modeless window "TVN Progress Bar" that shows how far a run has
// got through the chosen folders. It loads on its first use by a run, appearing where it
// stood when the program last ended (kept in twips in the settings store), stays loaded but
// hidden between runs, and stores its place when it is unloaded with the main window,
// unless it is minimised then.

#include <QPointer>
#include <QWidget>

#include "app/main_view.h"
#include "app/progress_place.h"
#include "archive/settings_store.h"

class QLabel;
class QProgressBar;

namespace tvn::ui {

class ProgressBarWindow final : public QWidget,
                                public app::ProgressWindow,
                                public app::LoadedWindow {
    Q_OBJECT
public:
    // Neither reference is owned; both must outlive the window. parent: the main window,
    // which the progress window stays in front of.
    ProgressBarWindow(archive::SettingsStore& settings, app::LoadedWindows& windows,
                      QWidget* parent = nullptr);
    ~ProgressBarWindow() override;

    bool loaded() const { return m_loaded; }
    QProgressBar* bar() const { return m_bar; }

    // Pixels per twip on the screen the window is on (1/15 at 96 dots per inch).
    double pixelsPerTwip() const;

    // ---- app::ProgressWindow (each loads the window first if it is not loaded) ----------
    void setMinimum(int value) override;
    void setMaximum(int value) override;
    void showModeless() override;
    void activate() override;
    void setVisible(bool visible) override;
    void setValue(int value) override;

    // ---- app::LoadedWindow -------------------------------------------------------------
    // Unloads the other loaded windows, last loaded first, then stores the place unless
    // the window is minimised, and hides it.
    void unloadWindow() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void load();

    archive::SettingsStore& m_settings;
    app::LoadedWindows& m_windows;
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
    bool m_loaded = false;
};

} // namespace tvn::ui
