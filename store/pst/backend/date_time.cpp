#include "store/pst/backend/date_time.h"

#include <ctime>

namespace tvn::store::pst::backend {

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kUnixEpochSeconds = 11'644'473'600; // 1601-01-01 to 1970-01-01

bool isNoDate(std::int64_t fileTime) {
    return fileTime < 0 || fileTime >= kNoDateFileTime;
}

DateTime fromTm(const std::tm& t) {
    return DateTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

DateTime convert(std::int64_t fileTime, bool local) {
    if (isNoDate(fileTime)) {
        return DateTime::none();
    }
    const auto seconds = static_cast<std::time_t>(fileTime / kTicksPerSecond - kUnixEpochSeconds);
    std::tm t{};
#ifdef _WIN32
    const bool ok = (local ? localtime_s(&t, &seconds) : gmtime_s(&t, &seconds)) == 0;
#else
    const bool ok =
        local ? localtime_r(&seconds, &t) != nullptr : gmtime_r(&seconds, &t) != nullptr;
#endif
    return ok ? fromTm(t) : DateTime::none();
}

} // namespace

DateTime fileTimeToLocal(std::int64_t fileTime) {
    return convert(fileTime, true);
}

DateTime fileTimeAsCivil(std::int64_t fileTime) {
    return convert(fileTime, false);
}

DateTime fileTimeAsDay(std::int64_t fileTime) {
    constexpr std::int64_t kHalfDay = 12 * 3600 * kTicksPerSecond;
    if (isNoDate(fileTime) || fileTime > kNoDateFileTime - kHalfDay) {
        return DateTime::none();
    }
    DateTime day = convert(fileTime + kHalfDay, false);
    if (!day.isNone()) {
        day.hour = day.minute = day.second = 0;
    }
    return day;
}

} // namespace tvn::store::pst::backend
