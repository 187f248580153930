// The note writer: one short labelled report per note, named from its creation time and
// subject. Notes carry no attachments.

#include <string>
#include <string_view>

#include "archive/names.h"
#include "writers/report_writer.h"
#include "writers/writers.h"

namespace tvn::writers {

namespace {

namespace prop = store::prop;
using reports::labelled;
using reports::readValue;

constexpr std::string_view kSaveNotesInfo =
    " Error in SaveNotes function or a sub-function therein.";
constexpr std::string_view kPrintNotesInfo =
    " Error in PrintNotes function or a sub-function therein.";
constexpr std::string_view kPrintNoteItemInfo =
    " Error in PrintNoteItem sub or a sub-function therein.";

constexpr std::string_view kNoBody = "<This note entry contained no message body.>";
constexpr std::string_view kNoSubject = "<This note entry contained no subject.>";

bool takesNote(std::string_view messageClass) {
    return reports::isClassOf(messageClass, "IPM.StickyNote");
}

bool PrintNotes(archive::RunContext& run, const store::Item& item,
                const reports::ReportTarget& target) {
    auto trap = reports::clearingTrap(run.reporter(), kPrintNotesInfo);

    const auto subject = readValue(trap, item, prop::Subject);
    const auto modified = readValue(trap, item, prop::LastModificationTime);
    const auto body = readValue(trap, item, prop::Body);
    const auto categories = readValue(trap, item, prop::Categories);
    const auto created = readValue(trap, item, prop::CreationTime);

    const std::string stamp = created ? archive::reportStamp(*created) : std::string{};
    const std::string cleaned = archive::CleanName(subject.value_or(std::string{}));
    const std::string shown = archive::cutSubject(cleaned);
    const std::string title =
        stamp + " - " + (cleaned.empty() ? reports::placeholderTitle(kNoSubject) : shown);

    std::string report;
    report.reserve(512 + (body ? body->size() : 0));
    for (const std::string& line : {
             "Subject: " + shown,
             labelled("Date created: ", created, archive::generalDate),
             labelled("Date last modified: ", modified, archive::generalDate),
             std::string{},
             labelled("Category assigned: ", categories,
                      [](const std::string& names) {
                          return names.empty()
                                     ? std::string("No category was selected for this note entry.")
                                     : names + ".";
                      }),
             std::string{},
             std::string("Note message: "),
         }) {
        report += line;
        report += "\r\n";
    }
    if (body) {
        report += body->empty() ? std::string(kNoBody) : *body;
    }
    report += "\r\n\r\n";
    return reports::writeReportFile(run, target.directory, title, report, kPrintNoteItemInfo);
}

} // namespace

void SaveNotes(archive::RunContext& run, const std::string& /*strFolderName*/,
               const std::filesystem::path& strPath, const std::shared_ptr<store::Folder>& folder) {
    const reports::ReportWalk walk{
        kSaveNotesInfo, &takesNote, "a note",
        [&run](const store::Item& item, const reports::ReportTarget& target) {
            return PrintNotes(run, item, target);
        }};
    reports::walkReportFolders(run, strPath, folder, walk);
}

} // namespace tvn::writers
