// Every property type the writer stores, read back through our reader's property layer:
// tagged and named properties, inline, heap and subnode values, in both formats.

#include <gtest/gtest.h>

#include "store/pst/ltp/property_context.h"
#include "store/pst/messaging/message_store.h"
#include "store/pst/messaging/property_reader.h"
#include "tests/tools/test_files.h"

namespace tvn::tools::test {
namespace {

namespace ms = tvn::store::pst::messaging;
namespace ndb = tvn::store::pst::ndb;

ms::Guid readerGuid(const Guid& g) {
    ms::Guid out;
    out.bytes = g;
    return out;
}

// Value sizes at the edges of a heap allocation (3580), of one data block (8176 in Unicode
// files, 8180 in ANSI files) and of a heap page.
constexpr std::size_t kSizes[] = {0,    1,    3579, 3580, 3581,  8175,
                                  8176, 8177, 8180, 8181, 16352, 16353};

class PropertyTypes : public ::testing::TestWithParam<FileFormat> {};

TEST_P(PropertyTypes, ReadBackAsWritten) {
    TempFolder tmp;
    StoreOptions options;
    options.format = GetParam();
    const std::string big(5000, 'z'); // beyond one heap allocation: a subnode value
    std::uint32_t nid = 0;
    {
        PstWriter w(tmp / "t.pst", options);
        Message m("IPM.Note");
        m.set(0x6601, PropValue::int16(-2));
        m.set(0x6602, PropValue::int32(123456));
        m.set(0x6603, PropValue::int64(0x123456789A));
        m.set(0x6604, PropValue::floating(2.5));
        m.set(0x6605, PropValue::boolean(true));
        m.set(0x6606, PropValue::time(fileTime(2024, 1, 2, 3, 4, 5)));
        m.set(0x6607, PropValue::binary({0xDE, 0xAD, 0xBE, 0xEF}));
        m.set(0x6608, PropValue::mvUnicode({"a", "b\xC3\xA9"}));
        m.set(0x6609, PropValue::unicode(big));
        m.set(0x660A, PropValue::binary(generatedBytes(9000, 3)));
        m.set(0x660B, PropValue::unicode(""));
        m.set(Property::string(guids::kPsPublicStrings, "X-Test", PropValue::unicode("named")));
        m.set(Property::lid(guids::kCommon, 0x8503, PropValue::boolean(true)));
        for (std::size_t i = 0; i < std::size(kSizes); ++i) {
            m.set(static_cast<std::uint16_t>(0x6700 + i),
                  PropValue::binary(generatedBytes(kSizes[i], i)));
        }
        const auto f = w.addFolder(w.ipmSubtree(), "F", "IPF.Note");
        nid = w.addMessage(f, m);
        w.finish();
    }
    const auto store = ms::MessageStore::open(tmp / "t.pst");
    const auto& db = store->database();
    const tvn::store::pst::ltp::PropertyContext pc(db, db->nodeRef(ndb::NodeId{nid}));
    const ms::PropertyReader r(pc, 1252);
    EXPECT_EQ(r.integer(0x6601).value_or(0), -2);
    EXPECT_EQ(r.integer(0x6602).value_or(0), 123456);
    EXPECT_EQ(r.integer(0x6603).value_or(0), 0x123456789A);
    EXPECT_DOUBLE_EQ(r.real(0x6604).value_or(0), 2.5);
    EXPECT_EQ(r.boolean(0x6605).value_or(false), true);
    EXPECT_EQ(r.fileTime(0x6606).value_or(0),
              static_cast<std::int64_t>(fileTime(2024, 1, 2, 3, 4, 5)));
    EXPECT_EQ(r.binary(0x6607).value_or(std::vector<std::uint8_t>{}),
              (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(r.strings(0x6608).value_or(std::vector<std::string>{}),
              (std::vector<std::string>{"a", "b\xC3\xA9"}));
    EXPECT_EQ(r.string(0x6609).value_or(""), big);
    EXPECT_EQ(r.binary(0x660A).value_or(std::vector<std::uint8_t>{}), generatedBytes(9000, 3));
    ASSERT_TRUE(r.string(0x660B).has_value());
    EXPECT_EQ(*r.string(0x660B), "");
    const auto named = store->names().find(readerGuid(guids::kPsPublicStrings), "X-Test");
    ASSERT_TRUE(named.has_value());
    EXPECT_EQ(r.string(*named).value_or(""), "named");
    const auto reminder = store->names().find(readerGuid(guids::kCommon), 0x8503);
    ASSERT_TRUE(reminder.has_value());
    EXPECT_EQ(r.boolean(*reminder).value_or(false), true);
    EXPECT_FALSE(store->names().find(readerGuid(guids::kCommon), 0x7777).has_value());
    for (std::size_t i = 0; i < std::size(kSizes); ++i) {
        EXPECT_EQ(
            r.binary(static_cast<std::uint16_t>(0x6700 + i)).value_or(std::vector<std::uint8_t>{1}),
            generatedBytes(kSizes[i], i))
            << kSizes[i] << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PropertyTypes,
                         ::testing::Values(FileFormat::Unicode, FileFormat::Ansi));

} // namespace
} // namespace tvn::tools::test
