#include "archive/names.h"

#include <array>
#include <ctime>

#include <fmt/format.h>

#include "store/text/utf.h"

namespace tvn::archive {

namespace {

constexpr std::string_view kForbidden = "\\/:*?<>|\"";

constexpr std::size_t kSubjectLimit = 40;
constexpr std::size_t kSubjectKept = 39;

// The byte length of the first `count` characters of utf8.
std::size_t prefixBytes(std::string_view utf8, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t n = 0; n < count && at < utf8.size(); ++n) {
        char32_t c = 0;
        const std::size_t length = store::text::decodeUtf8(utf8.substr(at), c);
        at += length == 0 ? 1 : length;
    }
    return at;
}

int hour12(int hour) {
    const int h = hour % 12;
    return h == 0 ? 12 : h;
}

} // namespace

std::string withoutAny(std::string_view text, std::string_view taken) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (taken.find(c) == std::string_view::npos) {
            out.push_back(c);
        }
    }
    return out;
}

std::string CleanName(std::string_view text) {
    return withoutAny(text, kForbidden);
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t n = 0;
    std::size_t at = 0;
    while (at < utf8.size()) {
        char32_t c = 0;
        const std::size_t length = store::text::decodeUtf8(utf8.substr(at), c);
        at += length == 0 ? 1 : length;
        ++n;
    }
    return n;
}

std::string cutSubject(std::string_view cleaned) {
    if (characterCount(cleaned) <= kSubjectLimit) {
        return std::string(cleaned);
    }
    return std::string(cleaned.substr(0, prefixBytes(cleaned, kSubjectKept)));
}

std::string cleanSubject(std::string_view subject) {
    return cutSubject(CleanName(subject));
}

std::string mailStamp(const store::DateTime& d) {
    return fmt::format("{:04}-{:02}-{:02}_{:02}{:02}{:02}", d.year, d.month, d.day, d.hour,
                       d.minute, d.second);
}

std::string reportStamp(const store::DateTime& d) {
    return fmt::format("{:04}-{:02}-{:02} {:02}.{:02}.{:02}", d.year, d.month, d.day, d.hour,
                       d.minute, d.second);
}

std::string taskStamp(const store::DateTime& d) {
    return fmt::format("{:04}-{:02}-{:02}", d.year, d.month, d.day);
}

std::string shortDate(const store::DateTime& d) {
    return fmt::format("{}/{}/{}", d.month, d.day, d.year);
}

std::string longTime(const store::DateTime& d) {
    return fmt::format("{}:{:02}:{:02} {}", hour12(d.hour), d.minute, d.second,
                       d.hour < 12 ? "AM" : "PM");
}

std::string generalDate(const store::DateTime& d) {
    if (d.hour == 0 && d.minute == 0 && d.second == 0) {
        return shortDate(d);
    }
    return shortDate(d) + " " + longTime(d);
}

store::DateTime now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return store::DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                           local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string directoryName(std::string_view folderName) {
    std::string out(folderName);
    for (char& c : out) {
        if (c == '/' || c == '\\') {
            c = '_';
        }
    }
    if (out.empty() || out == "." || out == "..") {
        out.insert(out.begin(), '_');
    }
    return out;
}

} // namespace tvn::archive
