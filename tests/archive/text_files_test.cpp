#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "archive/text_files.h"
#include "store/memory/memory_store.h"
#include "tests/archive/temp_folder.h"

namespace tvn::archive {
namespace {

namespace fs = std::filesystem;
using testing::readFileText;
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
// Directories and files

enum class Op { Folder, Create, CreateNoOverwrite, Open };

// Every host outcome of the three operations, mapped to its number, in one arranged folder.
TEST(FileSystem, HostOutcomesAreMappedToNumbers) {
    struct Case {
        Op op;
        std::string name;      // "" stands for the empty path itself
        std::int32_t expected; // 0: succeeds
        int mode = kForWriting;
    };
    const std::string nul("In\0box", 6);
    const Case cases[] = {
        {Op::Folder, "new", 0},
        {Op::Folder, "absent/Inbox", err::kPathNotFound},
        {Op::Folder, "file/Inbox", err::kPathNotFound},
        {Op::Folder, "dir", err::kFileExists},
        {Op::Folder, "file", err::kFileExists},
        {Op::Folder, std::string(300, 'n'), err::kPathFileAccess},
        {Op::Folder, nul, err::kPathFileAccess},
        {Op::Folder, "", err::kPathFileAccess},
        {Op::Create, "absent/a.rtf", err::kPathNotFound},
        // A directory standing where the file should go cannot be opened for writing.
        {Op::Create, "dir", err::kPermissionDenied},
        {Op::Create, "", err::kPathFileAccess},
        {Op::CreateNoOverwrite, "file", err::kFileExists},
        {Op::Open, "absent.rtf", err::kFileNotFound},
        {Op::Open, "absent/a.rtf", err::kPathNotFound},
        {Op::Open, "file", err::kInvalidProcedureCall, 1},
        {Op::Open, "file", err::kInvalidProcedureCall, 8},
    };
    TempFolder temp;
    FileSystem fso;
    const std::function<void(const fs::path&, int)> operations[] = {
        [&](const fs::path& p, int) { fso.CreateFolder(p); },
        [&](const fs::path& p, int) { fso.CreateTextFile(p, true); },
        [&](const fs::path& p, int) { fso.CreateTextFile(p, false); },
        [&](const fs::path& p, int mode) { fso.OpenTextFile(p, mode); },
    };
    fs::create_directory(temp / "dir");
    writeBytes(temp / "file", "kept");
    for (const Case& c : cases) {
        const fs::path path = c.name.empty() ? fs::path() : temp / c.name;
        SCOPED_TRACE(path.string() + " mode " + std::to_string(c.mode));
        const auto run = [&] { operations[static_cast<int>(c.op)](path, c.mode); };
        if (c.expected == 0) {
            run();
        } else {
            expectFailure(run, c.expected, path);
        }
    }
    EXPECT_EQ(readFileText(temp / "file"), "kept");
    EXPECT_TRUE(fso.FolderExists(temp / "new"));
    EXPECT_FALSE(fso.FileExists(temp / "new"));
    EXPECT_TRUE(fso.FileExists(temp / "file"));
    EXPECT_FALSE(fso.FolderExists(temp / "file"));
    EXPECT_FALSE(fso.FileExists(temp / "absent.rtf"));
    EXPECT_FALSE(fso.FileExists(temp / "file" / "below"));
    EXPECT_FALSE(fso.FolderExists(""));
    EXPECT_FALSE(fso.FileExists(""));
}

// CreateTextFile with overwrite and OpenTextFile both replace the content; OpenTextFile
// empties the file when it opens, so that a failure surfaces there, not at Close.
TEST(FileSystem, CreateAndOpenReplaceTheOldContent) {
    TempFolder temp;
    FileSystem fso;
    const fs::path file = temp / "item.rtf";
    writeBytes(file, "an older and much longer content");
    auto created = fso.CreateTextFile(file, true);
    created->WriteLine("new");
    created->Close();
    EXPECT_EQ(readFileText(file), "new\r\n");
    auto opened = fso.OpenTextFile(file, kForWriting);
    EXPECT_EQ(readFileText(file), "");
    opened->WriteLine("o");
    opened->Close();
    EXPECT_EQ(readFileText(file), "o\r\n");
}

// Runs body as an unprivileged user when the tests run as root (root writes through
// read-only modes), in a child process so that the test process keeps its rights.
// Returns the Failure number the body threw, 0 for none, -1 when it cannot run.
int numberAsUnprivilegedUser(const std::function<void()>& body) {
    if (::geteuid() != 0) {
        return failureNumber(body);
    }
    const pid_t child = ::fork();
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
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == 255) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Every refused operation goes through one mapping; the file the archive most often finds
// refused is the contacts table.
TEST(FileSystem, ReadOnlyDirectoryIsPermissionDenied) {
    TempFolder temp;
    const fs::path locked = temp / "locked";
    fs::create_directory(locked);
    const auto readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const auto enterable = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    fs::permissions(locked, readable | enterable);
    // The unprivileged user must be able to reach the locked directory.
    fs::permissions(temp.path(), fs::perms::owner_all | readable | enterable);
    const int number = numberAsUnprivilegedUser(
        [&] { FileSystem().CreateTextFile(locked / "Contacts.rtf", true); });
    if (number < 0) {
        GTEST_SKIP() << "cannot drop root rights here to test permissions";
    }
    EXPECT_EQ(number, err::kPermissionDenied);
}

// ---------------------------------------------------------------------------------------
// Streams

// The log's buffering: every line-write reaches the file at once.
TEST(TextStream, EveryLineEndsInCrLfAndReachesTheFileAtOnce) {
    TempFolder temp;
    const fs::path file = temp / "log.txt";
    auto stream = FileSystem(TextEncoding::Utf8).CreateTextFile(file, true, Buffering::EveryLine);
    stream->WriteLine("From: Jane");
    EXPECT_EQ(readFileText(file), "From: Jane\r\n");
    stream->WriteBlankLines(0);
    stream->WriteLine("");
    stream->WriteBlankLines(3);
    EXPECT_EQ(readFileText(file), "From: Jane\r\n\r\n\r\n\r\n\r\n");
    stream->WriteLine("body\nwith a bare LF\r\nand CR LF");
    EXPECT_EQ(failureNumber([&] { stream->WriteBlankLines(-1); }), err::kInvalidProcedureCall);
    EXPECT_EQ(readFileText(file),
              "From: Jane\r\n\r\n\r\n\r\n\r\nbody\nwith a bare LF\r\nand CR LF\r\n");
    stream->Close();
}

// Item files: created at once (a failure to create surfaces at the create), then one write
// at Close; text beyond kMaxHeldBytes is written out early so that memory stays bounded.
TEST(TextStream, UntilCloseWritesOnceAtCloseUnlessTheTextIsHuge) {
    TempFolder temp;
    FileSystem fso;
    const fs::path file = temp / "item.rtf";
    auto stream = fso.CreateTextFile(file, true, Buffering::UntilClose);
    EXPECT_TRUE(fso.FileExists(file));
    stream->WriteLine("one");
    stream->WriteBlankLines(2);
    stream->WriteLine("two");
    EXPECT_EQ(fs::file_size(file), 0u);
    stream->Close();
    EXPECT_EQ(readFileText(file), "one\r\n\r\n\r\ntwo\r\n");

    auto big = fso.CreateTextFile(temp / "big.rtf", true);
    const std::string line(kMaxHeldBytes / 2, 'x');
    for (int i = 0; i < 3; ++i) {
        big->WriteLine(line);
    }
    EXPECT_GT(fs::file_size(temp / "big.rtf"), 0u);
    big->Close();
    EXPECT_EQ(fs::file_size(temp / "big.rtf"), 3 * (line.size() + 2));
}

TEST(TextStream, ClosingTwiceIsHarmlessLateWritesFailAndDestructionWrites) {
    TempFolder temp;
    FileSystem fso;
    auto stream = fso.CreateTextFile(temp / "a.rtf", true);
    stream->WriteLine("a");
    stream->Close();
    stream->Close();
    EXPECT_EQ(failureNumber([&] { stream->WriteLine("late"); }), kBadFileMode);
    EXPECT_EQ(failureNumber([&] { stream->WriteBlankLines(1); }), kBadFileMode);
    EXPECT_EQ(readFileText(temp / "a.rtf"), "a\r\n");
    fso.CreateTextFile(temp / "b.rtf", true)->WriteLine("kept");
    EXPECT_EQ(readFileText(temp / "b.rtf"), "kept\r\n");
}

TEST(TextStream, DiskFullIsReportedWithThePath) {
    const fs::path full = "/dev/full";
    if (!fs::exists(full)) {
        GTEST_SKIP() << "no /dev/full on this system";
    }
    FileSystem fso;
    auto stream = fso.CreateTextFile(full, true, Buffering::UntilClose);
    stream->WriteLine("text");
    expectFailure([&] { stream->Close(); }, err::kDiskFull, full);
    // The failed Close closed the stream: nothing is left to fail again.
    stream->Close();
    auto log = fso.CreateTextFile(full, true, Buffering::EveryLine);
    expectFailure([&] { log->WriteLine("entry"); }, err::kDiskFull, full);
    log->Close();
}

// An attachment's bytes reach the file whole; the failures of the file and of the
// attachment are thrown with the file's path or the attachment's own number.
TEST(FileSystem, SaveAttachmentWritesItsBytesOrFails) {
    TempFolder dir;
    std::string big(3'000'000, 'x');
    big[2'999'999] = 'y';
    store::memory::MemoryAttachment attachment("a.bin", big);
    FileSystem fso;
    fso.SaveAttachment(attachment, dir.path() / "a.bin");
    EXPECT_EQ(readFileText(dir.path() / "a.bin"), big);
    store::memory::MemoryAttachment small("a.bin", "short");
    fso.SaveAttachment(small, dir.path() / "a.bin"); // replaces
    EXPECT_EQ(readFileText(dir.path() / "a.bin"), "short");

    expectFailure([&] { fso.SaveAttachment(small, dir.path() / "missing" / "a.bin"); },
                  err::kPathNotFound, dir.path() / "missing" / "a.bin");
    expectFailure([&] { fso.SaveAttachment(small, dir.path()); }, err::kPermissionDenied,
                  dir.path());
    if (fs::exists("/dev/full")) {
        expectFailure([&] { fso.SaveAttachment(attachment, "/dev/full"); }, err::kDiskFull,
                      "/dev/full");
    }
    store::memory::MemoryAttachment damaged("d.bin", "bytes");
    damaged.failSave(Failure(err::kCorruptData, "damaged"));
    EXPECT_EQ(failureNumber([&] { fso.SaveAttachment(damaged, dir.path() / "d.bin"); }),
              err::kCorruptData);
    EXPECT_FALSE(fs::exists(dir.path() / "d.bin")) << "nothing arrived: no empty file";
}

// ---------------------------------------------------------------------------------------
// Encodings

TEST(TextEncoding, EncodeTextGivesTheBytesOfEachEncoding) {
    // Valid UTF-8 is written unchanged in UTF-8; the code page holds what it can.
    const std::pair<std::string, std::string> valid[] = {
        {"Re: plans\t1.5\r\n", "Re: plans\t1.5\r\n"},
        {"5 \xE2\x82\xAC \xC2\xBD \xC3\xA9 \xC3\xBF \xC2\xA0", "5 \x80 \xBD \xE9 \xFF \xA0"},
        {"\xE2\x80\x9Cq\xE2\x80\x9D \xE2\x80\x93 \xC5\xB8 \xE2\x84\xA2",
         "\x93q\x94 \x96 \x9F \x99"},
        {"\xC2\x81\xC2\x9D\xC2\x80", "\x81\x9D?"},               // undefined bytes round-trip as C1
        {"a\xE4\xB8\xAD\xE6\x96\x87z\xF0\x9F\x98\x80", "a??z?"}, // one "?" per character
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& [input, cp1252] : valid) {
        EXPECT_EQ(encodeText(input, TextEncoding::Utf8), input);
        EXPECT_EQ(encodeText(input, TextEncoding::Windows1252), cp1252);
    }
    // Malformed UTF-8: one "?" per byte in both (stray, truncated, overlong, surrogate,
    // beyond Unicode).
    const std::pair<std::string, std::string> malformed[] = {
        {"a\xFF\x80z", "a??z"},  {"\xE2\x82z\xE2\x82", "??z??"}, {"\xC0\xAF\xE0\x80\xAF", "?????"},
        {"\xED\xA0\x80", "???"}, {"\xF4\x90\x80\x80", "????"},
    };
    for (const auto& [input, expected] : malformed) {
        EXPECT_EQ(encodeText(input, TextEncoding::Utf8), expected);
        EXPECT_EQ(encodeText(input, TextEncoding::Windows1252), expected);
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
    for (const auto& [encoding, expected] :
         {std::pair{TextEncoding::Windows1252, std::string("Cost: 5 \x80, \xBD off ?\r\n")},
          std::pair{TextEncoding::Utf8, line + "\r\n"}}) {
        auto stream = FileSystem(encoding).CreateTextFile(temp / "a.rtf", true);
        stream->WriteLine(line);
        stream->Close();
        EXPECT_EQ(readFileText(temp / "a.rtf"), expected);
    }
}

} // namespace
} // namespace tvn::archive
