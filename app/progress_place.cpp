#include "app/progress_place.h"

#include <charconv>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "store/failure.h"

namespace tvn::app {

namespace {

namespace keys = archive::settings;

// A stored number: decimal text with optional blanks around it, as the settings editor or
// an older program may leave it.
double number(std::string_view key, const std::string& text) {
    std::string_view digits(text);
    while (!digits.empty() && digits.front() == ' ') {
        digits.remove_prefix(1);
    }
    while (!digits.empty() && digits.back() == ' ') {
        digits.remove_suffix(1);
    }
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
        throw Failure(kTypeMismatch,
                      fmt::format("Type mismatch: ProgBarSettings/{} is \"{}\"", key, text));
    }
    return value;
}

std::string text(double value) {
    // Whole twips are stored without a fraction ("3285"), as the window's place always is.
    return fmt::format("{}", static_cast<float>(value));
}

} // namespace

TwipsRect loadProgressPlace(const archive::SettingsStore& settings) {
    const auto read = [&](std::string_view key, std::string_view fallback) {
        return number(key, settings.get(keys::kProgBarSection, key, fallback));
    };
    TwipsRect place;
    place.left = read(keys::kMainLeft, keys::kDefaultMainLeft);
    place.top = read(keys::kMainTop, keys::kDefaultMainTop);
    place.width = read(keys::kMainWidth, keys::kDefaultMainWidth);
    place.height = read(keys::kMainHeight, keys::kDefaultMainHeight);
    return place;
}

void storeProgressPlace(archive::SettingsStore& settings, const TwipsRect& place) {
    settings.set(keys::kProgBarSection, keys::kMainLeft, text(place.left));
    settings.set(keys::kProgBarSection, keys::kMainTop, text(place.top));
    settings.set(keys::kProgBarSection, keys::kMainWidth, text(place.width));
    settings.set(keys::kProgBarSection, keys::kMainHeight, text(place.height));
}

} // namespace tvn::app
