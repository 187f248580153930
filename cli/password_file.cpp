#include "cli/password_file.h"

#include <fstream>

#include "archive/text_files.h"
#include "store/failure.h"

namespace tvn::cli {

namespace {

constexpr std::streamsize kMaxPasswordFileBytes = 4096;

} // namespace

std::string readPasswordFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw Failure(err::kFileNotFound, "cannot open the password file",
                      archive::pathToUtf8(path));
    }
    std::string text(static_cast<std::size_t>(kMaxPasswordFileBytes) + 1, '\0');
    in.read(text.data(), kMaxPasswordFileBytes + 1);
    if (in.bad()) {
        throw Failure(err::kPathFileAccess, "cannot read the password file",
                      archive::pathToUtf8(path));
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > static_cast<std::size_t>(kMaxPasswordFileBytes)) {
        throw Failure(err::kPathFileAccess, "the password file is too long",
                      archive::pathToUtf8(path));
    }
    if (const auto end = text.find_first_of("\r\n"); end != std::string::npos) {
        text.resize(end);
    }
    return text;
}

} // namespace tvn::cli
