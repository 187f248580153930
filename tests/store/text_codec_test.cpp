// The shared text codec: the conversions the reader, the archive and the .pst writer all
// rely on must be each other's inverses where the encodings allow it.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/text/code_page.h"
#include "store/text/utf.h"

namespace tvn::store::text {
namespace {

TEST(TextCodec, EveryWindows1252ByteRoundTripsThroughUtf8) {
    for (unsigned b = 0; b < 256; ++b) {
        const std::uint8_t byte = static_cast<std::uint8_t>(b);
        const std::string utf8 = decodeCodePage(std::span(&byte, 1), 1252);
        EXPECT_EQ(toWindows1252(utf8), std::string(1, static_cast<char>(byte))) << "byte " << b;
    }
}

TEST(TextCodec, Utf16RoundTripsValidUtf8AndReplacesMalformedBytes) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string back;
    };
    const std::vector<Case> cases = {
        {"ascii", "Inbox", "Inbox"},
        {"two- to four-byte forms", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
         "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"overlong, one replacement per byte", "a\xC0\xAF", "a\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
        {"cut off at the end", "x\xE2\x82", "x\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf16leToUtf8(utf8ToUtf16le(c.utf8)), c.back) << c.name;
    }
}

TEST(TextCodec, ValidUtf8KeepsTheAsciiFastPathExact) {
    // Malformed bytes on both sides of an eight-byte boundary of the word-wise ASCII scan.
    const std::string in = "0123456\xFF"
                           "89abcdef\xC3"
                           "ghijklmn\xE2\x82\xAC";
    std::string out;
    appendValidUtf8(out, in, "?");
    EXPECT_EQ(out, "0123456?89abcdef?ghijklmn\xE2\x82\xAC");
}

} // namespace
} // namespace tvn::store::text
