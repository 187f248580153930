#pragma once

// The item properties the object model knows, by their object-model names, with the kind
// of value each gives. Every backend answers an absent property with absentValue(), so
// that all backends agree on what "not set" reads as.

#include <optional>
#include <string_view>
#include <vector>

#include "store/variant.h"

namespace tvn::store {

// The kind of a known property; nothing for a name the object model does not have.
std::optional<Variant::Kind> propertyKind(std::string_view name);

// Every known name, in ascending order.
std::vector<std::string_view> knownPropertyNames();

// What reading the property gives when the item does not have it: empty text, 0, false,
// 0.0 or the "no date" value (Importance, which Outlook always writes, reads as normal: 1).
// Throws err::kNotFound for an unknown name.
Variant absentValue(std::string_view name);

} // namespace tvn::store
