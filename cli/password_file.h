#pragma once

// The password of a protected data file as the command line takes it: the first line of a
// file named on the command line (so that it never shows in a process listing), handed to
// the reader by store::FixedPasswordPrompt.

#include <filesystem>
#include <optional>
#include <string>

#include "store/fixed_password_prompt.h"

namespace tvn::cli {

// The first line of `path` without its line end. Throws tvn::Failure: err::kFileNotFound
// when the file cannot be opened, err::kPathFileAccess when it cannot be read or is longer
// than any password (4 KiB).
std::string readPasswordFile(const std::filesystem::path& path);

using store::FixedPasswordPrompt;

} // namespace tvn::cli
