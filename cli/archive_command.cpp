#include "cli/archive_command.h"

#include <chrono>
#include <cstdint>
#include <iostream>
#include <ostream>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "app/archive_run.h"
#include "app/folder_listing.h"
#include "app/frm_main.h"
#include "archive/error_messages.h"
#include "archive/names.h"
#include "archive/run_context.h"
#include "archive/settings_store.h"
#include "cli/open_data_file.h"
#include "store/properties.h"

namespace tvn::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCommand = "archive";

// Messages the window would show in a box: one line each on stderr.
class StderrBoxes final : public archive::MessageBoxes {
public:
    explicit StderrBoxes(std::ostream& err) : m_err(err) {}
    void show(std::string_view text, archive::MessageIcon, std::string_view) override {
        m_err << "tallyvane-cli archive: " << oneLine(text) << '\n';
    }

private:
    std::ostream& m_err;
};

// How far the run has got: a line rewritten in place on a terminal, a line per folder
// elsewhere, nothing when quiet.
class CliProgress final : public archive::RunProgress {
public:
    CliProgress(std::ostream& out, bool terminal, bool quiet)
        : m_out(out), m_terminal(terminal), m_quiet(quiet),
          m_start(std::chrono::steady_clock::now()) {}

    void folderStarted(const archive::FolderAccount& account) override {
        ++m_folders;
        if (m_quiet) {
            return;
        }
        if (m_terminal) {
            show();
        } else {
            m_out << "archiving " << oneLine(account.path) << '\n';
        }
    }

    void itemDone(const archive::FolderAccount&) override {
        ++m_items;
        if (m_terminal && !m_quiet &&
            std::chrono::steady_clock::now() - m_shown >= std::chrono::milliseconds(200)) {
            show();
        }
    }

    // Ends the live line.
    void finish() {
        if (m_terminal && !m_quiet) {
            show();
            m_out << '\n';
        }
    }

    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }
    std::int64_t items() const { return m_items; }

private:
    void show() {
        m_shown = std::chrono::steady_clock::now();
        const double elapsed = seconds();
        const double rate = elapsed > 0 ? static_cast<double>(m_items) / elapsed : 0.0;
        m_out << fmt::format("\r{} folders, {} items, {:.0f} items/s, {:.1f} s   ", m_folders,
                             m_items, rate, elapsed)
              << std::flush;
    }

    std::ostream& m_out;
    bool m_terminal;
    bool m_quiet;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_shown{};
    std::int64_t m_folders = 0;
    std::int64_t m_items = 0;
};

// The folders to archive, resolved before anything is written.
struct Selection {
    std::vector<app::ArchiveEntry> entries;
    std::vector<std::string> missing;
};

Selection selectFolders(const store::Folder& top, const ArchiveOptions& options,
                        std::ostream& err) {
    Selection selection;
    std::vector<app::ArchiveEntry> everyFolder;
    std::vector<bool> listable;
    const auto folders = top.folders();
    const std::int32_t count = folders->count();
    for (std::int32_t i = 1; i <= count; ++i) {
        try {
            auto folder = folders->item(i);
            auto name = folder->name();
            // A folder whose kind cannot be read is not listed, but can still be named.
            bool canList = false;
            try {
                canList = app::isListable(*folder);
            } catch (const Failure&) {
            }
            listable.push_back(canList);
            everyFolder.push_back({std::move(name), std::move(folder)});
        } catch (const Failure& failure) {
            reportFailure(err, kCommand, archive::pathToUtf8(options.file),
                          fmt::format("folder {} cannot be read: {} (error {})", i,
                                      failure.description(), failure.number()));
        }
    }
    if (options.all) {
        for (std::size_t i = 0; i < everyFolder.size(); ++i) {
            if (listable[i]) {
                selection.entries.push_back(everyFolder[i]);
            }
        }
    }
    for (const auto& name : options.folders) {
        bool found = false;
        for (const auto& entry : everyFolder) {
            if (entry.text == name) {
                selection.entries.push_back(entry);
                found = true;
            }
        }
        if (!found) {
            selection.missing.push_back(name);
        }
    }
    return selection;
}

// Items that stand directly in the top folder: no list entry reaches them.
void reportTopItems(const store::Folder& top, std::ostream& out) {
    try {
        const auto items = top.items();
        const std::int32_t count = items->count();
        if (count == 0) {
            return;
        }
        out << count << " item(s) stand directly in the top folder and were not archived:\n";
        for (std::int32_t i = 1; i <= count; ++i) {
            try {
                const auto item = items->item(i);
                out << "  " << oneLine(item->messageClass()) << "  \""
                    << oneLine(store::read(*item, store::prop::Subject)) << "\"\n";
            } catch (const Failure& failure) {
                out << "  item " << i << " cannot be read (error " << failure.number() << ")\n";
            }
        }
    } catch (const Failure&) {
        // A top folder without readable contents has nothing to add to the account.
    }
}

