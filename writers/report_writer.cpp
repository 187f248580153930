#include "writers/report_writer.h"

#include <cctype>
#include <exception>
#include <utility>

#include <fmt/format.h>

#include "archive/names.h"
#include "archive/text_files.h"
#include "store/walk.h"
#include "writers/attachment_saver.h"

namespace tvn::writers::reports {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUntitledMessage = "Untitled.msg";

// A write to a report whose file could not be created.
[[noreturn]] void failNoStream() {
    throw Failure(err::kObjectNotSet, "Object variable or With block variable not set: the "
                                      "report file was not created.");
}

class ReportFolderWalk final : public store::FolderVisitor {
public:
    ReportFolderWalk(archive::RunContext& run, fs::path top, const ReportWalk& walk)
        : m_run(run), m_top(std::move(top)), m_walk(walk),
          m_trap(run.reporter(), std::string(walk.info)) {}

    bool enterFolder(const std::shared_ptr<store::Folder>& folder, std::size_t depth) override {
        fs::path directory = m_top;
        if (depth > 0) {
            const fs::path parent = m_levels.back().directory;
            if (!m_trap.step([&] {
                    directory =
                        parent / archive::pathFromUtf8(archive::directoryName(folder->name()));
                })) {
                m_levels.push_back({parent, nullptr});
                return false;
            }
        }
        m_run.CreateFolder(directory);
        m_levels.push_back({directory, &m_run.beginFolder(directory)});
        return true;
    }

    void leaveFolder(const std::shared_ptr<store::Folder>& /*folder*/) override {
        m_levels.pop_back();
    }

    void visitItem(const std::shared_ptr<store::Item>& item, std::int32_t index) override {
        const Level& level = m_levels.back();
        archive::FolderAccount& account = *level.account;
        ++account.found;
        std::string messageClass;
        if (!m_trap.step([&] { messageClass = item->messageClass(); })) {
            ++account.failed;
        } else if (!m_walk.takes(messageClass)) {
            m_trap.step([&] {
                throw Failure(kTypeMismatch,
                              fmt::format("Type mismatch: item {} is of class \"{}\", not {}; "
                                          "it was skipped.",
                                          index, messageClass, m_walk.kindName));
            });
            ++account.skipped[messageClass];
        } else if (m_walk.report(*item, ReportTarget{level.directory, account})) {
            ++account.written;
        } else {
            ++account.failed;
        }
        m_run.progress().itemDone(account);
    }

    void failed(const Failure& failure, store::WalkStep step, std::int32_t /*index*/) override {
        m_run.reporter().ErrorMessages(failure, m_walk.info, "N/A.");
        if (step == store::WalkStep::Item && !m_levels.empty() && m_levels.back().account) {
            archive::FolderAccount& account = *m_levels.back().account;
            ++account.found;
            ++account.failed;
            m_run.progress().itemDone(account);
        }
    }

private:
    struct Level {
        fs::path directory;
        // Null for a subfolder whose name could not be read: nothing is written for it.
        archive::FolderAccount* account;
    };

