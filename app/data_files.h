#pragma once

// The open data files of the program: the files the picker shows, each opened through the
// data-file opener and added to the session, remembered in the settings store so that the
// next start shows them again. Kept in a section of its own, apart from the window's
// settings: section "DataFiles", "Count" = n, "File1" .. "Filen" = the paths as UTF-8, in
// opening order.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/error_messages.h"
#include "archive/settings_store.h"
#include "store/failure.h"
#include "store/object_model.h"
#include "store/session.h"

namespace tvn::app {

inline constexpr std::string_view kDataFilesSection = "DataFiles";
inline constexpr std::string_view kDataFilesCount = "Count";
// "File1" .. "FileN".
inline constexpr std::string_view kDataFileKeyStem = "File";

// Opens one data file and returns its top folder. Throws tvn::Failure: err::kFileNotFound
// when the file is gone, err::kCorruptStore when it is not an Outlook data file,
// err::kAccessRefused when it is protected and the prompt gave no password or a wrong one
// (the prompt may be nullptr: no password can then be given), anything else for other
// read failures.
using DataFileOpener = std::function<std::shared_ptr<store::Folder>(
    const std::filesystem::path& file, store::PasswordPrompt* prompt)>;

// Opens what the user names: a .pst or .ost file with the reader of store/pst; a .msg
// file, or a folder of them, as a store of loose messages (store/msg).
DataFileOpener dataFileOpener();

// Why a data file could not be opened, as the end of a sentence in lower case with no
// full stop ("not an Outlook data file"): shared by the messages of this class and the
// command line.
std::string describeOpenFailure(const Failure& failure);

class DataFiles final {
public:
    DataFiles(archive::SettingsStore& settings, archive::MessageBoxes& boxes,
              DataFileOpener opener);

    // Opens every remembered file into session, in the remembered order (run when the
    // session is created). A file that cannot be opened now (a drive that is not plugged
    // in, a password prompt that was cancelled) stays remembered and is listed by
    // unavailable(); one exclamation message names each such file and why: "The data file
    // /x/y.pst cannot be opened now: the file does not exist. It stays in the list of data
    // files; close it there to forget it."
    void restore(store::Session& session);

    // "Open Data File...": opens file (asking the session's password prompt when it is
    // protected), adds it to the session after the open ones and remembers it. A file that
    // is already open is not opened twice: its top folder is returned. A remembered file
    // that was unavailable keeps its place in the list. Failures (tvn::Failure, see
    // DataFileOpener) pass to the caller and change nothing else.
    std::shared_ptr<store::Folder> open(store::Session& session, const std::filesystem::path& file);
    // open() for the window: a failure is named in one exclamation message ("The data file
    // /x/y.pst could not be opened: not an Outlook data file.") and gives nullptr.
    std::shared_ptr<store::Folder> openOrExplain(store::Session& session,
                                                 const std::filesystem::path& file);

    // Closes the data file whose top folder this is and forgets it; nothing when unknown.
    void close(store::Session& session, const std::shared_ptr<store::Folder>& topFolder);
    // Forgets a remembered file that is unavailable; nothing when it is not one.
    void forget(const std::filesystem::path& file);

    // A remembered file that could not be opened in this session, and why (the end of a
    // sentence, as describeOpenFailure gives it).
    struct Unavailable {
        std::filesystem::path path;
        std::string reason;
        friend bool operator==(const Unavailable&, const Unavailable&) = default;
    };
    std::vector<Unavailable> unavailable() const;

    // Lets go of every open file without forgetting it (the session is being released).
    void dropOpenFiles() { m_files.clear(); }

    // The open files, in opening order.
    std::vector<std::filesystem::path> paths() const;
    // The file a top folder was opened from; empty when it is not one of ours.
    std::filesystem::path pathOf(const std::shared_ptr<store::Folder>& topFolder) const;

private:
    // A remembered file: open (top set) or unavailable (reason set).
    struct OpenFile {
        std::filesystem::path path;
        std::shared_ptr<store::Folder> top;
        std::string reason;
    };
    std::vector<std::filesystem::path> remembered() const;
    void remember();

    archive::SettingsStore& m_settings;
    archive::MessageBoxes& m_boxes;
    DataFileOpener m_opener;
    // In remembered order.
    std::vector<OpenFile> m_files;
};

} // namespace tvn::app
