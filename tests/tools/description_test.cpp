#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include <gtest/gtest.h>

#include "store/failure.h"
#include "store/text/code_page.h"
#include "store/text/utf.h"
#include "tools/pstwriter/bytes.h"
#include "tools/pstwriter/description.h"
#include "tools/pstwriter/fields.h"

namespace tvn::tools {
namespace {

std::int32_t descriptionError(const std::string& json) {
    try {
        parseDescription(json);
    } catch (const Failure& f) {
        return f.number();
    }
    return 0;
}

TEST(Description, ReadsStoreSettings) {
    const Description d = parseDescription(
        R"({"store":{"name":"N","password":"pw","encryption":"high","format":"ansi",)"
        R"("subjectMarker":false}})");
    EXPECT_EQ(d.store.displayName, "N");
    EXPECT_EQ(d.store.password.value_or(""), "pw");
    EXPECT_EQ(d.store.crypt, CryptMethod::High);
    EXPECT_EQ(d.store.format, FileFormat::Ansi);
    EXPECT_FALSE(d.store.subjectMarker);
}

TEST(Description, RefusesWhatItDoesNotKnow) {
    const char* bad[] = {
        R"({"stor":{}})",                                               // unknown key
        R"({"store":{"encryption":"strong"}})",                         // unknown value
        R"({"folders":[{"class":"IPF.Note"}]})",                        // folder without name
        R"({"folders":[{"name":"A","items":[{"sent":"yesterday"}]}]})", // bad date
        R"({"folders":[{"name":"A","items":[{"sent":"2024-02-30T25:00"}]}]})", // bad time
        R"({"folders":[{"name":"A","items":[{"fields":{"Colour":1}}]}]})",     // unknown field
        R"({"folders":[{"name":"A","items":[{"fields":{"Start":"x"}}]}]})",    // not a date
        R"({"folders":[{"name":"A","items":[{"importance":"high"}]}]})",       // not a number
        R"({"folders":[{"name":"A","items":[{"properties":[{"tag":"0x1000"}]}]}]})", // no type
        R"({"folders":[{"name":"A","items":[{"properties":[{"tag":"0x10000","type":"long","value":1}]}]}]})",
        R"({"folders":[{"name":"A","items":[{"properties":[{"set":"Nope","lid":1,"type":"long","value":1}]}]}]})",
        R"({"folders":[{"name":"A","items":[{"properties":[{"tag":1,"type":"binary","value":"abc"}]}]}]})",
        R"({"folders":[{"name":"A","items":[{"recurrence":{"type":"hourly"}}]}]})",
        R"({"folders":[{"name":"A","items":[{"attachments":[{"name":"x","file":"/nonexistent/x"}]}]}]})",
        R"({"folders":[)", // not JSON
    };
    for (const char* json : bad) {
        EXPECT_EQ(descriptionError(json), err::kInvalidProcedureCall) << json;
    }
}

TEST(Description, ErrorNamesThePlace) {
    try {
        parseDescription(R"({"folders":[{"name":"A","items":[{},{"sent":"x"}]}]})");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_NE(f.description().find("folders[0].items[1].sent"), std::string::npos)
            << f.description();
    }
}

TEST(Description, MapsItemKeysToProperties) {
    const Description d = parseDescription(R"({"folders":[{"name":"A","class":"IPF.Task","items":[{
        "class":"IPM.Task","subject":"S","body":"B","from":{"name":"F","email":"f@x"},
        "to":["T One <t1@x>","Bare Name"],"cc":[{"name":"C","email":"c@x"}],
        "sent":"2024-01-02T03:04:05Z","importance":2,"categories":["a","b"],"read":false,
        "fields":{"PercentComplete":1,"Complete":true,"DueDate":"2024-02-01"},
        "properties":[{"tag":"0x3A06","type":"unicode","value":"Given"},
                      {"set":"Address","lid":"0x8083","type":"string","value":"e@x"},
                      {"set":"PublicStrings","name":"X-Custom","type":"mv-long","value":[1,2]}],
        "attachments":[{"name":"g.bin","size":100,"seed":5},{"name":"t.txt","text":"hi"},
                       {"name":"h.bin","hex":"00 ff"},{"embedded":{"subject":"inner"}}]}]}]})");
    ASSERT_EQ(d.folders.size(), 1u);
    EXPECT_EQ(d.folders[0].containerClass, "IPF.Task");
    const Message& m = d.folders[0].items.at(0);
    EXPECT_EQ(m.find(tag::kMessageClass)->text, "IPM.Task");
    EXPECT_EQ(m.find(tag::kSubject)->text, "S");
    EXPECT_EQ(m.find(tag::kSenderName)->text, "F");
    EXPECT_EQ(m.find(tag::kClientSubmitTime)->integer,
              static_cast<std::int64_t>(fileTime(2024, 1, 2, 3, 4, 5)));
    EXPECT_EQ(m.find(tag::kImportance)->integer, 2);
    EXPECT_EQ(m.find(tag::kMessageFlags)->integer, 0x10); // unread, has attachments
    ASSERT_EQ(m.recipients.size(), 3u);
    EXPECT_EQ(m.find(0x3A06)->text, "Given");
    const NamedKey percent{guids::kTask, false, 0x8102, {}};
    ASSERT_NE(m.find(percent), nullptr);
    EXPECT_EQ(m.find(percent)->type, prop_type::kDouble);
    EXPECT_DOUBLE_EQ(m.find(percent)->real, 1.0);
    const NamedKey custom{guids::kPsPublicStrings, true, 0, "X-Custom"};
    ASSERT_NE(m.find(custom), nullptr);
    EXPECT_EQ(m.find(custom)->integers, (std::vector<std::int64_t>{1, 2}));
    ASSERT_EQ(m.attachments.size(), 4u);
    EXPECT_EQ(m.attachments[0].data, generatedBytes(100, 5));
    EXPECT_EQ(m.attachments[1].data, (std::vector<std::uint8_t>{'h', 'i'}));
    EXPECT_EQ(m.attachments[2].data, (std::vector<std::uint8_t>{0x00, 0xFF}));
    ASSERT_TRUE(m.attachments[3].embedded);
    EXPECT_EQ(m.attachments[3].embedded->find(tag::kSubject)->text, "inner");
}

