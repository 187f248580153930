#pragma once

// The object model's item properties read from a message of a data file: which MAPI
// property (or named property) holds each one, with the fallbacks and derivations Outlook
// applies (subject without its marker, body from HTML or RTF, display lists rebuilt from
// the recipients, task dates taken as local, percentages, joined lists, the item class).

#include <cstdint>
#include <string_view>
#include <vector>

#include "store/pst/messaging/message.h"
#include "store/variant.h"

namespace tvn::store::pst::backend {

// The value of object-model property `name` of `message`. An absent property gives
// store::absentValue(name); an unknown name throws err::kNotFound; damaged data throws
// ReadError (err::kCorruptData).
Variant readItemProperty(const messaging::MessageObject& message, std::string_view name);

// Every object-model property name this backend maps (the names store/property_names.cpp
// knows; a test checks the two lists agree), in name order.
std::vector<std::string_view> mappedPropertyNames();

// Whether a message or container class `cls` is `base` or "base.something", ignoring
// ASCII case, as Outlook matches classes.
bool isClassOrSubclass(std::string_view cls, std::string_view base);

// Outlook's OlObjectClass number of a message class (43 olMail for unknown classes).
std::int32_t objectClassOf(std::string_view messageClass);

} // namespace tvn::store::pst::backend
