#pragma once

// The main window's model: frmMain's state and its command handlers, without Qt. The Qt
// main window (ui/) shows this model through MainWindowView and FolderListObserver and
// forwards every button, menu, double-click and close event to the handler of the same
// name here; it decides nothing itself.
//
// Binding order for a view:
//   FrmMain model(view, boxes, settings);     // view may not call back yet
//   model.sourceList().setObserver(&listView) ...;   // then show the lists
//   model.setFolderPicker(&picker); model.setPasswordPrompt(&prompt);
//   model.Form_Load();
// Every handler reports its failures through its own trap (ErrorMessages) and returns
// normally; the handlers marked "no trap" let a failure pass to the caller as tvn::Failure.
// All calls on the one user-interface thread.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/archive_run.h"
#include "app/data_files.h"
#include "app/dlg_save_location.h"
#include "app/folder_list.h"
#include "app/help_and_about.h"
#include "app/main_view.h"
#include "archive/error_messages.h"
#include "archive/settings_store.h"
#include "archive/text_files.h"
#include "store/object_model.h"
#include "store/session.h"

namespace tvn::app {

// "Tallyvane 2.81": the application title, a blank, the major and the minor version of
// this build.
std::string applicationCaption();

// "c:\Tallyvane" on Windows, $HOME/Tallyvane elsewhere (./Tallyvane when HOME is unset).
std::filesystem::path defaultArchiveRoot();

// The information texts of the traps of this window (leading blanks are part of them).
namespace info {
inline constexpr std::string_view kFormLoad = "Error in Form_Load sub or a sub-function therein.";
inline constexpr std::string_view kGetPst = "Error in btnGetPST sub or a sub-function therein.";
inline constexpr std::string_view kSelect1 = "Error in btnSelect1 sub or a sub-function therein.";
inline constexpr std::string_view kSelectAll =
    "Error in btnSelectAll sub or a sub-function therein.";
inline constexpr std::string_view kRemove1 = "Error in btnRemoveOne sub or a sub-function therein.";
inline constexpr std::string_view kRemoveAll =
    "Error in btnRemoveAll sub or a sub-function therein.";
inline constexpr std::string_view kInitializeOutlook =
    " Error in InitializeOutlook function or a sub-function therein.";
inline constexpr std::string_view kGetFolderInfo =
    " Error in GetFolderInfo sub or a sub-function therein.";
inline constexpr std::string_view kGetFolderObject =
    "Error obtaining MAPI folder object in GetFolderObject.";
inline constexpr std::string_view kFileOpen =
    " Error in nmuFileOpen_Click sub or a sub-function therein.";
inline constexpr std::string_view kHelpContents =
    " Error in nmuHelpContents_Click sub or a sub-function therein.";
inline constexpr std::string_view kNoSubject = "N/A.";
} // namespace info

// The messages of this window, exact.
namespace message {
inline constexpr std::string_view kUnableToOpen =
    "TVN was unable to open your Outlook data file! Please try again.";
inline constexpr std::string_view kFolderWithinDataFile =
    "You selected a Folder within an Outlook data (PST) file. Please select an Outlook data "
    "file!";
inline constexpr std::string_view kUnableToLocate =
    "TVN was unable to locate your .pst file! Please select a valid PST file.";
inline constexpr std::string_view kNoFoldersListed = "No Folders are listed!";
inline constexpr std::string_view kNoFoldersSelected = "No folders are selected for archival!";
inline constexpr std::string_view kErrorsEncountered =
    "TVN encountered errors while processing certain items. You can view the error log at: ";
inline constexpr std::string_view kHelpUnavailable =
    "TVN was unable to display your Help file. Please place TVN_Help.CHM in the Tallyvane "
    "Program Folder and try again!";
inline constexpr std::string_view kFilesCreated = "Your files have been created!";
inline constexpr std::string_view kNoFilesCreated =
    "No files were created. Click Create to archive your files.";
} // namespace message

// "3 Folder(s)".
std::string countText(int count);

struct FrmMainOptions {
    // The archive root Form_Load starts with; empty: defaultArchiveRoot().
    std::filesystem::path root;
    // How data files are opened; empty: dataFileOpener().
    DataFileOpener opener;
};

class FrmMain final {
public:
    // None of the references is owned; each must outlive the model.
    FrmMain(MainWindowView& view, archive::MessageBoxes& boxes, archive::SettingsStore& settings,
            FrmMainOptions options = {});
    // Releases whatever Close Program has not released yet, in its order (closing the log).
    ~FrmMain();
    FrmMain(const FrmMain&) = delete;
    FrmMain& operator=(const FrmMain&) = delete;

    // ---- Start-up and shutdown -------------------------------------------------------
    // Start-up, once, after the view is bound. Each step runs in the Form_Load trap; a
    // failed step is reported (dropped while no log is open yet) and start-up goes on.
    void Form_Load();
    // The main window is closing, whichever way (no trap): unloads the other loaded
    // windows, last loaded first.
    void Form_Unload();
    // Close Program: closes the window, then releases the session, the picked folder, the
    // file systems and last the error log (closing it). No trap.
    void btnExit_Click();
    // File > Exit and the close box only close the window. No trap.
    void mnuFileExit_Click();
    void btnExit_MouseMove();

    // ---- The folder lists ------------------------------------------------------------
    void btnSelect1_Click();
    void lstSource_DblClick() { btnSelect1_Click(); }
    void btnSelectAll_Click();
    void mnuToolsmn_SelectAll_Click() { btnSelectAll_Click(); }
    void btnRemove1_Click();
    void lstDestination_DblClick() { btnRemove1_Click(); }
    // Remove, then GetFolderInfo (lists the data file's folders again).
    void mnuToolsmn_RemoveOne_Click();
    void btnRemoveAll_Click();
    // No trap.
    void btnClearAll_Click();
    void mnuClearAll_Click() { btnClearAll_Click(); }
    // The count refreshers: set txtListed / txtSelected and hand both texts to the view.
    void txtListed_Change();
    void txtSelected_Change();

