#include "archive/text_files.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <fmt/format.h>

#include "store/text/code_page.h"
#include "store/text/utf.h"

namespace tvn::archive {

namespace fs = std::filesystem;

TextEncoding defaultTextEncoding() {
#ifdef _WIN32
    return TextEncoding::Windows1252;
#else
    return TextEncoding::Utf8;
#endif
}

// ---------------------------------------------------------------------------------------
// Encoding

void appendEncoded(std::string& out, std::string_view utf8, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8) {
        store::text::appendValidUtf8(out, utf8, "?");
    } else {
        store::text::appendWindows1252(out, utf8);
    }
}

std::string encodeText(std::string_view utf8, TextEncoding encoding) {
    std::string out;
    out.reserve(utf8.size());
    appendEncoded(out, utf8, encoding);
    return out;
}

std::string pathToUtf8(const fs::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.native();
#endif
}

fs::path pathFromUtf8(std::string_view utf8) {
#ifdef _WIN32
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return fs::path(std::string(utf8));
#endif
}

// ---------------------------------------------------------------------------------------
// Failures

namespace {

std::string_view runtimeText(std::int32_t number) {
    switch (number) {
    case err::kInvalidProcedureCall:
        return "Invalid procedure call or argument";
    case err::kFileNotFound:
        return "File not found";
    case kBadFileMode:
        return "Bad file mode";
    case err::kFileExists:
        return "File already exists";
    case err::kDiskFull:
        return "Disk full";
    case err::kPermissionDenied:
        return "Permission denied";
    case err::kPathNotFound:
        return "Path not found";
    default:
        return "Path/File access error";
    }
}

[[noreturn]] void fail(std::int32_t number, const fs::path& path, std::string_view detail = {}) {
    const std::string text = pathToUtf8(path);
    std::string description = fmt::format("{}: {}", runtimeText(number), text);
    if (!detail.empty()) {
        description += fmt::format(" ({})", detail);
    }
    throw Failure(number, std::move(description), text);
}

enum class Operation { MakeFolder, CreateFile, OpenExisting, Write };

bool parentIsFolder(const fs::path& path) {
    std::error_code ec;
    const fs::path parent = path.parent_path();
    return parent.empty() || fs::is_directory(parent, ec);
}

// Maps a host error to the runtime number a scripting host raises for it and throws.
[[noreturn]] void failHost(int errnoValue, const fs::path& path, Operation operation) {
    const std::error_code ec(errnoValue, std::generic_category());
#ifdef EDQUOT
    if (errnoValue == EDQUOT) {
        fail(err::kDiskFull, path);
    }
#endif
    if (ec == std::errc::no_such_file_or_directory) {
        // For an existing file that could not be found the directory decides: a present
        // directory means the file itself is missing.
        if (operation == Operation::OpenExisting && parentIsFolder(path)) {
            fail(err::kFileNotFound, path);
        }
        fail(err::kPathNotFound, path);
    }
    if (ec == std::errc::not_a_directory) {
        fail(err::kPathNotFound, path);
    }
    if (ec == std::errc::file_exists) {
        fail(err::kFileExists, path);
    }
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
        ec == std::errc::read_only_file_system || ec == std::errc::text_file_busy ||
        ec == std::errc::device_or_resource_busy || ec == std::errc::is_a_directory) {
        fail(err::kPermissionDenied, path);
    }
    if (ec == std::errc::no_space_on_device || ec == std::errc::file_too_large) {
        fail(err::kDiskFull, path);
    }
    if (ec == std::errc::filename_too_long || ec == std::errc::invalid_argument ||
        ec == std::errc::illegal_byte_sequence || ec == std::errc::too_many_symbolic_link_levels) {
        fail(err::kPathFileAccess, path);
    }
    // Anything else (I/O errors, too many open files) keeps the host's own words.
    fail(err::kPathFileAccess, path, ec.message());
}

