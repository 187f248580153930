#pragma once

// Text decoding for the strings of an Outlook data file: UTF-16LE (PT_UNICODE) and 8-bit
// strings in a Windows code page (PT_STRING8, and the bytes of HTML and RTF bodies), all
// turned into UTF-8. Decoding never fails: a byte or code unit that does not decode becomes
// U+FFFD, so a damaged string still reads as most of its text.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tvn::store::pst::text {

// The code page Windows uses for 8-bit text when nothing says otherwise (Western European).
inline constexpr std::uint32_t kDefaultCodePage = 1252;
inline constexpr std::uint32_t kUtf8CodePage = 65001;

// Appends the UTF-8 form of a code point; a surrogate or a value above U+10FFFF appends
// U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

// UTF-16LE bytes to UTF-8. A lone surrogate becomes U+FFFD, and so does an odd last byte.
// Nothing is trimmed: a terminating NUL, if stored, comes out as "\0".
std::string utf16leToUtf8(std::span<const std::uint8_t> bytes);

// Whether bytes in this code page can be decoded as such (otherwise decodeCodePage falls
// back to Windows-1252).
bool isKnownCodePage(std::uint32_t codePage);

// 8-bit text in a Windows code page to UTF-8. Handles the single-byte Windows code pages
// (874, 1250-1258), ISO-8859-1 (28591), US-ASCII (20127), UTF-8 (65001) and, where the C
// library offers them, the East Asian multi-byte code pages (932, 936, 949, 950) and the
// other ISO-8859 ones. An unknown code page decodes as Windows-1252.
std::string decodeCodePage(std::span<const std::uint8_t> bytes, std::uint32_t codePage);
std::string decodeCodePage(std::string_view bytes, std::uint32_t codePage);

// The Windows code page of a MIME charset name ("utf-8", "windows-1252", "iso-8859-1",
// "gb2312", "shift_jis", ...; case is ignored), or 0 for a name not known here.
std::uint32_t codePageOfCharsetName(std::string_view name);

// The Windows code page of an RTF \fcharset number, or 0 when the charset names none
// (symbol fonts, the default charset).
std::uint32_t codePageOfCharset(int charset);

} // namespace tvn::store::pst::text
