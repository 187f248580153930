#pragma once

// The compressed RTF body of a message (PidTagRtfCompressed): a 16-byte header followed by
// either the raw RTF ("MELA") or an LZ77 stream over a 4096-byte dictionary that starts out
// holding a fixed prefix of RTF words ("LZFu").

#include <cstdint>
#include <span>
#include <string>

namespace tvn::store::pst::body {

struct RtfDecompression {
    std::string rtf;   // the RTF text; empty on failure
    std::string error; // empty on success; otherwise what was wrong, naming the field
    bool ok() const { return error.empty(); }
};

// Decompresses a compressed RTF stream. Fails on a short header, an unknown signature,
// a size field that disagrees with the bytes present, or a CRC mismatch. The output never
// exceeds the header's raw size, nor what the input can produce (at most 17 bytes per 2
// input bytes) whatever the raw size claims, so a hostile stream cannot exhaust memory.
// The header CRC is the format-wide CRC-32 of ndb/crypt.h over the compressed bytes.
RtfDecompression decompressRtf(std::span<const std::uint8_t> stream);

} // namespace tvn::store::pst::body
