// tallyvane-cli: the command line of Tallyvane. One subcommand a file (cli/*_command.cpp);
// this file only parses and dispatches.

#include <CLI/CLI.hpp>

#include "cli/archive_command.h"
#include "cli/list_command.h"
#include "cli/tree_command.h"

int main(int argc, char** argv) {
    CLI::App program("Tallyvane: read Outlook data files and archive their folders",
                     "tallyvane-cli");
    program.require_subcommand(1);
    program.set_version_flag("--version", TALLYVANE_VERSION_FULL);
    int exitCode = 0;

    tvn::cli::ListOptions list;
    tvn::cli::addListCommand(program, list, exitCode);
    tvn::cli::TreeOptions tree;
    tvn::cli::addTreeCommand(program, tree, exitCode);
    tvn::cli::ArchiveOptions archive;
    tvn::cli::addArchiveCommand(program, archive, exitCode);

    try {
        program.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help is a success; any usage error exits 2 like an unreadable file.
        return program.exit(e) == 0 ? 0 : 2;
    }
    return exitCode;
}
