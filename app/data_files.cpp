#include "app/data_files.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "archive/text_files.h"
#include "store/msg/msg_objects.h"
#include "store/pst/pst_file.h"

namespace tvn::app {

namespace {

// A settings store edited by hand may hold any count; more remembered files than this is
// taken as damage and the rest is ignored.
constexpr int kMaxRememberedFiles = 1000;

std::string fileKey(int index) {
    return fmt::format("{}{}", kDataFileKeyStem, index);
}

// The form a path is remembered and compared in: absolute and without "." or "..".
std::filesystem::path normalised(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(file, error);
    return (error ? file : absolute).lexically_normal();
}

// Why opening a data file failed, whatever the opener threw.
std::string reasonOf(const std::exception& failure) {
    if (const auto* known = dynamic_cast<const Failure*>(&failure)) {
        return describeOpenFailure(*known);
    }
    return failure.what();
}

} // namespace

DataFileOpener dataFileOpener() {
    return [](const std::filesystem::path& file,
              store::PasswordPrompt* prompt) -> std::shared_ptr<store::Folder> {
        std::error_code error;
        std::string extension = file.extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        // A directory holds loose messages, unless it is named as a data file is: then
        // it is a mistaken name, refused as not a data file.
        const bool dataFileName = extension == ".pst" || extension == ".ost";
        if (extension == ".msg" || (!dataFileName && std::filesystem::is_directory(file, error))) {
            return store::msg::openMsgStore(file);
        }
        return store::pst::openDataFile(file, prompt);
    };
}

std::string describeOpenFailure(const Failure& failure) {
    switch (failure.number()) {
    case err::kFileNotFound:
    case err::kPathNotFound:
        return "the file does not exist";
    case err::kCorruptStore:
        return "not an Outlook data file";
    case err::kAccessRefused:
        return "its password was not given or is wrong";
    case err::kPermissionDenied:
        return "permission denied";
    default:
        break;
    }
    std::string text = failure.description();
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return fmt::format("error {}", failure.number());
    }
    return fmt::format("{} (error {})", text, failure.number());
}

DataFiles::DataFiles(archive::SettingsStore& settings, archive::MessageBoxes& boxes,
                     DataFileOpener opener)
    : m_settings(settings), m_boxes(boxes), m_opener(std::move(opener)) {}

std::vector<std::filesystem::path> DataFiles::remembered() const {
    const std::string countText = m_settings.get(kDataFilesSection, kDataFilesCount, "0");
    int count = 0;
    const auto [end, error] =
        std::from_chars(countText.data(), countText.data() + countText.size(), count);
    if (error != std::errc{} || end != countText.data() + countText.size() || count < 0) {
        count = 0;
    }
    count = std::min(count, kMaxRememberedFiles);
    std::vector<std::filesystem::path> paths;
    for (int i = 1; i <= count; ++i) {
        const std::string text = m_settings.get(kDataFilesSection, fileKey(i));
        if (!text.empty()) {
            paths.push_back(archive::pathFromUtf8(text));
        }
    }
    return paths;
}

void DataFiles::remember() {
    const std::string oldCountText = m_settings.get(kDataFilesSection, kDataFilesCount, "0");
    int oldCount = 0;
    std::from_chars(oldCountText.data(), oldCountText.data() + oldCountText.size(), oldCount);
    oldCount = std::clamp(oldCount, 0, kMaxRememberedFiles);

    const int count = static_cast<int>(m_files.size());
    m_settings.set(kDataFilesSection, kDataFilesCount, std::to_string(count));
    for (int i = 1; i <= count; ++i) {
        m_settings.set(kDataFilesSection, fileKey(i),
                       archive::pathToUtf8(m_files[static_cast<std::size_t>(i - 1)].path));
    }
    // The store has no removal: entries past the count are emptied so that no stale path
    // comes back if the count is ever raised by hand.
    for (int i = count + 1; i <= oldCount; ++i) {
        m_settings.set(kDataFilesSection, fileKey(i), "");
    }
}

