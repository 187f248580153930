#pragma once

// Where the test corpus of Outlook files is, and whole-file reads, for every test binary.
// The corpus folder is named by TALLYVANE_CORPUS (the test registration sets it); tests that
// need it skip when it is absent. Corpus files are read in place, never copied.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::test_support {

// The corpus folder from TALLYVANE_CORPUS, when that names a folder.
inline std::optional<std::filesystem::path> corpusDir() {
    const char* dir = std::getenv("TALLYVANE_CORPUS");
    if (dir == nullptr || !std::filesystem::is_directory(dir)) {
        return std::nullopt;
    }
    return std::filesystem::path(dir);
}

// A corpus file's path, or nothing when the corpus or the file is absent.
inline std::optional<std::filesystem::path> corpusFile(std::string_view name) {
    const auto dir = corpusDir();
    if (!dir || !std::filesystem::is_regular_file(*dir / name)) {
        return std::nullopt;
    }
    return *dir / name;
}

// A whole file, or as much of it as could be read ("" when it cannot be opened).
inline std::string readFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace tvn::test_support

// Declares `dir`, the corpus folder, or skips the test when there is none. For test bodies
// and fixture SetUp.
#define TALLYVANE_REQUIRE_CORPUS(dir)                                                              \
    const auto dir##Found = ::tvn::test_support::corpusDir();                                      \
    if (!dir##Found) {                                                                             \
        GTEST_SKIP() << "corpus not found: set TALLYVANE_CORPUS to the corpus folder";             \
    }                                                                                              \
    const std::filesystem::path& dir = *dir##Found
