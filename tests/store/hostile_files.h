#pragma once

// Data files crafted to attack the reader, written with the .pst writer's lower layers so
// that every page and block carries a correct checksum: whatever is wrong is wrong on
// purpose, in the structures the writer was told to write. Shared by the store tests and
// the program that writes the fuzz target's regression inputs.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

#include "store/pst/ndb/crypt.h"
#include "store/pst/ndb/node_database.h"
#include "store/pst/ndb/types.h"
#include "tools/pstwriter/ltp_writer.h"
#include "tools/pstwriter/ndb_writer.h"
#include "tools/pstwriter/pst_writer.h"

namespace tvn::store::pst::test_support {

// One folder of a crafted tree. `listed` holds indexes into the tree's folders (index 0 is
// the top): the rows of this folder's hierarchy table, in order, repeats allowed.
struct CraftedFolder {
    std::string name;
    std::vector<std::size_t> listed;
    std::size_t items = 0; // messages written into its contents table
    // Empty 32-bit columns added to its contents table, to fit fewer rows in a block.
    std::size_t extraColumns = 0;
};

// The name-to-id map as raw streams.
struct CraftedNameMap {
    std::vector<std::uint8_t> guids;
    std::vector<std::uint8_t> entries;
    std::vector<std::uint8_t> strings;
};

// The NID of crafted folder `index`.
inline std::uint32_t craftedFolderNid(std::size_t index) {
    return tools::makeNid(ndb::nid_type::kNormalFolder, static_cast<std::uint32_t>(0x400 + index));
}

// Writes a data file with the given folder tree (folder 0 is the store's top folder) and,
// when given, the name map. Items are plain messages with a subject and an appointment's
// start and end (named properties 0x820D/0x820E of the appointment set, ids 0x8000/0x8001)
// when the name map is not given.
inline void writeCraftedFile(const std::filesystem::path& path,
                             const std::vector<CraftedFolder>& folders,
                             const CraftedNameMap* names = nullptr,
                             std::vector<std::pair<std::int64_t, std::int64_t>> times = {}) {
    using namespace tools;
    NdbWriter ndb(path, FileFormat::Unicode, CryptMethod::None);
    const auto unicode = [](const std::string& s) {
        return storeValue(PropValue::unicode(s), FileFormat::Unicode);
    };
    const auto binary = [](std::vector<std::uint8_t> b) {
        return StoredValue{prop_type::kBinary, std::move(b)};
    };
    const auto store32 = [](std::uint32_t v) {
        return StoredValue{prop_type::kInt32,
                           {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8U),
                            static_cast<std::uint8_t>(v >> 16U),
                            static_cast<std::uint8_t>(v >> 24U)}};
    };
    const auto store64 = [](std::int64_t v) {
        StoredValue s{prop_type::kSysTime, {}};
        for (int i = 0; i < 8; ++i) {
            s.bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * i)));
        }
        return s;
    };

    // The message store, naming folder 0 as the top.
    {
        std::vector<std::uint8_t> entryId(24, 0);
        const std::uint32_t top = craftedFolderNid(0);
        for (int i = 0; i < 4; ++i) {
            entryId[20 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(top >> (8 * i));
        }
        SubnodeSink sink;
        const auto pc = writePropertyContext(
            ndb, {{0x3001, unicode("Crafted")}, {0x35E0, binary(entryId)}}, sink);
        ndb.addNode(0x21, pc, sink.write(ndb), 0);
    }
    // The name map: the given streams, or one naming the appointment's start and end.
    {
        CraftedNameMap standard;
        if (names == nullptr) {
            // The appointment property set, then two numeric entries with GUID index 3.
            const std::uint8_t appointment[16] = {0x02, 0x20, 0x06, 0, 0, 0, 0, 0,
                                                  0xC0, 0,    0,    0, 0, 0, 0, 0x46};
            standard.guids.assign(std::begin(appointment), std::end(appointment));
            for (std::uint32_t i = 0; i < 2; ++i) {
                const std::uint32_t lid = 0x820D + i;
                const std::uint16_t kind = 3 << 1U;
                for (int b = 0; b < 4; ++b) {
                    standard.entries.push_back(static_cast<std::uint8_t>(lid >> (8 * b)));
                }
                standard.entries.push_back(static_cast<std::uint8_t>(kind));
                standard.entries.push_back(static_cast<std::uint8_t>(kind >> 8U));
                standard.entries.push_back(static_cast<std::uint8_t>(i));
                standard.entries.push_back(0);
            }
            names = &standard;
        }
        SubnodeSink sink;
        const auto pc = writePropertyContext(ndb,
                                             {{0x0001, store32(251)},
                                              {0x0002, binary(names->guids)},
                                              {0x0003, binary(names->entries)},
                                              {0x0004, binary(names->strings)}},
                                             sink);
        ndb.addNode(0x61, pc, sink.write(ndb), 0);
    }

    std::uint32_t nextMessage = 0x10001;
    std::size_t timeIndex = 0;
    for (std::size_t f = 0; f < folders.size(); ++f) {
        const std::uint32_t nid = craftedFolderNid(f);
        const std::uint32_t index = 0x400 + static_cast<std::uint32_t>(f);
        {
            SubnodeSink sink;
            const auto pc = writePropertyContext(
                ndb, {{0x3001, unicode(folders[f].name)}, {0x3613, unicode("IPF.Note")}}, sink);
            ndb.addNode(nid, pc, sink.write(ndb), f == 0 ? nid : craftedFolderNid(0));
        }
        {
            std::vector<TableRow> rows;
            for (const std::size_t child : folders[f].listed) {
                rows.push_back({craftedFolderNid(child), {unicode(folders.at(child).name)}});
            }
            SubnodeSink sink;
            const auto tc = writeTableContext(ndb, {0x3001001F}, rows, sink);
            ndb.addNode(makeNid(ndb::nid_type::kHierarchyTable, index), tc, sink.write(ndb), 0);
        }
        std::vector<TableRow> rows;
        for (std::size_t i = 0; i < folders[f].items; ++i) {
            const std::uint32_t message = makeNid(ndb::nid_type::kNormalMessage, nextMessage++);
            std::vector<StoredProperty> props{
                {0x001A, unicode("IPM.Appointment")},
                {0x0037, unicode(folders[f].name + " item " + std::to_string(i))}};
            if (timeIndex < times.size()) {
                props.push_back({0x8000, store64(times[timeIndex].first)});
                props.push_back({0x8001, store64(times[timeIndex].second)});
                ++timeIndex;
            }
            SubnodeSink sink;
            const auto pc = writePropertyContext(ndb, props, sink);
            ndb.addNode(message, pc, sink.write(ndb), nid);
            rows.push_back({message, {unicode("IPM.Appointment")}});
            rows.back().cells.resize(1 + folders[f].extraColumns);
        }
        std::vector<std::uint32_t> columns{0x001A001F};
        for (std::size_t c = 0; c < folders[f].extraColumns; ++c) {
            columns.push_back(static_cast<std::uint32_t>(0x66000003U + (c << 16U)));
        }
        SubnodeSink sink;
        const auto tc = writeTableContext(ndb, columns, rows, sink);
        ndb.addNode(makeNid(ndb::nid_type::kContentsTable, index), tc, sink.write(ndb), 0);
    }
    ndb.finish();
}

