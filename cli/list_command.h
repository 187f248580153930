#pragma once

// `tallyvane-cli list FILE [--password-file F]`: what Get Folder List would list for the
// data file's top folder, in the same order, one folder a line: the name exactly, a tab,
// the default item type's number, a tab, the folder's item count.
//
// Exit status: 0 when every folder was listed; 1 when some folder could not be read (it is
// left out and named on stderr, the others are listed); 2 with a one-line reason on
// stderr when the file cannot be read, or its password is missing or wrong, or the
// password file cannot be read.

#include <filesystem>
#include <iosfwd>
#include <optional>

#include "app/data_files.h"

namespace CLI {
class App;
} // namespace CLI

namespace tvn::cli {

struct ListOptions {
    std::filesystem::path file;
    // A file whose first line is the data file's password.
    std::optional<std::filesystem::path> passwordFile;
};

int runListCommand(const ListOptions& options, std::ostream& out, std::ostream& err,
                   const app::DataFileOpener& opener = app::dataFileOpener());

// Adds the `list` subcommand to the program's parser. When it runs, its exit status is
// stored in exitCode. The options object must outlive the parse.
void addListCommand(CLI::App& program, ListOptions& options, int& exitCode);

} // namespace tvn::cli
