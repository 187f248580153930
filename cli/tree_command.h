#pragma once

// `tallyvane-cli tree FILE [--json] [--password-file F]`: the folder tree of a data file,
// from its top folder down, depth first in the file's own order. Per folder: its container
// class, its number of items, how many items of each message class it holds, and its number
// of subfolders.
//
// Text output: one folder a line, indented two spaces a level:
//   NAME  [CLASS]  items N (CLASS xN, ...)  subfolders N
// --json: one object
//   {"store": NAME, "format": "ansi"|"unicode"|"unicode-4k",
//    "encryption": "none"|"compressible"|"high",
//    "folders": [{"path": [TOP, ..., NAME], "class": CLASS, "items": N, "subfolders": N,
//                 "message_classes": {CLASS: N, ...}}, ...]}
// with names exactly as stored.
//
// Exit status: 0 when the whole tree was read; 1 when some folder could not be read (it is
// left out and named on stderr, the rest is printed); 2 with a one-line reason on stderr
// when the file cannot be read, or its password is missing or wrong.

#include <filesystem>
#include <iosfwd>
#include <optional>

namespace CLI {
class App;
} // namespace CLI

namespace tvn::cli {

struct TreeOptions {
    std::filesystem::path file;
    bool json = false;
    // A file whose first line is the data file's password.
    std::optional<std::filesystem::path> passwordFile;
};

int runTreeCommand(const TreeOptions& options, std::ostream& out, std::ostream& err);

// Adds the `tree` subcommand to the program's parser; when it runs, its exit status is
// stored in exitCode. The options object must outlive the parse.
void addTreeCommand(CLI::App& program, TreeOptions& options, int& exitCode);

} // namespace tvn::cli
