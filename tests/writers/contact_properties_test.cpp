// The columns of contacts read from a data file written in the test: each value must come
// from the MAPI property (or named property) Outlook keeps it in, in ANSI and Unicode files.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/pst/pst_file.h"
#include "tests/archive/temp_folder.h"
#include "tests/support/utc_zone.h"
#include "tests/writers/contact_test_support.h"
#include "tests/writers/writer_test_support.h"
#include "tools/pstwriter/description.h"
#include "writers/contact_table.h"

namespace tvn::writers {
namespace {

using tools::Message;
using tools::Property;
using tools::PropValue;
namespace guids = tools::guids;

Message richContact() {
    Message m("IPM.Contact");
    const auto text = [&](std::uint16_t id, const char* value) {
        m.set(id, PropValue::unicode(value));
    };
    const auto address = [&](std::uint32_t lid, const char* value) {
        m.set(Property::lid(guids::kAddress, lid, PropValue::unicode(value)));
    };
    text(0x3A45, "Dr.");
    text(0x3A06, "Jane");
    text(0x3A44, "Q.");
    text(0x3A11, "Doe");
    text(0x3A05, "Jr.");
    text(0x3A16, "Acme");
    text(0x3A17, "Pilot");
    address(0x8045, "1 Main St\r\nSuite 200");
    address(0x8046, "Springfield");
    address(0x8047, "IL");
    address(0x8048, "627011234");
    address(0x8049, "USA");
    text(0x3A5D, "2 Elm St");
    text(0x3A59, "Shelbyville");
    text(0x3A5B, "2134");
    text(0x3A63, "3 Oak St");
    text(0x3A61, "K1A 0B1");
    text(0x3A64, "PO 9");
    text(0x3A08, "555-0101");
    m.set(0x3A1B, PropValue::mvUnicode({"555-0102", "555-0103"}));
    text(0x3A02, "555-0104");
    text(0x3A23, "555-0105");
    text(0x3A1C, "555-0106");
    address(0x8083, "jane@example.com");
    address(0x8082, "SMTP");
    address(0x8080, "Jane Doe (jane@example.com)");
    address(0x8093, "jd@example.org");
    address(0x80A0, "Third Address");
    // The UTC birthday of a client east of UTC: its local midnight is the evening before.
    m.set(0x3A42, PropValue::time(tools::fileTime(1980, 5, 9, 22)));
    // The anniversary with Outlook's unconverted local twin, which wins.
    m.set(0x3A41, PropValue::time(tools::fileTime(2005, 6, 18, 7)));
    m.set(Property::lid(guids::kAddress, 0x80DF, PropValue::time(tools::fileTime(2005, 6, 18))));
    m.categories({"Red", "Blue"});
    m.set(0x3A4D, PropValue::int16(2));
    m.set(Property::lid(guids::kCommon, 0x8534, PropValue::unicode("1234")));
    m.set(0x0017, PropValue::int32(0));
    m.set(0x0036, PropValue::int32(2));
    address(0x802B, "https://example.com");
    address(0x804F, "custom one");
    m.body("line one\r\nline two");
    return m;
}

TEST(ContactProperties, EachColumnReadsOutlooksProperty) {
    const std::vector<std::pair<std::string_view, std::string>> expected = {
        {"Title", "Dr."},
        {"First Name", "Jane"},
        {"Middle Name", "Q."},
        {"Last Name", "Doe"},
        {"Suffix", "Jr."},
        {"Company", "Acme"},
        {"Job Title", "Pilot"},
        {"Business Street", "1 Main St, Suite 200"},
        {"Business City", "Springfield"},
        {"Business State", "IL"},
        {"Business Postal Code", "62701-1234"},
        {"Business Country", "USA"},
        {"Home Street", "2 Elm St"},
        {"Home City", "Shelbyville"},
        {"Home Postal Code", "02134"},
        {"Other Street", "3 Oak St"},
        {"Other Postal Code", "K1A 0B1"},
        {"Other Address PO Box", "PO 9"},
        {"Business Phone", "555-0101"},
        {"Business Phone 2", "555-0102"},
        {"Callback Car Phone", "555-0104"},
        {"Other Fax", "555-0105"},
        {"Mobile Phone", "555-0106"},
        {"E-mail Address", "jane@example.com"},
        {"E-mail Type", "SMTP"},
        {"E-mail Display Name", "Jane Doe (jane@example.com)"},
        {"E-mail 2 Address", "jd@example.org"},
        {"E-mail 3 Display Name", "Third Address"},
        {"Birthday", "5/10/1980"},
        {"Anniversary", "6/18/2005"},
        {"Categories", "Red, Blue"},
        {"Gender", "2"},
        {"Mileage", "1,234"},
        {"Priority", "Low"},
        {"Sensitivity", "Private"},
        {"Web Page", "https://example.com"},
        {"User 1", "custom one"},
        {"Notes", "line one line two "},
        {"Home Phone", ""},
        {"E-mail 2 Type", ""},
    };
    for (const auto format : {tools::FileFormat::Unicode, tools::FileFormat::Ansi}) {
        SCOPED_TRACE(format == tools::FileFormat::Unicode ? "Unicode file" : "ANSI file");
        archive::testing::TempFolder dir;
        tools::Description d;
        d.store.format = format;
        d.folder("Contacts", "IPF.Contact").add(richContact());
        tools::writeDescription(d, dir / "contacts.pst");

        test_support::ZoneGuard zone("America/Denver");
        testing::WriterRun w;
        const auto top = store::pst::openDataFile(dir / "contacts.pst", nullptr);
        SaveContacts(w.run, "Contacts", w.root / "Contacts", top->folders()->item("Contacts"));
        EXPECT_EQ(w.log(), "");

        const auto rows = testing::lines(w.files().at("Contacts/Contacts.rtf"));
        ASSERT_EQ(rows.size(), 2U);
        for (const auto& [header, value] : expected) {
            EXPECT_EQ(testing::column(rows[1], header), value) << header;
        }
    }
}

} // namespace
} // namespace tvn::writers
