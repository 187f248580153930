#pragma once

// UTF-8 and UTF-16LE conversions shared by the reader, the archive writer and the .pst
// writer. Nothing here fails: what does not decode is replaced, so any input gives output
// that is well formed in the target encoding.

#include <cstddef>
#include <cstdint>
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
std::size_t decodeUtf8(std::string_view s, char32_t& codePoint);

// The end of the run of ASCII bytes of s that starts at from (s.size() when the run reaches
// the end). Tests eight bytes at a time: most text is ASCII, and this is the hot path of
// every conversion below.
std::size_t asciiRunEnd(std::string_view s, std::size_t from);

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