// A path the host cannot be handed: empty, or holding a NUL that would cut it short and
// send the operation to another file.
void checkName(const fs::path& path) {
    const auto& native = path.native();
    if (native.empty() || native.find(fs::path::value_type{0}) != fs::path::string_type::npos) {
        fail(err::kPathFileAccess, path);
    }
}

// ---------------------------------------------------------------------------------------
// The host file

class HostFile {
public:
    HostFile() = default;
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;
    ~HostFile() { close(); }

    // Returns 0 or the host's error number.
    int open(const fs::path& path, bool create, bool exclusive) {
#ifdef _WIN32
        int flags = _O_WRONLY | _O_BINARY | _O_TRUNC | _O_NOINHERIT;
        if (create) {
            flags |= _O_CREAT;
        }
        if (exclusive) {
            flags |= _O_EXCL;
        }
        m_fd = _wopen(path.c_str(), flags, _S_IREAD | _S_IWRITE);
#else
        int flags = O_WRONLY | O_TRUNC | O_CLOEXEC;
        if (create) {
            flags |= O_CREAT;
        }
        if (exclusive) {
            flags |= O_EXCL;
        }
        do {
            m_fd = ::open(path.c_str(), flags, 0666);
        } while (m_fd < 0 && errno == EINTR);
#endif
        return m_fd < 0 ? errno : 0;
    }

    // Writes all of data; returns 0 or the host's error number.
    int write(std::string_view data) {
        while (!data.empty()) {
#ifdef _WIN32
            const unsigned chunk =
                static_cast<unsigned>(std::min<std::size_t>(data.size(), 1u << 30));
            const int written = _write(m_fd, data.data(), chunk);
#else
            const ::ssize_t written = ::write(m_fd, data.data(), data.size());
#endif
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            if (written == 0) {
                return ENOSPC;
            }
            data.remove_prefix(static_cast<std::size_t>(written));
        }
        return 0;
    }

    // Returns 0 or the host's error number (a network file system may report a failed
    // write only here). The descriptor is released either way.
    int close() {
        if (m_fd < 0) {
            return 0;
        }
#ifdef _WIN32
        const int result = _close(m_fd);
#else
        const int result = ::close(m_fd);
#endif
        m_fd = -1;
        // EINTR: the descriptor is gone on Linux and the data was handed over.
        return result < 0 && errno != EINTR ? errno : 0;
    }

private:
    int m_fd = -1;
};

class FileTextStream final : public TextStream {
public:
    FileTextStream(fs::path path, TextEncoding encoding, Buffering buffering)
        : m_path(std::move(path)), m_encoding(encoding), m_buffering(buffering) {}

    FileTextStream(const FileTextStream&) = delete;
    FileTextStream& operator=(const FileTextStream&) = delete;

    ~FileTextStream() override {
        try {
            Close();
        } catch (...) {
            // A stream dropped without Close has no one to report to.
        }
    }

    HostFile& file() { return m_file; }

    void WriteLine(std::string_view text) override {
        checkOpen();
        appendEncoded(m_held, text, m_encoding);
        m_held.append(kLineEnd);
        written();
    }

    void WriteBlankLines(std::int32_t count) override {
        checkOpen();
        if (count < 0) {
            fail(err::kInvalidProcedureCall, m_path);
        }
        for (std::int32_t i = 0; i < count; ++i) {
            m_held.append(kLineEnd);
            if (m_held.size() >= kMaxHeldBytes) {
                flush();
            }
        }
        written();
    }

    void Close() override {
        if (m_closed) {
            return;
        }
        m_closed = true;
        int error = 0;
        if (!m_held.empty()) {
            error = m_file.write(m_held);
            m_held = std::string();
        }
        const int closeError = m_file.close();
        if (error == 0) {
            error = closeError;
        }
        if (error != 0) {
            failHost(error, m_path, Operation::Write);
        }
    }

private:
    static constexpr std::string_view kLineEnd = "\r\n";

    void checkOpen() const {
        if (m_closed) {
            fail(kBadFileMode, m_path);
        }
    }

