// .msg files written from the corpus's embedded messages: read back by our reader with the
// same properties, and read by Debian's msgconvert (an independent reader) with the right
// subject, sender, body and attachments.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "store/failure.h"
#include "store/fixed_password_prompt.h"
#include "store/msg/cfb_reader.h"
#include "store/msg/msg_objects.h"
#include "store/msg/msg_reader.h"
#include "store/msg/msg_sources.h"
#include "store/msg/msg_writer.h"
#include "store/object_model.h"
#include "store/properties.h"
#include "store/property_names.h"
#include "store/pst/backend/pst_objects.h"
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
    std::shared_ptr<Item> item; // the message as the .pst reader gives it
    bool embedded = true;
};

void writeMessage(const Item& item, const fs::path& path) {
    const auto& pstItem = dynamic_cast<const pst::backend::PstItem&>(item);
    // The document only borrows the message while it is written.
    const std::shared_ptr<const pst::messaging::MessageObject> source(
        std::shared_ptr<const pst::messaging::MessageObject>{}, &pstItem.object());
    FileSink sink(path);
    msg::writeMsg(msg::documentFromPst(source), sink);
}

// Every embedded message saved through its attachment, and the first few messages with
// file attachments saved whole (the corpus's embedded messages have no attachments).
void collect(const Folder& folder, const fs::path& out, std::vector<Written>& written,
             int& withFiles) {
    const auto items = folder.items();
    for (std::int32_t i = 1; i <= items->count(); ++i) {
        const auto item = items->item(i);
        const auto attachments = item->attachments();
        bool files = false;
        for (std::int32_t a = 1; a <= attachments->count(); ++a) {
            const auto att = attachments->item(a);
            if (att->type() == AttachmentType::ByValue) {
                files = true;
            }
            if (att->type() != AttachmentType::EmbeddedItem) {
                continue;
            }
            EXPECT_EQ(att->fileName(), att->displayName() + ".msg");
            const fs::path path = out / (std::to_string(written.size()) + ".msg");
            {
                FileSink sink(path);
                att->writeTo(sink);
            }
            written.push_back({path, att->embeddedItem(), true});
        }
        if (files && withFiles < 3) {
            ++withFiles;
            const fs::path path = out / ("whole" + std::to_string(written.size()) + ".msg");
            writeMessage(*item, path);
            written.push_back({path, item, false});
        }
    }
    forEachFolder(*folder.folders(), [&](std::int32_t, const std::shared_ptr<Folder>& sub) {
        collect(*sub, out, written, withFiles);
    });
}

