#pragma once

// Everything one archive run needs, owned in one place so that the writers never reach into
// the window that started them: the archive root, the file system the files go through,
// the error reporter (and through it the open error log), the register of the names this
// run has written, the contacts table being written, the account of what became of every
// item, and where progress goes. The desktop window and the command line build the same
// context; a writer receives it with the folder it is to archive.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "archive/error_messages.h"
#include "archive/settings_store.h"
#include "archive/text_files.h"

namespace tvn::archive {

// What became of the items of one archived folder. Every item found ends in exactly one of
// written, skipped and failed, so the three add up to found.
struct FolderAccount {
    // The folder's directory, relative to the archive root ("Inbox/Projects").
    std::string path;
    std::int64_t found = 0;
    // Item files, report files or contacts rows written.
    std::int64_t written = 0;
    // Items the folder's writer does not take, by message class.
    std::map<std::string, std::int64_t> skipped;
    // Items that could not be opened or whose file or row could not be written.
    std::int64_t failed = 0;
    std::int64_t attachmentsSaved = 0;
    std::int64_t attachmentsFailed = 0;

    std::int64_t skippedCount() const;
};

// Where a run tells how far it has got. Every call is on the thread of the run; an
// implementation may let the window repaint, but must not hand the user input.
class RunProgress {
public:
    virtual ~RunProgress() = default;
    // A writer starts on a folder (the account it will fill in).
    virtual void folderStarted(const FolderAccount& /*account*/) {}
    // One item of the current folder is done, whatever became of it.
    virtual void itemDone(const FolderAccount& /*account*/) {}
};

class RunContext {
public:
    // Neither is owned; both must outlive the context. The reporter holds the open log.
    RunContext(std::filesystem::path root, ErrorReporter& reporter, SettingsStore& settings,
               TextEncoding encoding = defaultTextEncoding(), RunProgress* progress = nullptr);
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;
    // Closes a contacts table left open.
    ~RunContext();

    // The archive root of this run (appPath).
    const std::filesystem::path& root() const { return m_root; }
    ErrorReporter& reporter() { return m_reporter; }
    SettingsStore& settings() { return m_settings; }
    // The file system item files, directories and attachments are made through (fso).
    const FileSystem& files() const { return m_files; }
    RunProgress& progress() { return *m_progress; }

    // Makes sure the directory exists, creating its last level only; a failure is reported
    // with the CreateFolder information text and the run goes on.
    void CreateFolder(const std::filesystem::path& path);

    // The name a file of this run is to be written under: path itself, unless this run
    // already wrote a file of that name, in which case the first free numbered name
    // ("name (2).rtf", the number before the extension). Files of earlier runs are not
    // looked at: they are replaced. The name returned counts as written from now on.
    std::filesystem::path claimFileName(const std::filesystem::path& path);

    // Opens an item file for writing from the start: an existing file with OpenTextFile
    // mode 2, else CreateTextFile. The name is not claimed here.
    std::unique_ptr<TextStream> openItemFile(const std::filesystem::path& path) const;

    // The account of a folder being archived: begun by the writer when it enters the
    // folder, added to while its items are written. The accounts of the run, in the order
    // their folders were begun.
    FolderAccount& beginFolder(const std::filesystem::path& directory);
    const std::vector<std::unique_ptr<FolderAccount>>& accounts() const { return m_accounts; }

    // The contacts table of the folder being written: its file system (fso9), its stream
    // (TextStream9) and whether the header row is still to be written (boolContact).
    std::optional<FileSystem> fso9;
    std::unique_ptr<TextStream> TextStream9;
    bool boolContact = true;

private:
    std::filesystem::path m_root;
    ErrorReporter& m_reporter;
    SettingsStore& m_settings;
    FileSystem m_files;
    RunProgress m_noProgress;
    RunProgress* m_progress;
    // Hashes of the names written in this run: a register that costs a few bytes a file,
    // however many files a run writes. Two names of one hash are numbered apart, which
    // is harmless.
    std::unordered_set<std::uint64_t> m_written;
    std::vector<std::unique_ptr<FolderAccount>> m_accounts;
};

// The information text of CreateFolder's trap.
inline constexpr std::string_view kCreateFolderInfo =
    " Error in CreateFolder sub or a sub-function therein.";

} // namespace tvn::archive
