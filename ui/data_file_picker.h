#pragma once

// What stands in for Outlook's folder picker: a dialog showing the folder trees of the open
// data files, with "Open Data File..." to add another .pst/.ost. The user picks one folder;
// Get Folder List then checks that it is a data file's top folder.
//
// Folder trees are read lazily, one level when an entry is first expanded, so that a file
// with thousands of folders opens at once. A folder that cannot be read shows as a greyed
// entry naming the failure; it never stops the dialog.

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include <QDialog>
#include <QPointer>

#include "app/data_files.h"
#include "store/object_model.h"
#include "store/session.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tvn::ui {

// The dialog itself, one per pick. Tests drive it directly without exec().
class DataFilePickerDialog final : public QDialog {
    Q_OBJECT
public:
    // Neither is owned; both must outlive the dialog. Messages about files that cannot be
    // opened go to the data files' message boxes.
    DataFilePickerDialog(store::Session& session, app::DataFiles& dataFiles,
                         QWidget* parent = nullptr);
    ~DataFilePickerDialog() override;

    // The folder of the current tree entry; nullptr when none (or a failure entry) is
    // current.
    std::shared_ptr<store::Folder> currentFolder() const;

    // What the Open Data File button does once a file was chosen: opens it through the
    // data files (which remember it), shows its tree and makes its top folder current.
    // A file that cannot be opened is named in an exclamation message saying why, and the
    // tree stays as it was.
    void openDataFile(const std::filesystem::path& file);

    // Asks which file to open. Replaceable so that tests need no file dialog; by default a
    // QFileDialog filtered to "Outlook data files (*.pst *.ost)" and "All files (*)".
    // Returns an empty path when the user cancels.
    using FileChooser = std::function<std::filesystem::path(QWidget* parent)>;
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }

    // The filters the default file dialog offers.
    static QString fileFilters();

private:
    void rebuildTree();
    QTreeWidgetItem* addFolderItem(QTreeWidgetItem* parent, std::shared_ptr<store::Folder> folder);
    void addFailureItem(QTreeWidgetItem* parent, const QString& text);
    void expandItem(QTreeWidgetItem* item);
    void chooseAndOpen();
    void updateOkButton();
    // Close Data File: closes and forgets the data file of the current top-level entry,
    // or forgets the remembered file that cannot be opened now.
    void closeCurrentDataFile();

    store::Session& m_session;
    app::DataFiles& m_dataFiles;
    FileChooser m_chooser;
    QTreeWidget* m_tree = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_close = nullptr;
    // The folders shown; a tree entry holds the index of its folder here (-1: none).
    std::vector<std::shared_ptr<store::Folder>> m_folders;
};

// The store::FolderPicker the main window installs in the session: one modal dialog per
// pick.
class DataFilePicker final : public store::FolderPicker {
public:
    // The session whose data files are shown, asked at each pick (the model creates its
    // session again when it was released).
    using SessionSource = std::function<store::Session&()>;

    // Neither reference is owned; both must outlive the picker. parent may be null and may
    // go away first.
    DataFilePicker(SessionSource session, app::DataFiles& dataFiles, QWidget* parent = nullptr);

    void setParent(QWidget* parent) { m_parent = parent; }

    // Runs the dialog modally. nullptr when the user cancels.
    std::shared_ptr<store::Folder> pickFolder() override;

    // Called with each dialog before it runs (tests answer it from here).
    void setDialogHook(std::function<void(DataFilePickerDialog&)> hook) {
        m_hook = std::move(hook);
    }

private:
    SessionSource m_session;
    app::DataFiles& m_dataFiles;
    QPointer<QWidget> m_parent;
    std::function<void(DataFilePickerDialog&)> m_hook;
};

} // namespace tvn::ui
