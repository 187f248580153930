#pragma once

// The archive tests' temporary folder and small file helpers, shared with the layers above.

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/corpus.h"
#include "tests/support/temp_folder.h"

namespace tvn::archive::testing {

using test_support::readFileText;
using test_support::TempFolder;

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

} // namespace tvn::archive::testing