void printAccount(const archive::RunContext& run, std::ostream& out) {
    out << fmt::format("{:<40} {:>8} {:>8} {:>8} {:>8} {:>12}\n", "folder", "found", "written",
                       "skipped", "failed", "attachments");
    archive::FolderAccount total;
    for (const auto& account : run.accounts()) {
        out << fmt::format("{:<40} {:>8} {:>8} {:>8} {:>8} {:>12}\n", oneLine(account->path),
                           account->found, account->written, account->skippedCount(),
                           account->failed, account->attachmentsSaved);
        for (const auto& [kind, n] : account->skipped) {
            out << fmt::format("  skipped {} item(s) of class {}\n", n, oneLine(kind));
            total.skipped[kind] += n;
        }
        if (account->attachmentsFailed > 0) {
            out << fmt::format("  {} attachment(s) could not be saved\n",
                               account->attachmentsFailed);
        }
        total.found += account->found;
        total.written += account->written;
        total.failed += account->failed;
        total.attachmentsSaved += account->attachmentsSaved;
        total.attachmentsFailed += account->attachmentsFailed;
    }
    out << fmt::format("{:<40} {:>8} {:>8} {:>8} {:>8} {:>12}\n", "total", total.found,
                       total.written, total.skippedCount(), total.failed, total.attachmentsSaved);
}

} // namespace

int runArchiveCommand(const ArchiveOptions& options, std::ostream& out, std::ostream& err,
                      const app::DataFileOpener& opener) {
    const std::string fileText = archive::pathToUtf8(options.file);
    if (!options.all && options.folders.empty()) {
        reportFailure(err, kCommand, fileText,
                      "name the folders to archive (--folder NAME) or "
                      "give --all");
        return 2;
    }
    const auto top = openDataFileFor(kCommand, options.file, options.passwordFile, err, opener);
    if (!top) {
        return 2;
    }
    Selection selection;
    try {
        selection = selectFolders(*top, options, err);
    } catch (const Failure& failure) {
        reportFailure(err, kCommand, fileText, app::describeOpenFailure(failure));
        return 2;
    }
    if (!selection.missing.empty()) {
        for (const auto& name : selection.missing) {
            reportFailure(err, kCommand, fileText,
                          fmt::format("the data file has no folder named \"{}\"", name));
        }
        return 2;
    }

    const fs::path root = options.root ? *options.root : app::defaultArchiveRoot();
    const auto encoding = options.encoding == "windows-1252" ? archive::TextEncoding::Windows1252
                                                             : archive::TextEncoding::Utf8;
    StderrBoxes boxes(err);
    archive::ErrorReporter reporter(boxes);
    const fs::path logPath = root / archive::kErrorLogName;
    const archive::FileSystem files(encoding);
    try {
        // Unlike the window, the command line makes a root's missing parents too, as
        // mkdir -p would: a scripted run should not fail for a missing level.
        std::error_code ec;
        fs::create_directories(root, ec);
        reporter.log() = files.CreateTextFile(logPath, true, archive::Buffering::EveryLine);
    } catch (const Failure& failure) {
        reportFailure(err, kCommand, archive::pathToUtf8(root),
                      fmt::format("no error log can be made there: {} (error {})",
                                  failure.description(), failure.number()));
        return 2;
    }

    archive::MemorySettingsStore settings;
    CliProgress progress(out, options.terminal, options.quiet);
    const std::string dateLine = app::noErrorsLine(archive::generalDate(archive::now()));
    int status = 0;
    {
        archive::RunContext run(root, reporter, settings, encoding, &progress);
        archive::ErrorTrap trap(reporter, std::string(app::kCreateInfo),
                                std::string(app::kCreateSubject));
        std::vector<std::shared_ptr<store::Folder>> archived;
        for (const auto& entry : selection.entries) {
            app::archiveEntry(run, trap, entry, nullptr, archived);
        }
        progress.finish();
        printAccount(run, out);
        reportTopItems(*top, out);
    }
    out << fmt::format("{} items in {:.1f} s\n", progress.items(), progress.seconds());
    if (reporter.boolError) {
        out << "Errors were logged: " << archive::pathToUtf8(logPath) << '\n';
        status = 1;
    } else {
        try {
            reporter.log()->WriteLine(dateLine);
            reporter.log()->WriteBlankLines(2);
        } catch (const Failure& failure) {
            reportFailure(err, kCommand, archive::pathToUtf8(logPath), failure.description());
            status = 1;
        }
    }
    if (!reporter.boolPermission) {
        out << "The data file refused access to some items: no files were created for them.\n";
        status = 1;
    }
    try {
        reporter.log()->Close();
    } catch (const Failure& failure) {
        reportFailure(err, kCommand, archive::pathToUtf8(logPath), failure.description());
        status = 1;
    }
    out << "Archive: " << archive::pathToUtf8(root) << '\n';
    out.flush();
    return status;
}

void addArchiveCommand(CLI::App& program, ArchiveOptions& options, int& exitCode) {
    CLI::App* command = program.add_subcommand(
        "archive", "Archive folders of a data file into ordinary files, as Create does");
    command->add_option("FILE", options.file, "The .pst or .ost file")->required();
    command->add_option("--folder", options.folders,
                        "A top-level folder to archive (every folder of that name); repeatable");
    command->add_flag("--all", options.all, "Every folder Get Folder List would list");
    command->add_option("--root", options.root,
                        "The archive root (default: $HOME/Tallyvane); made when missing");
    command->add_option("--encoding", options.encoding, "Item files' encoding")
        ->check(CLI::IsMember({"utf-8", "windows-1252"}));
    command->add_option("--password-file", options.passwordFile,
                        "A file whose first line is the data file's password");
    command->add_flag("--quiet", options.quiet, "Print only the account at the end");
    command->callback([&options, &exitCode] {
        options.terminal = ::isatty(STDOUT_FILENO) != 0;
        exitCode = runArchiveCommand(options, std::cout, std::cerr);
    });
}

} // namespace tvn::cli
