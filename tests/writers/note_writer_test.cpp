#include <gtest/gtest.h>

#include "tests/writers/report_test_support.h"

namespace tvn::writers {
namespace {

using namespace testing;
using store::DateTime;
using store::memory::MemoryItem;

const Values kBase = {{"Subject", "Call the bank"},
                      {"LastModificationTime", DateTime{2003, 11, 7, 18, 5, 9}},
                      {"Body", "Call the bank\r\nabout the loan"},
                      {"Categories", "Home"},
                      {"CreationTime", DateTime{2003, 11, 5, 0, 0, 0}}};

const std::vector<std::string> kBaseReport = {
    "Subject: Call the bank",
    "Date created: 11/5/2003",
    "Date last modified: 11/7/2003 6:05:09 PM",
    "",
    "Category assigned: Home.",
    "",
    "Note message: ",
    "Call the bank\r\nabout the loan",
};
constexpr auto kBaseName = "Folder/2003-11-05 00.00.00 - Call the bank.rtf";

enum Line : std::size_t { Subject = 0, Category = 4, Body = 7 };

TEST(NoteWriter, ReportsAreWrittenByteForByteForEverySubstitute) {
    const std::vector<ReportCase> cases = {
        {"base", {}, {}},
        {"empty note",
         {{"Subject", ""}, {"Body", ""}},
         {{Subject, "Subject: "}, {Body, "<This note entry contained no message body.>"}},
         "Folder/2003-11-05 00.00.00 - <This note entry contained no subject.>.rtf"},
        {"no categories",
         {{"Categories", ""}},
         {{Category, "Category assigned: No category was selected for this note entry."}}},
        {"colon and slash in the first line",
         {{"Subject", "To do: 1/2 done"}},
         {{Subject, "Subject: To do 12 done"}},
         "Folder/2003-11-05 00.00.00 - To do 12 done.rtf"},
        {"subject of 45 characters",
         {{"Subject", "123456789012345678901234567890123456789012345"}},
         {{Subject, "Subject: 123456789012345678901234567890123456789"}},
         "Folder/2003-11-05 00.00.00 - 123456789012345678901234567890123456789.rtf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriterRun w;
        const auto files = runCase(w, &SaveNotes, "IPM.StickyNote", kBase, c);
        const std::string name = c.fileName.empty() ? kBaseName : c.fileName;
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files.at(name), reportText(withChanges(kBaseReport, c)));
        EXPECT_EQ(w.log(), "");
    }
}

} // namespace
} // namespace tvn::writers
