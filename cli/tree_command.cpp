#include "cli/tree_command.h"

#include <cstdint>
#include <iostream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "archive/text_files.h"
#include "cli/password_file.h"
#include "cli/text_escape.h"
#include "store/failure.h"
#include "store/pst/pst_file.h"

namespace tvn::cli {

namespace {

struct FolderFacts {
    std::vector<std::string> path; // top folder first
    std::string containerClass;
    std::int64_t items = 0;
    std::int64_t subfolders = 0;
    std::map<std::string, std::int64_t> messageClasses;
};

// One line for stderr: a line break inside a description becomes a blank.
std::string oneLine(std::string s) {
    for (char& c : s) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return s;
}

std::string describe(const Failure& f) {
    std::string text = oneLine(f.description());
    if (!f.path().empty() && text.find(f.path()) == std::string::npos) {
        text += " (" + oneLine(f.path()) + ")";
    }
    return fmt::format("{} [error {}]", text, f.number());
}

class TreeWalker {
public:
    explicit TreeWalker(std::ostream& err) : m_err(err) {}

    void walk(const store::Folder& folder, std::vector<std::string> path) {
        FolderFacts facts;
        std::shared_ptr<store::Folders> subfolders;
        try {
            path.push_back(folder.name());
            facts.path = path;
            facts.containerClass = store::pst::containerClass(folder).value_or("");
            facts.items = folder.items()->count();
            facts.messageClasses = store::pst::messageClassCounts(folder);
            subfolders = folder.folders();
            facts.subfolders = subfolders->count();
        } catch (const Failure& f) {
            fail(path, f);
            return;
        }
        m_folders.push_back(std::move(facts));
        for (std::int32_t i = 1; i <= subfolders->count(); ++i) {
            std::shared_ptr<store::Folder> child;
            try {
                child = subfolders->item(i);
            } catch (const Failure& f) {
                auto where = path;
                where.push_back(fmt::format("#{}", i));
                fail(where, f);
                continue;
            }
            walk(*child, path);
        }
    }

    const std::vector<FolderFacts>& folders() const { return m_folders; }
    bool complete() const { return m_complete; }

private:
    void fail(const std::vector<std::string>& path, const Failure& f) {
        std::string where;
        for (const auto& p : path) {
            where += where.empty() ? p : "/" + p;
        }
        m_err << "tallyvane-cli: folder \"" << escapeControls(where)
              << "\" cannot be read: " << describe(f) << '\n';
        m_complete = false;
    }

    std::ostream& m_err;
    std::vector<FolderFacts> m_folders;
    bool m_complete = true;
};

std::string toJson(const store::pst::DataFileFacts& file, const std::vector<FolderFacts>& folders) {
    using Json = nlohmann::ordered_json;
    Json list = Json::array();
    for (const auto& f : folders) {
        list.push_back(Json{{"path", f.path},
                            {"class", f.containerClass},
                            {"items", f.items},
                            {"subfolders", f.subfolders},
                            {"message_classes", Json(f.messageClasses)}});
    }
    const Json doc{{"store", file.storeName},
                   {"format", file.format},
                   {"encryption", file.encryption},
                   {"folders", std::move(list)}};
    // Names are valid UTF-8 as the reader yields them; should one not be, it shows with a
    // replacement character rather than failing the whole listing.
    return doc.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string toText(const std::vector<FolderFacts>& folders) {
    std::string out;
    for (const auto& f : folders) {
        out.append(2 * (f.path.size() - 1), ' ');
        out += escapeControls(f.path.back());
        out +=
            fmt::format("  [{}]  items {}",
                        f.containerClass.empty() ? "-" : escapeControls(f.containerClass), f.items);
        if (!f.messageClasses.empty()) {
            out += " (";
            bool first = true;
            for (const auto& [cls, n] : f.messageClasses) {
                out += fmt::format("{}{} x{}", first ? "" : ", ",
                                   cls.empty() ? "?" : escapeControls(cls), n);
                first = false;
            }
            out += ")";
        }
        out += fmt::format("  subfolders {}\n", f.subfolders);
    }
    return out;
}

} // namespace

int runTreeCommand(const TreeOptions& options, std::ostream& out, std::ostream& err) {
    std::shared_ptr<store::Folder> top;
    try {
        std::optional<std::string> password;
        if (options.passwordFile) {
            password = readPasswordFile(*options.passwordFile);
        }
        FixedPasswordPrompt prompt(password);
        top = store::pst::openDataFile(options.file, &prompt);
    } catch (const Failure& f) {
        err << "tallyvane-cli: " << archive::pathToUtf8(options.file) << ": " << describe(f)
            << '\n';
        return 2;
    }
    TreeWalker walker(err);
    walker.walk(*top, {});
    if (options.json) {
        out << toJson(store::pst::dataFileFacts(*top).value_or(store::pst::DataFileFacts{}),
                      walker.folders());
    } else {
        out << toText(walker.folders());
    }
    return walker.complete() ? 0 : 1;
}

void addTreeCommand(CLI::App& program, TreeOptions& options, int& exitCode) {
    auto* cmd = program.add_subcommand(
        "tree", "Print the folder tree of an Outlook data file with item counts and classes");
    cmd->add_option("FILE", options.file, "The .pst or .ost file")->required();
    cmd->add_flag("--json", options.json, "Print one JSON object");
    cmd->add_option("--password-file", options.passwordFile,
                    "A file whose first line is the data file's password");
    cmd->callback(
        [&options, &exitCode] { exitCode = runTreeCommand(options, std::cout, std::cerr); });
}

} // namespace tvn::cli