void DataFiles::restore(store::Session& session) {
    m_files.clear();
    const std::vector<std::filesystem::path> stored = remembered();
    for (const auto& path : stored) {
        const bool duplicate = std::any_of(m_files.begin(), m_files.end(),
                                           [&](const OpenFile& file) { return file.path == path; });
        if (duplicate) {
            continue;
        }
        std::string reason;
        try {
            auto top = m_opener(path, session.passwordPrompt());
            if (!top) {
                throw Failure(err::kCorruptStore, "The reader returned no top folder");
            }
            session.addDataFile(top);
            m_files.push_back(OpenFile{path, std::move(top), {}});
            continue;
        } catch (const std::exception& failure) {
            reason = reasonOf(failure);
        }
        m_files.push_back(OpenFile{path, nullptr, std::move(reason)});
    }
    // Only duplicates are ever dropped; the list is rewritten before any message is shown,
    // so that it is right even if the program ends while a message is up.
    if (m_files.size() != stored.size()) {
        remember();
    }
    for (const auto& file : m_files) {
        if (!file.top) {
            m_boxes.show(fmt::format("The data file {} cannot be opened now: {}. It stays in the "
                                     "list of data files; close it there to forget it.",
                                     archive::pathToUtf8(file.path), file.reason),
                         archive::MessageIcon::Exclamation, archive::kApplicationTitle);
        }
    }
}

std::shared_ptr<store::Folder> DataFiles::open(store::Session& session,
                                               const std::filesystem::path& file) {
    const std::filesystem::path path = normalised(file);
    const auto known = std::find_if(m_files.begin(), m_files.end(),
                                    [&](const OpenFile& open) { return open.path == path; });
    if (known != m_files.end() && known->top) {
        return known->top;
    }
    auto top = m_opener(path, session.passwordPrompt());
    if (!top) {
        throw Failure(err::kCorruptStore, "The reader returned no top folder",
                      archive::pathToUtf8(path));
    }
    // The session lists its files in opening order, the list here in remembered order: a
    // file that comes back keeps its place in the list.
    session.addDataFile(top);
    const auto again = std::find_if(m_files.begin(), m_files.end(),
                                    [&](const OpenFile& open) { return open.path == path; });
    if (again != m_files.end()) {
        again->top = top;
        again->reason.clear();
    } else {
        m_files.push_back(OpenFile{path, top, {}});
    }
    remember();
    return top;
}

std::shared_ptr<store::Folder> DataFiles::openOrExplain(store::Session& session,
                                                        const std::filesystem::path& file) {
    try {
        return open(session, file);
    } catch (const std::exception& failure) {
        m_boxes.show(fmt::format("The data file {} could not be opened: {}.",
                                 archive::pathToUtf8(file), reasonOf(failure)),
                     archive::MessageIcon::Exclamation, archive::kApplicationTitle);
    }
    return nullptr;
}

void DataFiles::close(store::Session& session, const std::shared_ptr<store::Folder>& topFolder) {
    const auto found = std::find_if(m_files.begin(), m_files.end(), [&](const OpenFile& open) {
        return open.top && open.top == topFolder;
    });
    if (found == m_files.end()) {
        return;
    }
    session.removeDataFile(topFolder);
    m_files.erase(found);
    remember();
}

void DataFiles::forget(const std::filesystem::path& file) {
    const auto found = std::find_if(m_files.begin(), m_files.end(), [&](const OpenFile& open) {
        return !open.top && open.path == file;
    });
    if (found == m_files.end()) {
        return;
    }
    m_files.erase(found);
    remember();
}

std::vector<DataFiles::Unavailable> DataFiles::unavailable() const {
    std::vector<Unavailable> out;
    for (const auto& file : m_files) {
        if (!file.top) {
            out.push_back(Unavailable{file.path, file.reason});
        }
    }
    return out;
}

std::vector<std::filesystem::path> DataFiles::paths() const {
    std::vector<std::filesystem::path> out;
    for (const auto& file : m_files) {
        if (file.top) {
            out.push_back(file.path);
        }
    }
    return out;
}

std::filesystem::path DataFiles::pathOf(const std::shared_ptr<store::Folder>& topFolder) const {
    for (const auto& file : m_files) {
        if (file.top && file.top == topFolder) {
            return file.path;
        }
    }
    return {};
}

} // namespace tvn::app
