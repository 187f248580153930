#include "app/dlg_save_location.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "store/failure.h"

namespace tvn::app {

namespace fs = std::filesystem;

namespace {

constexpr char kSeparator = static_cast<char>(fs::path::preferred_separator);

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// The text with one separator at its end.
std::string ensureTrailingSeparator(std::string text) {
    if (text.empty() || !isSeparator(text.back())) {
        text.push_back(kSeparator);
    }
    return text;
}

// A directory's path as the directory list reports it: no separator at the end, except for
// a root ("/", "c:\").
std::string withoutTrailingSeparator(std::string text) {
    while (text.size() > 1 && isSeparator(text.back())) {
        if (text.size() == 3 && text[1] == ':') {
            break;
        }
        text.pop_back();
    }
    return text;
}

std::vector<std::string> splitAtSeparators(const std::string& text) {
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (isSeparator(c)) {
            parts.emplace_back();
        } else {
            parts.back().push_back(c);
        }
    }
    return parts;
}

// Case-insensitive file systems fold more than ASCII, but folding ASCII alone never makes
// a path name another directory there, and the rest of the text stays valid UTF-8.
std::string upperCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

[[noreturn]] void throwListing(std::int32_t number, std::string_view what, const std::string& path,
                               const std::error_code& ec = {}) {
    std::string description = std::string(what) + ": " + path;
    if (ec) {
        description += " (" + ec.message() + ")";
    }
    throw Failure(number, std::move(description), path);
}

} // namespace

bool fileSystemIgnoresCase() {
#if defined(_WIN32) || defined(__APPLE__)
    return true;
#else
    return false;
#endif
}

DirectoryListing listDirectory(const std::string& path) {
    const fs::path dir = archive::pathFromUtf8(path);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        throwListing(err::kPathNotFound, "Path not found", path);
    }
    DirectoryListing listing;
    listing.path = withoutTrailingSeparator(path);
    fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    if (ec) {
        throwListing(
            ec == std::errc::permission_denied ? err::kPermissionDenied : err::kPathFileAccess,
            ec == std::errc::permission_denied ? "Permission denied" : "Path/File access error",
            path, ec);
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            throwListing(err::kPathFileAccess, "Path/File access error", path, ec);
        }
        std::error_code typeEc;
        const std::string name = archive::pathToUtf8(it->path().filename());
        if (!name.empty() && name[0] != '.' && it->is_directory(typeEc)) {
            listing.children.push_back(name);
        }
    }
    std::sort(listing.children.begin(), listing.children.end());
    fs::path chain;
    for (const fs::path& part : archive::pathFromUtf8(listing.path)) {
        if (part.empty()) {
            continue;
        }
        chain /= part;
        listing.ancestors.push_back(withoutTrailingSeparator(archive::pathToUtf8(chain)));
    }
    return listing;
}

DlgSaveLocation::DlgSaveLocation(archive::SettingsStore& settings, archive::ErrorReporter& reporter,
                                 fs::path defaultRoot, DlgSaveLocationOptions options)
    : m_settings(settings), m_reporter(reporter), m_default(std::move(defaultRoot)),
      m_options(std::move(options)) {}

fs::path DlgSaveLocation::getPath() const {
    return strSavePath.empty() ? m_default : archive::pathFromUtf8(strSavePath);
}

void DlgSaveLocation::bind(SaveLocationView* view, UserPrompts* prompts) {
    m_view = view;
    m_prompts = prompts;
}

void DlgSaveLocation::Form_Load() {
    archive::ErrorTrap trap(m_reporter, std::string(location::kFormLoadInfo),
                            std::string(location::kFormLoadSubject));
    trap.step([&] { m_fso = archive::FileSystem(); });
    trap.assign(strGetPrevPath1, [&] {
        return m_settings.get(archive::settings::kFilePathSection,
                              archive::settings::kSaveFilePath);
    });
    trap.step([&] {
        if (m_view != nullptr) {
            m_view->setCaption(archive::kApplicationTitle);
            m_view->showProblem({});
        }
    });
    trap.assign(m_drives, [&] { return m_options.drives ? m_options.drives() : userDrives(); });

    if (!strGetPrevPath1.empty()) {
        // Directory by directory from the root, creating what is missing. A directory that
        // cannot be created ends the walk: going on would create the rest of the path in
        // the wrong place.
        const std::vector<std::string> parts = splitAtSeparators(strGetPrevPath1);
        if (!trap.step([&] { setDir(parts[0] + kSeparator); })) {
            return;
        }
        for (std::size_t i = 1; i < parts.size(); ++i) {
            const bool walked = trap.step([&] {
                const std::string base = ensureTrailingSeparator(m_dir);
                const std::string part =
                    parts[i].empty() ? std::string() : ensureTrailingSeparator(parts[i]);
                const std::string candidate = base + part;
                if (m_fso.FolderExists(archive::pathFromUtf8(candidate))) {
                    setDir(candidate);
                } else {
                    setDir(createFolderUnder(parts[i], m_dir));
                }
            });
            if (!walked) {
                problem("The remembered location " + strGetPrevPath1 +
                        " could not be opened; see the error log.");
                return;
            }
        }
        return;
    }
    // Nothing remembered: open at the default root's parent, with the default root in the
    // path box.
    trap.step([&] {
        // The nearest directory that exists, should the default root's parent be gone.
        fs::path start = m_default.parent_path();
        std::error_code ec;
        while (!start.empty() && !fs::is_directory(start, ec) && start != start.parent_path()) {
            start = start.parent_path();
        }
        setDir(archive::pathToUtf8(start));
        if (m_view != nullptr) {
            m_view->setPathText(archive::pathToUtf8(m_default));
        }
    });
    strSavePath.clear();
}

