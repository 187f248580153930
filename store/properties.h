#pragma once

// Typed keys for the item properties: prop::Subject is a text property, prop::SentOn a
// date, prop::Class a number. Reading through a key gives the C++ value of its kind, so
// a misspelt name or a wrong kind is a compile error, not a failure on a user's file.
//
//   const std::string subject = read(item, prop::Subject);
//   const store::DateTime sent = read(item, prop::SentOn);

#include <cstdint>
#include <string>
#include <string_view>

#include "store/object_model.h"
#include "store/property_list.h"
#include "store/variant.h"

namespace tvn::store {

template <Variant::Kind K> struct PropertyKey { std::string_view name; };

namespace prop {
#define TVN_PROPERTY_KEY(name, kind) inline constexpr PropertyKey<Variant::Kind::kind> name{#name};
TVN_ITEM_PROPERTIES(TVN_PROPERTY_KEY)
#undef TVN_PROPERTY_KEY
} // namespace prop

inline std::string read(const Item& item, PropertyKey<Variant::Kind::Text> key) {
    return item.get(key.name).text();
}
inline std::int64_t read(const Item& item, PropertyKey<Variant::Kind::Integer> key) {
    return item.get(key.name).integer();
}
inline bool read(const Item& item, PropertyKey<Variant::Kind::Boolean> key) {
    return item.get(key.name).boolean();
}
inline double read(const Item& item, PropertyKey<Variant::Kind::Double> key) {
    return item.get(key.name).real();
}
inline DateTime read(const Item& item, PropertyKey<Variant::Kind::Date> key) {
    return item.get(key.name).date();
}

} // namespace tvn::store
