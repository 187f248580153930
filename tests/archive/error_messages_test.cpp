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

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempFolder;

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
    void WriteLine(std::string_view) override {
        throw Failure(err::kDiskFull, "Disk full: log", "log");
    }
    void WriteBlankLines(std::int32_t) override {}
    void Close() override {}
};

// A reporter whose log is a real file, written at every line-write.
class ReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        logPath = temp / std::string(kErrorLogName);
        reporter.log() = fso.CreateTextFile(logPath, true, Buffering::EveryLine);
    }

    std::string logText() const { return readBytes(logPath); }

    TempFolder temp;
    FileSystem fso{TextEncoding::Utf8};
    fs::path logPath;
    RecordingBoxes boxes;
    ErrorReporter reporter{boxes};
};

TEST_F(ReporterTest, EntryIsFourCrLfLinesWrittenAtOnceWithNoBlankLineBetweenEntries) {
    reporter.ErrorMessages(err::kPathNotFound, "Path not found: /a/b.rtf",
                           " Error in SaveText function or a sub-function therein.", "N/A.");
    const std::string first = "Error Description: Path not found: /a/b.rtf\r\n"
                              "Error Nbr: 76\r\n"
                              "Error Info:  Error in SaveText function or a sub-function "
                              "therein.\r\n"
                              "Error Subject: N/A.\r\n";
    // Read before any Close: the entry is in the file as soon as it is reported.
    EXPECT_EQ(logText(), first);
    reporter.ErrorMessages(err::kFileNotFound, "File not found: x", "Info", "Subject");
    EXPECT_EQ(logText(), first + "Error Description: File not found: x\r\n"
                                 "Error Nbr: 53\r\n"
                                 "Error Info: Info\r\n"
                                 "Error Subject: Subject\r\n");
    EXPECT_TRUE(reporter.boolError);
    EXPECT_TRUE(reporter.boolPermission);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ReporterTest, MultiLineSubjectIsWrittenUnchanged) {
    const std::string subject = "From: Jane\r\nTo: Joe\nSubject: Plans";
    reporter.ErrorMessages(err::kPathFileAccess, "d", "i", subject);
    EXPECT_EQ(logText(), "Error Description: d\r\nError Nbr: 75\r\nError Info: i\r\n"
                         "Error Subject: From: Jane\r\nTo: Joe\nSubject: Plans\r\n");
}

TEST_F(ReporterTest, NumbersOutsideSixteenBitsStandWhole) {
    reporter.ErrorMessages(err::kCorruptData, "Corrupt item", "i", "s");
    reporter.ErrorMessages(100000, "Big", "i", "s");
    const std::string text = logText();
    EXPECT_NE(text.find("\r\nError Nbr: -2147221221\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nError Nbr: 100000\r\n"), std::string::npos) << text;
}

struct SpecialCase {
    const char* name;
    std::int32_t number;
    std::string failingPath;
    bool showsContactsMessages;
    bool logged;
    bool permission;
};

class SpecialNumbers : public ReporterTest, public ::testing::WithParamInterface<SpecialCase> {};

