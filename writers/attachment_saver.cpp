#include "writers/attachment_saver.h"

#include <cstdint>
#include <memory>

namespace tvn::writers {

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
        // Each attachment is released before the next is opened.
        std::shared_ptr<store::Attachment> attachment;
        std::string fileName;
        if (!trap.step([&] {
                attachment = attachments->item(i);
                fileName = attachment->fileName();
            })) {
            // Without its name there is no path to save it under.
            ++account.attachmentsFailed;
            continue;
        }
        const auto path = pathFor(fileName);
        if (!path) {
            continue;
        }
        const auto claimed = run.claimFileName(*path);
        if (trap.step([&] { run.files().SaveAttachment(*attachment, claimed); })) {
            ++account.attachmentsSaved;
        } else {
            ++account.attachmentsFailed;
        }
    }
}

} // namespace tvn::writers