std::vector<Written> writeEmbedded(const fs::path& file, const fs::path& out) {
    FixedPasswordPrompt prompt(file.filename() == "aspose-password.pst"
                                   ? std::optional<std::string>("Password1")
                                   : std::nullopt);
    const auto top = pst::openDataFile(file, &prompt);
    std::vector<Written> written;
    int withFiles = 0;
    collect(*top, out, written, withFiles);
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

// Embedded messages per file, as the corpus manifest counts them.
std::size_t embeddedCount(const std::string& file) {
    static const std::map<std::string, std::size_t> kCounts = {
        {"msg-in-msg.pst", 1},        {"submessage.pst", 1},     {"aspose-password.pst", 5},
        {"dist-list.pst", 2},         {"aspose-outlook.pst", 4}, {"aspose-chunk.pst", 10},
        {"attach-and-inline.pst", 0}, {"outlookcom-2013.ost", 0}};
    return kCounts.at(file);
}

std::size_t embeddedOf(const std::vector<Written>& written) {
    return static_cast<std::size_t>(
        std::count_if(written.begin(), written.end(), [](const Written& w) { return w.embedded; }));
}

std::vector<std::uint8_t> valueOf(const msg::MsgProperty& p) {
    if (!p.producer) {
        return p.bytes;
    }
    StringSink sink;
    p.producer(sink);
    return std::vector<std::uint8_t>(sink.bytes().begin(), sink.bytes().end());
}

// The same properties with the same values, in any order.
void expectSameProperties(const msg::PropertyList& want, const msg::PropertyList& got,
                          const std::string& where) {
    EXPECT_EQ(want.size(), got.size()) << where;
    for (const auto& p : want) {
        const auto* q = msg::findProperty(got, p.id());
        if (q == nullptr) {
            ADD_FAILURE() << where << ": property " << std::hex << p.tag << " is missing";
            continue;
        }
        EXPECT_EQ(p.tag, q->tag) << where;
        EXPECT_EQ(valueOf(p), valueOf(*q)) << where << ": property " << std::hex << p.tag;
        EXPECT_EQ(p.items, q->items) << where << ": property " << std::hex << p.tag;
    }
}

void expectSameMessage(const msg::MsgMessage& want, const msg::MsgMessage& got,
                       const std::string& where) {
    expectSameProperties(want.properties, got.properties, where);
    ASSERT_EQ(want.recipients.size(), got.recipients.size()) << where;
    for (std::size_t i = 0; i < want.recipients.size(); ++i) {
        expectSameProperties(want.recipients[i], got.recipients[i],
                             where + " recipient " + std::to_string(i));
    }
    ASSERT_EQ(want.attachments.size(), got.attachments.size()) << where;
    for (std::size_t i = 0; i < want.attachments.size(); ++i) {
        const auto& a = want.attachments[i];
        const auto& b = got.attachments[i];
        const auto at = where + " attachment " + std::to_string(i);
        expectSameProperties(a.properties, b.properties, at);
        ASSERT_EQ(a.embedded != nullptr, b.embedded != nullptr) << at;
        if (a.embedded) {
            expectSameMessage(*a.embedded, *b.embedded, at);
        }
    }
}

TEST_P(MsgCorpus, ReadsBackWithTheSameProperties) {
    const auto written = writeEmbedded(m_file, m_out);
    ASSERT_EQ(embeddedOf(written), embeddedCount(GetParam()));
    for (const auto& w : written) {
        const auto& pstItem = dynamic_cast<const pst::backend::PstItem&>(*w.item);
        const std::shared_ptr<const pst::messaging::MessageObject> source(
            std::shared_ptr<const pst::messaging::MessageObject>{}, &pstItem.object());
        const auto want = msg::documentFromPst(source);
        const auto got =
            msg::readMsg(std::make_shared<const msg::CfbReader>(msg::openFileSource(w.path)));
        expectSameMessage(want.message, got.message, w.path.filename().string());
        EXPECT_EQ(want.names, got.names);

        // And through the object model.
        const auto item = msg::openMsgFile(w.path)->items()->item(1);
        for (const auto name : knownPropertyNames()) {
            EXPECT_EQ(item->get(name), w.item->get(name)) << w.path << " " << name;
        }
        EXPECT_EQ(item->messageClass(), w.item->messageClass());
        const auto want_atts = w.item->attachments();
        const auto got_atts = item->attachments();
        ASSERT_EQ(want_atts->count(), got_atts->count());
        for (std::int32_t i = 1; i <= want_atts->count(); ++i) {
            const auto a = want_atts->item(i);
            const auto b = got_atts->item(i);
            EXPECT_EQ(a->fileName(), b->fileName());
            EXPECT_EQ(a->type(), b->type());
            StringSink da;
            StringSink db;
            a->writeTo(da);
            b->writeTo(db);
            if (a->type() != AttachmentType::EmbeddedItem) {
                EXPECT_EQ(da.bytes(), db.bytes()) << a->fileName();
            }
        }
    }
}

// An embedded message whose property context is damaged fails to save with a number; the
// message around it stays readable.
TEST(MsgCorpusDamage, DamagedEmbeddedMessageFailsWithANumber) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const auto original = dir / "submessage.pst";
    if (!fs::exists(original)) {
        GTEST_SKIP() << "submessage.pst is not in the corpus";
    }
    auto bytes = tvn::test_support::readFileBytes(original);
    {
        const auto top = pst::openDataFile(original, nullptr);
        const auto outer = top->folders()->item("submessage")->items()->item(1);
        const auto& message = dynamic_cast<const pst::backend::PstItem&>(*outer).object();
        const auto inner = message.attachment(0).embeddedMessage();
        ASSERT_NE(inner, nullptr);
        const auto block = message.store()->database()->findBlock(inner->node().data);
        ASSERT_TRUE(block);
        for (std::size_t i = 8; i < block->size; i += 5) {
            bytes[block->ref.offset + i] ^= 0x5A;
        }
    }
    const fs::path copy =
        fs::temp_directory_path() / ("tvn_damaged_" + std::to_string(::getpid()) + ".pst");
    {
        std::ofstream out(copy, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    const auto top = pst::openDataFile(copy, nullptr);
    const auto outer = top->folders()->item("submessage")->items()->item(1);
    const auto att = outer->attachments()->item(1);
    StringSink sink;
    EXPECT_THROW(att->writeTo(sink), tvn::Failure) << "a damaged embedded message was saved";
    EXPECT_FALSE(read(*outer, prop::Subject).empty());
    fs::remove(copy);
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) {
            out.append(buf, n);
        }
        ::pclose(p);
    }
    return out;
}

// What msgconvert made of a .msg file: the subject, the sender, the attachments' names and
// the text body, as Email::MIME decodes its output.
struct Converted {
    std::string subject;
    std::string from;
    std::vector<std::string> attachments;
    std::string body;
};

