#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/error_messages.h"
#include "tests/archive/temp_folder.h"

namespace tvn::archive {
namespace {

using testing::readFileText;

struct Shown {
    std::string text;
    MessageIcon icon;
    std::string title;
    bool operator==(const Shown&) const = default;
};

class RecordingBoxes final : public MessageBoxes {
public:
    void show(std::string_view text, MessageIcon icon, std::string_view title) override {
        shown.push_back({std::string(text), icon, std::string(title)});
        if (throwOnce) {
            throwOnce = false;
            throw Failure(err::kObjectNotSet, "Object variable not set");
        }
    }
    std::vector<Shown> shown;
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
    std::string logText() const { return readFileText(logPath); }

    testing::TempFolder temp;
    FileSystem fso{TextEncoding::Utf8};
    std::filesystem::path logPath = temp / std::string(kErrorLogName);
    RecordingBoxes boxes;
    ErrorReporter reporter{boxes};
};

class ReporterTest : public ::testing::Test, public Reporting {};

// Read before any Close: each entry is in the file as soon as it is reported, with no blank
// line between entries and a multi-line subject written unchanged.
TEST_F(ReporterTest, EntryIsFourCrLfLinesWrittenAtOnceWithNoBlankLineBetweenEntries) {
    reporter.ErrorMessages(err::kPathNotFound, "Path not found: /a/b.rtf",
                           " Error in SaveText function or a sub-function therein.", "N/A.");
    const std::string first = "Error Description: Path not found: /a/b.rtf\r\nError Nbr: 76\r\n"
                              "Error Info:  Error in SaveText function or a sub-function "
                              "therein.\r\nError Subject: N/A.\r\n";
    EXPECT_EQ(logText(), first);
    // A number outside sixteen bits stands whole.
    reporter.ErrorMessages(err::kCorruptData, "Corrupt item", "Info",
                           "From: Jane\r\nTo: Joe\nSubject: Plans");
    EXPECT_EQ(logText(), first + "Error Description: Corrupt item\r\nError Nbr: -2147221221\r\n"
                                 "Error Info: Info\r\n"
                                 "Error Subject: From: Jane\r\nTo: Joe\nSubject: Plans\r\n");
    EXPECT_TRUE(reporter.boolError);
    EXPECT_TRUE(reporter.boolPermission);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(ErrorReporter, SpecialNumbersActAsTheirNumberAsks) {
    struct Case {
        const char* name;
        std::int32_t number;
        const char* failingPath;
        bool showsContactsMessages;
        bool logged;
        bool permission;
    };
    const Case cases[] = {
        {"permission on the contacts table", 70, "/arch/Contacts/Contacts.rtf", true, false, true},
        {"permission on a bare contacts name", 70, "Contacts.rtf", true, false, true},
        {"permission on an item file", 70, "/arch/Inbox/a.rtf", false, true, true},
        {"permission on a lookalike name", 70, "/arch/MyContacts.rtf", false, true, true},
        {"permission inside a Contacts.rtf folder", 70, "/arch/Contacts.rtf/x", false, true, true},
        {"permission without a path", 70, "", false, true, true},
        {"access refused clears permission", 287, "/arch/Contacts.rtf", false, false, false},
        {"ignored number", 32755, "", false, false, true},
        {"ordinary number on the contacts table", 76, "/arch/Contacts.rtf", false, true, true},
    };
    const std::vector<Shown> contacts = {
        {"Please close the Contacts.rtf file before proceeding.", MessageIcon::Exclamation,
         "Tallyvane"},
        {"Click OK after you have closed the Contacts.rtf file!", MessageIcon::None, "Tallyvane"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reporting r;
        r.reporter.ErrorMessages(c.number, "desc", "info", "subj", c.failingPath);
        EXPECT_EQ(r.boxes.shown, c.showsContactsMessages ? contacts : std::vector<Shown>{});
        EXPECT_EQ(r.reporter.boolError, c.logged);
        EXPECT_EQ(r.reporter.boolPermission, c.permission);
        const std::string nbr = "Error Nbr: " + std::to_string(c.number) + "\r\n";
        EXPECT_EQ(r.logText().find(nbr) != std::string::npos, c.logged) << r.logText();
        EXPECT_EQ(r.logText().empty(), !c.logged);
    }
}

// Without a log, or with one that cannot be written, the entry is dropped but counted and
// the run goes on.
TEST(ErrorReporter, AMissingOrFailingLogDoesNotStopTheRun) {
    RecordingBoxes boxes;
    ErrorReporter reporter(boxes);
    reporter.ErrorMessages(err::kPathNotFound, "d", "i", "s");
    EXPECT_TRUE(reporter.boolError);
    ErrorReporter failing(boxes);
    failing.log() = std::make_unique<FailingLog>();
    EXPECT_NO_THROW(failing.ErrorMessages(err::kPathNotFound, "d", "i", "s"));
    EXPECT_TRUE(failing.boolError);
    EXPECT_TRUE(boxes.shown.empty());
}

// ---------------------------------------------------------------------------------------
// The trap convention

TEST_F(ReporterTest, TrapGoesOnAfterAFailedStepAndKeepsTheOldValue) {
    ErrorTrap trap(reporter, "Error in Form_Load sub or a sub-function therein.");
    std::string caption = "old";
    std::vector<int> ran;
    EXPECT_TRUE(trap.step([&] { ran.push_back(1); }));
    EXPECT_FALSE(trap.assign(caption, [&]() -> std::string {
        ran.push_back(2);
        throw Failure(err::kPathNotFound, "Path not found: /x");
    }));
    EXPECT_EQ(caption, "old");
    trap.setSubject("Inbox");
    EXPECT_FALSE(trap.step([&] {
        ran.push_back(3);
        throw Failure(err::kFileNotFound, "File not found: /y");
        ran.push_back(99);
    }));
    EXPECT_TRUE(trap.assign(caption, [&] { return std::string("Tallyvane 2.81"); }));
    EXPECT_EQ(caption, "Tallyvane 2.81");
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(logText(), "Error Description: Path not found: /x\r\nError Nbr: 76\r\n"
                         "Error Info: Error in Form_Load sub or a sub-function therein.\r\n"
                         "Error Subject: N/A.\r\n"
                         "Error Description: File not found: /y\r\nError Nbr: 53\r\n"
                         "Error Info: Error in Form_Load sub or a sub-function therein.\r\n"
                         "Error Subject: Inbox\r\n");
}

TEST_F(ReporterTest, OtherExceptionsAreTheUnspecifiedFailure) {
    ErrorTrap trap(reporter, "info");
    EXPECT_FALSE(trap.step([] { throw std::out_of_range("vector index 7"); }));
    EXPECT_FALSE(trap.step([] { throw std::bad_alloc(); }));
    EXPECT_FALSE(trap.step([] { throw 42; }));
    const std::string text = logText();
    const std::string unspecified = "Error Nbr: " + std::to_string(err::kUnspecified) + "\r\n";
    for (const char* description :
         {"vector index 7", "Out of memory (std::bad_alloc)", "Unknown failure"}) {
        EXPECT_NE(
            text.find("Error Description: " + std::string(description) + "\r\n" + unspecified),
            std::string::npos)
            << text;
    }
}

// The failing path travels through the trap (the inner step's Contacts.rtf shows the
// message box), and a failure inside the reporter goes to the caller's trap.
TEST_F(ReporterTest, AFailureWhileReportingGoesToTheCallersTrap) {
    ErrorTrap outer(reporter, "outer info");
    ErrorTrap inner(reporter, "inner info");
    bool innerWentOn = false;
    boxes.throwOnce = true;
    EXPECT_FALSE(outer.step([&] {
        inner.step([] { throw Failure(err::kPermissionDenied, "held", "/a/Contacts.rtf"); });
        innerWentOn = true;
    }));
    EXPECT_FALSE(innerWentOn);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(logText(), "Error Description: Object variable not set\r\nError Nbr: 91\r\n"
                         "Error Info: outer info\r\nError Subject: N/A.\r\n");
}

} // namespace
} // namespace tvn::archive
