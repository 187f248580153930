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
#include "cli/open_data_file.h"
#include "cli/password_file.h"
#include "cli/text_escape.h"
#include "store/failure.h"
#include "store/pst/pst_file.h"
#include "store/walk.h"

namespace tvn::cli {

namespace {

struct FolderFacts {
    std::vector<std::string> path; // top folder first
    std::string containerClass;
    std::int64_t items = 0;
    std::int64_t subfolders = 0;
    std::map<std::string, std::int64_t> messageClasses;
};

// Every folder of the tree, in the walk's order (a folder before its subfolders), with
// what tree shows of each; the items themselves are not opened.
class TreeWalker final : public store::FolderVisitor {
public:
    explicit TreeWalker(std::ostream& err) : m_err(err) {}

    bool enterFolder(const std::shared_ptr<store::Folder>& folder, std::size_t depth) override {
        m_path.resize(depth);
        FolderFacts facts;
        try {
            m_path.push_back(folder->name());
            facts.path = m_path;
            facts.containerClass = store::pst::containerClass(*folder).value_or("");
            facts.items = folder->items()->count();
            facts.messageClasses = store::pst::messageClassCounts(*folder);
            facts.subfolders = folder->folders()->count();
        } catch (const Failure& f) {
            fail(m_path, f);
            return false;
        }
        m_folders.push_back(std::move(facts));
        return true;
    }

    void failed(const Failure& f, store::WalkStep step, std::int32_t index) override {
        auto where = m_path;
        if (step == store::WalkStep::Subfolder && index > 0) {
            where.push_back(fmt::format("#{}", index));
        }
        fail(where, f);
    }

    const std::vector<FolderFacts>& folders() const { return m_folders; }
    bool complete() const { return m_complete; }

private:
    void fail(const std::vector<std::string>& path, const Failure& f) {
        std::string where;
        for (const auto& p : path) {
            where += where.empty() ? p : "/" + p;
        }
        reportFailure(m_err, "tree", "folder \"" + escapeControls(where) + "\"",
                      fmt::format("cannot be read: {} (error {})", f.description(), f.number()));
        m_complete = false;
    }

    std::ostream& m_err;
    std::vector<std::string> m_path;
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
    const auto top =
        openDataFileFor("tree", options.file, options.passwordFile, err, app::dataFileOpener());
    if (!top) {
        return 2;
    }
    TreeWalker walker(err);
    store::WalkOptions folderTree;
    folderTree.items = false;
    store::walkFolderTree(top, walker, folderTree);
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
    cmd->add_option("FILE", options.file, "The .pst or .ost file, a .msg file or a folder of them")
        ->required();
    cmd->add_flag("--json", options.json, "Print one JSON object");
    cmd->add_option("--password-file", options.passwordFile,
                    "A file whose first line is the data file's password");
    cmd->callback(
        [&options, &exitCode] { exitCode = runTreeCommand(options, std::cout, std::cerr); });
}

} // namespace tvn::cli
