// Body and string decoding of the .pst reader: compressed RTF, RTF and HTML to plain text,
// code pages and UTF-16.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/pst/body/html_text.h"
#include "store/pst/body/lzfu.h"
#include "store/pst/body/rtf_text.h"
#include "store/pst/ndb/crypt.h"
#include "store/text/code_page.h"
#include "store/text/utf.h"

namespace tvn::store::pst::body {

using store::text::decodeCodePage;
using store::text::isKnownCodePage;
using store::text::kUtf8CodePage;
using store::text::utf16leToUtf8;
namespace {

using Bytes = std::vector<std::uint8_t>;

// The two worked examples of the compressed-RTF format description: one with a dictionary
// reference into the initial dictionary, one with a run that overlaps its own output.
const Bytes kHelloWorld = {0x2d, 0x00, 0x00, 0x00, 0x2b, 0x00, 0x00, 0x00, 0x4c, 0x5a,
                           0x46, 0x75, 0xf1, 0xc5, 0xc7, 0xa7, 0x03, 0x00, 0x0a, 0x00,
                           0x72, 0x63, 0x70, 0x67, 0x31, 0x32, 0x35, 0x42, 0x32, 0x0a,
                           0xf3, 0x20, 0x68, 0x65, 0x6c, 0x09, 0x00, 0x20, 0x62, 0x77,
                           0x05, 0xb0, 0x6c, 0x64, 0x7d, 0x0a, 0x80, 0x0f, 0xa0};
const Bytes kRepeated = {0x1a, 0x00, 0x00, 0x00, 0x1c, 0x00, 0x00, 0x00, 0x4c, 0x5a,
                         0x46, 0x75, 0xe2, 0xd4, 0x4b, 0x51, 0x41, 0x00, 0x04, 0x20,
                         0x57, 0x58, 0x59, 0x5a, 0x0d, 0x6e, 0x7d, 0x01, 0x0e, 0xb0};

TEST(CompressedRtf, DecodesTheKnownVectors) {
    auto hello = decompressRtf(kHelloWorld);
    ASSERT_TRUE(hello.ok()) << hello.error;
    EXPECT_EQ(hello.rtf, "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n");
    auto repeated = decompressRtf(kRepeated);
    ASSERT_TRUE(repeated.ok()) << repeated.error;
    EXPECT_EQ(repeated.rtf, "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}");
}

TEST(CompressedRtf, StoredUncompressedStreamIsCopied) {
    Bytes s = {0x0f, 0, 0, 0, 0x03, 0, 0, 0, 'M', 'E', 'L', 'A', 0, 0, 0, 0, 'a', 'b', 'c'};
    auto r = decompressRtf(s);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.rtf, "abc");
}

TEST(CompressedRtf, DamagedHeadersAreRejected) {
    struct Case {
        const char* name;
        std::size_t at;
        std::uint8_t value;
    };
    const Case cases[] = {
        {"CRC changed", 12, 0x00},
        {"signature unknown", 8, 'X'},
        {"COMPSIZE beyond the stream", 0, 0xFF},
        {"COMPSIZE below the header", 0, 0x02},
    };
    for (const auto& c : cases) {
        Bytes s = kHelloWorld;
        s[c.at] = c.value;
        EXPECT_FALSE(decompressRtf(s).ok()) << c.name;
    }
    Bytes payload = kHelloWorld;
    payload[20] ^= 0x01;
    EXPECT_FALSE(decompressRtf(payload).ok()) << "a changed content byte fails the CRC";
}

TEST(CompressedRtf, EveryCutOfAStreamFailsCleanly) {
    for (std::size_t n = 0; n < kHelloWorld.size(); ++n) {
        Bytes cut(kHelloWorld.begin(), kHelloWorld.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(decompressRtf(cut).ok()) << "cut at " << n;
    }
}

TEST(CompressedRtf, OutputIsBoundedByTheInputNotTheHeader) {
    // Nothing but longest back-references, under a header that claims a 4 GB raw size.
    Bytes s(16, 0);
    for (int run = 0; run < 1000; ++run) {
        s.push_back(0xFF);
        for (int t = 0; t < 8; ++t) {
            s.push_back(0x00);
            s.push_back(0x0F); // offset 0, length 17
        }
    }
    const auto put32 = [&s](std::size_t at, std::uint32_t v) {
        for (std::size_t i = 0; i < 4; ++i) {
            s[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    };
    put32(0, static_cast<std::uint32_t>(s.size() - 4));
    put32(4, 0xFFFFFFFF);
    put32(8, 0x75465A4C);
    put32(12, ndb::crc32(std::span(s).subspan(16)));
    const auto r = decompressRtf(s);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_LE(r.rtf.size(), 1000u * 8 * 17);
    EXPECT_GT(r.rtf.size(), 0u);

    // The same tokens under a header that claims less than they make: the claim is the
    // bound, at any cut (a literal, a reference, the middle of a reference's run).
    for (const std::uint32_t raw : {0U, 1U, 16U, 17U, 18U, 1000U}) {
        put32(4, raw);
        const auto bounded = decompressRtf(s);
        ASSERT_TRUE(bounded.ok()) << bounded.error;
        EXPECT_EQ(bounded.rtf.size(), raw);
    }
}

TEST(CodePages, SingleByteCodePagesDecode) {
    struct Case {
        std::uint32_t codePage;
        Bytes in;
        const char* utf8;
    };
    const Case cases[] = {
        {1252, {0x80, 0x93, 'x', 0x94, 0xE9}, "\u20AC\u201Cx\u201D\u00E9"},
        {1250, {0x8A, 0xE8}, "\u0160\u010D"},
        {1251, {0xC0, 0xFF}, "\u0410\u044F"},
        {1253, {0xC1, 0xF9}, "\u0391\u03C9"},
        {1254, {0xD0, 0xFE}, "\u011E\u015F"},
        {1255, {0xE0}, "\u05D0"},
        {1256, {0xC7}, "\u0627"},
        {1257, {0xC0}, "\u0104"},
        {1258, {0xDD}, "\u01AF"},
        {874, {0xA1}, "\u0E01"},
        {28591, {0x80, 0xE9}, "\u0080\u00E9"},
        {1252, {0x81}, "\u0081"},  // undefined in 1252: Windows passes the C1 control
        {99999, {0x80}, "\u20AC"}, // unknown code page: Windows-1252
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeCodePage(c.in, c.codePage), c.utf8) << "code page " << c.codePage;
    }
    EXPECT_TRUE(isKnownCodePage(1252));
    EXPECT_FALSE(isKnownCodePage(99999));
}

TEST(CodePages, MultiByteCodePagesDecodeWhereAvailable) {
    if (!isKnownCodePage(932)) {
        GTEST_SKIP() << "no multi-byte code-page support in this C library";
    }
    EXPECT_EQ(decodeCodePage(Bytes{0x82, 0xA0, 'a'}, 932), "\u3042a");
    EXPECT_EQ(decodeCodePage(Bytes{0xC4, 0xE3}, 936), "\u4F60");
    EXPECT_EQ(decodeCodePage(Bytes{0xB0, 0xA1}, 949), "\uAC00");
    EXPECT_EQ(decodeCodePage(Bytes{0xA4, 0x40}, 950), "\u4E00");
    // A lead byte with no trail byte does not swallow the text before it.
    EXPECT_EQ(decodeCodePage(Bytes{'o', 'k', 0x82}, 932), "ok\uFFFD");
}

TEST(CodePages, Utf8IsValidated) {
    EXPECT_EQ(decodeCodePage(Bytes{'a', 0xC3, 0xA9}, kUtf8CodePage), "a\u00E9");
    EXPECT_EQ(decodeCodePage(Bytes{0xC0, 0xAF}, kUtf8CodePage), "\uFFFD\uFFFD"); // overlong
    EXPECT_EQ(decodeCodePage(Bytes{0xED, 0xA0, 0x80}, kUtf8CodePage),
              "\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    EXPECT_EQ(decodeCodePage(Bytes{0xE2, 0x82}, kUtf8CodePage), "\uFFFD\uFFFD"); // cut off
}

TEST(Utf16, PairsLoneSurrogatesAndOddBytes) {
    struct Case {
        const char* name;
        Bytes in;
        const char* utf8;
    };
    const Case cases[] = {
        {"ascii", {'H', 0, 'i', 0}, "Hi"},
        {"bmp", {0x19, 0x20, 0x42, 0x30}, "\u2019\u3042"},
        {"pair", {0x3D, 0xD8, 0x00, 0xDE}, "\U0001F600"},
        {"lone high", {0x3D, 0xD8, 'a', 0}, "\uFFFDa"},
        {"lone high at end", {'a', 0, 0x3D, 0xD8}, "a\uFFFD"},
        {"lone low", {0x00, 0xDE, 'a', 0}, "\uFFFDa"},
        {"odd byte", {'a', 0, 'b'}, "a\uFFFD"},
        {"empty", {}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf16leToUtf8(c.in), c.utf8) << c.name;
    }
}

TEST(RtfText, PlainRtfKeepsTextAndLayoutWords) {
    struct Case {
        const char* name;
        const char* rtf;
        const char* text;
    };
    const Case cases[] = {
        {"paragraphs and tabs",
         "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
         "\\pard\\f0 One\\par Two\\tab 2\\line Three}",
         "One\r\nTwo\t2\r\nThree"},
        {"escapes in the document code page", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}",
         "\u041F\u0440\u0438"},
        {"unicode with fallback", "{\\rtf1\\uc1 caf\\u233?s \\uc2\\u8364\\'80\\'80!}",
         "caf\u00E9s \u20AC!"},
        {"surrogate pair", "{\\rtf1\\u-10179?\\u-8704?}", "\U0001F600"},
        {"literal braces and backslash", "{\\rtf1 a\\{b\\}c\\\\d}", "a{b}c\\d"},
        {"unknown optional destination skipped",
         "{\\rtf1 a{\\*\\generator Riched20;}{\\*\\unknownthing zzz}b}", "ab"},
        {"stylesheet, info and pictures skipped",
         "{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}x{\\pict\\wmetafile8 0102}y}",
         "xy"},
        {"field result kept, instruction dropped",
         "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}}", "link"},
        {"binary data skipped", "{\\rtf1 a{\\*\\objdata\\bin4 }{}}}b}", "ab"},
        {"font charset picks the code page",
         "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}"
         "\\f1\\'c0\\f0\\'c0}",
         "\u0410\u00C0"},
        {"typographic symbols", "{\\rtf1\\ldblquote x\\rdblquote\\emdash\\bullet}",
         "\u201Cx\u201D\u2014\u2022"},
        {"raw line ends ignored", "{\\rtf1 a\r\nb}", "ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rtfToText(c.rtf), c.text) << c.name;
    }
}

TEST(RtfText, EncapsulatedHtmlIsRecovered) {
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
        "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <head>}{\\*\\htmltag161 <style>p{}</style>}"
        "{\\*\\htmltag41 </head>}{\\*\\htmltag50 <body>}\\htmlrtf {\\htmlrtf0 "
        "{\\*\\htmltag64 <p>}\\htmlrtf {\\htmlrtf0 Hello &amp; caf\\'e9\\htmlrtf\\par"
        "\\htmlrtf0 {\\*\\htmltag72 </p>}{\\*\\htmltag64 <p>}World{\\*\\htmltag72 </p>}"
        "\\htmlrtf }\\htmlrtf0 }\\htmlrtf }\\htmlrtf0 {\\*\\htmltag58 </body>}"
        "{\\*\\htmltag27 </html>}}";
    const auto content = extractRtf(rtf);
    EXPECT_EQ(content.origin, RtfOrigin::Html);
    EXPECT_NE(content.text.find("<p>Hello &amp; caf\u00E9</p>"), std::string::npos) << content.text;
    EXPECT_EQ(content.text.find("\\par"), std::string::npos);
    EXPECT_EQ(rtfToText(rtf), "Hello & caf\u00E9\r\nWorld\r\n");
}

TEST(RtfText, EncapsulatedTextIsRecovered) {
    const std::string rtf = "{\\rtf1\\ansi\\fromtext \\deff0{\\fonttbl{\\f0 Courier;}}"
                            "{\\*\\htmltag64}Line one\\par\\htmlrtf x\\htmlrtf0 Line two\\par}";
    const auto content = extractRtf(rtf);
    EXPECT_EQ(content.origin, RtfOrigin::Text);
    EXPECT_EQ(content.text, "Line one\r\nLine two\r\n");
}

TEST(RtfText, MalformedInputEndsCleanly) {
    const char* inputs[] = {
        "",
        "{",
        "}}}}",
        "{\\rtf1 abc",
        "{\\rtf1 \\'",
        "{\\'4",
        "\\u",
        "\\u-",
        "{\\bin999999999 x}",
        "{\\rtf1\\uc99999999999999999999 \\u65 abc}",
        "{\\aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa x}",
    };
    for (const char* in : inputs) {
        (void)rtfToText(in);
    }
    EXPECT_EQ(rtfToText("{\\rtf1 abc"), "abc");
    EXPECT_EQ(rtfToText("}}x{{y"), "xy");
}

TEST(RtfText, DeepNestingCostsNoMoreThanItsLength) {
    std::string rtf = "{\\rtf1 ";
    rtf += std::string(200000, '{');
    rtf += "deep";
    rtf += std::string(200000, '}');
    rtf += "}";
    EXPECT_EQ(rtfToText(rtf), "deep");
}

TEST(HtmlText, ReducesMarkupAsABrowserShowsIt) {
    struct Case {
        const char* name;
        const char* html;
        const char* text;
    };
    const Case cases[] = {
        {"tags dropped, whitespace collapsed", "<b>Hello</b>\n   <i>world</i>", "Hello world"},
        {"head, script and style dropped",
         "<html><head><title>T</title><style>p {color:red}</style></head>"
         "<body>x<script>var a = '</p>';</script>y<STYLE>z</Style></body></html>",
         "xy"},
        {"comments and declarations dropped", "<!DOCTYPE html><!-- a <b> -->x<?xml ?>", "x"},
        {"paragraphs and breaks", "<p>One</p><p>Two<br>Three</p>", "One\r\nTwo\r\nThree\r\n"},
        {"empty paragraph with a no-break space is a blank line",
         "<p class=MsoNormal>Hi<o:p></o:p></p><p class=MsoNormal><o:p>&nbsp;</o:p></p>"
         "<p>Bye</p>",
         "Hi\r\n\r\nBye\r\n"},
        {"divisions nest without blank lines", "<div><div>a</div></div><div>b</div>", "a\r\nb\r\n"},
        {"named, decimal and hex references",
         "&lt;a&gt; &amp; &quot;q&quot; &eacute;&#233;&#xE9; &euro;&#128; &hellip;",
         "<a> & \"q\" \u00E9\u00E9\u00E9 \u20AC\u20AC \u2026"},
        {"unknown reference stays literal", "AT&T &bogus; &#;", "AT&T &bogus; &#;"},
        {"invalid numeric references", "&#0;&#xD800;&#99999999;", "\uFFFD\uFFFD\uFFFD"},
        {"table cells separated by tabs",
         "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td><td> d </td></tr></table>",
         "a\tb\r\nc\td\r\n"},
        {"preformatted text keeps its spaces", "<pre>a  b\r\n c</pre>d", "a  b\r\n c\r\nd"},
        {"a lone less-than sign is text", "1 < 2", "1 < 2"},
        {"attributes with quoted brackets", "<span title=\"x>y\" class='>'>text</span>", "text"},
        {"utf-8 passes through", "<p>\u4F60\u597D</p>", "\u4F60\u597D\r\n"},
        {"unterminated tag at the end", "abc<p", "abc"},
        {"images show their alternative text", "a<img src=\"cid:x\" alt=\"Logo &amp; co\">b",
         "aLogo & cob"},
        {"links are followed by their target",
         "Write <a href=\"mailto:x@y.z\">x@y.z</a> or <a href='http://a/?b=1&amp;c=2'>here</a>.",
         "Write x@y.z<mailto:x@y.z> or here<http://a/?b=1&c=2>."},
        {"a link whose text is its target, and page anchors, stay as they are",
         "<a href=http://a.b>http://a.b</a> <a href=\"#top\">top</a>", "http://a.b top"},
        {"horizontal rules", "above<hr>below",
         "above\r\n________________________________\r\nbelow"},
        {"unterminated comment", "a<!-- never closed", "a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(htmlToText(c.html), c.text) << c.name;
    }
}

TEST(HtmlText, DeclaredCharsetsAreFound) {
    struct Case {
        const char* head;
        std::uint32_t codePage;
    };
    const Case cases[] = {
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">", 65001},
        {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=us-ascii\">", 20127},
        {"<meta charset='Windows-1251'>", 1251},
        {"<meta charset=\"gb2312\">", 936},
        {"<meta charset=ks_c_5601-1987>", 949},
        {"<meta charset=\"x-unknown\"><p>charset=iso-8859-1</p>", 28591},
        {"<p>no declaration</p>", 0},
        {"<meta charset=windows-9999>", 0},
    };
    for (const auto& c : cases) {
        const std::string_view head = c.head;
        EXPECT_EQ(declaredCodePage(
                      std::span(reinterpret_cast<const std::uint8_t*>(head.data()), head.size())),
                  c.codePage)
            << c.head;
    }
}

TEST(HtmlText, OutputStaysWithinASmallMultipleOfTheInput) {
    std::string html;
    for (int i = 0; i < 10000; ++i) {
        html += "<br>";
    }
    EXPECT_LE(htmlToText(html).size(), html.size());
    std::string refs;
    for (int i = 0; i < 10000; ++i) {
        refs += "&#x10FFFF;";
    }
    EXPECT_LE(htmlToText(refs).size(), refs.size());
}

} // namespace
} // namespace tvn::store::pst::body
