#pragma once

// The bytes of an open data file. A file on disk is read with positioned reads into a
// bounded cache of aligned windows (never mapped), so resident memory does not grow with the
// file, and a file that another program truncates or rewrites while it is open gives
// err::kCorruptData for what can no longer be read instead of a signal. Bytes handed to
// openMemory() are simply held.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace tvn::store::pst::ndb {

// Bounds of the window cache: the file is read in aligned windows of this size, the most
// recently used kept up to this many.
inline constexpr std::size_t kFileWindowSize = 64U << 10U;
inline constexpr std::size_t kMaxFileWindows = 192;

// Bytes owned on the heap, left uninitialised until they are written whole: a window read
// from the file, or a block decoded from it. Shared owners keep them alive after a cache
// lets them go.
struct OwnedBytes {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t n = 0;
    explicit OwnedBytes(std::size_t size) : bytes(new std::uint8_t[size]), n(size) {}
    std::size_t size() const noexcept { return n; }
    std::span<std::uint8_t> span() noexcept { return {bytes.get(), n}; }
    std::span<const std::uint8_t> view() const noexcept { return {bytes.get(), n}; }
};

// Bytes read from the file or decoded from it. The bytes stay valid as long as this object
// (or a copy) exists, whatever the caches do meanwhile, but never beyond the lifetime of the
// storage that produced them (bytes held in memory by openMemory() are views).
class BlockBytes {
public:
    BlockBytes() = default;
    BlockBytes(std::span<const std::uint8_t> bytes, std::shared_ptr<const void> owner)
        : m_bytes(bytes), m_owner(std::move(owner)) {}
    std::span<const std::uint8_t> bytes() const noexcept { return m_bytes; }
    std::size_t size() const noexcept { return m_bytes.size(); }
    const std::shared_ptr<const void>& owner() const noexcept { return m_owner; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::shared_ptr<const void> m_owner; // keeps the bytes alive; empty for in-memory files
};

class FileStorage {
public:
    // Opens a file for reading. Throws ReadError: err::kFileNotFound, err::kPermissionDenied
    // or err::kPathFileAccess.
    static std::unique_ptr<FileStorage> open(const std::filesystem::path& path);
    static std::unique_ptr<FileStorage> inMemory(std::vector<std::uint8_t> bytes);

    virtual ~FileStorage() = default;
    FileStorage(const FileStorage&) = delete;
    FileStorage& operator=(const FileStorage&) = delete;

    std::uint64_t size() const noexcept { return m_size; }
    // `n` bytes at `offset`, which the caller has checked lie inside the file as opened.
    // Throws err::kCorruptData when the file changed under the reader.
    virtual BlockBytes range(std::uint64_t offset, std::size_t n) = 0;

protected:
    FileStorage() = default;
    std::uint64_t m_size = 0;
};

} // namespace tvn::store::pst::ndb
