#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/text_files.h"
#include "store/memory/memory_store.h"
#include "tests/archive/temp_folder.h"
#include "tests/support/expect_failure.h"

namespace tvn::archive {
namespace {

namespace fs = std::filesystem;
using testing::readFileText;
using testing::TempFolder;

// Expects body to fail with number and, when a path is given, to name it (every failure of
// the layer does); number 0 expects no failure at all.
void expectFailureAt(std::int32_t number, const std::function<void()>& body,
                     const fs::path& path = {}) {
    if (number == 0) {
        body();
        return;
    }
    const std::string description = test_support::expectFailure(number, body);
    if (!path.empty()) {
        EXPECT_NE(description.find(path.string()), std::string::npos) << description;
    }
}

// Every host outcome of the file operations, mapped to its number, in one arranged folder.
TEST(FileSystem, HostOutcomesAreMappedToNumbers) {
    TempFolder temp;
    FileSystem fso;
    fs::create_directory(temp / "dir");
    testing::writeBytes(temp / "file", "kept");
    using Op = std::function<void(const fs::path&)>;
    const Op folder = [&](const fs::path& p) { fso.CreateFolder(p); };
    const Op create = [&](const fs::path& p) { fso.CreateTextFile(p, true); };
    const Op openW = [&](const fs::path& p) { fso.OpenTextFile(p, kForWriting); };
    const std::tuple<Op, std::string, std::int32_t> cases[] = {
        {folder, "new", 0},
        {folder, "absent/Inbox", err::kPathNotFound},
        {folder, "file/Inbox", err::kPathNotFound},
        {folder, "dir", err::kFileExists},
        {folder, "file", err::kFileExists},
        {folder, std::string(300, 'n'), err::kPathFileAccess},
        {folder, std::string("In\0box", 6), err::kPathFileAccess},
        {folder, "", err::kPathFileAccess},
        {create, "absent/a.rtf", err::kPathNotFound},
        // A directory standing where the file should go cannot be opened for writing.
        {create, "dir", err::kPermissionDenied},
        {create, "", err::kPathFileAccess},
        {[&](const fs::path& p) { fso.CreateTextFile(p, false); }, "file", err::kFileExists},
        {openW, "absent.rtf", err::kFileNotFound},
        {openW, "absent/a.rtf", err::kPathNotFound},
        {[&](const fs::path& p) { fso.OpenTextFile(p, 1); }, "file", err::kInvalidProcedureCall},
    };
    for (const auto& [op, name, number] : cases) {
        const fs::path path = name.empty() ? fs::path() : temp / name;
        SCOPED_TRACE(path.string());
        expectFailureAt(
            number, [&] { op(path); }, number ? path : fs::path());
    }
    // Refused even to root, as a file another program holds open is.
    if (const fs::path f = "/sys/kernel/notes"; fs::exists(f)) {
        expectFailureAt(
            err::kPermissionDenied, [&] { fso.CreateTextFile(f, true); }, f);
    }
    EXPECT_EQ(readFileText(temp / "file"), "kept");
    EXPECT_TRUE(fso.FolderExists(temp / "new") && !fso.FileExists(temp / "new") &&
                fso.FileExists(temp / "file") && !fso.FolderExists(temp / "file"));
}

// Item files: created at once, replacing an older content, then written once at Close
// (text beyond kMaxHeldBytes early, so that memory stays bounded). OpenTextFile empties
// the file when it opens.
TEST(TextStream, BufferingLineEndsAndClosing) {
    TempFolder temp;
    FileSystem fso;
    const fs::path file = temp / "item.rtf";
    testing::writeBytes(file, "an older and much longer content");
    auto stream = fso.CreateTextFile(file, true, Buffering::UntilClose);
    stream->WriteLine("one");
    stream->WriteBlankLines(2);
    stream->WriteLine("two\nbare LF");
    EXPECT_EQ(fs::file_size(file), 0u);
    stream->Close();
    stream->Close();
    EXPECT_EQ(readFileText(file), "one\r\n\r\n\r\ntwo\nbare LF\r\n");
    expectFailureAt(kBadFileMode, [&] { stream->WriteLine("late"); });
    auto opened = fso.OpenTextFile(file, kForWriting);
    EXPECT_EQ(readFileText(file), "");
    opened->WriteLine("kept");
    opened.reset(); // destruction writes what is held
    EXPECT_EQ(readFileText(file), "kept\r\n");

    auto big = fso.CreateTextFile(temp / "big.rtf", true);
    big->WriteLine(std::string(kMaxHeldBytes, 'x'));
    big->WriteLine("y");
    EXPECT_GT(fs::file_size(temp / "big.rtf"), 0u);
    expectFailureAt(err::kInvalidProcedureCall, [&] { big->WriteBlankLines(-1); });
    big->Close();
    EXPECT_EQ(fs::file_size(temp / "big.rtf"), kMaxHeldBytes + 5);
}

// An attachment's bytes reach the file whole, replacing it; the failures of the file and
// of the attachment are thrown with the file's path or the attachment's own number.
TEST(FileSystem, SaveAttachmentAndWritesFailWithTheirNumbers) {
    TempFolder dir;
    FileSystem fso;
    std::string big(3'000'000, 'x');
    big.back() = 'y';
    store::memory::MemoryAttachment attachment("a.bin", big);
    store::memory::MemoryAttachment small("a.bin", "short");
    fso.SaveAttachment(attachment, dir / "a.bin");
    EXPECT_EQ(readFileText(dir / "a.bin"), big);
    fso.SaveAttachment(small, dir / "a.bin");
    EXPECT_EQ(readFileText(dir / "a.bin"), "short");
    const auto missing = dir / "missing";
    expectFailureAt(
        err::kPathNotFound, [&] { fso.SaveAttachment(small, missing / "a"); }, missing / "a");
    expectFailureAt(
        err::kPermissionDenied, [&] { fso.SaveAttachment(small, dir.path()); }, dir.path());
    store::memory::MemoryAttachment damaged("d.bin", "bytes");
    damaged.failSave(Failure(err::kCorruptData, "damaged"));
    expectFailureAt(err::kCorruptData, [&] { fso.SaveAttachment(damaged, dir / "d.bin"); });
    EXPECT_FALSE(fs::exists(dir / "d.bin")) << "nothing arrived: no empty file";

    const fs::path full = "/dev/full";
    if (fs::exists(full)) {
        expectFailureAt(
            err::kDiskFull, [&] { fso.SaveAttachment(attachment, full); }, full);
        auto stream = fso.CreateTextFile(full, true, Buffering::UntilClose);
        stream->WriteLine("text");
        expectFailureAt(
            err::kDiskFull, [&] { stream->Close(); }, full);
        stream->Close(); // the failed Close closed the stream
    }
}

TEST(TextEncoding, EncodeTextGivesTheBytesOfEachEncoding) {
    // Valid UTF-8 is written unchanged in UTF-8; the code page holds what it can, one "?"
    // per character it cannot; undefined bytes round-trip as C1. Malformed UTF-8 (stray,
    // truncated, overlong, surrogate, beyond Unicode) is one "?" per byte in both.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"Re: plans\t1.5\r\n", "Re: plans\t1.5\r\n", ""},
        {"5 \xE2\x82\xAC \xC2\xBD \xC3\xA9 \xC3\xBF \xC2\xA0", "5 \x80 \xBD \xE9 \xFF \xA0", ""},
        {"\xE2\x80\x9Cq\xE2\x80\x9D \xE2\x80\x93 \xC5\xB8 \xE2\x84\xA2", "\x93q\x94 \x96 \x9F \x99",
         ""},
        {"\xC2\x81\xC2\x9D\xC2\x80", "\x81\x9D?", ""},
        {"a\xE4\xB8\xAD\xE6\x96\x87z\xF0\x9F\x98\x80", "a??z?", ""},
        {"a\xFF\x80z", "a??z", "a??z"},
        {"\xE2\x82z\xE2\x82", "??z??", "??z??"},
        {"\xC0\xAF\xE0\x80\xAF", "?????", "?????"},
        {"\xED\xA0\x80", "???", "???"},
        {"\xF4\x90\x80\x80", "????", "????"},
    };
    for (const auto& [input, cp1252, utf8] : cases) {
        EXPECT_EQ(encodeText(input, TextEncoding::Utf8), utf8.empty() ? input : utf8);
        EXPECT_EQ(encodeText(input, TextEncoding::Windows1252), cp1252);
    }
    TempFolder temp;
    auto stream = FileSystem(TextEncoding::Windows1252).CreateTextFile(temp / "a.rtf", true);
    stream->WriteLine("5 \xE2\x82\xAC \xE4\xB8\xAD");
    stream->Close();
    EXPECT_EQ(readFileText(temp / "a.rtf"), "5 \x80 ?\r\n");
}

} // namespace
} // namespace tvn::archive
