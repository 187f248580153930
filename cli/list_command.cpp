#include "cli/list_command.h"

#include <cstdint>
#include <iostream>
#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

#include "app/folder_listing.h"
#include "archive/text_files.h"
#include "cli/password_file.h"
#include "cli/text_escape.h"
#include "store/failure.h"

namespace tvn::cli {

namespace {

// One line for stderr: any line break inside a description becomes a blank.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

} // namespace

int runListCommand(const ListOptions& options, std::ostream& out, std::ostream& err,
                   const app::DataFileOpener& opener) {
    const std::string fileText = archive::pathToUtf8(options.file);
    std::optional<std::string> password;
    if (options.passwordFile) {
        try {
            password = readPasswordFile(*options.passwordFile);
        } catch (const Failure& failure) {
            err << "tallyvane-cli list: " << archive::pathToUtf8(*options.passwordFile) << ": "
                << failure.description() << '\n';
            return 2;
        }
    }
    FixedPasswordPrompt prompt(std::move(password));

    std::shared_ptr<store::Folder> top;
    std::shared_ptr<store::Folders> folders;
    std::int32_t count = 0;
    try {
        top = opener(options.file, &prompt);
        if (!top) {
            throw Failure(err::kCorruptStore, "no top folder");
        }
        folders = top->folders();
        count = folders->count();
    } catch (const Failure& failure) {
        err << "tallyvane-cli list: " << fileText << ": "
            << oneLine(app::describeOpenFailure(failure)) << '\n';
        return 2;
    } catch (const std::exception& exception) {
        err << "tallyvane-cli list: " << fileText << ": " << oneLine(exception.what()) << '\n';
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
