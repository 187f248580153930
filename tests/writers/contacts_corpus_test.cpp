// The contacts tables of the real Outlook files of the corpus: one row per contact of every
// contacts folder, and the values pffexport shows for the same contacts in their columns.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/names.h"
#include "store/fixed_password_prompt.h"
#include "store/pst/ndb/crypt.h"
#include "store/pst/pst_file.h"
#include "tests/archive/temp_folder.h"
#include "tests/support/corpus.h"
#include "tests/writers/contact_test_support.h"
#include "tests/writers/writer_test_support.h"
#include "writers/contact_table.h"

namespace tvn::writers {
namespace {

namespace fs = std::filesystem;

// A text whose CRC-32 (as the file format computes it) is `target`. The CRC without
// inversions is linear in the message bits, so four bytes are found by solving for them.
std::string textWithCrc(std::uint32_t target) {
    const auto crcOf = [](std::uint32_t word) {
        const std::array<std::uint8_t, 4> bytes = {
            static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8U),
            static_cast<std::uint8_t>(word >> 16U), static_cast<std::uint8_t>(word >> 24U)};
        return store::pst::ndb::crc32(bytes);
    };
    // Gaussian elimination over GF(2): each row is (crc of a basis word, the word).
    std::array<std::pair<std::uint32_t, std::uint32_t>, 32> rows{};
    for (unsigned bit = 0; bit < 32; ++bit) {
        rows[bit] = {crcOf(1U << bit), 1U << bit};
    }
    std::uint32_t remaining = target;
    std::uint32_t word = 0;
    for (unsigned bit = 0; bit < 32; ++bit) {
        const std::uint32_t mask = 1U << bit;
        unsigned pivot = bit;
        while (pivot < 32 && (rows[pivot].first & mask) == 0) {
            ++pivot;
        }
        if (pivot == 32) {
            continue;
        }
        std::swap(rows[bit], rows[pivot]);
        for (unsigned other = 0; other < 32; ++other) {
            if (other != bit && (rows[other].first & mask) != 0) {
                rows[other].first ^= rows[bit].first;
                rows[other].second ^= rows[bit].second;
            }
        }
    }
    for (unsigned bit = 0; bit < 32; ++bit) {
        if ((remaining & (1U << bit)) != 0 && (rows[bit].first & (1U << bit)) != 0) {
            remaining ^= rows[bit].first;
            word ^= rows[bit].second;
        }
    }
    return std::string{static_cast<char>(word & 0xFFU), static_cast<char>((word >> 8U) & 0xFFU),
                       static_cast<char>((word >> 16U) & 0xFFU), static_cast<char>(word >> 24U)};
}

std::optional<std::string> passwordFor(const std::string& file) {
    if (file == "passworded.pst") {
        return textWithCrc(0xE61EB50FU);
    }
    if (file == "aspose-password.pst") {
        return "Password1";
    }
    if (file == "test-ansi.pst" || file == "test-unicode.pst") {
        return "test";
    }
    return std::nullopt;
}

// Archives one top-level folder of a corpus file with the contacts writer and gives the
// rows of its table; every item is accounted for and only items that are not contacts are
// reported.
std::vector<std::string> archiveFolder(const fs::path& file, const std::string& folderName,
                                       std::int64_t skipped) {
    testing::WriterRun w;
    store::FixedPasswordPrompt prompt(passwordFor(file.filename().string()));
    const auto top = store::pst::openDataFile(file, &prompt);
    SaveContacts(w.run, folderName, w.root.path() / archive::directoryName(folderName),
                 top->folders()->item(folderName));

    const auto files = w.files();
    EXPECT_EQ(files.size(), 1U);
    auto rows = testing::lines(files.at(folderName + "/Contacts.rtf"));
    EXPECT_EQ(rows.front(), contacts::PrintContactHeaders());
    rows.erase(rows.begin());
    const auto& account = *w.run.accounts().front();
    EXPECT_EQ(account.found, static_cast<std::int64_t>(rows.size()) + skipped);
    EXPECT_EQ(account.skippedCount(), skipped);
    EXPECT_EQ(account.written, static_cast<std::int64_t>(rows.size()));
    const auto log = w.log();
    for (auto at = log.find("Error Nbr: "); at != std::string::npos;
         at = log.find("Error Nbr: ", at + 1)) {
        EXPECT_EQ(log.substr(at, 14), "Error Nbr: 13\r") << log;
    }
    return rows;
}

// pffexport's contact fields and the columns that show the same property.
constexpr std::array<std::pair<std::string_view, std::string_view>, 15> kOracleFields = {{
    {"Given name", "First Name"},
    {"Surname", "Last Name"},
    {"Initials", "Initials"},
    {"Title", "Title"},
    {"Generational abbreviation", "Suffix"},
    {"Company name", "Company"},
    {"Job title", "Job Title"},
    {"Department name", "Department"},
    {"Business phone number 1", "Business Phone"},
    {"Home phone number", "Home Phone"},
    {"Mobile phone number", "Mobile Phone"},
    {"Primary phone number", "Primary Phone"},
    {"Email address 1", "E-mail Address"},
    {"Importance", "Priority"},
    {"Sensitivity", "Sensitivity"},
}};

// The values pffexport shows for one exported contact, by our column names.
std::map<std::string, std::string> oracleRow(const fs::path& contactText) {
    const auto text = test_support::readFileText(contactText);
    std::map<std::string, std::string> row;
    std::istringstream in(text.substr(0, text.find("\nBody:")));
    for (std::string line; std::getline(in, line);) {
        const auto colon = line.find(':');
        for (const auto& [field, header] : kOracleFields) {
            if (colon != std::string::npos && line.substr(0, colon) == field) {
                auto value = line.substr(colon + 1);
                value.erase(0, value.find_first_not_of('\t'));
                row[std::string(header)] = value == "None" ? "Normal" : value;
            }
        }
    }
    return row;
}

// Each contact pffexport exports must have a row showing the same values; rows of one
// content may repeat, so each exported contact takes one matching row. Returns how many
// were compared.
std::size_t compareWithPffexport(const fs::path& file, const std::string& folderName,
                                 std::vector<std::string> rows) {
    archive::testing::TempFolder out;
    const auto command = "pffexport -q -m items -f text -t '" + (out / "x").string() + "' '" +
                         file.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::size_t compared = 0;
    // pffexport names the top folder by its own name, not by the store's.
    for (const auto& top : fs::directory_iterator(out / "x.export")) {
        if (!fs::is_directory(top.path() / folderName)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(top.path() / folderName)) {
            const auto contactText = entry.path() / "Contact.txt";
            if (!entry.path().filename().string().starts_with("Contact") ||
                !fs::exists(contactText)) {
                continue;
            }
            const auto expected = oracleRow(contactText);
            const auto match = std::find_if(rows.begin(), rows.end(), [&](const auto& row) {
                return std::all_of(expected.begin(), expected.end(), [&](const auto& field) {
                    return testing::column(row, field.first) == field.second;
                });
            });
            if (match == rows.end()) {
                ADD_FAILURE() << "no row shows what pffexport shows in " << contactText;
                continue;
            }
            rows.erase(match);
            ++compared;
        }
    }
    return compared;
}

TEST(ContactsCorpus, EveryContactHasItsRowShowingWhatPffexportShows) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const bool oracle = std::system("pffexport -h >/dev/null 2>&1") == 0;
    struct Case {
        const char* file;
        const char* folder;
        std::size_t rows;
        std::int64_t skipped; // distribution lists
        std::size_t oracleRows;
    };
    // The .ost keeps its contacts in a mail folder, which a run gives the mail writer; the
    // contacts writer is handed it here to read them all. pffexport cannot read 12 of
    // aspose-chunk's contacts (a property of type 0); they must have their rows all the same.
    const Case cases[] = {
        {"aspose-contacts.pst", "Contacts", 6, 0, 6}, {"aspose-contacts.ost", "myInbox", 18, 0, 18},
        {"aspose-outlook.pst", "Contacts", 1, 0, 1},  {"dist-list.pst", "Contacts", 1, 1, 1},
        {"aspose-chunk.pst", "Contacts", 21, 0, 9},   {"passworded.pst", "Contacts", 1, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto rows = archiveFolder(dir / c.file, c.folder, c.skipped);
        EXPECT_EQ(rows.size(), c.rows);
        if (oracle) {
            EXPECT_EQ(compareWithPffexport(dir / c.file, c.folder, rows), c.oracleRows);
        }
    }
    if (!oracle) {
        GTEST_SKIP() << "pffexport is not installed: rows counted, values not compared";
    }
}

// As a run of every folder would: each top-level contacts folder of every corpus file gets
// one table per folder with contacts, and nothing fails.
TEST(ContactsCorpus, EveryContactsFolderOfEveryFileGetsItsTable) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    std::size_t tables = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const auto extension = entry.path().extension();
        if (extension != ".pst" && extension != ".ost") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        testing::WriterRun w;
        store::FixedPasswordPrompt prompt(passwordFor(entry.path().filename().string()));
        const auto folders = store::pst::openDataFile(entry.path(), &prompt)->folders();
        for (std::int32_t i = 1; i <= folders->count(); ++i) {
            const auto folder = folders->item(i);
            if (folder->defaultItemType() == store::ItemType::Contact) {
                const auto name = folder->name();
                SaveContacts(w.run, name, w.root.path() / archive::directoryName(name), folder);
            }
        }
        std::size_t withContacts = 0;
        for (const auto& account : w.run.accounts()) {
            EXPECT_EQ(account->failed, 0) << account->path;
            EXPECT_EQ(account->found, account->written + account->skippedCount()) << account->path;
            withContacts += account->written > 0 ? 1U : 0U;
        }
        EXPECT_EQ(w.files().size(), withContacts);
        tables += withContacts;
    }
    EXPECT_EQ(tables, 5U) << "aspose-contacts.pst, aspose-outlook.pst, dist-list.pst, "
                             "aspose-chunk.pst and passworded.pst";
}

} // namespace
} // namespace tvn::writers
