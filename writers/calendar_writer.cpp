// The calendar writer: one labelled report per appointment, named from its start and
// subject, with the appointment's attachments saved beside it.

#include <array>
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

constexpr std::string_view kSaveCalendarInfo =
    " Error in SaveCalendar sub or a sub-function therein.";
constexpr std::string_view kPrintCalendarInfo =
    " Error in PrintCalendar function or a sub-function therein.";
constexpr std::string_view kPrintCalendarEventInfo =
    " Error in PrintCalendarEvent sub or a sub-function therein.";
constexpr std::string_view kSaveCalendarAttachmentsInfo =
    " Error in SaveCalendarAttachments or a sub-function therein.";

constexpr std::array<std::string_view, 4> kBusyWords = {"Free.", "Tentative.", "Busy.",
                                                        "Out of office."};
constexpr std::array<std::string_view, 3> kImportanceWords = {"Low.", "Normal.", "High."};
constexpr std::array<std::string_view, 4> kSensitivityWords = {"Normal.", "Personal.", "Private.",
                                                               "Confidential."};
// By recurrence type: daily, weekly, monthly, monthly on the nth weekday, (4: no such
// type, the words of any type not listed), yearly, yearly on the nth weekday.
constexpr std::array<std::string_view, 7> kRecurrenceWords = {
    "Yes - Daily.",
    "Yes - Weekly.",
    "Yes - Monthly.",
    "Yes - Monthly (see appointment for additional details).",
    "Yes - see appointment for additional details.",
    "Yes - Yearly.",
    "Yes - Yearly (see appointment for additional details).",
};

constexpr std::string_view kNoBody = "<This calendar event contained no message body.>";
constexpr std::string_view kNoSubject = "<This calendar event contained no subject.>";

template <std::size_t N>
std::string_view word(const std::array<std::string_view, N>& words, std::int64_t value,
                      std::string_view otherwise) {
    return value >= 0 && static_cast<std::size_t>(value) < N
               ? words[static_cast<std::size_t>(value)]
               : otherwise;
}

std::string orElse(const std::string& text, std::string_view empty, std::string_view after = {}) {
    return text.empty() ? std::string(empty) : text + std::string(after);
}

bool takesAppointment(std::string_view messageClass) {
    // A changed occurrence of a series is stored under a class of its own.
    return reports::isClassOf(messageClass, "IPM.Appointment") ||
           reports::startsWithClass(messageClass, "IPM.OLE.CLASS.{00061055-");
}

