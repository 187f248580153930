#pragma once

// Typed reading of the properties of one object: a property context (message store,
// folder, message, attachment) or one row of a table context. Strings come out as UTF-8
// whichever way the file stores them (PT_UNICODE, or PT_STRING8 in the reader's code page),
// without the terminating NULs some writers store; integers come out of any integer or
// boolean type; times are the raw FILETIME. Every accessor gives nothing for an absent
// property (or a table cell whose existence bit is clear) and nothing for a stored type it
// cannot read as asked, and throws ReadError (err::kCorruptData) when the bytes are
// damaged.
//
// A reader borrows its context (and row): both must outlive it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/pst/ltp/property_context.h"
#include "store/pst/ltp/table_context.h"
#include "store/text/code_page.h"

namespace tvn::store::pst::messaging {

class PropertyReader {
public:
    explicit PropertyReader(const ltp::PropertyContext& pc,
                            std::uint32_t codePage = store::text::kDefaultCodePage)
        : m_pc(&pc), m_codePage(codePage) {}
    PropertyReader(const ltp::TableContext& table, const ltp::TableRow& row,
                   std::uint32_t codePage = store::text::kDefaultCodePage)
        : m_table(&table), m_row(&row), m_codePage(codePage) {}

    // The code page of PT_STRING8 values.
    std::uint32_t codePage() const { return m_codePage; }
    void setCodePage(std::uint32_t codePage) { m_codePage = codePage; }

    // The stored value, or nothing when absent.
    std::optional<ltp::PropertyValue> find(std::uint16_t id) const;
    // The bytes of a value found by this reader.
    std::vector<std::uint8_t> bytes(const ltp::PropertyValue& value) const;

    std::optional<std::string> string(std::uint16_t id) const;
    // PT_SHORT, PT_LONG, PT_I8 and PT_BOOLEAN (as 0/1).
    std::optional<std::int64_t> integer(std::uint16_t id) const;
    std::optional<bool> boolean(std::uint16_t id) const;
    // PT_DOUBLE and PT_FLOAT; integers are widened.
    std::optional<double> real(std::uint16_t id) const;
    // PT_SYSTIME: 100-ns ticks since 1601-01-01 UTC.
    std::optional<std::int64_t> fileTime(std::uint16_t id) const;
    // PT_BINARY (and PT_OBJECT's stored bytes): the value in one buffer.
    std::optional<std::vector<std::uint8_t>> binary(std::uint16_t id) const;
    // PT_MV_UNICODE / PT_MV_STRING8; a single-valued string gives a one-element list.
    std::optional<std::vector<std::string>> strings(std::uint16_t id) const;

    // Decodes the bytes of a string value of `type` (PT_UNICODE or PT_STRING8).
    static std::string decodeString(std::uint16_t type, std::span<const std::uint8_t> bytes,
                                    std::uint32_t codePage);

private:
    const ltp::PropertyContext* m_pc = nullptr;
    const ltp::TableContext* m_table = nullptr;
    const ltp::TableRow* m_row = nullptr;
    std::uint32_t m_codePage;
};

} // namespace tvn::store::pst::messaging
