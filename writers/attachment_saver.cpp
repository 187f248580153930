#include "writers/attachment_saver.h"

#include <cstdint>
#include <memory>

namespace tvn::writers {

void saveAttachment(archive::RunContext& run, archive::ErrorTrap& trap,
                    archive::FolderAccount& account, const store::Attachment& attachment,
                    std::optional<std::string> fileName, const AttachmentPath& pathFor) {
    std::optional<std::filesystem::path> path;
    if (!trap.step([&] {
            if (!fileName) {
                fileName = attachment.fileName();
            }
            path = pathFor(*fileName);
        })) {
        ++account.attachmentsFailed;
        return;
    }
    if (!path) {
        return;
    }
    const bool saved =
        trap.step([&] { run.files().SaveAttachment(attachment, run.claimFileName(*path)); });
    ++(saved ? account.attachmentsSaved : account.attachmentsFailed);
}

void saveAttachments(archive::RunContext& run, const store::Item& item, archive::ErrorTrap& trap,
                     archive::FolderAccount& account, const AttachmentPath& pathFor) {
    std::shared_ptr<store::Attachments> attachments;
    std::int32_t count = 0;
    if (!trap.step([&] {
            attachments = item.attachments();
            count = attachments ? attachments->count() : 0;
        })) {
        return;
    }
    for (std::int32_t i = 1; i <= count; ++i) {
        std::shared_ptr<store::Attachment> attachment;
        if (!trap.step([&] { attachment = attachments->item(i); }) || !attachment) {
            ++account.attachmentsFailed;
            continue;
        }
        saveAttachment(run, trap, account, *attachment, std::nullopt, pathFor);
    }
}

} // namespace tvn::writers
