#include "store/pst/body/lzfu.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "store/pst/byte_reader.h"
#include "store/pst/ndb/crypt.h"

namespace tvn::store::pst::body {

namespace {

constexpr std::uint32_t kCompressed = 0x75465A4C;   // "LZFu"
constexpr std::uint32_t kUncompressed = 0x414C454D; // "MELA"
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kDictionarySize = 4096;

// The dictionary's initial contents; compressed references may point into it.
constexpr std::string_view kInitialDictionary =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss "
    "\\fmodern \\fscript \\fdecor MS Sans SerifSymbolArialTimes New RomanCourier"
    "{\\colortbl\\red0\\green0\\blue0\r\n\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(kInitialDictionary.size() == 207);

std::string hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

RtfDecompression failed(std::string why) {
    return {{}, "compressed RTF: " + std::move(why)};
}

} // namespace

RtfDecompression decompressRtf(std::span<const std::uint8_t> stream) {
    if (stream.size() < kHeaderSize) {
        return failed("stream of " + std::to_string(stream.size()) +
                      " bytes is shorter than its 16-byte header");
    }
    const std::uint32_t compSize = loadLe<std::uint32_t>(stream, 0);
    const std::uint32_t rawSize = loadLe<std::uint32_t>(stream, 4);
    const std::uint32_t type = loadLe<std::uint32_t>(stream, 8);
    const std::uint32_t crc = loadLe<std::uint32_t>(stream, 12);
    // COMPSIZE counts the 12 header bytes after itself. Writers pad some streams, so more
    // bytes than it says are tolerated; fewer are not.
    if (compSize < kHeaderSize - 4 || compSize - (kHeaderSize - 4) > stream.size() - kHeaderSize) {
        return failed("COMPSIZE " + std::to_string(compSize) + " does not fit the " +
                      std::to_string(stream.size()) + "-byte stream");
    }
    const auto contents = stream.subspan(kHeaderSize, compSize - (kHeaderSize - 4));

    if (type == kUncompressed) {
        const std::size_t n = std::min<std::size_t>(rawSize, contents.size());
        return {std::string(reinterpret_cast<const char*>(contents.data()), n), {}};
    }
    if (type != kCompressed) {
        return failed("unknown COMPTYPE " + hex(type));
    }
    if (const std::uint32_t actual = ndb::crc32(contents); actual != crc) {
        return failed("CRC " + hex(actual) + " does not match the header's " + hex(crc));
    }

    std::array<char, kDictionarySize> dict{};
    kInitialDictionary.copy(dict.data(), kInitialDictionary.size());
    std::size_t write = kInitialDictionary.size();

    std::string out;
    // Reserve by what the input can produce, not by what the header claims; produce no
    // more than the header claims either.
    out.reserve(std::min<std::size_t>(rawSize, contents.size() * 9));
    std::size_t in = 0;
    while (in < contents.size() && out.size() < rawSize) {
        const std::uint8_t control = contents[in++];
        for (int bit = 0; bit < 8; ++bit) {
            if (out.size() >= rawSize) {
                return {std::move(out), {}};
            }
            if (in >= contents.size()) {
                // Ran out of tokens without the end marker: keep what was decoded, as the
                // end marker is the only thing missing from such streams in practice.
                return {std::move(out), {}};
            }
            if ((control & (1u << bit)) == 0) {
                const char c = static_cast<char>(contents[in++]);
                out.push_back(c);
                dict[write] = c;
                write = (write + 1) % kDictionarySize;
                continue;
            }
            if (contents.size() - in < 2) {
                return failed("reference cut off at byte " + std::to_string(kHeaderSize + in));
            }
            const unsigned word = static_cast<unsigned>(contents[in] << 8 | contents[in + 1]);
            in += 2;
            std::size_t offset = word >> 4;
            const std::size_t length = (word & 0x0F) + 2;
            if (offset == write) {
                return {std::move(out), {}}; // the end marker
            }
            for (std::size_t k = 0; k < length && out.size() < rawSize; ++k) {
                const char c = dict[offset];
                offset = (offset + 1) % kDictionarySize;
                out.push_back(c);
                dict[write] = c;
                write = (write + 1) % kDictionarySize;
            }
        }
    }
    return {std::move(out), {}};
}

} // namespace tvn::store::pst::body
