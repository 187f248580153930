#pragma once

// FILETIME values (100-ns ticks since 1601-01-01) as the object model's dates.

#include <cstdint>

#include "store/variant.h"

namespace tvn::store::pst::backend {

// FILETIME of 4501-01-01 00:00, the value Outlook stores for "no date"; it and anything
// later read as DateTime::none(), and so does a value before 1601 (a negative one).
inline constexpr std::int64_t kNoDateFileTime = 0x0CB34557A3DD4000;

// A UTC FILETIME in the machine's local time zone (the C library's, which honours TZ).
DateTime fileTimeToLocal(std::int64_t fileTime);
// A FILETIME that already holds a local civil time (task start and due dates), unshifted.
DateTime fileTimeAsCivil(std::int64_t fileTime);
// The calendar day a UTC FILETIME stands for when it marks a day rather than a moment
// (birthdays, anniversaries): clients store the day's local midnight converted to UTC, or
// the day at noon UTC, so the nearest UTC midnight is the day in any zone within twelve
// hours of UTC, whatever the zone of the machine that reads it. The time is 00:00.
DateTime fileTimeAsDay(std::int64_t fileTime);

} // namespace tvn::store::pst::backend
