#pragma once

// The text-file layer the archive writes through: directories made one level at a time,
// text files created or reopened for writing, and streams that write lines with CR LF
// ends in the chosen encoding. Failures of the host are mapped to the runtime error
// numbers (53, 58, 61, 70, 75, 76) and thrown as tvn::Failure whose description names
// the path.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "store/failure.h"

namespace tvn::archive {

enum class TextEncoding {
    Utf8,
    // A character the code page cannot hold is written as "?".
    Windows1252,
};

// The encoding item files and the log use unless the user chose another.
TextEncoding defaultTextEncoding();

// An open text file. Text handed in is UTF-8; it is converted when written.
class TextStream {
public:
    virtual ~TextStream() = default;
    virtual void WriteLine(std::string_view text) = 0;
    virtual void WriteBlankLines(std::int32_t count) = 0;
    // Writes what is still buffered and closes the file; a second Close does nothing.
    virtual void Close() = 0;
};

// How a stream hands its text to the file.
enum class Buffering {
    // Held until Close: one open, one write and one close per file (item files).
    UntilClose,
    // Written at every line-write (the error log, which must survive a crash).
    EveryLine,
};

class FileSystem {
public:
    explicit FileSystem(TextEncoding encoding = defaultTextEncoding());

    bool FolderExists(const std::filesystem::path& path) const;
    // Creates one directory whose parent exists; throws otherwise (58 when it exists).
    void CreateFolder(const std::filesystem::path& path) const;
    bool FileExists(const std::filesystem::path& path) const;
    // Creates the file, replacing one of that name when overwrite is true.
    std::unique_ptr<TextStream> CreateTextFile(const std::filesystem::path& path,
                                               bool overwrite,
                                               Buffering buffering = Buffering::UntilClose) const;
    // Mode 2: opens an existing file for writing from the start; throws 53 when absent.
    std::unique_ptr<TextStream> OpenTextFile(const std::filesystem::path& path, int mode,
                                             Buffering buffering = Buffering::UntilClose) const;

    TextEncoding encoding() const { return m_encoding; }

private:
    TextEncoding m_encoding;
};

} // namespace tvn::archive
