// The .pst reader's messaging layer and object-model mapping, on values made in the test:
// subject markers, item and folder classes, dates, the named-property map and strings.

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/property_names.h"
#include "store/pst/backend/date_time.h"
#include "store/pst/backend/item_properties.h"
#include "store/pst/backend/pst_objects.h"
#include "store/pst/ltp/property_value.h"
#include "store/pst/messaging/message.h"
#include "store/pst/messaging/named_properties.h"
#include "store/pst/messaging/property_reader.h"
#include "tests/support/utc_zone.h"

namespace tvn::store::pst {
namespace {

TEST(SubjectMarker, IsRemovedWithItsLengthCharacter) {
    struct Case {
        const char* stored;
        const char* shown;
    };
    const Case cases[] = {
        {"\x01\x01Here is a sample message", "Here is a sample message"},
        {"\x01\x05RE: Lunch", "RE: Lunch"},
        {"\x01\x0b"
         "Accepted: meeting",
         "Accepted: meeting"},
        {"\x01\x01", ""},
        {"\x01", ""},
        {"Synchronization Log: ", "Synchronization Log: "},
        {"", ""},
        {"\x01\xC3\xA9x", "x"}, // a length character beyond ASCII is one character
    };
    for (const auto& c : cases) {
        EXPECT_EQ(messaging::stripSubjectMarker(c.stored), c.shown) << c.stored;
    }
}

TEST(ItemClass, MessageClassesMapToOutlookClassNumbers) {
    struct Case {
        const char* messageClass;
        std::int32_t number;
    };
    const Case cases[] = {
        {"IPM.Note", 43},
        {"ipm.note", 43},
        {"IPM.Note.SMIME.MultipartSigned", 43},
        {"IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}", 26},
        {"IPM.Schedule.Meeting.Request", 53},
        {"IPM.Schedule.Meeting.Resp.Pos", 56},
        {"IPM.Task", 48},
        {"IPM.TaskRequest.Accept", 51},
        {"REPORT.IPM.Note.NDR", 46},
        {"IPM.Sharing.Binding.In", 104},
        {"IPM.Notebook", 43}, // "IPM.Note" only as a whole word
        {"", 43},
        {"Something.Else", 43},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(backend::objectClassOf(c.messageClass), c.number) << c.messageClass;
    }
}

TEST(ItemProperties, EveryObjectModelNameIsMappedOnce) {
    EXPECT_EQ(backend::mappedPropertyNames(), knownPropertyNames());
}

TEST(FolderType, ContainerClassesMapToItemTypes) {
    struct Case {
        const char* containerClass;
        ItemType type;
    };
    const Case cases[] = {
        {"IPF.Note", ItemType::Mail},
        {"IPF.Note.OutlookHomepage", ItemType::Mail},
        {"IPF.Appointment", ItemType::Appointment},
        {"ipf.appointment.birthday", ItemType::Appointment},
        {"IPF.StickyNote", ItemType::Note},
        {"IPF.StickyNoteX", ItemType::Mail},
        {"IPF", ItemType::Mail},
        {"", ItemType::Mail},
        {"IPF.Configuration", ItemType::Mail},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(backend::itemTypeOfContainerClass(c.containerClass), c.type) << c.containerClass;
    }
}

constexpr std::int64_t fileTime(std::int64_t unixSeconds) {
    return (unixSeconds + 11'644'473'600) * 10'000'000;
}

TEST(Dates, FileTimesReadInTheLocalZone) {
    const std::int64_t summer = fileTime(1'628'784'079); // 2021-08-12 16:01:19 UTC
    const std::int64_t winter = fileTime(1'268'673'125); // 2010-03-15 17:12:05 UTC
    {
        test_support::ZoneGuard zone("UTC");
        EXPECT_EQ(backend::fileTimeToLocal(winter), (DateTime{2010, 3, 15, 17, 12, 5}));
    }
    {
        test_support::ZoneGuard zone("America/Denver");
        EXPECT_EQ(backend::fileTimeToLocal(summer), (DateTime{2021, 8, 12, 10, 1, 19}))
            << "daylight saving time";
        EXPECT_EQ(backend::fileTimeToLocal(winter), (DateTime{2010, 3, 15, 11, 12, 5}));
        EXPECT_EQ(backend::fileTimeAsCivil(winter), (DateTime{2010, 3, 15, 17, 12, 5}))
            << "dates kept as local time are not shifted";
    }
    EXPECT_TRUE(backend::fileTimeToLocal(backend::kNoDateFileTime).isNone());
    EXPECT_TRUE(backend::fileTimeToLocal(backend::kNoDateFileTime + 1).isNone());
    EXPECT_TRUE(backend::fileTimeToLocal(-1).isNone());
    EXPECT_TRUE(backend::fileTimeAsCivil(INT64_MAX).isNone());
    EXPECT_EQ(backend::fileTimeAsCivil(0), (DateTime{1601, 1, 1, 0, 0, 0}));
}

TEST(Dates, ADayStoredInUtcStaysItsDayInEveryZone) {
    constexpr std::int64_t kHour = 3600;
    const std::int64_t may10 = 326'764'800; // 1980-05-10 00:00 UTC
    struct Case {
        std::int64_t stored; // unix seconds
        const char* what;
    };
    const Case cases[] = {
        {may10, "midnight UTC"},
        {may10 - 2 * kHour, "local midnight east of UTC (UTC+2)"},
        {may10 - 12 * kHour, "local midnight at UTC+12"},
        {may10 + 5 * kHour, "local midnight west of UTC (UTC-5)"},
        {may10 + 11 * kHour + 59 * 60, "11:59 UTC, as some clients store days"},
    };
    for (const char* reader : {"UTC", "America/Denver", "Asia/Tokyo"}) {
        test_support::ZoneGuard zone(reader);
        for (const auto& c : cases) {
            EXPECT_EQ(backend::fileTimeAsDay(fileTime(c.stored)), (DateTime{1980, 5, 10, 0, 0, 0}))
                << c.what << ", read in " << reader;
        }
    }
    EXPECT_TRUE(backend::fileTimeAsDay(backend::kNoDateFileTime).isNone());
    EXPECT_TRUE(backend::fileTimeAsDay(backend::kNoDateFileTime - 1).isNone());
    EXPECT_TRUE(backend::fileTimeAsDay(-1).isNone());
}

TEST(NamedProperties, GuidsAreStoredInWindowsByteOrder) {
    const std::array<std::uint8_t, 16> psMapi = {0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    EXPECT_EQ(messaging::property_set::kMapi.bytes, psMapi);
    const std::array<std::uint8_t, 16> meeting = {0x90, 0xDA, 0xD8, 0x6E, 0x0B, 0x45, 0x1B, 0x10,
                                                  0x98, 0xDA, 0x00, 0xAA, 0x00, 0x3F, 0x13, 0x05};
    EXPECT_EQ(messaging::property_set::kMeeting.bytes, meeting);
}

TEST(NamedProperties, LookupsKeepSetsAndKindsApart) {
    namespace ps = messaging::property_set;
    messaging::NamedPropertyMap map;
    map.add(ps::kAppointment, 0x820D, 0x8004);
    map.add(ps::kTask, 0x820D, 0x8005);
    map.add(ps::kPublicStrings, std::string("Keywords"), 0x8010);
    EXPECT_EQ(map.find(ps::kAppointment, 0x820D), 0x8004);
    EXPECT_EQ(map.find(ps::kTask, 0x820D), 0x8005);
    EXPECT_EQ(map.find(ps::kCommon, 0x820D), std::nullopt);
    EXPECT_EQ(map.find(ps::kPublicStrings, "Keywords"), 0x8010);
    EXPECT_EQ(map.find(ps::kPublicStrings, "keywords"), std::nullopt);
    EXPECT_EQ(map.find(ps::kMapi, "Keywords"), std::nullopt);
    EXPECT_EQ(map.size(), 3u);
}

TEST(Strings, StoredTerminatorsAreDroppedAndCodePagesApplied) {
    namespace pt = ltp::prop_type;
    using Bytes = std::vector<std::uint8_t>;
    struct Case {
        std::uint16_t type;
        Bytes bytes;
        std::uint32_t codePage;
        const char* text;
    };
    const Case cases[] = {
        {pt::kUnicode, {'H', 0, 'i', 0, 0, 0}, 1252, "Hi"},
        {pt::kUnicode, {'H', 0, 'i', 0}, 1252, "Hi"},
        {pt::kUnicode, {0x3D, 0xD8, 0x00, 0xDE, 0, 0}, 1252, "\U0001F600"},
        {pt::kString8, {'c', 'a', 'f', 0xE9, 0}, 1252, "caf\u00E9"},
        {pt::kString8, {0xCF, 0xF0, 0}, 1251, "\u041F\u0440"},
        {pt::kString8, {0, 0, 0}, 1252, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(messaging::PropertyReader::decodeString(c.type, c.bytes, c.codePage), c.text);
    }
}

} // namespace
} // namespace tvn::store::pst
