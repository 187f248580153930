#pragma once

// dlgSaveLocation on screen: the instruction, the drive list, the directory list, the path
// box, a line that says what went wrong, and New Folder, OK and Cancel. The dialog decides
// nothing: it shows app::DlgSaveLocation and hands every pick and click to it. Opened
// modal over the main window, which takes no input until OK or Cancel.

#include <string>
#include <string_view>
#include <vector>

#include <QDialog>

#include "app/dlg_save_location.h"
#include "app/main_view.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace tvn::ui {

class SaveLocationDialog final : public QDialog,
                                 public app::SaveLocationView,
                                 public app::UserPrompts {
    Q_OBJECT
public:
    // Binds itself to model and loads it (the walk of the remembered path runs here). The
    // model is not owned and must outlive the dialog.
    explicit SaveLocationDialog(app::DlgSaveLocation& model, QWidget* parent = nullptr);
    ~SaveLocationDialog() override;

    // Escape and the close box are Cancel.
    void reject() override;

    // ---- app::SaveLocationView ---------------------------------------------------------
    void setCaption(std::string_view caption) override;
    void showDrives(const std::vector<app::Drive>& drives, int current) override;
    void showDirectory(const app::DirectoryListing& listing) override;
    void setPathText(std::string_view text) override;
    std::string pathText() const override;
    void showProblem(std::string_view text) override;
    void makeVisible() override;
    void closeDialog() override;

    // ---- app::UserPrompts --------------------------------------------------------------
    std::string inputBox(std::string_view prompt, std::string_view title,
                         std::string_view defaultText) override;
    bool okCancel(std::string_view text, std::string_view title) override;

private:
    void openListed(QListWidgetItem* item);

    app::DlgSaveLocation& m_model;
    QComboBox* m_drives = nullptr;
    QListWidget* m_dirs = nullptr;
    QLineEdit* m_path = nullptr;
    QLabel* m_problem = nullptr;
    bool m_closing = false;
};

// Opens the dialog modal over parent each time the File menu asks for it.
class SaveLocationOpener final : public app::WindowOpener {
public:
    SaveLocationOpener(app::DlgSaveLocation& model, QWidget* parent)
        : m_model(model), m_parent(parent) {}
    void open() override;

private:
    app::DlgSaveLocation& m_model;
    QWidget* m_parent;
};

} // namespace tvn::ui
