#pragma once

// The value of an item property as the object model hands it out: text (UTF-8), a whole
// number, a truth value, a floating-point number or a date-time in local time. Reading an
// absent property never gives an "empty" variant; the backend returns what Outlook returns
// (empty text, 0, false, or the "no date" value 4501-01-01 00:00).

#include <cstdint>
#include <string>
#include <variant>

namespace tvn::store {

// A civil date and time in the machine's local time zone, to the second.
struct DateTime {
    int year = 4501;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    // The value Outlook returns for an unset date.
    static constexpr DateTime none() { return DateTime{}; }
    constexpr bool isNone() const { return *this == none(); }

    friend constexpr bool operator==(const DateTime&, const DateTime&) = default;
};

class Variant {
public:
    enum class Kind { Text, Integer, Boolean, Double, Date };

    Variant() : m_value(std::string{}) {}
    Variant(std::string text) : m_value(std::move(text)) {}
    Variant(const char* text) : m_value(std::string(text)) {}
    Variant(std::int64_t number) : m_value(number) {}
    Variant(int number) : m_value(static_cast<std::int64_t>(number)) {}
    Variant(bool truth) : m_value(truth) {}
    Variant(double number) : m_value(number) {}
    Variant(DateTime date) : m_value(date) {}

    Kind kind() const { return static_cast<Kind>(m_value.index()); }

    // Each accessor expects the matching kind; a mismatch is a programming error in the
    // caller and throws std::bad_variant_access.
    const std::string& text() const { return std::get<std::string>(m_value); }
    std::int64_t integer() const { return std::get<std::int64_t>(m_value); }
    bool boolean() const { return std::get<bool>(m_value); }
    double real() const { return std::get<double>(m_value); }
    const DateTime& date() const { return std::get<DateTime>(m_value); }

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    // Order matches Kind.
    std::variant<std::string, std::int64_t, bool, double, DateTime> m_value;
};

} // namespace tvn::store
