#include "archive/run_context.h"

#include <functional>
#include <numeric>
#include <utility>

#include <fmt/format.h>

namespace tvn::archive {

namespace fs = std::filesystem;

namespace {

// The key of a name in the register. Where the file system ignores case, names that
// differ only in case are one file.
std::uint64_t nameKey(const fs::path& path) {
#if defined(_WIN32) || defined(__APPLE__)
    auto text = pathToUtf8(path.lexically_normal());
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
#else
    const auto text = pathToUtf8(path.lexically_normal());
#endif
    return std::hash<std::string>{}(text);
}

fs::path numbered(const fs::path& path, int number) {
    const auto stem = pathToUtf8(path.stem());
    const auto extension = pathToUtf8(path.extension());
    return path.parent_path() / pathFromUtf8(fmt::format("{} ({}){}", stem, number, extension));
}

} // namespace

std::int64_t FolderAccount::skippedCount() const {
    return std::accumulate(skipped.begin(), skipped.end(), std::int64_t{0},
                           [](std::int64_t sum, const auto& kind) { return sum + kind.second; });
}

RunContext::RunContext(fs::path root, ErrorReporter& reporter, SettingsStore& settings,
                       TextEncoding encoding, RunProgress* progress)
    : m_root(std::move(root)), m_reporter(reporter), m_settings(settings), m_files(encoding),
      m_progress(progress != nullptr ? progress : &m_noProgress) {}

RunContext::~RunContext() {
    if (TextStream9) {
        try {
            TextStream9->Close();
        } catch (...) {
            // The table's own writer reports its failures; nothing is left to tell here.
        }
    }
}

void RunContext::CreateFolder(const fs::path& path) {
    ErrorTrap trap(m_reporter, std::string(kCreateFolderInfo), "N/A.");
    trap.step([&] {
        const FileSystem fso(m_files.encoding());
        if (!fso.FolderExists(path)) {
            fso.CreateFolder(path);
        }
    });
}

fs::path RunContext::claimFileName(const fs::path& path) {
    if (m_written.insert(nameKey(path)).second) {
        return path;
    }
    for (int number = 2;; ++number) {
        auto candidate = numbered(path, number);
        if (m_written.insert(nameKey(candidate)).second) {
            return candidate;
        }
    }
}

std::unique_ptr<TextStream> RunContext::openItemFile(const fs::path& path) const {
    if (m_files.FileExists(path)) {
        return m_files.OpenTextFile(path, kForWriting);
    }
    return m_files.CreateTextFile(path, true);
}

FolderAccount& RunContext::beginFolder(const fs::path& directory) {
    auto account = std::make_unique<FolderAccount>();
    const auto relative = directory.lexically_relative(m_root);
    account->path = pathToUtf8(relative.empty() ? directory : relative);
    m_accounts.push_back(std::move(account));
    m_progress->folderStarted(*m_accounts.back());
    return *m_accounts.back();
}

} // namespace tvn::archive
