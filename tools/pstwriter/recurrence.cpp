#include "tools/pstwriter/recurrence.h"

#include "tools/pstwriter/bytes.h"
#include "tools/pstwriter/property.h"

namespace tvn::tools {

namespace {

constexpr std::uint64_t kTicksPerMinute = 600000000ull;
constexpr std::uint32_t kMinutesPerDay = 1440;
constexpr std::uint32_t kNoEndDate = 0x5AE980DF;

struct Date {
    int year;
    int month;
    int day;
};

// Proleptic Gregorian date of a day count since 1601-01-01.
Date dateOfDay(std::int64_t days) {
    std::int64_t z = days - 134774 + 719468; // to days since 0000-03-01
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    return {y, m, d};
}

std::uint32_t minutesOf(int y, int m, int d) {
    return static_cast<std::uint32_t>(fileTime(y, m, d) / kTicksPerMinute);
}

Date addMonths(Date d, std::int64_t months) {
    const std::int64_t total = d.year * 12ll + (d.month - 1) + months;
    return {static_cast<int>(total / 12), static_cast<int>(total % 12 + 1), d.day};
}

} // namespace

std::int32_t recurrenceTypeValue(const Recurrence& r) {
    switch (r.type) {
    case Recurrence::Type::Daily:
        return 1;
    case Recurrence::Type::Weekly:
        return 2;
    case Recurrence::Type::Monthly:
    case Recurrence::Type::MonthNth:
        return 3;
    default:
        return 4;
    }
}

std::string recurrenceText(const Recurrence& r) {
    const std::string n = std::to_string(r.interval);
    switch (r.type) {
    case Recurrence::Type::Daily:
        return "every " + n + " day(s)";
    case Recurrence::Type::Weekly:
        return "every " + n + " week(s)";
    case Recurrence::Type::Monthly:
        return "day " + std::to_string(r.dayOfMonth) + " of every " + n + " month(s)";
    case Recurrence::Type::MonthNth:
        return "the " + std::to_string(r.instance) + ". weekday of every " + n + " month(s)";
    case Recurrence::Type::Yearly:
        return "every " + n + " year(s)";
    case Recurrence::Type::YearNth:
        return "the " + std::to_string(r.instance) + ". weekday every " + n + " year(s)";
    }
    return {};
}

std::vector<std::uint8_t> appointmentRecurrenceBlob(const Recurrence& r, std::uint64_t start,
                                                    std::uint64_t end) {
    const std::uint64_t startMinutes = start / kTicksPerMinute;
    const std::uint64_t endMinutes = end / kTicksPerMinute;
    const std::int64_t startDay = static_cast<std::int64_t>(startMinutes / kMinutesPerDay);
    const Date sd = dateOfDay(startDay);
    const auto startDate = static_cast<std::uint32_t>(startDay * kMinutesPerDay);
    const std::uint32_t interval = r.interval == 0 ? 1 : r.interval;

    std::uint16_t frequency = 0x200B;
    std::uint16_t patternType = 1;
    std::uint32_t period = interval;
    std::uint32_t firstDateTime = 0;
    std::vector<std::uint8_t> specific;
    const std::uint32_t dayOfMonth =
        r.dayOfMonth != 0 ? r.dayOfMonth : static_cast<std::uint32_t>(sd.day);
    // Weekday of the start (0 = Sunday); 1601-01-01 was a Monday.
    const auto weekday = static_cast<std::uint32_t>((startDay + 1) % 7);
    const std::uint32_t days = r.daysOfWeek != 0 ? r.daysOfWeek : (1u << weekday);
    auto monthFirst = [&](std::uint32_t months) {
        const std::int64_t m = ((sd.year - 1601) * 12ll + (sd.month - 1)) % months;
        return minutesOf(1601 + static_cast<int>(m / 12), static_cast<int>(m % 12 + 1), 1);
    };
    switch (r.type) {
    case Recurrence::Type::Daily:
        frequency = 0x200A;
        patternType = 0;
        period = interval * kMinutesPerDay;
        firstDateTime = startDate % period;
        break;
    case Recurrence::Type::Weekly: {
        frequency = 0x200B;
        patternType = 1;
        const std::uint32_t weekStart = startDate - weekday * kMinutesPerDay;
        firstDateTime = weekStart % (period * 7 * kMinutesPerDay);
        append32(specific, days);
        break;
    }
    case Recurrence::Type::Monthly:
    case Recurrence::Type::MonthNth:
    case Recurrence::Type::Yearly:
    case Recurrence::Type::YearNth: {
        const bool yearly =
            r.type == Recurrence::Type::Yearly || r.type == Recurrence::Type::YearNth;
        const bool nth =
            r.type == Recurrence::Type::MonthNth || r.type == Recurrence::Type::YearNth;
        frequency = yearly ? 0x200D : 0x200C;
        patternType = nth ? 3 : 2;
        period = yearly ? 12 * interval : interval;
        firstDateTime = monthFirst(period);
        if (nth) {
            append32(specific, days);
            append32(specific, r.instance);
        } else {
            append32(specific, dayOfMonth);
        }
        break;
    }
    }

    std::uint32_t endType = 0x2023;
    std::uint32_t count = 10;
    std::uint32_t endDate = kNoEndDate;
    if (r.until) {
        endType = 0x2021;
        endDate = static_cast<std::uint32_t>(*r.until / kTicksPerMinute / kMinutesPerDay *
                                             kMinutesPerDay);
    } else if (r.occurrences != 0) {
        endType = 0x2022;
        count = r.occurrences;
        const std::uint32_t steps = count - 1;
        std::int64_t lastDay = startDay;
        switch (r.type) {
        case Recurrence::Type::Daily:
            lastDay += static_cast<std::int64_t>(steps) * interval;
            break;
        case Recurrence::Type::Weekly:
            lastDay += static_cast<std::int64_t>(steps) * interval * 7;
            break;
        default: {
            const std::int64_t months = static_cast<std::int64_t>(steps) * period;
            const Date e = addMonths(sd, months);
            lastDay = static_cast<std::int64_t>(minutesOf(e.year, e.month, 1) / kMinutesPerDay) +
                      (sd.day - 1);
            break;
        }
        }
        endDate = static_cast<std::uint32_t>(lastDay * kMinutesPerDay);
    }

    std::vector<std::uint8_t> b;
    append16(b, 0x3004);
    append16(b, 0x3004);
    append16(b, frequency);
    append16(b, patternType);
    append16(b, 0); // CalendarType: Gregorian
    append32(b, firstDateTime);
    append32(b, period);
    append32(b, 0); // SlidingFlag
    b.insert(b.end(), specific.begin(), specific.end());
    append32(b, endType);
    append32(b, count);
    append32(b, 0); // FirstDOW: Sunday
    append32(b, 0); // DeletedInstanceCount
    append32(b, 0); // ModifiedInstanceCount
    append32(b, startDate);
    append32(b, endDate);
    // Appointment part.
    append32(b, 0x3006);
    append32(b, 0x3009);
    append32(b, static_cast<std::uint32_t>(startMinutes - startDate));
    append32(b, static_cast<std::uint32_t>(endMinutes - startDate));
    append16(b, 0); // ExceptionCount
    append32(b, 0); // ReservedBlock1Size
    append32(b, 0); // ReservedBlock2Size
    return b;
}

} // namespace tvn::tools