TEST(Description, FieldTableHasUniqueNamesAndWritableTypes) {
    std::set<std::string_view> names;
    for (const auto& f : allFields()) {
        EXPECT_TRUE(names.insert(f.name).second) << f.name;
        EXPECT_TRUE(f.type == prop_type::kMvUnicode || fixedSize(f.type) != 0 ||
                    f.type == prop_type::kUnicode || f.type == prop_type::kBinary)
            << f.name;
    }
}

// The recurrence blob's fixed fields, read at their documented offsets.
TEST(Recurrence, BlobCarriesFrequencyPatternAndEnd) {
    struct Row {
        Recurrence::Type type;
        std::uint16_t frequency;
        std::uint16_t pattern;
        std::uint32_t period;
    };
    const Row rows[] = {
        {Recurrence::Type::Daily, 0x200A, 0, 1440}, {Recurrence::Type::Weekly, 0x200B, 1, 1},
        {Recurrence::Type::Monthly, 0x200C, 2, 1},  {Recurrence::Type::MonthNth, 0x200C, 3, 1},
        {Recurrence::Type::Yearly, 0x200D, 2, 12},  {Recurrence::Type::YearNth, 0x200D, 3, 12},
    };
    const std::uint64_t start = fileTime(2024, 3, 4, 10, 0, 0); // a Monday
    for (const auto& row : rows) {
        Recurrence r;
        r.type = row.type;
        r.occurrences = 3;
        const auto b = appointmentRecurrenceBlob(r, start, start + 36000000000ull);
        auto u16 = [&](std::size_t at) {
            return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
        };
        auto u32 = [&](std::size_t at) {
            std::uint32_t v = 0;
            for (std::size_t i = 0; i < 4; ++i) {
                v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
            }
            return v;
        };
        EXPECT_EQ(u16(0), 0x3004);
        EXPECT_EQ(u16(4), row.frequency);
        EXPECT_EQ(u16(6), row.pattern);
        EXPECT_EQ(u32(14), row.period);
        const std::size_t specific = row.pattern == 0 ? 0 : (row.pattern == 3 ? 8 : 4);
        EXPECT_EQ(u32(22 + specific), 0x2022u); // ends after N occurrences
        EXPECT_EQ(u32(26 + specific), 3u);
        const std::uint32_t startDate = u32(22 + specific + 20);
        EXPECT_EQ(startDate, static_cast<std::uint32_t>(fileTime(2024, 3, 4) / 600000000ull));
        // Appointment part: 600 minutes after midnight, one hour long.
        EXPECT_EQ(u32(22 + specific + 28 + 8), 600u);
        EXPECT_EQ(u32(22 + specific + 28 + 12), 660u);
        EXPECT_EQ(b.size(), 22 + specific + 28 + 26);
    }
}

