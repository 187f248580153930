#pragma once

// Shared by the reader-core tests and the fuzz target: walks that read everything the node
// database and LTP layers offer. Where the corpus is: tests/support/corpus.h.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/pst/ltp/property_context.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/ndb/node_database.h"

namespace tvn::store::pst::test_support {

// A corpus file name as a test name ("sample2-ansi.pst" -> "sample2_ansi_pst").
inline std::string testName(std::string name) {
    for (auto& ch : name) {
        if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'))) {
            ch = '_';
        }
    }
    return name;
}

// Heap-based nodes by type: the ones whose data is a PC or a TC.
inline bool holdsPropertyContext(ndb::NodeId nid) {
    const auto t = ndb::nodeType(nid);
    return nid == ndb::nid::kMessageStore || nid == ndb::nid::kNameToIdMap ||
           t == ndb::nid_type::kNormalFolder || t == ndb::nid_type::kSearchFolder ||
           t == ndb::nid_type::kNormalMessage || t == ndb::nid_type::kAssocMessage ||
           t == ndb::nid_type::kAttachment;
}
inline bool holdsTableContext(ndb::NodeId nid) {
    const auto t = ndb::nodeType(nid);
    return t == ndb::nid_type::kHierarchyTable || t == ndb::nid_type::kContentsTable ||
           t == ndb::nid_type::kAssocContentsTable || t == ndb::nid_type::kAttachmentTable ||
           t == ndb::nid_type::kRecipientTable;
}

struct WalkCounts {
    std::size_t nodes = 0;
    std::size_t blocks = 0;
    std::size_t subnodes = 0;
    std::uint64_t bytes = 0;
    std::size_t propertyContexts = 0;
    std::size_t properties = 0;
    std::size_t tableContexts = 0;
    std::size_t rows = 0;
    std::size_t cells = 0;
    std::size_t errors = 0; // ReadErrors caught (tolerant walk only)
};

// Reads one node as the upper layers would: its bytes, its subnodes, and its PC or TC with
// every value. Embedded objects are followed `depth` levels.
inline void walkNode(const std::shared_ptr<const ndb::NodeDatabase>& db, const ndb::NodeRef& node,
                     WalkCounts& counts, int depth) {
    counts.bytes += db->dataStream(node).size();
    std::uint64_t streamed = 0;
    db->dataStream(node).forEachBlock([&](auto b) { streamed += b.size(); });
    counts.bytes += streamed;
    if (ndb::raw(node.data) != 0 && holdsPropertyContext(node.nid)) {
        const ltp::PropertyContext pc(db, node);
        ++counts.propertyContexts;
        for (const auto& v : pc.properties()) {
            ++counts.properties;
            if (v.storage == ltp::ValueStorage::Damaged) {
                continue;
            }
            const auto bytes = pc.read(v);
            if (ltp::isMultiValued(v.type)) {
                (void)ltp::splitMultiValue(v.type, bytes);
            }
            if (v.type == ltp::prop_type::kObject && depth > 0) {
                walkNode(db, pc.objectNode(v), counts, depth - 1);
            }
        }
    } else if (ndb::raw(node.data) != 0 && holdsTableContext(node.nid)) {
        const ltp::TableContext tc(db, node);
        ++counts.tableContexts;
        for (std::size_t i = 0; i < tc.rowCount(); ++i) {
            const auto row = tc.row(i);
            ++counts.rows;
            (void)tc.findRow(row.rowId());
            for (std::size_t c = 0; c < tc.columns().size(); ++c) {
                const auto v = row.cell(c);
                ++counts.cells;
                if (v.storage != ltp::ValueStorage::Damaged) {
                    (void)tc.read(v);
                }
            }
        }
    }
    if (depth > 0) {
        for (const auto& sub : db->subnodes(node)) {
            ++counts.subnodes;
            (void)db->findSubnode(node, sub.nid);
            walkNode(db, sub, counts, depth - 1);
        }
    }
}

// Walks both B-trees and every node. Strict: the first ReadError propagates.
inline WalkCounts walkStrict(const std::shared_ptr<const ndb::NodeDatabase>& db) {
    WalkCounts counts;
    db->forEachBlock([&](const ndb::BlockEntry&) {
        ++counts.blocks;
        return true;
    });
    db->forEachNode([&](const ndb::NodeEntry& n) {
        ++counts.nodes;
        walkNode(db, {n.nid, n.data, n.subnodes}, counts, 3);
        return true;
    });
    return counts;
}

// The same walk, but a ReadError on one node is counted and the walk goes on, as the
// archive run does with a damaged item. Any other exception escapes (and fails the test).
inline WalkCounts walkTolerant(const std::shared_ptr<const ndb::NodeDatabase>& db) {
    WalkCounts counts;
    try {
        db->forEachBlock([&](const ndb::BlockEntry& b) {
            ++counts.blocks;
            try {
                (void)db->readBlock(b.ref.bid);
            } catch (const ReadError&) {
                ++counts.errors;
            }
            return true;
        });
    } catch (const ReadError&) {
        ++counts.errors;
    }
    std::vector<ndb::NodeEntry> nodes;
    try {
        db->forEachNode([&](const ndb::NodeEntry& n) {
            nodes.push_back(n);
            return true;
        });
    } catch (const ReadError&) {
        ++counts.errors;
    }
    for (const auto& n : nodes) {
        ++counts.nodes;
        try {
            (void)db->findNode(n.nid);
            walkNode(db, {n.nid, n.data, n.subnodes}, counts, 3);
        } catch (const ReadError&) {
            ++counts.errors;
        }
    }
    return counts;
}

} // namespace tvn::store::pst::test_support
