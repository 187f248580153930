#pragma once

// The lists-tables-properties layer of the .pst writer: heap-on-node pages, BTH trees,
// property contexts and table contexts, written through the NdbWriter.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "store/pst/ltp/heap.h"
#include "tools/pstwriter/ndb_writer.h"
#include "tools/pstwriter/property.h"

namespace tvn::tools {

// A value already in its on-disk bytes: fixed types little-endian at their width, strings
// in the file's encoding, multi-valued types in their counted layout.
struct StoredValue {
    std::uint16_t type = 0;
    std::vector<std::uint8_t> bytes;
};

// Turns a described value into its stored form for the file's format. Unicode strings
// become 8-bit strings in ANSI files.
StoredValue storeValue(const PropValue& value, FileFormat format);

// The subnodes of one node as they are made, and the ids of the value subnodes.
class SubnodeSink {
public:
    // A subnode holding `data` in a data tree; returns its NID.
    std::uint32_t addValue(NdbWriter& ndb, std::span<const std::uint8_t> data);
    void add(SubnodeEntry entry) { m_entries.push_back(entry); }
    // A fresh nidIndex for a subnode of this node (value, table, attachment or message).
    std::uint32_t nextIndex() { return m_next++; }
    std::uint64_t write(NdbWriter& ndb) { return ndb.writeSubnodes(std::move(m_entries)); }

private:
    std::vector<SubnodeEntry> m_entries;
    std::uint32_t m_next = 0x100;
};

class HeapBuilder {
public:
    static constexpr std::size_t kMaxAllocation = 3580;

    HeapBuilder(std::uint8_t clientSig, std::size_t pageCapacity);

    // Adds an allocation (at most kMaxAllocation bytes) and returns its HID.
    std::uint32_t allocate(std::span<const std::uint8_t> bytes);
    // Overwrites an earlier allocation with bytes of the same size.
    void replace(std::uint32_t hid, std::span<const std::uint8_t> bytes);
    void setUserRoot(std::uint32_t hid) { m_userRoot = hid; }
    // The heap pages, each one block of the node's data tree.
    std::vector<std::vector<std::uint8_t>> finish();

private:
    struct Page {
        std::vector<std::uint8_t> data; // header placeholder, then allocations
        std::vector<std::uint16_t> starts;
    };
    static std::size_t headerSize(std::size_t pageIndex);
    void newPage();

    std::uint8_t m_clientSig;
    std::size_t m_capacity;
    std::uint32_t m_userRoot = 0;
    std::vector<Page> m_pages;
};

// Builds a BTH over `records` (each cbKey + cbEnt bytes, sorted by key) in the heap and
// returns the HID of its header.
std::uint32_t buildBth(HeapBuilder& heap, std::uint8_t cbKey, std::uint8_t cbEnt,
                       const std::vector<std::uint8_t>& records);

struct StoredProperty {
    std::uint16_t id = 0;
    StoredValue value;
};

// Writes a property context; large values go to subnodes through `sink`. Returns the BID
// of the node's data tree.
std::uint64_t writePropertyContext(NdbWriter& ndb, std::vector<StoredProperty> props,
                                   SubnodeSink& sink);

struct TableRow {
    std::uint32_t rowId = 0;
    std::vector<std::optional<StoredValue>> cells; // one per column, in column order
};

// Writes a table context with the given column tags (PidTagLtpRowId and PidTagLtpRowVer
// are added). Large values and a large row matrix go to subnodes through `sink`.
std::uint64_t writeTableContext(NdbWriter& ndb, const std::vector<std::uint32_t>& columns,
                                const std::vector<TableRow>& rows, SubnodeSink& sink);

} // namespace tvn::tools
