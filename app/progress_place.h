#pragma once

// Where the progress window stands: its outer rectangle in twips (1/1440 inch), kept in the
// settings store between program runs as the text of a number per edge.

#include <cstdint>

#include "archive/settings_store.h"

namespace tvn::app {

// The runtime's "type mismatch": a stored place that is not a number.
inline constexpr std::int32_t kTypeMismatch = 13;

struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

// The stored place, each absent value replaced by its default (3285, 4275, 3450, 1455).
// Throws tvn::Failure kTypeMismatch when a stored value is not a number.
TwipsRect loadProgressPlace(const archive::SettingsStore& settings);
// Stores left, top, width and height, in that order.
void storeProgressPlace(archive::SettingsStore& settings, const TwipsRect& place);

} // namespace tvn::app
