#pragma once

// What the decoders of pages and blocks need of an open file: its bytes and the layout of
// its format. They take this view rather than the whole database, so that each structure
// is decoded from the file alone, and the header that chooses the layout.

#include <cstddef>
#include <cstdint>
#include <span>

#include "store/pst/byte_reader.h"
#include "store/pst/ndb/file_storage.h"
#include "store/pst/ndb/types.h"

namespace tvn::store::pst::ndb {

// Fuzzing builds skip the checksums so that mutated inputs reach the decoders behind them
// (the libFuzzer convention); every other build verifies them.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr bool kVerifyChecksums = false;
#else
inline constexpr bool kVerifyChecksums = true;
#endif

// Caps on untrusted structure, named so that the limits are visible in one place.
// B-tree page levels above the leaves. Real files use 1-4; eight levels of even the
// smallest pages would index far more entries than any file can hold.
inline constexpr std::size_t kMaxBTreeDepth = 8;
inline constexpr std::size_t kMaxDataTreeDepth = 4; // XBLOCK levels above data blocks (real: 2)
inline constexpr std::size_t kMaxSubnodeDepth = 4;  // SIBLOCK levels above SLBLOCKs (real: 1)

// A BID or file offset in the format's width at `off` of an already checked span.
inline std::uint64_t readId(const Layout& layout, std::span<const std::uint8_t> s,
                            std::size_t off) noexcept {
    return layout.idSize == 4 ? loadLe<std::uint32_t>(s, off) : loadLe<std::uint64_t>(s, off);
}

struct FileView {
    FileStorage& storage;
    const Layout& layout;

    std::uint64_t size() const noexcept { return storage.size(); }
    std::uint64_t readId(std::span<const std::uint8_t> s, std::size_t off) const noexcept {
        return ndb::readId(layout, s, off);
    }
};

// Decodes the header: signature, client magic, version (which chooses the format), the
// B-tree roots and the encryption. Throws err::kCorruptStore for a file that is not an
// Outlook data file; the roots are not read here.
Header readHeader(FileStorage& storage);

} // namespace tvn::store::pst::ndb
