#pragma once

// Little-endian stores and the text encodings the writer needs. Every store writes into a
// buffer the caller sized; nothing here allocates except the string conversions.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::tools {

inline void put16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}
inline void put64(std::uint8_t* at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

inline void append16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void append32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}
inline void append64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

// UTF-8 to UTF-16LE bytes (no terminator). Invalid sequences become U+FFFD, so any input
// gives a well-formed value.
std::vector<std::uint8_t> utf16le(std::string_view utf8);

// UTF-8 to Windows-1252 bytes (no terminator), for the 8-bit strings of ANSI files.
// Characters the code page lacks become '?'.
std::vector<std::uint8_t> windows1252(std::string_view utf8);

// Decodes one UTF-8 sequence at `i` (advancing it); U+FFFD for a malformed one.
char32_t nextCodePoint(std::string_view utf8, std::size_t& i);

} // namespace tvn::tools
