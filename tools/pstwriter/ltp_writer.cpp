#include "tools/pstwriter/ltp_writer.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "store/failure.h"
#include "store/pst/ltp/property_tags.h"
#include "store/pst/ltp/property_value.h"
#include "store/text/code_page.h"
#include "store/text/utf.h"
#include "tools/pstwriter/bytes.h"

namespace tvn::tools {

namespace {

namespace ltp = store::pst::ltp;

constexpr std::uint32_t kTagLtpRowId = ltp::makeTag(ltp::tag::kLtpRowId, ltp::prop_type::kInt32);
constexpr std::uint32_t kTagLtpRowVer = ltp::makeTag(ltp::tag::kLtpRowVer, ltp::prop_type::kInt32);

std::vector<std::uint8_t> encodeString(const std::string& s, bool unicode) {
    if (unicode) {
        return store::text::utf8ToUtf16le(s);
    }
    const std::string ansi = store::text::toWindows1252(s);
    return std::vector<std::uint8_t>(ansi.begin(), ansi.end());
}

// Counted layout of variable-length multi-valued properties: ulCount, rgulDataOffsets,
// then the values.
std::vector<std::uint8_t> countedLayout(const std::vector<std::vector<std::uint8_t>>& items) {
    std::vector<std::uint8_t> out;
    append32(out, static_cast<std::uint32_t>(items.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(4 + 4 * items.size());
    for (const auto& it : items) {
        append32(out, offset);
        offset += static_cast<std::uint32_t>(it.size());
    }
    for (const auto& it : items) {
        out.insert(out.end(), it.begin(), it.end());
    }
    return out;
}

[[noreturn]] void badValue(const char* what) {
    throw Failure(err::kInvalidProcedureCall, std::string("Cannot store property: ") + what);
}

} // namespace

StoredValue storeValue(const PropValue& v, FileFormat format) {
    const bool unicode = format == FileFormat::Unicode;
    StoredValue s;
    s.type = v.type;
    auto& b = s.bytes;
    switch (v.type) {
    case prop_type::kInt16:
        append16(b, static_cast<std::uint16_t>(v.integer));
        break;
    case prop_type::kInt32:
    case prop_type::kError:
        append32(b, static_cast<std::uint32_t>(v.integer));
        break;
    case prop_type::kBoolean:
        b.push_back(v.integer != 0 ? 1 : 0);
        break;
    case prop_type::kFloat: {
        const float f = static_cast<float>(v.real);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        append32(b, bits);
        break;
    }
    case prop_type::kDouble:
    case prop_type::kAppTime: {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v.real, 8);
        append64(b, bits);
        break;
    }
    case prop_type::kCurrency:
    case prop_type::kInt64:
    case prop_type::kSysTime:
        append64(b, static_cast<std::uint64_t>(v.integer));
        break;
    case prop_type::kUnicode:
    case prop_type::kString8:
        s.type = unicode ? prop_type::kUnicode : prop_type::kString8;
        b = encodeString(v.text, unicode);
        break;
    case prop_type::kBinary:
    case prop_type::kObject:
        b = v.bytes;
        break;
    case prop_type::kGuid:
        if (v.bytes.size() != 16) {
            badValue("a GUID value needs 16 bytes");
        }
        b = v.bytes;
        break;
    case prop_type::kMvShort:
        for (auto x : v.integers) {
            append16(b, static_cast<std::uint16_t>(x));
        }
        break;
    case prop_type::kMvLong:
        for (auto x : v.integers) {
            append32(b, static_cast<std::uint32_t>(x));
        }
        break;
    case prop_type::kMvLongLong:
    case prop_type::kMvSysTime:
        for (auto x : v.integers) {
            append64(b, static_cast<std::uint64_t>(x));
        }
        break;
    case prop_type::kMvDouble:
        for (auto x : v.reals) {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &x, 8);
            append64(b, bits);
        }
        break;
    case prop_type::kMvGuid:
        for (const auto& g : v.blobs) {
            if (g.size() != 16) {
                badValue("a GUID value needs 16 bytes");
            }
            b.insert(b.end(), g.begin(), g.end());
        }
        break;
    case prop_type::kMvUnicode:
    case prop_type::kMvString8: {
        s.type = unicode ? prop_type::kMvUnicode : prop_type::kMvString8;
        std::vector<std::vector<std::uint8_t>> items;
        for (const auto& t : v.texts) {
            auto e = encodeString(t, unicode);
            // Multi-valued strings keep their terminator in the counted layout.
            e.push_back(0);
            if (unicode) {
                e.push_back(0);
            }
            items.push_back(std::move(e));
        }
        b = countedLayout(items);
        break;
    }
    case prop_type::kMvBinary:
        b = countedLayout(v.blobs);
        break;
    default:
        badValue("unsupported property type");
    }
    return s;
}

std::uint32_t SubnodeSink::addValue(NdbWriter& ndb, std::span<const std::uint8_t> data) {
    const std::uint32_t nid = makeNid(nid_type::kLtp, nextIndex());
    m_entries.push_back({nid, ndb.writeData(data), 0});
    return nid;
}

// --- heap ---------------------------------------------------------------------------------

HeapBuilder::HeapBuilder(std::uint8_t clientSig, std::size_t pageCapacity)
    : m_clientSig(clientSig), m_capacity(pageCapacity) {
    newPage();
}

std::size_t HeapBuilder::headerSize(std::size_t pageIndex) {
    if (pageIndex == 0) {
        return 12; // HNHDR
    }
    if (pageIndex >= 8 && (pageIndex - 8) % 128 == 0) {
        return 66; // HNBITMAPHDR
    }
    return 2; // HNPAGEHDR
}

void HeapBuilder::newPage() {
    Page p;
    p.data.assign(headerSize(m_pages.size()), 0);
    m_pages.push_back(std::move(p));
}

std::uint32_t HeapBuilder::allocate(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kMaxAllocation) {
        throw Failure(err::kInvalidProcedureCall, "heap allocation too large");
    }
    auto fits = [&](const Page& p) {
        const std::size_t used = p.data.size() + bytes.size();
        const std::size_t map = 4 + 2 * (p.starts.size() + 2) + 1; // +1: alignment
        return used + map <= m_capacity && p.starts.size() < 2047;
    };
    if (!fits(m_pages.back())) {
        if (m_pages.size() >= 0xFFFF) {
            throw Failure(err::kInvalidProcedureCall, "heap too large");
        }
        newPage();
    }
    Page& p = m_pages.back();
    p.starts.push_back(static_cast<std::uint16_t>(p.data.size()));
    p.data.insert(p.data.end(), bytes.begin(), bytes.end());
    const auto index = static_cast<std::uint32_t>(p.starts.size());
    const auto block = static_cast<std::uint32_t>(m_pages.size() - 1);
    return (block << 16) | (index << 5);
}

