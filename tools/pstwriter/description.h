#pragma once

// A whole data file described in one value: the store's settings and a folder tree with
// its items. Tests build one in C++; tallyvane-mkpst reads one from JSON (the format is
// documented in docs/pst-description.md).

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/pstwriter/message.h"
#include "tools/pstwriter/pst_writer.h"
#include "tools/pstwriter/recurrence.h"

namespace tvn::tools {

struct FolderDescription {
    std::string name;
    std::string containerClass; // empty: none
    std::vector<Message> items;
    std::vector<FolderDescription> folders;

    FolderDescription& folder(std::string folderName, std::string cls = {});
    FolderDescription& add(Message m) {
        items.push_back(std::move(m));
        return *this;
    }
};

struct Description {
    StoreOptions store;
    // Folders below the IPM subtree. One named like store.deletedItemsName becomes the
    // wastebasket itself (its items and subfolders go there) instead of a second folder.
    std::vector<FolderDescription> folders;

    FolderDescription& folder(std::string name, std::string cls = {});
};

// Writes the file. Throws tvn::Failure when it cannot be written.
void writeDescription(const Description& description, const std::filesystem::path& path);

// Reads a JSON description. Throws tvn::Failure (err::kInvalidProcedureCall) naming the
// place of the first fault; `baseDir` resolves attachment "file" paths.
Description parseDescription(std::string_view json, const std::filesystem::path& baseDir = {});
Description loadDescription(const std::filesystem::path& path);

// Deterministic pseudo-random bytes, the content of generated attachments.
std::vector<std::uint8_t> generatedBytes(std::size_t size, std::uint64_t seed);

// Sets the recurrence properties of an appointment: the blob, IsRecurring, the recurrence
// type and pattern text. Start and End must be set first (FILETIMEs).
void setRecurrence(Message& appointment, const Recurrence& r);

} // namespace tvn::tools
