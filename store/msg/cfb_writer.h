#pragma once

// A writer of compound files (the OLE2 structured-storage container an Outlook .msg file
// lives in). The caller builds a tree of storages and streams, each stream with its size
// and a function that produces its bytes; the writer computes the whole layout from the
// sizes first and then writes the file front to back to a ByteSink, calling each stream's
// function once when its sectors come up. A large stream therefore passes through in the
// pieces its producer hands over and is never held whole.
//
// Files up to 2 GiB use 512-byte sectors (version 3); larger ones 4096-byte sectors
// (version 4), with the range-lock sector at 2 GiB left out of every chain.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/object_model.h"

namespace tvn::store::msg {

namespace cfb {
inline constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
inline constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
inline constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
inline constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;
inline constexpr std::uint32_t kMiniSectorSize = 64;
inline constexpr std::uint32_t kEntrySize = 128;
inline constexpr std::uint32_t kHeaderDifatEntries = 109;
inline constexpr std::uint64_t kVersion3MaxFileSize = 0x80000000; // 2 GiB
inline constexpr std::uint64_t kRangeLockOffset = 0x7FFFFF00;
inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;
} // namespace cfb

// Produces the bytes of one stream: exactly the size it was added with.
using StreamProducer = std::function<void(ByteSink&)>;

class CfbStorage;

struct CfbEntry {
    std::string name;                    // UTF-8, at most 31 UTF-16 units
    std::unique_ptr<CfbStorage> storage; // set for a storage
    std::uint64_t size = 0;              // a stream's size
    StreamProducer producer;             // a stream's bytes
};

class CfbStorage {
public:
    CfbStorage& addStorage(std::string name);
    void addStream(std::string name, std::vector<std::uint8_t> bytes);
    void addStream(std::string name, std::uint64_t size, StreamProducer producer);

    const std::vector<CfbEntry>& entries() const { return m_entries; }

    // The class of the storage's content (all zero: none).
    std::array<std::uint8_t, 16> classId{};

private:
    std::vector<CfbEntry> m_entries;
};

// Where the writer switches versions; tests lower both to reach the large-file paths with
// small files.
struct CfbLimits {
    std::uint64_t version3MaxFileSize = cfb::kVersion3MaxFileSize;
    std::uint64_t rangeLockOffset = cfb::kRangeLockOffset;
};

struct CfbWriteResult {
    std::uint32_t sectorSize = 0;
    std::uint64_t fileSize = 0;
};

// Writes `root` and everything below it as a compound file. Throws tvn::Failure
// (err::kCorruptData) when a producer gives more or fewer bytes than its stream's size or
// a name is too long, and whatever the sink or a producer throws.
CfbWriteResult writeCompoundFile(const CfbStorage& root, ByteSink& sink,
                                 const CfbLimits& limits = {});

} // namespace tvn::store::msg
