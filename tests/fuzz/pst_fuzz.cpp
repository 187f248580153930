// libFuzzer target for the .pst/.ost reader: the input is a whole data file. It is read
// through the node database and LTP layers (both B-trees, every node, subnode, property and
// table cell), then through the object model (every folder, item, property, recipient and
// attachment). Damage must end in ReadError / tvn::Failure; anything else is a finding.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "store/failure.h"
#include "store/object_model.h"
#include "store/property_names.h"
#include "store/pst/ndb/node_database.h"
#include "store/pst/pst_file.h"
#include "tests/store/pst_reader_support.h"

namespace {

using namespace tvn::store;

// A fixed scratch file per process: the object-model entry point opens data files by path.
const std::filesystem::path& scratchPath() {
    static const std::filesystem::path path = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "pst_fuzz_XXXXXX").string();
        const int fd = ::mkstemp(templ.data());
        if (fd >= 0) {
            ::close(fd);
        }
        return std::filesystem::path(templ);
    }();
    return path;
}

void walkItem(const Item& item, int depth) {
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
                        walkItem(*embedded, depth + 1);
                    }
                } else {
                    tvn::store::StringSink sink;
                    a->writeTo(sink);
                }
            } catch (const tvn::Failure&) {
            }
        }
    } catch (const tvn::Failure&) {
    }
}

void walkFolder(const Folder& folder, int depth) {
    (void)folder.name();
    (void)folder.defaultItemType();
    try {
        const auto items = folder.items();
        for (std::int32_t i = 1; items && i <= items->count(); ++i) {
            try {
                if (const auto item = items->item(i)) {
                    walkItem(*item, 0);
                }
            } catch (const tvn::Failure&) {
            }
        }
    } catch (const tvn::Failure&) {
    }
    if (depth >= 16) {
        return; // the harness's own bound; the reader must cope with deeper trees itself
    }
    try {
        const auto folders = folder.folders();
        for (std::int32_t i = 1; folders && i <= folders->count(); ++i) {
            try {
                if (const auto sub = folders->item(i)) {
                    walkFolder(*sub, depth + 1);
                }
            } catch (const tvn::Failure&) {
            }
        }
    } catch (const tvn::Failure&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    try {
        const auto db = pst::ndb::NodeDatabase::openMemory(std::move(bytes));
        (void)pst::test_support::walkTolerant(db);
    } catch (const pst::ReadError&) {
    }

    if (std::FILE* f = std::fopen(scratchPath().c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        try {
            if (const auto top = pst::openDataFile(scratchPath(), nullptr)) {
                walkFolder(*top, 0);
            }
        } catch (const tvn::Failure&) {
        }
    }
    return 0;
}
