#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "store/properties.h"
#include "store/property_names.h"
#include "tests/writers/contact_test_support.h"
#include "tests/writers/writer_test_support.h"
#include "writers/contact_table.h"

namespace tvn::writers {
namespace {

namespace fs = std::filesystem;
using contacts::Rule;
using store::DateTime;
using store::ItemType;
using store::Variant;
using store::memory::MemoryFolder;
using store::memory::MemoryItem;
using testing::column;
using testing::fields;
using testing::lines;
using testing::WriterRun;

constexpr const char* kHeaderRow =
    "Title\tFirst Name\tMiddle Name\tLast Name\tSuffix\tCompany\tDepartment\tJob Title\t"
    "Business Street\tBusiness City\tBusiness State\tBusiness Postal Code\tBusiness Country\t"
    "Home Street\tHome City\tHome State\tHome Postal Code\tHome Country\tOther Street\t"
    "Other City\tOther State\tOther Postal Code\tOther Country\tAssistant's Phone\t"
    "Business Fax\tBusiness Phone\tBusiness Phone 2\tCallback Car Phone\tCar Phone\t"
    "Company Main Phone\tHome Fax\tHome Phone\tHome Phone 2\tISDN\tMobile Phone\tOther Fax\t"
    "Other Phone\tPager\tPrimary Phone\tRadio Phone\tTTY/TDD Phone\tTelex\tAccount\t"
    "Anniversary\tAssistant's Name\tBilling Information\tBirthday\tCategories\tChildren\t"
    "E-mail Address\tE-mail Type\tE-mail Display Name\tE-mail 2 Address\tE-mail 2 Type\t"
    "E-mail 2 Display Name\tE-mail 3 Address\tE-mail 3 Type\tE-mail 3 Display Name\tGender\t"
    "Government ID Number\tHobby\tInitials\tInternet Free Busy\tLanguage\tManager's Name\t"
    "Mileage\tNotes\tOffice Location\tOrganizational ID Number\tOther Address PO Box\t"
    "Priority\tProfession\tReferred By\tSensitivity\tSpouse\tUser 1\tUser 2\tUser 3\tUser 4\t"
    "Web Page";

// The row of a contact whose properties are all absent: every column empty but Priority
// ("Normal", Importance reads 1) and Sensitivity ("Normal").
std::string emptyRow() {
    std::string row;
    for (const auto& column : contacts::kColumns) {
        if (!row.empty() || &column != contacts::kColumns.data()) {
            row += '\t';
        }
        if (column.rule == Rule::Priority || column.rule == Rule::Sensitivity) {
            row += "Normal";
        }
    }
    return row;
}

MemoryItem& addContact(MemoryFolder& folder, const std::string& first, const std::string& last) {
    return folder.addItem("IPM.Contact")
        .set("FirstName", first)
        .set("LastName", last)
        .set("LastNameAndFirstName", last + ", " + first);
}

TEST(ContactTable, HeaderRowIsTheEightyNamesJoinedByTabs) {
    EXPECT_EQ(contacts::PrintContactHeaders(), kHeaderRow);
    EXPECT_EQ(fields(kHeaderRow).size(), 80U);
}

TEST(ContactTable, EveryColumnReadsAPropertyOfTheKindItsRuleTakes) {
    for (const auto& c : contacts::kColumns) {
        const auto kind = store::propertyKind(c.property);
        ASSERT_TRUE(kind) << c.property;
        switch (c.rule) {
        case Rule::Date:
            EXPECT_EQ(*kind, Variant::Kind::Date) << c.header;
            break;
        case Rule::Gender:
        case Rule::Priority:
        case Rule::Sensitivity:
            EXPECT_EQ(*kind, Variant::Kind::Integer) << c.header;
            break;
        default:
            EXPECT_EQ(*kind, Variant::Kind::Text) << c.header;
        }
    }
}

TEST(ContactTable, ColumnRules) {
    const DateTime now{2024, 6, 1, 12, 0, 0};
    struct Case {
        Rule rule;
        Variant value;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {Rule::Text, "plain", "plain"},
        {Rule::Text, "tab\there", "tab here"},
        {Rule::Text, "two\r\nlines", "two, lines"},
        {Rule::Text, "bare\nLF", "bare, LF"},
        {Rule::Street, "1 Main St\r\nSuite 200", "1 Main St, Suite 200"},
        {Rule::Street, "A\nB", "A, B"},
        {Rule::Street, "", ""},
        {Rule::Postal, "12345", "12345"},
        {Rule::Postal, "123456789", "12345-6789"},
        {Rule::Postal, "021341234", "02134-1234"},
        {Rule::Postal, "2134", "02134"},
        {Rule::Postal, "12345678901", "1234567-8901"},
        {Rule::Postal, "K1A 0B1", "K1A 0B1"},
        {Rule::Postal, "12345-6789", "12345-6789"},
        {Rule::Postal, "12 345", "12 345"},
        {Rule::Postal, "12.6", "00013"},
        {Rule::Postal, "1234.5", "00000-1235"},
        {Rule::Postal, " 2134 ", "00000-2134"},
        {Rule::Postal, "", ""},
        {Rule::Mileage, "0", ""},
        {Rule::Mileage, "999", "999"},
        {Rule::Mileage, "1000", "1,000"},
        {Rule::Mileage, "1234567", "1,234,567"},
        {Rule::Mileage, "1234567.6", "1,234,568"},
        {Rule::Mileage, "1,234", "1,234"},
        {Rule::Mileage, "-1500", "-1,500"},
        {Rule::Mileage, "about 40 miles", "about 40 miles"},
        {Rule::Mileage, "", ""},
        {Rule::Date, DateTime{2003, 11, 5, 0, 0, 0}, "11/5/2003"},
        {Rule::Date, DateTime{2003, 11, 5, 9, 7, 2}, "11/5/2003 9:07:02 AM"},
        {Rule::Date, DateTime{2024, 6, 1, 12, 0, 0}, "6/1/2024 12:00:00 PM"},
        {Rule::Date, DateTime{2024, 6, 1, 12, 0, 1}, ""},
        {Rule::Date, DateTime::none(), ""},
        {Rule::Gender, 0, ""},
        {Rule::Gender, 1, "1"},
        {Rule::Gender, 2, "2"},
        {Rule::Priority, 0, "Low"},
        {Rule::Priority, 1, "Normal"},
        {Rule::Priority, 2, "High"},
        {Rule::Priority, 5, "5"},
        {Rule::Sensitivity, 0, "Normal"},
        {Rule::Sensitivity, 1, "Personal"},
        {Rule::Sensitivity, 2, "Private"},
        {Rule::Sensitivity, 3, "Confidential"},
        {Rule::Sensitivity, 4, "4"},
        {Rule::Notes, "first\r\nsecond", "first second "},
        {Rule::Notes, "first\r\nsecond\r\n", "first second  "},
        {Rule::Notes, "one line", "one line "},
        {Rule::Notes, "tab\tin notes", "tab in notes "},
        {Rule::Notes, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(contacts::columnText(c.rule, c.value, now), c.expected)
            << "rule " << static_cast<int>(c.rule)
            << (c.value.kind() == Variant::Kind::Text ? " text [" + c.value.text() + "]" : "");
    }
}

TEST(ContactsWriter, WritesTheHeaderAndOneRowPerContactWithCrLfAndTabs) {
    WriterRun w;
    auto folder = MemoryFolder::make("Contacts", ItemType::Contact);
    addContact(*folder, "Jane", "Doe")
        .set("CompanyName", "Acme\tCorp")
        .set("BusinessAddressStreet", "1 Main St\r\nSuite 200")
        .set("Birthday", DateTime{1980, 5, 10, 0, 0, 0})
        .set("Email1Address", "jane@example.com")
        .set("Importance", 2)
        .set("Body", "first\r\nsecond");
    folder->addItem("IPM.Contact.Custom").set("LastNameAndFirstName", "Nobody");
    SaveContacts(w.run, "Contacts", w.root / "Contacts", folder);

    const auto text = w.files().at("Contacts/Contacts.rtf");
    const auto rows = lines(text);
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[0], kHeaderRow);
    EXPECT_EQ(fields(rows[1]).size(), 80U) << "a tab inside a value shifts nothing";
    EXPECT_EQ(column(rows[1], "First Name"), "Jane");
    EXPECT_EQ(column(rows[1], "Company"), "Acme Corp");
    EXPECT_EQ(column(rows[1], "Business Street"), "1 Main St, Suite 200");
    EXPECT_EQ(column(rows[1], "Birthday"), "5/10/1980");
    EXPECT_EQ(column(rows[1], "Anniversary"), "");
    EXPECT_EQ(column(rows[1], "E-mail Address"), "jane@example.com");
    EXPECT_EQ(column(rows[1], "Priority"), "High");
    EXPECT_EQ(rows[2], emptyRow()) << "a custom contact form is a contact";
    EXPECT_EQ(w.log(), "");
    EXPECT_EQ(w.settings.get("Settings", "Error File Path"), archive::pathToUtf8(w.root.path()));

    ASSERT_EQ(w.run.accounts().size(), 1U);
    EXPECT_EQ(w.run.accounts()[0]->found, 2);
    EXPECT_EQ(w.run.accounts()[0]->written, 2);
    EXPECT_EQ(w.run.TextStream9, nullptr) << "the file is closed when the folder's walk ends";
}

// Records which folder each item was done in, in order.
class ItemOrder final : public archive::RunProgress {
public:
    void itemDone(const archive::FolderAccount& account) override { done.push_back(account.path); }
    std::vector<std::string> done;
};

TEST(ContactsWriter, SubfoldersAreWrittenFirstEachIntoATableOfItsOwn) {
    archive::testing::TempFolder root;
    testing::RecordingBoxes boxes;
    archive::ErrorReporter reporter(boxes);
    archive::MemorySettingsStore settings;
    ItemOrder order;
    archive::RunContext run(root.path(), reporter, settings, archive::TextEncoding::Utf8, &order);
    reporter.log() =
        run.files().CreateTextFile(root / "log.txt", true, archive::Buffering::EveryLine);

    auto top = MemoryFolder::make("People", ItemType::Contact);
    auto a = top->addFolder("A", ItemType::Contact);
    auto b = top->addFolder("B/C", ItemType::Mail);
    top->addFolder("Empty", ItemType::Contact);
    addContact(*top, "Top", "One");
    addContact(*a, "Alpha", "One");
    addContact(*a, "Alpha", "Two");
    addContact(*b->addFolder("Deep", ItemType::Mail), "Deep", "One");
    b->addItem("IPM.Note").set("Subject", "not a contact");
    addContact(*b, "Beta", "One");
    SaveContacts(run, "People", root / "People", top);

    EXPECT_EQ(order.done, (std::vector<std::string>{"People/A", "People/A", "People/B_C/Deep",
                                                    "People/B_C", "People/B_C", "People"}));
    const auto rowsOf = [&](const std::string& path) {
        return lines(archive::testing::readFileText(root.path() / path));
    };
    EXPECT_EQ(rowsOf("People/A/Contacts.rtf").size(), 3U);
    EXPECT_EQ(rowsOf("People/B_C/Deep/Contacts.rtf").size(), 2U);
    const auto beta = rowsOf("People/B_C/Contacts.rtf");
    ASSERT_EQ(beta.size(), 2U) << "the mail item is skipped, the contact after it written";
    EXPECT_EQ(beta[0], kHeaderRow);
    EXPECT_EQ(column(beta[1], "First Name"), "Beta");
    EXPECT_EQ(column(rowsOf("People/Contacts.rtf")[1], "First Name"), "Top");
    EXPECT_TRUE(fs::is_directory(root.path() / "People/Empty"));
    EXPECT_FALSE(fs::exists(root.path() / "People/Empty/Contacts.rtf"))
        << "a folder without contacts gets no table";

    for (const auto& account : run.accounts()) {
        EXPECT_EQ(account->found, account->written + account->skippedCount() + account->failed)
            << account->path;
    }
    ASSERT_EQ(run.accounts().size(), 5U);
    const auto& bc = *run.accounts()[2];
    EXPECT_EQ(bc.path, "People/B_C") << "accounts are begun as the folders are entered";
    EXPECT_EQ(bc.skipped.at("IPM.Note"), 1);
    EXPECT_EQ(bc.written, 1);
    EXPECT_THAT(archive::testing::readFileText(root / "log.txt"),
                ::testing::HasSubstr("Error Nbr: 13\r\nError Info:  Error in "
                                     "SaveContacts function or a sub-function "
                                     "therein.\r\nError Subject: N/A.\r\n"));
}

TEST(ContactsWriter, AFailingReadEmptiesItsColumnAndTheNextRowIsWhole) {
    WriterRun w;
    auto folder = MemoryFolder::make("Contacts", ItemType::Contact);
    addContact(*folder, "Jane", "Doe")
        .set("JobTitle", "Pilot")
        .fail("CompanyName", Failure(err::kCorruptData, "damaged company"))
        .fail("Birthday", Failure(err::kCorruptData, "damaged birthday"));
    // Its name cannot be read either: the row is given up and the folder walk reports it.
    addContact(*folder, "No", "Name")
        .fail("Title", Failure(err::kCorruptData, "damaged title"))
        .fail("LastNameAndFirstName", Failure(err::kCorruptData, "damaged name"));
    folder->addDamagedItem(Failure(err::kCorruptData, "damaged item"));
    addContact(*folder, "John", "Roe").set("CompanyName", "Initech");
    SaveContacts(w.run, "Contacts", w.root / "Contacts", folder);

    const auto rows = lines(w.files().at("Contacts/Contacts.rtf"));
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(column(rows[1], "Company"), "");
    EXPECT_EQ(column(rows[1], "Job Title"), "Pilot");
    EXPECT_EQ(column(rows[2], "First Name"), "John");
    EXPECT_EQ(column(rows[2], "Company"), "Initech");
    EXPECT_EQ(column(rows[2], "Job Title"), "") << "nothing is left over from the row before";

    const auto log = w.log();
    const std::string printInfo =
        "Error Info:  Error in PrintContacts sub or a sub-function therein.\r\n";
    const std::string walkInfo =
        "Error Info:  Error in SaveContacts function or a sub-function therein.\r\n";
    EXPECT_THAT(log, ::testing::HasSubstr("Error Description: damaged company\r\nError Nbr: "
                                          "-2147221221\r\n" +
                                          printInfo + "Error Subject: Doe, Jane\r\n"));
    EXPECT_THAT(log, ::testing::HasSubstr("damaged birthday"));
    EXPECT_THAT(log, ::testing::HasSubstr("Error Description: damaged name\r\nError Nbr: "
                                          "-2147221221\r\n" +
                                          walkInfo + "Error Subject: N/A.\r\n"));
    EXPECT_THAT(log, ::testing::Not(::testing::HasSubstr("damaged title")));
    EXPECT_THAT(log, ::testing::HasSubstr("Error Description: damaged item\r\n"));

    const auto& account = *w.run.accounts()[0];
    EXPECT_EQ(account.found, 4);
    EXPECT_EQ(account.written, 2);
    EXPECT_EQ(account.failed, 2);
}

TEST(ContactsWriter, TwoFoldersOfOneDirectoryKeepBothTablesAndALaterRunReplacesThem) {
    WriterRun w;
    auto first = MemoryFolder::make("Contacts", ItemType::Contact);
    addContact(*first, "First", "Folder");
    auto second = MemoryFolder::make("Contacts", ItemType::Contact);
    addContact(*second, "Second", "Folder");
    addContact(*second, "Second", "Again");
    SaveContacts(w.run, "Contacts", w.root / "Contacts", first);
    SaveContacts(w.run, "Contacts", w.root / "Contacts", second);

    auto files = w.files();
    EXPECT_EQ(lines(files.at("Contacts/Contacts.rtf")).size(), 2U);
    const auto again = lines(files.at("Contacts/Contacts (2).rtf"));
    ASSERT_EQ(again.size(), 3U);
    EXPECT_EQ(again[0], kHeaderRow);

    // A later run writes the folder again: the table is replaced, never added to.
    archive::ErrorReporter reporter(w.boxes);
    archive::RunContext later(w.root.path(), reporter, w.settings);
    SaveContacts(later, "Contacts", w.root / "Contacts", second);
    files = w.files();
    EXPECT_EQ(files.at("Contacts/Contacts.rtf"), files.at("Contacts/Contacts (2).rtf"));
}

// Message boxes that run an action when a box is shown (the user closing a file).
class ActingBoxes final : public archive::MessageBoxes {
public:
    void show(std::string_view text, archive::MessageIcon, std::string_view) override {
        shown.emplace_back(text);
        if (onShow) {
            onShow(shown.size());
        }
    }
    std::vector<std::string> shown;
    std::function<void(std::size_t)> onShow;
};

class HeldTable : public ::testing::Test {
protected:
    HeldTable() : reporter(boxes), run(root.path(), reporter, settings) {
        reporter.log() =
            run.files().CreateTextFile(root / "log.txt", true, archive::Buffering::EveryLine);
        folder = MemoryFolder::make("Contacts", ItemType::Contact);
        addContact(*folder, "Jane", "Doe");
        addContact(*folder, "John", "Roe");
        // A directory in the table's place makes its creation fail with "permission denied",
        // as a file held open by another program does.
        fs::create_directories(root / "Contacts" / "Contacts.rtf");
    }
    std::string table() const {
        return archive::testing::readFileText(root / "Contacts" / "Contacts.rtf");
    }

