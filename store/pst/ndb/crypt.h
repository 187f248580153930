#pragma once

// The byte transforms of Outlook data files: the two block encodings, the CRC-32 of page
// and block trailers (and of the store password), and the signature of pages and blocks.
//
// Plain functions over spans so that the reader and the .pst writer share one copy.
// Only data blocks are encoded; pages, internal blocks (XBLOCK, SLBLOCK, ...) and the header
// are stored as they are.

#include <array>
#include <cstdint>
#include <span>

namespace tvn::store::pst::ndb {

// bCryptMethod of the header.
enum class CryptMethod : std::uint8_t {
    None = 0x00,
    Compressible = 0x01, // the byte permutation ("NDB_CRYPT_PERMUTE")
    High = 0x02,         // the cyclic cipher keyed by the block id ("NDB_CRYPT_CYCLIC")
};

// The 768-byte encoding table: three 256-byte permutations R (bytes 0-255), S (256-511)
// and I (512-767). I is the inverse of R; S is its own inverse.
extern const std::array<std::uint8_t, 768> kCryptTable;

// Compressible encoding, in place. Decode inverts encode.
void encodeCompressible(std::span<std::uint8_t> bytes) noexcept;
void decodeCompressible(std::span<std::uint8_t> bytes) noexcept;

// High (cyclic) encoding, in place. The key is the low 32 bits of the block's BID. The
// transform is its own inverse; both names exist so call sites say what they mean.
void encodeHigh(std::span<std::uint8_t> bytes, std::uint32_t key) noexcept;
void decodeHigh(std::span<std::uint8_t> bytes, std::uint32_t key) noexcept;

// Decodes a data block in place with the file's method (None leaves the bytes as they are).
// `blockId` is the full BID; the high method keys on its low 32 bits.
void decodeBlock(std::span<std::uint8_t> bytes, CryptMethod method, std::uint64_t blockId) noexcept;
void encodeBlock(std::span<std::uint8_t> bytes, CryptMethod method, std::uint64_t blockId) noexcept;
// The same, from `from` into `to` (of the same size): one pass over the bytes instead of a
// copy and a decode.
void decodeBlockInto(std::span<const std::uint8_t> from, std::span<std::uint8_t> to,
                     CryptMethod method, std::uint64_t blockId) noexcept;

// The CRC-32 used throughout the format: reflected polynomial 0xEDB88320, start value 0 and
// no final inversion (so it differs from zlib's crc32). `crc` continues a running value.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0) noexcept;

// The 16-bit signature stored in page and block trailers: computed from the file offset of
// the page/block and its BID.
std::uint16_t blockSignature(std::uint64_t offset, std::uint64_t blockId) noexcept;

} // namespace tvn::store::pst::ndb
