#pragma once

// A scratch folder for the store tests (and, through the include, the one check of an
// expected failure).

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/expect_failure.h"

namespace tvn::test_support {

// A folder under the temporary folder, removed with everything in it (made accessible first,
// for the tests that lock it).
class ScratchDir {
public:
    ScratchDir() {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() / ("tvn-store-" + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir() {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

} // namespace tvn::test_support
