// The contacts writer on in-memory folders.

#include <stdexcept>

#include <gtest/gtest.h>

#include "tests/writers/writer_test_support.h"

namespace tvn::writers {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using store::ItemType;

// A table of rows of these columns ("Header=value|..."), every other column empty but
// Priority and Sensitivity ("Normal", what an item without them reads).
std::string table(const std::vector<std::string>& rows) {
    std::string out = contacts::PrintContactHeaders();
    for (const auto& row : rows) {
        std::map<std::string, std::string> values;
        for (const auto& field : split("Priority=Normal|Sensitivity=Normal|" + row, "|")) {
            values[field.substr(0, field.find('='))] = field.substr(field.find('=') + 1);
        }
        for (const auto& c : contacts::kColumns) {
            out +=
                (&c == contacts::kColumns.data() ? "\r\n" : "\t") + values[std::string(c.header)];
        }
    }
    return out + "\r\n";
}

// Subfolders first, each into a table of its own, byte for byte with each column's rule and
// quoting; a folder without contacts gets none; two folders of one directory keep both
// tables, and a later run replaces them. A damaged contact leaves its column empty and the
// next row whole; one without a name is given up.
TEST(ContactsWriter, EachFolderHasItsOwnTableAndDamageStaysInItsRow) {
    WriterRun w;
    auto top = MemoryFolder::make("People", ItemType::Contact);
    auto a = top->addFolder("A", ItemType::Contact);
    top->addFolder("B/C", ItemType::Mail)->addItem("IPM.Note");
    top->addFolder("Empty", ItemType::Contact);
    setAll(addContact(*top, "Jane", "Doe"),
           "CompanyName=Acme\tCorp|BusinessAddressStreet=1 Main St\r\nSuite 200|"
           "BusinessAddressPostalCode=123456789|HomeAddressPostalCode=2134|"
           "OtherAddressPostalCode=K1A 0B1|Birthday=1980-05-10 00:00:00|"
           "Anniversary=2003-11-05 13:07:02|Mileage=1234567.6|Importance=2|Sensitivity=3|"
           "Gender=2|Body=first\r\nsecond\tline|JobTitle=two\nlines|Email1Address=j@example.com")
        .fail("Department", Failure(err::kCorruptData, "damaged department"));
    addContact(*top, "No", "Name")
        .fail("Title", Failure(err::kCorruptData, "damaged title"))
        .fail("LastNameAndFirstName", Failure(err::kCorruptData, "damaged name"));
    top->addDamagedItem(Failure(err::kCorruptData, "damaged item"));
    setAll(top->addItem("IPM.Contact.Custom"),
           "LastNameAndFirstName=Nobody|Mileage=0|Gender=0|HomeAddressPostalCode=1234.5|"
           "Importance=5|Sensitivity=1|Birthday=2999-01-01 00:00:00|Body=");
    addContact(*a, "Alpha", "One");
    w.write(&SaveContacts, top, "People");
    w.write(&SaveContacts, a, "People");

    const auto alpha = table({"First Name=Alpha|Last Name=One"});
    EXPECT_EQ(w.files(),
              (std::map<std::string, std::string>{
                  {"People/A/Contacts.rtf", alpha},
                  {"People/Contacts (2).rtf", alpha},
                  {"People/Contacts.rtf",
                   table({"First Name=Jane|Last Name=Doe|Company=Acme Corp|Job Title=two, lines|"
                          "Business Street=1 Main St, Suite 200|Business Postal Code=12345-6789|"
                          "Home Postal Code=02134|Other Postal Code=K1A 0B1|Birthday=5/10/1980|"
                          "Anniversary=11/5/2003 1:07:02 PM|Mileage=1,234,568|Priority=High|"
                          "Sensitivity=Confidential|Gender=2|Notes=first second line |"
                          "E-mail Address=j@example.com",
                          "Home Postal Code=00000-1235|Priority=5|Sensitivity=Personal"})}}));
    EXPECT_TRUE(fs::is_directory(w.root / "People/Empty"));
    const std::string walk = " Error in SaveContacts function or a sub-function therein.";
    EXPECT_EQ(w.log(),
              logEntry(13, "Type mismatch: the item is of class IPM.Note, not a contact.", walk) +
                  logEntry(err::kCorruptData, "damaged department",
                           " Error in PrintContacts sub or a sub-function therein.", "Doe, Jane") +
                  logEntry(err::kCorruptData, "damaged name", walk) +
                  logEntry(err::kCorruptData, "damaged item", walk));
    EXPECT_EQ(w.settings.get("Settings", "Error File Path"), archive::pathToUtf8(w.root.path()));
    EXPECT_EQ(counts(*w.run.accounts().at(0)), "People: 4 2 0 2; 0 0");

    archive::RunContext later(w.root.path(), w.reporter, w.settings);
    SaveContacts(later, "People", w.root / "People", a);
    EXPECT_EQ(w.files().at("People/Contacts.rtf"), alpha);
}

// A table held by another program: the user is asked to close it and each contact tries
// twice; a directory that cannot be made fails every row without asking.
TEST(ContactsWriter, AHeldTableIsAskedForAndTriedAgain) {
    // After which box the user closes the file (0: never; -1: the box itself fails; -2: the
    // table's directory is missing), the boxes shown ("P" asking to close the file, "C" to
    // click OK once it is closed), the account, and a text of the log.
    const std::tuple<int, std::string, std::string, std::string> cases[] = {
        {2, "PC", "Contacts: 2 2 0 0; 0 0", ""},
        {0, "PCPCPCPC", "Contacts: 2 0 0 2; 0 0",
         "Error Nbr: 91\r\nError Info:  Error in PrintContacts sub or a sub-function "
         "therein.\r\nError Subject: Roe, John\r\n"},
        {-1, "PP", "Contacts: 2 0 0 2; 0 0", "Error Description: no display\r\n"},
        {-2, "", "missing/Contacts: 2 0 0 2; 0 0",
         "Error Nbr: 76\r\nError Info: " + std::string(archive::kCreateFolderInfo)},
    };
    for (const auto& [closeAfter, asked, account, logged] : cases) {
        SCOPED_TRACE(closeAfter);
        WriterRun w;
        auto folder = MemoryFolder::make("Contacts", ItemType::Contact);
        addContact(*folder, "Jane", "Doe");
        addContact(*folder, "John", "Roe");
        // A directory in the table's place fails its creation with "permission denied",
        // as a file held open by another program does.
        fs::create_directories(w.root / "Contacts" / "Contacts.rtf");
        w.boxes.onShow = [&, closeAfter = closeAfter](std::size_t count) {
            if (closeAfter == -1) {
                throw std::runtime_error("no display");
            } else if (static_cast<int>(count) == closeAfter) {
                fs::remove(w.root / "Contacts" / "Contacts.rtf");
            }
        };
        SaveContacts(w.run, "Contacts",
                     w.root / (closeAfter == -2 ? "missing/Contacts" : "Contacts"), folder);
        EXPECT_EQ(w.boxes.shown, asked);
        EXPECT_EQ(counts(*w.run.accounts()[0]), account);
        EXPECT_NE(w.log().find(logged), std::string::npos) << w.log();
        EXPECT_EQ(w.files().size(), closeAfter > 0 ? 1u : 0u);
    }
}

} // namespace
} // namespace tvn::writers
