#pragma once

// The error of the .pst/.ost reader's lower layers (node database and LTP).
//
// Error convention (the reader's whole inside): decoding code throws ReadError and nothing
// else. ReadError *is* a tvn::Failure, so when it crosses the object-model boundary it is
// already the program's failure type; the messaging layer catches it only where it wants to
// re-number it (for example damage found while opening the root folder is reported as a
// corrupt store rather than a corrupt item). Numbers used here:
//   err::kFileNotFound   the path does not exist (open only)
//   err::kPermissionDenied the file may not be read (open only)
//   err::kPathFileAccess the path is not a regular file, or it cannot be opened or mapped
//                        for another reason (open only)
//   err::kCorruptStore   not an Outlook data file, or its header/root B-trees are unusable
//                        (open only)
//   err::kCorruptData    everything found damaged after a successful open
// The description names the structure, the field, the raw value and the file offset, e.g.
// "invalid BTPAGE cLevel 0x09 at offset 0x4400".

#include <cstdint>
#include <string>
#include <string_view>

#include "store/failure.h"

namespace tvn::store::pst {

// Offset value meaning "not at a known place in the file" (e.g. bytes inside an inflated
// block, where a file offset would be misleading).
inline constexpr std::uint64_t kNoOffset = ~std::uint64_t{0};

class ReadError : public tvn::Failure {
public:
    ReadError(std::int32_t number, std::string description, std::uint64_t offset = kNoOffset)
        : tvn::Failure(number, std::move(description)), m_offset(offset) {}

    // File offset of the damaged structure, or kNoOffset.
    std::uint64_t offset() const noexcept { return m_offset; }

private:
    std::uint64_t m_offset;
};

// "0x1A2B" — the spelling of raw values and offsets in error descriptions.
std::string hexText(std::uint64_t value);

// Throws err::kCorruptData with "<what> at offset 0x..." (or just <what> for kNoOffset).
[[noreturn]] void throwCorrupt(std::string_view what, std::uint64_t offset = kNoOffset);

// Throws err::kCorruptStore with "not an Outlook data file: <what>" and the offset.
[[noreturn]] void throwCorruptStore(std::string_view what, std::uint64_t offset = kNoOffset);

} // namespace tvn::store::pst
