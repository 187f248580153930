#pragma once

// Opening an Outlook data file (.pst or .ost) as the object model sees it: the data file's
// top folder, named by the store, holding the folders Outlook shows (the IPM subtree).

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "store/object_model.h"

namespace tvn::store::pst {

// Opens a data file and returns its top folder, named by the store's display name (by the
// file's name without extension when the store has none). Throws tvn::Failure:
//   err::kFileNotFound    the file does not exist
//   err::kPathFileAccess  it cannot be opened
//   err::kCorruptStore    it is not an Outlook data file, or its header or top structures
//                         are damaged
//   err::kAccessRefused   it is password-protected and no prompt was given, the user
//                         declined, or the password given is wrong
// A protected file asks prompt->askPassword(path) once.
std::shared_ptr<Folder> openDataFile(const std::filesystem::path& path, PasswordPrompt* prompt);

// What a data file is, for listings and diagnostics.
struct DataFileFacts {
    std::string storeName;  // the store's display name as stored (may be empty)
    std::string format;     // "ansi", "unicode" or "unicode-4k"
    std::string encryption; // "none", "compressible" or "high"
    bool offline = false;   // written by an offline client (.ost)
    std::uint64_t fileSize = 0;
};

// The facts of the data file a folder of this backend belongs to; nothing for a folder of
// another backend.
std::optional<DataFileFacts> dataFileFacts(const Folder& folder);

// The folder's container class (PidTagContainerClass: "IPF.Note", ...; "" when it has none);
// nothing for a folder of another backend.
std::optional<std::string> containerClass(const Folder& folder);

// How many items of each message class a folder holds. Read from the folder's contents
// table where it records the class, so no item is opened; other backends' folders (and
// rows without a class) open the item. An item that cannot be read counts under "".
std::map<std::string, std::int64_t> messageClassCounts(const Folder& folder);

} // namespace tvn::store::pst
