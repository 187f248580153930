// The task writer: one labelled report per task, named from its due date and subject,
// with the task's attachments saved beside it. Every line carries its own label.

#include <array>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>

#include "archive/names.h"
#include "archive/text_files.h"
#include "writers/report_writer.h"
#include "writers/writers.h"

namespace tvn::writers {

namespace {

namespace prop = store::prop;
using reports::labelled;
using reports::readValue;

constexpr std::string_view kSaveTasksInfo =
    " Error in SaveTasks function or a sub-function therein.";
constexpr std::string_view kPrintTasksInfo =
    " Error in PrintTasks function or a sub-function therein.";
constexpr std::string_view kPrintEachTaskInfo =
    " Error in PrintEachTask sub or a sub-function therein.";
constexpr std::string_view kSaveTaskAttachmentsInfo =
    " Error in SaveTaskAttachments sub or a sub-function therein.";

constexpr std::string_view kOther = "See the task for details.";
constexpr std::array<std::string_view, 4> kDelegationLines = {
    "Delegation state: Not delegated.", "Delegation state: Delegation unknown.",
    "Delegation state: Accepted.", "Delegation state: Declined."};
constexpr std::array<std::string_view, 3> kOwnershipWords = {"New.", "Delegated.", "Own."};
constexpr std::array<std::string_view, 4> kResponseWords = {"Simple.", "Assigned.", "Accepted.",
                                                            "Declined."};
constexpr std::array<std::string_view, 5> kStatusWords = {
    "Not started.", "In Progress.", "Complete.", "Waiting on someone else.", "Deferred."};
constexpr std::array<std::string_view, 3> kImportanceLines = {
    "Importance level: Low.", "Importance level: Normal.", "Importance level: High."};
constexpr std::array<std::string_view, 4> kSensitivityLines = {
    "Sensitivity level: Normal.", "Sensitivity level: Personal.", "Sensitivity level: Private.",
    "Sensitivity level: Confidential."};

constexpr std::string_view kNoRecipients = "No recipients were listed for this task";
constexpr std::string_view kNoSubject = " - This task contained no subject";
constexpr std::string_view kNoBody = "<This task contained no message body.>";
// A start or due date after this one (the unset date 4501-01-01 among them) means none.
constexpr std::string_view kLastDate = "2500-01-01";
// The status from which completion reports have recipients (deferred).
constexpr std::int64_t kStatusDeferred = 4;

template <std::size_t N>
std::string word(const std::array<std::string_view, N>& words, std::int64_t value,
                 std::string_view otherwise) {
    return std::string(value >= 0 && static_cast<std::size_t>(value) < N
                           ? words[static_cast<std::size_t>(value)]
                           : otherwise);
}

// label + text + ".", or label + the substitute when the text is empty.
auto textOr(std::string_view empty) {
    return
        [empty](const std::string& text) { return text.empty() ? std::string(empty) : text + "."; };
}

bool hasDate(const std::string& stamp) {
    return !stamp.empty() && stamp <= kLastDate;
}

bool notBefore(const store::DateTime& a, const store::DateTime& b) {
    return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) >=
           std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

// Whether text reads as a number, as the runtime's numeric test takes it (blanks around
// the number allowed), and that number.
std::optional<double> asNumber(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const auto last = text.find_last_not_of(" \t");
    const std::string digits = text.substr(first, last - first + 1);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(digits.c_str(), &end);
    if (end != digits.c_str() + digits.size() || errno == ERANGE) {
        return std::nullopt;
    }
    return value;
}

std::string mileageLine(const std::string& mileage) {
    const auto number = asNumber(mileage);
    const bool none = number ? !(*number > 0) : mileage.empty();
    return none ? std::string("Mileage: None.") : "Mileage: " + mileage + " miles.";
}

bool takesTask(std::string_view messageClass) {
    return reports::isClassOf(messageClass, "IPM.Task");
}

struct TaskRecipients {
    // The display names joined with ", ", or the words for none.
    std::string text;
    bool any = false;
};

// The task's recipients; nothing when the collection cannot be read. A name that cannot be
// read is left out.
std::optional<TaskRecipients> recipientNames(archive::ErrorTrap& trap, const store::Item& item) {
    std::shared_ptr<store::Recipients> recipients;
    std::int32_t count = 0;
    if (!trap.step([&] {
            recipients = item.recipients();
            count = recipients ? recipients->count() : 0;
        })) {
        return std::nullopt;
    }
    if (count < 1) {
        return TaskRecipients{std::string(kNoRecipients), false};
    }
    TaskRecipients names{{}, true};
    bool first = true;
    for (std::int32_t i = 1; i <= count; ++i) {
        trap.step([&] {
            const auto name = recipients->item(i)->name();
            names.text += first ? name : ", " + name;
            first = false;
        });
    }
    return names;
}

bool PrintEachTask(archive::RunContext& run, const std::string& report, const std::string& title,
                   const std::filesystem::path& directory) {
    {
        archive::ErrorTrap trap(run.reporter(), std::string(kPrintEachTaskInfo));
        trap.step([&] {
            if (!run.files().FolderExists(directory)) {
                run.CreateFolder(directory);
            }
        });
    }
    return reports::writeReportFile(run, directory, title, report, kPrintEachTaskInfo);
}

bool PrintTasks(archive::RunContext& run, const store::Item& item,
                const reports::ReportTarget& target) {
    auto trap = reports::clearingTrap(run.reporter(), kPrintTasksInfo);

    const auto billing = readValue(trap, item, prop::BillingInformation);
    const auto actualWork = readValue(trap, item, prop::ActualWork);
    const auto modified = readValue(trap, item, prop::LastModificationTime);
    const auto complete = readValue(trap, item, prop::Complete);
    const auto contacts = readValue(trap, item, prop::ContactNames);
    const auto completed = readValue(trap, item, prop::DateCompleted);
    const store::DateTime present = archive::now();
    const auto delegation = readValue(trap, item, prop::DelegationState);
    const auto delegator = readValue(trap, item, prop::Delegator);
    const auto mileage = readValue(trap, item, prop::Mileage);
    const auto ownership = readValue(trap, item, prop::Ownership);
    const auto owner = readValue(trap, item, prop::Owner);
    const auto percent = readValue(trap, item, prop::PercentComplete);
    const auto reminder = readValue(trap, item, prop::ReminderSet);
    const auto reminderTime = readValue(trap, item, prop::ReminderTime);
    const auto response = readValue(trap, item, prop::ResponseState);
    const auto role = readValue(trap, item, prop::Role);
    const auto status = readValue(trap, item, prop::Status);
    std::optional<std::string> statusRecipients;
    if (status && *status >= kStatusDeferred) {
        statusRecipients = readValue(trap, item, prop::StatusOnCompletionRecipients);
    } else if (status) {
        statusRecipients = "N/A";
    }
    const auto teamTask = readValue(trap, item, prop::TeamTask);
    const auto totalWork = readValue(trap, item, prop::TotalWork);
    const auto body = readValue(trap, item, prop::Body);
    const auto created = readValue(trap, item, prop::CreationTime);
    const auto start = readValue(trap, item, prop::StartDate);
    const auto due = readValue(trap, item, prop::DueDate);
    const std::string dueStamp = due ? archive::taskStamp(*due) : std::string{};
    const auto importance = readValue(trap, item, prop::Importance);
    const auto recipients = recipientNames(trap, item);
    const auto sensitivity = readValue(trap, item, prop::Sensitivity);
    const auto companies = readValue(trap, item, prop::Companies);
    const auto categories = readValue(trap, item, prop::Categories);
    auto attachments = reports::readAttachments(trap, item);
    const auto subject = readValue(trap, item, prop::Subject);

    const std::string cleaned = archive::CleanName(subject.value_or(std::string{}));
    const std::string title = cleaned.empty() ? dueStamp + std::string(kNoSubject)
                                              : dueStamp + " - " + archive::cutSubject(cleaned);

    const auto yesNo = [](bool yes) { return yes ? "Yes." : "No."; };
    const auto minutes = [](std::string_view none, std::string_view after) {
        return [none, after](std::int64_t n) {
            return n == 0 ? std::string(none) : std::to_string(n) + std::string(after);
        };
    };
    bool anyListed = false;
    std::string report;
    report.reserve(2048 + (body ? body->size() : 0));
    for (const std::string& line : {
             labelled("Subject: ", subject,
                      [](const std::string& s) {
                          return s.empty() ? std::string("This task has no subject.") : s;
                      }),
             labelled("Date created: ", created, archive::generalDate),
             labelled("Date last modified: ", modified,
                      [](const store::DateTime& d) { return archive::generalDate(d) + "."; }),
             std::string{},
             labelled("Start date: ", start,
                      [](const store::DateTime& d) {
                          return hasDate(archive::taskStamp(d)) ? archive::generalDate(d)
                                                                : std::string("N/A");
                      }),
             labelled("Due date: ", due,
                      [&dueStamp](const store::DateTime& d) {
                          return hasDate(dueStamp)
                                     ? archive::generalDate(d)
                                     : std::string("No due date was set for this task.");
                      }),
             labelled("Percent completed: ", percent,
                      [](std::int64_t p) { return std::to_string(p) + "%."; }),
             labelled("Date completed: ", completed,
                      [&present](const store::DateTime& d) {
                          return notBefore(d, present) ? std::string("N/A")
                                                       : archive::generalDate(d);
                      }),
             labelled("Task complete: ", complete, yesNo),
             std::string{},
             labelled("Contact names: ", contacts, textOr("None listed for this task.")),
             delegation ? word(kDelegationLines, *delegation, std::to_string(*delegation))
                        : std::string("Delegation state: "),
             labelled("Delegator: ", delegator, textOr("N/A.")),
             labelled("Task ownership state: ", ownership,
                      [](std::int64_t v) { return word(kOwnershipWords, v, kOther); }),
             labelled("Task owner: ", owner,
                      [](const std::string& o) {
                          return o.empty() ? std::string("No owner is listed.") : o;
                      }),
             labelled("Companies: ", companies, textOr("No companies were listed for this task.")),
             labelled("Category: ", categories, textOr("No category was selected for this task.")),
             importance
                 ? word(kImportanceLines, *importance, "Importance level: Not set for this task.")
                 : std::string("Importance level: "),
             labelled("Task recipients: ", recipients,
                      [](const TaskRecipients& r) { return r.any ? r.text + "." : r.text; }),
             sensitivity ? word(kSensitivityLines, *sensitivity,
                                "Sensitivity level: Not set for this task.")
                         : std::string("Sensitivity level: "),
             labelled("Reminder set: ", reminder, yesNo),
             labelled("Reminder time: ", reminderTime,
                      [](const store::DateTime& d) { return archive::generalDate(d) + "."; }),
             labelled("Response state: ", response,
                      [](std::int64_t v) { return word(kResponseWords, v, kOther); }),
             role ? (role->empty() ? std::string("Role: N/A.") : "Role:" + *role + ".")
                  : std::string("Role: "),
             labelled("Task status: ", status,
                      [](std::int64_t v) { return word(kStatusWords, v, kOther); }),
             labelled("Status reports upon completion are to be sent to: ", statusRecipients,
                      [](const std::string& names) { return names + "."; }),
             teamTask ? std::string(*teamTask ? "Team task:Yes." : "Team task: No.")
                      : std::string("Team task: "),
             labelled("Total work completed: ", totalWork, minutes("None.", " minutes.")),
             labelled("Billing information: ", billing, textOr("N/A.")),
             mileage ? mileageLine(*mileage) : std::string("Mileage: "),
             labelled("Actual work: ", actualWork,
                      [](std::int64_t n) {
                          return n > 0 ? std::to_string(n) + " minutes completed to date."
                                       : std::string("None.");
                      }),
             std::string{},
             recipients ? recipients->text + "." : std::string{},
             std::string{},
             reports::attachmentLines(
                 "This task contained the following attachments: ", attachments, anyListed),
             std::string{},
         }) {
        report += line;
        report += "\r\n";
    }
    if (!body) {
        report += "Task notes: ";
    } else if (body->empty()) {
        report += "Task notes:\r\n";
        report += kNoBody;
    } else {
        report += "Task notes: ";
        report += *body;
    }
    report += "\r\n\r\n";

    const bool written = PrintEachTask(run, report, title, target.directory);
    if (anyListed) {
        reports::saveAttachments(run, attachments, target, kSaveTaskAttachmentsInfo);
    }
    return written;
}

} // namespace

void SaveTasks(archive::RunContext& run, const std::string& /*strFolderName*/,
               const std::filesystem::path& strPath, const std::shared_ptr<store::Folder>& folder) {
    const reports::ReportWalk walk{
        kSaveTasksInfo, &takesTask, "a task",
        [&run](const store::Item& item, const reports::ReportTarget& target) {
            return PrintTasks(run, item, target);
        }};
    reports::walkReportFolders(run, strPath, folder, walk);
}

} // namespace tvn::writers
