#include "store/pst/ndb/file_storage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <list>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "store/pst/read_error.h"

#if defined(__linux__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define TALLYVANE_HAVE_PREAD 1
#include "store/read_fully.h"
#else
#include <fstream>
#endif

namespace tvn::store::pst::ndb {

namespace {

class MemoryStorage final : public FileStorage {
public:
    explicit MemoryStorage(std::vector<std::uint8_t> bytes) : m_memory(std::move(bytes)) {
        m_size = m_memory.size();
    }
    BlockBytes range(std::uint64_t offset, std::size_t n) override {
        return {
            std::span<const std::uint8_t>(m_memory).subspan(static_cast<std::size_t>(offset), n),
            nullptr};
    }

private:
    std::vector<std::uint8_t> m_memory;
};

#ifdef TALLYVANE_HAVE_PREAD

// The file read in aligned windows, the most recently used kept. A window handed out stays
// alive through its shared owner after it leaves the cache. Nothing is mapped: a file cut
// short under the reader gives short reads, which are errors, not signals.
class WindowedFile final : public FileStorage {
public:
    WindowedFile(std::string path, int fd) : m_path(std::move(path)), m_fd(fd) {}
    ~WindowedFile() override { ::close(m_fd); }

    // Reads the size and modification time that every later read is checked against.
    void readStatus() {
        if (::fstat(m_fd, &m_opened) != 0 || m_opened.st_size < 0) {
            throw ReadError(tvn::err::kPathFileAccess, "cannot read the size of " + m_path);
        }
        m_size = static_cast<std::uint64_t>(m_opened.st_size);
    }

    BlockBytes range(std::uint64_t offset, std::size_t n) override {
        const std::uint64_t first = offset / kFileWindowSize;
        if ((offset + n - (n > 0 ? 1 : 0)) / kFileWindowSize == first) {
            Buffer w = window(first);
            const auto at = static_cast<std::size_t>(offset - first * kFileWindowSize);
            if (at > w->size() || n > w->size() - at) {
                changedUnder(offset);
            }
            const std::span<const std::uint8_t> view(w->bytes.get() + at, n);
            return {view, std::move(w)};
        }
        // A range across windows (a large block of the 4K format) is read on its own.
        auto buffer = std::make_shared<OwnedBytes>(n);
        readFile(offset, buffer->span());
        const std::span<const std::uint8_t> view(buffer->span());
        return {view, std::move(buffer)};
    }

private:
    static constexpr std::size_t kSpareWindows = 8;

    using Buffer = std::shared_ptr<OwnedBytes>;

    Buffer window(std::uint64_t number) {
        if (const auto it = m_index.find(number); it != m_index.end()) {
            m_order.splice(m_order.begin(), m_order, it->second);
            return it->second->second;
        }
        const std::uint64_t start = number * kFileWindowSize;
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(kFileWindowSize, m_size - start));
        Buffer buffer;
        if (!m_spare.empty() && n == kFileWindowSize) {
            buffer = std::move(m_spare.back());
            m_spare.pop_back();
        } else {
            buffer = std::make_shared<OwnedBytes>(n);
        }
        readFile(start, buffer->span());
        m_order.emplace_front(number, buffer);
        m_index[number] = m_order.begin();
        while (m_order.size() > kMaxFileWindows) {
            m_index.erase(m_order.back().first);
            if (m_order.back().second.use_count() == 1 &&
                m_order.back().second->size() == kFileWindowSize &&
                m_spare.size() < kSpareWindows) {
                m_spare.push_back(std::move(m_order.back().second));
            }
            m_order.pop_back();
        }
        return buffer;
    }

    [[noreturn]] void changedUnder(std::uint64_t offset) {
        m_changed = true;
        throwCorrupt("the data file " + m_path +
                         " was changed or cut short by another program while it was open",
                     offset);
    }

    void readFile(std::uint64_t offset, std::span<std::uint8_t> out) {
        if (m_changed) {
            changedUnder(offset);
        }
        // Checked on every read from the file: a copy over it or a sync client rewriting
        // it leaves the size or the modification time different from what was opened.
        struct stat now {};
        if (::fstat(m_fd, &now) != 0 || now.st_size != m_opened.st_size ||
            now.st_mtim.tv_sec != m_opened.st_mtim.tv_sec ||
            now.st_mtim.tv_nsec != m_opened.st_mtim.tv_nsec) {
            changedUnder(offset);
        }
        int error = 0;
        const std::size_t done = readFully(m_fd, offset, out, error);
        if (error != 0) {
            throwCorrupt("cannot read " + m_path + ": " + std::strerror(error), offset + done);
        }
        if (done < out.size()) {
            changedUnder(offset + done);
        }
    }

    std::string m_path;
    int m_fd;
    struct stat m_opened {}; // size and modification time seen at open
    bool m_changed = false;  // once seen, every later read of the file fails
    std::list<std::pair<std::uint64_t, Buffer>> m_order; // front = most recent
    std::unordered_map<std::uint64_t, decltype(m_order)::iterator> m_index;
    // Windows dropped from the cache that nobody holds, kept for the next reads: reusing
    // them spares the allocator and the kernel fresh pages for every window read.
    std::vector<Buffer> m_spare;
};

#endif

} // namespace

std::unique_ptr<FileStorage> FileStorage::open(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
        // The path could not be looked at (a folder on the way that may not be searched):
        // that is not a missing file.
        throw ReadError(ec == std::errc::permission_denied ? tvn::err::kPermissionDenied
                                                           : tvn::err::kPathFileAccess,
                        "cannot open " + path.string() + ": " + ec.message());
    }
    if (!std::filesystem::exists(status)) {
        throw ReadError(tvn::err::kFileNotFound, "file not found: " + path.string());
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw ReadError(tvn::err::kPathFileAccess, "not a regular file: " + path.string());
    }
#ifdef TALLYVANE_HAVE_PREAD
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        throw ReadError(e == EACCES || e == EPERM ? tvn::err::kPermissionDenied
                                                  : tvn::err::kPathFileAccess,
                        "cannot open " + path.string() + ": " + std::strerror(e));
    }
    auto file = std::make_unique<WindowedFile>(path.string(), fd); // closes fd from here on
    file->readStatus();
    return file;
#else
    // Without positioned reads the bytes are read once.
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ReadError(tvn::err::kPathFileAccess, "cannot open " + path.string());
    }
    return inMemory(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
#endif
}

std::unique_ptr<FileStorage> FileStorage::inMemory(std::vector<std::uint8_t> bytes) {
    return std::make_unique<MemoryStorage>(std::move(bytes));
}

} // namespace tvn::store::pst::ndb