void HeapBuilder::replace(std::uint32_t hid, std::span<const std::uint8_t> bytes) {
    Page& p = m_pages.at(hid >> 16);
    const std::size_t index = ((hid >> 5) & 0x7FF) - 1;
    std::memcpy(p.data.data() + p.starts.at(index), bytes.data(), bytes.size());
}

std::vector<std::vector<std::uint8_t>> HeapBuilder::finish() {
    std::vector<std::vector<std::uint8_t>> out;
    out.reserve(m_pages.size());
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        Page& p = m_pages[i];
        std::vector<std::uint8_t> d = std::move(p.data);
        const std::size_t end = d.size();
        if (d.size() % 2 != 0) {
            d.push_back(0);
        }
        const auto ibHnpm = static_cast<std::uint16_t>(d.size());
        append16(d, static_cast<std::uint16_t>(p.starts.size()));
        append16(d, 0); // cFree
        for (auto s : p.starts) {
            append16(d, s);
        }
        append16(d, static_cast<std::uint16_t>(end));
        put16(d.data(), ibHnpm);
        if (i == 0) {
            d[2] = 0xEC; // bSig
            d[3] = m_clientSig;
            put32(d.data() + 4, m_userRoot);
        }
        out.push_back(std::move(d));
    }
    return out;
}

std::uint32_t buildBth(HeapBuilder& heap, std::uint8_t cbKey, std::uint8_t cbEnt,
                       const std::vector<std::uint8_t>& records) {
    std::vector<std::uint8_t> header(8, 0);
    header[0] = store::pst::ltp::heap_client::kBTreeOnHeap;
    header[1] = cbKey;
    header[2] = cbEnt;
    if (records.empty()) {
        return heap.allocate(header);
    }
    std::vector<std::uint8_t> level = records;
    std::size_t recordSize = std::size_t{cbKey} + cbEnt;
    std::uint8_t levels = 0;
    for (;;) {
        const std::size_t perAlloc = HeapBuilder::kMaxAllocation / recordSize;
        const std::size_t count = level.size() / recordSize;
        std::vector<std::uint8_t> next;
        std::uint32_t lastHid = 0;
        for (std::size_t i = 0; i < count; i += perAlloc) {
            const std::size_t n = std::min(perAlloc, count - i);
            lastHid = heap.allocate(
                std::span<const std::uint8_t>(level).subspan(i * recordSize, n * recordSize));
            next.insert(next.end(), level.begin() + static_cast<std::ptrdiff_t>(i * recordSize),
                        level.begin() + static_cast<std::ptrdiff_t>(i * recordSize + cbKey));
            append32(next, lastHid);
        }
        if (count <= perAlloc) {
            header[3] = levels;
            put32(header.data() + 4, lastHid);
            return heap.allocate(header);
        }
        level = std::move(next);
        recordSize = std::size_t{cbKey} + 4;
        ++levels;
    }
}

