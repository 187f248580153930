#pragma once

// The folder writers and the table that picks one by a folder's default item type. Every
// writer takes the run, the folder's entry text, its target directory and the folder; it
// creates the directory, archives each subfolder into a directory of its own, then writes
// the folder's own items. A writer reports its own failures and returns normally.

#include <filesystem>
#include <memory>
#include <string>

#include "archive/run_context.h"
#include "store/object_model.h"

namespace tvn::writers {

using Writer = void (*)(archive::RunContext& run, const std::string& strFolderName,
                        const std::filesystem::path& strPath,
                        const std::shared_ptr<store::Folder>& folder);

void SaveText(archive::RunContext& run, const std::string& strFolderName,
              const std::filesystem::path& strPath, const std::shared_ptr<store::Folder>& folder);
void SaveCalendar(archive::RunContext& run, const std::string& strFolderName,
                  const std::filesystem::path& strPath,
                  const std::shared_ptr<store::Folder>& folder);
void SaveContacts(archive::RunContext& run, const std::string& strFolderName,
                  const std::filesystem::path& strPath,
                  const std::shared_ptr<store::Folder>& folder);
void SaveTasks(archive::RunContext& run, const std::string& strFolderName,
               const std::filesystem::path& strPath, const std::shared_ptr<store::Folder>& folder);
void SaveNotes(archive::RunContext& run, const std::string& strFolderName,
               const std::filesystem::path& strPath, const std::shared_ptr<store::Folder>& folder);

// The writer of a folder of this item type; nullptr for the types that have none (journal,
// posts, distribution lists), whose folders get an empty directory.
Writer writerFor(store::ItemType type);

} // namespace tvn::writers
