#pragma once

// The heart of an archive run, shared by the window's Create and the command line: each
// chosen folder gets its directory under the root and is handed to the writer of its
// default item type.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/error_messages.h"
#include "archive/run_context.h"
#include "store/object_model.h"

namespace tvn::app {

// A folder chosen for archiving: the text it was listed under and the folder itself
// (nullptr when only the text is known).
struct ArchiveEntry {
    std::string text;
    std::shared_ptr<store::Folder> folder;
};

// The information text of the run's trap, and its subject (no full stop).
inline constexpr std::string_view kCreateInfo = "Error in BtnCreate sub or a sub-function therein.";
inline constexpr std::string_view kCreateSubject = "N/A";

// Finds the folder of an entry that came without one (by name, under the data file's top
// folder); nullptr when there is none.
using FolderResolver = std::function<std::shared_ptr<store::Folder>(const std::string& text)>;

// Archives one entry into run.root(), which must exist: creates the entry's directory,
// resolves the folder, and runs its writer. Failures go to trap.
// An entry without a folder is reported and skipped; an entry whose folder an earlier entry
// of this run already archived is skipped silently. `archived` holds the folders done.
void archiveEntry(archive::RunContext& run, archive::ErrorTrap& trap, const ArchiveEntry& entry,
                  const FolderResolver& resolve,
                  std::vector<std::shared_ptr<store::Folder>>& archived);

// The log's closing line of a run without errors.
std::string noErrorsLine(std::string_view generalDateTime);

} // namespace tvn::app
