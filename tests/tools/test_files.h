#pragma once

// Shared pieces of the writer's tests: descriptions of every item kind, temporary folders
// and running the independent readers.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tools/pstwriter/description.h"

namespace tvn::tools::test {

using test_support::TempFolder;

// A description holding folders of every kind and items of every class the writer knows,
// with recipients, attachments (small, multi-block and, when `large`, one above the XBLOCK
// limit so an XXBLOCK tree is needed), an embedded message, a long body, a folder deep in
// the tree and a folder with enough items that its contents table spans many blocks.
Description everyKind(FileFormat format, CryptMethod crypt, bool large = false);

// Folder path ("Inbox/Projects") to its items, for the description's folders.
std::map<std::string, const std::vector<Message>*> folderItems(const Description& d);

std::string subjectOf(const Message& m);
std::string bodyOf(const Message& m);
std::string classOf(const Message& m);

// Runs a shell command; true when it exits with 0.
bool run(const std::string& command);
// True when the program is on the PATH.
bool haveProgram(const std::string& name);

} // namespace tvn::tools::test
