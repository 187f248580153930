#pragma once

// Shared by the reader's tests and the .pst fuzz target: the walks that read everything a
// data file offers, through the node database and LTP layers (walkStrict, walkTolerant)
// and through the object model (walkModel, over the one folder walk of store/walk.h).
// readWholeFile runs both over one input. Where the corpus is: tests/support/corpus.h.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "store/failure.h"
#include "store/object_model.h"
#include "store/property_names.h"
#include "store/pst/ltp/property_context.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/ndb/node_database.h"
#include "store/pst/pst_file.h"
#include "store/walk.h"

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

// --- the object model -------------------------------------------------------------------

struct ModelCounts {
    std::size_t folders = 0;
    std::size_t items = 0;
    std::size_t failures = 0;   // tvn::Failures caught, the open's included
    std::size_t wrongKinds = 0; // property values not of the kind their name promises
};

// Runs `read`; a tvn::Failure is counted, anything else escapes.
template <typename Read> void tolerate(ModelCounts& counts, Read&& read) {
    try {
        read();
    } catch (const tvn::Failure&) {
        ++counts.failures;
    }
}

class NullSink final : public ByteSink {
public:
    void write(std::span<const std::uint8_t>) override {}
};

// Every property, recipient and attachment of an item; embedded items `depth` levels down.
inline void readItem(const Item& item, ModelCounts& counts, int depth = 4) {
    static const auto names = knownPropertyNames();
    (void)item.messageClass();
    for (const auto name : names) {
        tolerate(counts, [&] {
            counts.wrongKinds += item.get(name).kind() != propertyKind(name) ? 1U : 0U;
        });
    }
    tolerate(counts, [&] {
        const auto recipients = item.recipients();
        for (std::int32_t i = 1; recipients && i <= recipients->count(); ++i) {
            tolerate(counts, [&] {
                const auto r = recipients->item(i);
                (void)r->name();
                (void)r->address();
                (void)r->type();
            });
        }
    });
    tolerate(counts, [&] {
        const auto attachments = item.attachments();
        for (std::int32_t i = 1; attachments && i <= attachments->count(); ++i) {
            tolerate(counts, [&] {
                const auto a = attachments->item(i);
                (void)a->fileName();
                (void)a->displayName();
                if (a->type() != AttachmentType::EmbeddedItem) {
                    NullSink sink;
                    a->writeTo(sink);
                } else if (const auto embedded = a->embeddedItem(); embedded && depth > 0) {
                    readItem(*embedded, counts, depth - 1);
                }
            });
        }
    });
}

// Every folder and item below `top` through the walk archive runs use, so that the reader
// reaches each folder node once and the walk's budget bounds the items opened.
inline ModelCounts walkModel(const std::shared_ptr<Folder>& top) {
    class Visitor final : public FolderVisitor {
    public:
        ModelCounts counts;
        bool enterFolder(const std::shared_ptr<Folder>& folder, std::size_t) override {
            ++counts.folders;
            tolerate(counts, [&] {
                (void)folder->name();
                (void)folder->defaultItemType();
            });
            return true;
        }
        void visitItem(const std::shared_ptr<Item>& item, std::int32_t) override {
            ++counts.items;
            if (item) {
                readItem(*item, counts);
            }
        }
        void failed(const tvn::Failure&, WalkStep, std::int32_t) override { ++counts.failures; }
    } visitor;
    walkFolderTree(top, visitor);
    return visitor.counts;
}

inline ModelCounts walkModel(const std::string& path) {
    ModelCounts counts;
    tolerate(counts, [&] {
        if (const auto top = openDataFile(path, nullptr)) {
            counts = walkModel(top);
        }
    });
    return counts;
}

// What the fuzz target does with one input: both walks over the same bytes. The object
// model opens data files by path, so the bytes go into an anonymous in-memory file opened
// through /proc/self/fd: nothing is left in the temporary folder.
inline ModelCounts readWholeFile(std::span<const std::uint8_t> data) {
    try {
        (void)walkTolerant(
            ndb::NodeDatabase::openMemory(std::vector<std::uint8_t>(data.begin(), data.end())));
    } catch (const ReadError&) {
    }
    ModelCounts counts;
    const int fd = ::memfd_create("pst_input", MFD_CLOEXEC);
    if (fd < 0) {
        return counts;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n <= 0) {
            ::close(fd);
            return counts;
        }
        done += static_cast<std::size_t>(n);
    }
    counts = walkModel("/proc/self/fd/" + std::to_string(fd));
    ::close(fd);
    return counts;
}

} // namespace tvn::store::pst::test_support