TEST_P(SpecialNumbers, ActAsTheirNumberAsks) {
    const SpecialCase& c = GetParam();
    reporter.ErrorMessages(c.number, "desc", "info", "subj", c.failingPath);
    const std::vector<Shown> contacts = {
        {"Please close the Contacts.rtf file before proceeding.", MessageIcon::Exclamation,
         "Tallyvane"},
        {"Click OK after you have closed the Contacts.rtf file!", MessageIcon::None, "Tallyvane"}};
    EXPECT_EQ(boxes.shown, c.showsContactsMessages ? contacts : std::vector<Shown>{});
    EXPECT_EQ(reporter.boolError, c.logged);
    EXPECT_EQ(reporter.boolPermission, c.permission);
    EXPECT_EQ(logText().empty(), !c.logged);
    if (c.logged) {
        EXPECT_NE(logText().find("Error Nbr: " + std::to_string(c.number) + "\r\n"),
                  std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reporter, SpecialNumbers,
    ::testing::Values(
        SpecialCase{"PermissionOnContactsTable", 70, "/arch/Contacts/Contacts.rtf", true, false,
                    true},
        SpecialCase{"PermissionOnBareContactsName", 70, "Contacts.rtf", true, false, true},
        SpecialCase{"PermissionOnAnItemFileIsLogged", 70, "/arch/Inbox/a.rtf", false, true, true},
        SpecialCase{"PermissionOnLookalikeNameIsLogged", 70, "/arch/MyContacts.rtf", false, true,
                    true},
        SpecialCase{"PermissionInsideAContactsRtfFolderIsLogged", 70, "/arch/Contacts.rtf/x", false,
                    true, true},
        SpecialCase{"PermissionWithoutPathIsLogged", 70, "", false, true, true},
        SpecialCase{"AccessRefusedClearsPermission", 287, "/arch/Contacts.rtf", false, false,
                    false},
        SpecialCase{"IgnoredNumberLeavesNoTrace", 32755, "", false, false, true},
        SpecialCase{"OrdinaryNumberOnContactsIsLogged", 76, "/arch/Contacts.rtf", false, true,
                    true}),
    [](const auto& testParam) { return std::string(testParam.param.name); });

TEST(ErrorReporter, WithoutALogTheEntryIsDroppedButCounted) {
    RecordingBoxes boxes;
    ErrorReporter reporter(boxes);
    reporter.ErrorMessages(err::kPathNotFound, "d", "i", "s");
    EXPECT_TRUE(reporter.boolError);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(ErrorReporter, ALogThatCannotBeWrittenDoesNotStopTheRun) {
    RecordingBoxes boxes;
    ErrorReporter reporter(boxes);
    reporter.log() = std::make_unique<FailingLog>();
    EXPECT_NO_THROW(reporter.ErrorMessages(err::kPathNotFound, "d", "i", "s"));
    EXPECT_TRUE(reporter.boolError);
}

TEST(ErrorReporter, FormatLogEntryHasNoFinalLineEnd) {
    EXPECT_EQ(formatLogEntry(-1, "", "", ""),
              "Error Description: \r\nError Nbr: -1\r\nError Info: \r\nError Subject: ");
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
                         "Error Subject: N/A.\r\n");
}

TEST_F(ReporterTest, TrapReportsWithTheCurrentSubject) {
    ErrorTrap trap(reporter, " Error in GetFolderInfo sub or a sub-function therein.");
    trap.setSubject("Inbox");
    trap.step([] { throw Failure(err::kCorruptData, "Corrupt"); });
    EXPECT_NE(logText().find("Error Subject: Inbox\r\n"), std::string::npos);
}

TEST_F(ReporterTest, OtherExceptionsAreTheUnspecifiedFailure) {
    ErrorTrap trap(reporter, "info");
    EXPECT_FALSE(trap.step([] { throw std::out_of_range("vector index 7"); }));
    EXPECT_FALSE(trap.step([] { throw std::bad_alloc(); }));
    EXPECT_FALSE(trap.step([] { throw 42; }));
    const std::string text = logText();
    const std::string unspecified = "Error Nbr: " + std::to_string(err::kUnspecified) + "\r\n";
    EXPECT_NE(text.find("Error Description: vector index 7\r\n" + unspecified), std::string::npos)
        << text;
    EXPECT_NE(text.find("Error Description: Out of memory (std::bad_alloc)\r\n" + unspecified),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Error Description: Unknown failure\r\n" + unspecified), std::string::npos)
        << text;
}

TEST_F(ReporterTest, ContactsTableHeldOpenShowsTheMessagesThroughTheTrap) {
    ErrorTrap trap(reporter, " Error in SaveContacts function or a sub-function therein.");
    EXPECT_FALSE(trap.step([] {
        throw Failure(err::kPermissionDenied, "Permission denied: /a/Contacts.rtf",
                      "/a/Contacts.rtf");
    }));
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_FALSE(reporter.boolError);
    EXPECT_EQ(logText(), "");
}

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
    EXPECT_EQ(logText(), "Error Description: Object variable not set\r\nError Nbr: 91\r\n"
                         "Error Info: outer info\r\nError Subject: N/A.\r\n");
}

} // namespace
} // namespace tvn::archive
