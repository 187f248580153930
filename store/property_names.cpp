#include "store/property_names.h"

#include <algorithm>
#include <array>
#include <string>

#include "store/failure.h"
#include "store/property_list.h"

namespace tvn::store {

namespace {

using K = Variant::Kind;

struct Known {
    std::string_view name;
    K kind;
};

// Sorted by name for binary search (checked below).
constexpr std::array kKnown = {
#define TVN_KNOWN(name, kind) Known{#name, K::kind},
    TVN_ITEM_PROPERTIES(TVN_KNOWN)
#undef TVN_KNOWN
};

constexpr bool sortedByName() {
    for (std::size_t i = 1; i < kKnown.size(); ++i) {
        if (!(kKnown[i - 1].name < kKnown[i].name)) {
            return false;
        }
    }
    return true;
}
static_assert(sortedByName(), "kKnown must stay sorted by name");

} // namespace

std::optional<Variant::Kind> propertyKind(std::string_view name) {
    auto it = std::lower_bound(kKnown.begin(), kKnown.end(), name,
                               [](const Known& k, std::string_view n) { return k.name < n; });
    if (it == kKnown.end() || it->name != name) {
        return std::nullopt;
    }
    return it->kind;
}

std::vector<std::string_view> knownPropertyNames() {
    std::vector<std::string_view> names;
    names.reserve(kKnown.size());
    for (const auto& known : kKnown) {
        names.push_back(known.name);
    }
    return names;
}

Variant absentValue(std::string_view name) {
    const auto kind = propertyKind(name);
    if (!kind) {
        throw Failure(err::kNotFound, "The property \"" + std::string(name) + "\" is unknown.");
    }
    if (name == "Importance") {
        return Variant(1);
    }
    switch (*kind) {
    case K::Text:
        return Variant(std::string{});
    case K::Integer:
        return Variant(0);
    case K::Boolean:
        return Variant(false);
    case K::Double:
        return Variant(0.0);
    case K::Date:
        return Variant(DateTime::none());
    }
    return Variant{};
}

} // namespace tvn::store