// --- property context ---------------------------------------------------------------------

std::uint64_t writePropertyContext(NdbWriter& ndb, std::vector<StoredProperty> props,
                                   SubnodeSink& sink) {
    std::stable_sort(props.begin(), props.end(),
                     [](const StoredProperty& a, const StoredProperty& b) { return a.id < b.id; });
    // One value per id: a later one replaces an earlier one.
    std::vector<StoredProperty> unique;
    for (auto& p : props) {
        if (!unique.empty() && unique.back().id == p.id) {
            unique.back() = std::move(p);
        } else {
            unique.push_back(std::move(p));
        }
    }
    HeapBuilder heap(store::pst::ltp::heap_client::kPropertyContext, ndb.sizes().maxBlockData);
    std::vector<std::uint8_t> records;
    records.reserve(unique.size() * 8);
    for (const auto& p : unique) {
        append16(records, p.id);
        append16(records, p.value.type);
        const std::size_t fixed = fixedSize(p.value.type);
        std::uint32_t hnid = 0;
        if (fixed != 0 && fixed <= 4) {
            std::uint8_t inl[4] = {0, 0, 0, 0};
            std::memcpy(inl, p.value.bytes.data(), fixed);
            hnid = static_cast<std::uint32_t>(inl[0]) | static_cast<std::uint32_t>(inl[1]) << 8 |
                   static_cast<std::uint32_t>(inl[2]) << 16 |
                   static_cast<std::uint32_t>(inl[3]) << 24;
        } else if (p.value.bytes.size() <= HeapBuilder::kMaxAllocation) {
            hnid = heap.allocate(p.value.bytes);
        } else {
            hnid = sink.addValue(ndb, p.value.bytes);
        }
        append32(records, hnid);
    }
    heap.setUserRoot(buildBth(heap, 2, 6, records));
    return ndb.writeBlocks(heap.finish());
}

// --- table context ------------------------------------------------------------------------