// A chain of `depth` folders below the top where every folder's hierarchy table lists the
// next folder `repeats` times: the shape that multiplied a walk by repeats^depth.
inline std::vector<CraftedFolder> repeatedChain(std::size_t depth, std::size_t repeats) {
    std::vector<CraftedFolder> folders;
    for (std::size_t i = 0; i <= depth; ++i) {
        CraftedFolder f{"level " + std::to_string(i), {}, 1};
        if (i < depth) {
            f.listed.assign(repeats, i + 1);
        }
        folders.push_back(std::move(f));
    }
    return folders;
}

// A tree where several folders list the same subtree: folders 1..fan all list folder
// fan + 1, which heads a chain of `depth` folders each listing the next.
inline std::vector<CraftedFolder> sharedSubtree(std::size_t fan, std::size_t depth) {
    std::vector<CraftedFolder> folders{{"top", {}, 0}};
    for (std::size_t i = 1; i <= fan; ++i) {
        folders[0].listed.push_back(i);
        folders.push_back({"parent " + std::to_string(i), {fan + 1}, 0});
    }
    for (std::size_t d = 0; d < depth; ++d) {
        CraftedFolder f{"shared " + std::to_string(d), {}, 1};
        if (d + 1 < depth) {
            f.listed = {fan + 2 + d, fan + 2 + d};
        }
        folders.push_back(std::move(f));
    }
    return folders;
}

