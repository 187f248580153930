#pragma once

// `tallyvane-cli archive FILE [--folder NAME]... [--all] [--root DIR] [--encoding E]
//  [--password-file F] [--quiet]`: archives folders of a data file as Create does in the
// window, into the root (default: the program's default root), with the error log
// "TVN Error Log.txt" in it, then prints an account per archived folder.
//
// Exit status: 0 when nothing was logged; 1 when errors were logged (the log's path is
// printed); 2 for bad usage, a file that cannot be opened or whose password is missing or
// wrong, a folder name the data file does not have, or a root where no log can be made.
// Status 2 always comes before anything is written.

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/data_files.h"

namespace CLI {
class App;
} // namespace CLI

namespace tvn::cli {

struct ArchiveOptions {
    std::filesystem::path file;
    // Top-level folder names; every folder of each name is archived.
    std::vector<std::string> folders;
    // Every folder Get Folder List would list.
    bool all = false;
    std::optional<std::filesystem::path> root;
    // "utf-8" or "windows-1252".
    std::string encoding = "utf-8";
    std::optional<std::filesystem::path> passwordFile;
    // Only the end: the account and the outcome.
    bool quiet = false;
    // A live progress line (set when stdout is a terminal).
    bool terminal = false;
};

int runArchiveCommand(const ArchiveOptions& options, std::ostream& out, std::ostream& err,
                      const app::DataFileOpener& opener = app::dataFileOpener());

void addArchiveCommand(CLI::App& program, ArchiveOptions& options, int& exitCode);

} // namespace tvn::cli
