#pragma once

// pffexport as an independent reader of the files the report writers archive: its text
// export's fields, its UTC times in local time, and a pinned local time zone.

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>

#include "store/variant.h"

namespace tvn::writers::testing {

namespace fs = std::filesystem;

inline bool havePffexport() {
    return std::system("command -v pffexport > /dev/null 2>&1") == 0;
}

// Exports every item of file below target (pffexport adds ".export"); true on success.
inline bool pffexport(const fs::path& file, const fs::path& target) {
    const std::string command = "pffexport -m items -f text -t '" + target.string() + "' '" +
                                file.string() + "' > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Dates are shown in local time: pin a zone with daylight saving time, so that the
// conversion of summer and winter dates is checked too.
class PinnedTimeZone {
public:
    PinnedTimeZone() {
        if (const char* old = std::getenv("TZ")) {
            m_old = old;
        }
        ::setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
        ::tzset();
    }
    ~PinnedTimeZone() {
        if (m_old) {
            ::setenv("TZ", m_old->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

// A UTC civil time in local time.
inline store::DateTime localFromUtc(std::tm utc) {
    const std::time_t t = ::timegm(&utc);
    std::tm local{};
    ::localtime_r(&t, &local);
    return store::DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                           local.tm_hour,        local.tm_min,     local.tm_sec};
}

// "Aug 02, 2016 15:00:00.000000000 UTC" in local time, or nothing.
inline std::optional<store::DateTime> pffLocalTime(const std::string& text) {
    static const std::regex re(R"(([A-Z][a-z]{2}) (\d\d), (\d{4}) (\d\d):(\d\d):(\d\d))");
    static const std::string months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    std::smatch m;
    if (!std::regex_search(text, m, re)) {
        return std::nullopt;
    }
    std::tm utc{};
    utc.tm_year = std::stoi(m[3]) - 1900;
    utc.tm_mon = static_cast<int>(months.find(m[1].str()) / 3);
    utc.tm_mday = std::stoi(m[2]);
    utc.tm_hour = std::stoi(m[4]);
    utc.tm_min = std::stoi(m[5]);
    utc.tm_sec = std::stoi(m[6]);
    return localFromUtc(utc);
}

// The "Label: value" fields of an exported item, the first of each label; with a section
// ("Task"), only the fields of that section.
inline std::map<std::string, std::string> pffFields(const fs::path& file,
                                                    const std::string& section = {}) {
    std::map<std::string, std::string> out;
    std::ifstream in(file);
    std::string line;
    bool inSection = section.empty();
    while (std::getline(in, line)) {
        if (!section.empty() && !line.empty() && line.back() == ':' &&
            line.find('\t') == std::string::npos) {
            inSection = line == section + ":";
            continue;
        }
        const auto colon = line.find(':');
        if (!inSection || colon == std::string::npos || line.find('\t') == std::string::npos) {
            continue;
        }
        const auto value = line.find_first_not_of('\t', colon + 1);
        out.emplace(line.substr(0, colon),
                    value == std::string::npos ? std::string{} : line.substr(value));
    }
    return out;
}

} // namespace tvn::writers::testing
