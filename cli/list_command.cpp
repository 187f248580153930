#include "cli/list_command.h"

#include <cstdint>
#include <iostream>
#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

#include "app/folder_listing.h"
#include "archive/text_files.h"
#include "cli/open_data_file.h"
#include "cli/text_escape.h"
#include "store/failure.h"

namespace tvn::cli {

namespace {} // namespace

int runListCommand(const ListOptions& options, std::ostream& out, std::ostream& err,
                   const app::DataFileOpener& opener) {
    const std::string fileText = archive::pathToUtf8(options.file);
    const auto top = openDataFileFor("list", options.file, options.passwordFile, err, opener);
    if (!top) {
        return 2;
    }
    std::shared_ptr<store::Folders> folders;
    std::int32_t count = 0;
    try {
        folders = top->folders();
        count = folders->count();
    } catch (const Failure& failure) {
        reportFailure(err, "list", fileText, app::describeOpenFailure(failure));
        return 2;
    }

    int status = 0;
    for (std::int32_t i = 1; i <= count; ++i) {
        // Everything of one folder is read before its line is written, so a damaged folder
        // leaves no half line.
        try {
            const auto folder = folders->item(i);
            if (!app::isListable(*folder)) {
                continue;
            }
            const std::string name = escapeControls(folder->name());
            const auto type = static_cast<std::int32_t>(folder->defaultItemType());
            const std::int32_t items = folder->items()->count();
            out << name << '\t' << type << '\t' << items << '\n';
        } catch (const std::exception& exception) {
            const auto* failure = dynamic_cast<const Failure*>(&exception);
            err << "tallyvane-cli list: " << fileText << ": folder " << i
                << " left out: " << oneLine(exception.what());
            if (failure != nullptr) {
                err << " (error " << failure->number() << ")";
            }
            err << '\n';
            status = 1;
        }
    }
    out.flush();
    return status;
}

void addListCommand(CLI::App& program, ListOptions& options, int& exitCode) {
    CLI::App* list = program.add_subcommand(
        "list", "List the folders Get Folder List shows for a data file's top folder: name, "
                "item type and item count, tab-separated");
    list->add_option("FILE", options.file, "The .pst or .ost file")->required();
    list->add_option("--password-file", options.passwordFile,
                     "A file whose first line is the data file's password");
    list->callback(
        [&options, &exitCode] { exitCode = runListCommand(options, std::cout, std::cerr); });
}

} // namespace tvn::cli
