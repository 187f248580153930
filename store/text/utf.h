#pragma once

// UTF-8 and UTF-16LE conversions shared by the reader, the archive writer and the .pst
// writer. Nothing here fails: what does not decode is replaced, so any input gives output
// that is well formed in the target encoding.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::store::text {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;
// U+FFFD as UTF-8.
inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of s, storing its code point in
// codePoint; 0 when s is empty or its first byte does not begin one (overlong forms,
// surrogates, values past U+10FFFF and cut-off sequences are all malformed).
// Inline: the inner loop of every converter.
inline std::size_t decodeUtf8(std::string_view s, char32_t& codePoint) {
    if (s.empty()) {
        return 0;
    }
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80) {
        codePoint = b0;
        return 1;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1Fu;
        minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0Fu;
        minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (b & 0x3Fu);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    codePoint = c;
    return length;
}

// The end of the run of ASCII bytes of s that starts at from (s.size() when the run reaches
// the end). Tests eight bytes at a time: most text is ASCII, and this is the hot path of
// every conversion below.
inline std::size_t asciiRunEnd(std::string_view s, std::size_t from) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    std::size_t i = from;
    while (s.size() - i >= sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, s.data() + i, sizeof word);
        if ((word & kHighBits) != 0) {
            break;
        }
        i += sizeof word;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) {
        ++i;
    }
    return i;
}

// Converts utf8 into out: runs of ASCII are copied whole, each other well-formed sequence
// is handed to sequence(codePoint, bytes), and each byte that is not part of one to
// malformed(). The loop of appendValidUtf8 and appendWindows1252.
template <typename Sequence, typename Malformed>
void transcodeUtf8(std::string& out, std::string_view utf8, Sequence&& sequence,
                   Malformed&& malformed) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t run = asciiRunEnd(utf8, i);
        out.append(utf8.substr(i, run - i));
        i = run;
        if (i == utf8.size()) {
            break;
        }
        char32_t c = 0;
        const std::size_t length = decodeUtf8(utf8.substr(i), c);
        if (length == 0) {
            malformed();
            ++i;
            continue;
        }
        sequence(c, utf8.substr(i, length));
        i += length;
    }
}

// Appends the UTF-8 form of a code point; a surrogate or a value above U+10FFFF appends
// U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

// Appends utf8 with each byte that is not part of a well-formed sequence replaced by
// `replacement` (one per byte), so the result is always valid UTF-8 when replacement is.
void appendValidUtf8(std::string& out, std::string_view utf8, std::string_view replacement);

// UTF-16LE bytes to UTF-8. A lone surrogate becomes U+FFFD, and so does an odd last byte.
// Nothing is trimmed: a terminating NUL, if stored, comes out as "\0".
std::string utf16leToUtf8(std::span<const std::uint8_t> bytes);

// UTF-8 to UTF-16LE bytes, no terminator. Each malformed byte becomes U+FFFD.
std::vector<std::uint8_t> utf8ToUtf16le(std::string_view utf8);

} // namespace tvn::store::text