bool PrintCalendar(archive::RunContext& run, const store::Item& item,
                   const reports::ReportTarget& target) {
    auto trap = reports::clearingTrap(run.reporter(), kPrintCalendarInfo);

    const auto body = readValue(trap, item, prop::Body);
    const auto subject = readValue(trap, item, prop::Subject);
    const auto busy = readValue(trap, item, prop::BusyStatus);
    const auto reminder = readValue(trap, item, prop::ReminderSet);
    const auto created = readValue(trap, item, prop::CreationTime);
    const auto start = readValue(trap, item, prop::Start);
    const auto end = readValue(trap, item, prop::End);
    const auto allDay = readValue(trap, item, prop::AllDayEvent);
    const auto duration = readValue(trap, item, prop::Duration);
    const auto location = readValue(trap, item, prop::Location);
    const auto recurring = readValue(trap, item, prop::IsRecurring);
    std::optional<std::string_view> recurrence;
    if (recurring && !*recurring) {
        recurrence = "No.";
    } else if (recurring) {
        if (const auto type = readValue(trap, item, prop::RecurrenceType)) {
            recurrence = word(kRecurrenceWords, *type, kRecurrenceWords[4]);
        }
    }
    const auto importance = readValue(trap, item, prop::Importance);
    const auto organizer = readValue(trap, item, prop::Organizer);
    const auto required = readValue(trap, item, prop::RequiredAttendees);
    const auto optional = readValue(trap, item, prop::OptionalAttendees);
    const auto sensitivity = readValue(trap, item, prop::Sensitivity);
    const auto companies = readValue(trap, item, prop::Companies);
    const auto categories = readValue(trap, item, prop::Categories);
    auto attachments = reports::readAttachments(trap, item);

    const std::string stamp = start ? archive::reportStamp(*start) : std::string{};
    const std::string cleaned = archive::CleanName(subject.value_or(std::string{}));
    const std::string shown = archive::cutSubject(cleaned);
    const std::string title =
        stamp + " - " + (cleaned.empty() ? reports::placeholderTitle(kNoSubject) : shown);

    const auto text = [](const auto& v) { return std::string(v); };
    bool anyListed = false;
    std::string report;
    report.reserve(1024 + (body ? body->size() : 0));
    for (const std::string& line : {
             "Subject: " + shown,
             labelled("Date created: ", created, archive::generalDate),
             std::string{},
             labelled("Start date: ", start, archive::generalDate),
             labelled("End Date: ", end, archive::generalDate),
             labelled("Duration: ", duration,
                      [](std::int64_t minutes) {
                          return minutes == 0 ? std::string("N/A.")
                                              : std::to_string(minutes) + " minutes.";
                      }),
             labelled("All day event: ", allDay, [](bool yes) { return yes ? "Yes" : "No."; }),
             std::string{},
             labelled("Location: ", location,
                      [](const std::string& where) {
                          return orElse(where, "No location was listed for this calendar event.",
                                        ".");
                      }),
             labelled("Organized by: ", organizer, text),
             labelled("Company: ", companies,
                      [](const std::string& names) {
                          return orElse(names, "No companies were listed for this calendar event.");
                      }),
             labelled("Importance: ", importance,
                      [](std::int64_t v) {
                          return word(kImportanceWords, v,
                                      "No importance level was set for this calendar event.");
                      }),
             labelled("Sensitivity level: ", sensitivity,
                      [](std::int64_t v) {
                          return word(kSensitivityWords, v,
                                      "No sensitivity level was set for this calendar event.");
                      }),
             labelled("Category assigned: ", categories,
                      [](const std::string& names) {
                          return orElse(names, "No category was selected for this calendar event.",
                                        ".");
                      }),
             labelled("Recurring appointment: ", recurrence, text),
             labelled("Busy status: ", busy,
                      [](std::int64_t v) { return word(kBusyWords, v, "N/A."); }),
             labelled("Reminder set: ", reminder, [](bool yes) { return yes ? "Yes." : "No."; }),
             std::string{},
             labelled("Required attendees: ", required,
                      [](const std::string& names) {
                          return orElse(reports::attendeeList(names),
                                        "No required attendees were listed for this calendar "
                                        "event") +
                                 ".";
                      }),
             std::string{},
             labelled("Optional attendees: ", optional,
                      [](const std::string& names) {
                          return orElse(reports::attendeeList(names),
                                        "No optional attendees were listed for this calendar "
                                        "event") +
                                 ".";
                      }),
             std::string{},
             reports::attachmentLines("This calendar event contained the following attachments: ",
                                      attachments, anyListed),
             std::string{},
             std::string("Calendar message: "),
         }) {
        report += line;
        report += "\r\n";
    }
    if (body) {
        report += body->empty() ? std::string(kNoBody) : *body;
    }
    report += "\r\n\r\n";

    const bool written =
        reports::writeReportFile(run, target.directory, title, report, kPrintCalendarEventInfo);
    if (anyListed) {
        reports::saveAttachments(run, attachments, target, kSaveCalendarAttachmentsInfo);
    }
    return written;
}

} // namespace

void SaveCalendar(archive::RunContext& run, const std::string& /*strFolderName*/,
                  const std::filesystem::path& strPath,
                  const std::shared_ptr<store::Folder>& folder) {
    const reports::ReportWalk walk{
        kSaveCalendarInfo, &takesAppointment, "an appointment",
        [&run](const store::Item& item, const reports::ReportTarget& target) {
            return PrintCalendar(run, item, target);
        }};
    reports::walkReportFolders(run, strPath, folder, walk);
}

} // namespace tvn::writers