Converted convert(const fs::path& msgFile, const fs::path& eml) {
    run("msgconvert --outfile '" + eml.string() + "' '" + msgFile.string() + "' 2>/dev/null");
    const std::string script = R"PERL(
use Email::MIME; local $/; open(my $f, "<", $ARGV[0]) or exit 1;
my $m = Email::MIME->new(<$f>); binmode STDOUT, ":utf8"; my $html;
print "S:", ($m->header_str("Subject") // ""), "\n";
print "F:", ($m->header_str("From") // ""), "\n";
my $body;
$m->walk_parts(sub { my ($p) = @_; return if $p->subparts;
  if (defined $p->filename) { print "A:", $p->filename, "\n"; return; }
  $body = $p->body_str if !defined $body && $p->content_type =~ m{^text/plain};
  if (!defined $html && $p->content_type =~ m{^text/html}) {
    $html = $p->body_str; $html =~ s/<[^>]*>/ /g; $html =~ s/&nbsp;/ /g; } });
$body //= $html // ""; $body =~ s/\r//g; $body =~ s/\s+/ /g; print "B:", $body;)PERL";
    const fs::path pl = eml.string() + ".pl";
    std::ofstream(pl) << script;
    const auto out = run("perl '" + pl.string() + "' '" + eml.string() + "'");
    Converted c;
    std::size_t at = 0;
    while (at < out.size()) {
        const auto end = out.find('\n', at);
        const auto line = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.starts_with("B:")) {
            c.body = out.substr(at + 2);
            break;
        }
        if (line.starts_with("S:")) {
            c.subject = line.substr(2);
        } else if (line.starts_with("F:")) {
            c.from = line.substr(2);
        } else if (line.starts_with("A:")) {
            c.attachments.push_back(line.substr(2));
        }
        at = end == std::string::npos ? out.size() : end + 1;
    }
    return c;
}

std::string firstLine(const std::string& text) {
    std::string t;
    for (const char ch : text) {
        if (ch == '\r') {
            continue;
        }
        if (ch == '\n') {
            if (!t.empty()) {
                break;
            }
            continue;
        }
        t += ch;
    }
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) {
        t.pop_back();
    }
    return t;
}

TEST_P(MsgCorpus, MsgconvertReadsSubjectSenderBodyAndAttachments) {
    if (run("command -v msgconvert").empty()) {
        GTEST_SKIP() << "msgconvert is not installed (scripts/setup-debian.sh installs it)";
    }
    const auto written = writeEmbedded(m_file, m_out);
    ASSERT_EQ(embeddedOf(written), embeddedCount(GetParam()));
    for (const auto& w : written) {
        const auto c = convert(w.path, fs::path(w.path).replace_extension(".eml"));
        EXPECT_EQ(c.subject, read(*w.item, prop::Subject)) << w.path;
        const auto name = read(*w.item, prop::SenderName);
        const auto address = read(*w.item, prop::SenderEmailAddress);
        EXPECT_TRUE(c.from.find(name) != std::string::npos ||
                    c.from.find(address) != std::string::npos)
            << c.from << " / " << name << " / " << address;
        // The start of the first line, up to any link the text rendering added, with
        // spaces collapsed as the script collapses them.
        auto line = firstLine(read(*w.item, prop::Body));
        line = line.substr(0, std::min(line.find('<'), std::size_t{24}));
        std::string collapsed;
        for (const char ch : line) {
            if (!std::isspace(static_cast<unsigned char>(ch)) ||
                (!collapsed.empty() && collapsed.back() != ' ')) {
                collapsed += std::isspace(static_cast<unsigned char>(ch)) ? ' ' : ch;
            }
        }
        line = collapsed;
        EXPECT_NE(c.body.find(line), std::string::npos) << w.path << ": " << line;
        const auto atts = w.item->attachments();
        std::size_t files = 0;
        for (std::int32_t i = 1; i <= atts->count(); ++i) {
            const auto a = atts->item(i);
            if (a->type() == AttachmentType::ByValue) {
                ++files;
                EXPECT_NE(std::find(c.attachments.begin(), c.attachments.end(), a->fileName()),
                          c.attachments.end())
                    << a->fileName();
            }
        }
        EXPECT_GE(c.attachments.size(), files);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, MsgCorpus,
                         testing::Values("msg-in-msg.pst", "submessage.pst",
                                         "attach-and-inline.pst", "aspose-password.pst",
                                         "outlookcom-2013.ost", "dist-list.pst",
                                         "aspose-outlook.pst", "aspose-chunk.pst"),
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