void DlgSaveLocation::setDir(const std::string& path) {
    const DirectoryListing listing = listDirectory(path);
    m_dir = listing.path;
    if (m_view != nullptr) {
        m_view->showDirectory(listing);
        m_view->showDrives(m_drives, driveIndexOf(m_dir));
        m_view->setPathText(m_dir);
    }
}

std::string DlgSaveLocation::createFolderUnder(const std::string& name, const std::string& parent) {
    const std::string path = ensureTrailingSeparator(parent) + name;
    m_fso.CreateFolder(archive::pathFromUtf8(path));
    return withoutTrailingSeparator(path);
}

int DlgSaveLocation::driveIndexOf(const std::string& path) const {
    // The drive whose root is the longest leading part of the path.
    int best = -1;
    std::size_t bestLength = 0;
    for (std::size_t i = 0; i < m_drives.size(); ++i) {
        const std::string root = withoutTrailingSeparator(m_drives[i].root);
        const bool inside =
            path == root || (path.compare(0, root.size(), root) == 0 &&
                             (isSeparator(root.back()) ||
                              (path.size() > root.size() && isSeparator(path[root.size()]))));
        if (inside && (best < 0 || root.size() > bestLength)) {
            best = static_cast<int>(i);
            bestLength = root.size();
        }
    }
    return best;
}

void DlgSaveLocation::problem(std::string_view text) {
    if (m_view != nullptr) {
        m_view->showProblem(text);
    }
}

void DlgSaveLocation::Drive1_Change(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_drives.size()) {
        return;
    }
    const Drive& drive = m_drives[static_cast<std::size_t>(index)];
    try {
        setDir(drive.root);
        problem({});
    } catch (const Failure& failure) {
        problem("The drive " + drive.label + " cannot be read: " + failure.description());
        if (m_view != nullptr) {
            m_view->showDrives(m_drives, driveIndexOf(m_dir));
        }
    }
}

bool DlgSaveLocation::Dir1_Change(const std::string& path) {
    try {
        setDir(path);
        problem({});
        return true;
    } catch (const Failure& failure) {
        problem("The folder cannot be opened: " + failure.description());
        if (m_view != nullptr) {
            m_view->showDrives(m_drives, driveIndexOf(m_dir));
        }
        return false;
    }
}

void DlgSaveLocation::cmdNewFldr_Click() {
    const std::string answer =
        m_prompts == nullptr
            ? std::string()
            : m_prompts->inputBox(location::kNewFolderPrompt, location::kNewFolderTitle, {});
    if (answer.empty()) {
        if (m_view != nullptr) {
            m_view->makeVisible();
        }
        if (m_prompts != nullptr) {
            m_prompts->okCancel(location::kTypeAName, archive::kApplicationTitle);
        }
        return;
    }
    try {
        setDir(createFolderUnder(answer, m_dir));
        problem({});
    } catch (const Failure& failure) {
        problem("The folder \"" + answer + "\" could not be created: " + failure.description());
    }
}

void DlgSaveLocation::OKButton_Click() {
    std::string text = m_view == nullptr ? std::string() : m_view->pathText();
    const bool ignoresCase = m_options.ignoresCase.value_or(fileSystemIgnoresCase());
    strSavePath = ignoresCase ? upperCased(std::move(text)) : std::move(text);
    m_settings.set(archive::settings::kFilePathSection, archive::settings::kSaveFilePath,
                   strSavePath);
    if (m_view != nullptr) {
        m_view->closeDialog();
    }
}

void DlgSaveLocation::CancelButton_Click() {
    if (m_view != nullptr) {
        m_view->closeDialog();
    }
}

} // namespace tvn::app