    archive::testing::TempFolder root;
    ActingBoxes boxes;
    archive::ErrorReporter reporter;
    archive::MemorySettingsStore settings;
    archive::RunContext run;
    std::shared_ptr<MemoryFolder> folder;
};

TEST_F(HeldTable, TheUserClosesTheFileAndTheSecondAttemptWritesIt) {
    boxes.onShow = [&](std::size_t count) {
        if (count == 2) {
            fs::remove(root / "Contacts" / "Contacts.rtf");
        }
    };
    SaveContacts(run, "Contacts", root / "Contacts", folder);
    EXPECT_EQ(boxes.shown,
              (std::vector<std::string>{"Please close the Contacts.rtf file before proceeding.",
                                        "Click OK after you have closed the Contacts.rtf file!"}));
    const auto rows = lines(table());
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[0], kHeaderRow);
    EXPECT_EQ(archive::testing::readFileText(root / "log.txt"), "");
    EXPECT_EQ(run.accounts()[0]->written, 2);
}

TEST_F(HeldTable, AFileThatStaysHeldFailsEachRowAndEachContactTriesAgain) {
    SaveContacts(run, "Contacts", root / "Contacts", folder);
    EXPECT_EQ(boxes.shown.size(), 8U) << "two attempts for each of the two contacts";
    const auto log = archive::testing::readFileText(root / "log.txt");
    EXPECT_THAT(log, ::testing::HasSubstr("Error Nbr: 91\r\nError Info:  Error in PrintContacts "
                                          "sub or a sub-function therein.\r\nError Subject: Doe, "
                                          "Jane\r\n"));
    EXPECT_THAT(log, ::testing::HasSubstr("Error Subject: Roe, John\r\n"));
    EXPECT_EQ(run.accounts()[0]->failed, 2);
    EXPECT_EQ(run.accounts()[0]->written, 0);
}

TEST_F(HeldTable, AMessageBoxThatFailsEndsTheRowAndCountsTheContactOnce) {
    boxes.onShow = [](std::size_t) { throw std::runtime_error("no display"); };
    SaveContacts(run, "Contacts", root / "Contacts", folder);
    const auto& account = *run.accounts()[0];
    EXPECT_EQ(account.found, 2);
    EXPECT_EQ(account.failed, 2);
    EXPECT_THAT(archive::testing::readFileText(root / "log.txt"),
                ::testing::HasSubstr("Error Description: no display\r\n"));
    EXPECT_EQ(run.TextStream9, nullptr);
}

TEST(ContactsWriter, ADirectoryThatCannotBeMadeFailsEveryRow) {
    WriterRun w;
    auto folder = MemoryFolder::make("Contacts", ItemType::Contact);
    addContact(*folder, "Jane", "Doe");
    SaveContacts(w.run, "Contacts", w.root / "missing" / "Contacts", folder);
    const auto log = w.log();
    EXPECT_THAT(log, ::testing::HasSubstr("Error in CreateFolder sub"));
    EXPECT_THAT(log, ::testing::HasSubstr("Error Nbr: 76\r\n"));
    EXPECT_THAT(log, ::testing::HasSubstr("Error Nbr: 91\r\n"));
    EXPECT_EQ(w.files().size(), 0U);
    EXPECT_EQ(w.run.accounts()[0]->failed, 1);
}

} // namespace
} // namespace tvn::writers
