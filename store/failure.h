#pragma once

// The one failure type of the program: a number and a description, as the error log
// records them. Every layer throws it across its public boundary; the trap helper of the
// archive layer is the one place that catches and reports it.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tvn {

// Error numbers the program produces or treats specially. The runtime numbers are the
// ones a Windows scripting host would raise for the same file-system failure.
namespace err {
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kFileExists = 58;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathFileAccess = 75;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kObjectNotSet = 91;
inline constexpr std::int32_t kInvalidProcedureCall = 5;
// The data file refused access (a password-protected file opened without its password).
inline constexpr std::int32_t kAccessRefused = 287;
// Raised by some automation calls and ignored by the reporter.
inline constexpr std::int32_t kIgnored = 32755;
// MAPI_E_CORRUPT_DATA (0x8004011B): the reader found damaged data in an item.
inline constexpr std::int32_t kCorruptData = -2147221221;
// E_FAIL (0x80004005): the unspecified automation failure.
inline constexpr std::int32_t kUnspecified = -2147467259;
// MAPI_E_NOT_FOUND (0x8004010F): a named object does not exist.
inline constexpr std::int32_t kNotFound = -2147221233;
// MAPI_E_CORRUPT_STORE (0x80040600): not an Outlook data file, or one whose header or
// top-level structures cannot be used.
inline constexpr std::int32_t kCorruptStore = -2147219968;
} // namespace err

class Failure : public std::runtime_error {
public:
    Failure(std::int32_t number, std::string description, std::string path = {})
        : std::runtime_error(description), m_number(number), m_description(std::move(description)),
          m_path(std::move(path)) {}

    std::int32_t number() const noexcept { return m_number; }
    const std::string& description() const noexcept { return m_description; }
    // The file the failure is about, when it is about one (UTF-8); empty otherwise.
    const std::string& path() const noexcept { return m_path; }

private:
    std::int32_t m_number;
    std::string m_description;
    std::string m_path;
};

} // namespace tvn
