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
#include "store/pst/folder_walk.h"
#include "store/pst/ndb/node_database.h"
#include "store/pst/pst_file.h"
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

// Every folder below `folder`, with no depth limit of its own: the reader bounds the walk
// (each folder node is reached once), and the guard's budget bounds the items opened.
inline void walkFuzzFolder(const Folder& folder, FolderWalkGuard* guard) {
    if (guard != nullptr && !guard->enter(folder)) {
        return;
    }
    (void)folder.name();
    (void)folder.defaultItemType();
    try {
        const auto items = folder.items();
        for (std::int32_t i = 1; items && i <= items->count(); ++i) {
            if (guard != nullptr && !guard->spend()) {
                return;
            }
            try {
                if (const auto item = items->item(i)) {
                    walkFuzzItem(*item, 0);
                }
            } catch (const tvn::Failure&) {
            }
        }
    } catch (const tvn::Failure&) {
    }
    try {
        const auto folders = folder.folders();
        for (std::int32_t i = 1; folders && i <= folders->count(); ++i) {
            try {
                if (const auto sub = folders->item(i)) {
                    walkFuzzFolder(*sub, guard);
                }
            } catch (const tvn::Failure&) {
            }
        }
    } catch (const tvn::Failure&) {
    }
}

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
            auto guard = FolderWalkGuard::forFolder(*top);
            walkFuzzFolder(*top, guard ? &*guard : nullptr);
        }
    } catch (const tvn::Failure&) {
    }
    ::close(fd);
}

} // namespace tvn::store::pst::fuzz