std::uint64_t writeTableContext(NdbWriter& ndb, const std::vector<std::uint32_t>& columnTags,
                                const std::vector<TableRow>& rows, SubnodeSink& sink) {
    struct Column {
        std::uint32_t tag;
        std::size_t source; // index into a row's cells, or SIZE_MAX for the row id/version
        std::size_t width;
        std::size_t offset = 0;
        std::uint8_t bit = 0;
    };
    constexpr std::size_t kImplicit = static_cast<std::size_t>(-1);
    std::vector<Column> cols;
    cols.push_back({kTagLtpRowId, kImplicit, 4});
    cols.push_back({kTagLtpRowVer, kImplicit, 4});
    for (std::size_t i = 0; i < columnTags.size(); ++i) {
        auto type = static_cast<std::uint16_t>(columnTags[i] & 0xFFFF);
        if (ndb.format() == FileFormat::Ansi &&
            (type == prop_type::kUnicode || type == prop_type::kMvUnicode)) {
            type = static_cast<std::uint16_t>(type - 1); // the 8-bit string types
        }
        const std::size_t fixed = fixedSize(type);
        cols.push_back({(columnTags[i] & 0xFFFF0000u) | type, i, fixed != 0 ? fixed : 4});
    }
    // Row layout: row id and version first, then 8-, 4-, 2- and 1-byte cells, then the
    // cell-existence bitmap.
    std::vector<std::size_t> order(cols.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin() + 2, order.end(),
                     [&](std::size_t a, std::size_t b) { return cols[a].width > cols[b].width; });
    std::size_t offset = 0;
    std::uint16_t ends[4] = {0, 0, 0, 0};
    for (std::size_t k = 0; k < order.size(); ++k) {
        Column& c = cols[order[k]];
        c.offset = offset;
        c.bit = static_cast<std::uint8_t>(k);
        offset += c.width;
        if (c.width >= 4) {
            ends[0] = static_cast<std::uint16_t>(offset);
        }
    }
    ends[1] = ends[0];
    ends[2] = ends[0];
    for (const auto& c : cols) {
        if (c.width == 2) {
            ends[1] = static_cast<std::uint16_t>(std::max<std::size_t>(ends[1], c.offset + 2));
        }
    }
    ends[2] = ends[1];
    for (const auto& c : cols) {
        if (c.width == 1) {
            ends[2] = static_cast<std::uint16_t>(std::max<std::size_t>(ends[2], c.offset + 1));
        }
    }
    const std::size_t cebSize = (cols.size() + 7) / 8;
    const std::size_t rowSize = offset + cebSize;
    ends[3] = static_cast<std::uint16_t>(rowSize);

    HeapBuilder heap(store::pst::ltp::heap_client::kTableContext, ndb.sizes().maxBlockData);
    // TCINFO first, so that the user root is the first allocation as in Outlook's files.
    std::vector<std::uint8_t> info(22 + 8 * cols.size(), 0);
    const std::uint32_t infoHid = heap.allocate(info);
    heap.setUserRoot(infoHid);

    std::vector<std::uint8_t> matrix(rowSize * rows.size(), 0);
    std::vector<std::uint8_t> index;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ids;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::uint8_t* row = matrix.data() + r * rowSize;
        std::uint8_t* ceb = row + offset;
        for (const auto& c : cols) {
            const StoredValue* v = nullptr;
            std::uint8_t implicit[4] = {0, 0, 0, 0};
            if (c.source == kImplicit) {
                put32(implicit, c.tag == kTagLtpRowId ? rows[r].rowId : 1u);
            } else if (c.source < rows[r].cells.size() && rows[r].cells[c.source]) {
                v = &*rows[r].cells[c.source];
            } else {
                continue;
            }
            if (c.source == kImplicit) {
                std::memcpy(row + c.offset, implicit, 4);
            } else if (fixedSize(static_cast<std::uint16_t>(c.tag & 0xFFFF)) != 0) {
                std::memcpy(row + c.offset, v->bytes.data(), std::min(c.width, v->bytes.size()));
            } else {
                std::uint32_t hnid = 0;
                if (v->bytes.size() <= HeapBuilder::kMaxAllocation) {
                    hnid = heap.allocate(v->bytes);
                } else {
                    hnid = sink.addValue(ndb, v->bytes);
                }
                put32(row + c.offset, hnid);
            }
            ceb[c.bit / 8] = static_cast<std::uint8_t>(ceb[c.bit / 8] | (0x80u >> (c.bit % 8)));
        }
        ids.emplace_back(rows[r].rowId, static_cast<std::uint32_t>(r));
    }
    std::sort(ids.begin(), ids.end());
    const std::size_t valueSize = ndb.sizes().rowIndexValue;
    for (const auto& [id, at] : ids) {
        append32(index, id);
        if (valueSize == 4) {
            append32(index, at);
        } else {
            append16(index, static_cast<std::uint16_t>(at));
        }
    }
    const std::uint32_t rowIndexHid =
        buildBth(heap, 4, static_cast<std::uint8_t>(valueSize), index);

    std::uint32_t hnidRows = 0;
    if (!matrix.empty()) {
        if (matrix.size() <= HeapBuilder::kMaxAllocation) {
            hnidRows = heap.allocate(matrix);
        } else {
            // Rows never straddle a block: each block holds a whole number of rows.
            const std::size_t perBlock = ndb.sizes().maxBlockData / rowSize;
            std::vector<std::vector<std::uint8_t>> blocks;
            for (std::size_t r = 0; r < rows.size(); r += perBlock) {
                const std::size_t n = std::min(perBlock, rows.size() - r);
                blocks.emplace_back(matrix.begin() + static_cast<std::ptrdiff_t>(r * rowSize),
                                    matrix.begin() +
                                        static_cast<std::ptrdiff_t>((r + n) * rowSize));
            }
            const std::uint32_t nid = makeNid(nid_type::kLtp, sink.nextIndex());
            sink.add({nid, ndb.writeBlocks(blocks), 0});
            hnidRows = nid;
        }
    }

    // TCINFO with the column descriptions in tag order.
    std::vector<std::size_t> byTag(cols.size());
    std::iota(byTag.begin(), byTag.end(), 0);
    std::sort(byTag.begin(), byTag.end(),
              [&](std::size_t a, std::size_t b) { return cols[a].tag < cols[b].tag; });
    info[0] = store::pst::ltp::heap_client::kTableContext;
    info[1] = static_cast<std::uint8_t>(cols.size());
    for (int i = 0; i < 4; ++i) {
        put16(info.data() + 2 + 2 * i, ends[i]);
    }
    put32(info.data() + 10, rowIndexHid);
    put32(info.data() + 14, hnidRows);
    put32(info.data() + 18, 0); // hidIndex: deprecated
    for (std::size_t k = 0; k < byTag.size(); ++k) {
        const Column& c = cols[byTag[k]];
        std::uint8_t* d = info.data() + 22 + 8 * k;
        put32(d, c.tag);
        put16(d + 4, static_cast<std::uint16_t>(c.offset));
        d[6] = static_cast<std::uint8_t>(c.width);
        d[7] = c.bit;
    }
    heap.replace(infoHid, info);
    return ndb.writeBlocks(heap.finish());
}

} // namespace tvn::tools