    archive::RunContext& m_run;
    fs::path m_top;
    const ReportWalk& m_walk;
    archive::ErrorTrap m_trap;
    std::vector<Level> m_levels;
};

bool sameNoCase(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

} // namespace

void walkReportFolders(archive::RunContext& run, const fs::path& directory,
                       const std::shared_ptr<store::Folder>& folder, const ReportWalk& walk) {
    ReportFolderWalk visitor(run, directory, walk);
    store::walkFolderTree(folder, visitor);
}

bool startsWithClass(std::string_view messageClass, std::string_view prefix) {
    if (messageClass.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (!sameNoCase(messageClass[i], prefix[i])) {
            return false;
        }
    }
    return true;
}

bool isClassOf(std::string_view messageClass, std::string_view base) {
    return startsWithClass(messageClass, base) &&
           (messageClass.size() == base.size() || messageClass[base.size()] == '.');
}

std::string placeholderTitle(std::string_view placeholder) {
#ifdef _WIN32
    return archive::CleanName(placeholder);
#else
    return std::string(placeholder);
#endif
}

archive::ErrorTrap clearingTrap(archive::ErrorReporter& reporter, std::string_view info,
                                std::int32_t cleared) {
    archive::ErrorTrap trap(reporter, std::string(info));
    trap.clearSilently({cleared});
    return trap;
}

std::string attendeeList(std::string_view attendees) {
    std::string out;
    out.reserve(attendees.size() + 8);
    for (const char c : attendees) {
        if (c == ';') {
            out += ", ";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string dateText(const std::optional<store::DateTime>& when) {
    return when ? archive::generalDate(*when) : std::string{};
}

bool writeReportFile(archive::RunContext& run, const fs::path& directory, std::string_view title,
                     std::string_view text, std::string_view info) {
    archive::ErrorTrap trap(run.reporter(), std::string(info));
    std::unique_ptr<archive::TextStream> stream;
    bool ok = trap.step([&] {
        const auto path =
            run.claimFileName(directory / archive::pathFromUtf8(std::string(title) + ".rtf"));
        stream = run.files().CreateTextFile(path, true);
    });
    ok = trap.step([&] { stream ? stream->WriteLine(text) : failNoStream(); }) && ok;
    ok = trap.step([&] { stream ? stream->WriteBlankLines(1) : failNoStream(); }) && ok;
    ok = trap.step([&] { stream ? stream->Close() : failNoStream(); }) && ok;
    return ok;
}

std::vector<ReportAttachment> readAttachments(archive::ErrorTrap& trap, const store::Item& item) {
    std::vector<ReportAttachment> list;
    std::shared_ptr<store::Attachments> attachments;
    std::int32_t count = 0;
    if (!trap.step([&] {
            attachments = item.attachments();
            count = attachments ? attachments->count() : 0;
        })) {
        return list;
    }
    for (std::int32_t i = 1; i <= count; ++i) {
        ReportAttachment entry;
        if (!trap.step([&] { entry.attachment = attachments->item(i); }) || !entry.attachment) {
            continue;
        }
        trap.step([&] {
            if (entry.attachment->type() == store::AttachmentType::ByValue) {
                entry.listed = true;
                entry.fileName = entry.attachment->fileName();
            }
        });
        list.push_back(std::move(entry));
    }
    return list;
}

std::string attachmentLines(std::string_view label, const std::vector<ReportAttachment>& list,
                            bool& anyListed) {
    std::string out(label);
    int number = 0;
    for (const auto& entry : list) {
        if (!entry.listed || !entry.fileName || *entry.fileName == kUntitledMessage) {
            continue;
        }
        out += fmt::format("\r\n{}.  {}.", ++number, *entry.fileName);
    }
    anyListed = number > 0;
    if (!anyListed) {
        out += "None.";
    }
    return out;
}

std::string attachmentFileName(std::string_view fileName) {
#ifdef _WIN32
    constexpr std::string_view kTakenOut = "\"/\\:*?<>|";
#else
    constexpr std::string_view kTakenOut = "\"/\\";
#endif
    return archive::withoutAny(fileName, kTakenOut);
}

void saveAttachments(archive::RunContext& run, const std::vector<ReportAttachment>& list,
                     const ReportTarget& target, std::string_view info) {
    auto trap = clearingTrap(run.reporter(), info);
    const AttachmentPath pathFor = [&](const std::string& fileName) -> std::optional<fs::path> {
        if (fileName == kUntitledMessage) {
            return std::nullopt;
        }
        const std::string name = attachmentFileName(fileName);
        if (name.empty() || name == "." || name == "..") {
            throw Failure(err::kPathFileAccess,
                          fmt::format("The attachment name \"{}\" names no file of its own; "
                                      "it was not saved.",
                                      fileName));
        }
        return target.directory / archive::pathFromUtf8(name);
    };
    for (const auto& entry : list) {
        saveAttachment(run, trap, target.account, *entry.attachment, entry.fileName, pathFor);
    }
}

} // namespace tvn::writers::reports