    void written() {
        if (m_buffering == Buffering::EveryLine || m_held.size() >= kMaxHeldBytes) {
            flush();
        }
    }

    void flush() {
        if (m_held.empty()) {
            return;
        }
        const int error = m_file.write(m_held);
        // What failed to go out is dropped, not kept to fail again and grow without end.
        m_held.clear();
        if (error != 0) {
            failHost(error, m_path, Operation::Write);
        }
    }

    HostFile m_file;
    fs::path m_path;
    TextEncoding m_encoding;
    Buffering m_buffering;
    std::string m_held;
    bool m_closed = false;
};

std::unique_ptr<TextStream> openStream(const fs::path& path, TextEncoding encoding,
                                       Buffering buffering, bool create, bool exclusive) {
    checkName(path);
    auto stream = std::make_unique<FileTextStream>(path, encoding, buffering);
    if (const int error = stream->file().open(path, create, exclusive); error != 0) {
        failHost(error, path, create ? Operation::CreateFile : Operation::OpenExisting);
    }
    return stream;
}

// Collects an attachment's pieces into writes of a useful size.
class FileByteSink final : public store::ByteSink {
public:
    FileByteSink(HostFile& file, const fs::path& path, std::uint64_t& received)
        : m_file(file), m_path(path), m_received(received) {}

    void write(std::span<const std::uint8_t> bytes) override {
        m_received += bytes.size();
        m_held.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (m_held.size() >= kPiece) {
            flush();
        }
    }

    void flush() {
        const int error = m_file.write(m_held);
        m_held.clear();
        if (error != 0) {
            failHost(error, m_path, Operation::Write);
        }
    }

private:
    static constexpr std::size_t kPiece = std::size_t{1} << 20;
    HostFile& m_file;
    const fs::path& m_path;
    std::uint64_t& m_received;
    std::string m_held;
};

} // namespace

// ---------------------------------------------------------------------------------------
// FileSystem

FileSystem::FileSystem(TextEncoding encoding) : m_encoding(encoding) {}

bool FileSystem::FolderExists(const fs::path& path) const {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

void FileSystem::CreateFolder(const fs::path& path) const {
    checkName(path);
#ifdef _WIN32
    const int result = _wmkdir(path.c_str());
#else
    const int result = ::mkdir(path.c_str(), 0777);
#endif
    if (result != 0) {
        failHost(errno, path, Operation::MakeFolder);
    }
}

bool FileSystem::FileExists(const fs::path& path) const {
    std::error_code ec;
    if (path.empty()) {
        return false;
    }
    const fs::file_status status = fs::status(path, ec);
    return !ec && fs::exists(status) && !fs::is_directory(status);
}

std::unique_ptr<TextStream> FileSystem::CreateTextFile(const fs::path& path, bool overwrite,
                                                       Buffering buffering) const {
    return openStream(path, m_encoding, buffering, true, !overwrite);
}

std::unique_ptr<TextStream> FileSystem::OpenTextFile(const fs::path& path, int mode,
                                                     Buffering buffering) const {
    if (mode != kForWriting) {
        fail(err::kInvalidProcedureCall, path);
    }
    return openStream(path, m_encoding, buffering, false, false);
}

void FileSystem::SaveAttachment(const store::Attachment& attachment, const fs::path& path) const {
    checkName(path);
    HostFile file;
    if (const int error = file.open(path, true, false); error != 0) {
        failHost(error, path, Operation::CreateFile);
    }
    std::uint64_t received = 0;
    try {
        FileByteSink sink(file, path, received);
        attachment.writeTo(sink);
        sink.flush();
        if (const int error = file.close(); error != 0) {
            failHost(error, path, Operation::Write);
        }
    } catch (...) {
        // What arrived stays on disk: the failure is logged with this path, and a partly
        // readable attachment is worth more to its owner than none. A file that received
        // nothing at all would only pass for an empty attachment.
        file.close();
        if (received == 0) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
        throw;
    }
}

} // namespace tvn::archive
