#pragma once

// The object model over Outlook .msg files: a .msg file, or a folder of them, opened as a
// top folder whose items are the messages, so that loose .msg files can be listed and
// archived like the contents of a data file.

#include <filesystem>
#include <memory>

#include "store/msg/msg_document.h"
#include "store/object_model.h"

namespace tvn::store::msg {

// A .msg file as a folder named after the file that holds that one message; a directory as
// a folder named after it holding its .msg files (in name order) as items and its
// subdirectories as subfolders. Each file is opened when its item is: a damaged file fails
// for its item only (err::kCorruptData). Throws err::kFileNotFound when `path` does not
// exist, and err::kCorruptData when a single file given is not a .msg file.
std::shared_ptr<Folder> openMsgFile(const std::filesystem::path& path);

// The same messages seen as a data file: a top folder whose one folder is openMsgFile's,
// so that they are listed and archived as a data file's folders are.
std::shared_ptr<Folder> openMsgStore(const std::filesystem::path& path);

// The item of a message read from a .msg file (or built in memory); `message` lives inside
// `document`.
std::shared_ptr<Item> makeMsgItem(std::shared_ptr<const MsgDocument> document,
                                  const MsgMessage* message);

} // namespace tvn::store::msg
