#include "tools/pstwriter/bytes.h"

#include <array>

namespace tvn::tools {

char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) {
        ++i;
        return c;
    }
    std::size_t len = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07u;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + len > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (std::size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3Fu);
    }
    static constexpr std::array<char32_t, 5> kMin{0, 0, 0x80, 0x800, 0x10000};
    i += len;
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0xFFFD;
    }
    return cp;
}

std::vector<std::uint8_t> utf16le(std::string_view utf8) {
    std::vector<std::uint8_t> out;
    out.reserve(utf8.size() * 2);
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = nextCodePoint(utf8, i);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            append16(out, static_cast<std::uint16_t>(0xD800 + (v >> 10)));
            append16(out, static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            append16(out, static_cast<std::uint16_t>(cp));
        }
    }
    return out;
}

std::vector<std::uint8_t> windows1252(std::string_view utf8) {
    // Code points of bytes 0x80-0x9F in Windows-1252 (0 where the byte is undefined).
    static constexpr std::array<char16_t, 32> kHigh{
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::vector<std::uint8_t> out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = nextCodePoint(utf8, i);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(static_cast<std::uint8_t>(cp));
            continue;
        }
        std::uint8_t b = '?';
        for (std::size_t k = 0; k < kHigh.size(); ++k) {
            if (kHigh[k] != 0 && kHigh[k] == cp) {
                b = static_cast<std::uint8_t>(0x80 + k);
            }
        }
        out.push_back(b);
    }
    return out;
}

} // namespace tvn::tools
