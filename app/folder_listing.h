#pragma once

// The one rule for which folders Get Folder List, Select All and `tallyvane-cli list`
// show: every folder directly under a data file's top folder whose default item type, taken
// as a 16-bit number, is not 4 (journal).

#include "store/object_model.h"

namespace tvn::app {

// Reads the folder's DefaultItemType; its failures (tvn::Failure) pass to the caller.
bool isListable(const store::Folder& folder);

} // namespace tvn::app
