#include <new>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "archive/error_messages.h"
#include "tests/archive/temp_folder.h"

namespace tvn::archive {
namespace {

class RecordingBoxes final : public MessageBoxes {
public:
    void show(std::string_view text, MessageIcon icon, std::string_view title) override {
        shown.push_back(std::string(text) + "|" + std::to_string(static_cast<int>(icon)) + "|" +
                        std::string(title));
        if (throwOnce) {
            throwOnce = false;
            throw Failure(err::kObjectNotSet, "Object variable not set");
        }
    }
    std::vector<std::string> shown;
    bool throwOnce = false;
};

// A log whose every line-write fails, as on a full disk.
class FailingLog final : public TextStream {
public:
    void WriteLine(std::string_view) override { throw Failure(err::kDiskFull, "Disk full", "log"); }
    void WriteBlankLines(std::int32_t) override {}
    void Close() override {}
};

// A reporter whose log is a real file, written at every line-write.
struct Reporting {
    Reporting() { reporter.log() = fso.CreateTextFile(logPath, true, Buffering::EveryLine); }
    std::string logText() const { return testing::readFileText(logPath); }

    testing::TempFolder temp;
    FileSystem fso{TextEncoding::Utf8};
    std::filesystem::path logPath = temp / std::string(kErrorLogName);
    RecordingBoxes boxes;
    ErrorReporter reporter{boxes};
};

struct ReporterTest : ::testing::Test, Reporting {};

// Read before any Close: each entry is in the file as soon as it is reported, with no blank
// line between entries, a number outside sixteen bits whole and a multi-line subject as is.
TEST_F(ReporterTest, EntriesAreFourCrLfLinesWrittenAtOnce) {
    reporter.ErrorMessages(err::kPathNotFound, "Path not found: /a/b.rtf", " Error in SaveText.",
                           "N/A.");
    const std::string first = "Error Description: Path not found: /a/b.rtf\r\nError Nbr: 76\r\n"
                              "Error Info:  Error in SaveText.\r\nError Subject: N/A.\r\n";
    EXPECT_EQ(logText(), first);
    reporter.ErrorMessages(err::kCorruptData, "Corrupt item", "Info", "From: Jane\r\nTo: Joe");
    EXPECT_EQ(logText(), first + "Error Description: Corrupt item\r\nError Nbr: -2147221221\r\n"
                                 "Error Info: Info\r\nError Subject: From: Jane\r\nTo: Joe\r\n");

    // Without a log, or with one that cannot be written, the entry is dropped but counted.
    for (const bool failing : {false, true}) {
        ErrorReporter other(boxes);
        other.log().reset(failing ? new FailingLog : nullptr);
        EXPECT_NO_THROW(other.ErrorMessages(err::kPathNotFound, "d", "i", "s"));
        EXPECT_TRUE(other.boolError);
    }
}

TEST(ErrorReporter, SpecialNumbersActAsTheirNumberAsks) {
    struct Case {
        std::int32_t number;
        const char* failingPath;
        bool showsContactsMessages;
        bool logged;
        bool permission;
    };
    const Case cases[] = {
        {70, "/arch/Contacts/Contacts.rtf", true, false, true},
        {70, "/arch/MyContacts.rtf", false, true, true},
        {70, "", false, true, true},
        {287, "/arch/Contacts.rtf", false, false, false},
        {32755, "", false, false, true},
        {76, "/arch/Contacts.rtf", false, true, true},
    };
    const std::vector<std::string> contacts = {
        "Please close the Contacts.rtf file before proceeding.|2|Tallyvane",
        "Click OK after you have closed the Contacts.rtf file!|0|Tallyvane"};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.number) + " " + c.failingPath);
        Reporting r;
        r.reporter.ErrorMessages(c.number, "desc", "info", "subj", c.failingPath);
        EXPECT_EQ(r.boxes.shown, c.showsContactsMessages ? contacts : std::vector<std::string>{});
        EXPECT_EQ(r.reporter.boolError, c.logged);
        EXPECT_EQ(r.reporter.boolPermission, c.permission);
        EXPECT_EQ(r.logText().empty(), !c.logged);
    }
}

TEST_F(ReporterTest, TrapGoesOnAfterAFailedStepAndKeepsTheOldValue) {
    ErrorTrap trap(reporter, "Error in Form_Load.");
    std::string caption = "old";
    EXPECT_TRUE(trap.step([] {}));
    EXPECT_FALSE(trap.assign(
        caption, []() -> std::string { throw Failure(err::kPathNotFound, "Path not found: /x"); }));
    EXPECT_EQ(caption, "old");
    trap.setSubject("Inbox");
    // Other exceptions are the unspecified failure.
    EXPECT_FALSE(trap.step([] { throw std::out_of_range("vector index 7"); }));
    EXPECT_FALSE(trap.step([] { throw std::bad_alloc(); }));
    EXPECT_FALSE(trap.step([] { throw 42; }));
    EXPECT_TRUE(trap.assign(caption, [] { return std::string("new"); }));
    EXPECT_EQ(caption, "new");
    std::string expected = "Error Description: Path not found: /x\r\nError Nbr: 76\r\n"
                           "Error Info: Error in Form_Load.\r\nError Subject: N/A.\r\n";
    for (const char* description :
         {"vector index 7", "Out of memory (std::bad_alloc)", "Unknown failure"}) {
        expected += "Error Description: " + std::string(description) +
                    "\r\nError Nbr: -2147467259\r\nError Info: Error in Form_Load.\r\n"
                    "Error Subject: Inbox\r\n";
    }
    EXPECT_EQ(logText(), expected);
}

// The failing path travels through the trap (the inner step's Contacts.rtf shows the
// message box), and a failure inside the reporter goes to the caller's trap.
TEST_F(ReporterTest, AFailureWhileReportingGoesToTheCallersTrap) {
    ErrorTrap outer(reporter, "outer info");
    boxes.throwOnce = true;
    EXPECT_FALSE(outer.step([&] {
        ErrorTrap(reporter, "inner").step([] {
            throw Failure(err::kPermissionDenied, "held", "/a/Contacts.rtf");
        });
        ADD_FAILURE() << "the inner procedure went on";
    }));
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(logText(), "Error Description: Object variable not set\r\nError Nbr: 91\r\n"
                         "Error Info: outer info\r\nError Subject: N/A.\r\n");
}

} // namespace
} // namespace tvn::archive
