#pragma once

// The archive-location dialog's model (dlgSaveLocation): the drive list, the directory list,
// the path box and the buttons as state and handlers, without Qt. The Qt dialog (ui/) shows
// the model through SaveLocationView and forwards every pick and click to the handler of
// the same name; the model outlives every showing of the dialog, because the run asks it
// for the archive root (getPath) whether or not the dialog was ever shown.
//
// Paths are UTF-8 text with the host's separator ("/home/ann/Tallyvane", "c:\Tallyvane").

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/drives.h"
#include "archive/error_messages.h"
#include "archive/settings_store.h"
#include "archive/text_files.h"

namespace tvn::app {

// How the dialog asks the user for a text and for a yes-or-no.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // An input prompt with OK and Cancel; empty when cancelled or nothing was typed.
    virtual std::string inputBox(std::string_view prompt, std::string_view title,
                                 std::string_view defaultText) = 0;
    // A message with OK and Cancel buttons; true for OK.
    virtual bool okCancel(std::string_view text, std::string_view title) = 0;
};

// What the directory list shows: the chain from the drive's root down to the current
// directory, then the current directory's subdirectories (names only, sorted).
struct DirectoryListing {
    std::string path;
    std::vector<std::string> ancestors;
    std::vector<std::string> children;
};

// The dialog's widgets, as the model drives them.
class SaveLocationView {
public:
    virtual ~SaveLocationView() = default;
    virtual void setCaption(std::string_view caption) = 0;
    // The drive list's entries and the one shown as current (-1: none).
    virtual void showDrives(const std::vector<Drive>& drives, int current) = 0;
    virtual void showDirectory(const DirectoryListing& listing) = 0;
    virtual void setPathText(std::string_view text) = 0;
    virtual std::string pathText() const = 0;
    // A line inside the dialog that says what went wrong; empty clears it.
    virtual void showProblem(std::string_view text) = 0;
    virtual void makeVisible() = 0;
    // Unloads the dialog (after OK or Cancel).
    virtual void closeDialog() = 0;
};

// The texts of the dialog, exact.
namespace location {
inline constexpr std::string_view kFormLoadInfo =
    " Error in dlgSaveLocation.Form_Load sub or a sub-function therein.";
inline constexpr std::string_view kFormLoadSubject = "N/A.";
inline constexpr std::string_view kInstruction =
    "Please select the location to which \r\nyou would like to save your files.\r\n";
inline constexpr std::string_view kNewFolderPrompt = "Please type a name for the new folder: ";
inline constexpr std::string_view kNewFolderTitle = "New Folder";
inline constexpr std::string_view kTypeAName = "Type a name for the new folder.";
} // namespace location

// True where the host's file systems ignore the case of names (Windows, macOS), so that an
// upper-cased path names the same directory. Elsewhere upper-casing would name another one.
bool fileSystemIgnoresCase();

struct DlgSaveLocationOptions {
    // Where the drives come from; empty: userDrives() of the running system.
    std::function<std::vector<Drive>()> drives;
    // Whether OK upper-cases the path; empty: fileSystemIgnoresCase().
    std::optional<bool> ignoresCase;
};

class DlgSaveLocation final {
public:
    // defaultRoot: what getPath gives until a location is confirmed ("c:\Tallyvane" on
    // Windows, $HOME/Tallyvane elsewhere). Neither reference is owned.
    DlgSaveLocation(archive::SettingsStore& settings, archive::ErrorReporter& reporter,
                    std::filesystem::path defaultRoot, DlgSaveLocationOptions options = {});

    // The root a run writes to: the location last confirmed with OK since the program
    // started, otherwise the default. Shows nothing and reads no setting.
    std::filesystem::path getPath() const;

    // ---- One showing of the dialog ---------------------------------------------------
    // The Qt dialog binds itself, then calls Form_Load; it unbinds (nullptr) before it goes.
    void bind(SaveLocationView* view, UserPrompts* prompts);
    // Loading: the drive list, then the walk of the remembered path, which re-creates the
    // directories that are missing; failures go to the error log (and to the dialog's
    // problem line) and loading goes on. The walk stops at a directory it cannot create.
    void Form_Load();
    // The user picked drive index in the drive list. A drive that cannot be read leaves the
    // directory where it was and says why.
    void Drive1_Change(int index);
    // The user opened a directory of the directory list (or typed a path the ui resolved).
    // False, with the reason shown, when it cannot be listed; nothing changes then.
    bool Dir1_Change(const std::string& path);
    void cmdNewFldr_Click();
    void OKButton_Click();
    void CancelButton_Click();

    // The directory list's current directory (Dir1.Path).
    const std::string& currentDirectory() const { return m_dir; }
    const std::vector<Drive>& drives() const { return m_drives; }

    // The location last confirmed with OK since the program started; empty until then.
    std::string strSavePath;
    // The remembered path read when the dialog was loaded.
    std::string strGetPrevPath1;

private:
    // Sets Dir1's path (the listing is read first; throws tvn::Failure when it cannot be)
    // and makes the drive list and the path box follow it.
    void setDir(const std::string& path);
    std::string createFolderUnder(const std::string& name, const std::string& parent);
    int driveIndexOf(const std::string& path) const;
    void problem(std::string_view text);

    archive::SettingsStore& m_settings;
    archive::ErrorReporter& m_reporter;
    std::filesystem::path m_default;
    DlgSaveLocationOptions m_options;
    archive::FileSystem m_fso;
    SaveLocationView* m_view = nullptr;
    UserPrompts* m_prompts = nullptr;
    std::vector<Drive> m_drives;
    std::string m_dir;
};

// Lists the subdirectories of path (sorted, names only; hidden ones, whose names start
// with ".", left out). Throws tvn::Failure 76 when path is not a directory, 70 when it
// cannot be read, 75 for any other failure.
DirectoryListing listDirectory(const std::string& path);

} // namespace tvn::app
