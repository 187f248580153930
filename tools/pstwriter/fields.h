#pragma once

// Object-model field names and the properties that hold them, so that descriptions can say
// "FirstName" or "Start" instead of a property set and id.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "tools/pstwriter/property.h"

namespace tvn::tools {

struct FieldInfo {
    std::string_view name;
    const Guid* set;  // nullptr for a tagged property
    std::uint32_t id; // tag id or LID
    std::uint16_t type;
    std::string_view stringName; // for a named property with a string name
};

// The field of that name (exact, case-sensitive), or nothing.
const FieldInfo* findField(std::string_view name);
// Every known field, for the documentation and the tests.
std::span<const FieldInfo> allFields();

// Converts a value to the field's type where that is lossless (integer to double or
// boolean, a date written as text is not accepted here). Nothing when it does not fit.
std::optional<PropValue> coerceToType(const PropValue& value, std::uint16_t type);

} // namespace tvn::tools
