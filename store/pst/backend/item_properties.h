#pragma once

// The object model's item properties read from a message of a data file: which MAPI
// property (or named property) holds each one, with the fallbacks and derivations Outlook
// applies (subject without its marker, body from HTML or RTF, display lists rebuilt from
// the recipients, task dates taken as local, percentages, joined lists, the item class).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/pst/messaging/message.h"
#include "store/variant.h"

namespace tvn::store::pst::backend {

// What item properties are read from: a message's values by property id (named ones found
// through namedId), its class, its plain-text body and its recipients' names. A message of
// a data file is one; a message of an Outlook .msg file is another. Values read as the
// messaging layer's PropertyReader reads them.
class ItemSource {
public:
    virtual ~ItemSource() = default;
    virtual std::optional<std::string> string(std::uint16_t id) const = 0;
    virtual std::optional<std::int64_t> integer(std::uint16_t id) const = 0;
    virtual std::optional<bool> boolean(std::uint16_t id) const = 0;
    virtual std::optional<double> real(std::uint16_t id) const = 0;
    virtual std::optional<std::int64_t> fileTime(std::uint16_t id) const = 0;
    virtual std::optional<std::vector<std::string>> strings(std::uint16_t id) const = 0;
    virtual std::optional<std::vector<std::uint8_t>> binary(std::uint16_t id) const = 0;
    virtual std::optional<std::uint16_t> namedId(const messaging::Guid& set,
                                                 std::uint32_t lid) const = 0;
    virtual std::optional<std::uint16_t> namedId(const messaging::Guid& set,
                                                 std::string_view name) const = 0;
    virtual std::string messageClass() const = 0;
    virtual std::string body() const = 0;
    // The display names of the recipients of `type` (1 To, 2 Cc, 3 Bcc), in order.
    virtual std::vector<std::string> recipientNames(std::int32_t type) const = 0;
};

// The value of object-model property `name` of `message`. An absent property gives
// store::absentValue(name); an unknown name throws err::kNotFound; damaged data throws
// ReadError (err::kCorruptData).
Variant readItemProperty(const messaging::MessageObject& message, std::string_view name);
Variant readItemProperty(const ItemSource& source, std::string_view name);

// An item's properties as its object reads them: Body, which may have to be decoded from
// compressed RTF or HTML, is decoded at the first read and kept for the item's life; every
// other property is read afresh (they cost a look-up, not a decoding).
class ItemPropertyReader {
public:
    template <typename Source> Variant get(const Source& source, std::string_view name) const {
        if (name != "Body") {
            return readItemProperty(source, name);
        }
        if (!m_body) {
            m_body = readItemProperty(source, name);
        }
        return *m_body;
    }

private:
    mutable std::optional<Variant> m_body;
};

// Every object-model property name this backend maps (the names store/property_names.cpp
// knows; a test checks the two lists agree), in name order.
std::vector<std::string_view> mappedPropertyNames();

// Whether a message or container class `cls` is `base` or "base.something", ignoring
// ASCII case, as Outlook matches classes.
bool isClassOrSubclass(std::string_view cls, std::string_view base);

// Outlook's OlObjectClass number of a message class (43 olMail for unknown classes).
std::int32_t objectClassOf(std::string_view messageClass);

} // namespace tvn::store::pst::backend
