#pragma once

// What the .pst fuzz target does with one input, shared with the test that replays the
// regression inputs under the ordinary build: the whole input is read as a data file
// through the node database and LTP layers (both B-trees, every node, subnode, property
// and table cell), then through the object model (every folder, item, property, recipient
// and attachment). Damage must end in ReadError / tvn::Failure; anything else escapes.
//
// The object model opens data files by path: the input is put in an anonymous in-memory
// file and opened through /proc/self/fd, so nothing is left in the temporary folder, and
// attachments are read into a sink that keeps nothing.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "store/failure.h"
#include "store/object_model.h"
#include "store/property_names.h"
#include "store/pst/ndb/node_database.h"
#include "store/pst/pst_file.h"
#include "store/walk.h"
#include "tests/store/pst_reader_support.h"

namespace tvn::store::pst::fuzz {

class NullSink final : public ByteSink {
public:
    void write(std::span<const std::uint8_t>) override {}
};

inline void walkFuzzItem(const Item& item, int depth) {
    (void)item.messageClass();
    static const auto names = knownPropertyNames();
    for (const auto name : names) {
        try {
            (void)item.get(name);
        } catch (const tvn::Failure&) {
        }
    }
    try {
        const auto recipients = item.recipients();
        for (std::int32_t i = 1; recipients && i <= recipients->count(); ++i) {
            try {
                const auto r = recipients->item(i);
                (void)r->name();
                (void)r->address();
                (void)r->type();
            } catch (const tvn::Failure&) {
            }
        }
    } catch (const tvn::Failure&) {
    }
    try {
        const auto attachments = item.attachments();
        for (std::int32_t i = 1; attachments && i <= attachments->count(); ++i) {
            try {
                const auto a = attachments->item(i);
                (void)a->fileName();
                (void)a->displayName();
                if (a->type() == AttachmentType::EmbeddedItem) {
                    if (const auto embedded = a->embeddedItem(); embedded && depth < 4) {
                        walkFuzzItem(*embedded, depth + 1);
                    }
                } else {
                    NullSink sink;
                    a->writeTo(sink);
                }
            } catch (const tvn::Failure&) {
            }
        }
    } catch (const tvn::Failure&) {
    }
}

// Every folder and item below the top folder, through the walk archive runs use: the
// reader reaches each folder node once and the walk's budget bounds the items opened.
class FuzzVisitor final : public FolderVisitor {
public:
    bool enterFolder(const std::shared_ptr<Folder>& folder, std::size_t) override {
        try {
            (void)folder->name();
            (void)folder->defaultItemType();
        } catch (const tvn::Failure&) {
        }
        return true;
    }
    void visitItem(const std::shared_ptr<Item>& item, std::int32_t) override {
        if (item) {
            walkFuzzItem(*item, 0);
        }
    }
    void failed(const tvn::Failure&, WalkStep, std::int32_t) override {}
};

inline void readWholeFile(std::span<const std::uint8_t> data) {
    try {
        const auto db =
            ndb::NodeDatabase::openMemory(std::vector<std::uint8_t>(data.begin(), data.end()));
        (void)test_support::walkTolerant(db);
    } catch (const ReadError&) {
    }

    const int fd = ::memfd_create("pst_fuzz", MFD_CLOEXEC);
    if (fd < 0) {
        return;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n <= 0) {
            ::close(fd);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
    try {
        if (const auto top = openDataFile("/proc/self/fd/" + std::to_string(fd), nullptr)) {
            FuzzVisitor visitor;
            walkFolderTree(top, visitor);
        }
    } catch (const tvn::Failure&) {
    }
    ::close(fd);
}

} // namespace tvn::store::pst::fuzz
