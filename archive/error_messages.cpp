#include "archive/error_messages.h"

#include <algorithm>
#include <exception>
#include <new>

#include <fmt/format.h>

namespace tvn::archive {

namespace {

inline constexpr std::string_view kContactsFileName = "Contacts.rtf";

inline constexpr std::string_view kContactsCloseFirst =
    "Please close the Contacts.rtf file before proceeding.";
inline constexpr std::string_view kContactsClosed =
    "Click OK after you have closed the Contacts.rtf file!";

// The last component of a UTF-8 path as the text layer reports it.
std::string_view fileNameOf(std::string_view path) {
#ifdef _WIN32
    const auto slash = path.find_last_of("/\\");
#else
    const auto slash = path.find_last_of('/');
#endif
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string formatLogEntry(std::int32_t number, std::string_view description, std::string_view info,
                           std::string_view subject) {
    return fmt::format("Error Description: {}\r\nError Nbr: {}\r\nError Info: {}\r\n"
                       "Error Subject: {}",
                       description, number, info, subject);
}

void ErrorReporter::ErrorMessages(std::int32_t number, std::string_view description,
                                  std::string_view info, std::string_view subject,
                                  std::string_view failingPath) {
    switch (number) {
    case err::kPermissionDenied:
        // Only the contacts table is held open by the user's own spreadsheet while the
        // run writes it; any other refusal is an ordinary failure and goes to the log.
        if (fileNameOf(failingPath) == kContactsFileName) {
            m_boxes.show(kContactsCloseFirst, MessageIcon::Exclamation, kApplicationTitle);
            m_boxes.show(kContactsClosed, MessageIcon::None, kApplicationTitle);
            return;
        }
        break;
    case err::kAccessRefused:
        boolPermission = false;
        return;
    case err::kIgnored:
        return;
    default:
        break;
    }
    boolError = true;
    if (!m_log) {
        return;
    }
    try {
        m_log->WriteLine(formatLogEntry(number, description, info, subject));
    } catch (const std::exception&) {
        // The log itself cannot be written (disk full, closed): there is nowhere left to
        // report that, and the run must go on. boolError still tells the user at its end.
    }
}

bool ErrorTrap::step(const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const Failure& failure) {
        report(failure);
    } catch (const std::bad_alloc& e) {
        // Reporting needs a little memory too; what the step gave back usually suffices.
        try {
            reportAlways(err::kUnspecified, fmt::format("Out of memory ({})", e.what()), {});
        } catch (const std::bad_alloc&) {
            m_reporter.boolError = true;
        }
    } catch (const std::exception& e) {
        reportAlways(err::kUnspecified, e.what(), {});
    } catch (...) {
        reportAlways(err::kUnspecified, "Unknown failure", {});
    }
    return false;
}

void ErrorTrap::report(const Failure& failure) {
    if (std::find(m_silent.begin(), m_silent.end(), failure.number()) == m_silent.end()) {
        reportAlways(failure.number(), failure.description(), failure.path());
    }
}

void ErrorTrap::reportAlways(std::int32_t number, std::string_view description,
                             std::string_view path) {
    const std::string subject =
        m_subjectOf ? m_subjectOf(Failure(number, std::string(description), std::string(path)))
                    : m_subject;
    m_reporter.ErrorMessages(number, description, m_info, subject, path);
}

} // namespace tvn::archive