TEST(Recurrence, SettingItMarksTheAppointmentRecurring) {
    Message a("IPM.Appointment");
    a.setField("Start", PropValue::time(fileTime(2024, 3, 4, 10)));
    a.setField("End", PropValue::time(fileTime(2024, 3, 4, 11)));
    Recurrence r;
    r.type = Recurrence::Type::Daily;
    setRecurrence(a, r);
    const auto* recurring = a.find(NamedKey{guids::kAppointment, false, 0x8223, {}});
    ASSERT_NE(recurring, nullptr);
    EXPECT_EQ(recurring->integer, 1);
    const auto* blob = a.find(NamedKey{guids::kAppointment, false, 0x8216, {}});
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(blob->bytes.at(4), 0x0A); // daily
}

TEST(TextEncoding, Utf16AndWindows1252) {
    using store::text::utf8ToUtf16le;
    EXPECT_EQ(utf8ToUtf16le("A\xC3\xA9"), (std::vector<std::uint8_t>{'A', 0, 0xE9, 0}));
    EXPECT_EQ(utf8ToUtf16le("\xF0\x9F\x98\x80"),
              (std::vector<std::uint8_t>{0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(utf8ToUtf16le("\xFF"), (std::vector<std::uint8_t>{0xFD, 0xFF})); // replacement
    EXPECT_EQ(store::text::toWindows1252("\xE2\x82\xAC\xC3\xA9\xE6\x97\xA5"), "\x80\xE9?");
}

TEST(FileTimes, ParseAndCompute) {
    EXPECT_EQ(fileTime(1601, 1, 1), 0u);
    EXPECT_EQ(fileTime(1970, 1, 1), 116444736000000000ull);
    EXPECT_EQ(parseFileTime("2024-03-04T10:11:12Z").value_or(0), fileTime(2024, 3, 4, 10, 11, 12));
    EXPECT_EQ(parseFileTime("2024-03-04").value_or(0), fileTime(2024, 3, 4));
    EXPECT_FALSE(parseFileTime("2024-3-4"));
    EXPECT_FALSE(parseFileTime("2024-03-04T10"));
    EXPECT_FALSE(parseFileTime("1600-01-01"));
}

} // namespace
} // namespace tvn::tools

namespace tvn::tools {
namespace {

// Damaged descriptions never crash the reader: every cut and many single-byte changes of
// the bundled sample either parse or fail with the description error.
TEST(Description, DamagedSampleParsesOrFailsCleanly) {
    std::ifstream in(TALLYVANE_SAMPLE_DESCRIPTION, std::ios::binary);
    ASSERT_TRUE(in) << TALLYVANE_SAMPLE_DESCRIPTION;
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    ASSERT_NO_THROW(parseDescription(text));
    auto tryParse = [](const std::string& t) {
        try {
            parseDescription(t);
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), err::kInvalidProcedureCall);
        }
    };
    for (std::size_t n = 0; n < text.size(); n += 7) {
        tryParse(text.substr(0, n));
    }
    const char replacements[] = {'"', '{', ']', ',', '0', 'x', '\\', '\0', '\xC3'};
    for (std::size_t at = 0; at < text.size(); at += 11) {
        std::string t = text;
        t[at] = replacements[at % sizeof(replacements)];
        tryParse(t);
    }
}

} // namespace
} // namespace tvn::tools
