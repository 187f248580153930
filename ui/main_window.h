#pragma once

// frmMain on screen: the two folder lists with their labels and counts, the move buttons
// between them, the command buttons, the menu bar and the status strip. The window decides
// nothing: it shows the model (app::FrmMain) and hands every click, double-click, menu
// choice and close to the model's handler of the same name.
//
// Object names, captions and tooltips are those of the program's control table, so that
// tests and accessibility tools find every control by its name (findChild<QPushButton*>
// ("btnCreate")).

#include <memory>
#include <string_view>
#include <vector>

#include <QMainWindow>

#include "app/frm_main.h"
#include "app/main_view.h"
#include "archive/error_messages.h"
#include "archive/settings_store.h"
#include "ui/about_box.h"
#include "ui/data_file_picker.h"
#include "ui/help_window.h"
#include "ui/password_dialog.h"
#include "ui/progress_window.h"
#include "ui/save_location_dialog.h"

class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;

namespace tvn::ui {

class MainWindow final : public QMainWindow, public app::MainWindowView {
    Q_OBJECT
public:
    // Neither reference is owned; both must outlive the window. boxes shows every message
    // of the program (tests pass a recorder so that nothing blocks); options pass to the
    // model (tests give a temporary archive root and a data-file opener of their own).
    MainWindow(archive::MessageBoxes& boxes, archive::SettingsStore& settings,
               app::FrmMainOptions options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: the model's Form_Load (shows the window, sets the caption and counts,
    // creates the archive root and the error log).
    void start();

    // Opens a data file so that the picker shows it; a message says why when it cannot be.
    void openDataFile(const std::filesystem::path& file);
    // Opens the files once the window is on the screen (start() shows it), so that a
    // message about one of them stands over the window, not in a corner of the screen
    // where a window manager that has not placed the window yet would put it.
    void openDataFilesWhenShown(std::vector<std::filesystem::path> files);

    app::FrmMain& model() { return *m_model; }
    DataFilePicker& folderPicker() { return *m_picker; }
    ProgressBarWindow& progressWindow() { return *m_progress; }
    HelpWindow& helpWindow() { return *m_help; }

    // ---- app::MainWindowView -----------------------------------------------------------
    void showWindow() override;
    void restoreNormal() override;
    void activate() override;
    void setCaption(std::string_view caption) override;
    void setCountTexts(std::string_view listed, std::string_view selected) override;
    void closeWindow() override;
    void resetMousePointer() override;
    void setHourglass(bool on) override;
    void setCommandEnabled(std::string_view control, bool enabled) override;
    void repaint() override;
    void showArchiveLocation(std::string_view path) override;
    void showDataFile(std::string_view path) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void connectControls();
    // Shows a folder list of the model in its view.
    void bindList(QListView* view, app::FolderList& list);
    // Runs a handler of the model. A handler with no trap lets a failure through; it is
    // shown as a message instead of ending the program inside Qt's event loop.
    template <typename Handler> void run(Handler&& handler);

    std::unique_ptr<app::FrmMain> m_model;
    std::unique_ptr<DataFilePicker> m_picker;
    PasswordDialog m_password;
    std::unique_ptr<ProgressBarWindow> m_progress;
    std::unique_ptr<SaveLocationOpener> m_locationDialog;
    std::unique_ptr<HelpWindow> m_help;
    std::unique_ptr<AboutOpener> m_about;

    QListView* m_lstSource = nullptr;
    QListView* m_lstDestination = nullptr;
    QLineEdit* m_txtListed = nullptr;
    QLineEdit* m_txtSelected = nullptr;
    QPushButton* m_btnExit = nullptr;
    QLabel* m_location = nullptr;
    QLabel* m_dataFile = nullptr;
    QLabel* m_hint = nullptr;
    bool m_unloaded = false;
    std::vector<std::filesystem::path> m_filesToOpen;
};

} // namespace tvn::ui
