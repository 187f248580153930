// The compound-file writer and reader, and the .msg layout on top of them: what is written
// reads back the same at every size the layout treats differently, damaged files fail with
// a number, and a large attachment passes through in pieces.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "store/failure.h"
#include "store/memory/memory_store.h"
#include "store/msg/cfb_reader.h"
#include "store/msg/cfb_writer.h"
#include "store/msg/msg_objects.h"
#include "store/msg/msg_reader.h"
#include "store/msg/msg_sources.h"
#include "store/msg/msg_writer.h"
#include "store/properties.h"
#include "store/text/utf.h"
#include "tests/support/expect_failure.h"

namespace {

using tvn::test_support::expectFailure;

using namespace tvn::store;
using namespace tvn::store::msg;

std::vector<std::uint8_t> pattern(std::uint64_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> out(size);
    for (std::uint64_t i = 0; i < size; ++i) {
        out[i] = static_cast<std::uint8_t>((i * 31 + seed) ^ (i >> 9));
    }
    return out;
}

std::vector<std::uint8_t> toBytes(const std::string& s) {
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

CfbReader readBack(const std::string& file) {
    return CfbReader(memorySource(toBytes(file)));
}

// Stream sizes around every boundary the layout has: empty, mini sectors, the mini-stream
// cutoff, whole and partial sectors, and one large enough to need DIFAT sectors (more than
// 109 allocation-table sectors).
struct SizeCase {
    const char* name;
    std::vector<std::uint64_t> sizes;
    CfbLimits limits;
    std::uint32_t sectorSize;
};

class CfbRoundTrip : public testing::TestWithParam<SizeCase> {};

TEST_P(CfbRoundTrip, StreamsReadBackUnchanged) {
    const auto& c = GetParam();
    CfbStorage root;
    auto& sub = root.addStorage("sub");
    auto& deeper = sub.addStorage("deeper");
    std::vector<std::vector<std::uint8_t>> expected;
    for (std::size_t i = 0; i < c.sizes.size(); ++i) {
        expected.push_back(pattern(c.sizes[i], static_cast<std::uint8_t>(i)));
        CfbStorage& where = i % 3 == 0 ? root : i % 3 == 1 ? sub : deeper;
        where.addStream("s" + std::to_string(i), expected.back());
    }
    StringSink sink;
    const auto result = writeCompoundFile(root, sink, c.limits);
    EXPECT_EQ(result.sectorSize, c.sectorSize);
    EXPECT_EQ(result.fileSize, sink.bytes().size());
    EXPECT_EQ(sink.bytes().size() % c.sectorSize, 0u);

    const auto reader = readBack(sink.bytes());
    const auto subId = reader.find(CfbReader::kRoot, "SUB");
    ASSERT_TRUE(subId);
    const auto deeperId = reader.find(*subId, "deeper");
    ASSERT_TRUE(deeperId);
    for (std::size_t i = 0; i < c.sizes.size(); ++i) {
        const auto where = i % 3 == 0 ? CfbReader::kRoot : i % 3 == 1 ? *subId : *deeperId;
        const auto id = reader.find(where, "s" + std::to_string(i));
        ASSERT_TRUE(id) << i;
        EXPECT_EQ(reader.read(*id, UINT64_MAX), expected[i]) << "stream " << i;
    }
}

std::vector<std::uint64_t> many(std::size_t n, std::uint64_t size) {
    return std::vector<std::uint64_t>(n, size);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CfbRoundTrip,
    testing::Values(SizeCase{"empty", {}, {}, 512},
                    SizeCase{"mini", {0, 1, 63, 64, 65, 4095}, {}, 512},
                    SizeCase{"cutoff", {4096, 4097, 512, 1024, 100000}, {}, 512},
                    SizeCase{"manyEntries", many(300, 10), {}, 512},
                    SizeCase{"difat", {8u << 20, 10, 5000}, {}, 512},
                    // Lowered limits reach the 4096-byte version and the range-lock sector
                    // with small files.
                    SizeCase{"version4", {70000, 10, 5000}, {65536, 1u << 30}, 4096},
                    SizeCase{"rangeLock", {30000, 10, 50000, 20}, {8192, 40000}, 4096}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(CfbWriter, RangeLockSectorIsLeftEmptyAndOutOfEveryChain) {
    CfbStorage root;
    const auto data = pattern(60000, 7);
    root.addStream("big", data);
    StringSink sink;
    writeCompoundFile(root, sink, {8192, 40000});
    // The sector holding offset 40000 (file offsets 36864-40959) is all zeros.
    const auto& file = sink.bytes();
    ASSERT_GT(file.size(), 40960u);
    EXPECT_TRUE(
        std::all_of(file.begin() + 36864, file.begin() + 40960, [](char b) { return b == 0; }));
    const auto reader = readBack(file);
    EXPECT_EQ(reader.read(*reader.find(CfbReader::kRoot, "big"), UINT64_MAX), data);
}

TEST(CfbWriter, ProducerThatBreaksItsSizeFails) {
    for (const std::uint64_t given : {99u, 101u, 5000u}) {
        CfbStorage root;
        root.addStream("s", 100, [given](ByteSink& sink) {
            const auto bytes = pattern(given, 1);
            sink.write(bytes);
        });
        StringSink sink;
        expectFailure(tvn::err::kCorruptData, [&] { writeCompoundFile(root, sink); });
    }
}

TEST(CfbWriter, RejectsDuplicateAndOverlongNames) {
    for (const auto& names :
         std::vector<std::vector<std::string>>{{"a", "A"}, {std::string(32, 'x')}, {""}}) {
        CfbStorage root;
        for (const auto& n : names) {
            root.addStream(n, std::vector<std::uint8_t>{1});
        }
        StringSink sink;
        EXPECT_THROW(writeCompoundFile(root, sink), tvn::Failure);
    }
}

// Directory trees that share entries or loop are refused, so that no walk of the storages
// can revisit one (an attached message that contains itself, say).
TEST(CfbReaderDamage, SharedOrLoopingEntriesAreRefused) {
    CfbStorage root;
    root.addStorage("a").addStream("s", std::vector<std::uint8_t>{1});
    root.addStorage("b").addStream("t", std::vector<std::uint8_t>{2});
    StringSink sink;
    writeCompoundFile(root, sink);
    // One allocation-table sector, so the directory is sector 1 at offset 1024; entries:
    // 0 root, 1 "a", 2 "b", 3 "s", 4 "t".
    auto patch = [&](std::size_t entry, std::size_t field, std::uint32_t value) {
        auto bytes = toBytes(sink.bytes());
        for (int i = 0; i < 4; ++i) {
            bytes[1024 + entry * 128 + field + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(value >> (8 * i));
        }
        return bytes;
    };
    EXPECT_NO_THROW(CfbReader(memorySource(toBytes(sink.bytes()))));
    for (const auto& damaged :
         {patch(2, 76, 3), patch(1, 76, 1), patch(3, 68, 0), patch(0, 76, 999)}) {
        expectFailure(tvn::err::kCorruptData, [&] { CfbReader reader(memorySource(damaged)); });
    }
}

// A small .msg built in memory, used by the damage and .msg tests below.
std::string sampleMsg() {
    memory::MemoryItem inner("IPM.Note");
    auto item = std::make_shared<memory::MemoryItem>("IPM.Note");
    item->set("Subject", "Outer").set("Body", "outer body").set("SenderName", "Ann");
    item->addRecipient("Bob", "bob@example.com", RecipientType::To);
    item->addAttachment("a.txt", std::string(5000, 'a'));
    auto nested = std::make_shared<memory::MemoryItem>("IPM.Note");
    nested->set("Subject", "Inner").set("Body", "inner body");
    nested->addAttachment("b.bin", "bbb");
    item->addAttachment("", "", AttachmentType::EmbeddedItem).setEmbedded(nested);
    StringSink sink;
    writeMsg(documentFromItem(*item), sink);
    return sink.bytes();
}

std::shared_ptr<Item> itemOf(const std::string& file) {
    auto cfb = std::make_shared<const CfbReader>(memorySource(toBytes(file)));
    auto doc = std::make_shared<const MsgDocument>(readMsg(cfb));
    return makeMsgItem(doc, &doc->message);
}

TEST(MsgFile, ItemReadsBackWithRecipientsAndNestedAttachments) {
    const auto item = itemOf(sampleMsg());
    EXPECT_EQ(read(*item, prop::Subject), "Outer");
    EXPECT_EQ(read(*item, prop::Body), "outer body");
    EXPECT_EQ(read(*item, prop::SenderName), "Ann");
    EXPECT_EQ(read(*item, prop::To), "Bob");
    ASSERT_EQ(item->recipients()->count(), 1);
    EXPECT_EQ(item->recipients()->item(1)->address(), "bob@example.com");
    const auto atts = item->attachments();
    ASSERT_EQ(atts->count(), 2);
    StringSink data;
    atts->item(1)->writeTo(data);
    EXPECT_EQ(data.bytes(), std::string(5000, 'a'));
    EXPECT_EQ(atts->item(1)->fileName(), "a.txt");
    EXPECT_EQ(atts->item(2)->type(), AttachmentType::EmbeddedItem);
    EXPECT_EQ(atts->item(2)->fileName(), "Inner.msg");
    const auto inner = atts->item(2)->embeddedItem();
    EXPECT_EQ(read(*inner, prop::Subject), "Inner");
    // The embedded message saved on its own is a .msg file again.
    StringSink again;
    atts->item(2)->writeTo(again);
    const auto reread = itemOf(again.bytes());
    EXPECT_EQ(read(*reread, prop::Body), "inner body");
    EXPECT_EQ(reread->attachments()->count(), 1);
}

// An OLE object is a storage of its own inside the .msg file, and saved on its own it is
// that storage as a compound file again.
TEST(MsgFile, OleObjectsKeepTheirStorage) {
    CfbStorage object;
    object.classId[0] = 0x42;
    object.addStream("\x01Ole", pattern(20, 1));
    object.addStorage("inner").addStream("Contents", pattern(9000, 2));
    StringSink objectFile;
    writeCompoundFile(object, objectFile);

    auto item = std::make_shared<memory::MemoryItem>("IPM.Note");
    item->addAttachment("picture", objectFile.bytes(), AttachmentType::Ole);
    item->addAttachment("not-a-storage", "plain bytes", AttachmentType::Ole);
    StringSink sink;
    writeMsg(documentFromItem(*item), sink);
    const auto atts = itemOf(sink.bytes())->attachments();
    ASSERT_EQ(atts->count(), 2);
    for (std::int32_t i = 1; i <= 2; ++i) {
        EXPECT_EQ(atts->item(i)->type(), AttachmentType::Ole);
    }
    StringSink saved;
    atts->item(1)->writeTo(saved);
    const auto reader = readBack(saved.bytes());
    EXPECT_EQ(reader.entries()[CfbReader::kRoot].classId[0], 0x42);
    const auto inner = reader.find(CfbReader::kRoot, "inner");
    ASSERT_TRUE(inner);
    EXPECT_EQ(reader.read(*reader.find(*inner, "Contents"), UINT64_MAX), pattern(9000, 2));
    StringSink plain;
    atts->item(2)->writeTo(plain);
    EXPECT_EQ(plain.bytes(), "plain bytes");
}

TEST(MsgFile, NestingBeyondTheLimitIsAFailureNotACrash) {
    for (const int levels : {kMaxNesting, kMaxNesting + 1, 5000}) {
        auto top = std::make_shared<memory::MemoryItem>("IPM.Note");
        auto current = top;
        for (int i = 0; i < levels; ++i) {
            auto next = std::make_shared<memory::MemoryItem>("IPM.Note");
            current->addAttachment("", "", AttachmentType::EmbeddedItem).setEmbedded(next);
            current = next;
        }
        StringSink sink;
        if (levels <= kMaxNesting) {
            writeMsg(documentFromItem(*top), sink);
            EXPECT_NO_THROW(itemOf(sink.bytes()));
        } else {
            expectFailure(tvn::err::kCorruptData, [&] { writeMsg(documentFromItem(*top), sink); });
        }
    }
}

TEST(MsgFile, DamagedEmbeddedItemFailsAndTheNextAttachmentSaves) {
    auto item = std::make_shared<memory::MemoryItem>("IPM.Note");
    auto broken = std::make_shared<memory::MemoryItem>("IPM.Note");
    broken->fail("Body", tvn::Failure(tvn::err::kCorruptData, "damaged"));
    item->addAttachment("", "", AttachmentType::EmbeddedItem).setEmbedded(broken);
    item->addAttachment("ok.txt", "fine");
    const auto atts = item->attachments();
    StringSink first;
    expectFailure(tvn::err::kCorruptData, [&] { atts->item(1)->writeTo(first); });
    StringSink second;
    atts->item(2)->writeTo(second);
    EXPECT_EQ(second.bytes(), "fine");
}

// Truncated and bit-flipped files: every outcome is a readable item or a tvn::Failure.
TEST(MsgFile, DamagedFilesFailWithANumber) {
    const auto good = sampleMsg();
    std::vector<std::string> damaged;
    for (std::size_t n = 0; n < good.size(); n += good.size() / 23 + 1) {
        damaged.push_back(good.substr(0, n));
    }
    for (std::size_t at = 0; at < good.size(); at += 97) {
        for (const int x : {0x01, 0x80, 0xFF}) {
            auto copy = good;
            copy[at] = static_cast<char>(static_cast<unsigned char>(copy[at]) ^ x);
            damaged.push_back(copy);
        }
    }
    for (const auto& file : damaged) {
        try {
            const auto item = itemOf(file);
            (void)item->get("Subject");
            (void)item->get("Body");
            const auto atts = item->attachments();
            for (std::int32_t i = 1; i <= atts->count(); ++i) {
                StringSink sink;
                atts->item(i)->writeTo(sink);
            }
        } catch (const tvn::Failure& f) {
            EXPECT_NE(f.number(), 0);
        }
    }
}

class CountingSink final : public ByteSink {
public:
    void write(std::span<const std::uint8_t> bytes) override { total += bytes.size(); }
    std::uint64_t total = 0;
};

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A 100 MB attachment inside a .msg passes through in pieces: the writer's peak memory
// grows by far less than the attachment.
TEST(MsgFile, LargeAttachmentIsStreamed) {
    constexpr std::uint64_t kSize = 100ULL << 20;
    MsgDocument doc;
    MsgAttachment att;
    MsgProperty data;
    data.tag = 0x37010102;
    data.size = kSize;
    data.producer = [](ByteSink& sink) {
        const std::vector<std::uint8_t> block(64 * 1024, 0x5A);
        for (std::uint64_t left = kSize; left > 0; left -= block.size()) {
            sink.write(block);
        }
    };
    att.properties.push_back(std::move(data));
    doc.message.attachments.push_back(std::move(att));
    const long before = peakKb();
    CountingSink sink;
    const auto result = writeMsg(doc, sink);
    const long grown = peakKb() - before;
    EXPECT_EQ(result.sectorSize, 512u);
    EXPECT_GT(sink.total, kSize);
    EXPECT_LT(grown, 20 * 1024) << "peak memory grew by " << grown << " KiB";
}

TEST(MsgFile, OpensAFolderOfMessageFiles) {
    namespace fs = std::filesystem;
    const auto dir = fs::temp_directory_path() / ("tvn_msgdir_" + std::to_string(::getpid()));
    fs::create_directories(dir / "sub");
    const auto file = sampleMsg();
    auto put = [](const fs::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    };
    put(dir / "b.msg", file);
    put(dir / "a.MSG", file);
    put(dir / "broken.msg", "not a message");
    put(dir / "notes.txt", "ignored");
    put(dir / "sub" / "c.msg", file);
    const auto top = openMsgFile(dir);
    EXPECT_EQ(top->name(), dir.filename().string());
    const auto items = top->items();
    ASSERT_EQ(items->count(), 3);
    EXPECT_EQ(read(*items->item(1), prop::Subject), "Outer");
    expectFailure(tvn::err::kCorruptData, [&] { items->item(3); });
    ASSERT_EQ(top->folders()->count(), 1);
    EXPECT_EQ(top->folders()->item(1)->items()->count(), 1);
    const auto single = openMsgFile(dir / "b.msg");
    EXPECT_EQ(single->name(), "b");
    EXPECT_EQ(single->items()->count(), 1);
    EXPECT_THROW(openMsgFile(dir / "broken.msg"), tvn::Failure);
    EXPECT_THROW(openMsgFile(dir / "missing.msg"), tvn::Failure);
    fs::remove_all(dir);
}

} // namespace
