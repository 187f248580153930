#include "store/text/utf.h"

#include <cstring>

namespace tvn::store::text {

std::size_t decodeUtf8(std::string_view s, char32_t& codePoint) {
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

std::size_t asciiRunEnd(std::string_view s, std::size_t from) {
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

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = kReplacementCharacter;
    }
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void appendValidUtf8(std::string& out, std::string_view utf8, std::string_view replacement) {
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
            out.append(replacement);
            ++i;
            continue;
        }
        out.append(utf8.substr(i, length));
        i += length;
    }
}

std::string utf16leToUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() / 2 + bytes.size() / 8);
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t u = static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char32_t v = static_cast<char32_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8));
            if (v >= 0xDC00 && v <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, u); // a lone surrogate becomes U+FFFD here
    }
    if (bytes.size() % 2 != 0) {
        appendUtf8(out, kReplacementCharacter);
    }
    return out;
}

std::vector<std::uint8_t> utf8ToUtf16le(std::string_view utf8) {
    std::vector<std::uint8_t> out;
    out.reserve(utf8.size() * 2);
    const auto appendUnit = [&out](char32_t unit) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = kReplacementCharacter;
        const std::size_t length = decodeUtf8(utf8.substr(i), cp);
        i += length == 0 ? 1 : length; // cp stays U+FFFD for a malformed byte
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            appendUnit(0xD800 + (v >> 10));
            appendUnit(0xDC00 + (v & 0x3FF));
        } else {
            appendUnit(cp);
        }
    }
    return out;
}

} // namespace tvn::store::text