    // Select Archive Location: the archive-location dialog, modal; the location shown
    // follows what the user confirmed.
    void mnuFileOpen_Click();
    // Help, Contents: the help at its first topic, or the message that it cannot be shown.
    void mnuHelpContents_Click();
    // Help, About: the About box, modal. No trap.
    void mnuHelpAbout_Click();

    // ---- Get Folder List ---------------------------------------------------------------
    void btnGetPST_Click();
    void mnuGetFolderList_Click() { btnGetPST_Click(); }
    // Creates the session when it is unset, asks the picker, and checks that the pick is the
    // top folder of an open data file. True when it is.
    bool InitializeOutlook();
    // Appends the listable folders of the picked data file to the source list.
    void GetFolderInfo();
    // The first folder directly under listedDataFile() whose name equals name exactly
    // (case-sensitive); nullptr when none or when the walk fails.
    std::shared_ptr<store::Folder> GetFolderObject(std::string_view name);

    // ---- The archive run ---------------------------------------------------------------
    // Create: archives every entry of the archive list into the root getPath gives, with the
    // progress window showing how far it got, and ends with the messages that tell whether
    // errors were logged and whether files were created.
    void btnCreate_Click();
    void mnuCreateFiles_Click() { btnCreate_Click(); }
    // The commands a run disables, in the order it disables them and enables them again.
    static const std::vector<std::string_view>& runCommands();

    // ---- Services for the ui -----------------------------------------------------------
    // The progress window runs show; not owned (nullptr: none is shown).
    void setProgressWindow(ProgressWindow* window) { m_progress = window; }
    DlgSaveLocation& saveLocation() { return m_saveLocation; }
    // Opens the archive-location dialog over the model's saveLocation(); not owned.
    void setLocationDialog(WindowOpener* dialog) { m_locationDialog = dialog; }
    // The help viewer and the help's first topic (viewer nullptr or file empty: no help).
    void setHelp(HelpViewer* viewer, std::filesystem::path firstTopic) {
        m_helpViewer = viewer;
        m_helpFile = std::move(firstTopic);
    }
    void setAboutBox(WindowOpener* about) { m_about = about; }
    // The error log that holds this session's entries (empty while none is open).
    const std::filesystem::path& openLogPath() const { return m_openLogPath; }
    // Installed on the session now and whenever it is created again. Not owned (nullptr: none).
    void setFolderPicker(store::FolderPicker* picker);
    void setPasswordPrompt(store::PasswordPrompt* prompt);
    // The session, created when unset: a new session with the remembered data files reopened
    // (a file that cannot be opened is dropped with a message). The picker dialog and
    // "Open Data File..." use it. May throw tvn::Failure only from the view or boxes.
    store::Session& application();
    DataFiles& dataFiles() { return m_dataFiles; }
    LoadedWindows& windows() { return m_windows; }
    archive::ErrorReporter& reporter() { return m_reporter; }
    archive::MessageBoxes& messageBoxes() { return m_boxes; }
    archive::SettingsStore& settings() { return m_settings; }
    // The window caption Form_Load set (empty before).
    const std::string& caption() const { return m_caption; }
    // True between a completed btnExit_Click release and the end of the model.
    bool released() const { return m_released; }

    // The two folder lists: what the data file offers and what the next run archives.
    FolderList& sourceList() { return m_sourceList; }
    FolderList& archiveList() { return m_archiveList; }
    // The top folder of the data file listed last (nullptr before); Select All and the run
    // read it.
    const std::shared_ptr<store::Folder>& listedDataFile() const { return m_listedTop; }

private:
    void releaseAll();
    // The archive root made if missing (one level), the log path under it, and a new log
    // there unless one is open: the steps start-up and Create share, in their trap.
    void rootAndLog(archive::ErrorTrap& trap);

    FolderList m_sourceList{"lstSource", false};
    FolderList m_archiveList{"lstDestination", true};
    // The count texts ("3 Folder(s)") as the view last got them.
    std::string m_listedText;
    std::string m_selectedText;
    // Kept between commands, as attaching to a running application would be.
    std::shared_ptr<store::Session> m_session;
    // The folder the user picked last, and its subfolders.
    std::shared_ptr<store::Folder> m_picked;
    std::shared_ptr<store::Folders> m_pickedSubfolders;
    std::shared_ptr<store::Folder> m_listedTop;
    // File systems: one for the root and the log, one for the run's directories and files.
    // Unset before Form_Load and after Close Program.
    std::optional<archive::FileSystem> m_rootFiles;
    std::optional<archive::FileSystem> m_runFiles;
    // The archive root of the current run and the error log's path under it.
    std::filesystem::path m_archiveRoot;
    std::filesystem::path m_logPath;

    MainWindowView& m_view;
    archive::MessageBoxes& m_boxes;
    archive::SettingsStore& m_settings;
    archive::ErrorReporter m_reporter;
    DataFiles m_dataFiles;
    LoadedWindows m_windows;
    std::filesystem::path m_root;
    std::string m_caption;
    store::FolderPicker* m_picker = nullptr;
    store::PasswordPrompt* m_prompt = nullptr;
    ProgressWindow* m_progress = nullptr;
    WindowOpener* m_locationDialog = nullptr;
    WindowOpener* m_about = nullptr;
    HelpViewer* m_helpViewer = nullptr;
    std::filesystem::path m_helpFile;
    DlgSaveLocation m_saveLocation;
    std::filesystem::path m_openLogPath;
    bool m_released = false;
};

} // namespace tvn::app
