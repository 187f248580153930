#pragma once

// The text-file layer the archive writes through: directories made one level at a time,
// text files created or reopened for writing, and streams that write lines with CR LF
// ends in the chosen encoding. Failures of the host are mapped to the runtime error
// numbers (53, 58, 61, 70, 75, 76) and thrown as tvn::Failure whose description names
// the path.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "store/failure.h"
#include "store/object_model.h"

namespace tvn::archive {

enum class TextEncoding {
    Utf8,
    // A character the code page cannot hold is written as "?".
    Windows1252,
};

// The encoding item files and the log use unless the user chose another.
TextEncoding defaultTextEncoding();

// UTF-8 text as the bytes a file in the given encoding holds. One "?" stands for each
// character the encoding cannot hold and for each byte of malformed UTF-8, so the output
// is always valid in the target encoding. Nothing else changes (line ends stay as given).
std::string encodeText(std::string_view utf8, TextEncoding encoding);
// Appends the same bytes to out (the streams' hot path: no temporary per line).
void appendEncoded(std::string& out, std::string_view utf8, TextEncoding encoding);

// A path as UTF-8 text (descriptions, Failure::path()), and UTF-8 text as a path. On
// Linux and macOS the bytes are taken as they are.
std::string pathToUtf8(const std::filesystem::path& path);
std::filesystem::path pathFromUtf8(std::string_view utf8);

// Error 54: a write to a stream that has been closed.
inline constexpr std::int32_t kBadFileMode = 54;
// The one OpenTextFile mode the archive uses: write from the start, replacing the content.
inline constexpr int kForWriting = 2;

// An open text file. Text handed in is UTF-8; it is converted when written.
class TextStream {
public:
    virtual ~TextStream() = default;
    // Both throw 54 after Close, 5 for a negative count, and (EveryLine) the host's write
    // failure mapped to its number.
    virtual void WriteLine(std::string_view text) = 0;
    virtual void WriteBlankLines(std::int32_t count) = 0;
    // Writes what is still buffered and closes the file; a second Close does nothing. A
    // write failure throws (61 when the disk is full) and leaves the stream closed. A stream
    // destroyed without Close closes itself and reports nothing.
    virtual void Close() = 0;
};

// How a stream hands its text to the file.
enum class Buffering {
    // Held until Close: one open, one write and one close per file (item files). Text
    // beyond kMaxHeldBytes is written out early, so memory stays bounded for huge items.
    UntilClose,
    // Written at every line-write (the error log, which must survive a crash).
    EveryLine,
};

// The most a stream holds before writing it out.
inline constexpr std::size_t kMaxHeldBytes = std::size_t{4} << 20;

// The scripting host's file-system operations the archive relies on. Paths are taken as
// given (no case folding, no separator rewriting). Every failure is a tvn::Failure whose
// description names the path and whose path() is that path.
class FileSystem {
public:
    explicit FileSystem(TextEncoding encoding = defaultTextEncoding());

    bool FolderExists(const std::filesystem::path& path) const;
    // Creates one directory whose parent exists; throws otherwise: 76 when the parent is
    // missing, 58 when the name exists (as a directory or a file), 70 when not permitted,
    // 75 for a name the host refuses.
    void CreateFolder(const std::filesystem::path& path) const;
    bool FileExists(const std::filesystem::path& path) const;
    // Creates the file, replacing one of that name when overwrite is true (58 when it exists
    // and overwrite is false). The file exists, empty, when this returns.
    std::unique_ptr<TextStream> CreateTextFile(const std::filesystem::path& path, bool overwrite,
                                               Buffering buffering = Buffering::UntilClose) const;
    // Mode 2: opens an existing file for writing from the start, emptying it; throws 53
    // when absent (76 when its directory is), 5 for any other mode.
    std::unique_ptr<TextStream> OpenTextFile(const std::filesystem::path& path, int mode,
                                             Buffering buffering = Buffering::UntilClose) const;

    // Attachment.SaveAsFile: writes the attachment's content to path, replacing a file of
    // that name. The bytes pass through in pieces (a large attachment is never held whole);
    // a failure of the attachment or of the file is thrown. What arrived before a failure
    // stays on disk; a file that received nothing is removed.
    void SaveAttachment(const store::Attachment& attachment,
                        const std::filesystem::path& path) const;

    TextEncoding encoding() const { return m_encoding; }

private:
    TextEncoding m_encoding;
};

} // namespace tvn::archive
