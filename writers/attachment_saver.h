#pragma once

// Saves the attachments of one item beside its file, one at a time: each attachment's
// name decides its path (or that it is left out), the path is claimed in the run so that
// no attachment of this run replaces another file of this run, and the bytes stream from
// the data file to the new file. A failure of one attachment is reported and the next one
// follows; the folder's account counts what was saved and what failed.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "archive/error_messages.h"
#include "archive/run_context.h"
#include "store/object_model.h"

namespace tvn::writers {

// The path an attachment of this FileName is saved under; nothing to leave it out
// without a report.
using AttachmentPath =
    std::function<std::optional<std::filesystem::path>(const std::string& fileName)>;

void saveAttachments(archive::RunContext& run, const store::Item& item, archive::ErrorTrap& trap,
                     archive::FolderAccount& account, const AttachmentPath& pathFor);

} // namespace tvn::writers
