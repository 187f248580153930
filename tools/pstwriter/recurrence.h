#pragma once

// The recurrence blob of a recurring appointment (PidLidAppointmentRecur): the recurrence
// pattern followed by the appointment part, without exceptions. Times inside the blob are
// taken as given (the writer has no time zones: local time equals UTC).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tvn::tools {

struct Recurrence {
    enum class Type { Daily, Weekly, Monthly, MonthNth, Yearly, YearNth };
    Type type = Type::Weekly;
    std::uint32_t interval = 1;         // days, weeks, months or years between instances
    std::uint32_t daysOfWeek = 0;       // Su 0x01, Mo 0x02, ... Sa 0x40 (weekly and Nth)
    std::uint32_t dayOfMonth = 0;       // monthly and yearly; 0 takes the start's day
    std::uint32_t instance = 1;         // Nth patterns: 1-4, 5 = last
    std::uint32_t occurrences = 0;      // ends after this many; 0 with no `until` = never
    std::optional<std::uint64_t> until; // FILETIME of the last day
};

// `start` and `end` are the FILETIMEs of the first instance.
std::vector<std::uint8_t> appointmentRecurrenceBlob(const Recurrence& r, std::uint64_t start,
                                                    std::uint64_t end);

// PidLidRecurrenceType of the pattern: 1 daily, 2 weekly, 3 monthly, 4 yearly.
std::int32_t recurrenceTypeValue(const Recurrence& r);
// A short description like Outlook's PidLidRecurrencePattern text.
std::string recurrenceText(const Recurrence& r);

} // namespace tvn::tools
