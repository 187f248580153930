#include "writers/contact_table.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>

#include "archive/names.h"

namespace tvn::writers::contacts {

namespace {

// Whole numbers beyond this are not read as numbers: a double no longer holds every digit.
constexpr double kLargestWholeNumber = 1e15;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool later(const store::DateTime& a, const store::DateTime& b) {
    return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) >
           std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

// CR removed, every LF replaced by ", ".
std::string streetText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\r') {
            continue;
        }
        if (c == '\n') {
            out += ", ";
        } else {
            out += c;
        }
    }
    return out;
}

// Every line (split at LF, CR removed) followed by one blank; an empty body stays empty.
std::string notesText(std::string_view body) {
    if (body.empty()) {
        return {};
    }
    std::string out;
    out.reserve(body.size() + 8);
    for (const char c : body) {
        if (c == '\r') {
            continue;
        }
        out += c == '\n' ? ' ' : c;
    }
    out += ' ';
    return out;
}

// What would break the row: a tab becomes a blank, a CR goes, an LF becomes ", ".
std::string neutralised(std::string text) {
    if (text.find_first_of("\t\r\n") == std::string::npos) {
        return text;
    }
    for (char& c : text) {
        if (c == '\t') {
            c = ' ';
        }
    }
    return streetText(text);
}

std::string numberName(std::int64_t number, std::string_view zero, std::string_view one,
                       std::string_view two, std::string_view three = {}) {
    switch (number) {
    case 0:
        return std::string(zero);
    case 1:
        return std::string(one);
    case 2:
        return std::string(two);
    case 3:
        if (!three.empty()) {
            return std::string(three);
        }
        break;
    default:
        break;
    }
    return std::to_string(number);
}

// The digits of a non-negative number, at least `width` of them (zeros on the left).
std::string paddedDigits(long long magnitude, std::size_t width) {
    std::string digits = std::to_string(magnitude);
    if (digits.size() < width) {
        digits.insert(0, width - digits.size(), '0');
    }
    return digits;
}

long long magnitudeOf(long long number) {
    return number < 0 ? -number : number;
}

} // namespace

std::string PrintContactHeaders() {
    std::string row;
    for (const auto& column : kColumns) {
        if (!row.empty()) {
            row += '\t';
        }
        row += column.header;
    }
    return row;
}

std::optional<long long> readWholeNumber(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    const std::string_view body = text.substr(begin, end - begin);

    // Gather a plain form strtod reads (the separators taken out), checking the syntax.
    std::string plain;
    std::size_t i = 0;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        plain += body[i++];
    }
    bool digits = false;
    while (i < body.size() && (isDigit(body[i]) || (body[i] == ',' && digits))) {
        if (body[i] != ',') {
            plain += body[i];
            digits = true;
        }
        ++i;
    }
    if (i < body.size() && body[i] == '.') {
        plain += body[i++];
        while (i < body.size() && isDigit(body[i])) {
            plain += body[i++];
            digits = true;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
            plain += body[i++];
        }
        bool exponentDigits = false;
        while (i < body.size() && isDigit(body[i])) {
            plain += body[i++];
            exponentDigits = true;
        }
        if (!exponentDigits) {
            return std::nullopt;
        }
    }
    if (i != body.size()) {
        return std::nullopt;
    }
    const double value = std::round(std::strtod(plain.c_str(), nullptr));
    if (!std::isfinite(value) || std::fabs(value) >= kLargestWholeNumber) {
        return std::nullopt;
    }
    return static_cast<long long>(value);
}

std::string formatPostal(std::string_view text) {
    const auto number = readWholeNumber(text);
    if (!number) {
        return std::string(text);
    }
    const std::string sign = *number < 0 ? "-" : "";
    // The picture is chosen by the length of the text, not of the number.
    if (archive::characterCount(text) <= 5) {
        return sign + paddedDigits(magnitudeOf(*number), 5);
    }
    const std::string digits = paddedDigits(magnitudeOf(*number), 9);
    const std::size_t cut = digits.size() - 4;
    return sign + digits.substr(0, cut) + "-" + digits.substr(cut);
}

std::string formatMileage(std::string_view text) {
    const auto number = readWholeNumber(text);
    if (!number) {
        return std::string(text);
    }
    if (*number == 0) {
        return {};
    }
    const std::string digits = std::to_string(magnitudeOf(*number));
    std::string out = *number < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

std::string columnText(Rule rule, const store::Variant& value, const store::DateTime& now) {
    switch (rule) {
    case Rule::Text:
        return neutralised(value.text());
    case Rule::Street:
        return neutralised(streetText(value.text()));
    case Rule::Postal:
        return neutralised(formatPostal(value.text()));
    case Rule::Date: {
        const auto& when = value.date();
        return later(when, now) ? std::string{} : archive::generalDate(when);
    }
    case Rule::Gender:
        return value.integer() == 0 ? std::string{} : std::to_string(value.integer());
    case Rule::Priority:
        return numberName(value.integer(), "Low", "Normal", "High");
    case Rule::Sensitivity:
        return numberName(value.integer(), "Normal", "Personal", "Private", "Confidential");
    case Rule::Mileage:
        return neutralised(formatMileage(value.text()));
    case Rule::Notes:
        return neutralised(notesText(value.text()));
    }
    return {};
}

} // namespace tvn::writers::contacts
