// The mail writer: one text file per mail, named from its sent date, subject and sender,
// with the mail's attachments saved beside it under the same date and subject. Subfolders
// of every kind are walked first, each into a directory of its own; in them, too, only
// mails are written, and every other kind of item is counted as skipped without a report.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/names.h"
#include "archive/run_context.h"
#include "archive/settings_store.h"
#include "store/failure.h"
#include "store/properties.h"
#include "store/walk.h"
#include "writers/attachment_saver.h"
#include "writers/mail_item_file.h"
#include "writers/writers.h"

namespace tvn::writers {

namespace {

namespace fs = std::filesystem;
using archive::pathFromUtf8;

constexpr std::string_view kSaveTextInfo = " Error in SaveText function or a sub-function therein.";
// Outlook's object class of a mail (olMail).
constexpr std::int64_t kMailClass = 43;

// The message class a skipped item is counted under.
std::string messageClassOf(const store::Item& item) {
    try {
        return item.messageClass();
    } catch (const Failure&) {
        return "(unreadable class)";
    }
}

class MailWriter final : public store::FolderVisitor {
public:
    MailWriter(archive::RunContext& run, std::string topName, fs::path topPath)
        : m_run(run), m_topName(std::move(topName)), m_topPath(std::move(topPath)),
          m_trap(run.reporter(), std::string(kSaveTextInfo),
                 [this](const Failure& failure) { return failureText(failure); }) {
        // The automation layer's unspecified failure: dropped without a report.
        m_trap.clearSilently({err::kUnspecified});
    }

    bool enterFolder(const std::shared_ptr<store::Folder>& folder, std::size_t depth) override {
        m_item = {};
        Frame frame;
        if (depth == 0) {
            frame.name = m_topName;
            frame.path = m_topPath;
        } else if (!m_trap.assign(frame.name, [&] { return folder->name(); })) {
            // Without its name the subfolder has no directory: its tree is left out.
            m_frames.push_back(Frame{});
            return false;
        } else {
            frame.path = m_frames.back().path / pathFromUtf8(archive::directoryName(frame.name));
        }
        m_frames.push_back(std::move(frame));
        Frame& current = m_frames.back();
        m_trap.step([&] {
            m_run.settings().set(archive::settings::kSettingsSection,
                                 archive::settings::kErrorFilePath,
                                 archive::pathToUtf8(m_run.root()));
        });
        m_run.CreateFolder(current.path);
        current.account = &m_run.beginFolder(current.path);
        return true;
    }

    void leaveFolder(const std::shared_ptr<store::Folder>& /*folder*/) override {
        m_frames.pop_back();
        m_item = {};
    }

    void visitItem(const std::shared_ptr<store::Item>& item, std::int32_t /*index*/) override {
        auto& account = *m_frames.back().account;
        ++account.found;
        m_item = {};
        if (!item) {
            ++account.failed;
        } else {
            writeItem(*item, account);
        }
        m_run.progress().itemDone(account);
    }

    void failed(const Failure& failure, store::WalkStep step, std::int32_t /*index*/) override {
        if (step == store::WalkStep::Item) {
            // The item could not be opened: it is counted and reported like any failed item.
            m_item = {};
            auto& account = *m_frames.back().account;
            ++account.found;
            ++account.failed;
            m_trap.report(failure);
            m_run.progress().itemDone(account);
            return;
        }
        m_trap.report(failure);
    }

private:
    struct Frame {
        std::string name;
        fs::path path;
        archive::FolderAccount* account = nullptr;
    };

    // What a report tells of the item in hand; each item starts with all three empty, so
    // that no report names the previous item.
    struct ItemState {
        std::string subjectName;
        std::string sender;
        std::string stamp;
    };

    std::string failureText(const Failure& failure) const {
        const std::string& folder = m_frames.empty() ? m_topName : m_frames.back().name;
        return mailFailureText(folder, m_item.subjectName, m_item.sender, m_item.stamp,
                               failure.number(), failure.description());
    }

    void writeItem(const store::Item& item, archive::FolderAccount& account) {
        std::int64_t objectClass = 0;
        if (m_trap.assign(objectClass, [&] { return read(item, store::prop::Class); }) &&
            objectClass != kMailClass) {
            ++account.skipped[messageClassOf(item)];
            return;
        }
        // An item whose class cannot be read is taken for a mail: its other steps tell.

        // A property that cannot be read stays empty.
        MailText mail;
        m_trap.assign(mail.subject, [&] { return read(item, store::prop::Subject); });
        m_item.subjectName = mail.subject;
        m_trap.assign(mail.body, [&] { return read(item, store::prop::Body); });
        std::optional<store::DateTime> sentOn;
        m_trap.assign(sentOn, [&] { return read(item, store::prop::SentOn); });
        if (sentOn) {
            m_item.stamp = archive::mailStamp(*sentOn);
            mail.sent = archive::generalDate(*sentOn);
        }
        m_trap.assign(m_item.sender, [&] { return read(item, store::prop::SenderName); });
        m_trap.assign(mail.recipients, [&] { return read(item, store::prop::To); });

        m_item.subjectName = archive::cleanSubject(m_item.subjectName);
        m_item.sender = archive::CleanName(m_item.sender);
        mail.recipients = archive::CleanName(mail.recipients);
        if (m_item.sender.empty()) {
            m_item.sender = archive::kUnknownSender;
        }
        if (mail.recipients.empty()) {
            mail.recipients = kUnknownRecipient;
        }
        mail.sender = m_item.sender;

        const fs::path& directory = m_frames.back().path;
        const auto fileName = m_run.claimFileName(
            directory /
            pathFromUtf8(mailFileName(m_item.stamp, m_item.subjectName, m_item.sender)));
        // A file that cannot be opened leaves the stream of the previous item, closed, or
        // none; the writes below then fail and are reported in turn.
        m_trap.step([&] { m_stream = m_run.openItemFile(fileName); });
        m_trap.assign(mail.cc, [&] { return read(item, store::prop::CC); });
        const std::string text = mailItemText(mail);
        const bool written = m_trap.step([&] { stream().WriteLine(text); }) &
                             m_trap.step([&] { stream().WriteBlankLines(1); }) &
                             m_trap.step([&] { stream().Close(); });
        ++(written ? account.written : account.failed);

        saveAttachments(
            m_run, item, m_trap, account, [&](const std::string& name) -> std::optional<fs::path> {
                if (name.empty()) {
                    return std::nullopt;
                }
                return directory / pathFromUtf8(mailAttachmentName(m_item.stamp, m_item.subjectName,
                                                                   archive::CleanName(name)));
            });
    }

    archive::TextStream& stream() const {
        if (!m_stream) {
            throw Failure(err::kObjectNotSet, "Object variable or With block variable not set");
        }
        return *m_stream;
    }

    archive::RunContext& m_run;
    std::string m_topName;
    fs::path m_topPath;
    archive::ErrorTrap m_trap;
    std::vector<Frame> m_frames;
    ItemState m_item;
    // The item file being written; after it is closed it stays until the next item's file
    // is opened.
    std::unique_ptr<archive::TextStream> m_stream;
};

} // namespace

void SaveText(archive::RunContext& run, const std::string& strFolderName,
              const std::filesystem::path& strPath, const std::shared_ptr<store::Folder>& folder) {
    if (!folder) {
        run.CreateFolder(strPath);
        return;
    }
    MailWriter writer(run, strFolderName, strPath);
    store::walkFolderTree(folder, writer);
}

} // namespace tvn::writers
