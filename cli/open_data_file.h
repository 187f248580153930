#pragma once

// Opening the data file a subcommand names, with the password from --password-file, and
// the one way every subcommand words a failure: "tallyvane-cli CMD: SUBJECT: reason".

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/data_files.h"
#include "store/failure.h"
#include "store/object_model.h"

namespace tvn::cli {

// One line for stderr: any line break inside a text becomes a blank, and other control
// characters are shown escaped as escapeControls shows them, so that a name from a data
// file cannot forge output.
std::string oneLine(std::string_view text);

// Writes "tallyvane-cli COMMAND: SUBJECT: REASON" and a line end to err.
void reportFailure(std::ostream& err, std::string_view command, std::string_view subject,
                   std::string_view reason);

// The data file's top folder, or nullptr after writing why it cannot be opened (the file,
// its password, or the password file) to err.
std::shared_ptr<store::Folder>
openDataFileFor(std::string_view command, const std::filesystem::path& file,
                const std::optional<std::filesystem::path>& passwordFile, std::ostream& err,
                const app::DataFileOpener& opener);

} // namespace tvn::cli