// A name map whose `entries` string entries all name the one long string at offset 0 of a
// string stream of `length` UTF-16 characters.
inline CraftedNameMap sameLongName(std::size_t entries, std::size_t length) {
    CraftedNameMap m;
    const std::uint32_t bytes = static_cast<std::uint32_t>(length * 2);
    for (int b = 0; b < 4; ++b) {
        m.strings.push_back(static_cast<std::uint8_t>(bytes >> (8 * b)));
    }
    for (std::size_t i = 0; i < length; ++i) {
        m.strings.push_back(static_cast<std::uint8_t>('a' + i % 26));
        m.strings.push_back(0);
    }
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint16_t kind = (2 << 1U) | 1U; // a string of PS_PUBLIC_STRINGS
        const std::uint16_t propIndex = static_cast<std::uint16_t>(i % 0x7FFF);
        m.entries.insert(m.entries.end(), {0, 0, 0, 0, static_cast<std::uint8_t>(kind),
                                           static_cast<std::uint8_t>(kind >> 8U),
                                           static_cast<std::uint8_t>(propIndex),
                                           static_cast<std::uint8_t>(propIndex >> 8U)});
    }
    return m;
}

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// An ordinary data file as the .pst writer writes it, for the tests that damage one
// structure at a time: a mail folder of 40 messages (so that both B-trees have leaves below
// their roots) with recipients, attachments of several blocks (data trees) and an embedded
// message.
inline std::vector<std::uint8_t> writtenFile(tools::FileFormat format, tools::CryptMethod crypt) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("tvn-written-" + std::to_string(::getpid()) + ".pst");
    tools::StoreOptions options;
    options.format = format;
    options.crypt = crypt;
    tools::PstWriter writer(path, options);
    const auto inbox = writer.addFolder(writer.ipmSubtree(), "Inbox", "IPF.Note");
    for (std::size_t i = 0; i < 40; ++i) {
        tools::Message m("IPM.Note");
        m.subject("message " + std::to_string(i)).body(std::string(100 + 40 * i, 'b'));
        m.sender("Sender", "sender@example.com").addRecipient("Reader", "reader@example.com");
        if (i % 10 == 0) {
            std::vector<std::uint8_t> data(20000 + i);
            for (std::size_t k = 0; k < data.size(); ++k) {
                data[k] = static_cast<std::uint8_t>(k * 7 + i);
            }
            m.addAttachment("data.bin", std::move(data));
        }
        if (i == 5) {
            m.addEmbedded(tools::Message("IPM.Note").subject("inner"), "inner");
        }
        writer.addMessage(inbox, m);
    }
    writer.finish();
    auto bytes = readBytes(path);
    std::filesystem::remove(path);
    return bytes;
}

// The crafted file with one folder of `items` items, and the bytes and block of its
// contents table's row matrix (an XBLOCK: internal blocks are stored as they are).
struct RowMatrix {
    std::vector<std::uint8_t> bytes;
    ndb::BlockEntry xblock;
    ndb::NodeRef table;
    std::size_t leaves = 0;
    std::size_t idSize = 8;
};

inline RowMatrix rowMatrixFile(const std::filesystem::path& path, std::size_t items,
                               std::size_t extraColumns = 0) {
    writeCraftedFile(path, {{"top", {}, items, extraColumns}});
    RowMatrix m;
    m.bytes = readBytes(path);
    const auto db = ndb::NodeDatabase::openMemory(m.bytes);
    m.table = db->nodeRef(ndb::contentsTableOf(ndb::NodeId{craftedFolderNid(0)}));
    for (const auto& sub : db->subnodes(m.table)) {
        if (ndb::isInternal(sub.data)) {
            m.xblock = db->findBlock(sub.data).value();
            m.leaves = db->dataStream(sub.data).blockCount();
        }
    }
    return m;
}

