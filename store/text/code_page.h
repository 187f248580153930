#pragma once

// 8-bit text in Windows code pages: decoding it into UTF-8 (the PT_STRING8 strings of an
// Outlook data file, the bytes of HTML and RTF bodies) and encoding UTF-8 as Windows-1252
// (ANSI data files, password checksums, item files written in 1252). Decoding never fails:
// a byte that does not decode becomes U+FFFD, so a damaged string still reads as most of
// its text. UTF-8 and UTF-16 themselves are in utf.h.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tvn::store::text {

// The code page Windows uses for 8-bit text when nothing says otherwise (Western European).
inline constexpr std::uint32_t kDefaultCodePage = 1252;
inline constexpr std::uint32_t kUtf8CodePage = 65001;

// Whether bytes in this code page can be decoded as such (otherwise decodeCodePage falls
// back to Windows-1252).
bool isKnownCodePage(std::uint32_t codePage);

// 8-bit text in a Windows code page to UTF-8. Handles the single-byte Windows code pages
// (874, 1250-1258), ISO-8859-1 (28591), US-ASCII (20127), UTF-8 (65001) and, where the C
// library offers them, the East Asian multi-byte code pages (932, 936, 949, 950) and the
// other ISO-8859 ones. An unknown code page decodes as Windows-1252.
std::string decodeCodePage(std::span<const std::uint8_t> bytes, std::uint32_t codePage);
std::string decodeCodePage(std::string_view bytes, std::uint32_t codePage);

// Appends UTF-8 text as Windows-1252 bytes. One "?" stands for each character the code page
// cannot hold and for each byte of malformed UTF-8. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) are written for the C1 controls of the same value,
// the inverse of how decodeCodePage reads them.
void appendWindows1252(std::string& out, std::string_view utf8);
std::string toWindows1252(std::string_view utf8);

// The Windows code page of a MIME charset name ("utf-8", "windows-1252", "iso-8859-1",
// "gb2312", "shift_jis", ...; case is ignored), or 0 for a name not known here.
std::uint32_t codePageOfCharsetName(std::string_view name);

// The Windows code page of an RTF \fcharset number, or 0 when the charset names none
// (symbol fonts, the default charset).
std::uint32_t codePageOfCharset(int charset);

} // namespace tvn::store::text
