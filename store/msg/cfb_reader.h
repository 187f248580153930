#pragma once

// A reader of compound files (version 3 and 4): the directory of storages and streams, and
// each stream's bytes by following its sector chain. Every structure is checked against the
// file's size as it is read: a damaged file gives tvn::Failure (err::kCorruptData), never a
// read outside the file, an endless chain or an allocation larger than the file.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::store::msg {

// Random access to the bytes of a file.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Fills `out` from `offset`; throws err::kCorruptData when that runs past the end.
    virtual void read(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;
};

// A file read with positioned reads (throws err::kFileNotFound / err::kPathFileAccess).
std::shared_ptr<const ByteSource> openFileSource(const std::filesystem::path& path);
// Bytes in memory (tests, the fuzz target).
std::shared_ptr<const ByteSource> memorySource(std::vector<std::uint8_t> bytes);

struct CfbDirEntry {
    std::string name; // UTF-8
    std::uint8_t type = 0;
    std::uint32_t left = 0xFFFFFFFF;
    std::uint32_t right = 0xFFFFFFFF;
    std::uint32_t child = 0xFFFFFFFF;
    std::uint32_t start = 0;
    std::uint64_t size = 0;
    std::array<std::uint8_t, 16> classId{};
    bool isStorage() const { return type == 1 || type == 5; }
    bool isStream() const { return type == 2; }
};

class CfbReader;

// The compound file in `bytes`, or nullptr when they are not one (or a damaged one).
std::shared_ptr<const CfbReader> tryCompoundFile(std::vector<std::uint8_t> bytes);

class CfbReader {
public:
    // Reads the header, the allocation tables and the directory.
    explicit CfbReader(std::shared_ptr<const ByteSource> source);

    const std::vector<CfbDirEntry>& entries() const { return m_entries; }
    static constexpr std::uint32_t kRoot = 0;

    // The entries directly inside storage `id`, in name order.
    const std::vector<std::uint32_t>& children(std::uint32_t id) const;
    // The child of storage `id` named `name` (names compare ignoring ASCII case).
    std::optional<std::uint32_t> find(std::uint32_t id, std::string_view name) const;

    // A stream's bytes; throws when it is larger than `limit` bytes.
    std::vector<std::uint8_t> read(std::uint32_t id, std::uint64_t limit) const;
    // A stream's bytes a sector (or mini sector run) at a time.
    void readTo(std::uint32_t id,
                const std::function<void(std::span<const std::uint8_t>)>& sink) const;

    std::uint32_t sectorSize() const { return m_sectorSize; }

private:
    void indexStorages();
    std::vector<std::uint32_t> chain(std::uint32_t start, const std::vector<std::uint32_t>& table,
                                     std::uint64_t maxLength) const;
    std::vector<std::uint8_t> readSector(std::uint32_t sector) const;

    std::shared_ptr<const ByteSource> m_source;
    std::uint32_t m_sectorSize = 512;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    std::vector<std::uint32_t> m_miniChain; // the sectors of the mini stream
    std::uint64_t m_miniSize = 0;
    std::vector<CfbDirEntry> m_entries;
    // Each storage's entries, and the same by upper-case name.
    std::vector<std::vector<std::uint32_t>> m_children;
    std::vector<std::map<std::string, std::uint32_t>> m_byName;
};

} // namespace tvn::store::msg
