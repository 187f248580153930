#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "archive/text_files.h"
#include "tests/archive/temp_folder.h"

namespace tvn::archive {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

// The number of the Failure body throws, or 0 when it throws none.
std::int32_t failureNumber(const std::function<void()>& body) {
    try {
        body();
    } catch (const Failure& failure) {
        return failure.number();
    }
    return 0;
}

// Every failure of the layer names its path in the description and in path().
void expectFailure(const std::function<void()>& body, std::int32_t number, const fs::path& path) {
    try {
        body();
        ADD_FAILURE() << "no failure, expected " << number;
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), number) << failure.description();
        EXPECT_EQ(failure.path(), path.string());
        EXPECT_NE(failure.description().find(path.string()), std::string::npos)
            << failure.description();
    }
}

// ---------------------------------------------------------------------------------------
// Directories

struct FolderCase {
    const char* name;
    // Prepares the temporary folder and returns the path to create.
    std::function<fs::path(const TempFolder&)> arrange;
    std::int32_t expected; // 0: created
};

class CreateFolderCase : public ::testing::TestWithParam<FolderCase> {};

TEST_P(CreateFolderCase, MapsTheHostOutcome) {
    TempFolder temp;
    FileSystem fso;
    const fs::path target = GetParam().arrange(temp);
    if (GetParam().expected == 0) {
        fso.CreateFolder(target);
        EXPECT_TRUE(fso.FolderExists(target));
    } else {
        expectFailure([&] { fso.CreateFolder(target); }, GetParam().expected, target);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, CreateFolderCase,
    ::testing::Values(
        FolderCase{"OneLevelUnderAnExistingParent",
                   [](const TempFolder& tmp) { return tmp / "Inbox"; }, 0},
        FolderCase{"NameWithColonAndSpacesIsValidHere",
                   [](const TempFolder& tmp) { return tmp / "Re: plans . notes"; }, 0},
        FolderCase{"MissingParentIsPathNotFound",
                   [](const TempFolder& tmp) { return tmp / "absent" / "Inbox"; },
                   err::kPathNotFound},
        FolderCase{"ParentIsAFileIsPathNotFound",
                   [](const TempFolder& tmp) {
                       writeBytes(tmp / "file", "x");
                       return tmp / "file" / "Inbox";
                   },
                   err::kPathNotFound},
        FolderCase{"ExistingFolderIsFileExists",
                   [](const TempFolder& tmp) {
                       fs::create_directory(tmp / "Inbox");
                       return tmp / "Inbox";
                   },
                   err::kFileExists},
        FolderCase{"ExistingFileIsFileExists",
                   [](const TempFolder& tmp) {
                       writeBytes(tmp / "Inbox", "x");
                       return tmp / "Inbox";
                   },
                   err::kFileExists},
        FolderCase{"OverlongNameIsPathFileAccess",
                   [](const TempFolder& tmp) { return tmp / std::string(300, 'n'); },
                   err::kPathFileAccess},
        FolderCase{"EmbeddedNulIsPathFileAccess",
                   [](const TempFolder& tmp) { return tmp / std::string("In\0box", 6); },
                   err::kPathFileAccess}),
    [](const auto& testParam) { return std::string(testParam.param.name); });

TEST(FileSystem, EmptyNameIsRefusedNotSentToTheHost) {
    FileSystem fso;
    EXPECT_EQ(failureNumber([&] { fso.CreateFolder(""); }), err::kPathFileAccess);
    EXPECT_EQ(failureNumber([&] { fso.CreateTextFile("", true); }), err::kPathFileAccess);
    EXPECT_FALSE(fso.FolderExists(""));
    EXPECT_FALSE(fso.FileExists(""));
}

TEST(FileSystem, ExistenceTestsTellFilesFromFolders) {
    TempFolder temp;
    FileSystem fso;
    fs::create_directory(temp / "dir");
    writeBytes(temp / "file.rtf", "x");
    EXPECT_TRUE(fso.FolderExists(temp / "dir"));
    EXPECT_FALSE(fso.FileExists(temp / "dir"));
    EXPECT_TRUE(fso.FileExists(temp / "file.rtf"));
    EXPECT_FALSE(fso.FolderExists(temp / "file.rtf"));
    EXPECT_FALSE(fso.FileExists(temp / "absent"));
    EXPECT_FALSE(fso.FolderExists(temp / "absent"));
    EXPECT_FALSE(fso.FileExists(temp / "file.rtf" / "below"));
}

// ---------------------------------------------------------------------------------------
// Creating and opening files

TEST(FileSystem, CreateTextFileWithOverwriteReplacesTheOldContent) {
    TempFolder temp;
    FileSystem fso;
    const fs::path file = temp / "item.rtf";
    writeBytes(file, "an older and much longer content");
    auto stream = fso.CreateTextFile(file, true);
    stream->WriteLine("new");
    stream->Close();
    EXPECT_EQ(readBytes(file), "new\r\n");
}

TEST(FileSystem, CreateTextFileWithoutOverwriteKeepsAnExistingFile) {
    TempFolder temp;
    FileSystem fso;
    const fs::path file = temp / "item.rtf";
    writeBytes(file, "kept");
    expectFailure([&] { fso.CreateTextFile(file, false); }, err::kFileExists, file);
    EXPECT_EQ(readBytes(file), "kept");
}

TEST(FileSystem, CreateTextFileFailuresAreMapped) {
    TempFolder temp;
    FileSystem fso;
    fs::create_directory(temp / "dir");
    expectFailure([&] { fso.CreateTextFile(temp / "absent" / "a.rtf", true); }, err::kPathNotFound,
                  temp / "absent" / "a.rtf");
    // A directory standing where the file should go cannot be opened for writing.
    expectFailure([&] { fso.CreateTextFile(temp / "dir", true); }, err::kPermissionDenied,
                  temp / "dir");
    expectFailure([&] { fso.CreateTextFile(temp / std::string(300, 'f'), true); },
                  err::kPathFileAccess, temp / std::string(300, 'f'));
}

TEST(FileSystem, OpenTextFileForWritingReplacesTheContentAtOnce) {
    TempFolder temp;
    FileSystem fso;
    const fs::path file = temp / "item.rtf";
    writeBytes(file, "an older and much longer content");
    auto stream = fso.OpenTextFile(file, kForWriting);
    // Emptied when opened, so that a failure surfaces at the open, not at Close.
    EXPECT_EQ(readBytes(file), "");
    stream->WriteLine("short");
    stream->Close();
    EXPECT_EQ(readBytes(file), "short\r\n");
}

TEST(FileSystem, OpenTextFileFailuresAreMapped) {
    TempFolder temp;
    FileSystem fso;
    writeBytes(temp / "present.rtf", "x");
    expectFailure([&] { fso.OpenTextFile(temp / "absent.rtf", kForWriting); }, err::kFileNotFound,
                  temp / "absent.rtf");
    expectFailure([&] { fso.OpenTextFile(temp / "absent" / "a.rtf", kForWriting); },
                  err::kPathNotFound, temp / "absent" / "a.rtf");
    for (const int mode : {1, 8, 0, -1}) {
        expectFailure([&] { fso.OpenTextFile(temp / "present.rtf", mode); },
                      err::kInvalidProcedureCall, temp / "present.rtf");
    }
    EXPECT_EQ(readBytes(temp / "present.rtf"), "x");
    EXPECT_FALSE(fso.FileExists(temp / "absent.rtf"));
}

// Runs body as an unprivileged user when the tests run as root (root writes through
// read-only modes), in a child process so that the test process keeps its rights.
// Returns the Failure number the body threw, 0 for none, -1 when it cannot run.
int numberAsUnprivilegedUser(const std::function<void()>& body) {
    if (::geteuid() != 0) {
        return failureNumber(body);
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0) {
            ::_exit(255);
        }
        const std::int32_t number = failureNumber(body);
        ::_exit(number >= 0 && number < 255 ? number : 254);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST(FileSystem, ReadOnlyDirectoryIsPermissionDenied) {
    TempFolder temp;
    FileSystem fso;
    const fs::path locked = temp / "locked";
    fs::create_directory(locked);
    writeBytes(locked / "old.rtf", "x");
    fs::permissions(locked / "old.rtf",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    // The unprivileged user must be able to reach the locked directory.
    fs::permissions(temp.path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);

    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"CreateFolder", [&] { fso.CreateFolder(locked / "Inbox"); }},
        {"CreateTextFile", [&] { fso.CreateTextFile(locked / "Contacts.rtf", true); }},
        {"OpenTextFile of a read-only file",
         [&] { fso.OpenTextFile(locked / "old.rtf", kForWriting); }},
    };
    for (const auto& [what, body] : cases) {
        const int number = numberAsUnprivilegedUser(body);
        if (number < 0) {
            GTEST_SKIP() << "cannot drop root rights here to test permissions";
        }
        EXPECT_EQ(number, err::kPermissionDenied) << what;
    }
    EXPECT_EQ(readBytes(locked / "old.rtf"), "x");
}

// ---------------------------------------------------------------------------------------
// Streams

TEST(TextStream, LinesEndInCrLfAndInnerLineBreaksStayAsGiven) {
    TempFolder temp;
    FileSystem fso(TextEncoding::Utf8);
    const fs::path file = temp / "a.rtf";
    auto stream = fso.CreateTextFile(file, true);
    stream->WriteLine("From: Jane");
    stream->WriteLine("");
    stream->WriteLine("body\nwith a bare LF\r\nand CR LF");
    stream->Close();
    EXPECT_EQ(readBytes(file), "From: Jane\r\n\r\nbody\nwith a bare LF\r\nand CR LF\r\n");
}

TEST(TextStream, WriteBlankLinesWritesThatManyLineEnds) {
    struct Case {
        std::int32_t count;
        const char* expected;
    };
    for (const Case c :
         {Case{0, "a\r\nb\r\n"}, Case{1, "a\r\n\r\nb\r\n"}, Case{3, "a\r\n\r\n\r\n\r\nb\r\n"}}) {
        TempFolder temp;
        FileSystem fso;
        auto stream = fso.CreateTextFile(temp / "a.rtf", true);
        stream->WriteLine("a");
        stream->WriteBlankLines(c.count);
        stream->WriteLine("b");
        stream->Close();
        EXPECT_EQ(readBytes(temp / "a.rtf"), c.expected) << c.count;
    }
}

TEST(TextStream, NegativeBlankLineCountIsInvalid) {
    TempFolder temp;
    FileSystem fso;
    auto stream = fso.CreateTextFile(temp / "a.rtf", true);
    EXPECT_EQ(failureNumber([&] { stream->WriteBlankLines(-1); }), err::kInvalidProcedureCall);
}

TEST(TextStream, UntilCloseHoldsEverythingForOneWriteAtClose) {
    TempFolder temp;
    FileSystem fso;
    const fs::path file = temp / "item.rtf";
    auto stream = fso.CreateTextFile(file, true, Buffering::UntilClose);
    // Created at once so that a failure to create surfaces here, not at Close.
    EXPECT_TRUE(fso.FileExists(file));
    stream->WriteLine("one");
    stream->WriteBlankLines(2);
    stream->WriteLine("two");
    EXPECT_EQ(fs::file_size(file), 0u);
    stream->Close();
    EXPECT_EQ(readBytes(file), "one\r\n\r\n\r\ntwo\r\n");
}

TEST(TextStream, EveryLineReachesTheFileAtOnce) {
    TempFolder temp;
    FileSystem fso;
    const fs::path file = temp / "log.txt";
    auto stream = fso.CreateTextFile(file, true, Buffering::EveryLine);
    stream->WriteLine("first");
    EXPECT_EQ(readBytes(file), "first\r\n");
    stream->WriteBlankLines(2);
    EXPECT_EQ(readBytes(file), "first\r\n\r\n\r\n");
    stream->WriteLine("second");
    EXPECT_EQ(readBytes(file), "first\r\n\r\n\r\nsecond\r\n");
    stream->Close();
}

TEST(TextStream, HugeTextIsWrittenOutBeforeCloseToBoundMemory) {
    TempFolder temp;
    FileSystem fso;
    const fs::path file = temp / "big.rtf";
    auto stream = fso.CreateTextFile(file, true);
    const std::string line(kMaxHeldBytes / 2, 'x');
    stream->WriteLine(line);
    stream->WriteLine(line);
    stream->WriteLine(line);
    EXPECT_GT(fs::file_size(file), 0u);
    stream->Close();
    EXPECT_EQ(fs::file_size(file), 3 * (line.size() + 2));
}

TEST(TextStream, DestroyedWithoutCloseStillWritesItsText) {
    TempFolder temp;
    FileSystem fso;
    const fs::path file = temp / "item.rtf";
    {
        auto stream = fso.CreateTextFile(file, true);
        stream->WriteLine("kept");
    }
    EXPECT_EQ(readBytes(file), "kept\r\n");
}

TEST(TextStream, AfterCloseSecondCloseIsHarmlessAndWritesFail) {
    TempFolder temp;
    FileSystem fso;
    auto stream = fso.CreateTextFile(temp / "a.rtf", true);
    stream->WriteLine("a");
    stream->Close();
    stream->Close();
    EXPECT_EQ(failureNumber([&] { stream->WriteLine("late"); }), kBadFileMode);
    EXPECT_EQ(failureNumber([&] { stream->WriteBlankLines(1); }), kBadFileMode);
    EXPECT_EQ(readBytes(temp / "a.rtf"), "a\r\n");
}

TEST(TextStream, DiskFullIsReportedWithThePath) {
    const fs::path full = "/dev/full";
    if (!fs::exists(full)) {
        GTEST_SKIP() << "no /dev/full on this system";
    }
    FileSystem fso;
    {
        auto stream = fso.CreateTextFile(full, true, Buffering::UntilClose);
        stream->WriteLine("text");
        expectFailure([&] { stream->Close(); }, err::kDiskFull, full);
        // The failed Close closed the stream: nothing is left to fail again.
        stream->Close();
    }
    {
        auto log = fso.CreateTextFile(full, true, Buffering::EveryLine);
        expectFailure([&] { log->WriteLine("entry"); }, err::kDiskFull, full);
        log->Close();
    }
}

// ---------------------------------------------------------------------------------------
// Encodings

TEST(TextEncoding, DefaultIsUtf8OffWindows) {
#ifdef _WIN32
    EXPECT_EQ(defaultTextEncoding(), TextEncoding::Windows1252);
#else
    EXPECT_EQ(defaultTextEncoding(), TextEncoding::Utf8);
#endif
    EXPECT_EQ(FileSystem().encoding(), defaultTextEncoding());
}

struct EncodingCase {
    const char* name;
    std::string input;
    std::string utf8;
    std::string cp1252;
};

class EncodeText : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(EncodeText, GivesTheBytesOfTheEncoding) {
    EXPECT_EQ(encodeText(GetParam().input, TextEncoding::Utf8), GetParam().utf8);
    EXPECT_EQ(encodeText(GetParam().input, TextEncoding::Windows1252), GetParam().cp1252);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, EncodeText,
    ::testing::Values(
        EncodingCase{"Ascii", "Re: plans\t1.5\r\n", "Re: plans\t1.5\r\n", "Re: plans\t1.5\r\n"},
        EncodingCase{"EuroAndHalf", "5 \xE2\x82\xAC \xC2\xBD", "5 \xE2\x82\xAC \xC2\xBD",
                     "5 \x80 \xBD"},
        EncodingCase{"Latin1Range", "\xC3\xA9t\xC3\xA9 \xC3\xBF \xC2\xA0",
                     "\xC3\xA9t\xC3\xA9 \xC3\xBF \xC2\xA0", "\xE9t\xE9 \xFF \xA0"},
        EncodingCase{"HighRangeOfTheCodePage",
                     "\xE2\x80\x9Cq\xE2\x80\x9D \xE2\x80\x93 \xC5\xB8 \xE2\x84\xA2",
                     "\xE2\x80\x9Cq\xE2\x80\x9D \xE2\x80\x93 \xC5\xB8 \xE2\x84\xA2",
                     "\x93q\x94 \x96 \x9F \x99"},
        EncodingCase{"UndefinedBytesRoundTripAsC1", "\xC2\x81\xC2\x9D\xC2\x80",
                     "\xC2\x81\xC2\x9D\xC2\x80", "\x81\x9D?"},
        EncodingCase{"CjkIsOneQuestionMarkPerCharacter", "a\xE4\xB8\xAD\xE6\x96\x87z",
                     "a\xE4\xB8\xAD\xE6\x96\x87z", "a??z"},
        EncodingCase{"AstralCharacterIsOneQuestionMark", "\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80!",
                     "?!"},
        EncodingCase{"StrayBytesEachBecomeQuestionMarks", "a\xFF\x80z", "a??z", "a??z"},
        EncodingCase{"TruncatedSequenceAtTheEnd", "a\xE2\x82", "a??", "a??"},
        EncodingCase{"TruncatedSequenceBeforeAscii", "\xE2\x82z", "??z", "??z"},
        EncodingCase{"OverlongForm", "\xC0\xAF\xE0\x80\xAF", "?????", "?????"},
        EncodingCase{"Surrogate", "\xED\xA0\x80", "???", "???"},
        EncodingCase{"BeyondUnicode", "\xF4\x90\x80\x80", "????", "????"},
        EncodingCase{"EmbeddedNulKept", std::string("a\0b", 3), std::string("a\0b", 3),
                     std::string("a\0b", 3)}),
    [](const auto& testParam) { return std::string(testParam.param.name); });

TEST(TextEncoding, NonAsciiIsFoundAtEveryOffsetOfTheWordScan) {
    for (std::size_t at = 0; at < 20; ++at) {
        const std::string input = std::string(at, 'a') + "\xC2\xBD" + std::string(19 - at, 'b');
        const std::string expected = std::string(at, 'a') + "\xBD" + std::string(19 - at, 'b');
        EXPECT_EQ(encodeText(input, TextEncoding::Windows1252), expected) << at;
        EXPECT_EQ(encodeText(input, TextEncoding::Utf8), input) << at;
        const std::string stray = std::string(at, 'a') + "\xFF" + std::string(19 - at, 'b');
        EXPECT_EQ(encodeText(stray, TextEncoding::Utf8),
                  std::string(at, 'a') + "?" + std::string(19 - at, 'b'))
            << at;
    }
}

// Any bytes at all: the UTF-8 output is valid UTF-8 (encoding it again changes nothing) and
// the code-page output has one byte per character or malformed byte, never more.
TEST(TextEncoding, ArbitraryBytesGiveValidOutput) {
    std::mt19937 random(20031105);
    std::uniform_int_distribution<int> length(0, 64);
    // Biased towards the bytes that begin and continue sequences.
    const std::string alphabet =
        std::string("aZ\r\n\x7F", 5) + "\x80\x8F\xBF\xC0\xC2\xDF\xE0\xED\xEF\xF0\xF4\xF5\xFF";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 20000; ++round) {
        std::string input(static_cast<std::size_t>(length(random)), ' ');
        for (char& c : input) {
            c = alphabet[pick(random)];
        }
        const std::string utf8 = encodeText(input, TextEncoding::Utf8);
        ASSERT_EQ(encodeText(utf8, TextEncoding::Utf8), utf8) << ::testing::PrintToString(input);
        ASSERT_LE(utf8.size(), input.size());
        const std::string ansi = encodeText(input, TextEncoding::Windows1252);
        ASSERT_LE(ansi.size(), input.size());
        // The code-page text has a character for each character of the UTF-8 text.
        std::size_t characters = 0;
        for (const char c : utf8) {
            characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
        }
        ASSERT_EQ(ansi.size(), characters) << ::testing::PrintToString(input);
    }
}

TEST(TextEncoding, StreamsWriteInTheirFileSystemsEncoding) {
    TempFolder temp;
    const std::string line = "Cost: 5 \xE2\x82\xAC, \xC2\xBD off \xE4\xB8\xAD";
    FileSystem ansi(TextEncoding::Windows1252);
    auto a = ansi.CreateTextFile(temp / "ansi.rtf", true);
    a->WriteLine(line);
    a->Close();
    EXPECT_EQ(readBytes(temp / "ansi.rtf"), "Cost: 5 \x80, \xBD off ?\r\n");

    FileSystem utf8(TextEncoding::Utf8);
    auto u = utf8.CreateTextFile(temp / "utf8.rtf", true);
    u->WriteLine(line);
    u->Close();
    EXPECT_EQ(readBytes(temp / "utf8.rtf"), line + "\r\n");
}

TEST(TextEncoding, PathsKeepTheirUtf8Bytes) {
    const std::string name = "/tmp/\xE2\x82\xAC \xC2\xBD/\xE4\xB8\xAD.rtf";
    EXPECT_EQ(pathToUtf8(pathFromUtf8(name)), name);
}

} // namespace
} // namespace tvn::archive
