// Table context: [MS-PST] section 2.3.4 (LTP layer).

#include "store/pst/ltp/table_context.h"

#include <algorithm>
#include <string>

#include "store/pst/byte_reader.h"
#include "store/pst/ltp/property_tags.h"

namespace tvn::store::pst::ltp {

namespace {

constexpr std::uint8_t kTcType = 0x7C;
constexpr std::size_t kTcInfoSize = 22;
constexpr std::size_t kColumnDescSize = 8;

std::string nodeText(const ndb::NodeRef& node) {
    return "node " + hexText(ndb::raw(node.nid));
}

// Whether a TC keeps the value of this type in the row itself (fixed sizes up to 8).
bool cellInline(std::uint16_t type, std::size_t cellSize) {
    if (isMultiValued(type)) {
        return false;
    }
    const std::size_t size = fixedTypeSize(type);
    return size > 0 && size <= 8 && cellSize >= size;
}

} // namespace

TableContext::TableContext(std::shared_ptr<const ndb::NodeDatabase> db, const ndb::NodeRef& node)
    : m_heap(std::move(db), node) {
    if (m_heap.clientSignature() != heap_client::kTableContext) {
        throwCorrupt("invalid TC bClientSig " + hexText(m_heap.clientSignature()) + " in " +
                     nodeText(node));
    }
    const auto info = m_heap.item(m_heap.userRoot());
    ByteReader r(info, kNoOffset, "TCINFO");
    const auto type = r.read<std::uint8_t>();
    if (type != kTcType) {
        throwCorrupt("invalid TCINFO bType " + hexText(type) + " in " + nodeText(node));
    }
    const std::size_t columnCount = r.read<std::uint8_t>();
    const std::size_t end4 = r.read<std::uint16_t>();
    const std::size_t end2 = r.read<std::uint16_t>();
    const std::size_t end1 = r.read<std::uint16_t>();
    const std::size_t endBm = r.read<std::uint16_t>();
    m_rowIndex = HeapId{r.read<std::uint32_t>()};
    const std::uint32_t hnidRows = r.read<std::uint32_t>();
    (void)r.read<std::uint32_t>(); // hidIndex, unused
    if (!(end4 <= end2 && end2 <= end1 && end1 <= endBm) || endBm == 0 ||
        (endBm - end1) * 8 < columnCount) {
        throwCorrupt("invalid TCINFO row layout " + hexText(end4) + "/" + hexText(end2) + "/" +
                     hexText(end1) + "/" + hexText(endBm) + " for " + std::to_string(columnCount) +
                     " columns in " + nodeText(node));
    }
    m_rowSize = endBm;
    m_bitmapOffset = end1;
    const auto descs = r.slice(kTcInfoSize, columnCount * kColumnDescSize);
    m_columns.reserve(columnCount);
    for (std::size_t i = 0; i < columnCount; ++i) {
        ColumnDesc c;
        c.tag = loadLe<std::uint32_t>(descs, i * kColumnDescSize);
        c.offset = loadLe<std::uint16_t>(descs, i * kColumnDescSize + 4);
        c.size = descs[i * kColumnDescSize + 6];
        c.bit = descs[i * kColumnDescSize + 7];
        if (std::size_t{c.offset} + c.size > end1 || std::size_t{c.bit} >= (endBm - end1) * 8) {
            throwCorrupt("invalid TCOLDESC of column " + hexText(c.tag) + " (ibData " +
                         hexText(c.offset) + ", cbData " + hexText(c.size) + ", iBit " +
                         hexText(c.bit) + ") in " + nodeText(node));
        }
        m_columns.push_back(c);
    }

    if (const auto rowId = findColumn(tag::kLtpRowId)) {
        if (m_columns[*rowId].size < 4) {
            throwCorrupt("TC row-id column of " + std::to_string(m_columns[*rowId].size) +
                         " bytes in " + nodeText(node));
        }
        m_rowIdOffset = m_columns[*rowId].offset;
    } else if (m_rowSize < 4) {
        throwCorrupt("TC rows of " + std::to_string(m_rowSize) + " bytes have no row id in " +
                     nodeText(node));
    }

    if (hnidRows == 0) {
        m_rowCount = 0;
    } else if (hnidIsHeapId(hnidRows)) {
        m_matrixInHeap = true;
        m_heapMatrix = m_heap.item(HeapId{hnidRows});
        m_rowCount = m_heapMatrix.size() / m_rowSize;
    } else {
        m_matrixInHeap = false;
        const auto& database = m_heap.database();
        m_matrix = database->dataStream(database->subnode(node, ndb::NodeId{hnidRows}));
        // Rows never straddle blocks, so each block holds its size / row size rows. A
        // block the data tree lists but the file does not hold has none: a damaged tree may
        // list any number of them, and its rows could not be read anyway.
        for (std::size_t b = 0; b < m_matrix.blockCount(); ++b) {
            const std::size_t rows = m_matrix.blockSize(b) / m_rowSize;
            if (rows > 0) {
                m_rowBlocks.push_back({b, m_rowCount});
                m_rowCount += rows;
            }
        }
    }
}

std::optional<std::size_t> TableContext::findColumn(std::uint16_t id) const noexcept {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].id() == id) {
            return i;
        }
    }
    return std::nullopt;
}

