#include "cli/open_data_file.h"

#include <ostream>

#include "archive/text_files.h"
#include "cli/password_file.h"
#include "cli/text_escape.h"

namespace tvn::cli {

std::string oneLine(std::string_view text) {
    // A description may run over several lines; the rest of its escaping is the names'.
    std::string flat(text);
    for (char& c : flat) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return escapeControls(flat);
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
