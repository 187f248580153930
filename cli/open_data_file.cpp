#include "cli/open_data_file.h"

#include <ostream>

#include <fmt/format.h>

#include "archive/text_files.h"
#include "cli/password_file.h"

namespace tvn::cli {

std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r' || c == '\n') {
            out.push_back(' ');
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += fmt::format("\\x{:02x}", byte);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void reportFailure(std::ostream& err, std::string_view command, std::string_view subject,
                   std::string_view reason) {
    err << "tallyvane-cli " << command << ": " << oneLine(subject) << ": " << oneLine(reason)
        << '\n';
}

std::shared_ptr<store::Folder>
openDataFileFor(std::string_view command, const std::filesystem::path& file,
                const std::optional<std::filesystem::path>& passwordFile, std::ostream& err,
                const app::DataFileOpener& opener) {
    std::optional<std::string> password;
    if (passwordFile) {
        try {
            password = readPasswordFile(*passwordFile);
        } catch (const Failure& failure) {
            reportFailure(err, command, archive::pathToUtf8(*passwordFile),
                          app::describeOpenFailure(failure));
            return nullptr;
        }
    }
    FixedPasswordPrompt prompt(std::move(password));
    try {
        auto top = opener(file, &prompt);
        if (!top) {
            throw Failure(err::kCorruptStore, "no top folder");
        }
        return top;
    } catch (const Failure& failure) {
        reportFailure(err, command, archive::pathToUtf8(file), app::describeOpenFailure(failure));
    } catch (const std::exception& exception) {
        reportFailure(err, command, archive::pathToUtf8(file), exception.what());
    }
    return nullptr;
}

} // namespace tvn::cli