// Rewrites XBLOCK entry `i` and repairs the block's CRC.
inline void setLeaf(RowMatrix& m, std::size_t i, std::uint64_t bid) {
    const auto at = static_cast<std::size_t>(m.xblock.ref.offset) + 8 + i * m.idSize;
    for (std::size_t b = 0; b < m.idSize; ++b) {
        m.bytes[at + b] = static_cast<std::uint8_t>(bid >> (8 * b));
    }
    const auto off = static_cast<std::size_t>(m.xblock.ref.offset);
    const std::uint32_t crc =
        ndb::crc32(std::span<const std::uint8_t>(m.bytes).subspan(off, m.xblock.size));
    const std::size_t trailer = off + ((std::size_t{m.xblock.size} + 16 + 63) / 64) * 64 - 16;
    for (std::size_t b = 0; b < 4; ++b) {
        m.bytes[trailer + 4 + b] = static_cast<std::uint8_t>(crc >> (8 * b));
    }
}

inline std::uint64_t leaf(const RowMatrix& m, std::size_t i) {
    std::uint64_t v = 0;
    const auto at = static_cast<std::size_t>(m.xblock.ref.offset) + 8 + i * m.idSize;
    for (std::size_t b = m.idSize; b-- > 0;) {
        v = (v << 8U) | m.bytes[at + b];
    }
    return v;
}

// The fuzz target's regression inputs, one per way of attacking the reader, written into
// `dir` (tests/fuzz/regressions holds the ones made by this function).
inline void writeRegressionInputs(const std::filesystem::path& dir) {
    writeCraftedFile(dir / "folders-listed-40-times.pst", repeatedChain(5, 40));
    writeCraftedFile(dir / "folders-sharing-a-subtree.pst", sharedSubtree(10, 6));
    writeCraftedFile(dir / "folders-listing-ancestors.pst",
                     {{"top", {1}, 0}, {"a", {2, 2}, 0}, {"b", {1, 0, 2, 3}, 0}, {"c", {}, 0}});
    const auto names = sameLongName(4000, 20000);
    writeCraftedFile(dir / "names-one-long-string.pst", {{"top", {}, 1}}, &names);
    writeCraftedFile(dir / "names-forging-output.pst",
                     {{"top", {1}, 0}, {"Inbox\t3\t999\n\x1b]0;owned\x07\x1b[2J", {}, 1}});
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    writeCraftedFile(dir / "times-at-the-extremes.pst", {{"top", {}, 3}}, nullptr,
                     {{kMin, kMax}, {-1, kMax}, {kMax, kMin}});
    {
        auto m = rowMatrixFile(dir / "rows-in-missing-blocks.pst", 200, 40);
        for (std::size_t i = 1; i + 1 < m.leaves; ++i) {
            setLeaf(m, i, 0x40000000U + 4 * i);
        }
        writeBytes(dir / "rows-in-missing-blocks.pst", m.bytes);
    }
    {
        auto m = rowMatrixFile(dir / "rows-short-block-first.pst", 120, 40);
        const auto first = leaf(m, 0);
        setLeaf(m, 0, leaf(m, m.leaves - 1));
        setLeaf(m, m.leaves - 1, first);
        writeBytes(dir / "rows-short-block-first.pst", m.bytes);
    }
    {
        auto m = rowMatrixFile(dir / "data-tree-claims-4gib.pst", 120, 40);
        const auto off = static_cast<std::size_t>(m.xblock.ref.offset);
        for (std::size_t b = 0; b < 4; ++b) {
            m.bytes[off + 4 + b] = 0xFF;
        }
        setLeaf(m, 0, leaf(m, 0));
        writeBytes(dir / "data-tree-claims-4gib.pst", m.bytes);
    }
}

} // namespace tvn::store::pst::test_support
