#pragma once

// Saves the attachments of one item beside its file, one at a time: each attachment's
// name decides its path (or that it is left out), the path is claimed in the run so that
// no attachment of this run replaces another file of this run, and the bytes stream from
// the data file to the new file. A failure of one attachment is reported and the next one
// follows; the folder's account counts what was saved and what failed.
//
// Writers differ only in which attachments they save and in their name rule: the mail
// writer leaves an unnamed attachment out without a word, the report writers report a
// name that names no file of its own.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "archive/error_messages.h"
#include "archive/run_context.h"
#include "store/object_model.h"

namespace tvn::writers {

// The name rule: the path an attachment of this FileName is saved under; nothing to leave
// it out without a report; a tvn::Failure to report it and count it as failed.
using AttachmentPath =
    std::function<std::optional<std::filesystem::path>(const std::string& fileName)>;

// Saves one attachment. Its FileName is read unless the caller read it already; when it
// cannot be read, the attachment counts as failed, as there is no path to save it under.
void saveAttachment(archive::RunContext& run, archive::ErrorTrap& trap,
                    archive::FolderAccount& account, const store::Attachment& attachment,
                    std::optional<std::string> fileName, const AttachmentPath& pathFor);

// Saves every attachment of the item, opening each only once the one before is released.
void saveAttachments(archive::RunContext& run, const store::Item& item, archive::ErrorTrap& trap,
                     archive::FolderAccount& account, const AttachmentPath& pathFor);

} // namespace tvn::writers