TableRow TableContext::row(std::size_t index) const {
    if (index >= m_rowCount) {
        throwCorrupt("row " + std::to_string(index) + " of a table of " +
                     std::to_string(m_rowCount) + " rows in " + nodeText(node()));
    }
    TableRow row;
    row.m_table = this;
    row.m_index = index;
    if (m_matrixInHeap) {
        row.m_bytes = m_heapMatrix.subspan(index * m_rowSize, m_rowSize);
    } else {
        // The last block whose first row is at or before the one asked for.
        const auto it =
            std::upper_bound(m_rowBlocks.begin(), m_rowBlocks.end(), index,
                             [](std::size_t i, const RowBlock& b) { return i < b.firstRow; });
        const RowBlock& rb = *std::prev(it); // m_rowBlocks[0].firstRow == 0 <= index
        row.m_holder = m_matrix.block(rb.block);
        const std::size_t off = (index - rb.firstRow) * m_rowSize;
        row.m_bytes = ByteReader(row.m_holder.bytes(), kNoOffset, "TC row matrix block")
                          .slice(off, m_rowSize);
    }
    row.m_rowId = loadLe<std::uint32_t>(row.m_bytes, m_rowIdOffset); // range checked at open
    return row;
}

std::optional<std::size_t> TableContext::findRow(std::uint32_t rowId) const {
    if (raw(m_rowIndex) == 0) {
        return std::nullopt;
    }
    const BTreeOnHeap index(m_heap, m_rowIndex);
    if (index.keySize() != 4) {
        throwCorrupt("invalid TC row index key size " + std::to_string(index.keySize()) + " in " +
                     nodeText(node()));
    }
    const auto data = index.find(rowId);
    if (!data) {
        return std::nullopt;
    }
    // dwRowIndex: 4 bytes in Unicode files, 2 in ANSI ones.
    const std::size_t position = data->size() >= 4 ? loadLe<std::uint32_t>(*data, 0)
                                                   : ByteReader(*data).readAt<std::uint16_t>(0);
    if (position >= m_rowCount) {
        throwCorrupt("TC row index entry " + hexText(rowId) + " names row " +
                     std::to_string(position) + " of " + std::to_string(m_rowCount) + " in " +
                     nodeText(node()));
    }
    return position;
}

PropertyValue TableContext::decodeCell(const TableRow& row, std::size_t column) const {
    const ColumnDesc& c = m_columns.at(column);
    PropertyValue v;
    v.id = c.id();
    v.type = c.type();
    if (!row.has(column)) {
        v.storage = ValueStorage::Absent;
        return v;
    }
    const auto cell = row.m_bytes.subspan(c.offset, c.size); // checked at open
    if (cellInline(v.type, c.size)) {
        v.storage = ValueStorage::Inline;
        const std::size_t size = fixedTypeSize(v.type);
        std::copy_n(cell.begin(), size, v.inlineBytes.begin());
        v.inlineSize = static_cast<std::uint8_t>(size);
        return v;
    }
    if (c.size != 4) {
        if (c.size <= 8 && fixedTypeSize(v.type) == 0 && !isMultiValued(v.type)) {
            // An unknown fixed-size type: keep its raw bytes.
            v.storage = ValueStorage::Inline;
            std::copy(cell.begin(), cell.end(), v.inlineBytes.begin());
            v.inlineSize = c.size;
            return v;
        }
        v.storage = ValueStorage::Damaged;
        return v;
    }
    locateByHnid(m_heap, v, loadLe<std::uint32_t>(cell, 0));
    return v;
}

bool TableRow::has(std::size_t column) const {
    const ColumnDesc& c = m_table->m_columns.at(column);
    const std::size_t byte = m_table->m_bitmapOffset + c.bit / 8U;
    return (m_bytes[byte] & (0x80U >> (c.bit % 8U))) != 0; // bit range checked at open
}

PropertyValue TableRow::cell(std::size_t column) const {
    return m_table->decodeCell(*this, column);
}

std::optional<PropertyValue> TableRow::find(std::uint16_t id) const {
    const auto column = m_table->findColumn(id);
    if (!column) {
        return std::nullopt;
    }
    return cell(*column);
}

} // namespace tvn::store::pst::ltp
