#pragma once

// The error reporter and the trap convention. A procedure is a list of steps; each step
// runs inside trap(), which on a failure reports it through ErrorMessages with the
// procedure's information text and subject, and returns so that the next step runs.
//
//   ErrorTrap t(reporter, "Error in Form_Load sub or a sub-function therein.", "N/A.");
//   t.step([&] { caption = title(); });
//   t.step([&] { fso.CreateFolder(root); });

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/text_files.h"

namespace tvn::archive {

enum class MessageIcon { None, Information, Exclamation };

// How the reporter (and every other model) shows a message box with an OK button.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void show(std::string_view text, MessageIcon icon, std::string_view title) = 0;
};

inline constexpr std::string_view kApplicationTitle = "Tallyvane";
inline constexpr std::string_view kErrorLogName = "TVN Error Log.txt";

// The four-line entry, lines joined by CR LF, without the final line end (the line-write
// adds it).
std::string formatLogEntry(std::int32_t number, std::string_view description, std::string_view info,
                           std::string_view subject);

class ErrorReporter {
public:
    explicit ErrorReporter(MessageBoxes& boxes) : m_boxes(boxes) {}

    // The reporter of every trapped failure: 70 shows the two "Contacts.rtf" messages when
    // the failing file is a Contacts.rtf and is otherwise logged; 287 clears boolPermission;
    // 32755 is ignored; anything else sets boolError and writes one entry to the log.
    void ErrorMessages(std::int32_t number, std::string_view description, std::string_view info,
                       std::string_view subject, std::string_view failingPath = {});
    void ErrorMessages(const Failure& failure, std::string_view info, std::string_view subject) {
        ErrorMessages(failure.number(), failure.description(), info, subject, failure.path());
    }

    // The open error log (TextStream99); nullptr while none is open, when entries are
    // dropped. Open it with Buffering::EveryLine so that each entry reaches the file at
    // once. An entry the log cannot take (disk full) is dropped too.
    std::unique_ptr<TextStream>& log() { return m_log; }

    bool boolError = false;
    bool boolPermission = true;

private:
    MessageBoxes& m_boxes;
    std::unique_ptr<TextStream> m_log;
};

// One procedure's trap: its information text and subject, and the reporter.
class ErrorTrap {
public:
    // Builds the subject of a report from the failure being reported (a writer names the
    // item in hand at the moment of the failure).
    using SubjectOf = std::function<std::string(const Failure& failure)>;

    ErrorTrap(ErrorReporter& reporter, std::string info, std::string subject = "N/A.")
        : m_reporter(reporter), m_info(std::move(info)), m_subject(std::move(subject)) {}
    ErrorTrap(ErrorReporter& reporter, std::string info, SubjectOf subjectOf)
        : m_reporter(reporter), m_info(std::move(info)), m_subjectOf(std::move(subjectOf)) {}

    // Runs one step; a tvn::Failure (or any other exception, as the unspecified failure
    // err::kUnspecified with its what() text) is reported and swallowed. Returns true when
    // the step ran to its end. A failure inside the reporter itself (a message box that
    // throws) is not caught here: it goes to the caller's trap.
    bool step(const std::function<void()>& body);

    // A step that assigns: target receives compute()'s value only when compute returns, so
    // a failed step leaves the old value in place.
    //   t.assign(strName, [&] { return item->name(); });
    template <class T, class Compute> bool assign(T& target, Compute&& compute) {
        return step([&] { target = std::forward<Compute>(compute)(); });
    }

    // Failures of these numbers, raised by the data source, are dropped without a report
    // (the step still counts as failed). A fault of the program itself is reported even
    // when it carries one of them.
    void clearSilently(std::vector<std::int32_t> numbers) { m_silent = std::move(numbers); }

    // Reports a failure caught elsewhere (the folder walk's), unless it is cleared silently.
    void report(const Failure& failure);

    // The subject of later reports (GetFolderInfo reports the folder being listed).
    void setSubject(std::string subject) {
        m_subject = std::move(subject);
        m_subjectOf = nullptr;
    }

private:
    void reportAlways(std::int32_t number, std::string_view description, std::string_view path);

    ErrorReporter& m_reporter;
    std::string m_info;
    std::string m_subject;
    SubjectOf m_subjectOf;
    std::vector<std::int32_t> m_silent;
};

} // namespace tvn::archive
