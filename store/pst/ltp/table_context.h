#pragma once

// The table context (TC): a table of rows and columns kept in one node (a folder's hierarchy
// and contents tables, a message's recipient and attachment tables). The column
// descriptions and the row index live in the node's heap; the row matrix lives in the heap
// (small tables) or in a subnode spanning many blocks (large ones).
//
// Rows are read on demand: opening a table reads its header and column descriptions only,
// and row(i) reads just the block holding that row, so a contents table of 100 000 rows
// costs nothing up front.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "store/pst/ltp/heap.h"
#include "store/pst/ltp/property_context.h" // the value readers shared with PCs
#include "store/pst/ltp/property_value.h"

namespace tvn::store::pst::ltp {

// A column description (TCOLDESC).
struct ColumnDesc {
    std::uint32_t tag = 0;    // property tag: id << 16 | type
    std::uint16_t offset = 0; // ibData: offset of the cell in a row
    std::uint8_t size = 0;    // cbData: bytes of the cell in a row
    std::uint8_t bit = 0;     // iBit: the column's bit in the cell-existence bitmap
    std::uint16_t id() const noexcept { return tagId(tag); }
    std::uint16_t type() const noexcept { return tagType(tag); }
};

class TableContext;

// One row. Holds the block with the row's bytes, so it stays valid while its TableContext
// exists; cell heap bytes live as long as the TableContext.
class TableRow {
public:
    std::size_t index() const noexcept { return m_index; }
    // dwRowID: the NID of the row's object for hierarchy, contents and recipient tables; the
    // attachment subnode NID for attachment tables.
    std::uint32_t rowId() const noexcept { return m_rowId; }
    // Whether the cell of column `column` (an index into columns()) exists.
    bool has(std::size_t column) const;
    // The cell of column `column`; storage Absent when its existence bit is clear.
    PropertyValue cell(std::size_t column) const;
    // The cell of the column with property id `id`; nothing when there is no such column.
    std::optional<PropertyValue> find(std::uint16_t id) const;
    std::span<const std::uint8_t> bytes() const noexcept { return m_bytes; }

private:
    friend class TableContext;
    const TableContext* m_table = nullptr;
    std::size_t m_index = 0;
    std::uint32_t m_rowId = 0;
    ndb::BlockBytes m_holder;
    std::span<const std::uint8_t> m_bytes;
};

class TableContext {
public:
    // Reads the TCINFO of `node` (checks bType 0x7C, the column list, the row-size
    // offsets, and locates the row matrix). Throws err::kCorruptData when unreadable.
    TableContext(std::shared_ptr<const ndb::NodeDatabase> db, const ndb::NodeRef& node);

    const ndb::NodeRef& node() const noexcept { return m_heap.node(); }
    const std::shared_ptr<const ndb::NodeDatabase>& database() const noexcept {
        return m_heap.database();
    }

    // Rows in table order (the order of the row matrix). Counted from the row-matrix blocks
    // that exist, each by its own size, never from what the first and last imply.
    std::size_t rowCount() const noexcept { return m_rowCount; }
    std::size_t rowSize() const noexcept { return m_rowSize; }
    const std::vector<ColumnDesc>& columns() const noexcept { return m_columns; }
    // Index into columns() of the column with property id `id`, or nothing.
    std::optional<std::size_t> findColumn(std::uint16_t id) const noexcept;

    // Row `index` (< rowCount()); reads at most one block. Throws err::kCorruptData for an
    // index past the end and for damage.
    TableRow row(std::size_t index) const;
    // Row position of the row with this dwRowID, from the row index (a BTH lookup).
    std::optional<std::size_t> findRow(std::uint32_t rowId) const;

    // Reading a cell's bytes (see PropertyContext::read); the value must come from this
    // table's rows.
    std::vector<std::uint8_t> read(const PropertyValue& value) const {
        return readValueBytes(m_heap, value);
    }
    ndb::DataStream stream(const PropertyValue& value) const { return valueStream(m_heap, value); }
    ObjectRef object(const PropertyValue& value) const { return readObjectRef(m_heap, value); }

private:
    friend class TableRow;
    PropertyValue decodeCell(const TableRow& row, std::size_t column) const;

    Heap m_heap;
    std::vector<ColumnDesc> m_columns;
    std::size_t m_rowSize = 0;      // TCI_bm: bytes per row
    std::size_t m_bitmapOffset = 0; // TCI_1b: start of the cell-existence bitmap
    std::size_t m_rowIdOffset = 0;  // ibData of the dwRowID column (0 when it has none)
    std::size_t m_rowCount = 0;
    HeapId m_rowIndex{};
    // Row matrix: in the heap (m_matrixInHeap) or in a subnode stream of blocks.
    bool m_matrixInHeap = true;
    std::span<const std::uint8_t> m_heapMatrix;
    ndb::DataStream m_matrix;
    // Row-matrix blocks that hold rows: the block's index in m_matrix, and the position of
    // its first row (ascending; rows never straddle blocks).
    struct RowBlock {
        std::size_t block = 0;
        std::size_t firstRow = 0;
    };
    std::vector<RowBlock> m_rowBlocks;
};

} // namespace tvn::store::pst::ltp
